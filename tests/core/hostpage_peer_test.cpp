// The host page's statements as sqlite3 reads them: deletes of selected hosts (their hosts,
// m_port, log and Ping_data rows go, traf_p stays), group create, sub-group, rename with quoted and
// Cyrillic names, delete and move.
#include "core/DatabaseLoader.h"
#include "core/DatabaseSchema.h"
#include "core/HostGrid.h"
#include "core/HostPage.h"
#include "core/HostStore.h"
#include "core/SQLiteDb.h"
#include "grid/GxGrid.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

class HostPagePeerTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!zt::test::HaveProgram("sqlite3"))
            GTEST_SKIP() << "sqlite3 missing";
        Path = Dir.file("dbm.db");
        Db.Open(QString::fromStdString(Path));
        CreateMissingTables(Db);
        CreateHostGridColumns(Grid);
    }
    std::string Sql(const std::string& Query) {
        Db.Close();
        const std::string out = zt::test::RunCommand("sqlite3 " + Path + " \"" + Query + "\"");
        Db.Open(QString::fromStdString(Path));
        return out;
    }
    QString Text(const char* Column, int Row) {
        return Grid.CellText(Grid.ColumnIndex(QLatin1String(Column)), Row);
    }

    zt::test::TempDir Dir;
    std::string Path;
    TSQLiteDatabase Db;
    THostStore Store{Db};
    TDataGrid Grid;
};

} // namespace

TEST_F(HostPagePeerTest, DeletingSelectedShownHostsTakesTheirRowsButNotTraffic) {
    for (int i = 1; i <= 11; ++i) {
        const qint64 id = Store.InsertHost({"host", "N_group"}, {QString("h%1").arg(i), i == 11 ? "2" : "1"});
        Db.ExecuteStatement("insert into m_port (ID_h) values (?)", {id});
        Db.ExecuteStatement("insert into log (ID_h_d) values (?)", {id});
        Db.ExecuteStatement("insert into Ping_data (ID_h) values (?)", {id});
        Db.ExecuteStatement("insert into traf_p (ID_p) values (?)", {id});
    }
    LoadHostsIntoGrid(Db, Grid, nullptr, QString());
    ShowGroupHosts(Grid, "1");
    ASSERT_EQ(Grid.VisibleRowCount(), 10);
    for (int row : {1, 4, 9})
        Grid.SetRowSelected(row, true);
    Grid.SetRowSelected(10, true); // selected but hidden: stays
    int steps = 0;
    const qint64 usualCache = Store.PageCacheKiB();
    EXPECT_EQ(DeleteHostRows(Grid, Store, RowsToDelete(Grid, true), [&] { ++steps; }), 3);
    EXPECT_EQ(steps, 3);
    // The batch's larger page cache is given back.
    EXPECT_EQ(Store.PageCacheKiB(), usualCache);
    RenumberShownRows(Grid);
    ASSERT_EQ(Grid.RowCount(), 8);
    QStringList numbers;
    for (int r = 0; r < Grid.RowCount(); ++r)
        if (Grid.GetRowVisible(r))
            numbers << Text("number_", r);
    EXPECT_EQ(numbers, QStringList({"1", "2", "3", "4", "5", "6", "7"}));
    EXPECT_EQ(Sql("select group_concat(host) from hosts"), "h1,h3,h4,h6,h7,h8,h9,h11\n");
    for (const char* table : {"m_port", "log", "Ping_data"}) {
        const std::string column = std::string(table) == "log" ? "ID_h_d" : "ID_h";
        EXPECT_EQ(Sql("select group_concat(" + column + ") from " + table), "1,3,4,6,7,8,9,11\n") << table;
    }
    EXPECT_EQ(Sql("select count(*) from traf_p"), "11\n");
    // Delete all takes every shown row, selected or not.
    EXPECT_EQ(DeleteHostRows(Grid, Store, RowsToDelete(Grid, false)), 7);
    EXPECT_EQ(Sql("select group_concat(host) from hosts"), "h11\n");
}

TEST_F(HostPagePeerTest, AFailedHostDeleteKeepsItsGridRow) {
    Store.InsertHost({"host", "N_group"}, {"keep", "1"});
    Store.InsertHost({"host", "N_group"}, {"go", "1"});
    LoadHostsIntoGrid(Db, Grid, nullptr, QString());
    Db.ExecuteStatement("create trigger no_del before delete on hosts when old.host='keep' "
                        "begin select raise(abort, 'kept'); end");
    EXPECT_EQ(DeleteHostRows(Grid, Store, RowsToDelete(Grid, false)), 1);
    ASSERT_EQ(Grid.RowCount(), 1);
    EXPECT_EQ(Text("host", 0), "keep");
    EXPECT_EQ(Sql("select group_concat(host) from hosts"), "keep\n");
}

TEST_F(HostPagePeerTest, GroupsStoreNamesExactlyAndNumbersFromTheMaximum) {
    EXPECT_EQ(Store.MaxGroupNumber(), 0);
    const QString quoted = "He said \"hi\"";
    const QString cyr = QString::fromUtf8("Серверы");
    Store.InsertGroup(quoted, Store.MaxGroupNumber() + 1);
    Store.InsertGroup("Name", 7);
    Store.InsertGroup(cyr, Store.MaxGroupNumber() + 1, "1");
    EXPECT_EQ(
        Sql("select N_group || ':' || ifnull(parent_id,'-') || ':' || Name from list_group order by ID"),
        "1:-:He said \"hi\"\n7:-:Name\n8:1:Серверы\n");
    Store.RenameGroup("7", cyr + quoted);
    Store.RenameGroup("1", "'; drop table hosts; --");
    EXPECT_EQ(Sql("select Name from list_group where N_group=7"), (cyr + quoted).toStdString() + "\n");
    EXPECT_EQ(Sql("select Name from list_group where N_group=1"), "'; drop table hosts; --\n");
    EXPECT_EQ(Sql("select count(*) from hosts"), "0\n");
    // A reload sees the same names.
    const TGroupTree tree = BuildGroupTree(Db);
    ASSERT_EQ(tree.size(), 3u);
    for (const TGroupTreeNode& node : tree) {
        if (node.Record->Group == "7") {
            EXPECT_EQ(node.Record->Name, cyr + quoted);
        }
    }

    // Moving swaps the two rows' identities; the tree loads in ID order.
    ASSERT_TRUE(SwapGroupRows(Store, "7", "1"));
    EXPECT_EQ(Sql("select N_group || ':' || ifnull(parent_id,'-') from list_group order by ID"),
              "7:-\n1:-\n8:1\n");
    EXPECT_FALSE(SwapGroupRows(Store, "7", "99"));
    Store.DeleteGroup("8");
    EXPECT_EQ(Sql("select count(*) from list_group"), "2\n");
}
