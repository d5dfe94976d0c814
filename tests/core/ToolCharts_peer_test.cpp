// The tools window's chart data against tables the sqlite3 shell seeds and reads: hour bounds and
// minute slots, scaling and units, wall-clock times under two zones, real-time sampling and the
// alarm settings' stored values.
#include "core/DatabaseSchema.h"
#include "core/SQLiteDb.h"
#include "core/TextConversions.h"
#include "core/ToolCharts.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <map>

using namespace zt::test;

namespace {

class ToolChartsPeerTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveProgram("sqlite3"))
            GTEST_SKIP() << "sqlite3 shell not installed";
        Path = Dir.path() + "/charts.db";
        Db.Open(QString::fromStdString(Path));
        CreateMissingTables(Db);
        CreateMissingIndexes(Db);
        Db.Close();
    }
    void TearDown() override {
        if (Db.IsOpen())
            Db.Close();
    }
    std::string Shell(const std::string& Sql) {
        return RunCommand("sqlite3 '" + Path + "' \"" + Sql + "\" 2>&1");
    }
    void Reopen() { Db.Open(QString::fromStdString(Path)); }
    std::string Batch(const std::string& Sql) {
        const std::string file = Dir.path() + "/batch.sql";
        FILE* f = std::fopen(file.c_str(), "w");
        std::fputs(Sql.c_str(), f);
        std::fclose(f);
        return RunCommand("sqlite3 '" + Path + "' < '" + file + "' 2>&1");
    }
    // 2026-03-10 12:30:00 wall clock.
    static QDateTime End() { return QDateTime(QDate(2026, 3, 10), QTime(12, 30, 0)); }
    static qint64 EndSeconds() { return ChartWallSeconds(End()); }

    TempDir Dir;
    std::string Path;
    TSQLiteDatabase Db;
};

TEST(ToolChartsScale, UnitLadderAndAxes) {
    EXPECT_EQ(ScaleBitRate(125 * 8).Unit, "Bit/s");
    EXPECT_EQ(ScaleBitRate(1000).Unit, "Bit/s"); // strictly more than 1000 moves up
    EXPECT_EQ(ScaleBitRate(1001).Unit, "KBit/s");
    TBitRateScale mbit = ScaleBitRate(3500000.0 * 8);
    EXPECT_EQ(mbit.Unit, "MBit/s");
    EXPECT_EQ(mbit.Divisions, 2);
    EXPECT_DOUBLE_EQ(mbit.Scale(28000000), 28);
    EXPECT_EQ(TrafficAxisMaximum(mbit.ScaledMax), 29);
    EXPECT_EQ(ScaleBitRate(1e40).Unit, "YBit/s");
    EXPECT_EQ(ScaleBitRate(1e40).Divisions, 8);
    EXPECT_EQ(BitRateUnits().size(), 9);

    EXPECT_EQ(LatencyAxisMaximum(12), 13);
    EXPECT_EQ(LatencyAxisMaximum(200), 210);
    EXPECT_EQ(LatencyAxisMaximum(19), 20);
    EXPECT_EQ(LatencyAxisMaximum(20), 21);
    EXPECT_EQ(LatencyAxisMaximum(0), 1);
}

TEST(ToolChartsScale, RealtimeRateRule) {
    EXPECT_EQ(RealtimeRate(150000, 100000, 5, 0, 7), 10000);
    EXPECT_EQ(RealtimeRate(90000, 100000, 5, 0, 7), 7);          // counter drop
    EXPECT_EQ(RealtimeRate(150000, 100000, 5, 80000, 7), 7);     // rate x 8 reaches the speed
    EXPECT_EQ(RealtimeRate(150000, 100000, 5, 80001, 7), 10000); // just below it
    EXPECT_EQ(RealtimeRate(150000, 0, 5, 0, 7), 7);              // no previous counter
    EXPECT_EQ(RealtimeRate(150000, 100000, 0, 0, 7), 50000);     // at least one second
}

TEST(ToolChartsScale, PresetsKeepX) {
    EXPECT_EQ(SnmpChartPresetOid(1), "1.3.6.1.2.1.1.3.0");
    EXPECT_EQ(SnmpChartPresetOid(2), "1.3.6.1.4.1.9.2.1.57.0");
    EXPECT_EQ(SnmpChartPresetOid(3), "1.3.6.1.4.1.9.2.1.8.0");
    EXPECT_EQ(SnmpChartPresetOid(4), "1.3.6.1.2.1.2.2.1.14.X");
    EXPECT_EQ(SnmpChartPresetOid(5), "1.3.6.1.2.1.2.2.1.20.X");
    EXPECT_EQ(SnmpChartPresetOid(6), "1.3.6.1.2.1.2.2.1.8.X");
    EXPECT_EQ(SnmpChartPresetOid(0), "");
    EXPECT_EQ(SnmpChartPresetOid(7), "");
}

TEST_F(ToolChartsPeerTest, TrafficHourBoundsAndSlots) {
    const qint64 end = EndSeconds();
    std::string sql = "BEGIN;";
    auto row = [&](qint64 t, int out, int in) {
        sql +=
            "insert into traf_p (ID_p,T_in,T_out,date_time,Curr_traf_out,Curr_traf_in) values (5,'1','1','" +
            std::to_string(t) + "','" + std::to_string(out) + "','" + std::to_string(in) + "');";
    };
    for (int k = 0; k < 60; ++k)
        row(end - k * 60, 1000, 10);    // one sample in each of the 60 minutes
    row(end - 61 * 60, 999999, 999999); // 61 minutes before
    row(end + 60, 999999, 999999);      // 1 minute after
    row(end - 86400, 999999, 999999);   // the same minute yesterday
    sql += "insert into traf_p (ID_p,T_in,T_out,date_time,Curr_traf_out,Curr_traf_in) values (6,'1','1','" +
           std::to_string(end) + "','999999','999999');"; // another interface
    sql += "COMMIT;";
    ASSERT_EQ(Batch(sql), "");
    Reopen();
    TTrafficChartData data = LoadTrafficChart(Db, "5", End());
    ASSERT_EQ(data.Out.size(), 60u);
    ASSERT_EQ(data.In.size(), 60u);
    // 1000 B/s out = 8000 bit/s: KBit/s, green at 8; in 80 bit/s at 0.08.
    EXPECT_EQ(data.Scale.Unit, "KBit/s");
    EXPECT_DOUBLE_EQ(data.Out.front().Value, 8);
    EXPECT_DOUBLE_EQ(data.In.front().Value, 0.08);
    EXPECT_EQ(data.AxisMax, 8);
    EXPECT_EQ(data.Out.front().WallSeconds, end - 59 * 60);
    EXPECT_EQ(data.Out.back().WallSeconds, end);
}

TEST_F(ToolChartsPeerTest, TrafficGreenAndBlueUnscaled) {
    const qint64 end = EndSeconds();
    ASSERT_EQ(Shell("insert into traf_p (ID_p,date_time,Curr_traf_out,Curr_traf_in) values (5,'" +
                    std::to_string(end - 30) + "','100','10')"),
              "");
    Reopen();
    TTrafficChartData data = LoadTrafficChart(Db, "5", End());
    ASSERT_EQ(data.Out.size(), 1u);
    EXPECT_EQ(data.Scale.Unit, "Bit/s");
    EXPECT_DOUBLE_EQ(data.Out[0].Value, 800);
    EXPECT_DOUBLE_EQ(data.In[0].Value, 80);
    EXPECT_EQ(data.AxisMax, 840);
}

TEST_F(ToolChartsPeerTest, LatencyHourAndLostReplies) {
    const qint64 end = EndSeconds();
    ASSERT_EQ(Batch("BEGIN;"
                    "insert into Ping_data (ID_h,Timeout,T_out,date_time) values (3,'12','x','" +
                    std::to_string(end - 600) + "');" +
                    "insert into Ping_data (ID_h,Timeout,date_time) values (3,'lost','" +
                    std::to_string(end - 300) + "');" +
                    "insert into Ping_data (ID_h,Timeout,date_time) values (3,'5000','" +
                    std::to_string(end - 3600) + "');" + // exactly one hour before: outside
                    "insert into Ping_data (ID_h,Timeout,date_time) values (3,'5000','" +
                    std::to_string(end + 1) + "');" +
                    "insert into Ping_data (ID_h,Timeout,date_time) values (4,'5000','" +
                    std::to_string(end) + "');COMMIT;"),
              "");
    Reopen();
    TLatencyChartData data = LoadLatencyChart(Db, "3", End(), 150);
    ASSERT_EQ(data.Points.size(), 2u);
    EXPECT_DOUBLE_EQ(data.Points[0].Value, 12);
    EXPECT_DOUBLE_EQ(data.Points[1].Value, 150); // a lost reply at the time-out
    EXPECT_EQ(data.Max, 150);
    EXPECT_EQ(data.AxisMax, 157);
    Db.Close();
    ASSERT_EQ(Shell("delete from Ping_data where Timeout='lost'"), "");
    Reopen();
    EXPECT_EQ(LoadLatencyChart(Db, "3", End(), 150).AxisMax, 13);
}

TEST_F(ToolChartsPeerTest, WallTimeUnderTwoZones) {
    for (const char* zone : {"UTC", "Asia/Kolkata"}) {
        zt::test::ScopedTimeZone scoped(zone);
        const QDateTime noon(QDate(2026, 3, 10), QTime(12, 0));
        const qint64 stored = ChartWallSeconds(noon);
        // The sampler stores times this way; the chart must read the same wall clock back.
        EXPECT_EQ(stored, UnixTimeFromDateTime(QDateTimeToDateTime(noon))) << zone;
        EXPECT_EQ(ChartWallTime(stored).time(), QTime(12, 0)) << zone;
        EXPECT_EQ(ChartWallTime(stored).date(), QDate(2026, 3, 10)) << zone;
    }
}

TEST_F(ToolChartsPeerTest, RealtimeSamplesAndChart) {
    ASSERT_EQ(
        Shell("insert into m_port (id,ID_h,Nomer_p,Name_p,Enabled_p,speed) values (9,1,2,'eth0','-1','1')"),
        "");
    Reopen();
    std::map<std::string, std::string> answers{{"1.3.6.1.2.1.2.2.1.10.2", "100000"},
                                               {"1.3.6.1.2.1.2.2.1.16.2", "4294967396"}}; // low 32 bits: 100
    int queries = 0;
    TRealtimeQuery query = [&](const QString& Address, const QString& Community, const QString& Oid) {
        ++queries;
        EXPECT_EQ(Address, "127.0.0.1");
        EXPECT_EQ(Community, "public");
        return QString::fromStdString(answers[Oid.toStdString()]);
    };
    TRealtimeTarget target{"9", "127.0.0.1", "public"};
    const qint64 t0 = 1773145800;
    ASSERT_TRUE(RealtimeSample(Db, target, query, t0));
    answers["1.3.6.1.2.1.2.2.1.10.2"] = "150000"; // 50,000 octets in 5 s
    answers["1.3.6.1.2.1.2.2.1.16.2"] = "4294967496";
    ASSERT_TRUE(RealtimeSample(Db, target, query, t0 + 5));
    answers["1.3.6.1.2.1.2.2.1.10.2"] = "140000"; // a drop: the last rate again
    answers["1.3.6.1.2.1.2.2.1.16.2"] = "";       // silent: the value read before stays
    ASSERT_TRUE(RealtimeSample(Db, target, query, t0 + 10));
    answers["1.3.6.1.2.1.2.2.1.10.2"] = "1000000"; // 172,000 B/s x 8 above 1 Mbit/s: rejected
    ASSERT_TRUE(RealtimeSample(Db, target, query, t0 + 15));
    EXPECT_FALSE(RealtimeSample(Db, TRealtimeTarget{"10", "127.0.0.1", "public"}, query, t0));
    Db.Close();
    EXPECT_EQ(
        Shell("select ID_p,T_in,T_out,date_time,curr_traf_in,curr_traf_out from realtime_traf_p order by id"),
        "9|100000|100|1773145800|0|0\n"
        "9|100000|100|1773145800|0|0\n"
        "9|150000|200|1773145805|10000|20\n"
        "9|140000|0|1773145810|10000|20\n"
        "9|1000000|0|1773145815|10000|20\n");
    Reopen();
    TTrafficChartData chart = LoadRealtimeChart(Db, "9", t0 + 15);
    ASSERT_EQ(chart.In.size(), 5u);
    EXPECT_EQ(chart.Scale.Unit, "KBit/s");
    EXPECT_DOUBLE_EQ(chart.In[2].Value, 80);
    EXPECT_DOUBLE_EQ(chart.Out[2].Value, 0.16);
    EXPECT_EQ(LoadRealtimeChart(Db, "9", t0 + 80).In.size(), 0u);
    ClearRealtimeTraffic(Db);
    Db.Close();
    EXPECT_EQ(Shell("select count(*) from realtime_traf_p"), "0\n");
}

TEST_F(ToolChartsPeerTest, TrafficAlarmStoredAndLoaded) {
    ASSERT_EQ(
        Shell("insert into m_port (id,ID_h,Nomer_p,alarm_traf_in,alarm_traf_out,in_value_pers,out_value_per) "
              "values (4,1,1,'0','0','70','70'),(5,1,2,'0','0','70','70')"),
        "");
    Reopen();
    StoreTrafficAlarm(Db, "4", true, false, 35, 90);
    TTrafficAlarm alarm;
    ASSERT_TRUE(LoadTrafficAlarm(Db, "4", alarm));
    EXPECT_TRUE(alarm.InAlarm);
    EXPECT_FALSE(alarm.OutAlarm);
    EXPECT_EQ(alarm.InPercent, 35);
    EXPECT_EQ(alarm.OutPercent, 90);
    // An id carrying SQL is only a value.
    StoreTrafficAlarm(Db, "5 or 1=1", true, true, 1, 1);
    EXPECT_FALSE(LoadTrafficAlarm(Db, "77", alarm));
    Db.Close();
    EXPECT_EQ(
        Shell("select id,alarm_traf_in,alarm_traf_out,in_value_pers,out_value_per from m_port order by id"),
        "4|-1|0|35|90\n5|0|0|70|70\n");
}

} // namespace
