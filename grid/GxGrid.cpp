// The data grid: row and cell interface over the cell store.
#include "grid/GxGrid.h"
#include "grid/GxConvert.h"

#include <QSet>
#include <QVariant>
#include <algorithm>

namespace {

bool SameWord(QAnyStringView text, QLatin1StringView word) {
    return text.size() == word.size() && QAnyStringView::compare(text, word, Qt::CaseInsensitive) == 0;
}

} // namespace

TDataGrid::TDataGrid(QObject* parent)
    : TGxCustomGrid(parent), FCells(std::make_unique<TCells>(*FColumns, this)) {
    FCells->SetDefaultRowHeight(RowSize());
    FCells->OnCellChange = [this](int col, int row) {
        CellChangedHook(col, row);
    };
    FCells->OnCompare = [this](TCell& a, TCell& b, int& result) {
        result = 0;
        if (OnCompare)
            OnCompare(this, a, b, result);
    };
}

TDataGrid::~TDataGrid() {
    MarkDestroying();
    ReleaseEditor();
    FColumns->OnColumnChanged = nullptr;
    FColumns->OnAfterListChange = nullptr;
    FCells.reset();
}

// ---- cells ----------------------------------------------------------------------------------

void TDataGrid::RaiseBadName(const char* pattern, QAnyStringView name) const {
    throw EGridError(
        GxFormat(QString::fromLatin1(pattern), {name.toString(), QStringLiteral("TDataGrid"), objectName()}));
}

int TDataGrid::ResolveRow(QAnyStringView row) const {
    if (SameWord(row, QLatin1StringView("First")))
        return 0;
    if (SameWord(row, QLatin1StringView("Last")))
        return RowCount() - 1;
    if (SameWord(row, QLatin1StringView("Selected")))
        return SelectedRow();
    if (auto n = TryTextToInt(row.toString()))
        return *n;
    RaiseBadName("Invalid Rowname '%s' for '%s:%s'.", row);
}

int TDataGrid::ResolveColumn(QAnyStringView col) const {
    char16_t buffer[256];
    const int n = FoldColumnName(col, buffer, 256);
    if (n >= 0) {
        const std::u16string_view folded(buffer, size_t(n));
        if (folded == u"first")
            return 0;
        if (folded == u"last")
            return ColumnCount() - 1;
        if (folded == u"selected")
            return SelectedColumn();
        const int byName = FColumns->IndexOfFoldedName(folded);
        if (byName >= 0)
            return byName;
    }
    if (auto number = TryTextToInt(col.toString()))
        return *number;
    RaiseBadName("Invalid Columnname '%s' for '%s:%s'.", col);
}

TCell& TDataGrid::Cell(QAnyStringView col, int row) {
    return GetCellObject(ResolveColumn(col), row);
}

TCell& TDataGrid::Cell(int col, QAnyStringView row) {
    return GetCellObject(col, ResolveRow(row));
}

TCell& TDataGrid::Cell(QAnyStringView col, QAnyStringView row) {
    const int r = ResolveRow(row);
    return GetCellObject(ResolveColumn(col), r);
}

TCell& TDataGrid::CellV(const QVariant& col, const QVariant& row) {
    const bool rowIsNumber = row.typeId() == QMetaType::Int || row.typeId() == QMetaType::LongLong;
    const int r = rowIsNumber ? row.toInt() : ResolveRow(row.toString());
    const bool colIsNumber = col.typeId() == QMetaType::Int || col.typeId() == QMetaType::LongLong;
    const QString colText = col.toString();
    return GetCellObject(colIsNumber ? col.toInt() : ResolveColumn(colText), r);
}

void TDataGrid::GetCellText(int col, int row, QString& text) const {
    if (row < 0 || row >= RowCount() || col < 0 || col >= ColumnCount())
        return; // out of range reads are silent
    text = FCells->GetCell(col, row).GetAsString();
}

QString TDataGrid::CellText(int col, int row) const {
    QString text;
    GetCellText(col, row, text);
    return text;
}

void TDataGrid::SetCellText(int col, int row, const QString& text) {
    if (row < 0 || row >= RowCount() || col < 0 || col >= ColumnCount())
        return; // out of range writes are silent
    FCells->GetCell(col, row).SetAsString(text);
}

void TDataGrid::ClearCell(int col, int row) {
    if (row < 0 || row >= RowCount() || col < 0 || col >= ColumnCount())
        return;
    FCells->GetCell(col, row).Clear();
}

void TDataGrid::CellChangedHook(int col, int row) {
    if (Updating())
        return;
    emit CellInvalidated(col, row);
    if (OnChange)
        OnChange(this, col, row);
}

// ---- visible bounds -------------------------------------------------------------------------

int TDataGrid::NextVisibleFrom(int row) const {
    for (int r = std::max(row, 0); r < RowCount(); ++r)
        if (FCells->GetRow(r).IsVisible())
            return r;
    return -1;
}

int TDataGrid::PrevVisibleFrom(int row) const {
    for (int r = std::min(row, RowCount() - 1); r >= 0; --r)
        if (FCells->GetRow(r).IsVisible())
            return r;
    return -1;
}

void TDataGrid::RecomputeVisibleBounds() {
    if (VisibleRowCount() == 0) {
        FFirstVisibleRow = FLastVisibleRow = 0;
        return;
    }
    FFirstVisibleRow = NextVisibleFrom(0);
    FLastVisibleRow = PrevVisibleFrom(RowCount() - 1);
}

// ---- rows -----------------------------------------------------------------------------------

void TDataGrid::FillDefaults(int firstRow, int lastRow) {
    for (int c = 0; c < ColumnCount(); ++c) {
        const QString value = FColumns->GetColumn(c)->DefaultValue();
        if (value.isEmpty())
            continue;
        for (int r = firstRow; r <= lastRow; ++r)
            SetCellText(c, r, value);
    }
}

int TDataGrid::AddRow(int count) {
    if (count < 1)
        return FLastAddedRow;
    const int first = RowCount();
    const bool hadVisible = VisibleRowCount() > 0;
    FCells->AddRows(count);
    if (!hadVisible)
        FFirstVisibleRow = first;
    if (HasOption(goUseDefaultValues))
        FillDefaults(first, RowCount() - 1);
    if (!Updating()) {
        if (GridLinesStyle() == lsFramed && HasOption(goGrid) && first > 0)
            emit RowInvalidated(first - 1);
        emit RowsInvalidated(first, RowCount() - 1);
    }
    FLastAddedRow = RowCount() - 1;
    FLastVisibleRow = RowCount() - 1;
    if (!Updating())
        emit ScrollBarsChanged();
    if (OnDataChange)
        OnDataChange(this, dcAddRow, FLastAddedRow);
    return FLastAddedRow;
}

void TDataGrid::AddRowsQuietly(int count) {
    if (count < 1)
        return;
    const int first = RowCount();
    const bool hadVisible = VisibleRowCount() > 0;
    FCells->AddRows(count);
    if (!hadVisible)
        FFirstVisibleRow = first;
    FLastAddedRow = FLastVisibleRow = RowCount() - 1;
}

void TDataGrid::AddChildRow(int parentRow) {
    CloseEdit();
    const int index = parentRow + FCells->DescendantCount(parentRow) + 1;
    FCells->AddChildRow(parentRow, index);
    if (HasOption(goUseDefaultValues))
        FillDefaults(index, index);
    if (SelectedRow() >= index)
        SetCurrent(SelectedColumn(), SelectedRow() + 1);
    RecomputeVisibleBounds();
    FLastAddedRow = index;
    Invalidate(gaBody);
}

void TDataGrid::InsertRow(int index) {
    if (index < 0 || index > RowCount())
        RaiseListIndexError(index);
    CloseEdit();
    const bool hadVisible = VisibleRowCount() > 0;
    if (FFirstRow == 0 && hadVisible)
        FFirstRow = FFirstVisibleRow; // a view at the top starts at the first shown row
    FLastAddedRow = index;
    FCells->InsertRow(index);
    if (!hadVisible) {
        FFirstVisibleRow = FLastVisibleRow = index;
    } else if (index <= FFirstVisibleRow) {
        FFirstVisibleRow = index;
        ++FLastVisibleRow;
    } else if (index <= FLastVisibleRow) {
        ++FLastVisibleRow;
    } else {
        FLastVisibleRow = index;
    }
    // The current row stays on its record.
    if (SelectedRow() >= index)
        SetCurrent(SelectedColumn(), SelectedRow() + 1);
    if (SelectionAnchor() >= index)
        ClampSelectionAnchor();
    Invalidate(gaBody);
    emit ScrollBarsChanged();
    if (OnDataChange)
        OnDataChange(this, dcInsertRow, index);
}

void TDataGrid::DeleteRow(int index) {
    FCells->CheckRow(index);
    CloseEdit();
    TRow& row = FCells->GetRow(index);
    if (row.ChildCount > 0) {
        BeginUpdate();
        while (FCells->DescendantCount(index) > 0)
            DeleteRow(index + 1);
        EndUpdate();
    }
    if (row.ParentRow)
        --row.ParentRow->ChildCount;
    const bool wasVisible = row.IsVisible();
    FCells->DeleteRow(index);
    if (VisibleRowCount() == 0) {
        FFirstVisibleRow = FLastVisibleRow = 0;
    } else if (wasVisible || index < FLastVisibleRow) {
        if (index < FFirstVisibleRow)
            --FFirstVisibleRow;
        else if (index == FFirstVisibleRow)
            FFirstVisibleRow = NextVisibleFrom(index);
        if (index < FLastVisibleRow)
            --FLastVisibleRow;
        else if (index == FLastVisibleRow)
            FLastVisibleRow = PrevVisibleFrom(index - 1);
    } else if (index < FFirstVisibleRow) {
        --FFirstVisibleRow;
    }
    if (FFirstRow > 0 && index < FFirstRow)
        --FFirstRow;
    // The current row stays on its record; with no rows left there is none.
    if (RowCount() == 0) {
        if (SelectedRow() >= 0 && OnDeselectCell)
            OnDeselectCell(this, SelectedColumn(), SelectedRow());
        SetCurrent(SelectedColumn(), -1);
    } else if (SelectedRow() > index) {
        SetCurrent(SelectedColumn(), SelectedRow() - 1);
    } else if (SelectedRow() >= 0 && SelectedRow() >= FLastVisibleRow && SelectedRow() != FLastVisibleRow) {
        if (OnDeselectCell)
            OnDeselectCell(this, SelectedColumn(), SelectedRow());
        SetCurrent(SelectedColumn(), FLastVisibleRow);
    }
    ClampSelectionAnchor();
    if (!Updating())
        emit CellInvalidated(SelectedColumn(), SelectedRow());
    Invalidate(gaBody);
    emit ScrollBarsChanged();
    if (OnDataChange)
        OnDataChange(this, dcDeleteRow, index);
}

void TDataGrid::ClearRows() {
    CloseEdit();
    FFirstRow = 0;
    ResetSelectionState();
    FCells->ClearRows();
    FFirstVisibleRow = FLastVisibleRow = 0;
    Invalidate(gaBody | gaFooter | gaIndicator);
    emit ScrollBarsChanged();
}

void TDataGrid::MoveRow(int from, int to) {
    FCells->CheckRow(from);
    FCells->CheckRow(to);
    CloseEdit();
    if (from == to)
        return;
    FCells->MoveRow(from, to);
    if (VisibleRowCount() > 0) {
        const int low = std::min({FFirstVisibleRow, from, to});
        const int high = std::max({FLastVisibleRow, from, to});
        FFirstVisibleRow = NextVisibleFrom(low);
        FLastVisibleRow = PrevVisibleFrom(high);
    }
    Invalidate(gaBody);
}

void TDataGrid::ExchangeRows(int a, int b) {
    CloseEdit();
    FCells->ExchangeRows(a, b);
    if (VisibleRowCount() > 0) {
        FFirstVisibleRow = NextVisibleFrom(std::min({FFirstVisibleRow, a, b}));
        FLastVisibleRow = PrevVisibleFrom(std::max({FLastVisibleRow, a, b}));
    }
    if (!Updating()) {
        emit RowInvalidated(a);
        emit RowInvalidated(b);
    }
}

void TDataGrid::SetRowVisible(int row, bool visible) {
    TRow& r = FCells->GetRow(row);
    if (!visible && r.IsVisible())
        CloseEdit();
    const bool before = r.IsVisible();
    const bool hadVisible = VisibleRowCount() > 0;
    // The flag is stored even under a collapsed parent, so expanding it later shows the truth.
    FCells->SetRowVisible(row, visible);
    if (r.IsVisible() == before)
        return;
    if (visible) {
        FFirstVisibleRow = hadVisible ? std::min(FFirstVisibleRow, row) : row;
        FLastVisibleRow = hadVisible ? std::max(FLastVisibleRow, row) : row;
    } else if (VisibleRowCount() == 0) {
        FFirstVisibleRow = FLastVisibleRow = 0;
    } else {
        if (row == FFirstVisibleRow)
            FFirstVisibleRow = NextVisibleFrom(row + 1);
        if (row == FLastVisibleRow)
            FLastVisibleRow = PrevVisibleFrom(row - 1);
    }
    if (!Updating()) {
        emit AreasInvalidated(gaBody);
        emit ScrollBarsChanged();
    }
}

int TDataGrid::GetRowHeight(int row) const {
    int height = FCells->GetRow(row).Height;
    if (OnMeasuringRowHeight)
        OnMeasuringRowHeight(const_cast<TDataGrid*>(this), row, height);
    return height;
}

void TDataGrid::SetRowHeight(int row, int height) {
    TRow& r = FCells->GetRow(row);
    if (r.Height == height)
        return;
    r.Height = height;
    if (OnChangeRowHeight)
        OnChangeRowHeight(this, row, height);
    if (!Updating()) {
        emit RowInvalidated(row);
        emit ScrollBarsChanged();
    }
}

void TDataGrid::SetRowSelected(int row, bool value) {
    if (row < 0 || row >= RowCount())
        return;
    TRow& r = FCells->GetRow(row);
    if (r.Selected == value)
        return;
    r.Selected = value;
    if (!Updating())
        emit RowInvalidated(row);
}

void TDataGrid::SelectRowRange(int first, int last) {
    FCells->CheckRow(first);
    FCells->CheckRow(last);
    for (int r = std::min(first, last); r <= std::max(first, last); ++r)
        SetRowSelected(r, true);
}

int TDataGrid::SelectedCount() const {
    int count = 0;
    for (int r = 0; r < RowCount(); ++r)
        count += FCells->GetRow(r).Selected ? 1 : 0;
    return count;
}

void TDataGrid::SetRowSize(int value) {
    TGxCustomGrid::SetRowSize(value);
    if (value > 0)
        FCells->SetDefaultRowHeight(value);
}

void TDataGrid::SetStartRowCount(int value) {
    if (value < 0 || value == FStartRowCount)
        return;
    if (value > FStartRowCount) {
        AddRow(value - FStartRowCount);
    } else {
        int remove = FStartRowCount < RowCount() ? FStartRowCount - value : RowCount() - value;
        remove = std::clamp(remove, 0, RowCount());
        for (int i = 0; i < remove; ++i)
            DeleteRow(0);
    }
    FStartRowCount = value;
    Invalidate(gaBody);
}

void TDataGrid::Expand(int row, bool expanded) {
    TRow& r = FCells->GetRow(row);
    if (r.Expanded == expanded)
        return;
    if (!expanded)
        CloseEdit();
    r.Expanded = expanded;
    const int count = FCells->DescendantCount(row);
    if (!expanded) {
        for (int i = row + 1; i <= row + count; ++i)
            FCells->SetRowShown(i, false);
    } else {
        // Show descendants down to the first collapsed level.
        std::vector<int> collapsedLevels;
        for (int i = row + 1; i <= row + count; ++i) {
            TRow& child = FCells->GetRow(i);
            while (!collapsedLevels.empty() && child.Level <= collapsedLevels.back())
                collapsedLevels.pop_back();
            FCells->SetRowShown(i, collapsedLevels.empty());
            if (!child.Expanded && child.ChildCount > 0 && collapsedLevels.empty())
                collapsedLevels.push_back(child.Level);
        }
    }
    RecomputeVisibleBounds();
    Invalidate(gaBody);
    if (OnExpand)
        OnExpand(this, row);
}

// ---- sorting --------------------------------------------------------------------------------

void TDataGrid::SortColumn(TGxCustomColumn* column, bool ascending) {
    if (!column || !column->HasOption(coCanSort))
        return;
    const int col = column->Index();
    FCells->CheckColumn(col);
    // The edit is stored in its own row before the rows move.
    CloseEdit();
    FSortedColumn = column;
    if (OnSortColumn)
        OnSortColumn(this, col, ascending);
    const TRow* current =
        SelectedRow() >= 0 && SelectedRow() < RowCount() ? &FCells->GetRow(SelectedRow()) : nullptr;
    FCells->Sort(col, column->SortType(), column->HasOption(coFullResort), !ascending);
    if (current)
        SetCurrent(SelectedColumn(), FCells->IndexOfRow(current));
    if (SelectedRow() >= 0)
        emit ScrollToRowRequested(SelectedRow());
    RecomputeVisibleBounds();
    Invalidate(gaBody | (HasOption(goIndicator) ? gaIndicator : 0));
    if (OnAfterSort)
        OnAfterSort(this, col);
}

void TDataGrid::ColumnSortRequested(TGxCustomColumn* column, bool ascending) {
    SortColumn(column, ascending);
}

// ---- columns --------------------------------------------------------------------------------

void TDataGrid::ColumnChanged(TGxCustomColumn* column, int kind, int value) {
    if (kind == ccSortedOff && FSortedColumn == column)
        Invalidate(gaHeader);
    TGxCustomGrid::ColumnChanged(column, kind, value);
}

void TDataGrid::ColumnListChanged(int operation, int index) {
    if (!FCells)
        return;
    if (operation == 0) {
        FCells->ColumnAdded();
        if (OnDataChange)
            OnDataChange(this, dcAddColumn, ColumnCount() - 1);
    } else {
        FCells->ColumnDeleted(index);
        if (FSortedColumn && FColumns->IndexOf(FSortedColumn) < 0)
            FSortedColumn = nullptr;
        if (SelectedColumn() >= ColumnCount())
            SetCurrent(std::max(0, ColumnCount() - 1), SelectedRow());
        if (ColumnCount() == 0)
            ClearRows();
        if (OnDataChange)
            OnDataChange(this, dcDeleteColumn, index);
    }
    Invalidate(gaBody | gaHeader | gaFooter | gaInput);
}

// ---- cell facts -----------------------------------------------------------------------------

TCellInfo TDataGrid::GetCellInfo(int col, int row) {
    TCellInfo info;
    info.Column = col;
    info.Row = row;
    TCell& cell = GetCellObject(col, row);
    switch (FColumns->GetColumn(col)->CellKind()) {
    case ckBoolean:
        info.AsBoolean = cell.GetAsBoolean();
        break;
    case ckDateTime:
        info.AsDateTime = cell.GetAsDateTime();
        break;
    case ckFloat:
        info.AsFloat = cell.GetAsFloat();
        break;
    case ckInteger:
        info.AsInteger = cell.GetAsInteger();
        break;
    case ckObject:
        info.ObjectReference = cell.ObjectReference();
        break;
    case ckGuid:
    case ckString:
    case ckVirtual:
        info.AsString = cell.GetAsString();
        break;
    case ckIncrement:
        info.AsInteger = row;
        break;
    default:
        break;
    }
    return info;
}

QString TDataGrid::GetCellDisplayText(int col, int row) {
    QString text;
    FColumns->GetColumn(col)->FormatCell(GetCellInfo(col, row), text);
    return text;
}

TColor TDataGrid::GetCellColor(int col, int row) {
    const TGxCustomColumn* column = FColumns->GetColumn(col);
    return column->ParentCellColor() ? column->Color() : GetCellObject(col, row).Color();
}

QString TDataGrid::GetCellHint(int col, int row) {
    QString hint = GetCellObject(col, row).Hint();
    if (OnCellHint)
        OnCellHint(this, col, row, hint);
    return hint;
}

bool TDataGrid::GetCellEmpty(int col, int row) {
    return GetCellObject(col, row).Empty();
}

void TDataGrid::FormatCell(int col, int row, TColor& textColor, TFontStyles& fontStyle, TCellState state) {
    fontStyle = GetCellObject(col, row).FontStyle();
    if (state & csBoldTextSelection)
        fontStyle |= fsBold;
    if (OnCellFormating)
        OnCellFormating(this, col, row, textColor, fontStyle, state);
}

void TDataGrid::SetFirstRow(int row) {
    if (row < 0 || row >= RowCount() || row == FFirstRow)
        return;
    FFirstRow = row;
    if (!Updating())
        emit FirstRowChanged();
}

bool TDataGrid::ApplyPlay(int col, int row) {
    TGxCustomColumn* column = FColumns->GetColumn(col);
    TCell& cell = GetCellObject(col, row);
    const uint8_t kind = column->CellKind();
    if (kind != ckBoolean && kind != ckInteger)
        return false;
    const bool newValue = kind == ckBoolean ? !cell.GetAsBoolean() : cell.GetAsInteger() == 0;
    bool accept = true;
    if (OnEditAccept)
        OnEditAccept(this, col, row, BoolToText(newValue), accept);
    if (!accept)
        return false;
    if (kind == ckBoolean)
        cell.SetAsBoolean(newValue);
    else
        cell.SetAsInteger(newValue ? 1 : 0);
    if (auto* check = dynamic_cast<TGxCheckBoxColumn*>(column); check && check->OnChange)
        check->OnChange(check);
    if (OnAfterEdit)
        OnAfterEdit(this, col, row, GetCellObject(col, row).GetAsString());
    return true;
}

void TDataGrid::CalculateFooters(bool visibleOnly) {
    for (int c = 0; c < ColumnCount(); ++c) {
        TGxCustomColumn* column = FColumns->GetColumn(c);
        TColumnFooter& footer = column->Footer();
        const TFormulaKind kind = footer.FormulaKind();
        if (kind == fkNone)
            continue;
        if (RowCount() == 0) {
            footer.FormulaResult = 0;
            footer.SetCaption(QStringLiteral("0"));
            continue;
        }
        auto counts = [&](int r) {
            return !visibleOnly || FCells->GetRow(r).IsVisible();
        };
        double value = 0;
        switch (kind) {
        case fkCount:
            value = RowCount();
            break;
        case fkDistinct: {
            QSet<QString> seen;
            for (int r = 0; r < RowCount(); ++r)
                if (counts(r))
                    seen.insert(FCells->GetCell(c, r).GetAsString());
            value = seen.size();
            break;
        }
        case fkCustom:
            if (OnColumnFooterValue)
                OnColumnFooterValue(this, c, value);
            break;
        default: {
            value = counts(0) ? FCells->GetCell(c, 0).GetAsFloat() : 0;
            for (int r = 1; r < RowCount(); ++r) {
                if (!counts(r))
                    continue;
                const double v = FCells->GetCell(c, r).GetAsFloat();
                if (kind == fkMaximum)
                    value = std::max(value, v);
                else if (kind == fkMinimum)
                    value = std::min(value, v);
                else
                    value += v;
            }
            if (kind == fkAverage)
                value /= RowCount();
            break;
        }
        }
        if (OnFooterCalculate)
            OnFooterCalculate(this, c, value);
        footer.FormulaResult = value;
        footer.SetCaption(FloatToText(value, Locale()));
    }
}
