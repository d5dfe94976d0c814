// Columns and the column collection: defaults, layout positions, visibility, widths, sorted and
// search columns, display order changes, auto-size distribution, lookup by name and copying;
// then the column kinds: display texts, typed characters, editor set-up and indents.
#include "grid/GxConvert.h"
#include "grid_helpers.h"

#include <gtest/gtest.h>

using namespace gridtest;

namespace {

struct ChangeLog {
    std::vector<std::tuple<int, int, int>> Items; // column index, kind, value
};

std::unique_ptr<TDataGrid> ThreeColumns(ChangeLog* log = nullptr) {
    auto grid = std::make_unique<TDataGrid>();
    for (const char* name : {"A", "B", "C"})
        grid->AddColumn<TGxTextColumn>(name).SetWidth(50 + name[0] - 'A');
    if (log)
        grid->Columns().OnColumnChanged = [log](TGxCustomColumn* c, int kind, int value) {
            log->Items.emplace_back(c->Index(), kind, value);
        };
    return grid;
}

} // namespace

TEST(Columns, Defaults) {
    TGxTextColumn text;
    EXPECT_EQ(text.Width(), 80);
    EXPECT_EQ(text.MinWidth(), 8);
    EXPECT_EQ(text.Options(), 9230);
    EXPECT_EQ(text.Position(), -1);
    EXPECT_EQ(text.Header().Color(), clBtnFace);
    EXPECT_EQ(text.Footer().Color(), clWindow);
    EXPECT_TRUE(text.Header().HideArrow());
    EXPECT_EQ(text.SlideBounds().Width(), 80);
    EXPECT_EQ(text.WrapKind(), wkEllipsis);
    EXPECT_EQ(text.VerticalAlignment(), taVerticalCenter);
    TGxCheckBoxColumn check;
    EXPECT_EQ(check.Options(), 1038);
    EXPECT_EQ(check.SortType(), stBoolean);
    EXPECT_EQ(check.CellKind(), ckBoolean);
    TGxNumberColumn number;
    EXPECT_EQ(number.Alignment(), taRightJustify);
    EXPECT_EQ(number.DefaultValue(), "0");
    EXPECT_EQ(number.EditOptions(), eoAllowFloat);
    TGxDateColumn date;
    EXPECT_EQ(date.SortType(), stDate);
    EXPECT_EQ(date.DefaultValue(), DateTimeToText(TodayDate(), QLocale(), true));
    EXPECT_EQ(date.NoneCaption(), "None");
    TGxTreeColumn tree;
    EXPECT_EQ(tree.GetColumnFlags(), 15);
    TGxIncrementColumn inc;
    EXPECT_EQ(inc.GetColumnFlags(), 8);
    EXPECT_EQ(inc.CellKind(), ckIncrement);
    TGxListColumn list;
    EXPECT_EQ(list.CellKind(), ckInteger);
    EXPECT_EQ(list.SortType(), stNumeric);
    EXPECT_EQ(list.GetEditorClass(), TEditorClass::TGxComboBox);
    TGxImageColumn image;
    EXPECT_EQ(image.GetDisplayClass(), TDisplayClass::TImageColumnDisplay);
}

TEST(Columns, HidingShiftsLaterColumnsAndShowingRestores) {
    auto grid = ThreeColumns();
    auto& cols = grid->Columns();
    EXPECT_EQ(cols.GetColumn(2)->Left(), 50 + 51);
    cols.GetColumn(1)->SetVisible(false);
    EXPECT_EQ(cols.GetColumn(1)->VisibleIndex(), -1);
    EXPECT_EQ(cols.GetColumn(2)->Left(), 50);
    EXPECT_EQ(cols.GetColumn(2)->VisibleIndex(), 1);
    EXPECT_EQ(cols.VisibleCount(), 2);
    cols.GetColumn(1)->SetVisible(true);
    EXPECT_EQ(cols.GetColumn(2)->Left(), 101);
    EXPECT_EQ(cols.GetColumn(1)->VisibleIndex(), 1);
    grid->SetOptions(grid->Options() | goIndicator);
    EXPECT_EQ(cols.GetColumn(0)->Left(), 12);
}

TEST(Columns, WidthBelowMinimumAndWidthReports) {
    auto grid = ThreeColumns();
    int resized = -1;
    grid->OnColumnResize = [&](QObject*, int col) {
        resized = col;
    };
    auto* b = grid->Columns().GetColumn(1);
    b->SetWidth(3);
    EXPECT_EQ(b->Width(), 8);
    EXPECT_EQ(resized, 1);
    b->SetMinWidth(20);
    b->SetWidth(10);
    EXPECT_EQ(b->Width(), 20);
}

TEST(Columns, OneSortedAndOneSearchColumn) {
    auto grid = ThreeColumns();
    auto& cols = grid->Columns();
    cols.GetColumn(0)->SetSorted(true);
    cols.GetColumn(2)->SetSorted(true);
    EXPECT_FALSE(cols.GetColumn(0)->Sorted());
    EXPECT_TRUE(cols.GetColumn(2)->Sorted());
    auto& tree = grid->AddColumn<TGxTreeColumn>("T");
    tree.SetSorted(true);
    EXPECT_FALSE(tree.Sorted());
    EXPECT_TRUE(cols.GetColumn(2)->Sorted());
    cols.GetColumn(0)->SetOptions(cols.GetColumn(0)->Options() | coSearchColumn);
    cols.GetColumn(1)->SetOptions(cols.GetColumn(1)->Options() | coSearchColumn);
    EXPECT_FALSE(cols.GetColumn(0)->HasOption(coSearchColumn));
    EXPECT_TRUE(cols.GetColumn(1)->HasOption(coSearchColumn));
}

TEST(Columns, VisibleNeighbours) {
    auto grid = ThreeColumns();
    auto& cols = grid->Columns();
    EXPECT_EQ(cols.NextVisibleColumn(cols.GetColumn(2)), cols.GetColumn(2));
    EXPECT_EQ(cols.PrevVisibleColumn(cols.GetColumn(0)), cols.GetColumn(0));
    cols.GetColumn(1)->SetEnabled(false);
    EXPECT_EQ(cols.NextVisibleColumn(cols.GetColumn(0)), cols.GetColumn(2));
    EXPECT_EQ(cols.FirstVisibleColumn(), cols.GetColumn(0));
    EXPECT_EQ(cols.LastVisibleColumn(), cols.GetColumn(2));
    EXPECT_TRUE(cols.IsLastVisible(cols.GetColumn(2)));
    EXPECT_EQ(cols.GetColumn(0)->HeaderSegment(), 1);
    EXPECT_EQ(cols.GetColumn(1)->HeaderSegment(), 2);
    EXPECT_EQ(cols.GetColumn(2)->HeaderSegment(), 3);
}

TEST(Columns, ByNameIgnoresCaseFirstWins) {
    auto grid = ThreeColumns();
    grid->AddColumn<TGxTextColumn>("b");
    EXPECT_EQ(grid->Columns().ColumnByName("B"), grid->Columns().GetColumn(1));
    EXPECT_EQ(grid->Columns().ColumnByName(u"b"), grid->Columns().GetColumn(1));
    EXPECT_EQ(grid->Columns().ColumnByName("x"), nullptr);
    grid->Columns().RemoveColumn(grid->Columns().GetColumn(1));
    EXPECT_EQ(grid->Columns().ColumnByName("B"), grid->Columns().GetColumn(2));
}

TEST(Columns, ChangePositionRenumbersAndReports) {
    ChangeLog log;
    auto grid = ThreeColumns(&log);
    auto& cols = grid->Columns();
    cols.ChangePosition(2, 0);
    EXPECT_EQ(cols.GetColumn(2)->Position(), 0);
    EXPECT_EQ(cols.GetColumn(0)->Position(), 1);
    EXPECT_EQ(cols.GetColumn(1)->Position(), 2);
    EXPECT_EQ(cols.PositionItem(0), cols.GetColumn(2));
    EXPECT_EQ(cols.GetColumn(2)->Left(), 0);
    ASSERT_FALSE(log.Items.empty());
    EXPECT_EQ(log.Items.back(), std::make_tuple(2, int(ccPosition), 2));
    EXPECT_EQ(ErrorOf([&] { cols.ChangePosition(0, 3); }), "List index out of bounds (3)");
    EXPECT_EQ(ErrorOf([&] { cols.GetColumn(3); }), "List index out of bounds (3)");
    cols.GetColumn(0)->SetPosition(2);
    EXPECT_EQ(cols.PositionItem(2), cols.GetColumn(0));
}

TEST(Columns, AutoSizeSharesTheRoom) {
    auto grid = ThreeColumns();
    grid->SetClientWidth(300);
    auto& cols = grid->Columns();
    cols.GetColumn(0)->SetWidth(100);
    cols.GetColumn(1)->SetOptions(cols.GetColumn(1)->Options() | coAutoSize);
    cols.GetColumn(2)->SetOptions(cols.GetColumn(2)->Options() | coAutoSize);
    EXPECT_EQ(cols.GetColumn(0)->Width() + cols.GetColumn(1)->Width() + cols.GetColumn(2)->Width(), 300);
}

TEST(Columns, AssignCopiesFooterTextsAndProperties) {
    TGxTextColumn a, b;
    a.Footer().SetTextBefore("before");
    a.Footer().SetTextAfter("after");
    a.Header().SetCaption("Head");
    a.SetWidth(33);
    a.SetMaxLength(5);
    a.SetColor(clRed);
    b.Assign(a);
    EXPECT_EQ(b.Footer().TextBefore(), "before");
    EXPECT_EQ(b.Footer().TextAfter(), "after");
    EXPECT_EQ(b.Header().Caption(), "Head");
    EXPECT_EQ(b.Width(), 33);
    EXPECT_EQ(b.MaxLength(), 5);
    EXPECT_EQ(b.Color(), clRed);
}

TEST(Columns, ColumnLimit) {
    TDataGrid grid;
    for (int i = 0; i < MaxGridColumns; ++i)
        grid.AddColumn<TGxTextColumn>(QString::number(i));
    EXPECT_EQ(ErrorOf([&] { grid.AddColumn<TGxTextColumn>("over"); }), "List index out of bounds (1024)");
    EXPECT_EQ(grid.ColumnCount(), MaxGridColumns);
}

// ---- kinds ----------------------------------------------------------------------------------

TEST(ColumnKinds, NumberDisplayHideWhenEmptyAndMasks) {
    TGxNumberColumn n;
    n.SetHideWhenEmpty(true);
    n.SetEmptyCaption("-");
    TCellInfo info;
    QString text;
    n.GetDisplayText(info, text);
    EXPECT_EQ(text, "-");
    info.AsFloat = -2.5;
    n.GetDisplayText(info, text);
    EXPECT_EQ(text, "-2.5");
    n.SetTextAfter(" ms");
    n.SetFormatMask("0.00");
    info.AsFloat = 3;
    n.GetDisplayText(info, text);
    EXPECT_EQ(text, "3.00 ms");
    EXPECT_EQ(FormatFloatMask("#,##0.0", 12345.67, English()), "12,345.7");
    EXPECT_EQ(FormatFloatMask("#,##0.0", 12345.67, German()), "12.345,7");
}

TEST(ColumnKinds, TextPasswordCharMasksEverything) {
    TGxTextColumn t;
    t.SetTextBefore("ab");
    t.SetTextAfter("!");
    t.SetPasswordChar(u'*');
    TCellInfo info;
    info.AsString = "secret";
    QString text;
    t.GetDisplayText(info, text);
    EXPECT_EQ(text, "*********");
    EXPECT_TRUE(t.AcceptsChar(u'a'));
    EXPECT_FALSE(t.AcceptsChar(u' '));
}

TEST(ColumnKinds, ListShowsItemsInRangeOnly) {
    TGxListColumn l;
    l.SetItems({"one", "two"});
    TCellInfo info;
    QString text = "x";
    for (int bad : {-1, 2}) {
        info.AsInteger = bad;
        l.GetDisplayText(info, text);
        EXPECT_EQ(text, "");
    }
    info.AsInteger = 1;
    l.GetDisplayText(info, text);
    EXPECT_EQ(text, "two");
    EXPECT_TRUE(l.AcceptsChar(u'T'));
    EXPECT_FALSE(l.AcceptsChar(u'x'));
    l.SetInputValue("1");
    l.GetInputText(text);
    EXPECT_EQ(text, "two");
    for (const char* bad : {"", "7", "x"}) {
        l.SetInputValue(bad);
        l.GetInputText(text);
        EXPECT_EQ(text, "") << bad;
    }
    TEditorSetup setup;
    l.PrepareEditor(setup);
    EXPECT_EQ(setup.Style, dsDropDownList);
    EXPECT_EQ(setup.Items, QStringList({"one", "two"}));
    l.SyncEditor(setup, "two");
    EXPECT_EQ(setup.ItemIndex, 1);
    l.SyncEditor(setup, "");
    EXPECT_EQ(setup.ItemIndex, 0);
}

TEST(ColumnKinds, IncrementNumbersFromOneAndRenumbersAfterSort) {
    auto grid = MakeGrid();
    grid->AddRow(3);
    for (int r = 0; r < 3; ++r)
        grid->Cell("Name", r).SetAsString(QString("c%1").arg(2 - r));
    EXPECT_EQ(grid->GetCellDisplayText(3, 0), "1");
    grid->SortColumn(grid->Columns().ColumnByName("Name"), true);
    EXPECT_EQ(grid->Cell("Name", 0).GetAsString(), "c0");
    EXPECT_EQ(grid->GetCellDisplayText(3, 0), "1");
    EXPECT_EQ(grid->Cell("number_", 2).GetAsString(), "3");
}

TEST(ColumnKinds, DateAcceptsDigitsAndItsSeparator) {
    TGxDateColumn d;
    EXPECT_TRUE(d.AcceptsChar(u'0'));
    EXPECT_TRUE(d.AcceptsChar(u'9'));
    EXPECT_TRUE(d.AcceptsChar(u'/'));
    EXPECT_FALSE(d.AcceptsChar(u'.'));
    d.SetDateSeparator(u'.');
    EXPECT_TRUE(d.AcceptsChar(u'.'));
    EXPECT_FALSE(d.AcceptsChar(u'/'));
    TCellInfo info;
    info.AsDateTime = 45000.5;
    QString text;
    d.SetFormatMask("dd/mm/yyyy hh:nn");
    d.GetDisplayText(info, text);
    EXPECT_EQ(text, "15.03.2023 12:00");
    d.SetHideWhenEmpty(true);
    d.SetEmptyCaption("never");
    info.AsDateTime = 0;
    d.GetDisplayText(info, text);
    EXPECT_EQ(text, "never");
}

TEST(ColumnKinds, NumberAcceptsLocaleDecimalSeparator) {
    for (const QLocale& locale : {English(), German()}) {
        TDataGrid grid;
        grid.SetLocale(locale);
        auto& n = grid.AddColumn<TGxNumberColumn>("N");
        const QChar point = locale.decimalPoint().front();
        EXPECT_TRUE(n.AcceptsChar(point));
        EXPECT_FALSE(n.AcceptsChar(u'-'));
        EXPECT_TRUE(n.AcceptsChar(u'5'));
        n.SetEditOptions(eoAllowSigns);
        EXPECT_TRUE(n.AcceptsChar(u'-'));
        EXPECT_FALSE(n.AcceptsChar(point));
    }
}

TEST(ColumnKinds, TreeIndentAndEditAbilities) {
    TGxTreeColumn tree;
    int left = 4;
    tree.GetContentIndent(2, left);
    EXPECT_EQ(left, 2 * 19 + 4 + 16);
    QObject images;
    tree.SetImages({&images, 16});
    left = 0;
    tree.GetContentIndent(1, left);
    EXPECT_EQ(left, 19 + 16 + 16);
    TGxImageColumn image;
    EXPECT_EQ(image.GetEditAbilities(), 0);
    TGxCheckBoxColumn check;
    EXPECT_EQ(check.GetEditAbilities(), eaInInputRow);
    check.SetOptions(check.Options() | coEditing);
    EXPECT_EQ(check.GetEditAbilities(), eaInCells | eaInInputRow);
    check.SetEnabled(false);
    EXPECT_EQ(check.GetEditAbilities(), 0);
}

TEST(ColumnKinds, DateDefaultFollowsTheGridLocale) {
    TDataGrid grid;
    auto& date = grid.AddColumn<TGxDateColumn>("D");
    grid.SetLocale(German());
    EXPECT_EQ(date.DefaultValue(), DateTimeToText(TodayDate(), German(), true));
    grid.SetOptions(grid.Options() | goUseDefaultValues);
    grid.AddRow(1);
    EXPECT_EQ(grid.Cell("D", 0).GetAsDateTime(), TodayDate());
    date.SetDefaultValue("");
    grid.SetLocale(English());
    EXPECT_EQ(date.DefaultValue(), "");
}
