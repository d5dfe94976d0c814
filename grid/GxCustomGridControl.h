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

// Areas the widget repaints when asked.
enum TGridArea : uint8_t { gaBody = 1, gaHeader = 2, gaIndicator = 4, gaFooter = 8, gaInput = 16 };

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
    void SetGridLinesStyle(TGridLinesStyle value) { FGridLinesStyle = value; }
    int RowSize() const { return FRowSize; }
    virtual void SetRowSize(int value);
    const TGridFont& Font() const { return FFont; }
    void SetFont(const TGridFont& value);
    bool AutoScroll() const { return FAutoScroll; }
    void SetAutoScroll(bool value) { FAutoScroll = value; }

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

    // Cell and row access the files need; TDataGrid fills them in.
    virtual int RowCount() const = 0;
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

signals:
    // Repaint requests for the widget layer.
    void CellInvalidated(int col, int row);
    void RowInvalidated(int row);
    void AreasInvalidated(int areas);
    void ColumnPartInvalidated(int col, int region);
    void ScrollBarsChanged();
    void ScrollToRowRequested(int row);

protected:
    // Reactions to the column collection.
    virtual void ColumnChanged(TGxCustomColumn* column, int kind, int value);
    virtual void ColumnListChanged(int operation, int index) = 0;
    virtual void ColumnSortRequested(TGxCustomColumn* column, bool ascending) = 0;
    void Invalidate(int areas);
    virtual void UpdatingChanged() {}
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

    std::unique_ptr<TGxColumns> FColumns;

private:
    TGridOptions FOptions = goHeader;
    TGridLinesStyle FGridLinesStyle = lsNormal;
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
};
