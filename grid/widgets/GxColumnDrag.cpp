// Floating windows of a header drag.
#include "grid/widgets/GxColumnDrag.h"
#include "grid/widgets/GxGridView.h"

#include <QPainter>
#include <QPolygon>

TDragBoxStyle::TDragBoxStyle(TGxGridView* grid) : TDefaultStyleDisplay(grid) {
    Themed = false;
    SortArrow = false;
}

TColumnDragBox::TColumnDragBox(TGxGridView* grid) : TGxFlyoutControl(grid), FGrid(grid), FStyle(grid) {
    hide();
}

void TColumnDragBox::ShowFor(int col, const QPoint& globalMouse) {
    FColumn = col;
    const TGxCustomColumn* column = FGrid->Grid().Columns().GetColumn(col);
    resize(column->Width(), FGrid->Grid().HeaderSize());
    Follow(globalMouse);
    show();
    raise();
    update();
}

void TColumnDragBox::Follow(const QPoint& globalMouse) {
    move(globalMouse.x() - width() / 2, globalMouse.y() - height() + 4);
}

void TColumnDragBox::paintEvent(QPaintEvent*) {
    QPainter canvas(this);
    if (!FGrid->Grid().Columns().IsValidIndex(FColumn))
        return;
    TGxCustomColumn& column = *FGrid->Grid().Columns().GetColumn(FColumn);
    FStyle.DrawHeaderCell(canvas, column, rect());
    const int right = width() - 1;
    const int bottom = height() - 1;
    GxLine(canvas, 0, bottom, right + 1, bottom, Qt::black);
    GxLine(canvas, right, 0, right, bottom + 1, Qt::black);
}

TDragArrow::TDragArrow(QWidget* owner, int kind) : TGxFlyoutControl(owner), FKind(kind) {
    setFixedSize(9, 9);
    setMask(Shape(kind));
    hide();
}

QRegion TDragArrow::Shape(int kind) {
    const QPolygon down({QPoint(5, 0), QPoint(3, 0), QPoint(3, 4), QPoint(0, 4), QPoint(4, 9), QPoint(9, 4),
                         QPoint(6, 4), QPoint(6, 0)});
    const QPolygon up({QPoint(-1, 5), QPoint(4, -1), QPoint(9, 5), QPoint(6, 5), QPoint(6, 9), QPoint(3, 9),
                       QPoint(3, 4), QPoint(0, 5)});
    return QRegion(kind == 2 ? down : up);
}

void TDragArrow::paintEvent(QPaintEvent*) {
    QPainter canvas(this);
    canvas.fillRect(rect(), Qt::red);
}
