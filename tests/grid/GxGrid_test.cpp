// The grid's row and cell interface: cell resolution by names and numbers with the exact error
// texts, silent out-of-range text access, row operations and their events, the current row,
// check-box toggling, and random operation runs checked against a brute-force recount.
#include "grid_helpers.h"

#include <QVariant>
#include <gtest/gtest.h>
#include <map>
#include <random>

using namespace gridtest;

TEST(GridCells, ResolvesWordsNamesAndNumbers) {
    auto grid = MakeGrid();
    EXPECT_EQ(ErrorOf([&] { grid->Cell("Name", "Selected"); }), "List index out of bounds (-1)");
    EXPECT_EQ(ErrorOf([&] { grid->Cell("Name", "First"); }), "List index out of bounds (0)");
    grid->AddRow(4);
    EXPECT_EQ(&grid->Cell("status", 0), &grid->GetCellObject(6, 0));
    EXPECT_EQ(&grid->Cell("STATUS", "first"), &grid->GetCellObject(6, 0));
    EXPECT_EQ(&grid->Cell(3, "Last"), &grid->GetCellObject(3, 3));
    EXPECT_EQ(&grid->Cell("last", "LAST"), &grid->GetCellObject(6, 3));
    EXPECT_EQ(&grid->Cell("First", 2), &grid->GetCellObject(0, 2));
    EXPECT_EQ(&grid->Cell("2", "1"), &grid->GetCellObject(2, 1));
    EXPECT_EQ(&grid->CellV(QVariant("Count"), QVariant(2)), &grid->GetCellObject(2, 2));
    EXPECT_EQ(&grid->CellV(QVariant(1), QVariant("Last")), &grid->GetCellObject(1, 3));
    grid->SetSelectedRow(2);
    EXPECT_EQ(&grid->Cell("Selected", "Selected"), &grid->GetCellObject(0, 2));
    EXPECT_EQ(ErrorOf([&] { grid->Cell("nosuch", 0); }),
              "Invalid Columnname 'nosuch' for 'TDataGrid:DataGrid1'.");
    EXPECT_EQ(ErrorOf([&] { grid->Cell("Name", "top"); }),
              "Invalid Rowname 'top' for 'TDataGrid:DataGrid1'.");
    EXPECT_EQ(ErrorOf([&] { grid->Cell("Name", 4); }), "List index out of bounds (4)");
    EXPECT_EQ(ErrorOf([&] { grid->Cell(7, 0); }), "List index out of bounds (7)");
    EXPECT_EQ(ErrorOf([&] { grid->Cell(-1, 0); }), "List index out of bounds (-1)");
    EXPECT_EQ(ErrorOf([&] { grid->Cell("1024", 0); }), "List index out of bounds (1024)");
}

TEST(GridCells, FirstOfEqualNamesWinsAndRenamesAreSeen) {
    auto grid = MakeGrid();
    grid->AddColumn<TGxTextColumn>("STATUS");
    grid->AddRow(1);
    EXPECT_EQ(grid->Cell("Status", 0).Column(), 6);
    grid->Columns().GetColumn(6)->SetName("OldStatus");
    EXPECT_EQ(grid->Cell("Status", 0).Column(), 7);
    EXPECT_EQ(grid->Cell("oldstatus", 0).Column(), 6);
    grid->AddColumn<TGxTextColumn>(QString::fromUtf8("Статус"));
    EXPECT_EQ(grid->Cell(QString::fromUtf8("сТАТУС"), 0).Column(), 8);
    EXPECT_EQ(grid->Cell("\xd1\x81\xd1\x82\xd0\xb0\xd1\x82\xd1\x83\xd1\x81", 0).Column(), 8); // UTF-8 literal
}

TEST(GridCells, TextAccessOutOfRangeIsSilent) {
    auto grid = MakeGrid();
    grid->AddRow(2);
    grid->SetCellText(99, 0, "x");
    grid->SetCellText(0, 5, "x");
    grid->SetCellText(-1, -1, "x");
    QString text = "kept";
    grid->GetCellText(99, 0, text);
    grid->GetCellText(0, -1, text);
    EXPECT_EQ(text, "kept");
    grid->SetCellText(0, 1, "ok");
    grid->GetCellText(0, 1, text);
    EXPECT_EQ(text, "ok");
    EXPECT_EQ(ErrorOf([&] { grid->SetCellText(2, 0, "many"); }),
              "'many' is not a valid floating point value");
}

TEST(GridRows, AddRowDefaultsAndEvents) {
    auto grid = MakeGrid();
    std::vector<std::pair<int, int>> changes;
    grid->OnDataChange = [&](QObject*, TDataChange kind, int index) {
        changes.emplace_back(kind, index);
    };
    EXPECT_EQ(grid->AddRow(0), -1);
    EXPECT_EQ(grid->AddRow(2), 1);
    EXPECT_EQ(grid->AddRow(0), 1);
    EXPECT_EQ(grid->Cell("Count", 0).GetAsString(), "0"); // the float cell's own zero
    grid->SetOptions(grid->Options() | goUseDefaultValues);
    grid->Columns().ColumnByName("Name")->SetDefaultValue("0");
    grid->AddRow(1);
    EXPECT_EQ(grid->Cell("Name", 2).GetAsString(), "0");
    grid->InsertRow(0);
    EXPECT_EQ(grid->Cell("Name", 0).GetAsString(), "");
    EXPECT_EQ(grid->LastAddedRow(), 0);
    ASSERT_EQ(changes.size(), 3u);
    EXPECT_EQ(changes[0], std::make_pair(int(dcAddRow), 1));
    EXPECT_EQ(changes[2], std::make_pair(int(dcInsertRow), 0));
    grid->DeleteRow(1);
    EXPECT_EQ(changes.back(), std::make_pair(int(dcDeleteRow), 1));
    grid->ClearRows();
    EXPECT_EQ(changes.size(), 4u); // clearing fires nothing
}

TEST(GridRows, UpdateCounterSuppressesOnChange) {
    auto grid = MakeGrid();
    grid->AddRow(1);
    int changes = 0;
    grid->OnChange = [&](QObject*, int, int) {
        ++changes;
    };
    grid->BeginUpdate();
    grid->BeginUpdate();
    grid->Cell("Name", 0).SetAsString("a");
    grid->EndUpdate();
    grid->Cell("Name", 0).SetAsString("b");
    grid->EndUpdate();
    EXPECT_EQ(changes, 0);
    grid->EndUpdate();
    EXPECT_EQ(grid->UpdateCount(), 0);
    grid->Cell("Name", 0).SetAsString("c");
    EXPECT_EQ(changes, 1);
}

TEST(GridRows, CurrentRowStaysOnItsRecord) {
    auto grid = MakeGrid();
    grid->AddRow(5);
    for (int r = 0; r < 5; ++r)
        grid->Cell("Name", r).SetAsString(QString::number(r));
    grid->SetSelectedRow(2);
    grid->InsertRow(1); // above: current moves down
    EXPECT_EQ(grid->SelectedRow(), 3);
    grid->InsertRow(5); // below: stays
    EXPECT_EQ(grid->SelectedRow(), 3);
    grid->DeleteRow(0); // above: follows its record
    EXPECT_EQ(grid->SelectedRow(), 2);
    EXPECT_EQ(grid->Cell("Name", "Selected").GetAsString(), "2");
    grid->DeleteRow(2); // the current row itself: the next row becomes current
    EXPECT_EQ(grid->SelectedRow(), 2);
    while (grid->RowCount() > 1)
        grid->DeleteRow(grid->RowCount() - 1);
    EXPECT_EQ(grid->SelectedRow(), 0);
    grid->DeleteRow(0);
    EXPECT_EQ(grid->SelectedRow(), -1);
    EXPECT_EQ(ErrorOf([&] { grid->Cell("Name", "Selected"); }), "List index out of bounds (-1)");
}

TEST(GridRows, ClearRowsResetsCurrentAndAnchor) {
    auto grid = MakeGrid();
    grid->SetOptions(grid->Options() | goSelectFullRow | goMultiSelect);
    EXPECT_EQ(grid->SelectionAnchor(), -1);
    grid->AddRow(6);
    grid->SelectCell(0, 4, true, 0);
    EXPECT_EQ(grid->SelectionAnchor(), 4);
    grid->DeleteRow(5);
    grid->DeleteRow(4);
    EXPECT_EQ(grid->SelectionAnchor(), 3); // clamped to the rows left
    grid->SelectCell(0, 1, true, ssShift);
    EXPECT_EQ(grid->SelectedCount(), 3);
    grid->ClearRows();
    EXPECT_EQ(grid->RowCount(), 0);
    EXPECT_EQ(grid->SelectedRow(), -1);
    EXPECT_EQ(grid->SelectionAnchor(), -1);
    grid->AddRow(3);
    grid->SelectCell(0, 2, true, ssShift); // no anchor: the range is the row itself
    EXPECT_EQ(grid->SelectedCount(), 1);
}

TEST(GridRows, HidingEveryRowAndBadIndexes) {
    auto grid = MakeGrid();
    grid->AddRow(4);
    for (int r = 0; r < 4; ++r)
        grid->SetRowVisible(r, false);
    EXPECT_EQ(grid->VisibleRowCount(), 0);
    EXPECT_EQ(grid->RowCount(), 4);
    EXPECT_EQ(ErrorOf([&] { grid->DeleteRow(4); }), "List index out of bounds (4)");
    EXPECT_EQ(ErrorOf([&] { grid->MoveRow(0, 9); }), "List index out of bounds (9)");
    EXPECT_EQ(ErrorOf([&] { grid->SetRowVisible(-2, true); }), "List index out of bounds (-2)");
    EXPECT_EQ(ErrorOf([&] { grid->SetRowHeight(5, 3); }), "List index out of bounds (5)");
    EXPECT_EQ(grid->RowCount(), 4);
}

TEST(GridRows, RowHeightAndSelection) {
    auto grid = MakeGrid();
    grid->SetRowSize(20);
    grid->AddRow(2);
    EXPECT_EQ(grid->GetRowHeight(0), 20);
    std::vector<int> heights;
    grid->OnChangeRowHeight = [&](QObject*, int, int h) {
        heights.push_back(h);
    };
    grid->SetRowHeight(1, 30);
    grid->SetRowHeight(1, 30);
    EXPECT_EQ(heights, std::vector<int>{30});
    grid->OnMeasuringRowHeight = [](QObject*, int, int& h) {
        h += 1;
    };
    EXPECT_EQ(grid->GetRowHeight(1), 31);
    grid->SetRowSelected(1, true);
    grid->SetRowSelected(7, true); // ignored
    EXPECT_EQ(grid->SelectedCount(), 1);
}

TEST(GridRows, CheckBoxTogglingWithAccept) {
    auto grid = MakeGrid();
    grid->AddRow(1);
    bool veto = false;
    QString acceptedValue, afterValue;
    int columnChanges = 0;
    static_cast<TGxCheckBoxColumn*>(grid->Columns().ColumnByName("Enabled"))->OnChange =
        [&](TGxCustomColumn*) {
            ++columnChanges;
        };
    grid->OnEditAccept = [&](QObject*, int, int, const QString& value, bool& accept) {
        EXPECT_TRUE(accept); // preset
        acceptedValue = value;
        accept = !veto;
    };
    grid->OnAfterEdit = [&](QObject*, int, int, const QString& value) {
        afterValue = value;
    };
    EXPECT_TRUE(grid->ApplyPlay(1, 0));
    EXPECT_TRUE(grid->Cell("Enabled", 0).GetAsBoolean());
    EXPECT_EQ(acceptedValue, "True");
    EXPECT_EQ(afterValue, "True");
    veto = true;
    EXPECT_FALSE(grid->ApplyPlay(1, 0));
    EXPECT_TRUE(grid->Cell("Enabled", 0).GetAsBoolean());
    EXPECT_EQ(columnChanges, 1);
    EXPECT_FALSE(grid->ApplyPlay(0, 0)); // a text column does not toggle
}

TEST(GridRows, StartRowCount) {
    auto grid = MakeGrid();
    grid->SetStartRowCount(3);
    EXPECT_EQ(grid->RowCount(), 3);
    grid->Cell("Name", 2).SetAsString("last");
    grid->SetStartRowCount(1);
    EXPECT_EQ(grid->RowCount(), 1);
    EXPECT_EQ(grid->Cell("Name", 0).GetAsString(), "last"); // removed from the top
}

TEST(GridRows, FootersAndCellFacts) {
    auto grid = MakeGrid();
    auto* count = grid->Columns().ColumnByName("Count");
    count->Footer().SetFormulaKind(fkSum);
    grid->CalculateFooters();
    EXPECT_EQ(count->Footer().Caption(), "0");
    grid->AddRow(3);
    for (int r = 0; r < 3; ++r)
        grid->Cell("Count", r).SetAsFloat(r + 0.5);
    grid->CalculateFooters();
    EXPECT_EQ(count->Footer().FormulaResult, 4.5);
    count->Footer().SetFormulaKind(fkAverage);
    grid->CalculateFooters();
    EXPECT_EQ(count->Footer().FormulaResult, 1.5);
    count->Footer().SetFormulaKind(fkMaximum);
    grid->CalculateFooters();
    EXPECT_EQ(count->Footer().FormulaResult, 2.5);
    grid->Cell("Name", 0).SetCellColor(clRed);
    EXPECT_EQ(grid->GetCellColor(0, 0), clRed);
    grid->Columns().ColumnByName("Name")->SetParentCellColor(true);
    EXPECT_EQ(grid->GetCellColor(0, 0), clWindow);
    EXPECT_EQ(grid->GetCellDisplayText(3, 2), "3");
    grid->Cell("Kind", 1).SetAsInteger(2);
    EXPECT_EQ(grid->GetCellDisplayText(4, 1), "gamma");
}

// Random store operations against a brute-force recount, with row handles following rows.
TEST(GridRandom, StoreOperationsKeepCountsAndHandles) {
    auto grid = MakeGrid();
    std::mt19937 rng(12345);
    std::map<quint64, QString> idOfHandle;
    int nextId = 0;
    auto addIds = [&](int first, int last) {
        for (int r = first; r <= last; ++r) {
            const QString id = QString::number(nextId++);
            grid->Cell("Name", r).SetAsString(id);
            idOfHandle[grid->RowHandle(r)] = id;
        }
    };
    auto pick = [&](int n) {
        return int(rng() % uint32_t(n));
    };
    for (int step = 0; step < 10000; ++step) {
        const int rows = grid->RowCount();
        const int op = pick(100);
        if (op < 20 || rows < 2) {
            const int n = 1 + pick(3);
            grid->AddRow(n);
            addIds(grid->RowCount() - n, grid->RowCount() - 1);
        } else if (op < 35) {
            const int at = pick(rows + 1);
            grid->InsertRow(at);
            addIds(at, at);
        } else if (op < 50) {
            const int at = pick(rows);
            idOfHandle.erase(grid->RowHandle(at));
            grid->DeleteRow(at);
        } else if (op < 60) {
            grid->MoveRow(pick(rows), pick(rows));
        } else if (op < 65) {
            grid->ExchangeRows(pick(rows), pick(rows));
        } else if (op < 90) {
            grid->SetRowVisible(pick(rows), pick(3) != 0);
        } else if (op < 95) {
            auto* column = grid->Columns().ColumnByName(pick(2) ? "Name" : "Enabled");
            grid->SortColumn(column, pick(2) == 0);
        } else if (op < 96) {
            grid->BeginUpdate();
            for (int r = 0; r < grid->RowCount(); r += 2)
                grid->SetRowVisible(r, false);
            grid->EndUpdate();
        } else if (op == 99 && pick(10) == 0) {
            grid->ClearRows();
            idOfHandle.clear();
        }
        int visible = 0, first = -1, last = -1;
        for (int r = 0; r < grid->RowCount(); ++r) {
            if (!grid->GetRowVisible(r))
                continue;
            ++visible;
            if (first < 0)
                first = r;
            last = r;
        }
        ASSERT_EQ(grid->VisibleRowCount(), visible) << "step " << step;
        ASSERT_EQ(grid->FirstVisibleRow(), visible ? first : 0) << "step " << step;
        ASSERT_EQ(grid->LastVisibleRow(), visible ? last : 0) << "step " << step;
        ASSERT_EQ(grid->RowCount(), int(idOfHandle.size())) << "step " << step;
        if (step % 50 == 0) {
            for (const auto& [handle, id] : idOfHandle) {
                const int row = grid->RowByHandle(handle);
                ASSERT_GE(row, 0);
                ASSERT_EQ(grid->Cell("Name", row).GetAsString(), id) << "step " << step;
            }
        }
    }
}

TEST(GridRandom, HandleFindsItsRowAfterOthersMove) {
    auto grid = MakeGrid();
    grid->AddRow(200);
    for (int r = 0; r < 200; ++r)
        grid->Cell("Name", r).SetAsString(QString::number(r));
    const quint64 host = grid->RowHandle(100);
    std::mt19937 rng(7);
    for (int i = 0; i < 2000; ++i) {
        const int mine = grid->RowByHandle(host);
        ASSERT_GE(mine, 0);
        ASSERT_EQ(grid->Cell("Name", mine).GetAsString(), "100");
        int other = int(rng() % uint32_t(grid->RowCount()));
        if (other == mine)
            continue;
        switch (rng() % 3) {
        case 0:
            grid->InsertRow(other);
            break;
        case 1:
            grid->DeleteRow(other);
            break;
        default:
            grid->MoveRow(other, int(rng() % uint32_t(grid->RowCount())));
            break;
        }
        if (grid->RowCount() < 20)
            grid->AddRow(50);
    }
    grid->DeleteRow(grid->RowByHandle(host));
    EXPECT_EQ(grid->RowByHandle(host), -1);
    EXPECT_EQ(grid->RowByHandle(0), -1);
}

TEST(GridRows, TreeRowsCollapseExpandAndKeepHiddenFlags) {
    auto grid = MakeGrid();
    grid->AddRow(2);
    grid->AddChildRow(0); // row 1
    grid->AddChildRow(1); // row 2, grandchild
    EXPECT_EQ(grid->GetRowLevel(2), 2);
    EXPECT_EQ(grid->RowCount(), 4);
    grid->Expand(0, false);
    EXPECT_EQ(grid->VisibleRowCount(), 2);
    grid->SetRowVisible(2, false); // hidden by the program while collapsed
    grid->Expand(0, true);
    EXPECT_EQ(grid->VisibleRowCount(), 3);
    EXPECT_FALSE(grid->GetRowVisible(2));
    grid->DeleteRow(0); // takes its descendants along
    EXPECT_EQ(grid->RowCount(), 1);
    EXPECT_EQ(grid->VisibleRowCount(), 1);
}
