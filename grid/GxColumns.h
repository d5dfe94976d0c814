// Columns of the table control and the column collection: properties and defaults, creation
// and display order, layout positions, auto-size distribution, lookup by name and the change
// notifications the grid reacts to. Painters, mouse handlers and editors are made by a factory
// that the widget layer supplies.
#pragma once

#include "grid/GxCustomEdit.h"
#include "grid/GxTypes.h"

#include <QAnyStringView>
#include <QLocale>
#include <QStringList>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class TGxCustomColumn;
class TGxColumns;

// Column option flags, in their stored bit order.
enum TColumnOption : uint16_t {
    coAutoSize = 1 << 0,
    coCanClick = 1 << 1,
    coCanInput = 1 << 2,
    coCanSort = 1 << 3,
    coDisableMoving = 1 << 4,
    coDontHighlight = 1 << 5,
    coEditing = 1 << 6,
    coEditorAutoSelect = 1 << 7,
    coFixedSize = 1 << 8,
    coImageForIcon = 1 << 9,
    coPublicUsing = 1 << 10,
    coFullResort = 1 << 11,
    coSearchColumn = 1 << 12,
    coShowTextFitHint = 1 << 13,
    coTextForCaption = 1 << 14,
};
using TColumnOptions = uint16_t;
// The widest a column may be: wider than any screen, far from overflowing the position sums.
inline constexpr int GxMaxColumnWidth = 10000;
inline constexpr TColumnOptions DefaultColumnOptions = 1038; // click, input, sort, public
inline constexpr TColumnOptions TextColumnOptions = 9230;    // the same plus text-fit hint

// Cell kinds: which typed cell the store makes for a column.
enum TColumnCellKind : uint8_t {
    ckIncrement = 0,
    ckBoolean = 1,
    ckDateTime = 3,
    ckObject = 5,
    ckGuid = 6,
    ckFloat = 4,
    ckInteger = 7,
    ckString = 8,
    ckVirtual = 11,
};

// Capability bits of a column kind.
enum TColumnFlag : uint8_t {
    cfPlayWithoutEditing = 1,
    cfCanEdit = 2,
    cfNeverSorted = 4,
    cfFitWidthOnDblClick = 8,
    cfAltEditorPosition = 16,
    cfEnterKeepsEditing = 64,
};

enum TEditAbility : uint8_t { eaInCells = 1, eaInInputRow = 2 };

// Change codes sent to the grid for one column.
enum TColumnChange : uint8_t {
    ccInputValue = 1,
    ccPosition = 2,
    ccSlideBounds = 3,
    ccSortedOn = 4,
    ccSortSettings = 5,
    ccAppearance = 6,
    ccVisible = 7,
    ccSortedOff = 8,
    ccWidth = 9,
};

// Codes passed to a column's change listeners.
enum TListenerCode : uint8_t {
    lcAlignment = 0,
    lcCaption = 1,
    lcColorOrOptions = 2,
    lcDrawing = 3,
    lcVisibility = 6
};

// Grid regions a column can ask to repaint.
enum TColumnPartRegion : uint8_t { cpClient, cpBody, cpFooter, cpHeader, cpIndicator, cpInput };

// One cell's value in its typed forms, as the grid hands it to a column for formatting.
struct TCellInfo {
    bool AsBoolean = false;
    double AsDateTime = 0;
    double AsFloat = 0;
    int32_t AsInteger = 0;
    QString AsString;
    int32_t ObjectReference = 0;
    int Column = -1;
    int Row = -1;
};

// Classes of the objects that paint, click and edit a column's cells; the widget layer makes
// them through TColumnViewFactory.
enum class TDisplayClass : uint8_t {
    None,
    TTextColumnDisplay,
    TCheckBoxColumnDisplay,
    TNumberColumnDisplay,
    TIncrementColumnDisplay,
    TImageColumnDisplay,
    TStringsColumnDisplay,
    TDateColumnDisplay,
    TTreeColumnDisplay,
};
enum class TPlayClass : uint8_t { None, TCheckBoxColumnPlay, TTreeColumnPlay };
enum class TEditorClass : uint8_t { None, TGxEdit, TGxSpinEdit, TGxComboBox, TGxDatePicker, TGxPopupEdit };

class TColumnDisplay {
public:
    virtual ~TColumnDisplay() = default;
    // Width of a text as painted in this column's font.
    virtual int TextWidth(const QString& text) const = 0;
};
class TColumnPlay {
public:
    virtual ~TColumnPlay() = default;
};
class TColumnViewFactory {
public:
    virtual ~TColumnViewFactory() = default;
    virtual std::unique_ptr<TColumnDisplay> CreateDisplay(TGxCustomColumn& column, TDisplayClass cls) = 0;
    virtual std::unique_ptr<TColumnPlay> CreatePlay(TGxCustomColumn& column, TPlayClass cls) = 0;
    virtual std::unique_ptr<TGxCustomEdit> CreateEditor(TGxCustomColumn& column, TEditorClass cls) = 0;
};

enum TGxNumberEditOption : uint8_t {
    eoAllowAll = 1,
    eoAllowFloat = 2,
    eoAllowSigns = 4,
    eoDisablePaste = 8,
    eoDisableTyping = 16,
};
using TGxNumberEditOptions = uint8_t;
enum TDropDownStyle : uint8_t { dsDropDown, dsDropDownList };

// What a column asks of its in-place editor before it is shown; the widget applies it.
struct TEditorSetup {
    TAlignment Alignment = taLeftJustify;
    bool BorderNone = true;
    int BorderWidth = 0;
    int LeftMargin = 1;
    bool EmbeddedInGrid = false;
    int MaxLength = 0;
    QChar PasswordChar;
    // combo box
    bool AutoDropDown = false;
    int DropDownCount = 8;
    QStringList Items;
    int ListWidth = 0;
    bool ShowPreview = false;
    TDropDownStyle Style = dsDropDown;
    bool SortedItems = false;
    int ItemIndex = -1;
    // date picker
    bool ShowNoneButton = true;
    TStartDayOfWeek StartDay = dwSunday;
    QString NoneCaption;
    QString TodayCaption;
    // spin edit
    TGxNumberEditOptions EditOptions = 0;
    double Increment = 1.0;
    double Max = 0;
    double Min = 0;
    bool SpinButtons = true;
    int Precision = 0;
};

// Base of a column's header and footer.
class TColumnPart {
public:
    explicit TColumnPart(TGxCustomColumn* column, TColor color) : FColumn(column), FColor(color) {}
    virtual ~TColumnPart() = default;
    TColumnPart(const TColumnPart&) = delete;
    TColumnPart& operator=(const TColumnPart&) = delete;

    const QString& Caption() const { return FCaption; }
    void SetCaption(const QString& value);
    TColor Color() const { return FColor; }
    void SetColor(TColor value);
    TDisplayMode DisplayMode() const { return FDisplayMode; }
    void SetDisplayMode(TDisplayMode value);
    const QString& Hint() const { return FHint; }
    void SetHint(const QString& value) { FHint = value; }
    TGxCustomColumn* Column() const { return FColumn; }
    void DetachColumn() { FColumn = nullptr; }
    std::function<void(TColumnPart*)> OnChange;
    virtual void Assign(const TColumnPart& source);

protected:
    void Changed();
    void Repaint(TColumnPartRegion region);

private:
    TGxCustomColumn* FColumn;
    QString FCaption;
    TColor FColor;
    TDisplayMode FDisplayMode = dmTextOnly;
    QString FHint;
};

class TColumnHeader : public TColumnPart {
public:
    explicit TColumnHeader(TGxCustomColumn* column) : TColumnPart(column, clBtnFace) {}
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment value);
    bool HideArrow() const { return FHideArrow; }
    void SetHideArrow(bool value);
    bool MultiLine() const { return FMultiLine; }
    void SetMultiLine(bool value);
    THeaderOrientation Orientation() const { return FOrientation; }
    void SetOrientation(THeaderOrientation value);
    void Assign(const TColumnPart& source) override;

private:
    TAlignment FAlignment = taLeftJustify;
    bool FHideArrow = true;
    bool FMultiLine = false;
    THeaderOrientation FOrientation = hoHorizontal;
};

class TColumnFooter : public TColumnPart {
public:
    explicit TColumnFooter(TGxCustomColumn* column) : TColumnPart(column, clWindow) {}
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment value);
    TFormulaKind FormulaKind() const { return FFormulaKind; }
    void SetFormulaKind(TFormulaKind value);
    const QString& FormatMask() const { return FFormatMask; }
    void SetFormatMask(const QString& value);
    TFormatMaskKind FormatMaskKind() const { return FFormatMaskKind; }
    void SetFormatMaskKind(TFormatMaskKind value);
    const QString& TextAfter() const { return FTextAfter; }
    void SetTextAfter(const QString& value);
    const QString& TextBefore() const { return FTextBefore; }
    void SetTextBefore(const QString& value);
    double FormulaResult = 0;
    void Assign(const TColumnPart& source) override;

private:
    TAlignment FAlignment = taLeftJustify;
    TFormulaKind FFormulaKind = fkNone;
    QString FFormatMask;
    TFormatMaskKind FFormatMaskKind = mkText;
    QString FTextAfter;
    QString FTextBefore;
};

class TGxSlideBounds {
public:
    explicit TGxSlideBounds(TGxCustomColumn* column) : FColumn(column) {}
    int Left() const { return FLeft; }
    int Top() const { return FTop; }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    void SetLeft(int value);
    void SetTop(int value);
    void SetWidth(int value);
    void SetHeight(int value);
    void Assign(const TGxSlideBounds& source);

private:
    void Changed();
    TGxCustomColumn* FColumn;
    int FLeft = 8;
    int FTop = 8;
    int FWidth = 80;
    int FHeight = 16;
};

// What the collection needs to know of its grid.
class TGxColumnsHost {
public:
    virtual ~TGxColumnsHost() = default;
    virtual bool IsLoading() const = 0; // layout bookkeeping deferred
    virtual bool IsDestroying() const = 0;
    virtual bool ShowsIndicator() const = 0; // cell body starts 12 pixels right
    virtual int ClientWidth() const = 0;
    virtual int HorzScrollPos() const = 0;
    virtual int CurrentColumn() const = 0;
    virtual TGridFont GridFont() const = 0;
    virtual void RepaintColumnPart(TGxCustomColumn& column, TColumnPartRegion region) = 0;
};

class TGxCustomColumn {
public:
    TGxCustomColumn();
    virtual ~TGxCustomColumn();
    TGxCustomColumn(const TGxCustomColumn&) = delete;
    TGxCustomColumn& operator=(const TGxCustomColumn&) = delete;

    // Component name; the grid finds columns by it, ignoring case.
    const QString& Name() const { return FName; }
    void SetName(const QString& value);

    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment value);
    TBiDiMode BiDiMode() const { return FBiDiMode; }
    void SetBiDiMode(TBiDiMode value);
    TColor Color() const { return FColor; }
    void SetColor(TColor value);
    TCursor Cursor() const { return FCursor; }
    void SetCursor(TCursor value);
    const QString& DefaultValue() const { return FDefaultValue; }
    void SetDefaultValue(const QString& value) { FDefaultValue = value; }
    int DefaultWidth() const { return FDefaultWidth; }
    void SetDefaultWidth(int value) { FDefaultWidth = value; }
    TDrawingOptions DrawingOptions() const { return FDrawingOptions; }
    void SetDrawingOptions(TDrawingOptions value);
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool value) { FEnabled = value; }
    const TGridFont& Font() const { return FFont; }
    void SetFont(const TGridFont& value);
    TColumnFooter& Footer() { return *FFooter; }
    const TColumnFooter& Footer() const { return *FFooter; }
    TColumnHeader& Header() { return *FHeader; }
    const TColumnHeader& Header() const { return *FHeader; }
    TGxCustomEdit* InplaceEdit() const { return FInplaceEdit; }
    // Not owned: the column forgets it when it is destroyed.
    void SetInplaceEdit(TGxCustomEdit* value);
    const QString& InputCaption() const { return FInputCaption; }
    void SetInputCaption(const QString& value);
    const QString& InputValue() const { return FInputValue; }
    void SetInputValue(const QString& value);
    int MinWidth() const { return FMinWidth; }
    void SetMinWidth(int value) { FMinWidth = value; }
    TColumnOptions Options() const { return FOptions; }
    void SetOptions(TColumnOptions value);
    bool HasOption(TColumnOption option) const { return (FOptions & option) != 0; }
    int Padding() const { return FPadding; }
    void SetPadding(int value);
    bool ParentCellColor() const { return FParentCellColor; }
    void SetParentCellColor(bool value);
    bool ParentFont() const { return FParentFont; }
    void SetParentFont(bool value);
    int Position() const { return FPosition; }
    void SetPosition(int value);
    TGxSlideBounds& SlideBounds() { return *FSlideBounds; }
    const QString& SlideCaption() const { return FSlideCaption; }
    void SetSlideCaption(const QString& value);
    TSlideCatpionLocation SlideCaptionLocation() const { return FSlideCaptionLocation; }
    void SetSlideCaptionLocation(TSlideCatpionLocation value);
    bool Sorted() const { return FSorted; }
    void SetSorted(bool value);
    TSortKind SortKind() const { return FSortKind; }
    void SetSortKind(TSortKind value);
    TSortType SortType() const { return FSortType; }
    void SetSortType(TSortType value);
    const QString& StyleClass() const { return FStyleClass; }
    void SetStyleClass(const QString& value) { FStyleClass = value; }
    int Tag() const { return FTag; }
    void SetTag(int value) { FTag = value; }
    TVerticalAlignment VerticalAlignment() const { return FVerticalAlignment; }
    void SetVerticalAlignment(TVerticalAlignment value);
    bool Visible() const { return FVisible; }
    void SetVisible(bool value);
    int Width() const { return FWidth; }
    void SetWidth(int value);
    TWrapKind WrapKind() const { return FWrapKind; }
    void SetWrapKind(TWrapKind value);

    // Unpublished state.
    TGxColumns* Collection() const { return FCollection; }
    int Left() const { return FLeft; }
    int VisibleIndex() const { return FVisibleIndex; }
    uint8_t CellKind() const { return FCellKind; }
    int Index() const; // creation index in the collection, -1 outside one
    int ClientLeft() const;
    int HeaderSegment() const;
    bool IsOnlyColumn() const;
    bool IsCurrentColumn() const;
    void NotifyChange(TColumnChange kind, int value);
    void RefreshPart(TColumnPartRegion region);
    // Header resizing: width raised to MinWidth and cut to GxMaxColumnWidth, positions
    // recalculated, kind 9 sent.
    void ChangeWidth(int value);

    // Painter, mouse handler and editor, made by the widget layer's factory.
    void CreateViews(TColumnViewFactory& factory);
    TColumnDisplay* Display() const { return FDisplay.get(); }
    TColumnPlay* Play() const { return FPlay.get(); }
    TGxCustomEdit* Editor() const { return FEditor.get(); }

    // Value events of cells that keep no value of their own (virtual cells).
    std::function<void(TGxCustomColumn* column, int row, QString& value)> OnGetCellValue;
    std::function<void(TGxCustomColumn* column, int row, const QString& value)> OnSetCellValue;

    // Change listeners (code: TListenerCode).
    using TListener = std::function<void(TGxCustomColumn*, int code, void* data)>;
    void AddListener(TListener listener, void* data);

    // Virtual operations of every kind.
    virtual TEditorClass GetEditorClass() const { return TEditorClass::None; }
    virtual TDisplayClass GetDisplayClass() const { return TDisplayClass::None; }
    virtual TPlayClass GetPlayClass() const { return TPlayClass::None; }
    uint8_t GetEditAbilities() const;
    virtual uint8_t GetColumnFlags() const { return 0; }
    virtual void SetCellKind(uint8_t kind) { FCellKind = kind; }
    virtual int MeasureTextWidth(const QString& text) const;
    virtual bool GetMultiLine() const { return false; }
    virtual void GetDisplayText(const TCellInfo& info, QString& text) const { text = info.AsString; }
    void FormatCell(const TCellInfo& info, QString& text) const;
    virtual void GetInputValue(QString& text) const { text = FInputValue; }
    virtual void GetInputText(QString& text) const { text = FInputValue; }
    virtual bool AcceptsChar(QChar key) const {
        Q_UNUSED(key);
        return false;
    }
    virtual void GetContentIndent(int level, int& left) const {
        Q_UNUSED(level);
        Q_UNUSED(left);
    }
    // The value a kind reads from its editor itself (the list kind: the item index); false when
    // the editor's text is stored as it is. An empty text then leaves the cell unchanged.
    virtual bool GetEditorValue(QString& text) const {
        text.clear();
        return false;
    }
    virtual void PrepareEditor(TEditorSetup& setup) const;
    virtual void SyncEditor(TEditorSetup& setup, const QString& text) const {
        Q_UNUSED(setup);
        Q_UNUSED(text);
    }
    virtual void Assign(const TGxCustomColumn& source);
    // Called when the column joins a collection or the collection's locale changes.
    virtual void LocaleChanged() {}

    // Locale for number and date texts (the grid's).
    const QLocale& Locale() const;

private:
    friend class TGxColumns;
    friend class TColumnPart;
    void NotifyListeners(int code);

    TGxColumns* FCollection = nullptr;
    QString FName;
    TAlignment FAlignment = taLeftJustify;
    TBiDiMode FBiDiMode = bdLeftToRight;
    TColor FColor = clWindow;
    TCursor FCursor = crDefault;
    QString FDefaultValue;
    int FDefaultWidth = 80;
    TDrawingOptions FDrawingOptions = doNormal;
    bool FEnabled = true;
    TGridFont FFont;
    std::unique_ptr<TColumnFooter> FFooter;
    std::unique_ptr<TColumnHeader> FHeader;
    TGxCustomEdit* FInplaceEdit = nullptr;
    QString FInputCaption;
    QString FInputValue;
    int FMinWidth = 8;
    TColumnOptions FOptions = DefaultColumnOptions;
    int FPadding = 0;
    bool FParentCellColor = false;
    bool FParentFont = true;
    int FPosition = -1;
    std::unique_ptr<TGxSlideBounds> FSlideBounds;
    QString FSlideCaption;
    TSlideCatpionLocation FSlideCaptionLocation = clTop;
    bool FSorted = false;
    TSortKind FSortKind = skAscending;
    TSortType FSortType = stAlphabetic;
    QString FStyleClass;
    int FTag = 0;
    TVerticalAlignment FVerticalAlignment = taVerticalCenter;
    bool FVisible = true;
    int FWidth = 80;
    TWrapKind FWrapKind = wkEllipsis;

    int FLeft = 0;
    int FVisibleIndex = -1;
    uint8_t FCellKind = ckString;
    std::unique_ptr<TColumnDisplay> FDisplay;
    std::unique_ptr<TColumnPlay> FPlay;
    std::unique_ptr<TGxCustomEdit> FEditor;
    std::vector<std::pair<TListener, void*>> FListeners;
};

class TGxColumns {
public:
    explicit TGxColumns(TGxColumnsHost* host = nullptr);
    ~TGxColumns();
    TGxColumns(const TGxColumns&) = delete;
    TGxColumns& operator=(const TGxColumns&) = delete;

    int ColumnCount() const { return int(FItems.size()); }
    // By creation index; raises "List index out of bounds (%d)" outside.
    TGxCustomColumn* GetColumn(int index) const;
    bool IsValidIndex(int index) const { return index >= 0 && index < ColumnCount(); }
    TGxCustomColumn* PositionItem(int position) const;
    void SetPositionItem(int position, TGxCustomColumn* column);
    // First column in creation order whose name equals name ignoring case; nil when none.
    TGxCustomColumn* ColumnByName(QAnyStringView name) const;
    int IndexOfName(QAnyStringView name) const; // creation index or -1
    int IndexOfFoldedName(std::u16string_view folded) const;
    int IndexOf(const TGxCustomColumn* column) const;
    int VisibleCount() const;
    int TotalVisibleWidth() const;
    TGxCustomColumn* FirstVisibleColumn() const;
    TGxCustomColumn* LastVisibleColumn() const;
    TGxCustomColumn* NextVisibleColumn(TGxCustomColumn* column) const;
    TGxCustomColumn* PrevVisibleColumn(TGxCustomColumn* column) const;
    bool IsFirstVisible(const TGxCustomColumn* column) const {
        return column && column == FirstVisibleColumn();
    }
    bool IsLastVisible(const TGxCustomColumn* column) const {
        return column && column == LastVisibleColumn();
    }
    int FixedCols() const { return FFixedCols; }
    int FixedWidth() const { return FFixedWidth; }
    void SetFixedCols(int value);

    // Takes ownership; raises the list index error past the column limit.
    TGxCustomColumn* AddColumn(std::unique_ptr<TGxCustomColumn> column);
    // Removes and frees the column.
    void RemoveColumn(TGxCustomColumn* column);
    void ChangePosition(int fromPos, int toPos);
    void RecalcPositions(bool renumberPositions);
    void DistributeAutoSize(TGxCustomColumn* start, bool fromItsLeft = false);
    void Clear();
    // Applies display positions in one step: positions[i] is column i's place. Returns false
    // and changes nothing when they are not a permutation of 0..count-1.
    bool ApplyPositions(const std::vector<int>& positions);

    TGxColumnsHost* Host() const { return FHost; }
    void SetLocale(const QLocale& locale);
    const QLocale& Locale() const { return *FLocale; }

    std::function<void(TGxCustomColumn*, int kind, int value)> OnColumnChanged;
    std::function<void(int operation, int index)> OnBeforeListChange; // 0 added, 1 removed
    std::function<void(int operation, int index)> OnAfterListChange;

private:
    friend class TGxCustomColumn;
    void NameChanged() { FNamesDirty = true; }
    void RebuildNames() const;
    void RemoveFromLists(TGxCustomColumn* column);
    bool Loading() const { return FHost && FHost->IsLoading(); }

    // Open-addressing table of folded names (power-of-two size, linear probing).
    struct NameSlot {
        uint64_t Hash = 0;
        int Index = -1;
        std::u16string Key;
    };

    TGxColumnsHost* FHost;
    std::vector<std::unique_ptr<TGxCustomColumn>> FItems; // creation order
    std::vector<TGxCustomColumn*> FOrder;                 // display order
    int FFixedCols = 0;
    int FFixedWidth = 0;
    std::unique_ptr<QLocale> FLocale;
    mutable bool FNamesDirty = true;
    mutable std::vector<NameSlot> FNames;
    bool FDistributing = false;
};

// Folds a name for case-insensitive lookup into buffer (at most capacity units); returns the
// folded length, or -1 when the name does not fit.
int FoldColumnName(QAnyStringView name, char16_t* buffer, int capacity);
