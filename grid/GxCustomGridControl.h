// Base of the table control model: the column collection, grid options, the update counter,
// the current cell and selection, the event hooks, and the layout and text files. Painting is
// left to the widget layer, which listens to the repaint signals.
#pragma once

#include "grid/GxColumnClasses.h"
#include "grid/GxColumns.h"

#include <QLocale>
#include <QObject>
#include <functional>
#include <memory>

class TCell;

enum TGridOption : uint32_t {
    goCanHideColumn = 1u << 0,
    goDisableColumnMoving = 1u << 1,
    goDisableKeys = 1u << 2,
    goEscClearEdit = 1u << 3,
    goFooter = 1u << 4,
    goGrid = 1u << 5,
    goHeader = 1u << 6,
    goIndicator = 1u << 7,
    goInput = 1u << 8,
    goLockFixedCols = 1u << 9,
    goMultiSelect = 1u << 10,
    goRowResizing = 1u << 11,
    goRowMoving = 1u << 12,
    goSecondClickEdit = 1u << 13,
    goSelectFullRow = 1u << 14,
    goUseDefaultValues = 1u << 15,
    goInplaceEditEvents = 1u << 16,
};
using TGridOptions = uint32_t;

enum TGridLinesStyle : uint8_t {
    lsNormal,
    lsActiveHorzOnly,
    lsActiveRows,
    lsFramed,
    lsHorizontalOnly,
    lsVerticalOnly
};

enum TShiftFlag : uint8_t { ssShift = 1, ssAlt = 2, ssCtrl = 4 };
using TShiftState = uint8_t;

// Areas the widget repaints when asked: the five bands, the whole client area (the bands plus
// what lies right of the columns) and the border.
enum TGridArea : uint8_t {
    gaBody = 1,
    gaHeader = 2,
    gaIndicator = 4,
    gaFooter = 8,
    gaInput = 16,
    gaClient = 32,
    gaBorder = 64,
};

enum TAppearanceOption : uint16_t {
    ao3DGridLines = 1u << 0,
    aoAlphaBlendedSelection = 1u << 1,
    aoBoldTextSelection = 1u << 2,
    aoDontFillCells = 1u << 3,
    aoHideFocus = 1u << 4,
    aoHideSelection = 1u << 5,
    aoHighlightSlideCells = 1u << 6,
    aoHintMarks = 1u << 7,
    aoIndicateSelectedCell = 1u << 8,
    aoIndicateSortedColumn = 1u << 9,
};
using TAppearanceOptions = uint16_t;

// State of a cell as it is painted.
enum TCellStateFlag : uint8_t { csBoldTextSelection = 1, csEmpty = 2, csFocused = 4, csSelected = 8 };
using TCellState = uint8_t;

enum TGridStyle : uint8_t { gsReport, gsSlides };
enum THeaderStyle : uint8_t {
    hsAuto,
    hsFlatBorders,
    hsOffice2007,
    hsOffice2010,
    hsOldStyle,
    hsOutlook,
    hsVista
};
inline constexpr int HeaderStyleCount = 7;
enum THomeEndBehaviour : uint8_t { hebTopBottom, hebLeftRight };
enum TInputEnterMode : uint8_t { imAllways, imEditing };
enum TSelectionMoveDirection : uint8_t { mdNone, mdUp, mdDown, mdLeft, mdRight };
enum TSlidesOption : uint8_t { soFrame = 1, soHideSelection = 2 };
using TSlidesOptions = uint8_t;
enum TSortedStyle : uint8_t { soDefault, soDarker, soWhite };

// Where a column move comes from.
enum TSelectionMoveKey : uint8_t { mkUndefined, mkTab };

// What the model asks of the window that shows it while an in-place editor works. The model
// decides; the window parents, places, shows, hides and focuses.
class TGxEditorHost {
public:
    virtual ~TGxEditorHost() = default;
    // The editor becomes a child of the grid's window; the grid takes over its events.
    virtual void AttachEditor(TGxCustomEdit& editor) = 0;
    // Laid over the cell (or the input cell), shown and focused.
    virtual void ShowEditor(TGxCustomEdit& editor) = 0;
    // Hidden; the grid's window takes the focus back when it asks.
    virtual void HideEditor(TGxCustomEdit& editor, bool focusGrid) = 0;
    // The editor is given back to its owner.
    virtual void DetachEditor(TGxCustomEdit& editor) = 0;
    // The editor is being destroyed: forget it without touching it.
    virtual void EditorDestroyed(TGxCustomEdit& editor) = 0;
    // The focus goes to the next (or previous) control of the window.
    virtual void FocusNextControl(bool forward) = 0;
    // Scrolls a column into view (fixed columns never scroll).
    virtual void ScrollToColumn(int col) = 0;
};

// Width of the indicator column and the fixed text of Version.
inline constexpr int IndicatorWidth = 12;
inline constexpr const char* GridVersion = "5.2.5";

class TGxCustomGridControl : public QObject, public TGxColumnsHost {
    Q_OBJECT
public:
    explicit TGxCustomGridControl(QObject* parent = nullptr);
    ~TGxCustomGridControl() override;

    TGxColumns& Columns() { return *FColumns; }
    const TGxColumns& Columns() const { return *FColumns; }
    int ColumnCount() const { return FColumns->ColumnCount(); }

    // Adds a column of a kind under a component name; the store adds its cells.
    TGxCustomColumn& AddColumn(TGxColumnKind kind, const QString& name);
    template <class T> T& AddColumn(const QString& name) {
        auto column = std::make_unique<T>();
        column->SetName(name);
        T* raw = column.get();
        FColumns->AddColumn(std::move(column));
        return *raw;
    }

    // Number and date texts of every cell follow this locale.
    void SetLocale(const QLocale& locale) { FColumns->SetLocale(locale); }
    const QLocale& Locale() const { return FColumns->Locale(); }

    TGridOptions Options() const { return FOptions; }
    void SetOptions(TGridOptions value);
    bool HasOption(TGridOption option) const { return (FOptions & option) != 0; }
    TGridLinesStyle GridLinesStyle() const { return FGridLinesStyle; }
    void SetGridLinesStyle(TGridLinesStyle value);
    int RowSize() const { return FRowSize; }
    virtual void SetRowSize(int value);
    const TGridFont& Font() const { return FFont; }
    void SetFont(const TGridFont& value);
    bool AutoScroll() const { return FAutoScroll; }
    void SetAutoScroll(bool value) { FAutoScroll = value; }

    // Appearance properties. Each writer stores the value and asks for a repaint of what
    // depends on it (nothing while an update is in progress).
    TAppearanceOptions AppearanceOptions() const { return FAppearanceOptions; }
    void SetAppearanceOptions(TAppearanceOptions value);
    bool HasAppearance(TAppearanceOption option) const { return (FAppearanceOptions & option) != 0; }
    TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle value);
    const QString& Caption() const { return FCaption; }
    void SetCaption(const QString& value);
    TColor Color() const { return FColor; }
    void SetColor(TColor value);
    bool EnableVisualStyles() const { return FEnableVisualStyles; }
    void SetEnableVisualStyles(bool value);
    int FixedCols() const { return FColumns->FixedCols(); }
    void SetFixedCols(int value);
    int FooterSize() const { return FFooterSize; }
    void SetFooterSize(int value);
    TGridStyle GridStyle() const { return FGridStyle; }
    void SetGridStyle(TGridStyle value);
    TColor GridLinesColor() const { return FGridLinesColor; }
    void SetGridLinesColor(TColor value);
    int HeaderSize() const { return FHeaderSize; }
    void SetHeaderSize(int value);
    THeaderStyle HeaderStyle() const { return FHeaderStyle; }
    void SetHeaderStyle(THeaderStyle value);
    bool HideScrollBar() const { return FHideScrollBar; }
    void SetHideScrollBar(bool value);
    TColor HighlightedTextColor() const { return FHighlightedTextColor; }
    void SetHighlightedTextColor(TColor value);
    THomeEndBehaviour HomeEndBehaviour() const { return FHomeEndBehaviour; }
    void SetHomeEndBehaviour(THomeEndBehaviour value) { FHomeEndBehaviour = value; }
    TColor InactiveSelectionColor() const { return FInactiveSelectionColor; }
    void SetInactiveSelectionColor(TColor value);
    TInputEnterMode InputEnterMode() const { return FInputEnterMode; }
    void SetInputEnterMode(TInputEnterMode value) { FInputEnterMode = value; }
    int InputSize() const { return FInputSize; }
    void SetInputSize(int value);
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool value) { FReadOnly = value; }
    TColor SelectionColor() const { return FSelectionColor; }
    void SetSelectionColor(TColor value) { FSelectionColor = value; }
    TSelectionMoveDirection SelectionMoveDirection() const { return FSelectionMoveDirection; }
    void SetSelectionMoveDirection(TSelectionMoveDirection value) { FSelectionMoveDirection = value; }
    TSlidesOptions SlidesOptions() const { return FSlidesOptions; }
    void SetSlidesOptions(TSlidesOptions value);
    TColor SlideSelectionColor() const { return FSlideSelectionColor; }
    void SetSlideSelectionColor(TColor value);
    int SlideSize() const { return FSlideSize; }
    void SetSlideSize(int value);
    TSortedStyle SortedStyle() const { return FSortedStyle; }
    void SetSortedStyle(TSortedStyle value);
    bool TabLeaveControl() const { return FTabLeaveControl; }
    void SetTabLeaveControl(bool value) { FTabLeaveControl = value; }
    bool TabStop() const { return FTabStop; }
    void SetTabStop(bool value);
    // Always "5.2.5"; writing any text restores it.
    QByteArray Version() const { return QByteArray(GridVersion); }
    void SetVersion(const QByteArray& value) { Q_UNUSED(value); }
    bool WantReturns() const { return FWantReturns; }
    void SetWantReturns(bool value) { FWantReturns = value; }
    bool WantTabs() const { return FWantTabs; }
    void SetWantTabs(bool value) { FWantTabs = value; }

    // Grid line widths, all 0 without goGrid: vertical V, horizontal H, the highlight lines L and
    // T of ao3DGridLines, and the row pitch extra P = T + H.
    int LineWidthV() const;
    int LineWidthH() const;
    int LineWidthL() const { return HasAppearance(ao3DGridLines) ? LineWidthV() : 0; }
    int LineWidthT() const { return HasAppearance(ao3DGridLines) ? LineWidthH() : 0; }
    int RowPitchExtra() const { return LineWidthT() + LineWidthH(); }

    // Batch changes: no repaint and no OnChange while the counter is above zero.
    void BeginUpdate() {
        if (++FUpdateCount == 1)
            UpdatingChanged();
    }
    void EndUpdate();
    int UpdateCount() const { return FUpdateCount; }
    bool Updating() const { return FUpdateCount > 0; }

    // Current cell and selection.
    int SelectedColumn() const { return FSelectedColumn; }
    int SelectedRow() const { return FSelectedRow; }
    int SelectionAnchor() const { return FSelectionAnchor; }
    bool MultiSelecting() const { return FMultiSelecting; }
    void SetSelectedRow(int row);
    void SelectCell(int col, int row, bool clearSelection = true, TShiftState shift = 0);
    virtual int SelectedCount() const = 0;

    // Row moves (the shift state goes on to SelectCell). Down: from the input row to the first
    // visible row; on the last visible row LeaveAtEnd moves the focus on and WrapAtEnd selects
    // the first visible row; else the next visible row OnBeforeSelect accepts.
    void MoveDown(TShiftState shift = 0, bool leaveAtEnd = false, bool wrapAtEnd = false);
    // Up: on the first visible row with goInput the input row becomes current.
    void MoveUp(TShiftState shift = 0);
    // Over count visible rows (negative: backwards), not past the first or last visible row.
    void MoveBy(int count);
    void SelectFirstRow();
    void SelectLastRow();
    // Column moves in display order over visible, enabled columns; OnSelectionMove may change
    // the target.
    void MoveLeft(TSelectionMoveKey key = mkUndefined);
    void MoveRight(TSelectionMoveKey key = mkUndefined);
    // Tab and Shift+Tab: the next cell, at the end of a row the next row's first cell.
    void MoveTab(bool forward);
    void SelectFirstColumn();
    void SelectLastColumn();
    // Adds the visible rows from the current row to the first (or last) visible row to the
    // selection; with moveCurrent that row becomes current and the range's anchor stays.
    void SelectToEnd(bool toLast, bool moveCurrent = true);

    // In-place editing. The edited cell, (-1, -1) when none.
    int EditColumn() const { return FEditColumn; }
    int EditRow() const { return FEditRow; }
    bool EditingCell() const { return FEditingCell; }
    bool EditingInput() const { return FEditingInput; }
    bool Editing() const { return FEditingCell || FEditingInput; }
    TGxCustomEdit* Editor() const { return FEditor; }
    // The input row holds the current cell.
    bool InputMode() const { return FInputMode; }
    void SetInputMode(bool value);
    int InputColumn() const { return FInputColumn; }
    // Starts editing a cell with Text, or with the cell's own text when Text is empty; false
    // when the cell cannot be edited or OnBeforeEdit refuses.
    bool EditCell(int col, int row, const QString& text = QString());
    // Starts editing with a typed character that replaces the cell's text.
    bool EditCellByKey(int col, int row, QChar key);
    // Starts editing the input cell of a column (enters the input row).
    bool EditInputCell(int col, const QString& text = QString());
    bool EditInputCellByKey(int col, QChar key);
    // Stores the editor's value: a cell edit asks OnEditAccept, lets OnEditText change the text
    // and stores it (a conversion error of the cell is raised and nothing is stored); an input
    // edit sets the column's InputValue. False when nothing was stored.
    bool ApplyEdit();
    // Hides and detaches the editor; after a cell edit OnEditExit fires.
    void EndEdit(bool focusGrid = false);
    // Applies and ends a running edit; a value that does not convert is dropped. The grid does
    // this before the current cell changes and before rows are inserted, deleted, moved, cleared,
    // sorted or hidden.
    void CloseEdit();
    // The editor's text changed (the window reports it): OnEdit, unless the grid sets it.
    void EditorChanged();
    // The input row: OnInputAccept, a new row with the input values (or the defaults), the
    // input values cleared, OnInputAdded.
    bool AcceptInput();
    void SetEditorHost(TGxEditorHost* host) { FEditorHost = host; }
    // EndEdit is running (its focus changes must not end the edit again).
    bool EndingEdit() const { return FEnding; }
    TGxEditorHost* EditorHost() const { return FEditorHost; }

    // Cell and row access the files need; TDataGrid fills them in.
    virtual int RowCount() const = 0;
    virtual bool GetRowVisible(int row) const = 0;
    virtual int FirstVisibleRow() const = 0;
    virtual int LastVisibleRow() const = 0;
    virtual void GetCellText(int col, int row, QString& text) const = 0;
    virtual void SetCellText(int col, int row, const QString& text) = 0;
    virtual int AddRow(int count) = 0;
    virtual void ClearRows() = 0;
    virtual void ClearCell(int col, int row) = 0;
    virtual bool GetRowSelected(int row) const = 0;
    virtual void SetRowSelected(int row, bool value) = 0;

    // Layout file (INI form) and delimited text files.
    void SaveLayoutToIni(const QString& fileName, const QString& sectionSuffix = QString()) const;
    void LoadLayoutFromIni(const QString& fileName, const QString& sectionSuffix = QString());
    void SaveToTextFile(const QString& fileName, QChar separator = u',', uint8_t encoding = 1,
                        QChar lineBreakChar = u'|') const;
    void LoadFromTextFile(const QString& fileName, QChar separator = u',', QChar lineBreakChar = u'|');
    // The same through memory, for tests and the fuzz targets.
    QByteArray LayoutToIniBytes(const QString& sectionSuffix = QString()) const;
    void LoadLayoutFromIniBytes(const QByteArray& bytes, const QString& sectionSuffix = QString());
    QByteArray TextFileBytes(QChar separator, uint8_t encoding, QChar lineBreakChar) const;
    void LoadFromTextBytes(const QByteArray& bytes, QChar separator, QChar lineBreakChar);
    // All cells as one text: a leading separator, CR LF in cells as "%\r\n".
    void GetAllCellsText(char separator, QByteArray& text) const;

    // Geometry the widget reports.
    void SetClientWidth(int value) { FClientWidth = value; }
    void SetHorzScrollPos(int value) { FHorzScrollPos = value; }
    void SetLoading(bool value) { FLoading = value; }

    // TGxColumnsHost
    bool IsLoading() const override { return FLoading; }
    bool IsDestroying() const override { return FDestroying; }
    bool ShowsIndicator() const override { return HasOption(goIndicator); }
    int ClientWidth() const override { return FClientWidth; }
    int HorzScrollPos() const override { return FHorzScrollPos; }
    int CurrentColumn() const override { return FSelectedColumn; }
    TGridFont GridFont() const override { return FFont; }
    void RepaintColumnPart(TGxCustomColumn& column, TColumnPartRegion region) override;

    // Events (method hooks, fired synchronously inside the operation; Accept preset to true).
    std::function<void(QObject* sender, int col, int row)> OnChange;
    std::function<void(QObject* sender, TDataChange change, int index)> OnDataChange;
    std::function<void(QObject* sender, int col, int row, bool& accept)> OnBeforeSelect;
    std::function<void(QObject* sender, int col, int row)> OnSelectCell;
    std::function<void(QObject* sender, int col, int row)> OnDeselectCell;
    std::function<void(QObject* sender, int col)> OnInputSelectCell;
    std::function<void(QObject* sender, int col, int row, const QString& value, bool& accept)> OnEditAccept;
    std::function<void(QObject* sender, int col, int row, const QString& value)> OnAfterEdit;
    std::function<void(QObject* sender, int index, int height)> OnChangeRowHeight;
    std::function<void(QObject* sender, int index, int& height)> OnMeasuringRowHeight;
    std::function<void(QObject* sender, int col, bool ascending)> OnSortColumn;
    std::function<void(QObject* sender, int col)> OnAfterSort;
    std::function<void(QObject* sender, int col, int row)> OnLoadProgress;
    std::function<void(QObject* sender, int col, int fromPos, int toPos)> OnColumnMove;
    std::function<void(QObject* sender, int col)> OnColumnResize;
    std::function<void(QObject* sender, int col, int row, QString& value)> OnCellHint;
    std::function<void(QObject* sender, int col, double& value)> OnColumnFooterValue;
    std::function<void(QObject* sender, int col, double& value)> OnFooterCalculate;
    std::function<void(QObject* sender, int row)> OnExpand;
    std::function<void(QObject* sender, int& col, int row, TSelectionMoveKey key)> OnSelectionMove;
    std::function<void(QObject* sender, int col, int row, bool& accept)> OnBeforeEdit;
    std::function<void(QObject* sender, int col, int row, const QString& value)> OnEdit;
    std::function<void(QObject* sender, int col, int row, QString& value)> OnApplyEditText;
    std::function<void(QObject* sender, int col, int row, QString& value)> OnEditText;
    std::function<void(QObject* sender)> OnEditExit;
    std::function<void(QObject* sender, bool& accept)> OnInputAccept;
    std::function<void(QObject* sender)> OnInputAdded;
    // Painting: the cell and grid-line colours of one cell (also of the empty cells below the
    // last row, with csEmpty), and of one slide in the slide style.
    std::function<void(QObject* sender, int col, int row, TColor& cellColor, TColor& gridColor,
                       TCellState state)>
        OnCellColoring;
    std::function<void(QObject* sender, int index, TColor& slideColor, TColor& gridColor, TCellState state)>
        OnSlideColoring;

signals:
    // Repaint requests for the widget layer.
    void CellInvalidated(int col, int row);
    void RowInvalidated(int row);
    void RowsInvalidated(int first, int last);
    void AreasInvalidated(int areas);
    // FirstRow was written from outside the view.
    void FirstRowChanged();
    // A column was added (operation 0) or removed (1, with its former index).
    void ColumnListUpdated(int operation, int index);
    void ColumnPartInvalidated(int col, int region);
    void ScrollBarsChanged();
    void ScrollToRowRequested(int row);
    // The input row became current or stopped being current.
    void InputModeChanged(bool active);

protected:
    // Reactions to the column collection.
    virtual void ColumnChanged(TGxCustomColumn* column, int kind, int value);
    virtual void ColumnListChanged(int operation, int index) = 0;
    virtual void ColumnSortRequested(TGxCustomColumn* column, bool ascending) = 0;
    void Invalidate(int areas);
    // Repaint of the whole client area and a new look at the scroll bars.
    void InvalidateLayout();
    virtual void UpdatingChanged() {}
    // Called after GridStyle changed (editing and input-row state end in the interaction layer).
    virtual void GridStyleChanged() {}
    void MarkDestroying() { FDestroying = true; }
    void SetCurrent(int col, int row) {
        FSelectedColumn = col;
        FSelectedRow = row;
    }
    void ResetSelectionState() {
        FSelectedColumn = 0;
        FSelectedRow = -1;
        FSelectionAnchor = -1;
        FMultiSelecting = false;
    }
    void ClampSelectionAnchor();
    // The first visible row after (before) row that OnBeforeSelect accepts in column col; -1
    // when none.
    int NextSelectableRow(int col, int row, int step) const;
    // Leaves the input row without ending an edit of a cell.
    void LeaveInputMode();
    // A destroyed editor is forgotten without being touched.
    void ForgetEditor(TGxCustomEdit* editor);
    // Lets an editor go without applying or telling anyone (the grid is being destroyed).
    void ReleaseEditor();
    // The colour a cell's editor takes.
    virtual TColor EditorCellColor(int col, int row);
    // Selects a cell without asking OnBeforeSelect again.
    void SelectAccepted(int col, int row, bool clearSelection, TShiftState shift);

    std::unique_ptr<TGxColumns> FColumns;

private:
    TGridOptions FOptions = goHeader;
    TGridLinesStyle FGridLinesStyle = lsNormal;
    TAppearanceOptions FAppearanceOptions = aoHideSelection | aoHighlightSlideCells;
    TBorderStyle FBorderStyle = bsSingle;
    QString FCaption;
    TColor FColor = clWindow;
    bool FEnableVisualStyles = true;
    int FFooterSize = 18;
    TGridStyle FGridStyle = gsReport;
    TColor FGridLinesColor = clBtnFace;
    int FHeaderSize = 18;
    THeaderStyle FHeaderStyle = hsAuto;
    bool FHideScrollBar = true;
    TColor FHighlightedTextColor = clHighlightText;
    THomeEndBehaviour FHomeEndBehaviour = hebTopBottom;
    TColor FInactiveSelectionColor = clBtnFace;
    TInputEnterMode FInputEnterMode = imEditing;
    int FInputSize = 16;
    bool FReadOnly = false;
    TColor FSelectionColor = clHighlight;
    TSelectionMoveDirection FSelectionMoveDirection = mdDown;
    TSlidesOptions FSlidesOptions = soFrame | soHideSelection;
    TColor FSlideSelectionColor = clWindow;
    int FSlideSize = 80;
    TSortedStyle FSortedStyle = soDefault;
    bool FTabLeaveControl = true;
    bool FTabStop = true;
    bool FWantReturns = false;
    bool FWantTabs = false;
    int FRowSize = 16;
    TGridFont FFont;
    bool FAutoScroll = false;
    int FUpdateCount = 0;
    int FSelectedColumn = 0;
    int FSelectedRow = -1;
    int FSelectionAnchor = -1;
    bool FMultiSelecting = false;
    int FClientWidth = 250;
    int FHorzScrollPos = 0;
    bool FLoading = false;
    bool FDestroying = false;

    bool StartEditor(TGxCustomColumn& column, int col, int row, bool input, const QString& text, QChar key);
    // A cell edit may start: a valid cell, editable, with an editor, and OnBeforeEdit agrees.
    bool CellEditable(int col, int row);
    bool StartInputEdit(int col, const QString& text, QChar key);
    void MoveColumn(bool forward, TSelectionMoveKey key);
    void ShowCellChange(int oldCol, int oldRow, int col, int row);
    TGxEditorHost* FEditorHost = nullptr;
    TGxCustomEdit* FEditor = nullptr;
    int FEditColumn = -1;
    int FEditRow = -1;
    bool FEditingCell = false;
    bool FEditingInput = false;
    bool FInputMode = false;
    int FInputColumn = -1;
    bool FSuppressOnEdit = false;
    bool FEnding = false;
};
