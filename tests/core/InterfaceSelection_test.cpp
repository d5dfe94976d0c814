// Saving a host's interface selection into m_port: the stored values of new rows, the rows that
// are kept with their ids and settings, the other hosts, and the savepoint under the lock that
// keeps the old selection (and only that) when a statement of the save fails.
#include "core/InterfaceSelection.h"

#include "core/DatabaseSchema.h"
#include "core/SQLiteDb.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

using Rows = std::vector<std::vector<std::string>>;

class InterfaceSelectionTest : public ::testing::Test {
protected:
    void SetUp() override { CreateMissingTables(Db); }

    Rows Select(const QString& Sql) {
        Rows rows;
        auto table = Db.OpenResultTable(Sql);
        for (; !table->AtEnd(); table->NextRow()) {
            std::vector<std::string> row;
            for (int i = 0; i < table->ColumnCount(); ++i)
                row.push_back(table->FieldTextOrEmpty(i).toStdString());
            rows.push_back(row);
        }
        return rows;
    }
    // Every column but in_notiffication/out_notiffication, for one host, by id.
    Rows Ports(const char* Host) {
        return Select(QStringLiteral("select id,ID_h,Nomer_p,Name_p,Enabled_p,alarm_traf_in,alarm_traf_out,"
                                     "in_value_pers,out_value_per,speed from m_port where ID_h=") +
                      QLatin1String(Host) + QStringLiteral(" order by id"));
    }
    void Stored(int Id, int Host, int Index, const char* Name, const char* Enabled, const char* In = "-1",
                const char* Out = "0", const char* InPct = "35", const char* OutPct = "45",
                const char* Speed = "1000") {
        Db.ExecuteStatement(
            "insert into m_port (id,ID_h,Nomer_p,Name_p,Enabled_p,alarm_traf_in,alarm_traf_out,in_value_pers,"
            "out_value_per,in_notiffication,speed) values (?,?,?,?,?,?,?,?,?,?,?)",
            {Id, Host, Index, Name, Enabled, In, Out, InPct, OutPct, "-1", Speed});
    }

    zt::test::TempDir Dir;
    TSQLiteDatabase Db{QString::fromStdString(Dir.file("t.db"))};
};

} // namespace

TEST_F(InterfaceSelectionTest, StoredSpeed) {
    EXPECT_EQ(StoredInterfaceSpeed("1000"), "1000");
    EXPECT_EQ(StoredInterfaceSpeed("0"), "100");
    EXPECT_EQ(StoredInterfaceSpeed(""), "100");
    EXPECT_EQ(StoredInterfaceSpeed("10"), "10");
}

TEST_F(InterfaceSelectionTest, FirstSaveStoresEveryListedInterface) {
    SaveInterfaceSelection(Db, "7",
                           {{"1", "eth0 - Intel Ethernet - uplink", true, "1000"},
                            {"2", "eth1 - backup", false, "0"},
                            {"10001", "He said \"hi\", IP", true, ""}});
    EXPECT_EQ(Ports("7"),
              (Rows{{"1", "7", "1", "eth0 - Intel Ethernet - uplink", "-1", "0", "0", "70", "70", "1000"},
                    {"2", "7", "2", "eth1 - backup", "0", "0", "0", "70", "70", "100"},
                    {"3", "7", "10001", "He said \"hi\", IP", "-1", "0", "0", "70", "70", "100"}}));
    EXPECT_EQ(Select("select in_notiffication, out_notiffication from m_port where id=1"), (Rows{{"", ""}}));
}

TEST_F(InterfaceSelectionTest, InterfacesThatStaySelectedKeepTheirRowAndHistory) {
    Stored(11, 7, 1, "eth0", "-1");
    Stored(12, 7, 2, "eth1", "-1", "0", "-1", "20", "30", "100");
    Stored(13, 7, 3, "eth2", "0");
    Stored(14, 7, 9, "gone", "-1");
    Db.ExecuteStatement("insert into traf_p (ID_p, T_in, T_out, date_time) values ('11', '5', '6', '100')");

    SaveInterfaceSelection(Db, "7",
                           {{"1", "eth0 renamed", true, "10"},
                            {"2", "eth1", false, "100"},
                            {"3", "eth2", true, "0"},
                            {"4", "eth3", false, "1000"}});
    // 1 stays whole (name and speed included); 2 was deselected and 3 newly selected: both
    // replaced; 9 is no longer listed: gone; 4 is new.
    EXPECT_EQ(Ports("7"), (Rows{{"11", "7", "1", "eth0", "-1", "-1", "0", "35", "45", "1000"},
                                {"15", "7", "2", "eth1", "0", "0", "0", "70", "70", "100"},
                                {"16", "7", "3", "eth2", "-1", "0", "0", "70", "70", "100"},
                                {"17", "7", "4", "eth3", "0", "0", "0", "70", "70", "1000"}}));
    EXPECT_EQ(Select("select in_notiffication from m_port where id=11"), (Rows{{"-1"}}));
    EXPECT_EQ(Select("select ID_p, T_in from traf_p"), (Rows{{"11", "5"}}));
}

TEST_F(InterfaceSelectionTest, OtherHostsAreNotTouched) {
    Stored(1, 7, 1, "a", "-1");
    Stored(2, 8, 1, "b", "-1");
    Stored(3, 8, 2, "c", "0");
    const Rows before = Ports("8");
    SaveInterfaceSelection(Db, "7", {{"2", "x", true, "1"}});
    EXPECT_EQ(Ports("8"), before);
    EXPECT_EQ(Ports("7"), (Rows{{"4", "7", "2", "x", "-1", "0", "0", "70", "70", "1"}}));
}

TEST_F(InterfaceSelectionTest, AnEmptyListLeavesTheHostWithoutInterfaces) {
    Stored(1, 7, 1, "a", "-1");
    SaveInterfaceSelection(Db, "7", {});
    EXPECT_TRUE(Ports("7").empty());
}

TEST_F(InterfaceSelectionTest, DuplicateStoredRowsOfOneInterfaceCollapse) {
    Stored(1, 7, 5, "a", "-1");
    Stored(2, 7, 5, "a again", "-1");
    SaveInterfaceSelection(Db, "7", {{"5", "a", true, "1"}});
    EXPECT_EQ(Ports("7"), (Rows{{"1", "7", "5", "a", "-1", "-1", "0", "35", "45", "1000"}}));
}

TEST_F(InterfaceSelectionTest, AFailingInsertKeepsTheOldSelection) {
    Stored(11, 7, 1, "eth0", "-1");
    Stored(12, 7, 2, "eth1", "0");
    const Rows before = Ports("7");
    // The second insert of the save fails.
    Db.ExecuteStatement("create table inserts (n INTEGER)");
    Db.ExecuteStatement("create trigger fail_second before insert on m_port begin "
                        "insert into inserts values (1); "
                        "select raise(abort, 'refused') where (select count(*) from inserts) = 2; end");
    EXPECT_THROW(SaveInterfaceSelection(Db, "7", {{"1", "eth0", false, "1"}, {"2", "eth1", true, "1"}}),
                 ESQLiteException);
    EXPECT_EQ(Ports("7"), before);
    EXPECT_EQ(Select("select count(*) from inserts"), (Rows{{"0"}}));
    // Nothing is left open: the next save goes through.
    Db.ExecuteStatement("drop trigger fail_second");
    SaveInterfaceSelection(Db, "7", {{"1", "eth0", true, "1"}});
    EXPECT_EQ(Ports("7"), (Rows{{"11", "7", "1", "eth0", "-1", "-1", "0", "35", "45", "1000"}}));
}

TEST_F(InterfaceSelectionTest, InsideTheLongTransactionAFailureUndoesOnlyTheSave) {
    Db.StartTransaction();
    Db.ExecuteStatement("insert into program_log (Date_time, Status) values ('1', 'before')");
    Stored(11, 7, 1, "eth0", "-1");
    Db.ExecuteStatement("create trigger fail_all before insert on m_port when new.Name_p = 'bad' begin "
                        "select raise(abort, 'x'); end");
    EXPECT_THROW(SaveInterfaceSelection(Db, "7", {{"2", "bad", true, "1"}}), ESQLiteException);
    EXPECT_TRUE(Db.InTransaction());
    SaveInterfaceSelection(Db, "7", {{"1", "eth0", true, "1"}, {"3", "ok", true, "1"}});
    Db.CommitTransaction();
    EXPECT_EQ(Select("select Status from program_log"), (Rows{{"before"}}));
    EXPECT_EQ(Select("select id, Nomer_p from m_port order by id"), (Rows{{"11", "1"}, {"12", "3"}}));
}

// A sampler writing through the same connection meanwhile: its rows are neither undone by a failed
// save nor split into it.
TEST_F(InterfaceSelectionTest, InterleavedWritesOfAnotherThreadSurviveAFailedSave) {
    Db.ExecuteStatement("create trigger fail_eth9 before insert on m_port when new.Name_p = 'eth9' begin "
                        "select raise(abort, 'x'); end");
    Db.StartTransaction();
    std::atomic<bool> stop{false};
    std::atomic<int> written{0};
    std::thread sampler([&] {
        while (!stop.load() && written.load() < 20000) {
            Db.ExecuteStatement(
                "insert into traf_p (ID_p, T_in, T_out, date_time) values ('1', '2', '3', '4')");
            ++written;
        }
    });
    int failed = 0;
    for (int i = 0; i < 200; ++i) {
        std::vector<TListedInterface> list;
        for (int n = 1; n <= 8; ++n)
            list.push_back({QString::number(n), QStringLiteral("eth%1").arg(n), n % 2 == 0, "1"});
        list.push_back({"9", "eth9", true, "1"});
        try {
            SaveInterfaceSelection(Db, "7", list);
        } catch (const ESQLiteException&) {
            ++failed;
        }
    }
    stop.store(true);
    sampler.join();
    Db.CommitTransaction();
    EXPECT_EQ(failed, 200);
    EXPECT_EQ(Select("select count(*) from traf_p"), (Rows{{std::to_string(written.load())}}));
    EXPECT_TRUE(Ports("7").empty());
}

TEST_F(InterfaceSelectionTest, SavepointBatchReleasesOrRollsBack) {
    Db.RunInSavepoint([](TSQLiteBatch& Batch) {
        Batch.ExecuteStatement("insert into program_log (Date_time, Status) values (?, ?)", {"1", "kept"});
        EXPECT_EQ(Batch.OpenResultTable("select count(*) from program_log")->FieldText(0), "1");
    });
    EXPECT_FALSE(Db.InTransaction());
    EXPECT_THROW(Db.RunInSavepoint([](TSQLiteBatch& Batch) {
        Batch.ExecuteStatement("insert into program_log (Date_time, Status) values (?, ?)", {"2", "undone"});
        throw ESQLiteException("stop");
    }),
                 ESQLiteException);
    EXPECT_EQ(Select("select Status from program_log"), (Rows{{"kept"}}));
    TSQLiteDatabase closed;
    bool ran = false;
    EXPECT_THROW(closed.RunInSavepoint([&](TSQLiteBatch&) { ran = true; }), ESQLiteException);
    EXPECT_FALSE(ran);
}
