// The table control's window: layout, painting, scrolling and repaint bookkeeping.
#include "grid/widgets/GxGridView.h"

#include <QApplication>
#include <QFocusEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QResizeEvent>
#include <algorithm>

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

    connect(grid, &TGxCustomGridControl::CellInvalidated, this, &TGxGridView::CellInvalidated);
    connect(grid, &TGxCustomGridControl::RowInvalidated, this, &TGxGridView::RowInvalidated);
    connect(grid, &TGxCustomGridControl::RowsInvalidated, this, &TGxGridView::RowsInvalidated);
    connect(grid, &TGxCustomGridControl::AreasInvalidated, this, &TGxGridView::AreasInvalidated);
    connect(grid, &TGxCustomGridControl::ColumnPartInvalidated, this, &TGxGridView::ColumnPartInvalidated);
    connect(grid, &TGxCustomGridControl::ScrollBarsChanged, this, [this] { UpdateScrollBars(); });
    connect(grid, &TGxCustomGridControl::ScrollToRowRequested, this, [this](int row) { ScrollToRow(row); });
    connect(grid, &TGxCustomGridControl::FirstRowChanged, this, &TGxGridView::FirstRowChanged);
    connect(grid, &TGxCustomGridControl::ColumnListUpdated, this, &TGxGridView::ColumnListUpdated);

    for (int i = 0; i < grid->ColumnCount(); ++i)
        grid->Columns().GetColumn(i)->CreateViews(*this);
    ApplyBorder();
    resize(250, 150);
    UpdateScrollBars();
}

TGxGridView::~TGxGridView() {
    // The columns keep their painters: they must not reach this window any more.
    if (!FGrid)
        return;
    disconnect(FGrid, nullptr, this, nullptr);
    for (int i = 0; i < FGrid->ColumnCount(); ++i)
        if (TGxColumnDisplay* display = DisplayOf(*FGrid->Columns().GetColumn(i)))
            display->Window = nullptr;
}

// ---- factory ------------------------------------------------------------------------------

std::unique_ptr<TColumnDisplay> TGxGridView::CreateDisplay(TGxCustomColumn& column, TDisplayClass cls) {
    return CreateColumnDisplay(column, cls, this);
}

std::unique_ptr<TColumnPlay> TGxGridView::CreatePlay(TGxCustomColumn& column, TPlayClass cls) {
    Q_UNUSED(column);
    Q_UNUSED(cls);
    return nullptr; // cell mouse handlers belong to the interaction layer
}

std::unique_ptr<TGxCustomEdit> TGxGridView::CreateEditor(TGxCustomColumn& column, TEditorClass cls) {
    Q_UNUSED(column);
    Q_UNUSED(cls);
    return nullptr; // in-place editors belong to the editing layer
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
            if (!DisplayOf(*column))
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
    return hasFocus() || viewport()->hasFocus();
}

bool TGxGridView::IsEditingCell(int col, int row) const {
    Q_UNUSED(col);
    Q_UNUSED(row);
    return false;
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
    FGrid->SetHorzScrollPos(newPosition);
    return oldPosition - newPosition;
}

int TGxGridView::VertScrollDelta(int oldPosition, int newPosition) {
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

void TGxGridView::ScrollToRow(int row) {
    if (row < 0 || row >= FGrid->RowCount() || !FGrid->GetRowVisible(row))
        return;
    const int above = CountVisibleAbove(row);
    TGxScrollBar& bar = VertScrollBar();
    if (row < FGrid->FirstRow() || bar.Max() == 0) {
        if (row < FGrid->FirstRow())
            bar.SetPosition(above);
        return;
    }
    // Below: scroll until the row's bottom is inside the body.
    const QRect body = BodyRect();
    for (int guard = 0; guard < FGrid->RowCount(); ++guard) {
        int top = 0;
        if (RowTopInView(row, top) && top + FGrid->GetRowHeight(row) <= Bottom(body))
            break;
        if (FGrid->FirstRow() >= row)
            break;
        const int before = bar.Position();
        bar.SetPosition(bar.Position() + 1);
        if (bar.Position() == before)
            break;
    }
}

void TGxGridView::DoMouseWheel(bool down, Qt::KeyboardModifiers modifiers) {
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
}

void TGxGridView::focusOutEvent(QFocusEvent* event) {
    TGxScrollControl::focusOutEvent(event);
    SetHotHeaderColumn(-1);
    viewport()->update();
}

void TGxGridView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if ((StyleDisplay().GetStyleFlags() & sfTrackMouse) && FGrid->HasOption(goHeader) && p.y() >= 0 &&
        p.y() < FGrid->HeaderSize())
        SetHotHeaderColumn(ColumnAtX(p.x()));
    else
        SetHotHeaderColumn(-1);
    TGxScrollControl::mouseMoveEvent(event);
}

void TGxGridView::leaveEvent(QEvent* event) {
    SetHotHeaderColumn(-1);
    TGxScrollControl::leaveEvent(event);
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
            PrepareCellPaint(canvas, *display, col, row, state))
            display->Paint(canvas);
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
    if (mode != bfHeaderOnly && display) {
        for (int row = 0; row < FGrid->RowCount(); ++row) {
            if (visibleOnly && !FGrid->GetRowVisible(row))
                continue;
            TColor textColor = column->Font().Color;
            TFontStyles style = 0;
            display->Value = FGrid->GetCellInfo(col, row);
            FGrid->FormatCell(col, row, textColor, style, 0);
            display->FontStyle = style;
            display->Level = FGrid->GetRowLevel(row);
            widest = std::max(widest, display->GetContentWidth());
        }
        display->FontStyle = 0;
    }
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
