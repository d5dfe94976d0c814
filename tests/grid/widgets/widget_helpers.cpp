// Shared helpers of the grid widget tests.
#include "widget_helpers.h"

#include <QApplication>
#include <QDir>
#include <QStyle>
#include <QStyleFactory>
#include <cstdio>

namespace widgettest {

std::unique_ptr<TDataGrid> MakeGrid(int rows) {
    auto grid = std::make_unique<TDataGrid>();
    grid->setObjectName(QStringLiteral("DataGrid1"));
    grid->SetLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    grid->AddColumn<TGxTextColumn>(QStringLiteral("Name")).Header().SetCaption(QStringLiteral("Name"));
    grid->AddColumn<TGxCheckBoxColumn>(QStringLiteral("Enabled")).Header().SetCaption(QStringLiteral("On"));
    grid->AddColumn<TGxNumberColumn>(QStringLiteral("Count")).Header().SetCaption(QStringLiteral("Count"));
    grid->AddColumn<TGxTextColumn>(QStringLiteral("Status")).Header().SetCaption(QStringLiteral("Status"));
    if (rows > 0) {
        grid->BeginUpdate();
        grid->AddRow(rows);
        for (int r = 0; r < rows; ++r) {
            grid->Cell(0, r).SetAsString(QStringLiteral("host%1").arg(r));
            grid->Cell(2, r).SetAsInteger(r);
            grid->Cell(3, r).SetAsString(QStringLiteral("OK"));
        }
        grid->EndUpdate();
    }
    return grid;
}

std::unique_ptr<TGxGridView> MakeView(TDataGrid& grid, int width, int height) {
    auto view = std::make_unique<TGxGridView>(&grid);
    view->resize(width, height);
    view->show();
    QApplication::processEvents();
    view->UpdateScrollBars();
    return view;
}

QImage Grab(TGxGridView& view) {
    view.FlushPendingUpdates();
    return view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

std::unique_ptr<TDataGrid> MakeProbeGrid() {
    auto grid = MakeGrid(0);
    grid->BeginUpdate();
    grid->AddRow(ProbeRows);
    for (int r = 0; r < 40; ++r) {
        grid->Cell(0, r).SetAsString(QStringLiteral("host%1").arg(r));
        grid->Cell(3, r).SetAsString(QStringLiteral("OK"));
    }
    for (int c = 0; c < 4; ++c)
        grid->Cell(c, 5).SetCellColor(0x00F5FCFE);
    grid->EndUpdate();
    grid->SetOptions(goHeader | goGrid | goSelectFullRow);
    grid->SetHeaderStyle(hsOffice2010);
    grid->SetAppearanceOptions(aoHighlightSlideCells); // the selection shows without focus too
    grid->SetSelectionColor(0x00C08040);
    grid->SetInactiveSelectionColor(0x00C08040);
    grid->SetSelectedRow(3);
    return grid;
}

void UseTestLook() {
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(QApplication::style()->standardPalette());
    QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), 9));
}

void SaveShot(const QImage& image, const QString& name) {
    const QString path = QDir::tempPath() + QStringLiteral("/zt_grid_") + name + QStringLiteral(".png");
    image.save(path);
    std::printf("screenshot: %s\n", qPrintable(path));
}

} // namespace widgettest
