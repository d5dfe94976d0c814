// Sorting: every sort type, the reverse shortcut and when it does not apply, the current row
// kept on its record, stability, and conversion errors that leave rows and state untouched.
#include "grid_helpers.h"

#include <gtest/gtest.h>

using namespace gridtest;

namespace {

std::unique_ptr<TDataGrid> OneColumn(const QStringList& values, TSortType type) {
    auto grid = std::make_unique<TDataGrid>();
    grid->SetLocale(English());
    grid->AddColumn<TGxTextColumn>("V").SetSortType(type);
    grid->AddColumn<TGxTextColumn>("Id");
    grid->AddRow(int(values.size()));
    for (int r = 0; r < values.size(); ++r) {
        grid->Cell("V", r).SetAsString(values[r]);
        grid->Cell("Id", r).SetAsString(QString::number(r));
    }
    return grid;
}

QStringList Column(TDataGrid& grid, const char* name) {
    QStringList out;
    for (int r = 0; r < grid.RowCount(); ++r)
        out << grid.Cell(name, r).GetAsString();
    return out;
}

void Sort(TDataGrid& grid, bool ascending = true) {
    grid.SortColumn(grid.Columns().ColumnByName("V"), ascending);
}

} // namespace

TEST(GridSort, AlphabeticIsByCodeUnitCaseInsensitiveFoldsAsciiOnly) {
    auto grid = OneColumn({"alpha", "Bravo", "Äpfel", "b", "B", ""}, stAlphabetic);
    Sort(*grid);
    EXPECT_EQ(Column(*grid, "V"), QStringList({"", "B", "Bravo", "alpha", "b", "Äpfel"}));
    grid->Columns().ColumnByName("V")->SetSortType(stCaseInsensitive);
    Sort(*grid);
    EXPECT_EQ(Column(*grid, "V"), QStringList({"", "alpha", "B", "b", "Bravo", "Äpfel"})); // stable for B/b
}

TEST(GridSort, IpComparesTheFirstNumberFirst) {
    auto grid = OneColumn({"192.168.0.10", "10.0.0.2", "192.168.0.2", "192.168.0.1", "host", "1.2.3.4.5",
                           "99999999999.1.1.1", "x.1"},
                          stIP);
    Sort(*grid);
    EXPECT_EQ(Column(*grid, "V"), QStringList({"host", "x.1", "1.2.3.4.5", "10.0.0.2", "192.168.0.1",
                                               "192.168.0.2", "192.168.0.10", "99999999999.1.1.1"}));
}

TEST(GridSort, BooleanNumericDate) {
    auto grid = MakeGrid();
    grid->AddRow(3);
    grid->Cell("Enabled", 0).SetAsBoolean(true);
    grid->Cell("Count", 0).SetAsFloat(-1);
    grid->Cell("Count", 1).SetAsFloat(10);
    grid->Cell("Count", 2).SetAsFloat(9.5);
    grid->Cell("When", 0).SetAsDateTime(3);
    grid->Cell("When", 1).SetAsDateTime(1);
    grid->Cell("When", 2).SetAsDateTime(2);
    for (int r = 0; r < 3; ++r)
        grid->Cell("Name", r).SetAsString(QString::number(r));
    grid->SortColumn(grid->Columns().ColumnByName("Enabled"), true);
    EXPECT_EQ(Column(*grid, "Name"), QStringList({"1", "2", "0"})); // unchecked first, stable
    grid->SortColumn(grid->Columns().ColumnByName("Count"), true);
    EXPECT_EQ(Column(*grid, "Name"), QStringList({"0", "2", "1"}));
    grid->SortColumn(grid->Columns().ColumnByName("When"), false);
    EXPECT_EQ(Column(*grid, "Name"), QStringList({"0", "2", "1"}));
    grid->SortColumn(grid->Columns().ColumnByName("When"), true);
    EXPECT_EQ(Column(*grid, "Name"), QStringList({"1", "2", "0"}));
}

TEST(GridSort, ReverseShortcutOnlyWhenNothingChanged) {
    auto grid = OneColumn({"3", "1", "2", "2"}, stCustom);
    int comparisons = 0;
    grid->OnCompare = [&](QObject*, TCell& a, TCell& b, int& result) {
        EXPECT_EQ(result, 0);
        ++comparisons;
        result = a.GetAsInteger() - b.GetAsInteger();
    };
    Sort(*grid, true);
    EXPECT_EQ(Column(*grid, "Id"), QStringList({"1", "2", "3", "0"}));
    EXPECT_GT(comparisons, 0);
    comparisons = 0;
    Sort(*grid, false); // flipped, nothing changed: rows are reversed
    EXPECT_EQ(comparisons, 0);
    EXPECT_EQ(Column(*grid, "Id"), QStringList({"0", "3", "2", "1"}));
    Sort(*grid, false); // same direction again: a full sort
    EXPECT_GT(comparisons, 0);
    comparisons = 0;
    grid->Cell("V", 3).SetAsString("0"); // a change, then a flip: full sort
    Sort(*grid, true);
    EXPECT_GT(comparisons, 0);
    comparisons = 0;
    grid->Columns().ColumnByName("V")->SetOptions(grid->Columns().ColumnByName("V")->Options() |
                                                  coFullResort);
    Sort(*grid, false);
    EXPECT_GT(comparisons, 0);
    grid->OnCompare = nullptr; // without a handler every pair is equal: nothing moves
    const QStringList before = Column(*grid, "Id");
    Sort(*grid, true);
    EXPECT_EQ(Column(*grid, "Id"), before);
}

TEST(GridSort, CurrentRowKeptAndScrolledTo) {
    auto grid = OneColumn({"c", "a", "b"}, stAlphabetic);
    grid->SetSelectedRow(0);
    int scrolledTo = -1;
    QObject::connect(grid.get(), &TGxCustomGridControl::ScrollToRowRequested,
                     [&](int row) { scrolledTo = row; });
    Sort(*grid);
    EXPECT_EQ(grid->SelectedRow(), 2);
    EXPECT_EQ(grid->Cell("V", "Selected").GetAsString(), "c");
    EXPECT_EQ(scrolledTo, 2);
}

TEST(GridSort, EmptyAndSingleRowStillFireEvents) {
    for (int rows : {0, 1}) {
        auto grid = OneColumn(rows ? QStringList{"x"} : QStringList{}, stAlphabetic);
        int events = 0;
        grid->OnSortColumn = [&](QObject*, int col, bool ascending) {
            EXPECT_EQ(col, 0);
            EXPECT_TRUE(ascending);
            ++events;
        };
        grid->OnAfterSort = [&](QObject*, int) {
            ++events;
        };
        Sort(*grid);
        EXPECT_EQ(events, 2);
    }
    auto grid = OneColumn({"b", "a"}, stAlphabetic);
    grid->Columns().ColumnByName("V")->SetOptions(0); // no coCanSort: nothing at all
    int events = 0;
    grid->OnSortColumn = [&](QObject*, int, bool) {
        ++events;
    };
    Sort(*grid);
    EXPECT_EQ(events, 0);
    EXPECT_EQ(Column(*grid, "V"), QStringList({"b", "a"}));
}

TEST(GridSort, ConversionErrorMovesNothingAndKeepsState) {
    auto grid = OneColumn({"3", "1", "abc", "2"}, stNumeric);
    grid->Columns().ColumnByName("V")->SetSortType(stAlphabetic);
    Sort(*grid, true);
    const bool descending = grid->Cells().SortDescending();
    grid->Columns().ColumnByName("V")->SetSortType(stNumeric);
    const QStringList before = Column(*grid, "Id");
    EXPECT_EQ(ErrorOf([&] { Sort(*grid, false); }), "'abc' is not a valid floating point value");
    EXPECT_EQ(Column(*grid, "Id"), before);
    EXPECT_EQ(grid->Cells().SortDescending(), descending);
    EXPECT_EQ(grid->Cells().LastSortColumn(), 0);
    auto dates = OneColumn({"x"}, stDate);
    dates->AddRow(1);
    EXPECT_EQ(ErrorOf([&] { Sort(*dates); }), "'x' is not a valid date and time");
}

TEST(GridSort, SortedColumnFlagAndSortKindSort) {
    auto grid = OneColumn({"b", "c", "a"}, stAlphabetic);
    auto* v = grid->Columns().ColumnByName("V");
    v->SetSorted(true);
    EXPECT_EQ(Column(*grid, "V"), QStringList({"a", "b", "c"}));
    v->SetSortKind(skDescending);
    EXPECT_EQ(Column(*grid, "V"), QStringList({"c", "b", "a"}));
    EXPECT_EQ(grid->SortedColumn(), v);
}
