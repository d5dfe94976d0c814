// In-place editing on the model: how an edit starts (start text, typed key, refusals), the
// events of applying and ending it, conversion errors, the edit closed before the current cell
// changes and before row operations and sorts, editors that are destroyed, list columns whose
// editor has no item index, and the input row.
#include "grid_helpers.h"

#include <gtest/gtest.h>

using namespace gridtest;

namespace {

// An editor without a window: its text, and the calls the grid made.
class FakeEdit : public TGxCustomEdit {
public:
    explicit FakeEdit(TGxCustomGridControl* grid = nullptr) : Grid(grid) {}
    QString Text() const override { return FText; }
    void SetText(const QString& value) override {
        FText = value;
        if (Grid)
            Grid->EditorChanged(); // the widget reports its text changes so
    }
    void TypeCharacter(QChar key) override { SetText(FText + key); }
    void StartedByGrid(bool selectAll) override { SelectedAll = selectAll; }
    bool IsComboBox() const override { return Combo; }
    int ItemIndex() const override { return Index; }
    TGxCustomGridControl* Grid;
    bool SelectedAll = false;
    bool Combo = false;
    int Index = -1;

private:
    QString FText;
};

class FakeHost : public TGxEditorHost {
public:
    void AttachEditor(TGxCustomEdit&) override { Calls << "attach"; }
    void ShowEditor(TGxCustomEdit&) override { Calls << "show"; }
    void HideEditor(TGxCustomEdit&, bool focusGrid) override { Calls << (focusGrid ? "hide+focus" : "hide"); }
    void DetachEditor(TGxCustomEdit&) override { Calls << "detach"; }
    void EditorDestroyed(TGxCustomEdit&) override { Calls << "destroyed"; }
    void FocusNextControl(bool forward) override { Calls << (forward ? "next" : "previous"); }
    void ScrollToColumn(int col) override { Calls << QString("column %1").arg(col); }
    QStringList Calls;
};

struct Editing {
    Editing() : grid(MakeGrid()), edit(std::make_unique<FakeEdit>(grid.get())) {
        grid->SetEditorHost(&host);
        grid->AddRow(4);
        for (int r = 0; r < 4; ++r) {
            grid->Cell("Name", r).SetAsString(QString("host%1").arg(r));
            grid->Cell("Count", r).SetAsInteger(r * 10);
        }
        for (const char* name : {"Name", "Count", "Kind"}) {
            TGxCustomColumn* column = grid->Columns().ColumnByName(name);
            column->SetOptions(column->Options() | coEditing);
            column->SetInplaceEdit(edit.get());
        }
        grid->OnEdit = [this](QObject*, int col, int row, const QString& value) {
            Events << QString("edit %1,%2 %3").arg(col).arg(row).arg(value);
        };
        grid->OnEditAccept = [this](QObject*, int col, int row, const QString& value, bool& accept) {
            Events << QString("accept %1,%2 %3").arg(col).arg(row).arg(value);
            accept = Accept;
        };
        grid->OnAfterEdit = [this](QObject*, int col, int row, const QString& value) {
            Events << QString("after %1,%2 %3").arg(col).arg(row).arg(value);
        };
        grid->OnEditExit = [this](QObject*) {
            Events << "exit";
        };
    }
    ~Editing() { grid.reset(); } // before the editor, the host and the event log it reaches
    std::unique_ptr<TDataGrid> grid;
    std::unique_ptr<FakeEdit> edit;
    FakeHost host;
    QStringList Events;
    bool Accept = true;
};

} // namespace

TEST(GridEditing, StartsWithTheCellTextAndStoresThroughTheEvents) {
    Editing t;
    t.grid->OnApplyEditText = [](QObject*, int, int, QString& value) {
        value += "!";
    };
    ASSERT_TRUE(t.grid->EditCell(0, 1));
    EXPECT_TRUE(t.grid->EditingCell());
    EXPECT_EQ(t.grid->EditColumn(), 0);
    EXPECT_EQ(t.grid->EditRow(), 1);
    EXPECT_EQ(t.edit->Text(), "host1!");
    EXPECT_EQ(t.host.Calls, QStringList({"attach", "show"}));
    EXPECT_TRUE(t.Events.isEmpty());      // OnEdit is quiet while the grid loads the cell's text
    EXPECT_FALSE(t.grid->EditCell(0, 1)); // already edited
    t.edit->SetText("new");
    t.grid->OnEditText = [](QObject*, int, int, QString& value) {
        value = value.toUpper();
    };
    EXPECT_TRUE(t.grid->ApplyEdit());
    EXPECT_EQ(t.grid->CellText(0, 1), "NEW");
    t.grid->EndEdit(true);
    EXPECT_EQ(t.Events, QStringList({"edit 0,1 new", "accept 0,1 new", "after 0,1 NEW", "exit"}));
    EXPECT_EQ(t.host.Calls, QStringList({"attach", "show", "hide+focus", "detach"}));
    EXPECT_FALSE(t.grid->Editing());
    EXPECT_EQ(t.grid->EditColumn(), -1);
    EXPECT_EQ(t.grid->EditRow(), -1);
    EXPECT_EQ(t.grid->Editor(), nullptr);
}

TEST(GridEditing, AGivenTextIsToldAndATypedKeyReplacesTheText) {
    Editing t;
    ASSERT_TRUE(t.grid->EditCell(0, 2, "start"));
    EXPECT_EQ(t.edit->Text(), "start");
    EXPECT_EQ(t.Events, QStringList({"edit 0,2 start"}));
    t.grid->EndEdit();
    t.Events.clear();
    bool applied = false;
    t.grid->OnApplyEditText = [&](QObject*, int, int, QString&) {
        applied = true;
    };
    ASSERT_TRUE(t.grid->EditCellByKey(0, 3, u'x'));
    EXPECT_EQ(t.edit->Text(), "x");
    EXPECT_FALSE(applied);
    EXPECT_FALSE(t.edit->SelectedAll);
    t.grid->CloseEdit();
    EXPECT_EQ(t.grid->CellText(0, 3), "x");
    // coEditorAutoSelect selects all of the start text.
    TGxCustomColumn* name = t.grid->Columns().GetColumn(0);
    name->SetOptions(name->Options() | coEditorAutoSelect);
    ASSERT_TRUE(t.grid->EditCell(0, 0));
    EXPECT_TRUE(t.edit->SelectedAll);
}

TEST(GridEditing, RefusalsStartNothing) {
    Editing t;
    t.grid->OnBeforeEdit = [](QObject*, int, int row, bool& accept) {
        accept = row != 2;
    };
    EXPECT_FALSE(t.grid->EditCell(0, 2));
    EXPECT_FALSE(t.grid->EditCell(6, 0)); // Status: no coEditing
    EXPECT_FALSE(t.grid->EditCell(0, 4)); // no such row
    EXPECT_FALSE(t.grid->EditCell(9, 0));
    t.grid->Columns().GetColumn(0)->SetEnabled(false);
    EXPECT_FALSE(t.grid->EditCell(0, 0));
    t.grid->Columns().GetColumn(0)->SetEnabled(true);
    t.grid->SetReadOnly(true);
    EXPECT_FALSE(t.grid->EditCell(0, 0));
    t.grid->SetReadOnly(false);
    t.grid->Columns().GetColumn(0)->SetInplaceEdit(nullptr); // the model made no built-in editor
    EXPECT_FALSE(t.grid->EditCell(0, 0));
    EXPECT_TRUE(t.host.Calls.isEmpty());
}

TEST(GridEditing, AVetoOrAConversionErrorStoresNothing) {
    Editing t;
    t.Accept = false;
    ASSERT_TRUE(t.grid->EditCell(0, 1, "vetoed"));
    EXPECT_FALSE(t.grid->ApplyEdit());
    EXPECT_EQ(t.grid->CellText(0, 1), "host1");
    t.grid->EndEdit();
    t.Accept = true;
    // The number column's float cell refuses a word: the error names it, the cell keeps 10.
    ASSERT_TRUE(t.grid->EditCell(2, 1, "ten"));
    EXPECT_EQ(ErrorOf([&] { t.grid->ApplyEdit(); }), "'ten' is not a valid floating point value");
    EXPECT_TRUE(t.grid->Editing());
    EXPECT_EQ(t.grid->Cell(2, 1).GetAsFloat(), 10);
    t.grid->CloseEdit(); // drops what does not convert
    EXPECT_FALSE(t.grid->Editing());
    EXPECT_EQ(t.grid->Cell(2, 1).GetAsFloat(), 10);
}

TEST(GridEditing, ClosedBeforeTheCellChangesAndBeforeRowOperations) {
    Editing t;
    auto typed = [&](int row, const QString& text) {
        ASSERT_TRUE(t.grid->EditCell(0, row));
        t.edit->SetText(text);
    };
    typed(1, "moved away");
    t.grid->SelectCell(0, 2);
    EXPECT_FALSE(t.grid->Editing());
    EXPECT_EQ(t.grid->CellText(0, 1), "moved away");

    typed(1, "before delete");
    t.grid->DeleteRow(3);
    EXPECT_EQ(t.grid->CellText(0, 1), "before delete");
    typed(1, "before insert");
    t.grid->InsertRow(0);
    EXPECT_EQ(t.grid->CellText(0, 2), "before insert"); // its row moved down by one
    typed(2, "before move");
    t.grid->MoveRow(2, 0);
    EXPECT_EQ(t.grid->CellText(0, 0), "before move");
    typed(0, "before hide");
    t.grid->SetRowVisible(0, false);
    EXPECT_FALSE(t.grid->Editing());
    EXPECT_EQ(t.grid->CellText(0, 0), "before hide");
    typed(1, "before clear");
    t.grid->ClearRows();
    EXPECT_FALSE(t.grid->Editing());
}

TEST(GridEditing, ASortStoresTheEditInItsOwnRowFirst) {
    Editing t;
    const quint64 handle = t.grid->RowHandle(0);
    ASSERT_TRUE(t.grid->EditCell(0, 0));
    t.edit->SetText("zzz last");
    t.grid->SortColumn(t.grid->Columns().GetColumn(0), true);
    EXPECT_FALSE(t.grid->Editing());
    const int row = t.grid->RowByHandle(handle);
    EXPECT_EQ(row, 3);
    EXPECT_EQ(t.grid->CellText(0, row), "zzz last");
    EXPECT_EQ(t.grid->CellText(0, 0), "host1");
}

TEST(GridEditing, DestroyedEditorsAndColumnsAreForgotten) {
    Editing t;
    ASSERT_TRUE(t.grid->EditCell(0, 1));
    t.edit.reset();
    EXPECT_FALSE(t.grid->Editing());
    EXPECT_EQ(t.grid->Editor(), nullptr);
    EXPECT_EQ(t.host.Calls.last(), "destroyed");
    EXPECT_EQ(t.Events.last(), "exit");
    EXPECT_EQ(t.grid->Columns().GetColumn(0)->InplaceEdit(), nullptr);
    EXPECT_EQ(t.grid->Columns().GetColumn(2)->InplaceEdit(), nullptr);
    EXPECT_FALSE(t.grid->EditCell(0, 1));

    // Deleting the edited column ends the edit before the column goes.
    FakeEdit other(t.grid.get());
    t.grid->Columns().GetColumn(0)->SetInplaceEdit(&other);
    ASSERT_TRUE(t.grid->EditCell(0, 1));
    t.grid->Columns().RemoveColumn(t.grid->Columns().GetColumn(0));
    EXPECT_FALSE(t.grid->Editing());
    EXPECT_EQ(t.grid->ColumnCount(), 6);
    // A column that goes first leaves the editor without an observer that points at it.
    t.grid->Columns().GetColumn(1)->SetInplaceEdit(&other);
    t.grid->Columns().RemoveColumn(t.grid->Columns().GetColumn(1));
}

TEST(GridEditing, AListColumnStoresAnItemIndexOnlyFromAComboBox) {
    Editing t;
    t.grid->Cell("Kind", 1).SetAsInteger(2);
    const int kind = t.grid->ColumnIndex("Kind");
    ASSERT_TRUE(t.grid->EditCell(kind, 1));
    t.edit->SetText("beta");
    EXPECT_FALSE(t.grid->ApplyEdit()); // no item index: the cell keeps item 2, not item 0
    t.grid->EndEdit();
    EXPECT_EQ(t.grid->Cell(kind, 1).GetAsInteger(), 2);
    t.edit->Combo = true;
    t.edit->Index = 1;
    ASSERT_TRUE(t.grid->EditCell(kind, 1));
    EXPECT_TRUE(t.grid->ApplyEdit());
    t.grid->EndEdit();
    EXPECT_EQ(t.grid->Cell(kind, 1).GetAsInteger(), 1);
}

TEST(GridEditing, TheInputRowAddsARowWithInputOrDefaultValues) {
    Editing t;
    t.grid->SetOptions(t.grid->Options() | goInput);
    TGxCustomColumn* status = t.grid->Columns().GetColumn(6);
    status->SetDefaultValue("Unknown");
    int selected = -1;
    t.grid->OnInputSelectCell = [&](QObject*, int col) {
        selected = col;
    };
    ASSERT_TRUE(t.grid->EditInputCell(0, "new host"));
    EXPECT_TRUE(t.grid->InputMode());
    EXPECT_TRUE(t.grid->EditingInput());
    EXPECT_EQ(selected, 0);
    EXPECT_TRUE(t.grid->ApplyEdit());
    EXPECT_EQ(t.grid->Columns().GetColumn(0)->InputValue(), "new host");
    bool accept = false;
    t.grid->OnInputAccept = [&](QObject*, bool& a) {
        a = accept;
    };
    EXPECT_FALSE(t.grid->AcceptInput());
    EXPECT_EQ(t.grid->RowCount(), 4);
    accept = true;
    int added = 0;
    t.grid->OnInputAdded = [&](QObject*) {
        ++added;
    };
    EXPECT_TRUE(t.grid->AcceptInput());
    ASSERT_EQ(t.grid->RowCount(), 5);
    EXPECT_EQ(t.grid->CellText(0, 4), "new host");
    EXPECT_EQ(t.grid->CellText(6, 4), "Unknown");
    EXPECT_EQ(t.grid->Columns().GetColumn(0)->InputValue(), "");
    EXPECT_EQ(added, 1);
    t.grid->SetInputMode(false); // leaving the input row ends its edit
    EXPECT_FALSE(t.grid->Editing());
}
