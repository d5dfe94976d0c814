// The data grid: a column collection plus a cell store, with the row and cell interface the
// rest of the program uses (cells by column name or index, typed access, rows added,
// inserted, deleted, moved, hidden and selected, sorting, stable row handles).
#pragma once

#include "grid/GxCells.h"
#include "grid/GxCustomGrid.h"

#include <QAnyStringView>
#include <memory>

class TDataGrid : public TGxCustomGrid {
    Q_OBJECT
public:
    explicit TDataGrid(QObject* parent = nullptr);
    ~TDataGrid() override;

    // Cells. Column: "First", "Last", "Selected" (any case), a column name (any case) or a
    // number; row: "First", "Last", "Selected" or a number. Unknown names raise
    // "Invalid Columnname '%s' for '%s:%s'." / "Invalid Rowname '%s' for '%s:%s'.", rows and
    // columns outside the grid "List index out of bounds (%d)".
    TCell& Cell(int col, int row) { return GetCellObject(col, row); }
    TCell& Cell(QAnyStringView col, int row);
    TCell& Cell(int col, QAnyStringView row);
    TCell& Cell(QAnyStringView col, QAnyStringView row);
    TCell& CellV(const QVariant& col, const QVariant& row);
    TCell& GetCellObject(int col, int row) { return FCells->GetCell(col, row); }
    // Index of a column by name (ignoring case), -1 when none.
    int ColumnIndex(QAnyStringView name) const { return FColumns->IndexOfName(name); }

    // Out-of-range reads and writes do nothing.
    void GetCellText(int col, int row, QString& text) const override;
    QString CellText(int col, int row) const;
    void SetCellText(int col, int row, const QString& text) override;
    void ClearCell(int col, int row) override;

    // Rows.
    int RowCount() const override { return FCells->RowCount(); }
    int VisibleRowCount() const { return FCells->VisibleRowCount(); }
    int FirstVisibleRow() const override { return FFirstVisibleRow; }
    int LastVisibleRow() const override { return FLastVisibleRow; }
    int LastAddedRow() const { return FLastAddedRow; }
    int FirstRow() const { return FFirstRow; }
    // The row shown at the top of the view; a value outside the rows is ignored.
    void SetFirstRow(int row);
    int AddRow(int count = 1) override;
    void AddRowsQuietly(int count);
    void AddChildRow(int parentRow);
    void InsertRow(int index);
    void DeleteRow(int index);
    void ClearRows() override;
    void MoveRow(int from, int to);
    void ExchangeRows(int a, int b);
    bool GetRowVisible(int row) const override { return FCells->GetRow(row).IsVisible(); }
    void SetRowVisible(int row, bool visible);
    int GetRowHeight(int row) const;
    void SetRowHeight(int row, int height);
    bool GetRowSelected(int row) const override { return FCells->GetRow(row).Selected; }
    void SetRowSelected(int row, bool value) override;
    void SelectRowRange(int first, int last);
    int SelectedCount() const override;
    TRow& GetRowObject(int row) const { return FCells->GetRow(row); }
    int GetRowLevel(int row) const { return FCells->GetRow(row).Level; }
    int GetRowImageIndex(int row) const { return FCells->GetRow(row).ImageIndex; }
    void SetRowSize(int value) override;
    int StartRowCount() const { return FStartRowCount; }
    void SetStartRowCount(int value);
    void Expand(int row, bool expanded);

    // Stable row handles for workers: the handle stays with its row through sorts, inserts,
    // moves and deletes of other rows; RowByHandle gives -1 once the row is gone.
    quint64 RowHandle(int row) const { return FCells->RowHandle(row); }
    int RowByHandle(quint64 handle) const { return FCells->RowByHandle(handle); }

    // Sorting by one column (see TCells::Sort).
    void SortColumn(TGxCustomColumn* column, bool ascending);
    TGxCustomColumn* SortedColumn() const { return FSortedColumn; }

    // Cell facts for painting.
    TCellInfo GetCellInfo(int col, int row);
    QString GetCellDisplayText(int col, int row);
    TColor GetCellColor(int col, int row);
    QString GetCellHint(int col, int row);
    bool GetCellEmpty(int col, int row);
    // Text colour and font style of a cell as painted: the cell's own style, bold when the state
    // asks for it, then OnCellFormating.
    void FormatCell(int col, int row, TColor& textColor, TFontStyles& fontStyle, TCellState state);
    std::function<void(QObject* sender, int col, int row, TColor& textColor, TFontStyles& fontStyle,
                       TCellState state)>
        OnCellFormating;

    // A click on a check-box cell: OnEditAccept may veto; the toggled value is stored and
    // OnAfterEdit fires with the cell's text. Returns whether the value changed.
    bool ApplyPlay(int col, int row);

    // Footer formulas of the columns that have one.
    void CalculateFooters(bool visibleOnly = false);

    // Custom comparison for stCustom columns; Compare is preset to 0.
    std::function<void(QObject* sender, TCell& cell1, TCell& cell2, int& compare)> OnCompare;

    TCells& Cells() { return *FCells; }
    const TCells& Cells() const { return *FCells; }

protected:
    void ColumnChanged(TGxCustomColumn* column, int kind, int value) override;
    void ColumnListChanged(int operation, int index) override;
    void ColumnSortRequested(TGxCustomColumn* column, bool ascending) override;
    void UpdatingChanged() override { FCells->SetChangeReports(!Updating()); }
    TColor EditorCellColor(int col, int row) override { return GetCellColor(col, row); }

private:
    [[noreturn]] void RaiseBadName(const char* pattern, QAnyStringView name) const;
    int ResolveRow(QAnyStringView row) const;
    int ResolveColumn(QAnyStringView col) const;
    int NextVisibleFrom(int row) const; // first visible row at or after row, -1 when none
    int PrevVisibleFrom(int row) const; // last visible row at or before row, -1 when none
    void RecomputeVisibleBounds();
    void CellChangedHook(int col, int row);
    void FillDefaults(int firstRow, int lastRow);

    std::unique_ptr<TCells> FCells;
    int FFirstRow = 0;
    int FFirstVisibleRow = 0;
    int FLastVisibleRow = 0;
    int FLastAddedRow = -1;
    int FStartRowCount = 0;
    TGxCustomColumn* FSortedColumn = nullptr;
};
