// Middle layer of the table control model: hit tests, sort toggle, row search.
#include "grid/GxCustomGrid.h"

#include <QElapsedTimer>
#include <algorithm>

TGxCustomGrid::TGxCustomGrid(QObject* parent) : TGxCustomGridControl(parent) {}

TGxCustomGrid::~TGxCustomGrid() = default;

qint64 TGxCustomGrid::Now() const {
    if (Clock)
        return Clock();
    static QElapsedTimer started = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return started.elapsed();
}

TGxCustomColumn* TGxCustomGrid::GetColumnAtX(int x) const {
    const TGxColumns& columns = Columns();
    for (int p = 0; p < columns.ColumnCount(); ++p) {
        TGxCustomColumn* column = columns.PositionItem(p);
        if (!column->Visible())
            continue;
        const int left = column->ClientLeft();
        if (x >= left && x <= left + column->Width())
            return column;
    }
    return nullptr;
}

TGxCustomColumn* TGxCustomGrid::GetColumnEdgeAtX(int x) const {
    const TGxColumns& columns = Columns();
    const int fixedRight = BodyLeft() + columns.FixedWidth();
    for (int p = 0; p < columns.ColumnCount(); ++p) {
        TGxCustomColumn* column = columns.PositionItem(p);
        if (!column->Visible() || column->HasOption(coFixedSize))
            continue;
        const int edge = column->ClientLeft() + column->Width();
        if (p >= columns.FixedCols() && edge < fixedRight)
            continue; // scrolled under the fixed columns
        if (edge - 3 <= x && x <= edge + 2)
            return column;
    }
    return nullptr;
}

int TGxCustomGrid::GetDropPosition(const TGxCustomColumn& column, int x) const {
    const TGxColumns& columns = Columns();
    const int own = column.Position();
    const int fixedRight = BodyLeft() + columns.FixedWidth();
    int previousVisible = -1;
    for (int p = 0; p < columns.ColumnCount(); ++p) {
        const TGxCustomColumn* target = columns.PositionItem(p);
        if (!target->Visible() && target != &column)
            continue;
        const int left = target->ClientLeft();
        const int width = target->Visible() ? target->Width() : 0;
        if (x < left || x > left + width) {
            if (target->Visible())
                previousVisible = p;
            continue;
        }
        if (target == &column)
            return own;
        int result;
        if (x >= left + width / 2)
            result = own >= p ? p + 1 : p;
        else
            result = p >= own ? (previousVisible >= 0 ? previousVisible : p) : p;
        result = std::clamp(result, 0, columns.ColumnCount() - 1);
        // A place whose column is scrolled under the fixed columns is no place.
        const TGxCustomColumn* at = columns.PositionItem(result);
        if (result >= columns.FixedCols() && at->ClientLeft() < fixedRight && at != &column)
            return own;
        return result;
    }
    return own;
}

bool TGxCustomGrid::CanDropAt(const TGxCustomColumn& column, int position) const {
    if (!HasOption(goLockFixedCols))
        return true;
    const int fixed = FixedCols();
    return (position >= fixed && column.Position() >= fixed) ||
           (position < fixed && column.Position() < fixed);
}

void TGxCustomGrid::ToggleSort(TGxCustomColumn& column) {
    if (!column.HasOption(coCanSort))
        return;
    if (column.Sorted())
        column.SetSortKind(column.SortKind() == skAscending ? skDescending : skAscending);
    else
        column.SetSorted(true);
}

bool TGxCustomGrid::SearchRows(int col, const QString& text, bool fromStart) {
    const int rows = RowCount();
    if (rows == 0 || !Columns().IsValidIndex(col))
        return false;
    const int current = SelectedRow() >= 0 && SelectedRow() < rows ? SelectedRow() : -1;
    QString cell;
    auto matches = [&](int r) {
        if (!GetRowVisible(r))
            return false;
        cell.clear();
        GetCellText(col, r, cell);
        return QStringView(cell).startsWith(text, Qt::CaseInsensitive);
    };
    const int first = fromStart ? 0 : current + 1;
    int found = -1;
    for (int i = 0; i < rows && found < 0; ++i) {
        const int r = (first + i) % rows;
        if (matches(r))
            found = r;
    }
    if (found < 0)
        return false;
    SetSelectedRow(found);
    if (!Updating())
        emit ScrollToRowRequested(found);
    return true;
}

int TGxCustomGrid::SearchColumn() const {
    for (int c = 0; c < ColumnCount(); ++c)
        if (Columns().GetColumn(c)->HasOption(coSearchColumn))
            return c;
    return -1;
}

QString TGxCustomGrid::SearchText() const {
    if (FSearchText.isEmpty() || Now() - FLastSearchKey >= TypeAheadDelayMs)
        return QString();
    return FSearchText;
}

bool TGxCustomGrid::TypeAhead(QChar key) {
    if (InputMode() || RowCount() == 0)
        return false;
    if (Columns().IsValidIndex(SelectedColumn()) &&
        Columns().GetColumn(SelectedColumn())->HasOption(coEditing))
        return false;
    const int col = SearchColumn();
    if (col < 0)
        return false;
    FSearchText = SearchText() + key;
    FLastSearchKey = Now();
    // A longer text that the current row still starts with keeps that row.
    const int current = SelectedRow();
    if (FSearchText.size() > 1 && current >= 0 && current < RowCount() && GetRowVisible(current)) {
        QString cell;
        GetCellText(col, current, cell);
        if (QStringView(cell).startsWith(FSearchText, Qt::CaseInsensitive))
            return true;
    }
    SearchRows(col, FSearchText, false);
    return true;
}
