// The table control's window: a view of one TDataGrid that lays out and paints the header,
// input row, rows, footer and indicator column, scrolls by rows and pixels, and repaints only
// what the model names.
#pragma once

#include "grid/GxGrid.h"
#include "grid/widgets/GxColumnDrag.h"
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

// Regions of the grid's client area (report layout; the slide layout has header and body).
enum TGridRegion : uint8_t {
    grNone = 0,
    grBody = 1,
    grFooter = 2,
    grHeader = 3,
    grIndicator = 4,
    grInput = 5
};
// What the hint window shows.
enum THintKind : uint8_t { hkNone, hkHeader, hkFooter, hkTextFit, hkCell, hkError };

// Which extents a best fit measures.
enum TBestFitMode : uint8_t { bfAll, bfCellsOnly, bfHeaderOnly };

class TGxGridView : public TGxScrollControl, public TColumnViewFactory, public TGxEditorHost {
    Q_OBJECT
public:
    // The view shows grid (borrowed) and makes the painters of its columns, also of columns added
    // later. A grid deleted before its view leaves the view showing an empty grid of its own, so
    // windows may delete grids and views in any order.
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
    // The in-place editor's area while it is shown (left out of painting).
    virtual QRect EditorRect() const;
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

    // ---- hit tests ------------------------------------------------------------------------
    TGridRegion GetRegionAt(const QPoint& point) const;
    // The visible row under a point of the cell body (from x 0), -1 when none.
    int GetRowAtPos(int x, int y) const;
    // In the indicator (x <= 12): the visible row whose lower edge b has b - 3 < y < b + 1.
    int GetRowEdgeAt(int x, int y) const;
    // Column creation index and row under a point, each -1 when none.
    QPoint GetCellAt(const QPoint& point) const;
    // The last row that fits completely below FirstRow, -1 when none.
    int LastFullyShownRow() const;
    // Rows of one page: the rows that fit, at least one.
    int PageRows() const { return std::max(1, FittingRows()); }

    // ---- interaction state, for the window's users and tests ----------------------------
    bool DraggingColumn() const { return FDragging; }
    int ResizingColumn() const { return FResizeCol; }
    int ResizeDelta() const { return FResizeDelta; }
    int ResizingRow() const { return FResizeRow; }
    bool MovingRow() const { return FRowMoving; }
    int DropRow() const { return FDropRow; }
    TColumnDragBox& DragBox() const { return *FDragBox; }
    TDragArrow& DownArrow() const { return *FDownArrow; }
    TDragArrow& UpArrow() const { return *FUpArrow; }
    TGxHintWindow& HintWindow() const { return *FHint; }
    THintKind HintKind() const { return FHintKind; }
    // The conversion error that keeps the editor open, empty when none.
    const QString& LastEditError() const { return FLastEditError; }
    QWidget* EditorWidget() const { return FEditorWidget; }
    // The cursors 3000 (column edge), 3001 (no drop), 3003 (row edge), 3006 (indicator).
    static QCursor GridCursor(int id);
    // The key handling of the grid (also reached from the editor's keys).
    void KeyDown(int key, Qt::KeyboardModifiers modifiers);
    void KeyPress(QChar key);

    // TGxEditorHost
    void AttachEditor(TGxCustomEdit& editor) override;
    void ShowEditor(TGxCustomEdit& editor) override;
    void HideEditor(TGxCustomEdit& editor, bool focusGrid) override;
    void DetachEditor(TGxCustomEdit& editor) override;
    void EditorDestroyed(TGxCustomEdit& editor) override;
    void FocusNextControl(bool forward) override;
    void ScrollToColumn(int col) override;

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
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

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
    void ConnectGrid();
    void GridDestroyed();
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

    // Mouse steps.
    void MouseDown(QMouseEvent* event);
    void MouseMove(QMouseEvent* event);
    void MouseUp(QMouseEvent* event);
    void DoubleClick(QMouseEvent* event);
    void CellPress(Qt::MouseButton button, TShiftState shift, const QPoint& p, int col, int row);
    void CellRelease(Qt::MouseButton button, TShiftState shift, const QPoint& p);
    void CellHover(const QPoint& p, Qt::MouseButtons buttons);
    void HeaderHover(const QPoint& p, Qt::MouseButtons buttons);
    bool InHeaderBand(const QPoint& p) const;
    void StartColumnDrag(const QPoint& globalPoint);
    void ColumnDragMove(const QPoint& globalPoint);
    void ColumnDragDrop(const QPoint& globalPoint);
    void CancelColumnDrag();
    void ResizeMove(const QPoint& p);
    void RowMoveMove(const QPoint& p);
    void RowMoveDrop();
    void EndInteraction();
    void PaintInteraction(QPainter& canvas);
    // Drop place of a moved row under a point and the y of its marker.
    int RowDropAt(const QPoint& p, int& markerY) const;
    // The cell's mouse handler, filled with the cell, when it may act on it.
    TGxColumnPlay* PlayFor(int col, int row, bool askBeforeEdit);
    void FillPlay(TGxColumnPlay& play, int col, int row);
    void ShowHint(THintKind kind, const QRect& screenRect, const QString& text);
    void HideHint();
    void ShowCellHint(int col, int row);
    // Keys reaching the editor first; true when the grid took the key.
    bool EditorKeyDown(QKeyEvent* event);
    // Stores and ends the edit; a conversion error keeps the editor open and shows why.
    bool ApplyAndEndEdit(bool focusGrid);
    void ShowEditError(const QString& message);
    void EditorFocusLost();
    void PlaceEditor();
    // Runs a handler of a window event; an error is written to the program's error output.
    template <class F> void Guarded(F&& body);

    QPointer<TDataGrid> FGrid;
    std::unique_ptr<TDataGrid> FEmptyGrid; // shown once the grid has gone
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

    // Interaction state.
    QPoint FPressPoint;
    int FPressCol = -1;
    int FPressRow = -1;
    Qt::MouseButton FPressButton = Qt::NoButton;
    QPoint FCurrentBeforePress{-1, -1};
    bool FIgnoreRelease = false;
    int FEdgeCol = -1;
    bool FPlayPressed = false;
    int FPlayCol = -1;
    int FPlayRow = -1;
    int FHotPlayCol = -1;
    int FHotPlayRow = -1;
    QPoint FPostponed{-1, -1};
    bool FDragging = false;
    int FDragCol = -1;
    int FResizeCol = -1;
    int FResizeLeftX = 0;
    int FResizeRightX = 0;
    int FResizeDelta = 0;
    int FResizeRow = -1;
    int FResizeLineY = 0;
    bool FRowMoving = false;
    int FMoveRow = -1;
    int FDropRow = -1;
    int FDropY = -1;
    QPoint FHintCell{-1, -1};
    THintKind FHintKind = hkNone;
    QPointer<TColumnDragBox> FDragBox;
    QPointer<TDragArrow> FDownArrow;
    QPointer<TDragArrow> FUpArrow;
    QPointer<TGxHintWindow> FHint;
    QPointer<QWidget> FEditorWidget;
    QPointer<QWidget> FEditorOldParent;
    QMetaObject::Connection FEditorTextConnection;
    QMetaObject::Connection FAppState;
    QString FLastEditError;
    bool FInEditorFocusOut = false;
};
