// The table control's window: a view of one TDataGrid that lays out and paints the header,
// input row, rows, footer and indicator column, scrolls by rows and pixels, and repaints only
// what the model names.
#pragma once

#include "grid/GxGrid.h"
#include "grid/widgets/GxDisplays.h"
#include "grid/widgets/GxScrollControl.h"

#include <QFontMetrics>
#include <QPixmap>
#include <QPointer>
#include <QRegion>
#include <QTimer>
#include <array>
#include <functional>
#include <memory>
#include <vector>

// Which extents a best fit measures.
enum TBestFitMode : uint8_t { bfAll, bfCellsOnly, bfHeaderOnly };

class TGxGridView : public TGxScrollControl, public TColumnViewFactory {
    Q_OBJECT
public:
    // The view shows grid (borrowed; it must outlive the view) and makes the painters of its
    // columns, also of columns added later.
    explicit TGxGridView(TDataGrid* grid, QWidget* parent = nullptr);
    ~TGxGridView() override;

    TDataGrid& Grid() const { return *FGrid; }

    // ---- geometry, in client (viewport) coordinates -----------------------------------
    int Left0() const { return FGrid->HasOption(goIndicator) ? IndicatorWidth : 0; }
    // Left0 + total width of the visible columns - horizontal scroll position.
    int ColumnsRight() const;
    QRect HeaderRect() const;
    QRect InputRect() const;
    QRect BodyRect() const;
    QRect FooterRect() const;
    QRect IndicatorRect() const;
    // Top of a row (rows past the last count RowSize); rows above FirstRow lie above the body.
    int RowTop(int row) const;
    QRect CellRect(int col, int row) const;
    QRect RowRect(int row) const;
    // A column's rectangle in one band (header, input cell, footer cell).
    QRect HeaderCellRect(const TGxCustomColumn& column) const;
    QRect InputCellRect(const TGxCustomColumn& column) const;
    QRect FooterCellRect(const TGxCustomColumn& column) const;
    // Slide style: the card of a row and a cell placed by its column's slide bounds.
    QRect SlideRect(int row) const;
    QRect SlideCellRect(int col, int row) const;
    // Number of whole rows that fit below FirstRow.
    int FittingRows() const;

    // ---- painting state ---------------------------------------------------------------
    // Visual styles are on for this grid and available.
    bool Themed() const;
    TStyleDisplay& StyleDisplay() const { return *FStyles[FGrid->HeaderStyle()]; }
    TStyleDisplay& StyleDisplay(THeaderStyle style) const { return *FStyles[style]; }
    QColor Rgb(TColor color) const { return ColorToQColor(color, palette()); }
    QFont ToFont(const TGridFont& font, TFontStyles extra = 0) const;
    const QFontMetrics& Metrics(const TGridFont& font, TFontStyles extra = 0) const;
    bool GridFocused() const;
    TColor GetDrawColor(int col, int row);
    TColor GetDrawTextColor(int col, int row);
    bool IsCellSelected(int col, int row) const;
    TCellState CellStateOf(int col, int row) const;

    // State that the mouse, keyboard and editing layers set.
    int HotHeaderColumn() const { return FHotHeader; }
    void SetHotHeaderColumn(int col);
    int PressedHeaderColumn() const { return FPressedHeader; }
    void SetPressedHeaderColumn(int col);
    bool InputRowActive() const { return FInputRowActive; }
    void SetInputRowActive(bool value);
    int EditingInputColumn() const { return FEditingInputColumn; }
    virtual bool IsEditingCell(int col, int row) const;
    virtual QRect EditorRect() const { return QRect(); }
    // A row that does not fit completely is painted as empty cells.
    virtual bool HidePartialRows() const { return false; }
    QPixmap HeaderGlyph(int col) const;
    void SetHeaderGlyph(int col, const QPixmap& glyph);

    // ---- layout operations ------------------------------------------------------------
    // Width := 2 x Padding + the widest measured extent + 5.
    void AutoSizeColumn(int col, TBestFitMode mode = bfAll, bool visibleOnly = false);
    int BestFitWidth(int col, TBestFitMode mode = bfAll, bool visibleOnly = false);
    // Height := the largest the row's visible cells need, at least RowSize.
    void AutoRowHeight(int row);
    // Scrolls so that the row is shown whole.
    void ScrollToRow(int row);
    // Recomputes both scroll bars from the model.
    void UpdateScrollBars();
    // Paints what the model asked to repaint now instead of at the next frame.
    void FlushPendingUpdates();

    // Painting events (Sender is the view).
    std::function<void(TGxGridView* sender, QPainter& canvas, int col, int row, const QRect& rect,
                       TCellState state)>
        OnCustomDrawCell;
    std::function<void(TGxGridView* sender, QPainter& canvas, int col, int row, const QRect& rect,
                       TCellState state, bool& defaultDrawing)>
        OnDrawCellBackground;
    std::function<void(TGxGridView* sender, QPainter& canvas)> OnPostDraw;

    // Count of paint passes, for tests and benchmarks.
    int PaintCount() const { return FPaintCount; }

    // TColumnViewFactory
    std::unique_ptr<TColumnDisplay> CreateDisplay(TGxCustomColumn& column, TDisplayClass cls) override;
    std::unique_ptr<TColumnPlay> CreatePlay(TGxCustomColumn& column, TPlayClass cls) override;
    std::unique_ptr<TGxCustomEdit> CreateEditor(TGxCustomColumn& column, TEditorClass cls) override;
    TGxColumnDisplay* DisplayOf(const TGxCustomColumn& column) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;

    int HorzScrollDelta(int oldPosition, int newPosition) override;
    int VertScrollDelta(int oldPosition, int newPosition) override;
    void DoMouseWheel(bool down, Qt::KeyboardModifiers modifiers) override;
    void PaintFrame(QPainter& canvas) override;

    // Painting steps.
    virtual void PaintReport(QPainter& canvas, const QRect& clip);
    virtual void PaintRows(QPainter& canvas, const QRect& clip);
    virtual void PaintColumnParts(QPainter& canvas, const QRect& clip);
    virtual void PaintSlides(QPainter& canvas, const QRect& clip);
    virtual void DrawCell(QPainter& canvas, const TGxCustomColumn& column, int row, const QRect& cell,
                          const QRect& clip);
    virtual void DrawEmptyCell(QPainter& canvas, const TGxCustomColumn& column, int row, const QRect& cell,
                               const QRect& clip);
    virtual void DrawIndicator(QPainter& canvas, int row, const QRect& rect);
    // Font, text colour and value of a cell for its painter; false when the cell cannot be
    // painted.
    virtual bool PrepareCellPaint(QPainter& canvas, TGxColumnDisplay& display, int col, int row,
                                  TCellState state);

private:
    struct TViewColumn {
        TGxCustomColumn* Column;
        int Index;
        int Left;
        int Right;
        bool Fixed;
        bool Last;
    };
    std::vector<TViewColumn> ColumnsInView(const QRect& clip) const;
    // Top of a row when it lies within the body (false otherwise); walks only the rows in view.
    bool RowTopInView(int row, int& top) const;
    void QueueUpdate(const QRect& rect);
    void CellInvalidated(int col, int row);
    void RowInvalidated(int row);
    void RowsInvalidated(int first, int last);
    void AreasInvalidated(int areas);
    void ColumnPartInvalidated(int col, int region);
    void FirstRowChanged();
    void ColumnListUpdated(int operation, int index);
    void ApplyBorder();
    void UpdateClipRects();
    void UpdateVertScrollBar();
    void UpdateHorzScrollBar();
    int CountVisibleAbove(int row) const;
    void PaintLines(QPainter& canvas, const QRect& cell, const QColor& bottom, const QColor& right);
    void DrawFocusRect(QPainter& canvas, const QRect& rect);
    int ColumnAtX(int x) const;
    // Moves the hot or pressed header mark, repainting both headers.
    void MoveHeaderMark(int& mark, int col);

    QPointer<TDataGrid> FGrid;
    std::array<std::unique_ptr<TStyleDisplay>, HeaderStyleCount> FStyles;
    int FHotHeader = -1;
    int FPressedHeader = -1;
    bool FInputRowActive = false;
    int FEditingInputColumn = -1;
    std::vector<QPixmap> FHeaderGlyphs;
    int FVisibleAbove = 0; // visible rows above FirstRow: the vertical position
    bool FOwnScroll = false;
    int FScrollBarDepth = 0;
    QRegion FPending;
    QTimer FFlushTimer;
    int FPaintCount = 0;
    struct TFontEntry {
        TGridFont Key;
        TFontStyles Extra;
        QFont Font;
        QFontMetrics Metrics;
    };
    mutable std::vector<std::unique_ptr<TFontEntry>> FFonts;
};
