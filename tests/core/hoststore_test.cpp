// The host store: inserts that return their own row's id while other threads insert on the same
// connection, bound values that round-trip exactly, column names only from the schema, the
// engine's write-backs as stored, and the loader's and engine's reads.
#include "core/DatabaseSchema.h"
#include "core/HostStore.h"
#include "core/SQLiteDb.h"
#include "tests/core/store_fixture.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

namespace {

using HostStoreTest = StoreFixture;

} // namespace

TEST_F(HostStoreTest, EachInsertGetsItsOwnIdWhileOtherThreadsInsert) {
    constexpr int Threads = 4;
    constexpr int PerThread = 60;
    std::vector<std::vector<std::pair<qint64, QString>>> made(Threads);
    std::vector<std::thread> workers;
    for (int t = 0; t < Threads; ++t) {
        workers.emplace_back([&, t] {
            for (int i = 0; i < PerThread; ++i) {
                const QString name = QStringLiteral("t%1-%2").arg(t).arg(i);
                made[t].emplace_back(Store.InsertHost({"host", "IP"}, {name, "127.0.0.1"}), name);
                // Another statement between inserts on the same connection.
                Db.ExecuteStatement("insert into program_log (Date_time,Status) values ('1', ?)", {name});
            }
        });
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    std::set<qint64> ids;
    for (const auto& list : made) {
        for (const auto& [id, name] : list) {
            EXPECT_EQ(One("select host from hosts where id=?", {id}), name);
            ids.insert(id);
        }
    }
    EXPECT_EQ(ids.size(), std::size_t(Threads * PerThread));
}

TEST_F(HostStoreTest, InsertBindsEveryValueAndTakesOnlySchemaColumns) {
    const qint64 id = Store.InsertHost({"HOST", "note_", "N_group", "Comunity"},
                                       {"He said \"hi\"", "IP", 7, "Сеть; drop table hosts"});
    EXPECT_EQ(One("select host from hosts where id=?", {id}), "He said \"hi\"");
    EXPECT_EQ(One("select Note_ from hosts where id=?", {id}), "IP");
    EXPECT_EQ(One("select N_group from hosts where id=?", {id}), "7");
    EXPECT_EQ(One("select Comunity from hosts where id=?", {id}), "Сеть; drop table hosts");
    EXPECT_THROW(Store.InsertHost({"host", "id) values (1); --"}, {"a", "b"}), ESQLiteException);
    EXPECT_THROW(Store.InsertHost({"nosuch"}, {"a"}), ESQLiteException);
    EXPECT_THROW(Store.InsertHost({"host", "IP"}, {"only one"}), ESQLiteException);
    EXPECT_THROW(Store.InsertHost({}, {}), ESQLiteException);
    EXPECT_EQ(One("select count(*) from hosts"), "1");
}

TEST_F(HostStoreTest, AnInsertThatInsertsNothingRaisesInsteadOfGivingAnOldId) {
    Store.InsertHost({"id", "host"}, {5, "first"});
    EXPECT_THROW(Db.ExecuteInsert("insert or ignore into hosts (id,host) values (5,'again')"),
                 ESQLiteException);
    EXPECT_EQ(Db.ExecuteInsert("insert into hosts (host) values ('next')"), 6);
    TSQLiteDatabase closed;
    EXPECT_THROW(closed.ExecuteInsert("insert into hosts (host) values ('x')"), ESQLiteException);
}

TEST_F(HostStoreTest, WriteBacksStoreTheirValues) {
    const qint64 id = Store.InsertHost({"host"}, {"router"});
    const QString kod = QString::number(id);
    Store.Run(THostStore::EventWriteBack(
        {"1", "2", "3", "4", "ICMP \"down\"", "SNMP", "Latency", "Loss", "5", "HTTP"}, kod));
    auto row = Db.OpenResultTable(
        "select SNMP_kol_vo_p,Latency_kol_vo_p,P_lost_kol_vo_p,ICMP_kol_vo_p,ICMP_Status,"
        "SNMP_Status,Latency_Status,P_lost_Status,Http_Kol_vo,Http_Status from hosts where id=?",
        {id});
    QStringList stored;
    for (int c = 0; c < row->ColumnCount(); ++c) {
        stored << row->FieldTextOrEmpty(c);
    }
    EXPECT_EQ(stored,
              (QStringList{"1", "2", "3", "4", "ICMP \"down\"", "SNMP", "Latency", "Loss", "5", "HTTP"}));
    // A write-back with a value missing is refused, never half stored.
    EXPECT_THROW(THostStore::EventWriteBack({"1", "2"}, kod), ESQLiteException);
    Store.Run(THostStore::StatusWriteBack({"Down", "log text", "3", "1.1.2030 10:00:00"}, kod));
    EXPECT_EQ(One("select Status||'|'||Log||'|'||Kol_vo_p||'|'||Date_Pod from hosts where id=?", {id}),
              "Down|log text|3|1.1.2030 10:00:00");
    Store.Run(THostStore::ColumnWriteBack("avarage_latency", "17", kod));
    EXPECT_EQ(One("select Avarage_Latency from hosts where id=?", {id}), "17");
    EXPECT_THROW(THostStore::ColumnWriteBack("Status= 'x', IP", "y", kod), ESQLiteException);
    Store.Run(THostStore::EventLogInsert("1700000000", "Сбой", "ID", kod));
    EXPECT_EQ(One("select Date_time||'|'||L_Status||'|'||Stat_D||'|'||ID_h_d from log"),
              "1700000000|Сбой|ID|" + kod);

    Db.ExecuteStatement(
        "insert into m_port (id,ID_h,in_notiffication,out_notiffication) values (7,?,'0','0')", {id});
    Store.Run(THostStore::PortAlarmWriteBack(true, "-1", "7"));
    EXPECT_EQ(One("select in_notiffication||out_notiffication from m_port"), "-10");
    Store.Run(THostStore::PortAlarmWriteBack(false, "-1", "7"));
    EXPECT_EQ(One("select in_notiffication||out_notiffication from m_port"), "-1-1");
    // A statement that fails is discarded.
    EXPECT_NO_THROW(Store.Run({"UPDATE nosuch SET x=?", {"1"}}));
}

TEST_F(HostStoreTest, ReadsKeepTheTablesColumnOrder) {
    const qint64 id = Store.InsertHost({"host", "IP"}, {"a", "10.0.0.1"});
    auto hosts = Store.SelectHosts();
    ASSERT_EQ(hosts->RowCount(), 1);
    EXPECT_EQ(hosts->ColumnCount(), 40);
    EXPECT_EQ(hosts->FieldTextOrEmpty(1), "a");
    EXPECT_EQ(hosts->FieldTextOrEmpty(4), "10.0.0.1");
    EXPECT_EQ(Store.SelectHost(QString::number(id))->FieldTextOrEmpty(1), "a");
    EXPECT_EQ(Store.SelectHost("99")->RowCount(), 0);

    Db.ExecuteStatement(
        "insert into list_group (Name,N_group,parent_id) values ('Группа',1,''),('sub',2,'1')");
    auto groups = Store.SelectGroups();
    ASSERT_EQ(groups->RowCount(), 2);
    EXPECT_EQ(groups->FieldTextOrEmpty(1), "Группа");
    EXPECT_EQ(Store.SelectGroupByNumber("2")->FieldTextOrEmpty(3), "1");

    Db.ExecuteStatement(
        "insert into m_port (id,ID_h,Nomer_p,Name_p,Enabled_p,speed) values (3,?,2,'eth1','-1','100')", {id});
    auto all = Store.SelectHostPorts(QString::number(id));
    EXPECT_EQ(all->ColumnCount(), 12);
    EXPECT_EQ(all->FieldTextOrEmpty(3), "eth1");
    auto sampled = Store.SelectSampledPorts(QString::number(id));
    ASSERT_EQ(sampled->ColumnCount(), 5);
    EXPECT_EQ(sampled->FieldTextOrEmpty(0), "3");
    EXPECT_EQ(sampled->FieldTextOrEmpty(1), "2");
    EXPECT_EQ(sampled->FieldTextOrEmpty(2), "eth1");
    EXPECT_EQ(sampled->FieldTextOrEmpty(3), "-1");
    EXPECT_EQ(sampled->FieldTextOrEmpty(4), "100");
}
