// The table control's window: layout, painting, scrolling and repaint bookkeeping.
#include "grid/widgets/GxGridView.h"

#include "grid/widgets/GxEdit.h"
#include "grid/widgets/GxMonthCalendar.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QResizeEvent>
#include <algorithm>
#include <array>
#include <cmath>
#include <typeinfo>

namespace {

int Right(const QRect& r) {
    return r.left() + r.width();
}
int Bottom(const QRect& r) {
    return r.top() + r.height();
}

// Cell invalidations from worker threads arrive in bursts: they are painted together at most
// once per frame.
constexpr int kFrameMs = 10;

} // namespace

TGxGridView::TGxGridView(TDataGrid* grid, QWidget* parent) : TGxScrollControl(parent), FGrid(grid) {
    Q_ASSERT(grid);
    FStyles[hsAuto] = std::make_unique<TDefaultStyleDisplay>(this);
    FStyles[hsFlatBorders] = std::make_unique<TFlatStyleDisplay>(this);
    FStyles[hsOffice2007] = std::make_unique<TOffice2007StyleDisplay>(this);
    FStyles[hsOffice2010] = std::make_unique<TOffice2010StyleDisplay>(this);
    FStyles[hsOldStyle] = std::make_unique<TOldStyleDisplay>(this);
    FStyles[hsOutlook] = std::make_unique<TOutlookStyleDisplay>(this);
    FStyles[hsVista] = std::make_unique<TVistaStyleDisplay>(this);
    HorzScrollBar().SetSmallChange(5);
    HorzScrollBar().SetLargeChange(10);
    VertScrollBar().SetLargeChange(10);
    viewport()->setMouseTracking(true);
    FFlushTimer.setSingleShot(true);
    FFlushTimer.setInterval(kFrameMs);
    connect(&FFlushTimer, &QTimer::timeout, this, [this] { FlushPendingUpdates(); });

    ConnectGrid();
    FDragBox = new TColumnDragBox(this);
    FDownArrow = new TDragArrow(this, 2);
    FUpArrow = new TDragArrow(this, 1);
    FHint = new TGxHintWindow(this);
    FHint->hide();
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        FAppState =
            connect(app, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
                if (state != Qt::ApplicationActive)
                    CancelColumnDrag();
            });
    for (int i = 0; i < grid->ColumnCount(); ++i)
        grid->Columns().GetColumn(i)->CreateViews(*this);
    ApplyBorder();
    resize(250, 150);
    UpdateScrollBars();
}

void TGxGridView::ConnectGrid() {
    TDataGrid* grid = FGrid;
    connect(grid, &TGxCustomGridControl::CellInvalidated, this, &TGxGridView::CellInvalidated);
    connect(grid, &TGxCustomGridControl::RowInvalidated, this, &TGxGridView::RowInvalidated);
    connect(grid, &TGxCustomGridControl::RowsInvalidated, this, &TGxGridView::RowsInvalidated);
    connect(grid, &TGxCustomGridControl::AreasInvalidated, this, &TGxGridView::AreasInvalidated);
    connect(grid, &TGxCustomGridControl::ColumnPartInvalidated, this, &TGxGridView::ColumnPartInvalidated);
    connect(grid, &TGxCustomGridControl::ScrollBarsChanged, this, [this] { UpdateScrollBars(); });
    connect(grid, &TGxCustomGridControl::ScrollToRowRequested, this, [this](int row) { ScrollToRow(row); });
    connect(grid, &TGxCustomGridControl::FirstRowChanged, this, &TGxGridView::FirstRowChanged);
    connect(grid, &TGxCustomGridControl::ColumnListUpdated, this, &TGxGridView::ColumnListUpdated);
    connect(grid, &TGxCustomGridControl::InputModeChanged, this,
            [this](bool active) { SetInputRowActive(active); });
    connect(grid, &QObject::destroyed, this, &TGxGridView::GridDestroyed);
    grid->SetEditorHost(this);
}

void TGxGridView::GridDestroyed() {
    // The grid's columns took their painters and editor with them; nothing of the grid's may be
    // reached from here on.
    FEmptyGrid = std::make_unique<TDataGrid>();
    FGrid = FEmptyGrid.get();
    ConnectGrid();
    FFlushTimer.stop();
    FPending = QRegion();
    HideHint();
    EndInteraction();
    FHotHeader = FPressedHeader = FEditingInputColumn = -1;
    FInputRowActive = false;
    FHeaderGlyphs.clear();
    FPressCol = FPressRow = FEdgeCol = FPlayCol = FPlayRow = FHotPlayCol = FHotPlayRow = -1;
    FHintCell = QPoint(-1, -1);
    FVisibleAbove = 0;
    UpdateScrollBars();
    viewport()->update();
}

TGxGridView::~TGxGridView() {
    disconnect(FAppState);
    // The columns keep their painters and editors: they must not reach this window any more,
    // and an editor parented here goes back to its owner before the children are deleted.
    if (FGrid && FGrid->EditorHost() == this) {
        try {
            FGrid->CloseEdit();
        } catch (...) {
        }
        FGrid->SetEditorHost(nullptr);
    }
    if (FEditorWidget && FEditorWidget->parentWidget() == viewport()) {
        FEditorWidget->removeEventFilter(this);
        FEditorWidget->hide();
        FEditorWidget->setParent(FEditorOldParent);
    }
    if (!FGrid)
        return;
    disconnect(FGrid, nullptr, this, nullptr);
    for (int i = 0; i < FGrid->ColumnCount(); ++i) {
        TGxCustomColumn* column = FGrid->Columns().GetColumn(i);
        if (TGxColumnDisplay* display = DisplayOf(*column))
            display->Window = nullptr;
        if (auto* play = dynamic_cast<TGxColumnPlay*>(column->Play()); play && play->Window == this)
            play->Window = nullptr;
    }
}

// ---- factory ------------------------------------------------------------------------------

std::unique_ptr<TColumnDisplay> TGxGridView::CreateDisplay(TGxCustomColumn& column, TDisplayClass cls) {
    return CreateColumnDisplay(column, cls, this);
}

std::unique_ptr<TColumnPlay> TGxGridView::CreatePlay(TGxCustomColumn& column, TPlayClass cls) {
    return CreateColumnPlay(column, cls, this);
}

std::unique_ptr<TGxCustomEdit> TGxGridView::CreateEditor(TGxCustomColumn& column, TEditorClass cls) {
    // Made without a parent: the column owns its editor, the view borrows it while editing.
    std::unique_ptr<TGxEdit> editor;
    switch (cls) {
    case TEditorClass::TGxEdit:
        editor = std::make_unique<TGxEdit>();
        break;
    case TEditorClass::TGxSpinEdit:
        editor = std::make_unique<TGxSpinEdit>();
        break;
    case TEditorClass::TGxComboBox:
    case TEditorClass::TGxPopupEdit:
        editor = std::make_unique<TGxComboBox>();
        break;
    case TEditorClass::TGxDatePicker:
        editor = std::make_unique<TGxDatePicker>();
        break;
    default:
        return nullptr;
    }
    // A pop-up column hears its drop-down close and choose; the column owns the editor.
    if (auto* popup = dynamic_cast<TGxPopupEdit*>(editor.get()))
        if (auto* owner = dynamic_cast<TGxPopupColumn*>(&column)) {
            popup->OnCloseUp = [owner](TGxPopupEdit*) {
                if (owner->OnCloseUp)
                    owner->OnCloseUp(owner);
            };
            popup->OnSelect = [owner](TGxPopupEdit*) {
                if (owner->OnSelect)
                    owner->OnSelect(owner);
            };
        }
    editor->hide();
    return editor;
}

TGxColumnDisplay* TGxGridView::DisplayOf(const TGxCustomColumn& column) const {
    auto* display = dynamic_cast<TGxColumnDisplay*>(column.Display());
    return display && display->Window == this ? display : nullptr;
}

void TGxGridView::ColumnListUpdated(int operation, int index) {
    Q_UNUSED(index);
    if (operation == 0)
        for (int i = 0; i < FGrid->ColumnCount(); ++i) {
            TGxCustomColumn* column = FGrid->Columns().GetColumn(i);
            // A column whose editor is attached keeps it: only new columns get their views.
            if (!DisplayOf(*column) && !(FGrid->Editor() && column->Editor() == FGrid->Editor()))
                column->CreateViews(*this);
        }
    if (FHeaderGlyphs.size() > size_t(FGrid->ColumnCount()))
        FHeaderGlyphs.resize(size_t(FGrid->ColumnCount()));
    viewport()->update();
    UpdateScrollBars();
}

// ---- geometry -----------------------------------------------------------------------------

int TGxGridView::ColumnsRight() const {
    return Left0() + FGrid->Columns().TotalVisibleWidth() - FGrid->HorzScrollPos();
}

QRect TGxGridView::HeaderRect() const {
    if (!FGrid->HasOption(goHeader))
        return QRect();
    return GxRect(Left0(), 0, ColumnsRight(), FGrid->HeaderSize());
}

QRect TGxGridView::InputRect() const {
    if (!FGrid->HasOption(goInput) || FGrid->GridStyle() == gsSlides)
        return QRect();
    const int top = FGrid->HasOption(goHeader) ? FGrid->HeaderSize() : 0;
    return GxRect(Left0(), top, ColumnsRight(), top + FGrid->InputSize() + 6 + FGrid->LineWidthH());
}

QRect TGxGridView::BodyRect() const {
    const int width = viewport()->width();
    const int height = viewport()->height();
    int top = FGrid->HasOption(goHeader) ? FGrid->HeaderSize() : 0;
    if (FGrid->GridStyle() == gsSlides)
        return GxRect(0, top, width, height);
    if (FGrid->HasOption(goInput))
        top += FGrid->InputSize() + 6 + FGrid->LineWidthH();
    const int bottom =
        FGrid->HasOption(goFooter) ? height - FGrid->FooterSize() - 4 - FGrid->LineWidthH() : height;
    return GxRect(Left0(), top, std::min(ColumnsRight(), width), bottom);
}

QRect TGxGridView::FooterRect() const {
    if (!FGrid->HasOption(goFooter) || FGrid->GridStyle() == gsSlides)
        return QRect();
    const int height = viewport()->height();
    return GxRect(Left0(), height - FGrid->FooterSize() - 4 - FGrid->LineWidthH(), ColumnsRight(), height);
}

QRect TGxGridView::IndicatorRect() const {
    if (!FGrid->HasOption(goIndicator))
        return QRect();
    return GxRect(0, 0, IndicatorWidth, viewport()->height());
}

int TGxGridView::RowTop(int row) const {
    const int first = FGrid->FirstRow();
    const int pitchExtra = FGrid->RowPitchExtra();
    int top = BodyRect().top() + FGrid->LineWidthT();
    const int count = FGrid->RowCount();
    auto height = [&](int r) {
        if (r >= count)
            return FGrid->RowSize();
        return FGrid->GetRowVisible(r) ? FGrid->GetRowHeight(r) : -pitchExtra;
    };
    if (FGrid->GridStyle() == gsSlides) {
        for (int r = first; r < row; ++r)
            top += r >= count || FGrid->GetRowVisible(r) ? FGrid->SlideSize() : 0;
        for (int r = row; r < first; ++r)
            top -= r >= count || FGrid->GetRowVisible(r) ? FGrid->SlideSize() : 0;
        return top - FGrid->LineWidthT();
    }
    for (int r = first; r < row; ++r)
        top += height(r) + pitchExtra;
    for (int r = row; r < first; ++r)
        top -= height(r) + pitchExtra;
    return top;
}

bool TGxGridView::RowTopInView(int row, int& top) const {
    const int first = FGrid->FirstRow();
    if (row < first || row < 0)
        return false;
    const QRect body = BodyRect();
    const int bottom = Bottom(body);
    const bool slides = FGrid->GridStyle() == gsSlides;
    const int pitchExtra = slides ? 0 : FGrid->RowPitchExtra();
    int y = body.top() + (slides ? 0 : FGrid->LineWidthT());
    const int count = FGrid->RowCount();
    for (int r = first; r < row; ++r) {
        if (y >= bottom)
            return false;
        if (r < count && !FGrid->GetRowVisible(r))
            continue;
        y += (slides ? FGrid->SlideSize() : (r < count ? FGrid->GetRowHeight(r) : FGrid->RowSize())) +
             pitchExtra;
    }
    top = y;
    return y < bottom;
}

QRect TGxGridView::CellRect(int col, int row) const {
    if (!FGrid->Columns().IsValidIndex(col))
        return QRect();
    if (FGrid->GridStyle() == gsSlides)
        return SlideCellRect(col, row);
    const TGxCustomColumn* column = FGrid->Columns().GetColumn(col);
    const int top = RowTop(row);
    const int height = row < FGrid->RowCount() ? FGrid->GetRowHeight(row) : FGrid->RowSize();
    const int left = column->ClientLeft();
    return GxRect(left, top, left + column->Width(), top + height);
}

QRect TGxGridView::RowRect(int row) const {
    const int top = RowTop(row);
    const int height = row < FGrid->RowCount() ? FGrid->GetRowHeight(row) : FGrid->RowSize();
    return GxRect(0, top, Right(BodyRect()), top + height + FGrid->LineWidthH());
}

QRect TGxGridView::HeaderCellRect(const TGxCustomColumn& column) const {
    const int left = column.ClientLeft();
    return GxRect(left, 0, left + column.Width(), FGrid->HeaderSize());
}

QRect TGxGridView::InputCellRect(const TGxCustomColumn& column) const {
    const QRect band = InputRect();
    const int left = column.ClientLeft();
    return GxRect(left, band.top(), left + column.Width(), Bottom(band) - 6);
}

QRect TGxGridView::FooterCellRect(const TGxCustomColumn& column) const {
    const QRect band = FooterRect();
    const int left = column.ClientLeft();
    return GxRect(left, band.top() + 4, left + column.Width(), Bottom(band));
}

QRect TGxGridView::SlideRect(int row) const {
    const QRect body = BodyRect();
    const int top = RowTop(row);
    return GxRect(body.left(), top, Right(body), top + FGrid->SlideSize());
}

QRect TGxGridView::SlideCellRect(int col, int row) const {
    TGxCustomColumn* column = FGrid->Columns().GetColumn(col);
    const TGxSlideBounds& bounds = column->SlideBounds();
    const QRect slide = SlideRect(row);
    return QRect(slide.left() + bounds.Left(), slide.top() + bounds.Top(), bounds.Width(), bounds.Height());
}

int TGxGridView::FittingRows() const {
    const QRect body = BodyRect();
    const int bottom = Bottom(body);
    const bool slides = FGrid->GridStyle() == gsSlides;
    const int pitchExtra = slides ? 0 : FGrid->RowPitchExtra();
    int y = body.top() + (slides ? 0 : FGrid->LineWidthT());
    int fit = 0;
    for (int r = std::max(FGrid->FirstRow(), 0); r < FGrid->RowCount(); ++r) {
        if (!FGrid->GetRowVisible(r))
            continue;
        const int height = slides ? FGrid->SlideSize() : FGrid->GetRowHeight(r);
        if (y + height > bottom)
            break;
        ++fit;
        y += height + pitchExtra;
    }
    return fit;
}

std::vector<TGxGridView::TViewColumn> TGxGridView::ColumnsInView(const QRect& clip) const {
    std::vector<TViewColumn> result;
    const TGxColumns& columns = FGrid->Columns();
    const TGxCustomColumn* last = columns.LastVisibleColumn();
    const int width = viewport()->width();
    for (int p = 0; p < columns.ColumnCount(); ++p) {
        TGxCustomColumn* column = columns.PositionItem(p);
        if (!column->Visible())
            continue;
        const int left = column->ClientLeft();
        const int right = left + column->Width();
        if (right <= std::max(clip.left(), 0) || left >= std::min(Right(clip), width))
            continue;
        result.push_back({column, column->Index(), left, right, p < columns.FixedCols(), column == last});
    }
    return result;
}

int TGxGridView::ColumnAtX(int x) const {
    const TGxColumns& columns = FGrid->Columns();
    for (int p = 0; p < columns.ColumnCount(); ++p) {
        TGxCustomColumn* column = columns.PositionItem(p);
        if (column->Visible() && x >= column->ClientLeft() && x < column->ClientLeft() + column->Width())
            return column->Index();
    }
    return -1;
}

// ---- painting state -----------------------------------------------------------------------

bool TGxGridView::Themed() const {
    return FGrid->EnableVisualStyles() && ThemesActive();
}

QFont TGxGridView::ToFont(const TGridFont& font, TFontStyles extra) const {
    QFont result = font.Name.isEmpty() ? this->font() : QFont(font.Name, font.Size);
    const TFontStyles style = font.Style | extra;
    result.setBold(style & fsBold);
    result.setItalic(style & fsItalic);
    result.setUnderline(style & fsUnderline);
    result.setStrikeOut(style & fsStrikeOut);
    return result;
}

const QFontMetrics& TGxGridView::Metrics(const TGridFont& font, TFontStyles extra) const {
    for (const auto& entry : FFonts)
        if (entry->Extra == extra && entry->Key == font)
            return entry->Metrics;
    const QFont made = ToFont(font, extra);
    FFonts.push_back(std::make_unique<TFontEntry>(TFontEntry{font, extra, made, QFontMetrics(made)}));
    return FFonts.back()->Metrics;
}

bool TGxGridView::GridFocused() const {
    return hasFocus() || viewport()->hasFocus() || (FEditorWidget && FEditorWidget->hasFocus());
}

bool TGxGridView::IsEditingCell(int col, int row) const {
    return FGrid->EditingCell() && col == FGrid->EditColumn() && row == FGrid->EditRow();
}

QRect TGxGridView::EditorRect() const {
    if (!FEditorWidget || !FEditorWidget->isVisible() || FEditorWidget->parentWidget() != viewport())
        return QRect();
    return FEditorWidget->geometry();
}

bool TGxGridView::IsCellSelected(int col, int row) const {
    if (FGrid->GridStyle() == gsSlides && !FGrid->HasAppearance(aoHighlightSlideCells))
        return false;
    if (FInputRowActive || row < 0 || row >= FGrid->RowCount())
        return false;
    if (!FGrid->Columns().IsValidIndex(col) || FGrid->Columns().GetColumn(col)->HasOption(coDontHighlight))
        return false;
    if (!GridFocused() && FGrid->HasAppearance(aoHideSelection))
        return false;
    const bool current = col == FGrid->SelectedColumn() && row == FGrid->SelectedRow();
    if (FGrid->HasOption(goSelectFullRow)) {
        if (current && !FGrid->HasAppearance(aoIndicateSelectedCell) && IsEditingCell(col, row))
            return false;
        return FGrid->GetRowSelected(row);
    }
    return current && !IsEditingCell(col, row);
}

TCellState TGxGridView::CellStateOf(int col, int row) const {
    TCellState state = 0;
    if (IsCellSelected(col, row)) {
        state |= csSelected;
        if (FGrid->HasAppearance(aoBoldTextSelection))
            state |= csBoldTextSelection;
    }
    if (GridFocused() && !FGrid->HasAppearance(aoHideFocus))
        state |= csFocused;
    return state;
}

TColor TGxGridView::GetDrawColor(int col, int row) {
    TColor color = FGrid->GetCellColor(col, row);
    if (FGrid->HasAppearance(aoIndicateSortedColumn) && FGrid->Columns().GetColumn(col)->Sorted())
        color = Blend(clBlack, color, 10);
    if (!IsCellSelected(col, row))
        return color;
    if (!GridFocused())
        return FGrid->InactiveSelectionColor();
    if (FGrid->HasAppearance(aoAlphaBlendedSelection))
        return MixColors(color, clHighlight, 0.25);
    return FGrid->SelectionColor();
}

TColor TGxGridView::GetDrawTextColor(int col, int row) {
    if (IsCellSelected(col, row) && GridFocused())
        return FGrid->HighlightedTextColor();
    return FGrid->Columns().GetColumn(col)->Font().Color;
}

void TGxGridView::MoveHeaderMark(int& mark, int col) {
    if (col == mark)
        return;
    const int old = mark;
    mark = col;
    ColumnPartInvalidated(old, cpHeader);
    ColumnPartInvalidated(col, cpHeader);
}

void TGxGridView::SetHotHeaderColumn(int col) {
    MoveHeaderMark(FHotHeader, col);
}

void TGxGridView::SetPressedHeaderColumn(int col) {
    MoveHeaderMark(FPressedHeader, col);
}

void TGxGridView::SetInputRowActive(bool value) {
    if (value == FInputRowActive)
        return;
    FInputRowActive = value;
    viewport()->update();
}

QPixmap TGxGridView::HeaderGlyph(int col) const {
    return col >= 0 && size_t(col) < FHeaderGlyphs.size() ? FHeaderGlyphs[size_t(col)] : QPixmap();
}

void TGxGridView::SetHeaderGlyph(int col, const QPixmap& glyph) {
    if (!FGrid->Columns().IsValidIndex(col))
        return;
    if (FHeaderGlyphs.size() <= size_t(col))
        FHeaderGlyphs.resize(size_t(col) + 1);
    FHeaderGlyphs[size_t(col)] = glyph;
    ColumnPartInvalidated(col, cpHeader);
}

// ---- repaint bookkeeping ------------------------------------------------------------------

void TGxGridView::QueueUpdate(const QRect& rect) {
    if (rect.isEmpty())
        return;
    FPending += rect.intersected(viewport()->rect());
    if (!FFlushTimer.isActive())
        FFlushTimer.start();
}

void TGxGridView::FlushPendingUpdates() {
    FFlushTimer.stop();
    if (FPending.isEmpty())
        return;
    viewport()->update(FPending);
    FPending = QRegion();
}

void TGxGridView::CellInvalidated(int col, int row) {
    if (!FGrid->Columns().IsValidIndex(col) || row < 0 || row >= FGrid->RowCount())
        return;
    const TGxCustomColumn* column = FGrid->Columns().GetColumn(col);
    if (!column->Visible() || !FGrid->GetRowVisible(row))
        return;
    int top = 0;
    if (!RowTopInView(row, top))
        return; // outside the view: nothing to paint
    if (FGrid->GridStyle() == gsSlides) {
        QueueUpdate(SlideCellRect(col, row));
        return;
    }
    const int left = column->ClientLeft();
    const int height = FGrid->GetRowHeight(row);
    QueueUpdate(
        GxRect(left, top - FGrid->LineWidthT(), left + column->Width(), top + height + FGrid->LineWidthH()));
}

void TGxGridView::RowInvalidated(int row) {
    RowsInvalidated(row, row);
}

void TGxGridView::RowsInvalidated(int first, int last) {
    if (first > last)
        std::swap(first, last);
    last = std::min(last, FGrid->RowCount() - 1);
    first = std::max(first, FGrid->FirstRow());
    if (first > last)
        return;
    int top = 0;
    if (!RowTopInView(first, top))
        return;
    // From the first named row in view down to the last one (or the body's bottom).
    int bottomRow = last;
    int bottom = 0;
    const QRect body = BodyRect();
    if (!RowTopInView(last, bottom)) {
        bottom = Bottom(body);
    } else {
        bottomRow = last;
        bottom += (FGrid->GridStyle() == gsSlides ? FGrid->SlideSize() : FGrid->GetRowHeight(bottomRow)) +
                  FGrid->LineWidthH();
    }
    QueueUpdate(GxRect(0, top - FGrid->LineWidthT(), viewport()->width(), std::min(bottom, Bottom(body))));
}

void TGxGridView::AreasInvalidated(int areas) {
    if (areas & gaBorder) {
        ApplyBorder();
        update();
    }
    if (areas & gaClient) {
        viewport()->update();
        return;
    }
    QRegion region;
    if (areas & gaBody) {
        const QRect body = BodyRect();
        region += GxRect(0, body.top(), viewport()->width(), Bottom(body));
    }
    if (areas & gaHeader)
        region += GxRect(0, 0, viewport()->width(), FGrid->HeaderSize());
    if (areas & gaInput)
        region += InputRect().adjusted(-Left0(), 0, 0, 0);
    if (areas & gaFooter)
        region += FooterRect().adjusted(-Left0(), 0, 0, 0);
    if (areas & gaIndicator)
        region += IndicatorRect();
    if (!region.isEmpty())
        viewport()->update(region);
    PlaceEditor(); // columns moved, resized or shown: the editor follows its cell
}

void TGxGridView::ColumnPartInvalidated(int col, int region) {
    if (!FGrid->Columns().IsValidIndex(col))
        return;
    const TGxCustomColumn* column = FGrid->Columns().GetColumn(col);
    const int left = column->ClientLeft();
    const int right = left + column->Width();
    QRect band;
    switch (region) {
    case cpBody:
        band = BodyRect();
        break;
    case cpFooter:
        band = FooterRect();
        break;
    case cpHeader:
        band = HeaderRect();
        break;
    case cpIndicator:
        viewport()->update(IndicatorRect());
        return;
    case cpInput:
        band = InputRect();
        break;
    default:
        band = viewport()->rect();
        break;
    }
    if (FGrid->GridStyle() == gsSlides && region != cpHeader) {
        viewport()->update(BodyRect());
        return;
    }
    if (!band.isEmpty())
        viewport()->update(GxRect(left, band.top(), right, Bottom(band)));
}

void TGxGridView::FirstRowChanged() {
    if (FOwnScroll)
        return;
    viewport()->update();
    UpdateScrollBars();
}

void TGxGridView::ApplyBorder() {
    if (FGrid->BorderStyle() == bsNone) {
        setFrameStyle(QFrame::NoFrame);
    } else {
        setFrameStyle(QFrame::Box | QFrame::Plain);
        setLineWidth(1);
    }
    setFocusPolicy(FGrid->TabStop() ? Qt::StrongFocus : Qt::ClickFocus);
}

void TGxGridView::PaintFrame(QPainter& canvas) {
    const QRect r = rect();
    const THeaderStyle style = FGrid->HeaderStyle();
    if (style == hsOffice2007 || style == hsOffice2010) {
        const QColor c = Rgb(StyleColor(2));
        Draw3DFrame(canvas, r, c, c);
    } else if (Themed()) {
        DrawThemePart(this, canvas, r, EP_EDITBORDER, 1, TThemeClass::Edit);
    } else {
        // A static edge: shadow above and left, highlight below and right.
        Draw3DFrame(canvas, r, Rgb(clBtnShadow), Rgb(clBtnHighlight));
    }
}

// ---- scrolling ----------------------------------------------------------------------------

int TGxGridView::CountVisibleAbove(int row) const {
    int count = 0;
    for (int r = 0; r < std::min(row, FGrid->RowCount()); ++r)
        count += FGrid->GetRowVisible(r) ? 1 : 0;
    return count;
}

void TGxGridView::UpdateClipRects() {
    const QRect body = BodyRect();
    const int width = viewport()->width();
    SetVertClipRect(
        GxRect(0, body.top(), FGrid->GridStyle() == gsSlides ? width : Right(body), Bottom(body)));
    SetHorzClipRect(GxRect(Left0() + FGrid->Columns().FixedWidth(), 0, width, viewport()->height()));
}

void TGxGridView::UpdateScrollBars() {
    if (!FGrid || FScrollBarDepth > 2)
        return; // showing or hiding a bar resizes the view, which asks again
    ++FScrollBarDepth;
    FGrid->SetClientWidth(viewport()->width());
    UpdateHorzScrollBar();
    UpdateVertScrollBar();
    UpdateClipRects();
    PlaceEditor();
    --FScrollBarDepth;
}

void TGxGridView::UpdateHorzScrollBar() {
    TGxScrollBar& bar = HorzScrollBar();
    bar.BeginUpdate();
    if (FGrid->GridStyle() == gsSlides) {
        bar.SetMax(0);
    } else {
        const int range = FGrid->Columns().TotalVisibleWidth() + Left0();
        const int page = viewport()->width() + 1;
        bar.SetPageSize(page);
        bar.SetLargeChange(page - 10);
        bar.SetMax(range);
        bar.SetVisible(page < range);
        // The content never stays scrolled past its end.
        const int limit = std::max(0, range - viewport()->width());
        if (bar.Position() > limit)
            bar.SetPosition(limit);
    }
    bar.EndUpdate();
    if (FGrid->HorzScrollPos() != bar.Position()) {
        FGrid->SetHorzScrollPos(bar.Position());
        viewport()->update();
    }
    bar.Refresh();
}

void TGxGridView::UpdateVertScrollBar() {
    TGxScrollBar& bar = VertScrollBar();
    bar.SetAutoHide(FGrid->HideScrollBar());
    const int visible = FGrid->VisibleRowCount();
    // Rows that fit counted from the first shown row tell whether everything fits.
    const int firstRow = FGrid->FirstRow();
    bool allFit = visible <= 1;
    if (!allFit) {
        FOwnScroll = true;
        FGrid->SetFirstRow(FGrid->FirstVisibleRow());
        allFit = FittingRows() >= visible;
        FGrid->SetFirstRow(firstRow);
        FOwnScroll = false;
    }
    if (allFit && FGrid->RowCount() > 0 && firstRow != FGrid->FirstVisibleRow()) {
        FOwnScroll = true;
        FGrid->SetFirstRow(FGrid->FirstVisibleRow());
        FOwnScroll = false;
        viewport()->update();
    }
    FVisibleAbove = CountVisibleAbove(FGrid->FirstRow());
    const int page = FittingRows() + 1;
    bar.BeginUpdate();
    bar.SetPageSize(page);
    bar.SetLargeChange(page);
    bar.SetMax(allFit ? 0 : visible);
    bar.SetVisible(!(bar.PageSize() >= bar.Max() && bar.AutoHide()) || !bar.AutoHide());
    bar.SetPosition(FVisibleAbove);
    bar.EndUpdate();
    // Scrolled past the end (rows went away, the window grew): come back to the last page.
    const int lastPosition = bar.Max() - bar.PageSize() + 1;
    if (bar.Max() > 0 && FVisibleAbove > lastPosition && lastPosition >= 0)
        bar.SetPosition(lastPosition);
    bar.Refresh();
}

int TGxGridView::HorzScrollDelta(int oldPosition, int newPosition) {
    FGrid->CloseEdit(); // horizontal scrolling ends editing
    FGrid->SetHorzScrollPos(newPosition);
    return oldPosition - newPosition;
}

int TGxGridView::VertScrollDelta(int oldPosition, int newPosition) {
    if (FGrid->EditingCell())
        FGrid->CloseEdit(); // vertical scrolling ends cell editing
    // Moves FirstRow over visible rows only; the pixel distance is what scrolls.
    int row = FGrid->FirstRow();
    int steps = newPosition - FVisibleAbove;
    int distance = 0;
    const bool slides = FGrid->GridStyle() == gsSlides;
    const int pitchExtra = slides ? 0 : FGrid->RowPitchExtra();
    auto pitch = [&](int r) {
        return (slides ? FGrid->SlideSize() : FGrid->GetRowHeight(r)) + pitchExtra;
    };
    const int limit = BodyRect().height() + 1;
    while (steps > 0 && row < FGrid->RowCount() - 1) {
        if (FGrid->GetRowVisible(row)) {
            if (distance < limit)
                distance += pitch(row);
            --steps;
        }
        ++row;
        while (row < FGrid->RowCount() - 1 && !FGrid->GetRowVisible(row))
            ++row;
    }
    while (steps < 0 && row > 0) {
        --row;
        while (row > 0 && !FGrid->GetRowVisible(row))
            --row;
        if (FGrid->GetRowVisible(row)) {
            if (distance > -limit)
                distance -= pitch(row);
            ++steps;
        }
    }
    Q_UNUSED(oldPosition);
    FOwnScroll = true;
    FGrid->SetFirstRow(row);
    FOwnScroll = false;
    FVisibleAbove = CountVisibleAbove(FGrid->FirstRow());
    if (FGrid->HasOption(goIndicator) || FGrid->GridStyle() == gsSlides)
        viewport()->update(IndicatorRect());
    return -distance;
}

int TGxGridView::LastFullyShownRow() const {
    const QRect body = BodyRect();
    const int bottom = Bottom(body);
    const bool slides = FGrid->GridStyle() == gsSlides;
    const int pitchExtra = slides ? 0 : FGrid->RowPitchExtra();
    int y = body.top() + (slides ? 0 : FGrid->LineWidthT());
    int last = -1;
    for (int r = std::max(FGrid->FirstRow(), 0); r < FGrid->RowCount(); ++r) {
        if (!FGrid->GetRowVisible(r))
            continue;
        const int height = slides ? FGrid->SlideSize() : FGrid->GetRowHeight(r);
        if (y + height > bottom)
            break;
        last = r;
        y += height + pitchExtra;
    }
    return last;
}

void TGxGridView::ScrollToRow(int row) {
    if (row < 0 || row >= FGrid->RowCount() || !FGrid->GetRowVisible(row))
        return;
    TGxScrollBar& bar = VertScrollBar();
    const int first = FGrid->FirstRow();
    if (row < first) {
        // Up by the visible rows between the row and FirstRow.
        int steps = 0;
        for (int r = row; r < first && r < FGrid->RowCount(); ++r)
            steps += FGrid->GetRowVisible(r) ? 1 : 0;
        bar.SetPosition(bar.Position() - steps);
        return;
    }
    if (bar.Max() == 0)
        return;
    const int last = LastFullyShownRow();
    if (last < 0 || row <= last)
        return;
    // Down by the visible rows after the last whole row up to this one.
    int steps = 0;
    for (int r = last + 1; r <= row; ++r)
        steps += FGrid->GetRowVisible(r) ? 1 : 0;
    bar.SetPosition(bar.Position() + steps);
}

void TGxGridView::DoMouseWheel(bool down, Qt::KeyboardModifiers modifiers) {
    if (FGrid->Editing())
        return; // the wheel scrolls only while nothing is edited
    TGxScrollBar& vertical = VertScrollBar();
    const bool canMove =
        vertical.Max() > 0 && !(down && vertical.Position() >= vertical.Max() - vertical.PageSize() + 1);
    if (canMove || FGrid->GridStyle() == gsSlides || vertical.Visible()) {
        TGxScrollControl::DoMouseWheel(down, modifiers);
        return;
    }
    TGxScrollBar& horizontal = HorzScrollBar();
    if (horizontal.Max() < 1)
        return;
    HandleScroll(sbHorizontal, down ? (modifiers & Qt::ControlModifier ? scPageDown : scLineDown)
                                    : (modifiers & Qt::ControlModifier ? scPageUp : scLineUp));
}

// ---- events -------------------------------------------------------------------------------

void TGxGridView::resizeEvent(QResizeEvent* event) {
    if (FGrid->EditingCell() && event->oldSize().isValid() && event->oldSize() != event->size())
        FGrid->CloseEdit(); // resizing ends cell editing
    TGxScrollControl::resizeEvent(event);
    FGrid->SetClientWidth(viewport()->width());
    FGrid->Columns().DistributeAutoSize(nullptr);
    UpdateScrollBars();
}

bool TGxGridView::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::Resize) {
        const bool handled = TGxScrollControl::viewportEvent(event);
        FGrid->SetClientWidth(viewport()->width());
        UpdateScrollBars();
        return handled;
    }
    return TGxScrollControl::viewportEvent(event);
}

void TGxGridView::focusInEvent(QFocusEvent* event) {
    TGxScrollControl::focusInEvent(event);
    viewport()->update(); // selection colours depend on the focus
    if (FGrid->RowCount() == 0 && FGrid->HasOption(goInput))
        FGrid->SetInputMode(true);
}

void TGxGridView::focusOutEvent(QFocusEvent* event) {
    TGxScrollControl::focusOutEvent(event);
    HideHint();
    EndInteraction();
    SetHotHeaderColumn(-1);
    viewport()->update();
}

void TGxGridView::leaveEvent(QEvent* event) {
    HideHint();
    SetHotHeaderColumn(-1);
    if (FHotPlayCol >= 0) {
        if (TGxColumnPlay* play = PlayFor(FHotPlayCol, FHotPlayRow, false))
            play->MouseLeave();
        CellInvalidated(FHotPlayCol, FHotPlayRow);
        FHotPlayCol = FHotPlayRow = -1;
    }
    if (FGrid->OnMouseLeave)
        FGrid->OnMouseLeave(FGrid);
    TGxScrollControl::leaveEvent(event);
}

void TGxGridView::enterEvent(QEnterEvent* event) {
    if (FGrid->OnMouseEnter)
        FGrid->OnMouseEnter(FGrid);
    TGxScrollControl::enterEvent(event);
}

void TGxGridView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange ||
        event->type() == QEvent::StyleChange) {
        FFonts.clear();
        viewport()->update();
    }
    TGxScrollControl::changeEvent(event);
}

// ---- painting -----------------------------------------------------------------------------

void TGxGridView::paintEvent(QPaintEvent* event) {
    ++FPaintCount;
    QPainter canvas(viewport());
    const QRect clip = event->rect();
    if (!FGrid) {
        canvas.fillRect(clip, palette().color(QPalette::Base));
        return;
    }
    const bool themed = Themed();
    for (auto& style : FStyles) {
        style->Themed = themed;
        style->RightToLeft = layoutDirection() == Qt::RightToLeft;
    }
    const QRect editor = EditorRect();
    if (!editor.isEmpty())
        canvas.setClipRegion(QRegion(viewport()->rect()).subtracted(editor));
    UpdateClipRects();
    if (FGrid->GridStyle() == gsSlides)
        PaintSlides(canvas, clip);
    else
        PaintReport(canvas, clip);
    if (OnPostDraw)
        OnPostDraw(this, canvas);
    canvas.setClipping(false);
    PaintInteraction(canvas);
}

void TGxGridView::PaintReport(QPainter& canvas, const QRect& clip) {
    PaintRows(canvas, clip);
    PaintColumnParts(canvas, clip);
    const int right = ColumnsRight();
    const int width = viewport()->width();
    const int height = viewport()->height();
    if (right < width) {
        canvas.fillRect(GxRect(std::max(right, Left0()), 0, width, height), Rgb(FGrid->Color()));
        if (FGrid->HasOption(goHeader))
            StyleDisplay().DrawEmptyHeaderArea(
                canvas, GxRect(std::max(right, Left0()), 0, width, FGrid->HeaderSize()));
    }
    if (FGrid->VisibleRowCount() == 0 && !FGrid->Caption().isEmpty()) {
        const QRect body = BodyRect();
        const QFontMetrics& metrics = Metrics(FGrid->Font());
        canvas.setFont(ToFont(FGrid->Font()));
        canvas.setPen(Rgb(isEnabled() ? FGrid->Font().Color : clGrayText));
        QRect r = GxRect(body.left(), body.top() + 4, std::max(Right(body), width),
                         body.top() + 4 + metrics.height());
        GxDrawText(canvas, FGrid->Caption(), r, DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    }
}

void TGxGridView::PaintRows(QPainter& canvas, const QRect& clip) {
    const QRect body = BodyRect();
    const int bottom = Bottom(body);
    const std::vector<TViewColumn> columns = ColumnsInView(clip);
    const bool indicator = FGrid->HasOption(goIndicator);
    const int T = FGrid->LineWidthT();
    const int H = FGrid->LineWidthH();
    const int P = FGrid->RowPitchExtra();
    const int clipTop = clip.top();
    const int clipBottom = Bottom(clip);
    const int count = FGrid->RowCount();
    const bool scrollClip = FGrid->FixedCols() > 0;
    const QRect scrolling = GxRect(Left0() + FGrid->Columns().FixedWidth(), body.top(), Right(body), bottom);
    int y = body.top() + T;
    int row = std::max(FGrid->FirstRow(), 0);
    for (; row < count && y < bottom; ++row) {
        if (!FGrid->GetRowVisible(row))
            continue;
        const int height = FGrid->GetRowHeight(row);
        const bool partialEmpty = HidePartialRows() && y + height > bottom;
        if (y + height + H > clipTop && y - T < clipBottom) {
            for (const TViewColumn& vc : columns) {
                const QRect cell = GxRect(vc.Left, y, vc.Right, y + height);
                if (scrollClip && !vc.Fixed) {
                    canvas.save();
                    canvas.setClipRect(scrolling, Qt::IntersectClip);
                }
                if (partialEmpty)
                    DrawEmptyCell(canvas, *vc.Column, row, cell, clip);
                else
                    DrawCell(canvas, *vc.Column, row, cell, clip);
                if (scrollClip && !vc.Fixed)
                    canvas.restore();
            }
            if (indicator)
                DrawIndicator(canvas, row, GxRect(0, y - T, IndicatorWidth, y + height + H));
        }
        y += height + P;
    }
    // Empty cells down to the bottom of the body.
    const int rowSize = FGrid->RowSize();
    for (int empty = std::max(row, count); y < bottom; ++empty) {
        if (y + rowSize + H > clipTop && y - T < clipBottom) {
            for (const TViewColumn& vc : columns)
                DrawEmptyCell(canvas, *vc.Column, empty, GxRect(vc.Left, y, vc.Right, y + rowSize), clip);
            if (indicator)
                canvas.fillRect(GxRect(0, y - T, IndicatorWidth, std::min(y + rowSize + H, bottom)),
                                Rgb(FGrid->Color()));
        }
        y += rowSize + P;
    }
    if (FGrid->HasOption(goSelectFullRow)) {
        const int current = FGrid->SelectedRow();
        int top = 0;
        if (current >= 0 && current < count && FGrid->GetRowVisible(current) && RowTopInView(current, top))
            DrawFocusRect(canvas, GxRect(body.left(), top, Right(body), top + FGrid->GetRowHeight(current)));
    }
}

void TGxGridView::PaintLines(QPainter& canvas, const QRect& cell, const QColor& bottom, const QColor& right) {
    const int T = FGrid->LineWidthT();
    const int H = FGrid->LineWidthH();
    const int L = FGrid->LineWidthL();
    const int V = FGrid->LineWidthV();
    const int l = cell.left();
    const int t = cell.top();
    const int r = Right(cell);
    const int b = Bottom(cell);
    if (H)
        canvas.fillRect(GxRect(l, b, r, b + H), bottom);
    if (T || L) {
        const QColor light = Rgb(clBtnHighlight);
        if (T)
            canvas.fillRect(GxRect(l, t - T, r - V, t), light);
        if (L)
            canvas.fillRect(GxRect(l, t, l + L, b), light);
    }
    if (V)
        canvas.fillRect(GxRect(r - V, t - T, r, b + H), right);
}

namespace {

// Relative luminance of an sRGB colour, 0..1.
double Luminance(const QColor& Color) {
    const auto linear = [](int Channel) {
        const double c = Channel / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(Color.red()) + 0.7152 * linear(Color.green()) + 0.0722 * linear(Color.blue());
}

double Contrast(const QColor& A, const QColor& B) {
    const double a = Luminance(A);
    const double b = Luminance(B);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

// Text with too little contrast to its cell colour (black on dark green) gives way to white or
// black, whichever stands out more; readable colours stay as they were asked.
QColor ReadableTextColor(const QColor& Text, const QColor& Background) {
    constexpr double MinimumContrast = 4.5;
    if (Contrast(Text, Background) >= MinimumContrast)
        return Text;
    const QColor white(Qt::white);
    const QColor black(Qt::black);
    const QColor better = Contrast(white, Background) > Contrast(black, Background) ? white : black;
    return Contrast(better, Background) > Contrast(Text, Background) ? better : Text;
}

} // namespace

void TGxGridView::DrawCell(QPainter& canvas, const TGxCustomColumn& column, int row, const QRect& cell,
                           const QRect& clip) {
    const int col = column.Index();
    const int T = FGrid->LineWidthT();
    const int H = FGrid->LineWidthH();
    if (!cell.adjusted(0, -T, 0, H).intersects(clip))
        return;
    TColor cellColor = GetDrawColor(col, row);
    const TCellState state = CellStateOf(col, row);
    TColor gridColor = FGrid->GridLinesColor();
    if (FGrid->OnCellColoring)
        FGrid->OnCellColoring(FGrid, col, row, cellColor, gridColor, state);
    if (column.Sorted() && !(state & csSelected)) {
        if (FGrid->SortedStyle() == soDarker)
            cellColor = Blend(clBlack, cellColor, 10);
        else if (FGrid->SortedStyle() == soWhite)
            cellColor = clWhite;
    }
    if (FGrid->HasOption(goGrid)) {
        const bool framed = FGrid->GridLinesStyle() == lsFramed;
        const QColor line = Rgb(gridColor);
        const bool lastRow = row == FGrid->LastVisibleRow();
        const bool lastColumn = FGrid->Columns().IsLastVisible(&column);
        PaintLines(canvas, cell, framed && lastRow ? QColor(Qt::black) : line,
                   framed && lastColumn ? QColor(Qt::black) : line);
    }
    const QRect area = GxRect(cell.left() + FGrid->LineWidthL(), cell.top(),
                              Right(cell) - FGrid->LineWidthV(), Bottom(cell));
    bool defaultDrawing = !FGrid->HasAppearance(aoDontFillCells) && column.DrawingOptions() != doCustomOnly;
    if (OnDrawCellBackground)
        OnDrawCellBackground(this, canvas, col, row, cell, state, defaultDrawing);
    TGxColumnDisplay* display = DisplayOf(column);
    if (defaultDrawing)
        canvas.fillRect(area, Rgb(cellColor));
    if (display) {
        display->CellRect = area.adjusted(column.Padding(), 0, -column.Padding(), 0);
        display->ImageIndex = FGrid->GetRowImageIndex(row);
        const bool paintsValue = column.DrawingOptions() == doNormal || column.DrawingOptions() == doCustom;
        if (paintsValue && !FGrid->GetCellEmpty(col, row) &&
            PrepareCellPaint(canvas, *display, col, row, state)) {
            // Selected cells keep the style's selection colours.
            if (defaultDrawing && !(state & csSelected)) {
                display->TextColor = ReadableTextColor(display->TextColor, Rgb(cellColor));
                canvas.setPen(display->TextColor);
            }
            display->Paint(canvas);
        }
        if (FGrid->HasAppearance(aoHintMarks) && !FGrid->GetCellHint(col, row).isEmpty())
            display->DrawHintMark(canvas);
    }
    if (column.DrawingOptions() != doNormal && OnCustomDrawCell)
        OnCustomDrawCell(this, canvas, col, row, cell, state);
    if (!FGrid->HasOption(goSelectFullRow) && col == FGrid->SelectedColumn() && row == FGrid->SelectedRow())
        DrawFocusRect(canvas, area);
}

void TGxGridView::DrawEmptyCell(QPainter& canvas, const TGxCustomColumn& column, int row, const QRect& cell,
                                const QRect& clip) {
    const int col = column.Index();
    if (!cell.adjusted(0, -FGrid->LineWidthT(), 0, FGrid->LineWidthH()).intersects(clip))
        return;
    TColor cellColor = FGrid->Color();
    if (FGrid->HasAppearance(aoIndicateSortedColumn) && column.Sorted())
        cellColor = Blend(clBlack, cellColor, 10);
    const TGridLinesStyle lines = FGrid->GridLinesStyle();
    TColor gridColor =
        lines == lsActiveRows || lines == lsActiveHorzOnly ? cellColor : FGrid->GridLinesColor();
    const TCellState state = csEmpty;
    if (FGrid->OnCellColoring)
        FGrid->OnCellColoring(FGrid, col, row, cellColor, gridColor, state);
    if (FGrid->HasOption(goGrid)) {
        const QColor line = Rgb(gridColor);
        PaintLines(canvas, cell, line, line);
    }
    bool defaultDrawing = !FGrid->HasAppearance(aoDontFillCells);
    if (OnDrawCellBackground)
        OnDrawCellBackground(this, canvas, col, row, cell, state, defaultDrawing);
    if (defaultDrawing)
        canvas.fillRect(GxRect(cell.left() + FGrid->LineWidthL(), cell.top(),
                               Right(cell) - FGrid->LineWidthV(), Bottom(cell)),
                        Rgb(cellColor));
}

bool TGxGridView::PrepareCellPaint(QPainter& canvas, TGxColumnDisplay& display, int col, int row,
                                   TCellState state) {
    if (row < 0 || row >= FGrid->RowCount())
        return false;
    TColor textColor = isEnabled() ? GetDrawTextColor(col, row) : clGrayText;
    TFontStyles style = 0;
    display.Value = FGrid->GetCellInfo(col, row);
    FGrid->FormatCell(col, row, textColor, style, state);
    const TRow& record = FGrid->GetRowObject(row);
    display.Level = record.Level;
    display.HasChildren = record.ChildCount > 0;
    display.Expanded = record.Expanded;
    display.FontStyle = style;
    display.TextColor = Rgb(textColor);
    // Only the cell under the mouse shows its check box hot or pressed.
    const bool hot = col == FHotPlayCol && row == FHotPlayRow;
    const auto* play = dynamic_cast<const TGxColumnPlay*>(display.Column().Play());
    display.Hot = hot && play && play->Hot;
    display.Pressed = FPlayPressed && col == FPlayCol && row == FPlayRow && play && play->Pressed;
    canvas.setFont(ToFont(display.Column().Font(), style));
    canvas.setPen(display.TextColor);
    return true;
}

void TGxGridView::DrawFocusRect(QPainter& canvas, const QRect& rect) {
    if (!GridFocused() || FGrid->RowCount() == 0 || FInputRowActive || FGrid->HasAppearance(aoHideFocus))
        return;
    if (!rect.intersects(BodyRect()))
        return;
    canvas.save();
    canvas.setClipRect(BodyRect(), Qt::IntersectClip);
    DrawFocusFrame(canvas, rect, FGrid->HasAppearance(aoAlphaBlendedSelection), palette());
    canvas.restore();
}

void TGxGridView::DrawIndicator(QPainter& canvas, int row, const QRect& rect) {
    TStyleDisplay& style = StyleDisplay();
    style.DrawIndicatorCell(canvas, rect, FGrid->GetRowLevel(row));
    const bool current = row == FGrid->SelectedRow() && !FInputRowActive;
    style.DrawIndicatorMark(canvas, rect, current, FGrid->GetRowSelected(row));
}

void TGxGridView::PaintColumnParts(QPainter& canvas, const QRect& clip) {
    TStyleDisplay& style = StyleDisplay();
    const bool focused = GridFocused();
    const int right = std::min(ColumnsRight(), viewport()->width());
    for (const TViewColumn& vc : ColumnsInView(clip)) {
        TGxCustomColumn& column = *vc.Column;
        if (FGrid->HasOption(goHeader) && HeaderCellRect(column).intersects(clip))
            style.DrawHeaderCell(canvas, column, HeaderCellRect(column));
        if (FGrid->HasOption(goInput))
            style.DrawInputCell(canvas, column, InputCellRect(column), focused,
                                FInputRowActive && vc.Index == FGrid->SelectedColumn(), true);
        if (FGrid->HasOption(goFooter))
            style.DrawFooterCell(canvas, column, FooterCellRect(column), true);
    }
    if (FGrid->HasOption(goInput)) {
        const QRect band = InputRect();
        style.DrawBandBackground(canvas, GxRect(Left0(), Bottom(band) - 6, right, Bottom(band)));
        if (FGrid->HasOption(goIndicator))
            style.DrawIndicatorCell(canvas, GxRect(0, band.top(), IndicatorWidth, Bottom(band)), 0);
    }
    if (FGrid->HasOption(goFooter)) {
        const QRect band = FooterRect();
        style.DrawBandBackground(canvas, GxRect(Left0(), band.top(), right, band.top() + 4));
        if (FGrid->HasOption(goIndicator))
            style.DrawIndicatorCell(canvas, GxRect(0, band.top(), IndicatorWidth, Bottom(band)), 0);
    }
    if (FGrid->HasOption(goHeader) && FGrid->HasOption(goIndicator))
        style.DrawCornerCell(canvas, GxRect(0, 0, IndicatorWidth, FGrid->HeaderSize()));
}

void TGxGridView::PaintSlides(QPainter& canvas, const QRect& clip) {
    const QRect body = BodyRect();
    canvas.fillRect(body.intersected(clip), Rgb(FGrid->Color()));
    const std::vector<TViewColumn> all = ColumnsInView(viewport()->rect());
    const int bottom = Bottom(body);
    int y = body.top();
    for (int row = std::max(FGrid->FirstRow(), 0); row < FGrid->RowCount() && y < bottom; ++row) {
        if (!FGrid->GetRowVisible(row))
            continue;
        const QRect slide = GxRect(body.left(), y, Right(body), y + FGrid->SlideSize());
        y += FGrid->SlideSize();
        if (!slide.intersects(clip))
            continue;
        const bool selected = FGrid->GetRowSelected(row) || row == FGrid->SelectedRow();
        TColor slideColor = selected && !(FGrid->SlidesOptions() & soHideSelection)
                                ? FGrid->SlideSelectionColor()
                                : FGrid->Color();
        TColor gridColor = FGrid->GridLinesColor();
        const TCellState state = selected ? csSelected : 0;
        if (FGrid->OnSlideColoring)
            FGrid->OnSlideColoring(FGrid, row, slideColor, gridColor, state);
        canvas.fillRect(slide, Rgb(slideColor));
        if (FGrid->SlidesOptions() & soFrame) {
            const QColor frame = Rgb(gridColor);
            Draw3DFrame(canvas, slide.adjusted(2, 2, -2, -2), frame, frame);
        }
        for (const TViewColumn& vc : all) {
            const QRect cell = SlideCellRect(vc.Index, row);
            const TGxCustomColumn& column = *vc.Column;
            if (!column.SlideCaption().isEmpty()) {
                const QFontMetrics& metrics = Metrics(column.Font());
                canvas.setFont(ToFont(column.Font()));
                canvas.setPen(Rgb(clGrayText));
                QRect caption =
                    column.SlideCaptionLocation() == clTop
                        ? GxRect(cell.left(), cell.top() - metrics.height(), Right(cell), cell.top())
                        : GxRect(slide.left() + 4, cell.top(), cell.left() - 2, Bottom(cell));
                GxDrawText(canvas, column.SlideCaption(), caption,
                           DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS | DT_VCENTER);
            }
            if (IsCellSelected(vc.Index, row))
                canvas.fillRect(cell, Rgb(GetDrawColor(vc.Index, row)));
            TGxColumnDisplay* display = DisplayOf(column);
            if (display && !FGrid->GetCellEmpty(vc.Index, row) &&
                PrepareCellPaint(canvas, *display, vc.Index, row, CellStateOf(vc.Index, row))) {
                display->CellRect = cell;
                display->Paint(canvas);
            }
        }
    }
    if (FGrid->HasOption(goHeader)) {
        for (const TViewColumn& vc : ColumnsInView(clip))
            StyleDisplay().DrawHeaderCell(canvas, *vc.Column, HeaderCellRect(*vc.Column));
        const int right = ColumnsRight();
        if (right < viewport()->width())
            StyleDisplay().DrawEmptyHeaderArea(
                canvas, GxRect(std::max(right, 0), 0, viewport()->width(), FGrid->HeaderSize()));
    }
}

// ---- best fit and row height --------------------------------------------------------------

namespace {

// Painters whose content width is their single-line display text and nothing else.
bool MeasuresPlainText(const TGxColumnDisplay& display) {
    const auto& type = typeid(display);
    return (type == typeid(TTextColumnDisplay) || type == typeid(TNumberColumnDisplay) ||
            type == typeid(TDateColumnDisplay) || type == typeid(TIncrementColumnDisplay)) &&
           (display.TextFlags(false) & DT_SINGLELINE);
}

// A text shaped with kerning is narrower than the sum of its characters' advances; positive
// kerning and rounding add at most this much.
constexpr double kEstimateSlack = 2;

} // namespace

int TGxGridView::BestFitWidth(int col, TBestFitMode mode, bool visibleOnly) {
    TGxCustomColumn* column = FGrid->Columns().GetColumn(col);
    TGxColumnDisplay* display = DisplayOf(*column);
    int widest = 0;
    if (mode != bfCellsOnly) {
        const QFontMetrics& metrics = Metrics(FGrid->Font());
        const QString& caption = column->Header().Caption();
        widest = column->Header().MultiLine() ? MultiLineTextWidth(metrics, caption)
                                              : TextWidthW(metrics, caption);
    }
    if (mode == bfHeaderOnly || !display)
        return 2 * column->Padding() + widest + 5;
    auto prepare = [&](int row) {
        TColor textColor = column->Font().Color;
        TFontStyles style = 0;
        display->Value = FGrid->GetCellInfo(col, row);
        FGrid->FormatCell(col, row, textColor, style, 0);
        display->FontStyle = style;
        display->Level = FGrid->GetRowLevel(row);
    };
    // Shaping every text is the cost of a fit over many rows: plain texts are first estimated
    // from per-character advances, and only those that may be the widest are shaped.
    const bool plain = MeasuresPlainText(*display);
    std::array<std::array<double, 128>, 16> advances{};
    std::array<bool, 16> tableReady{};
    std::vector<std::pair<double, int>> estimates;
    double widestEstimate = -1;
    estimates.reserve(size_t(FGrid->RowCount()));
    for (int row = 0; row < FGrid->RowCount(); ++row) {
        if (visibleOnly && !FGrid->GetRowVisible(row))
            continue;
        prepare(row);
        double estimate = plain ? 0 : -1;
        if (plain) {
            const TFontStyles style = display->FontStyle & 15;
            if (!tableReady[style]) {
                const QFontMetricsF metrics(ToFont(column->Font(), style));
                for (int c = 32; c < 127; ++c)
                    advances[style][size_t(c)] = metrics.horizontalAdvance(QChar(c));
                tableReady[style] = true;
            }
            for (QChar c : display->DisplayText()) {
                if (c.unicode() < 32 || c.unicode() >= 127) {
                    estimate = -1;
                    break;
                }
                estimate += advances[style][c.unicode()];
            }
        }
        if (estimate < 0) {
            widest = std::max(widest, display->GetContentWidth());
            continue;
        }
        estimates.emplace_back(estimate, row);
        widestEstimate = std::max(widestEstimate, estimate);
    }
    // Widest estimate first; once an estimate (an upper bound) falls below the widest shaped
    // text, no later text can be wider.
    Q_UNUSED(widestEstimate);
    std::sort(estimates.begin(), estimates.end(),
              [](const auto& a, const auto& b) { return a.first > b.first; });
    for (const auto& [estimate, row] : estimates) {
        if (estimate + kEstimateSlack < widest)
            break;
        prepare(row);
        widest = std::max(widest, display->GetContentWidth());
    }
    display->FontStyle = 0;
    return 2 * column->Padding() + widest + 5;
}

void TGxGridView::AutoSizeColumn(int col, TBestFitMode mode, bool visibleOnly) {
    if (!FGrid->Columns().IsValidIndex(col))
        return;
    FGrid->Columns().GetColumn(col)->SetWidth(BestFitWidth(col, mode, visibleOnly));
}

void TGxGridView::AutoRowHeight(int row) {
    if (row < 0 || row >= FGrid->RowCount())
        return;
    int height = FGrid->RowSize();
    for (int col = 0; col < FGrid->ColumnCount(); ++col) {
        TGxCustomColumn* column = FGrid->Columns().GetColumn(col);
        TGxColumnDisplay* display = DisplayOf(*column);
        if (!column->Visible() || !display)
            continue;
        TColor textColor = column->Font().Color;
        TFontStyles style = 0;
        display->Value = FGrid->GetCellInfo(col, row);
        FGrid->FormatCell(col, row, textColor, style, 0);
        display->FontStyle = style;
        display->CellRect =
            QRect(0, 0, column->Width() - FGrid->LineWidthL() - FGrid->LineWidthV() - 2 * column->Padding(),
                  FGrid->RowSize());
        height = std::max(height, display->MeasureText().height());
        display->FontStyle = 0;
    }
    FGrid->SetRowHeight(row, height);
}

// ---- interaction --------------------------------------------------------------------------

namespace {

TShiftState ShiftOf(Qt::KeyboardModifiers modifiers) {
    TShiftState shift = 0;
    if (modifiers & Qt::ShiftModifier)
        shift |= ssShift;
    if (modifiers & Qt::ControlModifier)
        shift |= ssCtrl;
    if (modifiers & Qt::AltModifier)
        shift |= ssAlt;
    return shift;
}

// The resize and row-move lines are this wide, so repainting them touches little.
QRect VerticalStrip(int x, int height) {
    return QRect(x - 1, 0, 3, height);
}
QRect HorizontalStrip(int y, int width) {
    return QRect(0, y - 6, width, 13);
}

} // namespace

template <class F> void TGxGridView::Guarded(F&& body) {
    // Nothing thrown by the grid's handlers crosses the event loop.
    try {
        body();
    } catch (const EGridError& e) {
        qWarning("grid: %s", qPrintable(e.Message()));
    } catch (const std::exception& e) {
        qWarning("grid: %s", e.what());
    }
}

QCursor TGxGridView::GridCursor(int id) {
    switch (id) {
    case 3000:
        return QCursor(Qt::SplitHCursor);
    case 3001:
        return QCursor(Qt::ForbiddenCursor);
    case 3003:
        return QCursor(Qt::SplitVCursor);
    case 3006: {
        // A small black arrow pointing right at the rows.
        QPixmap picture(16, 16);
        picture.fill(Qt::transparent);
        QPainter canvas(&picture);
        canvas.setPen(Qt::white);
        canvas.setBrush(Qt::black);
        canvas.drawPolygon(QPolygon({QPoint(2, 4), QPoint(9, 4), QPoint(9, 1), QPoint(14, 7), QPoint(9, 13),
                                     QPoint(9, 10), QPoint(2, 10)}));
        canvas.end();
        return QCursor(picture, 14, 7);
    }
    default:
        return QCursor(Qt::ArrowCursor);
    }
}

TGridRegion TGxGridView::GetRegionAt(const QPoint& point) const {
    if (FGrid->GridStyle() == gsSlides)
        return FGrid->HasOption(goHeader) && point.y() >= 0 && point.y() < FGrid->HeaderSize() ? grHeader
                                                                                               : grBody;
    if (HeaderRect().contains(point))
        return grHeader;
    if (InputRect().contains(point))
        return grInput;
    if (BodyRect().contains(point))
        return grBody;
    if (FooterRect().contains(point))
        return grFooter;
    if (IndicatorRect().contains(point))
        return grIndicator;
    return grNone;
}

bool TGxGridView::InHeaderBand(const QPoint& p) const {
    return FGrid->HasOption(goHeader) && p.y() >= 0 && p.y() < FGrid->HeaderSize() && p.x() >= Left0() &&
           p.x() < viewport()->width();
}

int TGxGridView::GetRowAtPos(int x, int y) const {
    const QRect body = BodyRect();
    if (x < 0 || x >= Right(body) || y < body.top() || y >= Bottom(body))
        return -1;
    const bool slides = FGrid->GridStyle() == gsSlides;
    const int H = slides ? 0 : FGrid->LineWidthH();
    const int P = slides ? 0 : FGrid->RowPitchExtra();
    int top = body.top() + (slides ? 0 : FGrid->LineWidthT());
    for (int r = std::max(FGrid->FirstRow(), 0); r < FGrid->RowCount() && top < Bottom(body); ++r) {
        if (!FGrid->GetRowVisible(r))
            continue;
        const int height = slides ? FGrid->SlideSize() : FGrid->GetRowHeight(r);
        if (y < top + height + H)
            return r;
        top += height + P;
    }
    return -1;
}

int TGxGridView::GetRowEdgeAt(int x, int y) const {
    if (x > IndicatorWidth)
        return -1;
    const QRect body = BodyRect();
    const int P = FGrid->RowPitchExtra();
    int top = body.top() + FGrid->LineWidthT();
    for (int r = std::max(FGrid->FirstRow(), 0); r < FGrid->RowCount() && top < Bottom(body); ++r) {
        if (!FGrid->GetRowVisible(r))
            continue;
        const int edge = top + FGrid->GetRowHeight(r);
        if (edge - 3 < y && y < edge + 1)
            return r;
        top += FGrid->GetRowHeight(r) + P;
    }
    return -1;
}

QPoint TGxGridView::GetCellAt(const QPoint& point) const {
    const int row = GetRowAtPos(point.x(), point.y());
    if (!BodyRect().contains(point))
        return QPoint(-1, row);
    const TGxCustomColumn* column = FGrid->GetColumnAtX(point.x());
    return QPoint(column ? column->Index() : -1, row);
}

// ---- cell mouse handlers ------------------------------------------------------------------

void TGxGridView::FillPlay(TGxColumnPlay& play, int col, int row) {
    const QRect cell = CellRect(col, row);
    const TGxCustomColumn& column = play.Column();
    const QRect area = GxRect(FGrid->LineWidthL(), 0, cell.width() - FGrid->LineWidthV(), cell.height());
    play.CellRect = area.adjusted(column.Padding(), 0, -column.Padding(), 0);
    play.Value = FGrid->GetCellInfo(col, row);
    const TRow& record = FGrid->GetRowObject(row);
    play.Level = record.Level;
    play.HasChildren = record.ChildCount > 0;
    play.Expanded = record.Expanded;
    play.ImageIndex = record.ImageIndex;
    play.Window = this;
    play.OnChange = [this, col, row] {
        if (FGrid->ApplyPlay(col, row))
            CellInvalidated(col, row);
    };
    play.OnToggleExpand = [this, row] {
        FGrid->Expand(row, !FGrid->GetRowObject(row).Expanded);
    };
}

TGxColumnPlay* TGxGridView::PlayFor(int col, int row, bool askBeforeEdit) {
    if (!FGrid->Columns().IsValidIndex(col) || row < 0 || row >= FGrid->RowCount() || FGrid->ReadOnly())
        return nullptr;
    TGxCustomColumn* column = FGrid->Columns().GetColumn(col);
    auto* play = dynamic_cast<TGxColumnPlay*>(column->Play());
    if (!play || !(column->HasOption(coEditing) || (column->GetColumnFlags() & cfPlayWithoutEditing)))
        return nullptr;
    if (askBeforeEdit && FGrid->OnBeforeEdit) {
        bool accept = true;
        FGrid->OnBeforeEdit(FGrid, col, row, accept);
        if (!accept)
            return nullptr;
    }
    FillPlay(*play, col, row);
    return play;
}

// ---- mouse --------------------------------------------------------------------------------

void TGxGridView::mousePressEvent(QMouseEvent* event) {
    Guarded([&] { MouseDown(event); });
    event->accept();
}

void TGxGridView::mouseMoveEvent(QMouseEvent* event) {
    Guarded([&] { MouseMove(event); });
    TGxScrollControl::mouseMoveEvent(event);
}

void TGxGridView::mouseReleaseEvent(QMouseEvent* event) {
    Guarded([&] { MouseUp(event); });
    event->accept();
}

void TGxGridView::mouseDoubleClickEvent(QMouseEvent* event) {
    Guarded([&] { DoubleClick(event); });
    event->accept();
}

void TGxGridView::MouseDown(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    const TShiftState shift = ShiftOf(event->modifiers());
    const QPoint cell = GetCellAt(p);
    FPressPoint = p;
    FPressCol = cell.x();
    FPressRow = cell.y();
    FPressButton = event->button();
    FIgnoreRelease = false;
    FCurrentBeforePress = QPoint(FGrid->SelectedColumn(), FGrid->SelectedRow());
    HideHint();
    if (isVisible() && focusPolicy() != Qt::NoFocus)
        setFocus(Qt::MouseFocusReason); // a running edit ends with the editor's focus
    if (FGrid->ColumnCount() == 0 || event->button() == Qt::MiddleButton)
        return;
    if (event->button() == Qt::LeftButton && InHeaderBand(p)) {
        if (TGxCustomColumn* edge = FGrid->GetColumnEdgeAtX(p.x())) {
            FGrid->CloseEdit();
            FResizeCol = edge->Index();
            FResizeDelta = 0;
            const int left = edge->ClientLeft();
            FResizeLeftX =
                FGrid->Columns().IsFirstVisible(edge) || edge->VisibleIndex() == 0 ? left : left - 1;
            FResizeRightX = left + edge->Width();
            viewport()->update(VerticalStrip(FResizeLeftX, viewport()->height()));
            viewport()->update(VerticalStrip(FResizeRightX, viewport()->height()));
            return;
        }
    }
    switch (GetRegionAt(p)) {
    case grBody:
        CellPress(event->button(), shift, p, cell.x(), cell.y());
        break;
    case grHeader: {
        FGrid->CloseEdit();
        TGxCustomColumn* column = FGrid->GetColumnAtX(p.x());
        const bool clickable = event->button() == Qt::LeftButton && column && column->HasOption(coCanClick);
        SetPressedHeaderColumn(clickable ? column->Index() : -1);
        break;
    }
    case grIndicator: {
        FGrid->CloseEdit();
        const int edge = FGrid->HasOption(goRowResizing) ? GetRowEdgeAt(p.x(), p.y()) : -1;
        if (edge >= 0) {
            FResizeRow = edge;
            FResizeLineY = p.y();
            viewport()->update(HorizontalStrip(FResizeLineY, viewport()->width()));
        } else if (const int row = GetRowAtPos(p.x(), p.y()); row >= 0) {
            FGrid->SetSelectedRow(row);
        }
        break;
    }
    case grInput:
        break;
    default:
        FGrid->CloseEdit();
        break;
    }
}

void TGxGridView::CellPress(Qt::MouseButton button, TShiftState shift, const QPoint& p, int col, int row) {
    FGrid->CloseEdit();
    FPostponed = QPoint(-1, -1);
    if (!FGrid->Columns().IsValidIndex(col) || row < 0 || row >= FGrid->RowCount())
        return;
    const bool multi = FGrid->HasOption(goMultiSelect) && FGrid->HasOption(goSelectFullRow);
    if (multi && button == Qt::RightButton) {
        // A right press keeps a selection it lands in (its menu acts on all of it).
        if (!FGrid->GetRowSelected(row))
            FGrid->SelectCell(col, row, true, 0);
        return;
    }
    if (button == Qt::LeftButton) {
        if (TGxColumnPlay* play = PlayFor(col, row, true)) {
            const QRect cell = CellRect(col, row);
            play->MouseDown(button, shift, p.x() - cell.left(), p.y() - cell.top());
            FPlayPressed = true;
            FPlayCol = col;
            FPlayRow = row;
            FHotPlayCol = col;
            FHotPlayRow = row;
            CellInvalidated(col, row);
        }
    }
    // A plain press on a selected row of a multiple selection may start a drag of all of them:
    // the selection then waits for the release.
    if (multi && button == Qt::LeftButton && shift == 0 && FGrid->MultiSelecting() &&
        FGrid->GetRowSelected(row)) {
        FPostponed = QPoint(col, row);
        return;
    }
    FGrid->SelectCell(col, row, true, shift);
    int top = 0;
    if (RowTopInView(row, top) && top + FGrid->GetRowHeight(row) > Bottom(BodyRect()))
        ScrollToRow(row);
}

void TGxGridView::CellRelease(Qt::MouseButton button, TShiftState shift, const QPoint& p) {
    const QPoint cell = GetCellAt(p);
    const bool samePlay = FPlayPressed && cell.x() == FPlayCol && cell.y() == FPlayRow;
    const int playCol = FPlayCol;
    const int playRow = FPlayRow;
    if (FPlayPressed) {
        FPlayPressed = false;
        CellInvalidated(playCol, playRow);
    }
    if (samePlay) {
        if (TGxColumnPlay* play = PlayFor(playCol, playRow, true)) {
            const QRect r = CellRect(playCol, playRow);
            play->MouseUp(button, shift, p.x() - r.left(), p.y() - r.top());
        }
    } else if (auto* play = FGrid->Columns().IsValidIndex(playCol)
                                ? dynamic_cast<TGxColumnPlay*>(FGrid->Columns().GetColumn(playCol)->Play())
                                : nullptr) {
        play->Pressed = false;
    }
    const bool onPressed = cell.x() >= 0 && cell.y() >= 0 && cell.x() == FPressCol && cell.y() == FPressRow;
    if (FPostponed.x() >= 0) {
        const QPoint postponed = FPostponed;
        FPostponed = QPoint(-1, -1);
        FGrid->SelectCell(postponed.x(), postponed.y(), true, 0);
    }
    // The click is told after a check box has toggled, so its handler reads the new value.
    if (onPressed && FGrid->OnCellClick)
        FGrid->OnCellClick(FGrid, cell.x(), cell.y());
    if (onPressed && FGrid->HasOption(goSecondClickEdit) && FCurrentBeforePress == cell && !samePlay)
        FGrid->EditCell(cell.x(), cell.y());
}

void TGxGridView::MouseMove(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if (FGrid->ColumnCount() == 0)
        return;
    if (FResizeCol >= 0 || FResizeRow >= 0) {
        ResizeMove(p);
        return;
    }
    if (FDragging) {
        ColumnDragMove(event->globalPosition().toPoint());
        return;
    }
    if (FRowMoving) {
        RowMoveMove(p);
        return;
    }
    const TGridRegion region = InHeaderBand(p) ? grHeader : GetRegionAt(p);
    if (region != grHeader && FHotHeader >= 0)
        SetHotHeaderColumn(-1);
    if (region != grBody && FHotPlayCol >= 0) {
        if (TGxColumnPlay* play = PlayFor(FHotPlayCol, FHotPlayRow, false))
            play->MouseLeave();
        CellInvalidated(FHotPlayCol, FHotPlayRow);
        FHotPlayCol = FHotPlayRow = -1;
    }
    // Leaving a region hides the hint it showed.
    const bool hintStays =
        (region == grHeader && FHintKind == hkHeader) || (region == grFooter && FHintKind == hkFooter) ||
        (region == grBody && (FHintKind == hkTextFit || FHintKind == hkCell)) || FHintKind == hkError;
    if (!hintStays)
        HideHint();
    switch (region) {
    case grHeader:
        HeaderHover(p, event->buttons());
        break;
    case grFooter: {
        viewport()->unsetCursor();
        TGxCustomColumn* column = FGrid->GetColumnAtX(p.x());
        if (column && !column->Footer().Hint().isEmpty() && ParentFormActive(this)) {
            if (FHintKind != hkFooter || FHintCell.x() != column->Index()) {
                const QPoint at =
                    viewport()->mapToGlobal(QPoint(column->ClientLeft(), viewport()->height() + 2));
                FHintCell = QPoint(column->Index(), -1);
                ShowHint(hkFooter, QRect(at, CalcHintRect(*FHint, 250, column->Footer().Hint()).size()),
                         column->Footer().Hint());
            }
        } else {
            HideHint();
        }
        break;
    }
    case grBody:
        CellHover(p, event->buttons());
        break;
    case grIndicator:
        if (FGrid->HasOption(goRowResizing) && GetRowEdgeAt(p.x(), p.y()) >= 0)
            viewport()->setCursor(GridCursor(3003));
        else if (GetRowAtPos(p.x(), p.y()) >= 0)
            viewport()->setCursor(GridCursor(3006));
        else
            viewport()->unsetCursor();
        break;
    default:
        viewport()->unsetCursor();
        break;
    }
}

void TGxGridView::HeaderHover(const QPoint& p, Qt::MouseButtons buttons) {
    TGxCustomColumn* edge = FGrid->GetColumnEdgeAtX(p.x());
    FEdgeCol = edge ? edge->Index() : -1;
    if (edge)
        viewport()->setCursor(GridCursor(3000));
    else
        viewport()->unsetCursor();
    if (FPressedHeader >= 0 && (buttons & Qt::LeftButton) && MovedBeyond(p, FPressPoint, 3)) {
        const TGxCustomColumn* pressed = FGrid->Columns().GetColumn(FPressedHeader);
        if (!pressed->HasOption(coDisableMoving) && !FGrid->HasOption(goDisableColumnMoving)) {
            StartColumnDrag(viewport()->mapToGlobal(p));
            return;
        }
    }
    TGxCustomColumn* column = FGrid->GetColumnAtX(p.x());
    if (column && !column->Header().Hint().isEmpty() && ParentFormActive(this)) {
        if (FHintKind != hkHeader || FHintCell.x() != column->Index()) {
            const QPoint at = viewport()->mapToGlobal(QPoint(column->ClientLeft(), FGrid->HeaderSize() + 2));
            FHintCell = QPoint(column->Index(), -1);
            ShowHint(hkHeader, QRect(at, CalcHintRect(*FHint, 250, column->Header().Hint()).size()),
                     column->Header().Hint());
        }
    } else if (FHintKind == hkHeader) {
        HideHint();
    }
    if (StyleDisplay().GetStyleFlags() & sfTrackMouse)
        SetHotHeaderColumn(column ? column->Index() : -1);
}

void TGxGridView::CellHover(const QPoint& p, Qt::MouseButtons buttons) {
    const QPoint cell = GetCellAt(p);
    const int col = cell.x();
    const int row = cell.y();
    if ((col != FHotPlayCol || row != FHotPlayRow) && FHotPlayCol >= 0 && !FPlayPressed) {
        if (TGxColumnPlay* play = PlayFor(FHotPlayCol, FHotPlayRow, false))
            play->MouseLeave();
        CellInvalidated(FHotPlayCol, FHotPlayRow);
        FHotPlayCol = FHotPlayRow = -1;
    }
    if (col >= 0 && row >= 0 && (!FPlayPressed || (col == FPlayCol && row == FPlayRow))) {
        if (TGxColumnPlay* play = PlayFor(col, row, false)) {
            const bool wasHot = play->Hot && col == FHotPlayCol && row == FHotPlayRow;
            const QRect r = CellRect(col, row);
            play->MouseMove(ShiftOf(QGuiApplication::keyboardModifiers()), p.x() - r.left(), p.y() - r.top());
            FHotPlayCol = col;
            FHotPlayRow = row;
            if (play->Hot != wasHot)
                CellInvalidated(col, row);
        }
    }
    if (FGrid->HasOption(goRowMoving) && (buttons & Qt::LeftButton) && FPressRow >= 0 && !FPlayPressed &&
        MovedBeyond(p, FPressPoint, 5)) {
        FRowMoving = true;
        FMoveRow = FPressRow;
        FPostponed = QPoint(-1, -1);
        viewport()->setCursor(Qt::DragMoveCursor);
        RowMoveMove(p);
        return;
    }
    if (col < 0) {
        viewport()->unsetCursor();
        HideHint();
        FHintCell = QPoint(-1, -1);
        return;
    }
    viewport()->unsetCursor(); // every column kind uses the default cursor
    if (QPoint(col, row) != FHintCell) {
        FHintCell = QPoint(col, row);
        HideHint();
        if (row >= 0)
            ShowCellHint(col, row);
    }
}

void TGxGridView::ShowCellHint(int col, int row) {
    if (!ParentFormActive(this))
        return; // hints only while the grid's form is active
    TGxCustomColumn* column = FGrid->Columns().GetColumn(col);
    const QRect cell = CellRect(col, row);
    if (column->HasOption(coShowTextFitHint)) {
        QString text = FGrid->GetCellDisplayText(col, row);
        if (FGrid->OnApplyCell)
            FGrid->OnApplyCell(FGrid, col, row, text);
        int content = TextWidthW(Metrics(column->Font()), text);
        if (column->GetColumnFlags() & cfPlayWithoutEditing)
            column->GetContentIndent(FGrid->GetRowLevel(row), content);
        if (column->Width() < content + 5) {
            const QPoint at = viewport()->mapToGlobal(cell.topLeft());
            QRect r = CalcHintRect(*FHint, viewport()->width(), text);
            r.moveTopLeft(at);
            ShowHint(hkTextFit, r, text);
            return;
        }
    }
    const QString hint = FGrid->GetCellHint(col, row);
    if (hint.isEmpty())
        return;
    QRect r = CalcHintRect(*FHint, 250, hint);
    r.moveTopLeft(viewport()->mapToGlobal(QPoint(Right(cell), cell.top() - 20)));
    ShowHint(hkCell, r, hint);
}

void TGxGridView::ShowHint(THintKind kind, const QRect& screenRect, const QString& text) {
    FHintKind = kind;
    ShowHintText(*FHint, screenRect, text);
}

void TGxGridView::HideHint() {
    if (FHintKind == hkNone)
        return;
    FHintKind = hkNone;
    ReleaseHint(*FHint);
}

void TGxGridView::MouseUp(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    const TShiftState shift = ShiftOf(event->modifiers());
    if (FIgnoreRelease) {
        FIgnoreRelease = false; // the release of a double click
        return;
    }
    if (FRowMoving) {
        RowMoveDrop();
        return;
    }
    if (FDragging) {
        ColumnDragDrop(event->globalPosition().toPoint());
        return;
    }
    if (FResizeCol >= 0) {
        const int col = FResizeCol;
        const int delta = FResizeDelta;
        viewport()->update(VerticalStrip(FResizeLeftX, viewport()->height()));
        viewport()->update(VerticalStrip(FResizeRightX, viewport()->height()));
        FResizeCol = -1;
        TGxCustomColumn* column = FGrid->Columns().GetColumn(col);
        column->SetWidth(column->Width() + delta);
        return;
    }
    if (FResizeRow >= 0) {
        const int row = FResizeRow;
        FResizeRow = -1;
        viewport()->update(HorizontalStrip(FResizeLineY, viewport()->width()));
        if (row < FGrid->RowCount())
            FGrid->SetRowHeight(row, std::max(1, FResizeLineY - RowTop(row)));
        return;
    }
    const int pressed = FPressedHeader;
    if (pressed >= 0) {
        SetPressedHeaderColumn(-1);
        if (FGrid->OnHeaderClick)
            FGrid->OnHeaderClick(FGrid, pressed);
    }
    if (event->button() != Qt::LeftButton) {
        if (FPlayPressed)
            CellRelease(event->button(), shift, p);
        FGrid->CloseEdit();
        return;
    }
    switch (GetRegionAt(p)) {
    case grFooter:
        if (TGxCustomColumn* column = FGrid->GetColumnAtX(p.x()); column && FGrid->OnFooterClick)
            FGrid->OnFooterClick(FGrid, column->Index());
        break;
    case grHeader: {
        TGxCustomColumn* column = FGrid->GetColumnAtX(p.x());
        if (pressed >= 0 && column && column->Index() == pressed && FGrid->Columns().IsValidIndex(pressed))
            FGrid->ToggleSort(*column);
        break;
    }
    case grInput:
        if (TGxCustomColumn* column = FGrid->GetColumnAtX(p.x()))
            FGrid->EditInputCell(column->Index());
        break;
    case grBody:
        CellRelease(event->button(), shift, p);
        break;
    default:
        if (FPlayPressed)
            CellRelease(event->button(), shift, p);
        break;
    }
    FPostponed = QPoint(-1, -1);
}

void TGxGridView::DoubleClick(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    FIgnoreRelease = true;
    if (event->button() != Qt::LeftButton || FGrid->ColumnCount() == 0)
        return;
    if (InHeaderBand(p)) {
        TGxCustomColumn* edge = FGrid->GetColumnEdgeAtX(p.x());
        if (!edge && FGrid->Columns().IsValidIndex(FEdgeCol))
            edge = FGrid->Columns().GetColumn(FEdgeCol);
        if (edge && (edge->GetColumnFlags() & cfFitWidthOnDblClick)) {
            AutoSizeColumn(edge->Index(), bfCellsOnly, true);
            return;
        }
    }
    switch (GetRegionAt(p)) {
    case grHeader:
        if (TGxCustomColumn* column = FGrid->GetColumnAtX(p.x()); column && FGrid->OnHeaderDblClick)
            FGrid->OnHeaderDblClick(FGrid, column->Index());
        break;
    case grIndicator:
        if (FGrid->HasOption(goRowResizing))
            if (const int row = GetRowEdgeAt(p.x(), p.y()); row >= 0)
                AutoRowHeight(row);
        break;
    case grBody: {
        const QPoint cell = GetCellAt(p);
        if (cell.x() >= 0 && cell.y() >= 0 && FGrid->OnCellDblClick)
            FGrid->OnCellDblClick(FGrid, cell.x(), cell.y());
        break;
    }
    default:
        break;
    }
}

// ---- column drag, resizing, row moving ----------------------------------------------------

void TGxGridView::StartColumnDrag(const QPoint& globalPoint) {
    FDragging = true;
    FDragCol = FPressedHeader;
    HideHint();
    FDragBox->ShowFor(FDragCol, globalPoint);
    ColumnDragMove(globalPoint);
}

void TGxGridView::ColumnDragMove(const QPoint& globalPoint) {
    FDragBox->Follow(globalPoint);
    const QPoint p = viewport()->mapFromGlobal(globalPoint);
    const TGxCustomColumn& dragged = *FGrid->Columns().GetColumn(FDragCol);
    const int target = FGrid->GetDropPosition(dragged, p.x());
    const TGxCustomColumn* under = FGrid->GetColumnAtX(p.x());
    const bool allowed = InHeaderBand(p) && under && under->Visible() && FGrid->CanDropAt(dragged, target);
    if (!allowed) {
        FDownArrow->hide();
        FUpArrow->hide();
        viewport()->setCursor(GridCursor(3001));
        return;
    }
    int edge = under->ClientLeft();
    if (under != &dragged && target > dragged.Position())
        edge = under->ClientLeft() + under->Width();
    FDownArrow->move(viewport()->mapToGlobal(QPoint(edge - 4, -12)));
    FUpArrow->move(viewport()->mapToGlobal(QPoint(edge - 4, FGrid->HeaderSize() - 1)));
    FDownArrow->show();
    FUpArrow->show();
    viewport()->unsetCursor();
}

void TGxGridView::ColumnDragDrop(const QPoint& globalPoint) {
    const QPoint p = viewport()->mapFromGlobal(globalPoint);
    TGxCustomColumn* dragged = FGrid->Columns().GetColumn(FDragCol);
    const int target = FGrid->GetDropPosition(*dragged, p.x());
    const TGxCustomColumn* under = FGrid->GetColumnAtX(p.x());
    const bool inside = InHeaderBand(p);
    const bool allowed = inside && under && under->Visible() && FGrid->CanDropAt(*dragged, target);
    CancelColumnDrag();
    if (allowed)
        FGrid->Columns().ChangePosition(dragged->Position(), target);
    else if (!inside && FGrid->HasOption(goCanHideColumn))
        dragged->SetVisible(false);
    AreasInvalidated(gaHeader);
}

void TGxGridView::CancelColumnDrag() {
    const bool wasDragging = FDragging;
    FDragging = false;
    FDragCol = -1;
    if (FDragBox)
        FDragBox->hide();
    if (FDownArrow)
        FDownArrow->hide();
    if (FUpArrow)
        FUpArrow->hide();
    if (FPressedHeader >= 0)
        SetPressedHeaderColumn(-1);
    if (wasDragging)
        viewport()->unsetCursor();
}

void TGxGridView::ResizeMove(const QPoint& p) {
    const int height = viewport()->height();
    if (FResizeCol >= 0) {
        const TGxCustomColumn* column = FGrid->Columns().GetColumn(FResizeCol);
        const int edge = column->ClientLeft() + column->Width();
        // The line never goes left of MinWidth.
        const int delta = std::max(p.x() - edge, column->MinWidth() - column->Width());
        if (delta == FResizeDelta)
            return;
        viewport()->update(VerticalStrip(FResizeRightX, height));
        FResizeDelta = delta;
        FResizeRightX = edge + delta;
        viewport()->update(VerticalStrip(FResizeRightX, height));
        return;
    }
    const int y = std::max(p.y(), RowTop(FResizeRow) + 8);
    if (y == FResizeLineY)
        return;
    viewport()->update(HorizontalStrip(FResizeLineY, viewport()->width()));
    FResizeLineY = y;
    viewport()->update(HorizontalStrip(FResizeLineY, viewport()->width()));
}

int TGxGridView::RowDropAt(const QPoint& p, int& markerY) const {
    const int row = GetRowAtPos(std::max(p.x(), 0), p.y());
    markerY = -1;
    if (row < 0)
        return -1;
    const int top = RowTop(row);
    const int height = FGrid->GetRowHeight(row);
    const bool below = p.y() >= top + height / 2;
    markerY = below ? top + height : top;
    int drop = row + (below ? 1 : 0);
    if (FMoveRow < row || (FMoveRow == row && below))
        --drop;
    return std::clamp(drop, 0, FGrid->RowCount() - 1);
}

void TGxGridView::RowMoveMove(const QPoint& p) {
    int markerY = -1;
    const int drop = RowDropAt(p, markerY);
    if (drop == FDropRow && markerY == FDropY)
        return;
    if (FDropY >= 0)
        viewport()->update(HorizontalStrip(FDropY, viewport()->width()));
    FDropRow = drop;
    FDropY = markerY;
    if (FDropY >= 0)
        viewport()->update(HorizontalStrip(FDropY, viewport()->width()));
    // At the first or last shown row the view moves on by one row.
    const int row = GetRowAtPos(std::max(p.x(), 0), p.y());
    if (row >= 0 && row == FGrid->FirstRow() && row > FGrid->FirstVisibleRow())
        VertScrollBar().SetPosition(VertScrollBar().Position() - 1);
    else if (row >= 0 && row == LastFullyShownRow() && row < FGrid->LastVisibleRow())
        VertScrollBar().SetPosition(VertScrollBar().Position() + 1);
}

void TGxGridView::RowMoveDrop() {
    const int from = FMoveRow;
    const int to = FDropRow;
    if (FDropY >= 0)
        viewport()->update(HorizontalStrip(FDropY, viewport()->width()));
    FRowMoving = false;
    FMoveRow = FDropRow = FDropY = -1;
    viewport()->unsetCursor();
    if (from < 0 || to < 0 || from >= FGrid->RowCount())
        return;
    bool accept = true;
    if (FGrid->OnRowMove)
        FGrid->OnRowMove(FGrid, from, to, accept);
    if (!accept)
        return;
    FGrid->MoveRow(from, to);
    if (FGrid->OnAfterRowMove)
        FGrid->OnAfterRowMove(FGrid, from, to);
    FGrid->SetSelectedRow(to);
}

void TGxGridView::EndInteraction() {
    CancelColumnDrag();
    if (FResizeCol >= 0 || FResizeRow >= 0 || FRowMoving)
        viewport()->update();
    FResizeCol = FResizeRow = -1;
    FRowMoving = false;
    FMoveRow = FDropRow = FDropY = -1;
    FPlayPressed = false;
    FPostponed = QPoint(-1, -1);
}

void TGxGridView::PaintInteraction(QPainter& canvas) {
    const int width = viewport()->width();
    const int height = viewport()->height();
    canvas.save();
    canvas.setCompositionMode(QPainter::RasterOp_NotDestination);
    if (FResizeCol >= 0) {
        canvas.fillRect(QRect(FResizeLeftX, 0, 1, height), Qt::black);
        canvas.fillRect(QRect(FResizeRightX, 0, 1, height), Qt::black);
    }
    if (FResizeRow >= 0)
        canvas.fillRect(QRect(0, FResizeLineY, width, 1), Qt::black);
    canvas.restore();
    if (FRowMoving && FDropY >= 0) {
        // The drop marker: a small triangle at each end joined by a one-pixel line.
        const QColor red(255, 0, 0);
        const int right = Right(BodyRect());
        canvas.fillRect(GxRect(8, FDropY, right - 8, FDropY + 1), red);
        for (int k = 0; k < 4; ++k) {
            canvas.fillRect(GxRect(0, FDropY - 3 + k, k + 1 + 4, FDropY - 2 + k), red);
            canvas.fillRect(GxRect(right - 5 - k, FDropY - 3 + k, right, FDropY - 2 + k), red);
        }
    }
}

// ---- keys ---------------------------------------------------------------------------------

bool TGxGridView::event(QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            // Tab is the grid's only while it wants tabs and has cells to go to.
            const bool cells = FGrid->Columns().VisibleCount() > 0 &&
                               (FGrid->VisibleRowCount() > 0 || FGrid->HasOption(goInput));
            if (!FGrid->WantTabs() || !cells || FGrid->HasOption(goDisableKeys))
                return TGxScrollControl::event(event);
            Guarded([&] { KeyDown(key->key(), key->modifiers()); });
            event->accept();
            return true;
        }
    }
    return TGxScrollControl::event(event);
}

void TGxGridView::keyPressEvent(QKeyEvent* event) {
    if (FGrid->HasOption(goDisableKeys)) {
        event->ignore();
        return;
    }
    const int key = event->key();
    Guarded([&] {
        switch (key) {
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Home:
        case Qt::Key_End:
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Up:
        case Qt::Key_Down:
            KeyDown(key, event->modifiers());
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            KeyPress(QChar(13));
            return;
        case Qt::Key_Escape:
            return;
        default:
            break;
        }
        const bool command = event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
        const QString text = event->text();
        if (!command && !text.isEmpty() && text.at(0).isPrint())
            for (QChar c : text)
                KeyPress(c);
    });
    event->accept();
}

void TGxGridView::KeyDown(int key, Qt::KeyboardModifiers modifiers) {
    if (FGrid->HasOption(goDisableKeys))
        return;
    const TShiftState shift = ShiftOf(modifiers);
    const bool multi = FGrid->HasOption(goMultiSelect) && FGrid->HasOption(goSelectFullRow);
    switch (key) {
    case Qt::Key_Tab:
        FGrid->MoveTab(!(modifiers & Qt::ShiftModifier));
        break;
    case Qt::Key_Backtab:
        FGrid->MoveTab(false);
        break;
    case Qt::Key_PageUp: {
        const int current = FGrid->SelectedRow();
        const int shown = GetRowAtPos(0, BodyRect().top() + FGrid->LineWidthT());
        if (shown >= 0 && current > shown) {
            FGrid->SetSelectedRow(shown);
            break;
        }
        const int page = PageRows();
        VertScrollBar().SetPosition(VertScrollBar().Position() - page);
        FGrid->MoveBy(-page);
        break;
    }
    case Qt::Key_PageDown: {
        const int current = FGrid->SelectedRow();
        const int last = LastFullyShownRow();
        if (last >= 0 && current < last) {
            FGrid->SetSelectedRow(last);
            break;
        }
        const int page = PageRows();
        int below = 0;
        for (int r = current + 1; r < FGrid->RowCount() && below < page; ++r)
            below += FGrid->GetRowVisible(r) ? 1 : 0;
        if (below < page) {
            FGrid->SelectLastRow();
            break;
        }
        VertScrollBar().SetPosition(VertScrollBar().Position() + page);
        FGrid->MoveBy(page);
        break;
    }
    case Qt::Key_Home:
    case Qt::Key_End: {
        const bool toLast = key == Qt::Key_End;
        const bool topBottom = FGrid->HomeEndBehaviour() == hebTopBottom;
        if ((shift & ssShift) && multi) {
            FGrid->SelectToEnd(toLast, topBottom);
        } else if (topBottom) {
            if (FGrid->Columns().IsValidIndex(FGrid->SelectedColumn()))
                toLast ? FGrid->SelectLastRow() : FGrid->SelectFirstRow();
        }
        if (!topBottom)
            toLast ? FGrid->SelectLastColumn() : FGrid->SelectFirstColumn();
        break;
    }
    case Qt::Key_Left:
    case Qt::Key_Right: {
        const bool right = key == Qt::Key_Right;
        if (FGrid->HasOption(goSelectFullRow) && !FGrid->InputMode() &&
            !FGrid->HasAppearance(aoIndicateSelectedCell)) {
            HandleScroll(sbHorizontal, right ? scLineDown : scLineUp);
            break;
        }
        right ? FGrid->MoveRight() : FGrid->MoveLeft();
        break;
    }
    case Qt::Key_Up:
        FGrid->MoveUp(shift);
        break;
    case Qt::Key_Down:
        FGrid->MoveDown(shift);
        break;
    default:
        break;
    }
}

void TGxGridView::KeyPress(QChar key) {
    if (FGrid->Editing() || FGrid->HasOption(goDisableKeys) || key == QChar(27))
        return;
    const bool enter = key == QChar(13);
    if (enter && FGrid->WantReturns()) {
        if (!FGrid->InputMode()) {
            switch (FGrid->SelectionMoveDirection()) {
            case mdUp:
                FGrid->MoveUp();
                break;
            case mdDown:
                FGrid->MoveDown();
                break;
            case mdLeft:
                FGrid->MoveLeft();
                break;
            case mdRight:
                FGrid->MoveRight();
                break;
            default:
                break;
            }
        } else if (FGrid->InputEnterMode() == imAllways) {
            FGrid->AcceptInput();
        }
        return;
    }
    if (enter)
        return;
    const int col = FGrid->SelectedColumn();
    const int row = FGrid->SelectedRow();
    const bool rowValid = row >= 0 && row < FGrid->RowCount();
    if (FGrid->Columns().IsValidIndex(col) && (rowValid || FGrid->InputMode())) {
        TGxCustomColumn* column = FGrid->Columns().GetColumn(col);
        if (!FGrid->InputMode() && rowValid)
            if (TGxColumnPlay* play = PlayFor(col, row, false); play && play->KeyPress(key))
                return;
        if (key != QChar(9) && column->AcceptsChar(key)) {
            const bool started = FGrid->InputMode() ? FGrid->EditInputCellByKey(col, key)
                                                    : FGrid->EditCellByKey(col, row, key);
            if (started)
                return;
        }
    }
    FGrid->TypeAhead(key);
}

// ---- the in-place editor ------------------------------------------------------------------

void TGxGridView::AttachEditor(TGxCustomEdit& editor) {
    auto* widget = dynamic_cast<QWidget*>(&editor);
    if (!widget)
        return;
    FEditorWidget = widget;
    FEditorOldParent = widget->parentWidget();
    FLastEditError.clear();
    widget->hide();
    if (widget->parentWidget() != viewport())
        widget->setParent(viewport());
    widget->setLayoutDirection(layoutDirection());
    widget->installEventFilter(this);
    if (auto* line = qobject_cast<QLineEdit*>(widget))
        FEditorTextConnection = connect(line, &QLineEdit::textChanged, this,
                                        [this] { Guarded([&] { FGrid->EditorChanged(); }); });
    if (auto* edit = dynamic_cast<TGxEdit*>(widget)) {
        // A program's own editor keeps its events only under goInplaceEditEvents.
        const TGxCustomColumn* column = FGrid->Columns().IsValidIndex(FGrid->EditColumn())
                                            ? FGrid->Columns().GetColumn(FGrid->EditColumn())
                                            : nullptr;
        const bool own = column && column->InplaceEdit() == &editor && FGrid->HasOption(goInplaceEditEvents);
        edit->SetOwnEventsQuiet(!own);
    }
}

void TGxGridView::PlaceEditor() {
    if (!FEditorWidget || FEditorWidget->parentWidget() != viewport() || !FGrid->Editing())
        return;
    QRect r;
    if (FGrid->EditingCell()) {
        const int col = FGrid->EditColumn();
        const int row = FGrid->EditRow();
        if (!FGrid->Columns().IsValidIndex(col) || row < FGrid->FirstRow()) {
            FEditorWidget->hide();
            return;
        }
        const TGxCustomColumn* column = FGrid->Columns().GetColumn(col);
        r = CellRect(col, row).adjusted(1, 1, -1, -1);
        int indent = 0;
        column->GetContentIndent(FGrid->GetRowLevel(row), indent);
        r.setLeft(r.left() + indent);
        QRect clip = BodyRect();
        if (column->Position() >= FGrid->FixedCols())
            clip.setLeft(std::max(clip.left(), Left0() + FGrid->Columns().FixedWidth()));
        r = r.intersected(clip);
    } else if (FGrid->Columns().IsValidIndex(FGrid->InputColumn())) {
        r = InputCellRect(*FGrid->Columns().GetColumn(FGrid->InputColumn())).adjusted(1, 1, -1, -1);
    }
    if (r.isEmpty()) {
        FEditorWidget->hide();
        return;
    }
    if (FEditorWidget->geometry() != r)
        FEditorWidget->setGeometry(r);
}

void TGxGridView::ShowEditor(TGxCustomEdit& editor) {
    if (!FEditorWidget || dynamic_cast<QWidget*>(&editor) != FEditorWidget)
        return;
    FEditorWidget->show();
    PlaceEditor();
    FEditorWidget->raise();
    if (FEditorWidget->isVisible())
        FEditorWidget->setFocus(Qt::OtherFocusReason);
}

void TGxGridView::HideEditor(TGxCustomEdit& editor, bool focusGrid) {
    auto* widget = dynamic_cast<QWidget*>(&editor);
    if (!widget || widget != FEditorWidget)
        return;
    const bool hadFocus = widget->hasFocus() || widget->isAncestorOf(QApplication::focusWidget());
    if (focusGrid || hadFocus)
        setFocus(Qt::OtherFocusReason);
    const QRect area = widget->geometry();
    widget->hide();
    viewport()->update(area);
    if (FHintKind == hkError)
        HideHint();
}

void TGxGridView::DetachEditor(TGxCustomEdit& editor) {
    auto* widget = dynamic_cast<QWidget*>(&editor);
    disconnect(FEditorTextConnection);
    if (!widget || widget != FEditorWidget)
        return;
    widget->removeEventFilter(this);
    if (auto* edit = dynamic_cast<TGxEdit*>(widget))
        edit->SetOwnEventsQuiet(false);
    if (widget->parentWidget() == viewport())
        widget->setParent(FEditorOldParent);
    widget->hide();
    FEditorWidget = nullptr;
    FEditorOldParent = nullptr;
}

void TGxGridView::EditorDestroyed(TGxCustomEdit& editor) {
    Q_UNUSED(editor);
    // Called from the editor's destructor: only its QObject part may still be reached.
    disconnect(FEditorTextConnection);
    if (FEditorWidget)
        FEditorWidget->removeEventFilter(this);
    FEditorWidget = nullptr;
    FEditorOldParent = nullptr;
    if (FHintKind == hkError)
        HideHint();
}

void TGxGridView::FocusNextControl(bool forward) {
    focusNextPrevChild(forward);
}

void TGxGridView::ScrollToColumn(int col) {
    if (!FGrid->Columns().IsValidIndex(col))
        return;
    const TGxCustomColumn* column = FGrid->Columns().GetColumn(col);
    if (!column->Visible() || column->Position() < FGrid->FixedCols())
        return; // fixed columns never scroll
    const int left = column->ClientLeft();
    const int right = left + column->Width();
    const int fixedRight = Left0() + FGrid->Columns().FixedWidth();
    const int width = viewport()->width();
    TGxScrollBar& bar = HorzScrollBar();
    if (left < fixedRight)
        bar.SetPosition(bar.Position() - (fixedRight - left));
    else if (right > width)
        bar.SetPosition(bar.Position() + std::min(right - width, left - fixedRight));
    PlaceEditor();
}

bool TGxGridView::eventFilter(QObject* watched, QEvent* event) {
    if (watched != FEditorWidget || !FGrid)
        return TGxScrollControl::eventFilter(watched, event);
    bool taken = false;
    switch (event->type()) {
    case QEvent::KeyPress:
        Guarded([&] { taken = EditorKeyDown(static_cast<QKeyEvent*>(event)); });
        break;
    case QEvent::FocusOut: {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        // Another window or a menu of the editor takes the focus for a while: the edit stays.
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            Guarded([&] { EditorFocusLost(); });
        viewport()->update();
        break;
    }
    case QEvent::FocusIn:
        viewport()->update();
        break;
    default:
        break;
    }
    return taken || TGxScrollControl::eventFilter(watched, event);
}

void TGxGridView::EditorFocusLost() {
    if (FInEditorFocusOut || !FGrid->Editing() || FGrid->EndingEdit())
        return;
    if (FGrid->Editor() && FGrid->Editor()->PopupOpen())
        return;
    FInEditorFocusOut = true;
    // Focus loss stores what converts and ends the edit either way.
    try {
        FGrid->ApplyEdit();
    } catch (const EGridError&) {
    }
    FGrid->EndEdit(false);
    FInEditorFocusOut = false;
}

bool TGxGridView::ApplyAndEndEdit(bool focusGrid) {
    try {
        FGrid->ApplyEdit();
    } catch (const EGridError& e) {
        ShowEditError(e.Message());
        return false;
    }
    FLastEditError.clear();
    FGrid->EndEdit(focusGrid);
    return true;
}

void TGxGridView::ShowEditError(const QString& message) {
    FLastEditError = message;
    if (!FEditorWidget)
        return;
    QRect r = CalcHintRect(*FHint, 250, message);
    r.moveTopLeft(FEditorWidget->mapToGlobal(QPoint(0, FEditorWidget->height() + 2)));
    ShowHint(hkError, r, message);
}

bool TGxGridView::EditorKeyDown(QKeyEvent* event) {
    TGxCustomEdit* editor = FGrid->Editor();
    if (!editor)
        return false;
    // An open drop-down has the editor's keys (Enter, Esc and the page keys included); Tab
    // still ends the edit.
    if (editor->PopupOpen() && event->key() != Qt::Key_Tab && event->key() != Qt::Key_Backtab)
        return false;
    const int key = event->key();
    switch (key) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab: {
        // With WantTabs the grid moves to the next cell, else the focus leaves the grid.
        const bool forward = key == Qt::Key_Tab && !(event->modifiers() & Qt::ShiftModifier);
        const bool wantTabs = editor->WantTabs();
        const Qt::KeyboardModifiers modifiers = event->modifiers();
        if (!ApplyAndEndEdit(true))
            return true;
        if (wantTabs)
            KeyDown(key, modifiers);
        else
            FocusNextControl(forward);
        return true;
    }
    case Qt::Key_Return:
    case Qt::Key_Enter: {
        if (event->modifiers() & Qt::ControlModifier)
            return false;
        if (FGrid->EditingInput()) {
            const int col = FGrid->InputColumn();
            try {
                FGrid->ApplyEdit();
                FGrid->AcceptInput();
            } catch (const EGridError& e) {
                ShowEditError(e.Message());
                return true;
            }
            if (FGrid->Columns().IsValidIndex(col) && FGrid->Editor())
                FGrid->Editor()->SetText(FGrid->Columns().GetColumn(col)->InputValue());
            return true;
        }
        const TGxCustomColumn* column = FGrid->Columns().IsValidIndex(FGrid->EditColumn())
                                            ? FGrid->Columns().GetColumn(FGrid->EditColumn())
                                            : nullptr;
        if (column && ((column->GetColumnFlags() & cfEnterKeepsEditing) || column->GetMultiLine()))
            return false;
        if (ApplyAndEndEdit(true))
            KeyPress(QChar(13));
        return true;
    }
    case Qt::Key_Escape:
        if (FGrid->HasOption(goEscClearEdit)) {
            editor->SetText(QString());
            return true;
        }
        FLastEditError.clear();
        FGrid->EndEdit(true); // nothing is stored
        return true;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        KeyDown(key, event->modifiers());
        return true;
    default:
        return false; // Home, End, the arrows and the characters are the editor's
    }
}
