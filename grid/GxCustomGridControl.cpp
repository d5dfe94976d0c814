// Base of the table control model: options, update counter, current cell and selection.
#include "grid/GxCustomGridControl.h"
#include "grid/GxConvert.h"
#include "grid/GxGridFiles.h"

#include <QFile>
#include <optional>

#include <algorithm>

TGxCustomGridControl::TGxCustomGridControl(QObject* parent)
    : QObject(parent), FColumns(std::make_unique<TGxColumns>(this)) {
    FColumns->OnColumnChanged = [this](TGxCustomColumn* column, int kind, int value) {
        ColumnChanged(column, kind, value);
    };
    FColumns->OnBeforeListChange = [this](int operation, int index) {
        Q_UNUSED(index);
        if (operation == 1)
            EndEdit(false); // the edited column may be the one that goes
    };
    FColumns->OnAfterListChange = [this](int operation, int index) {
        ColumnListChanged(operation, index);
        emit ColumnListUpdated(operation, index);
    };
}

TGxCustomGridControl::~TGxCustomGridControl() {
    FDestroying = true;
    ReleaseEditor();
    FColumns->OnColumnChanged = nullptr;
    FColumns->OnBeforeListChange = nullptr;
    FColumns->OnAfterListChange = nullptr;
    FColumns.reset();
}

TGxCustomColumn& TGxCustomGridControl::AddColumn(TGxColumnKind kind, const QString& name) {
    auto column = CreateGridColumn(kind);
    column->SetName(name);
    return *FColumns->AddColumn(std::move(column));
}

void TGxCustomGridControl::SetOptions(TGridOptions value) {
    const bool indicatorChanged = ((value ^ FOptions) & goIndicator) != 0;
    FOptions = value;
    if (indicatorChanged)
        FColumns->RecalcPositions(false);
    InvalidateLayout();
}

void TGxCustomGridControl::InvalidateLayout() {
    Invalidate(gaClient);
    if (!Updating())
        emit ScrollBarsChanged();
}

void TGxCustomGridControl::SetGridLinesStyle(TGridLinesStyle value) {
    FGridLinesStyle = value;
    InvalidateLayout(); // line widths change the row pitch
}

void TGxCustomGridControl::SetAppearanceOptions(TAppearanceOptions value) {
    FAppearanceOptions = value;
    InvalidateLayout();
}

int TGxCustomGridControl::LineWidthV() const {
    if (!HasOption(goGrid) || FGridLinesStyle == lsActiveHorzOnly || FGridLinesStyle == lsHorizontalOnly)
        return 0;
    return 1;
}

int TGxCustomGridControl::LineWidthH() const {
    return HasOption(goGrid) && FGridLinesStyle != lsVerticalOnly ? 1 : 0;
}

void TGxCustomGridControl::SetBorderStyle(TBorderStyle value) {
    FBorderStyle = value;
    emit AreasInvalidated(gaBorder | gaClient); // the window changes even inside an update
}

void TGxCustomGridControl::SetCaption(const QString& value) {
    FCaption = value;
    Invalidate(gaBody);
}

void TGxCustomGridControl::SetColor(TColor value) {
    FColor = value;
    Invalidate(gaClient);
}

void TGxCustomGridControl::SetEnableVisualStyles(bool value) {
    FEnableVisualStyles = value;
    Invalidate(gaClient | gaBorder);
}

void TGxCustomGridControl::SetFixedCols(int value) {
    FColumns->SetFixedCols(value);
    InvalidateLayout();
}

void TGxCustomGridControl::SetFooterSize(int value) {
    FFooterSize = value;
    InvalidateLayout();
}

void TGxCustomGridControl::SetGridStyle(TGridStyle value) {
    if (value == FGridStyle)
        return;
    FGridStyle = value;
    GridStyleChanged();
    InvalidateLayout();
}

void TGxCustomGridControl::SetGridLinesColor(TColor value) {
    FGridLinesColor = value;
    Invalidate(gaClient);
}

void TGxCustomGridControl::SetHeaderSize(int value) {
    FHeaderSize = value;
    InvalidateLayout();
}

void TGxCustomGridControl::SetHeaderStyle(THeaderStyle value) {
    FHeaderStyle = value;
    Invalidate(gaClient | gaBorder);
}

void TGxCustomGridControl::SetHideScrollBar(bool value) {
    FHideScrollBar = value;
    emit ScrollBarsChanged();
}

void TGxCustomGridControl::SetHighlightedTextColor(TColor value) {
    FHighlightedTextColor = value;
    if (Updating() || FSelectedRow < 0 || FSelectedRow >= RowCount())
        return;
    if (!HasOption(goSelectFullRow)) {
        emit CellInvalidated(FSelectedColumn, FSelectedRow);
        return;
    }
    for (int r = 0; r < RowCount(); ++r)
        if (r == FSelectedRow || GetRowSelected(r))
            emit RowInvalidated(r);
}

void TGxCustomGridControl::SetInactiveSelectionColor(TColor value) {
    FInactiveSelectionColor = value;
    Invalidate(gaClient);
}

void TGxCustomGridControl::SetInputSize(int value) {
    FInputSize = value;
    InvalidateLayout();
}

void TGxCustomGridControl::SetSlidesOptions(TSlidesOptions value) {
    FSlidesOptions = value;
    Invalidate(gaBody);
}

void TGxCustomGridControl::SetSlideSelectionColor(TColor value) {
    FSlideSelectionColor = value;
    Invalidate(gaBody);
}

void TGxCustomGridControl::SetSlideSize(int value) {
    FSlideSize = value;
    InvalidateLayout();
}

void TGxCustomGridControl::SetSortedStyle(TSortedStyle value) {
    FSortedStyle = value;
    Invalidate(gaClient);
}

void TGxCustomGridControl::SetTabStop(bool value) {
    FTabStop = value;
    emit AreasInvalidated(gaBorder);
}

void TGxCustomGridControl::SetRowSize(int value) {
    if (value <= 0)
        return;
    FRowSize = value;
    InvalidateLayout();
}

void TGxCustomGridControl::SetFont(const TGridFont& value) {
    FFont = value;
    for (int i = 0; i < FColumns->ColumnCount(); ++i) {
        TGxCustomColumn* column = FColumns->GetColumn(i);
        if (column->ParentFont())
            column->SetParentFont(true);
    }
}

void TGxCustomGridControl::EndUpdate() {
    if (FUpdateCount == 0)
        return;
    if (--FUpdateCount > 0)
        return;
    UpdatingChanged();
    int areas = gaBody;
    if (HasOption(goHeader))
        areas |= gaHeader;
    if (HasOption(goIndicator))
        areas |= gaIndicator;
    emit AreasInvalidated(areas);
    emit ScrollBarsChanged();
}

void TGxCustomGridControl::Invalidate(int areas) {
    if (!Updating())
        emit AreasInvalidated(areas);
}

void TGxCustomGridControl::RepaintColumnPart(TGxCustomColumn& column, TColumnPartRegion region) {
    if (!Updating())
        emit ColumnPartInvalidated(column.Index(), region);
}

void TGxCustomGridControl::ColumnChanged(TGxCustomColumn* column, int kind, int value) {
    const int index = column->Index();
    switch (kind) {
    case ccPosition:
        if (value >= 0 && OnColumnMove)
            OnColumnMove(this, index, value, column->Position());
        Invalidate(gaBody | gaHeader | gaFooter | gaInput);
        break;
    case ccWidth:
        if (OnColumnResize)
            OnColumnResize(this, index);
        Invalidate(gaBody | gaHeader | gaFooter | gaInput);
        emit ScrollBarsChanged();
        break;
    case ccSortedOn:
    case ccSortSettings:
        if (column->Sorted())
            ColumnSortRequested(column, column->SortKind() == skAscending);
        Invalidate(gaHeader);
        break;
    case ccVisible:
        Invalidate(gaBody | gaHeader | gaFooter | gaInput);
        emit ScrollBarsChanged();
        break;
    default:
        if (!Updating())
            emit ColumnPartInvalidated(index, cpClient);
        break;
    }
}

void TGxCustomGridControl::ClampSelectionAnchor() {
    const int rows = RowCount();
    if (rows == 0)
        FSelectionAnchor = -1;
    else
        FSelectionAnchor = std::clamp(FSelectionAnchor, -1, rows - 1);
}

void TGxCustomGridControl::SetSelectedRow(int row) {
    if (RowCount() > 0 && row >= -1 && row <= RowCount() - 1) {
        LeaveInputMode();
        SelectCell(FSelectedColumn, row, true, 0);
    }
}

void TGxCustomGridControl::SelectCell(int col, int row, bool clearSelection, TShiftState shift) {
    // A cell of a missing or disabled column is never selected, and nothing is told of it.
    if (!FColumns->IsValidIndex(col) || !FColumns->GetColumn(col)->Enabled())
        return;
    bool accept = true;
    if (OnBeforeSelect)
        OnBeforeSelect(this, col, row, accept);
    if (!accept)
        return;
    SelectAccepted(col, row, clearSelection, shift);
}

void TGxCustomGridControl::ShowCellChange(int oldCol, int oldRow, int col, int row) {
    if (Updating())
        return;
    if (HasOption(goSelectFullRow)) {
        if (oldRow != row && oldRow >= 0)
            emit RowInvalidated(oldRow);
        if (row >= 0)
            emit RowInvalidated(row);
    } else {
        emit CellInvalidated(oldCol, oldRow);
        emit CellInvalidated(col, row);
    }
    if (oldRow != row && HasOption(goIndicator))
        Invalidate(gaIndicator);
}

void TGxCustomGridControl::SelectAccepted(int col, int row, bool clearSelection, TShiftState shift) {
    if (!FColumns->IsValidIndex(col) || !FColumns->GetColumn(col)->Enabled())
        return;
    const bool shiftHeld = shift & ssShift;
    const bool ctrlHeld = shift & ssCtrl;
    const bool multi = HasOption(goMultiSelect) && HasOption(goSelectFullRow);
    if (FMultiSelecting && clearSelection && !shiftHeld && !ctrlHeld) {
        BeginUpdate();
        for (int r = 0; r < RowCount(); ++r)
            if (GetRowSelected(r))
                SetRowSelected(r, false);
        EndUpdate();
        FMultiSelecting = false;
        FSelectedRow = -1;
        FSelectedColumn = 0;
    }
    const int oldCol = FSelectedColumn;
    const int oldRow = FSelectedRow;
    const bool changed = oldCol != col || oldRow != row;
    // An edit never outlives the cell it belongs to.
    if (changed)
        CloseEdit();
    FSelectedColumn = col;
    FSelectedRow = row;
    const bool oldValid = FColumns->IsValidIndex(oldCol) && oldRow >= 0 && oldRow < RowCount();
    if (changed && oldValid && OnDeselectCell)
        OnDeselectCell(this, oldCol, oldRow);
    const bool rowValid = row >= 0 && row < RowCount();
    if (FAutoScroll && rowValid)
        emit ScrollToRowRequested(row);
    if (FInputMode) {
        if (oldCol != col) {
            if (OnInputSelectCell)
                OnInputSelectCell(this, col);
            Invalidate(gaInput);
        }
        return;
    }
    if (RowCount() == 0)
        return;
    if (!HasOption(goSelectFullRow)) {
        if (changed) {
            ShowCellChange(oldCol, oldRow, col, row);
            if (OnSelectCell)
                OnSelectCell(this, col, row);
        }
        return;
    }
    if (multi && ctrlHeld && !shiftHeld && rowValid) {
        FSelectionAnchor = row;
        FMultiSelecting = true;
        SetRowSelected(row, !GetRowSelected(row));
        ShowCellChange(oldCol, oldRow, col, row);
        if (OnSelectCell)
            OnSelectCell(this, col, row);
        return;
    }
    if (multi && shiftHeld && rowValid) {
        FMultiSelecting = true;
        ClampSelectionAnchor();
        const int anchor = FSelectionAnchor < 0 ? row : FSelectionAnchor;
        const int low = std::min(anchor, row);
        const int high = std::max(anchor, row);
        // Only rows the operator can see join a range: a filtered list never selects the rest.
        BeginUpdate();
        if (!ctrlHeld)
            for (int r = 0; r < RowCount(); ++r)
                if ((r < low || r > high || !GetRowVisible(r)) && GetRowSelected(r))
                    SetRowSelected(r, false);
        for (int r = low; r <= high; ++r)
            if (GetRowVisible(r))
                SetRowSelected(r, true);
        EndUpdate();
        if (OnSelectCell)
            OnSelectCell(this, col, row);
        return;
    }
    if (!changed) {
        if (HasAppearance(aoIndicateSelectedCell) && oldCol != col)
            ShowCellChange(oldCol, oldRow, col, row);
    } else if (oldRow != row && !FMultiSelecting && oldRow >= 0 && oldRow < RowCount()) {
        SetRowSelected(oldRow, false);
    }
    if (rowValid) {
        SetRowSelected(row, true);
        FSelectionAnchor = row;
    }
    if (changed)
        ShowCellChange(oldCol, oldRow, col, row);
    if (OnSelectCell)
        OnSelectCell(this, col, row);
}

// ---- row and column moves -------------------------------------------------------------------

int TGxCustomGridControl::NextSelectableRow(int col, int row, int step) const {
    auto* self = const_cast<TGxCustomGridControl*>(this);
    for (int r = row + step; r >= 0 && r < RowCount(); r += step) {
        if (!GetRowVisible(r))
            continue;
        bool accept = true;
        if (OnBeforeSelect)
            OnBeforeSelect(self, col, r, accept);
        if (accept)
            return r;
    }
    return -1;
}

void TGxCustomGridControl::MoveDown(TShiftState shift, bool leaveAtEnd, bool wrapAtEnd) {
    const int col = FSelectedColumn;
    if (FInputMode) {
        LeaveInputMode();
        if (RowCount() == 0 || !GetRowVisible(FirstVisibleRow()))
            return;
        SelectCell(col, FirstVisibleRow(), true, shift);
        emit ScrollToRowRequested(FSelectedRow);
        return;
    }
    if (FSelectedRow < 0 || FSelectedRow >= RowCount())
        return;
    int target = NextSelectableRow(col, FSelectedRow, 1);
    if (target < 0) {
        if (leaveAtEnd) {
            if (FEditorHost)
                FEditorHost->FocusNextControl(true);
            return;
        }
        if (!wrapAtEnd)
            return;
        target = NextSelectableRow(col, -1, 1);
        if (target < 0 || target == FSelectedRow)
            return;
    }
    SelectAccepted(col, target, true, shift);
    emit ScrollToRowRequested(target);
}

void TGxCustomGridControl::MoveUp(TShiftState shift) {
    const int col = FSelectedColumn;
    if (FInputMode || FSelectedRow < 0 || FSelectedRow >= RowCount())
        return;
    if (HasOption(goInput) && GridStyle() == gsReport && FSelectedRow <= FirstVisibleRow()) {
        SetInputMode(true);
        return;
    }
    const int target = NextSelectableRow(col, FSelectedRow, -1);
    if (target < 0)
        return;
    SelectAccepted(col, target, true, shift);
    emit ScrollToRowRequested(target);
}

void TGxCustomGridControl::MoveBy(int count) {
    if (count == 0 || RowCount() == 0 || !GetRowVisible(FirstVisibleRow()))
        return;
    const int step = count > 0 ? 1 : -1;
    int row = FSelectedRow;
    if (row < 0 || row >= RowCount())
        row = step > 0 ? FirstVisibleRow() - 1 : LastVisibleRow() + 1;
    // Hidden rows are stepped over; the walk ends at the first or last visible row.
    for (int left = std::abs(count); left > 0;) {
        int next = row + step;
        while (next >= 0 && next < RowCount() && !GetRowVisible(next))
            next += step;
        if (next < 0 || next >= RowCount())
            break;
        row = next;
        --left;
    }
    if (row < 0 || row >= RowCount() || row == FSelectedRow)
        return;
    SetSelectedRow(row);
    emit ScrollToRowRequested(FSelectedRow);
}

void TGxCustomGridControl::SelectFirstRow() {
    LeaveInputMode();
    if (RowCount() == 0 || !GetRowVisible(FirstVisibleRow()))
        return;
    SelectCell(FSelectedColumn, FirstVisibleRow(), true, 0);
    emit ScrollToRowRequested(FirstVisibleRow());
}

void TGxCustomGridControl::SelectLastRow() {
    LeaveInputMode();
    if (RowCount() == 0 || !GetRowVisible(LastVisibleRow()))
        return;
    SelectCell(FSelectedColumn, LastVisibleRow(), true, 0);
    emit ScrollToRowRequested(LastVisibleRow());
}

void TGxCustomGridControl::SelectToEnd(bool toLast, bool moveCurrent) {
    if (!(HasOption(goMultiSelect) && HasOption(goSelectFullRow)) || RowCount() == 0)
        return;
    const int end = toLast ? LastVisibleRow() : FirstVisibleRow();
    if (!GetRowVisible(end))
        return;
    const int from = FSelectedRow >= 0 && FSelectedRow < RowCount() ? FSelectedRow : end;
    FMultiSelecting = true;
    BeginUpdate();
    for (int r = std::min(from, end); r <= std::max(from, end); ++r)
        if (GetRowVisible(r))
            SetRowSelected(r, true);
    EndUpdate();
    if (!moveCurrent || !FColumns->IsValidIndex(FSelectedColumn))
        return;
    const int anchor = FSelectionAnchor;
    bool accept = true;
    if (OnBeforeSelect)
        OnBeforeSelect(this, FSelectedColumn, end, accept);
    if (!accept)
        return;
    SelectAccepted(FSelectedColumn, end, false, 0);
    FSelectionAnchor = anchor;
    emit ScrollToRowRequested(end);
}

void TGxCustomGridControl::MoveLeft(TSelectionMoveKey key) {
    MoveColumn(false, key);
}

void TGxCustomGridControl::MoveRight(TSelectionMoveKey key) {
    MoveColumn(true, key);
}

void TGxCustomGridControl::MoveColumn(bool forward, TSelectionMoveKey key) {
    TGxCustomColumn* current =
        FColumns->IsValidIndex(FSelectedColumn) ? FColumns->GetColumn(FSelectedColumn) : nullptr;
    TGxCustomColumn* target = !current  ? FColumns->FirstVisibleColumn()
                              : forward ? FColumns->NextVisibleColumn(current)
                                        : FColumns->PrevVisibleColumn(current);
    if (!target)
        return;
    int col = target->Index();
    if (OnSelectionMove)
        OnSelectionMove(this, col, FSelectedRow, key);
    SelectCell(col, FSelectedRow, true, 0);
    if (FEditorHost)
        FEditorHost->ScrollToColumn(FSelectedColumn);
}

void TGxCustomGridControl::MoveTab(bool forward) {
    TGxCustomColumn* current =
        FColumns->IsValidIndex(FSelectedColumn) ? FColumns->GetColumn(FSelectedColumn) : nullptr;
    const bool atEnd = current && current->Visible() && current->Enabled() &&
                       (forward ? FColumns->IsLastVisible(current) : FColumns->IsFirstVisible(current));
    if (!atEnd) {
        forward ? MoveRight(mkTab) : MoveLeft(mkTab);
        return;
    }
    if (FInputMode) {
        if (FTabLeaveControl && FEditorHost)
            FEditorHost->FocusNextControl(forward);
        return;
    }
    TGxCustomColumn* first = forward ? FColumns->FirstVisibleColumn() : FColumns->LastVisibleColumn();
    if (!first || FSelectedRow < 0 || FSelectedRow >= RowCount())
        return;
    int col = first->Index();
    const int step = forward ? 1 : -1;
    int row = NextSelectableRow(col, FSelectedRow, step);
    if (row < 0) {
        // Past the last cell: the focus leaves, or the walk starts again at the other end.
        if (FTabLeaveControl) {
            if (FEditorHost)
                FEditorHost->FocusNextControl(forward);
            return;
        }
        row = NextSelectableRow(col, forward ? -1 : RowCount(), step);
        if (row < 0)
            return;
    }
    if (OnSelectionMove)
        OnSelectionMove(this, col, row, mkTab);
    SelectCell(col, row, true, 0);
    emit ScrollToRowRequested(FSelectedRow);
    if (FEditorHost)
        FEditorHost->ScrollToColumn(FSelectedColumn);
}

void TGxCustomGridControl::SelectFirstColumn() {
    if (TGxCustomColumn* column = FColumns->FirstVisibleColumn()) {
        SelectCell(column->Index(), FSelectedRow, true, 0);
        if (FEditorHost)
            FEditorHost->ScrollToColumn(FSelectedColumn);
    }
}

void TGxCustomGridControl::SelectLastColumn() {
    if (TGxCustomColumn* column = FColumns->LastVisibleColumn()) {
        SelectCell(column->Index(), FSelectedRow, true, 0);
        if (FEditorHost)
            FEditorHost->ScrollToColumn(FSelectedColumn);
    }
}

// ---- in-place editing -----------------------------------------------------------------------

void TGxCustomGridControl::SetInputMode(bool value) {
    if (value == FInputMode)
        return;
    if (value) {
        if (!HasOption(goInput))
            return;
        FInputMode = true;
        if (FSelectedRow >= 0 && FSelectedRow < RowCount() && HasOption(goSelectFullRow))
            SetRowSelected(FSelectedRow, false);
    } else {
        CloseEdit();
        FInputMode = false;
    }
    Invalidate(gaInput | gaIndicator | gaBody);
    emit InputModeChanged(FInputMode);
}

void TGxCustomGridControl::LeaveInputMode() {
    SetInputMode(false);
}

TColor TGxCustomGridControl::EditorCellColor(int col, int row) {
    Q_UNUSED(row);
    return FColumns->GetColumn(col)->Color();
}

bool TGxCustomGridControl::CellEditable(int col, int row) {
    if (!FColumns->IsValidIndex(col) || row < 0 || row >= RowCount())
        return false;
    TGxCustomColumn& column = *FColumns->GetColumn(col);
    if (FEditingCell && FEditColumn == col && FEditRow == row)
        return false;
    if (!(column.GetEditAbilities() & eaInCells) || FReadOnly || (!column.InplaceEdit() && !column.Editor()))
        return false;
    bool accept = true;
    if (OnBeforeEdit)
        OnBeforeEdit(this, col, row, accept);
    return accept;
}

bool TGxCustomGridControl::EditCell(int col, int row, const QString& text) {
    return CellEditable(col, row) && StartEditor(*FColumns->GetColumn(col), col, row, false, text, QChar());
}

bool TGxCustomGridControl::EditCellByKey(int col, int row, QChar key) {
    return CellEditable(col, row) && StartEditor(*FColumns->GetColumn(col), col, row, false, QString(), key);
}

bool TGxCustomGridControl::StartInputEdit(int col, const QString& text, QChar key) {
    if (!FColumns->IsValidIndex(col) || !HasOption(goInput))
        return false;
    SetInputMode(true);
    SelectCell(col, FSelectedRow, true, 0);
    CloseEdit();
    TGxCustomColumn& column = *FColumns->GetColumn(col);
    if (!(column.GetEditAbilities() & eaInInputRow) || FReadOnly ||
        (!column.InplaceEdit() && !column.Editor()))
        return false;
    if (!StartEditor(column, col, -1, true, text, key))
        return false;
    if (OnInputSelectCell)
        OnInputSelectCell(this, col);
    return true;
}

bool TGxCustomGridControl::EditInputCell(int col, const QString& text) {
    return StartInputEdit(col, text, QChar());
}

bool TGxCustomGridControl::EditInputCellByKey(int col, QChar key) {
    return StartInputEdit(col, QString(), key);
}

bool TGxCustomGridControl::StartEditor(TGxCustomColumn& column, int col, int row, bool input,
                                       const QString& text, QChar key) {
    CloseEdit();
    TGxCustomEdit* editor = column.InplaceEdit() ? column.InplaceEdit() : column.Editor();
    if (!editor || !FColumns->IsValidIndex(col))
        return false;
    const bool builtIn = editor == column.Editor();
    FEditor = editor;
    editor->AddFreeObserver(this, [this](TGxCustomEdit* gone) { ForgetEditor(gone); });
    if (input) {
        FEditingInput = true;
        FInputColumn = col;
    } else {
        FEditingCell = true;
        FEditColumn = col;
        FEditRow = row;
    }
    TEditorSetup setup;
    if (builtIn) {
        column.PrepareEditor(setup);
        editor->ApplySetup(setup);
        editor->SetEditLook(input ? column.Color() : EditorCellColor(col, row), column.Font());
    }
    editor->SetWantTabs(FWantTabs);
    editor->SetLocale(Locale());
    if (FEditorHost)
        FEditorHost->AttachEditor(*editor);
    FSuppressOnEdit = true;
    editor->SetText(QString());
    FSuppressOnEdit = false;
    if (key.isNull()) {
        QString start = text;
        if (start.isEmpty()) {
            if (input)
                column.GetInputText(start);
            else
                GetCellText(col, row, start);
        }
        if (!input && OnApplyEditText)
            OnApplyEditText(this, col, row, start);
        FSuppressOnEdit = text.isEmpty();
        editor->SetText(start);
        FSuppressOnEdit = false;
        if (builtIn) {
            column.SyncEditor(setup, start);
            editor->SyncSetup(setup);
        }
    } else if (builtIn) {
        column.SyncEditor(setup, QString());
        editor->SyncSetup(setup);
    }
    if (FEditor != editor)
        return false; // a handler ended the edit meanwhile
    if (FEditorHost)
        FEditorHost->ShowEditor(*editor);
    editor->StartedByGrid(key.isNull() && !input && column.HasOption(coEditorAutoSelect));
    if (!key.isNull())
        editor->TypeCharacter(key);
    if (input)
        Invalidate(gaInput);
    else if (!Updating())
        emit CellInvalidated(col, row);
    return true;
}

void TGxCustomGridControl::EditorChanged() {
    if (FSuppressOnEdit || !FEditingCell || !FEditor || !OnEdit)
        return;
    OnEdit(this, FEditColumn, FEditRow, FEditor->Text());
}

bool TGxCustomGridControl::ApplyEdit() {
    if (!FEditor)
        return false;
    if (FEditingInput) {
        if (!FColumns->IsValidIndex(FInputColumn))
            return false;
        TGxCustomColumn& column = *FColumns->GetColumn(FInputColumn);
        FSuppressOnEdit = true;
        FEditor->EditingDone();
        FSuppressOnEdit = false;
        QString value = FEditor->Text();
        QString own;
        if (column.GetEditorValue(own))
            value = own;
        column.SetInputValue(value);
        return true;
    }
    if (!FEditingCell || RowCount() == 0 || FEditRow < 0 || FEditRow >= RowCount() ||
        !FColumns->IsValidIndex(FEditColumn))
        return false;
    const int col = FEditColumn;
    const int row = FEditRow;
    TGxCustomColumn& column = *FColumns->GetColumn(col);
    FSuppressOnEdit = true;
    FEditor->EditingDone();
    FSuppressOnEdit = false;
    QString value = FEditor->Text();
    QString own;
    if (column.GetEditorValue(own)) {
        if (own.isEmpty())
            return false; // the editor has no value the column can take
        value = own;
    }
    bool accept = true;
    if (OnEditAccept)
        OnEditAccept(this, col, row, value, accept);
    if (!accept)
        return false;
    if (OnEditText)
        OnEditText(this, col, row, value);
    SetCellText(col, row, value);
    if (OnAfterEdit)
        OnAfterEdit(this, col, row, value);
    return true;
}

void TGxCustomGridControl::EndEdit(bool focusGrid) {
    if (FEnding || (!Editing() && !FEditor))
        return;
    FEnding = true;
    TGxCustomEdit* editor = FEditor;
    const bool wasCell = FEditingCell;
    const int col = FEditColumn;
    const int row = FEditRow;
    if (editor && FEditorHost)
        FEditorHost->HideEditor(*editor, focusGrid);
    if (wasCell && !Updating())
        emit CellInvalidated(col, row);
    else if (FEditingInput)
        Invalidate(gaInput);
    FEditingCell = false;
    FEditingInput = false;
    FEditColumn = -1;
    FEditRow = -1;
    FInputColumn = -1;
    FEditor = nullptr;
    if (editor) {
        editor->RemoveFreeObserver(this);
        if (FEditorHost)
            FEditorHost->DetachEditor(*editor);
    }
    FEnding = false;
    if (wasCell && OnEditExit)
        OnEditExit(this);
}

void TGxCustomGridControl::CloseEdit() {
    if (!Editing() || FEnding)
        return;
    try {
        ApplyEdit();
    } catch (const EGridError&) {
        // The text does not convert to the cell's type: the cell keeps its value.
    }
    EndEdit(false);
}

void TGxCustomGridControl::ForgetEditor(TGxCustomEdit* editor) {
    if (editor != FEditor)
        return;
    const bool wasCell = FEditingCell;
    FEditor = nullptr;
    if (FEditorHost)
        FEditorHost->EditorDestroyed(*editor);
    if (wasCell && !Updating())
        emit CellInvalidated(FEditColumn, FEditRow);
    FEditingCell = false;
    FEditingInput = false;
    FEditColumn = -1;
    FEditRow = -1;
    FInputColumn = -1;
    if (wasCell && OnEditExit)
        OnEditExit(this);
}

void TGxCustomGridControl::ReleaseEditor() {
    TGxCustomEdit* editor = FEditor;
    FEditor = nullptr;
    FEditingCell = FEditingInput = false;
    FEditColumn = FEditRow = FInputColumn = -1;
    if (!editor)
        return;
    editor->RemoveFreeObserver(this);
    if (FEditorHost) {
        FEditorHost->HideEditor(*editor, false);
        FEditorHost->DetachEditor(*editor);
    }
}

bool TGxCustomGridControl::AcceptInput() {
    bool accept = true;
    if (OnInputAccept)
        OnInputAccept(this, accept);
    if (!accept)
        return false;
    const int row = AddRow(1);
    std::optional<EGridError> firstError;
    for (int c = 0; c < ColumnCount(); ++c) {
        TGxCustomColumn* column = FColumns->GetColumn(c);
        const QString value = column->InputValue().isEmpty() ? column->DefaultValue() : column->InputValue();
        try {
            if (!value.isEmpty())
                SetCellText(c, row, value);
        } catch (const EGridError& e) {
            // One value that does not convert leaves only its own cell empty.
            if (!firstError)
                firstError = e;
        }
        column->SetInputValue(QString());
    }
    if (OnInputAdded)
        OnInputAdded(this);
    if (firstError)
        throw *firstError;
    return true;
}

// ---- layout file ----------------------------------------------------------------------------

namespace {

const QString kCommon = QStringLiteral("Common");
const QString kSortKind = QStringLiteral("Columns Sort Kind");
const QString kVisible = QStringLiteral("Visible Columns");
const QString kSorted = QStringLiteral("Sorted");
const QString kPositions = QStringLiteral("Positions");
const QString kSizes = QStringLiteral("Columns Sizes");

QString ColumnKey(int index) {
    return QStringLiteral("Column") + QString::number(index);
}

// Integer value of a key, or the default when missing or not an integer.
int ReadInt(const TGxIniFile& ini, const QString& section, const QString& key, int defaultValue) {
    const auto text = ini.Read(section, key);
    if (!text)
        return defaultValue;
    const auto value = TryTextToInt(*text);
    return value ? *value : defaultValue;
}

} // namespace

namespace {

// Writes the layout keys into an INI document, keeping what else it holds.
void WriteLayout(const TGxColumns& columns, TGxIniFile& ini, const QString& suffix) {
    const int count = columns.ColumnCount();
    ini.Write(kCommon + suffix, QStringLiteral("ColumnsCount"), QString::number(count));
    for (int i = 0; i < count; ++i) {
        const TGxCustomColumn* c = columns.GetColumn(i);
        const QString key = ColumnKey(i);
        ini.Write(kSortKind + suffix, key,
                  c->SortKind() == skDescending ? QStringLiteral("Descending") : QStringLiteral("Ascending"));
        ini.Write(kVisible + suffix, key, c->Visible() ? QStringLiteral("1") : QStringLiteral("0"));
        ini.Write(kSorted + suffix, key, c->Sorted() ? QStringLiteral("1") : QStringLiteral("0"));
        ini.Write(kPositions + suffix, key, QString::number(c->Position()));
        ini.Write(kSizes + suffix, key, QString::number(c->Width()));
    }
}

} // namespace

QByteArray TGxCustomGridControl::LayoutToIniBytes(const QString& sectionSuffix) const {
    TGxIniFile ini;
    WriteLayout(*FColumns, ini, sectionSuffix);
    return ini.Serialize();
}

void TGxCustomGridControl::SaveLayoutToIni(const QString& fileName, const QString& sectionSuffix) const {
    TGxIniFile ini;
    if (QFile::exists(fileName))
        ini = TGxIniFile::Parse(ReadWholeFile(fileName)); // other sections stay
    WriteLayout(*FColumns, ini, sectionSuffix);
    WriteFileAtomically(fileName, ini.Serialize());
}

void TGxCustomGridControl::LoadLayoutFromIni(const QString& fileName, const QString& sectionSuffix) {
    // A missing file gives the defaults: every column shown, unsorted, in index order.
    const QByteArray bytes = QFile::exists(fileName) ? ReadWholeFile(fileName) : QByteArray();
    LoadLayoutFromIniBytes(bytes, sectionSuffix);
}

void TGxCustomGridControl::LoadLayoutFromIniBytes(const QByteArray& bytes, const QString& suffix) {
    const TGxIniFile ini = TGxIniFile::Parse(bytes);
    const int count = FColumns->ColumnCount();
    std::vector<int> positions(static_cast<size_t>(count));
    std::optional<EGridError> sortError;
    for (int i = 0; i < count; ++i) {
        TGxCustomColumn* c = FColumns->GetColumn(i);
        const QString key = ColumnKey(i);
        const QString kind = ini.Read(kSortKind + suffix, key).value_or(QStringLiteral("Ascending"));
        try {
            c->SetSortKind(kind == u"Ascending" ? skAscending : skDescending);
            c->SetVisible(ReadInt(ini, kVisible + suffix, key, 1) != 0);
            c->SetSorted(ReadInt(ini, kSorted + suffix, key, 0) != 0);
        } catch (const EGridError& e) {
            if (!sortError)
                sortError = e; // the layout still loads; the sort's error is raised at the end
        }
        positions[size_t(i)] = ReadInt(ini, kPositions + suffix, key, i);
        const int width = ReadInt(ini, kSizes + suffix, key, c->Width());
        if (width > 0)
            c->SetWidth(width);
        FColumns->RecalcPositions(false);
    }
    // Positions apply as one permutation; anything else keeps the creation order.
    if (!FColumns->ApplyPositions(positions)) {
        std::vector<int> identity(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i)
            identity[size_t(i)] = i;
        FColumns->ApplyPositions(identity);
    }
    if (sortError)
        throw *sortError;
}

// ---- delimited text -------------------------------------------------------------------------

QByteArray TGxCustomGridControl::TextFileBytes(QChar separator, uint8_t encoding, QChar lineBreakChar) const {
    if (encoding > 2)
        return QByteArray();
    const int rows = RowCount();
    const int cols = ColumnCount();
    QString text;
    QString cell;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            cell.clear();
            GetCellText(c, r, cell);
            text += EscapeTextCell(cell, separator, lineBreakChar);
            if (c < cols - 1)
                text += separator;
        }
        text += QStringLiteral("\r\n");
    }
    return EncodeTextFile(text, encoding);
}

void TGxCustomGridControl::SaveToTextFile(const QString& fileName, QChar separator, uint8_t encoding,
                                          QChar lineBreakChar) const {
    if (encoding > 2)
        return; // other encodings write nothing
    WriteFileAtomically(fileName, TextFileBytes(separator, encoding, lineBreakChar));
}

void TGxCustomGridControl::LoadFromTextFile(const QString& fileName, QChar separator, QChar lineBreakChar) {
    // Read first: a file that cannot be read leaves the rows as they are.
    LoadFromTextBytes(ReadWholeFile(fileName), separator, lineBreakChar);
}

void TGxCustomGridControl::LoadFromTextBytes(const QByteArray& bytes, QChar separator, QChar lineBreakChar) {
    const QString text = DecodeTextFile(bytes);
    ClearRows();
    int row = -1;
    int col = -1;
    std::optional<EGridError> firstError;
    auto newRow = [&] {
        AddRow(1);
        row = RowCount() - 1;
        col = -1;
    };
    auto cellDone = [&](const QString& value) {
        ++col;
        try {
            SetCellText(col, row, value);
        } catch (const EGridError& e) {
            // One bad cell affects only itself: it is cleared and the load goes on.
            if (!firstError)
                firstError = e;
            ClearCell(col, row);
        }
        if (OnLoadProgress)
            OnLoadProgress(this, col, row);
    };
    ParseTextCells(text, separator, lineBreakChar, newRow, cellDone);
    if (firstError)
        throw *firstError;
}

void TGxCustomGridControl::GetAllCellsText(char separator, QByteArray& text) const {
    const int rows = RowCount();
    const int cols = ColumnCount();
    text.clear();
    text += separator;
    QString cell;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            cell.clear();
            GetCellText(c, r, cell);
            text += cell.toUtf8().replace("\r\n", "%\r\n");
            if (c < cols - 1)
                text += separator;
        }
        if (r < rows - 1)
            text += QByteArray(1, separator) + "\r\n";
    }
}
