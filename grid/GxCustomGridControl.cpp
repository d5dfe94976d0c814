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
    FColumns->OnAfterListChange = [this](int operation, int index) {
        ColumnListChanged(operation, index);
        emit ColumnListUpdated(operation, index);
    };
}

TGxCustomGridControl::~TGxCustomGridControl() {
    FDestroying = true;
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
    if (RowCount() > 0 && row >= -1 && row <= RowCount() - 1)
        SelectCell(FSelectedColumn, row, true, 0);
}

void TGxCustomGridControl::SelectCell(int col, int row, bool clearSelection, TShiftState shift) {
    bool accept = true;
    if (OnBeforeSelect)
        OnBeforeSelect(this, col, row, accept);
    if (!accept)
        return;
    const bool shiftHeld = shift & ssShift;
    const bool ctrlHeld = shift & ssCtrl;
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
    if (!FColumns->IsValidIndex(col) || !FColumns->GetColumn(col)->Enabled())
        return;
    const int oldCol = FSelectedColumn;
    const int oldRow = FSelectedRow;
    FSelectedColumn = col;
    FSelectedRow = row;
    const bool changed = oldCol != col || oldRow != row;
    const bool oldValid = FColumns->IsValidIndex(oldCol) && oldRow >= 0 && oldRow < RowCount();
    if (changed && oldValid && OnDeselectCell)
        OnDeselectCell(this, oldCol, oldRow);
    const bool rowValid = row >= 0 && row < RowCount();
    if (FAutoScroll && rowValid)
        emit ScrollToRowRequested(row);
    if (RowCount() == 0)
        return;
    if (!HasOption(goSelectFullRow)) {
        if (changed && !Updating()) {
            emit CellInvalidated(oldCol, oldRow);
            emit CellInvalidated(col, row);
        }
        if (changed && OnSelectCell)
            OnSelectCell(this, col, row);
        return;
    }
    if (HasOption(goMultiSelect) && ctrlHeld && !shiftHeld && rowValid) {
        FSelectionAnchor = row;
        FMultiSelecting = true;
        SetRowSelected(row, !GetRowSelected(row));
        if (OnSelectCell)
            OnSelectCell(this, col, row);
        return;
    }
    if (HasOption(goMultiSelect) && shiftHeld && rowValid) {
        FMultiSelecting = true;
        ClampSelectionAnchor();
        const int anchor = FSelectionAnchor < 0 ? row : FSelectionAnchor;
        const int low = std::min(anchor, row);
        const int high = std::max(anchor, row);
        if (!ctrlHeld)
            for (int r = 0; r < RowCount(); ++r)
                if ((r < low || r > high) && GetRowSelected(r))
                    SetRowSelected(r, false);
        for (int r = low; r <= high; ++r)
            SetRowSelected(r, true);
        if (OnSelectCell)
            OnSelectCell(this, col, row);
        return;
    }
    if (oldRow != row && !FMultiSelecting && oldRow >= 0 && oldRow < RowCount())
        SetRowSelected(oldRow, false);
    if (rowValid) {
        SetRowSelected(row, true);
        FSelectionAnchor = row;
    }
    if (OnSelectCell)
        OnSelectCell(this, col, row);
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
