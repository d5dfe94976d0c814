// The online monitoring page's refresh and its look-ups, on grid models only.
#include "core/OnlineMonitor.h"

#include "core/HostGrid.h"
#include "core/LangLines.h"
#include "core/LangTexts.h"
#include "core/TextConversions.h"
#include "grid/GxGrid.h"

#include <QHash>

#include <memory>

namespace {

// Hidden in the online grid, as in the host table's first 20 columns.
bool OnlineColumnShown(int Column) {
    switch (Column) {
    case 0:
    case 1:
    case 4:
    case 5:
    case 9:
    case 12:
    case 16:
    case 18:
    case 19:
        return true;
    default:
        return false;
    }
}

// Last-down texts as numbers to sort by, parsed once each: parsing a locale date is slow, and a
// refresh meets the same texts again. Text that is no date sorts before every date.
class TLastDownKeys {
public:
    double Key(const QString& Text) {
        const auto found = FKeys.constFind(Text);
        if (found != FKeys.cend())
            return *found;
        if (FKeys.size() > 100000)
            FKeys.clear();
        const double key = DisplayTextToDateTime(Text).value_or(-1e18);
        FKeys.insert(Text, key);
        return key;
    }

private:
    QHash<QString, double> FKeys;
};

} // namespace

void CreateDownGridColumns(TDataGrid& Grid) {
    CreateHostGridColumns(Grid);
    while (Grid.Columns().ColumnCount() > OnlineColumn::Count)
        Grid.Columns().RemoveColumn(Grid.Columns().GetColumn(Grid.Columns().ColumnCount() - 1));
    for (int col = 0; col < OnlineColumn::Count; ++col)
        Grid.Columns().GetColumn(col)->SetVisible(OnlineColumnShown(col));
    Grid.Columns().GetColumn(OnlineColumn::Kod)->Header().SetCaption(QStringLiteral("ID"));
    // The stored text is the display date; ordering it as text would put 10.01 before 09.02.
    Grid.Columns().GetColumn(OnlineColumn::LastDown)->SetSortType(stCustom);
    auto keys = std::make_shared<TLastDownKeys>();
    Grid.OnCompare = [&Grid, keys](QObject*, TCell& A, TCell& B, int& Compare) {
        if (Grid.SortedColumn() != Grid.Columns().GetColumn(OnlineColumn::LastDown))
            return;
        const double a = keys->Key(A.GetAsString());
        const double b = keys->Key(B.GetAsString());
        Compare = a < b ? -1 : (a > b ? 1 : 0);
    };
    Grid.SetOptions(Grid.Options() | goMultiSelect | goSelectFullRow | goUseDefaultValues);
    Grid.SetReadOnly(true);
}

TOnlineStatusWords CurrentOnlineStatusWords() {
    return {LangText(LangLine::StatusOk), LangText(LangLine::StatusDown), LangText(LangLine::StatusDisabled),
            LangText(LangLine::StatusPacketLoss)};
}

std::vector<int> RefreshOnlineGrid(TDataGrid& Hosts, TDataGrid& Down, const TGroupTree& Tree,
                                   const TOnlineStatusWords& Words) {
    const int status = Hosts.ColumnIndex(u"Status");
    Down.BeginUpdate();
    Down.ClearRows();
    for (int row = 0; status >= 0 && row < Hosts.RowCount(); ++row) {
        const QString state = Hosts.CellText(status, row);
        if (state == Words.Ok)
            continue;
        const int added = Down.AddRow();
        for (const int col : OnlineCopiedColumns) {
            if (col == 9)
                Down.Cell(col, added).SetAsInteger(int(TextToInt64(Hosts.CellText(col, row))));
            else
                Down.Cell(col, added).SetAsString(Hosts.CellText(col, row));
        }
        TCell& cell = Down.Cell(OnlineColumn::Status, added);
        if (state == Words.Down)
            cell.SetCellColor(OnlineDownColor);
        else if (state == Words.Disabled)
            cell.SetCellColor(OnlineDisabledColor);
        else if (state == Words.PacketLoss)
            cell.SetCellColor(OnlinePacketLossColor);
    }
    if (Down.RowCount() > 1)
        Down.SortColumn(Down.Columns().GetColumn(OnlineColumn::LastDown), false);
    // The running number follows the order shown.
    for (int row = 0; row < Down.RowCount(); ++row)
        Down.Cell(0, row).SetAsInteger(row + 1);
    Down.EndUpdate();

    // Only a group's own hosts count, not those of its sub-groups.
    QHash<QString, int> downByGroup;
    for (int row = 0; row < Down.RowCount(); ++row)
        if (Down.CellText(OnlineColumn::Status, row) == Words.Down)
            ++downByGroup[Down.CellText(OnlineColumn::Group, row)];
    std::vector<int> images(Tree.size(), 0);
    for (size_t node = 0; node < Tree.size(); ++node)
        if (Tree[node].Record && downByGroup.value(Tree[node].Record->Group) > 0)
            images[node] = 1;
    return images;
}

int FindOnlineRowByKod(TDataGrid& Down, const QString& Kod) {
    if (Kod.isEmpty())
        return -1;
    for (int row = 0; row < Down.RowCount(); ++row)
        if (Down.CellText(OnlineColumn::Kod, row) == Kod)
            return row;
    return -1;
}

int OnlineDescriptionWidth(int DescriptionWidth, int GridWidth, int VisibleColumnsWidth) {
    return DescriptionWidth + GridWidth - VisibleColumnsWidth - 20;
}
