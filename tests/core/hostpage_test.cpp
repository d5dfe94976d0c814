// The host page's table work without a display: the five filters and the running number,
// LowerCaseCyr, the drop text, the Enabled column and the tree files' formats.
#include "core/DatabaseLoader.h"
#include "core/DatabaseSchema.h"
#include "core/HostGrid.h"
#include "core/HostPage.h"
#include "core/HostStore.h"
#include "core/SQLiteDb.h"
#include "grid/GxGrid.h"
#include "grid/GxTypes.h"
#include "tests/core/store_fixture.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

struct THostSpec {
    QString Name{}, IP{}, Group{}, Status{}, Note{};
    int Type = 0;
};

class HostPageTest : public StoreFixture {
protected:
    void SetUp() override {
        StoreFixture::SetUp();
        CreateHostGridColumns(Grid);
    }
    void Load(const std::vector<THostSpec>& Hosts) {
        for (const THostSpec& h : Hosts) {
            Store.InsertHost({"host", "IP", "N_group", "Status", "Note_", "HType", "Enabled"},
                             {h.Name, h.IP, h.Group, h.Status, h.Note, h.Type, "-1"});
        }
        LoadHostsIntoGrid(Db, Grid, nullptr, QString());
    }
    QString Text(const char* Column, int Row) {
        return Grid.CellText(Grid.ColumnIndex(QLatin1String(Column)), Row);
    }
    // "name:number" of the shown rows in order.
    QStringList Shown() {
        QStringList out;
        for (int r = 0; r < Grid.RowCount(); ++r)
            if (Grid.GetRowVisible(r))
                out << Text("host", r) + ":" + Text("number_", r);
        return out;
    }
    TDataGrid Grid;
};

const TStatusFilterWords Words{"OK", "Not Up", "All"};

} // namespace

TEST(LowerCaseCyr, LowersLatinAndCyrillicCapitalsOnly) {
    EXPECT_EQ(LowerCaseCyr("ABC"), "abc");
    EXPECT_EQ(LowerCaseCyr(QString::fromUtf8("ПРИВЕТ")), QString::fromUtf8("привет"));
    EXPECT_EQ(LowerCaseCyr(QString::fromUtf8("АЯ09.-_ zЁÄ")), QString::fromUtf8("ая09.-_ zЁÄ"));
    EXPECT_EQ(LowerCaseCyr(""), "");
}

TEST_F(HostPageTest, NameAndDescriptionFiltersTouchOnlyTheCurrentGroup) {
    Load({{"Web", "10.0.0.1", "1", "OK", "Front"},
          {"Сервер", "10.0.0.2", "1", "OK", "Подвал"},
          {"web2", "10.0.0.3", "2", "OK", "x"},
          {"Mail", "10.0.0.4", "1", "OK", "back"}});
    ShowGroupHosts(Grid, "1");
    ApplyTextFilter(Grid, "Host", "WEB", "1");
    EXPECT_EQ(Shown(), QStringList({"Web:1"}));
    ApplyTextFilter(Grid, "Host", QString::fromUtf8("СЕР"), "1");
    EXPECT_EQ(Shown(), QStringList({QString::fromUtf8("Сервер:1")}));
    ApplyTextFilter(Grid, "Host", "", "1");
    EXPECT_EQ(Shown(), QStringList({"Web:1", QString::fromUtf8("Сервер:2"), "Mail:3"}));
    // A row of another group keeps its flag.
    Grid.SetRowVisible(2, true);
    ApplyTextFilter(Grid, "Note_", "BACK", "1");
    EXPECT_EQ(Shown(), QStringList({"web2:1", "Mail:2"}));
    ApplyTextFilter(Grid, "Note_", QString::fromUtf8("подв"), "1");
    EXPECT_EQ(Shown(), QStringList({QString::fromUtf8("Сервер:1"), "web2:2"}));
}

TEST_F(HostPageTest, IpFilterActsOnEveryRowOnlyUnderShowAll) {
    Load({{"a", "10.0.0.1", "1"}, {"b", "fe80::A", "2"}, {"c", "10.0.0.3", "2"}, {"d", "fe80::b", "1"}});
    ShowAllHosts(Grid);
    // Show all: the IP filter on every row, the name filter on the chosen group only.
    ApplyIpFilter(Grid, "FE80", true, "1");
    EXPECT_EQ(Shown(), QStringList({"b:1", "d:2"}));
    ApplyTextFilter(Grid, "Host", "a", "1");
    EXPECT_EQ(Shown(), QStringList({"a:1", "b:2"}));
    ShowGroupHosts(Grid, "1");
    ApplyIpFilter(Grid, "10.", false, "1");
    EXPECT_EQ(Shown(), QStringList({"a:1"}));
}

TEST_F(HostPageTest, TypeFilterAndStatusFilterWords) {
    Load({{"a", "1", "1", "OK", "", 0},
          {"b", "2", "1", "Down", "", 2},
          {"c", "3", "2", "OK", "", 2},
          {"d", "4", "2", "Unknown", "", 1}});
    ApplyHostTypeFilter(Grid, 2, "Router");
    EXPECT_EQ(Shown(), QStringList({"b:1", "c:2"}));
    ApplyHostTypeFilter(Grid, 0, "All");
    EXPECT_EQ(Shown(), QStringList({"a:1", "b:2", "c:3", "d:4"}));

    ShowGroupHosts(Grid, "1");
    ApplyStatusFilter(Grid, "OK", false, "1", Words);
    EXPECT_EQ(Shown(), QStringList({"a:1"}));
    ApplyStatusFilter(Grid, "OK", true, "1", Words);
    EXPECT_EQ(Shown(), QStringList({"a:1", "c:2"}));
    // All shows every group; Not Up hides the OK rows of every group.
    ApplyStatusFilter(Grid, "All", false, "1", Words);
    EXPECT_EQ(Shown(), QStringList({"a:1", "b:2", "c:3", "d:4"}));
    ApplyStatusFilter(Grid, "Not Up", false, "1", Words);
    EXPECT_EQ(Shown(), QStringList({"b:1", "d:2"}));
}

TEST_F(HostPageTest, DropTextNamesTheHostByItsId) {
    EXPECT_FALSE(ParseDroppedHost("abc"));
    EXPECT_FALSE(ParseDroppedHost("abc|1"));
    EXPECT_FALSE(ParseDroppedHost("|1"));
    const auto parsed = ParseDroppedHost("12|3|4");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->Kod, 12);
    EXPECT_EQ(parsed->Row, 3);

    Load({{"a", "1", "2"}, {"b", "2", "2"}, {"c", "3", "5"}});
    ShowGroupHosts(Grid, "2");
    EXPECT_EQ(HostDragText(Grid, 1), Text("Kod_", 1) + "|1");
    for (const char* foreign : {"999|0", "abc", ""})
        EXPECT_FALSE(DropHostOnGroup(Grid, Store, foreign, "5", false)) << foreign;
    EXPECT_EQ(Shown(), QStringList({"a:1", "b:2"}));
    // A stale row index does not matter: the id finds the row.
    const QString idA = Text("Kod_", 0);
    ASSERT_TRUE(DropHostOnGroup(Grid, Store, idA + "|7", "5", false));
    EXPECT_EQ(Shown(), QStringList({"b:1"}));
    EXPECT_EQ(Text("N_group", 0), "5");
    EXPECT_EQ(One("select N_group from hosts where id=?", {idA}), "5");
    // Under Show all the row stays shown.
    ShowAllHosts(Grid);
    ASSERT_TRUE(DropHostOnGroup(Grid, Store, HostDragText(Grid, 1), "5", true));
    EXPECT_EQ(Shown(), QStringList({"a:1", "b:2", "c:3"}));
    EXPECT_EQ(One("select count(*) from hosts where N_group=5"), "3");
}

TEST_F(HostPageTest, EnabledClickAndFlipStoreEachRow) {
    Load({{"a", "1", "1", "OK"}, {"b", "2", "1", "OK"}, {"c", "3", "1", "OK"}});
    const int enabled = Grid.ColumnIndex(u"Enabled");
    const int status = Grid.ColumnIndex(u"Status");
    Grid.GetCellObject(enabled, 1).SetAsBoolean(false);
    ApplyEnabledClick(Grid, Store, 1, "Unknown", "Disabled");
    EXPECT_EQ(Text("Status", 1), "Disabled");
    EXPECT_EQ(Grid.GetCellObject(status, 1).Color(), clGray);
    EXPECT_EQ(One("select Enabled from hosts where id=?", {Text("Kod_", 1)}), "0");
    Grid.GetCellObject(enabled, 1).SetAsBoolean(true);
    ApplyEnabledClick(Grid, Store, 1, "Unknown", "Disabled");
    EXPECT_EQ(Text("Status", 1), "Unknown");
    EXPECT_EQ(Grid.GetCellObject(status, 1).Color(), clWhite);
    EXPECT_EQ(One("select Enabled from hosts where id=?", {Text("Kod_", 1)}), "-1");
    ApplyEnabledClick(Grid, Store, 9, "Unknown", "Disabled"); // no such row: nothing

    // Flip: shown selected rows only; a selected hidden row is left alone.
    Grid.SetRowSelected(0, true);
    Grid.SetRowSelected(2, true);
    Grid.SetRowVisible(2, false);
    EXPECT_EQ(FlipEnabledOfSelected(Grid, Store), 1);
    EXPECT_EQ(One("select group_concat(Enabled) from (select Enabled from hosts order by id)"), "0,-1,-1");
    // Survives a reload.
    TDataGrid again;
    CreateHostGridColumns(again);
    LoadHostsIntoGrid(Db, again, nullptr, QString());
    EXPECT_FALSE(again.GetCellObject(enabled, 0).GetAsBoolean());
    EXPECT_TRUE(again.GetCellObject(enabled, 1).GetAsBoolean());
}

TEST(HostPageFiles, TreeExpansionAndGroupListFormats) {
    EXPECT_EQ(TreeExpansionText({true, false, true}), QByteArray("-1\r\n0\r\n-1\r\n"));
    EXPECT_EQ(ParseTreeExpansion("-1\r\n0\r\n-1\r\n"), (std::vector<bool>{true, false, true}));
    EXPECT_EQ(ParseTreeExpansion("0\n-1"), (std::vector<bool>{false, true}));
    // Reading stops at a line that is no Boolean.
    EXPECT_EQ(ParseTreeExpansion("-1\nzz\n0\n"), (std::vector<bool>{true}));
    EXPECT_TRUE(ParseTreeExpansion("").empty());
    EXPECT_EQ(GroupListText({{0, "A"}, {1, QString::fromUtf8("Б")}, {2, "C"}, {0, "D"}}),
              QByteArray("A\r\n  ") + QString::fromUtf8("Б").toUtf8() + "\r\n    C\r\nD\r\n");
    EXPECT_EQ(GroupPath({"A", "B", "C"}), "A\\B\\C");
}

TEST_F(HostPageTest, TheHostMenuRowIsTheShownCurrentRowElseTheFirstShown) {
    EXPECT_EQ(HostMenuRow(Grid), -1); // an empty table
    Load({{"a", "127.0.0.1", "1"}, {"b", "127.0.0.2", "2"}, {"c", "127.0.0.3", "2"}});
    ApplyIpFilter(Grid, "127.0.0.", false, "2"); // group 1 keeps its flag
    Grid.SetRowVisible(0, false);
    EXPECT_EQ(HostMenuRow(Grid), 1); // row 0 is hidden
    Grid.SetSelectedRow(2);
    EXPECT_EQ(HostMenuRow(Grid), 2);
    Grid.SetRowVisible(2, false); // a current row that was filtered away
    EXPECT_EQ(HostMenuRow(Grid), 1);
    Grid.SetRowVisible(1, false);
    EXPECT_EQ(HostMenuRow(Grid), -1);
}

TEST_F(HostPageTest, TheEditDialogTakesNineteenFieldsOfTheRow) {
    Load({{"He said \"hi\"", "fe80::1", "2", "OK", "IP", 3}});
    const QHash<QString, QString> fields = HostDialogFields(Grid, 0);
    EXPECT_EQ(fields.size(), 19);
    EXPECT_EQ(HostDialogFieldColumns().size(), 19);
    EXPECT_EQ(fields.value("Host"), "He said \"hi\"");
    EXPECT_EQ(fields.value("IP"), "fe80::1");
    EXPECT_EQ(fields.value("HType"), "3");
    EXPECT_EQ(fields.value("Note_"), "IP");
    EXPECT_TRUE(fields.contains("Http_Check"));
    EXPECT_FALSE(fields.contains("N_group"));
    EXPECT_TRUE(HostDialogFields(Grid, 1).isEmpty());
    EXPECT_TRUE(HostDialogFields(Grid, -1).isEmpty());
}

TEST(HostPageLayout, NoteFillsTheRestButKeepsItsMinimum) {
    // Own width plus the grid width minus the visible widths minus 20.
    EXPECT_EQ(NoteColumnWidth(100, 600, 800, 30), 280);
    EXPECT_EQ(NoteColumnWidth(100, 900, 800, 30), 30);
    EXPECT_EQ(NoteColumnWidth(100, 780, 800, 8), 100);
}

TEST(HostViewState, TheLoadChoosesTheFirstGroupOrShowsEveryHost) {
    TDatabaseLoadResult result;
    result.HasGroups = true;
    result.FirstGroup = "7";
    result.SelectedGroup = 7;
    SetHostViewFromLoad(result);
    EXPECT_FALSE(HostView.ShowAllHosts);
    EXPECT_EQ(HostView.SelectedGroup, 7);
    EXPECT_EQ(HostView.CurrentGroupText, "7");
    SetHostViewFromLoad(TDatabaseLoadResult{});
    EXPECT_TRUE(HostView.ShowAllHosts);
    EXPECT_EQ(HostView.CurrentGroupText, "");
}
