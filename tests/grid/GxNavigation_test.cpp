// Selection and navigation on the model: Ctrl, Shift and Ctrl+Shift selection, a plain click
// after a Ctrl selection, disabled columns, Shift ranges and Shift+End over visible rows only,
// row moves over hidden and refused rows with WrapAtEnd and LeaveAtEnd, pages, Tab and the
// column moves, the row search and type-ahead, the sort toggle and the header hit tests.
#include "grid_helpers.h"

#include <gtest/gtest.h>

using namespace gridtest;

namespace {

class RecordingHost : public TGxEditorHost {
public:
    void AttachEditor(TGxCustomEdit&) override {}
    void ShowEditor(TGxCustomEdit&) override {}
    void HideEditor(TGxCustomEdit&, bool) override {}
    void DetachEditor(TGxCustomEdit&) override {}
    void EditorDestroyed(TGxCustomEdit&) override {}
    void FocusNextControl(bool forward) override { Calls << (forward ? "next" : "previous"); }
    void ScrollToColumn(int col) override { Calls << QString("column %1").arg(col); }
    QStringList Calls;
};

std::unique_ptr<TDataGrid> Rows(int count,
                                TGridOptions options = goHeader | goSelectFullRow | goMultiSelect) {
    auto grid = MakeGrid();
    grid->SetOptions(options);
    grid->AddRow(count);
    for (int r = 0; r < count; ++r)
        grid->Cell("Name", r).SetAsString(QString("host%1").arg(r));
    return grid;
}

std::vector<int> Selected(const TDataGrid& grid) {
    std::vector<int> rows;
    for (int r = 0; r < grid.RowCount(); ++r)
        if (grid.GetRowSelected(r))
            rows.push_back(r);
    return rows;
}

} // namespace

TEST(GridSelection, CtrlShiftAndCtrlShiftSelections) {
    auto grid = Rows(8);
    grid->SelectCell(0, 1);
    grid->SelectCell(0, 3, true, ssCtrl);
    EXPECT_EQ(Selected(*grid), std::vector<int>({1, 3})); // a Ctrl click toggles one row
    grid->SelectCell(0, 5, true, ssShift);
    EXPECT_EQ(Selected(*grid), std::vector<int>({3, 4, 5})); // the range from the anchor only
    grid->SelectCell(0, 1, true, ssCtrl);
    grid->SelectCell(0, 0, true, ssCtrl | ssShift);
    EXPECT_EQ(Selected(*grid), std::vector<int>({0, 1, 3, 4, 5})); // added, the rest kept
    grid->SelectCell(0, 6, true, ssCtrl);
    grid->SelectCell(0, 6, true, ssCtrl);
    EXPECT_EQ(Selected(*grid), std::vector<int>({0, 1, 3, 4, 5}));
    grid->SelectCell(0, 7);
    EXPECT_EQ(Selected(*grid), std::vector<int>({7})); // a plain click after a Ctrl selection
    EXPECT_EQ(grid->SelectedRow(), 7);
    EXPECT_FALSE(grid->MultiSelecting());
}

TEST(GridSelection, ShiftRangesSelectVisibleRowsOnly) {
    auto grid = Rows(8);
    grid->SetRowVisible(3, false);
    grid->SetRowVisible(4, false);
    grid->SelectCell(0, 1);
    grid->SelectCell(0, 6, true, ssShift);
    EXPECT_EQ(Selected(*grid), std::vector<int>({1, 2, 5, 6}));
    EXPECT_EQ(grid->SelectedCount(), 4);
    // A row selected before it was hidden leaves a plain Shift range too.
    grid->SetRowVisible(4, true);
    grid->SelectCell(0, 4, true, ssCtrl);
    grid->SetRowVisible(4, false);
    grid->SelectCell(0, 2, true, ssShift);
    EXPECT_EQ(Selected(*grid), std::vector<int>({2}));
}

TEST(GridSelection, ShiftEndAddsTheVisibleRowsAndKeepsTheAnchor) {
    auto grid = Rows(8);
    grid->SetRowVisible(5, false);
    grid->SetRowVisible(7, false);
    grid->SelectCell(0, 2);
    grid->SelectToEnd(true);
    EXPECT_EQ(Selected(*grid), std::vector<int>({2, 3, 4, 6}));
    EXPECT_EQ(grid->SelectedRow(), 6);
    EXPECT_EQ(grid->SelectionAnchor(), 2);
    grid->SelectCell(0, 0, true, ssShift);
    EXPECT_EQ(Selected(*grid), std::vector<int>({0, 1, 2}));
    grid->SelectToEnd(false, false);
    EXPECT_EQ(grid->SelectedRow(), 0);
}

TEST(GridSelection, ADisabledColumnFiresNothing) {
    auto grid = Rows(4);
    grid->SelectCell(0, 1);
    QStringList events;
    grid->OnBeforeSelect = [&](QObject*, int, int, bool&) {
        events << "before";
    };
    grid->OnSelectCell = [&](QObject*, int, int) {
        events << "select";
    };
    grid->OnDeselectCell = [&](QObject*, int, int) {
        events << "deselect";
    };
    grid->Columns().GetColumn(2)->SetEnabled(false);
    grid->SelectCell(2, 3);
    EXPECT_TRUE(events.isEmpty());
    EXPECT_EQ(grid->SelectedColumn(), 0);
    EXPECT_EQ(grid->SelectedRow(), 1);
    EXPECT_EQ(Selected(*grid), std::vector<int>({1}));
}

TEST(GridRowMoves, DownWrapsOrLeavesAtTheLastVisibleRow) {
    auto grid = Rows(6);
    RecordingHost host;
    grid->SetEditorHost(&host);
    grid->SetRowVisible(0, false);
    grid->SetRowVisible(5, false);
    grid->SelectCell(0, 4);
    grid->MoveDown();
    EXPECT_EQ(grid->SelectedRow(), 4); // neither wraps nor leaves
    grid->MoveDown(0, false, true);
    EXPECT_EQ(grid->SelectedRow(), 1); // the first visible row
    grid->SelectCell(0, 4);
    grid->MoveDown(0, true, false);
    EXPECT_EQ(grid->SelectedRow(), 4);
    EXPECT_EQ(host.Calls, QStringList({"next"}));
    grid->SetEditorHost(nullptr);
}

TEST(GridRowMoves, HiddenAndRefusedRowsAreSteppedOver) {
    auto grid = Rows(8);
    grid->SetRowVisible(2, false);
    grid->SelectCell(0, 1);
    QList<int> asked;
    grid->OnBeforeSelect = [&](QObject*, int, int row, bool& accept) {
        asked << row;
        accept = row != 3;
    };
    grid->MoveDown();
    EXPECT_EQ(grid->SelectedRow(), 4);
    EXPECT_EQ(asked, QList<int>({3, 4})); // each candidate asked once
    grid->OnBeforeSelect = nullptr;
    grid->MoveUp();
    EXPECT_EQ(grid->SelectedRow(), 3);
    grid->MoveUp();
    EXPECT_EQ(grid->SelectedRow(), 1);
    // Pages step over hidden rows and end at the last visible row.
    grid->SetRowVisible(6, false);
    grid->MoveBy(3);
    EXPECT_EQ(grid->SelectedRow(), 5);
    grid->MoveBy(10);
    EXPECT_EQ(grid->SelectedRow(), 7);
    grid->MoveBy(-4);
    EXPECT_EQ(grid->SelectedRow(), 1); // 5, 4, 3, 1
    grid->SelectLastRow();
    EXPECT_EQ(grid->SelectedRow(), 7);
    grid->SetRowVisible(0, false);
    grid->SelectFirstRow();
    EXPECT_EQ(grid->SelectedRow(), 1);
}

TEST(GridRowMoves, UpFromTheFirstRowEntersTheInputRowAndDownLeavesIt) {
    auto grid = Rows(3, goHeader | goInput);
    grid->SelectCell(0, 0);
    grid->MoveUp();
    EXPECT_TRUE(grid->InputMode());
    grid->MoveDown();
    EXPECT_FALSE(grid->InputMode());
    EXPECT_EQ(grid->SelectedRow(), 0);
}

TEST(GridColumnMoves, TabWalksTheRowThenWrapsOrLeaves) {
    auto grid = Rows(3, goHeader);
    RecordingHost host;
    grid->SetEditorHost(&host);
    for (int c = 2; c < grid->ColumnCount(); ++c)
        grid->Columns().GetColumn(c)->SetVisible(false);
    grid->Columns().GetColumn(6)->SetVisible(true);
    grid->Columns().GetColumn(1)->SetEnabled(false);
    grid->SelectCell(0, 0);
    QList<int> keys;
    grid->OnSelectionMove = [&](QObject*, int&, int, TSelectionMoveKey key) {
        keys << key;
    };
    grid->MoveTab(true);
    EXPECT_EQ(grid->SelectedColumn(), 6); // past the hidden and the disabled columns
    grid->MoveTab(true);
    EXPECT_EQ(grid->SelectedColumn(), 0);
    EXPECT_EQ(grid->SelectedRow(), 1);
    grid->MoveTab(false);
    EXPECT_EQ(grid->SelectedColumn(), 6);
    EXPECT_EQ(grid->SelectedRow(), 0);
    EXPECT_EQ(keys, QList<int>({mkTab, mkTab, mkTab}));
    grid->SelectCell(6, 2);
    grid->MoveTab(true);
    EXPECT_EQ(host.Calls.last(), "next"); // past the last cell the focus leaves
    grid->SetTabLeaveControl(false);
    grid->MoveTab(true);
    EXPECT_EQ(grid->SelectedColumn(), 0);
    EXPECT_EQ(grid->SelectedRow(), 0); // or the walk starts again at the top
    grid->MoveLeft();
    EXPECT_EQ(grid->SelectedColumn(), 0); // nothing left of the first column
    grid->OnSelectionMove = [](QObject*, int& col, int, TSelectionMoveKey) {
        col = 0;
    };
    grid->MoveRight();
    EXPECT_EQ(grid->SelectedColumn(), 0);
    grid->OnSelectionMove = nullptr;
    grid->SelectLastColumn();
    EXPECT_EQ(grid->SelectedColumn(), 6);
    EXPECT_EQ(host.Calls.last(), "column 6");
    grid->SetEditorHost(nullptr);
}

TEST(GridSearch, SearchRowsWrapsSkipsHiddenRowsAndIgnoresCase) {
    auto grid = Rows(0, goHeader);
    grid->AddRow(5);
    const QStringList names{"Alpha", "beta", "abc", "ABD", "gamma"};
    for (int r = 0; r < 5; ++r)
        grid->Cell("Name", r).SetAsString(names[r]);
    grid->SelectCell(0, 3);
    EXPECT_TRUE(grid->SearchRows(0, "a", false));
    EXPECT_EQ(grid->SelectedRow(), 0); // from the last rows round to the first
    EXPECT_TRUE(grid->SearchRows(0, "AB", false));
    EXPECT_EQ(grid->SelectedRow(), 2);
    grid->SetRowVisible(3, false);
    EXPECT_TRUE(grid->SearchRows(0, "ab", false));
    EXPECT_EQ(grid->SelectedRow(), 2); // ABD is hidden: round again to abc
    EXPECT_FALSE(grid->SearchRows(0, "zeta", false));
    EXPECT_TRUE(grid->SearchRows(0, "al", true));
    EXPECT_EQ(grid->SelectedRow(), 0);
}

TEST(GridSearch, TypeAheadCollectsKeysWithin700Milliseconds) {
    auto grid = Rows(0, goHeader);
    grid->AddRow(5);
    const QStringList names{"delta", "alpha", "abel", "able", "zulu"};
    for (int r = 0; r < 5; ++r)
        grid->Cell("Name", r).SetAsString(names[r]);
    qint64 now = 1000;
    grid->Clock = [&] {
        return now;
    };
    EXPECT_FALSE(grid->TypeAhead(u'a')); // no search column
    TGxCustomColumn* name = grid->Columns().GetColumn(0);
    name->SetOptions(name->Options() | coSearchColumn);
    grid->SelectCell(0, 4);
    EXPECT_TRUE(grid->TypeAhead(u'a'));
    EXPECT_EQ(grid->SelectedRow(), 1); // from the last row round to the first "a"
    now += 699;
    grid->TypeAhead(u'b');
    EXPECT_EQ(grid->SearchText(), "ab");
    EXPECT_EQ(grid->SelectedRow(), 2);
    now += 300;
    grid->TypeAhead(u'l');
    EXPECT_EQ(grid->SelectedRow(), 3); // "abl"
    now += 700;
    EXPECT_EQ(grid->SearchText(), "");
    grid->TypeAhead(u'd');
    EXPECT_EQ(grid->SearchText(), "d"); // a fresh search after the pause
    EXPECT_EQ(grid->SelectedRow(), 0);
    name->SetOptions(name->Options() | coEditing);
    EXPECT_FALSE(grid->TypeAhead(u'z')); // the current column is edited, not searched
}

TEST(GridHeader, TheSortToggleFlipsOrMovesTheSortedColumn) {
    auto grid = Rows(3, goHeader);
    int sorts = 0;
    grid->OnSortColumn = [&](QObject*, int, bool) {
        ++sorts;
    };
    TGxCustomColumn* name = grid->Columns().GetColumn(0);
    TGxCustomColumn* count = grid->Columns().GetColumn(2);
    grid->ToggleSort(*name);
    EXPECT_TRUE(name->Sorted());
    EXPECT_EQ(name->SortKind(), skAscending);
    grid->ToggleSort(*name);
    EXPECT_EQ(name->SortKind(), skDescending);
    EXPECT_EQ(grid->CellText(0, 0), "host2");
    grid->ToggleSort(*count);
    EXPECT_TRUE(count->Sorted());
    EXPECT_FALSE(name->Sorted()); // the only sorted column
    EXPECT_EQ(sorts, 3);
    count->SetOptions(count->Options() & ~coCanSort);
    grid->ToggleSort(*count);
    EXPECT_EQ(count->SortKind(), skAscending);
    EXPECT_EQ(sorts, 3);
}

TEST(GridHeader, ColumnsAndEdgesUnderX) {
    auto grid = Rows(1, goHeader | goIndicator);
    for (int c = 3; c < grid->ColumnCount(); ++c)
        grid->Columns().GetColumn(c)->SetVisible(false);
    // Left edges 12, 92, 172; right edges 92, 172, 252.
    EXPECT_EQ(grid->GetColumnAtX(11), nullptr);
    EXPECT_EQ(grid->GetColumnAtX(12)->Index(), 0);
    EXPECT_EQ(grid->GetColumnAtX(92)->Index(), 0); // both ends count: the first column wins
    EXPECT_EQ(grid->GetColumnAtX(93)->Index(), 1);
    EXPECT_EQ(grid->GetColumnAtX(253), nullptr);
    EXPECT_EQ(grid->GetColumnEdgeAtX(88), nullptr);
    EXPECT_EQ(grid->GetColumnEdgeAtX(89)->Index(), 0);
    EXPECT_EQ(grid->GetColumnEdgeAtX(94)->Index(), 0);
    EXPECT_EQ(grid->GetColumnEdgeAtX(95), nullptr);
    TGxCustomColumn* first = grid->Columns().GetColumn(0);
    first->SetOptions(first->Options() | coFixedSize);
    EXPECT_EQ(grid->GetColumnEdgeAtX(92), nullptr);
    // Scrolled columns under a fixed one count neither.
    first->SetOptions(first->Options() & ~coFixedSize);
    grid->SetFixedCols(1);
    grid->SetHorzScrollPos(85);
    EXPECT_EQ(grid->GetColumnAtX(20)->Index(), 0);
    EXPECT_EQ(grid->GetColumnEdgeAtX(87), nullptr); // column 1's edge at 87 lies under column 0
    EXPECT_EQ(grid->GetColumnEdgeAtX(167)->Index(), 2);
}

TEST(GridHeader, DropPositions) {
    auto grid = Rows(1, goHeader);
    for (int c = 4; c < grid->ColumnCount(); ++c)
        grid->Columns().GetColumn(c)->SetVisible(false);
    TGxCustomColumn& first = *grid->Columns().GetColumn(0); // 0..80
    TGxCustomColumn& third = *grid->Columns().GetColumn(2); // 160..240
    EXPECT_EQ(grid->GetDropPosition(first, 40), 0);         // over itself
    EXPECT_EQ(grid->GetDropPosition(first, 230), 2);        // right half of the third: after it
    EXPECT_EQ(grid->GetDropPosition(first, 170), 1);        // left half: before it
    EXPECT_EQ(grid->GetDropPosition(third, 10), 0);         // left half of the first
    EXPECT_EQ(grid->GetDropPosition(third, 70), 1);         // right half of the first
    EXPECT_EQ(grid->GetDropPosition(third, 500), 2);        // nowhere: its own place
    grid->SetOptions(grid->Options() | goLockFixedCols);
    grid->SetFixedCols(1);
    EXPECT_FALSE(grid->CanDropAt(third, 0));
    EXPECT_TRUE(grid->CanDropAt(third, 1));
}
