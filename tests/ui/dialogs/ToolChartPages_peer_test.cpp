// The tools window's real-time traffic page against a real SNMP agent (tests/peers/snmp-counters.sh)
// whose octet counters the test writes: the stored samples and rates, read back with the sqlite3
// shell, and a silent agent whose slow reads never let ticks pile up.
#include "core/MonitorServices.h"
#include "ui/dialogs/ToolChartPages.h"

#include "core/DatabaseSchema.h"
#include "core/HostGrid.h"
#include "core/LangTexts.h"
#include "core/SQLiteDb.h"
#include "core/ToolCharts.h"
#include "grid/GxGrid.h"
#include "tests/core/snmpsim_peer.h"
#include "tests/support/TestSupport.h"
#include "ui/dialogs/Unit_tracert.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QStackedWidget>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace zt::test;

namespace {

class RealtimePage : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveProgram("snmpd") || !HaveProgram("sqlite3"))
            GTEST_SKIP() << "snmpd or the sqlite3 shell not installed";
        LangTexts::UseBuiltInEnglish();
        CreateMissingTables(Db);
        CreateMissingIndexes(Db);
        CreateHostGridColumns(Hosts);
        Hosts.AddRow(1);
        Hosts.Cell(u"Kod_", 0).SetAsString("7");
        Hosts.Cell(u"Host", 0).SetAsString("switch");
        Hosts.Cell(u"IP", 0).SetAsString("127.0.0.1");
        Hosts.Cell(u"Comunity", 0).SetAsString("public");
        Hosts.Cell(u"Port_check", 0).SetAsBoolean(true);
        Db.ExecuteStatement("insert into m_port (id,ID_h,Nomer_p,Name_p,Enabled_p,speed) "
                            "values (41,7,2,'eth0','-1','0')");
        Form.SetDatabase(&Db);
        Form.SetHostGrid(&Hosts);
    }
    void TearDown() override {
        Form.FormCloseQuery();
        EXPECT_TRUE(Form.Charts().WaitRealtimeIdle(3000));
    }
    bool StartAgent() {
        RunCommand("mkdir -p '" + Dir.path() + "/agent/counters'");
        SetCounter("in", 100000);
        SetCounter("out", 5000);
        Agent = PeerProcess({"sh", PeerScript("snmp-counters.sh"), "agent", Dir.path() + "/agent",
                             std::to_string(AgentPort)});
        Form.SnmpPort = QString::number(AgentPort);
        for (int attempt = 0; attempt < 50 && Agent.running(); ++attempt) {
            QString reply;
            TPing_tracert_form::FormSnmpQuery("127.0.0.1", "public", "1.3.6.1.2.1.2.2.1.10.2", 160, reply,
                                              Form.SnmpPort, nullptr);
            if (reply == "100000")
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return false;
    }
    void SetCounter(const std::string& Direction, std::uint64_t Value) {
        const std::string name = Dir.path() + "/agent/counters/" + Direction + ".2";
        WriteFile(name + ".tmp", std::to_string(Value) + "\n");
        std::rename((name + ".tmp").c_str(), name.c_str());
    }
    std::string Shell(const std::string& Sql) {
        return RunCommand("sqlite3 '" + Dir.file("t.db") + "' \"" + Sql + "\" 2>&1");
    }
    // The last sample moved 5 s into the past, just after a second began, so the next tick
    // measures exactly 5 s.
    void LastSampleFiveSecondsAgo() {
        QElapsedTimer clock;
        clock.start();
        while (QTime::currentTime().msec() > 200 && clock.elapsed() < 2000)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        const qint64 now = ChartWallSeconds(QDateTime::currentDateTime());
        Db.ExecuteStatement(
            "update realtime_traf_p set date_time=? where id=(select max(id) from realtime_traf_p)",
            {QString::number(now - 5)});
    }
    void Tick() {
        Form.Charts().Realtime_TimerTimer();
        ASSERT_TRUE(Form.Charts().WaitRealtimeIdle(20000));
    }
    void OpenRealtime() {
        Form.Charts().OpenTrafficMonitoring("7");
        Form.Charts().DataGrid3CellDblClick(4, 0);
        Form.Charts().BitBtn17->click();
        ASSERT_EQ(Form.PageControl1->currentIndex(), 7);
    }

    TempDir Dir;
    int AgentPort = FreeUdpPort();
    PeerProcess Agent;
    TSQLiteDatabase Db{QString::fromStdString(Dir.file("t.db"))};
    TDataGrid Hosts;
    TMonitorServices Services{Db, QString::fromStdString(Dir.path())};
    TPing_tracert_form Form{Services};
};

} // namespace

TEST_F(RealtimePage, SamplesRatesFromTheAgentsCounters) {
    ASSERT_TRUE(StartAgent());
    OpenRealtime();
    Tick(); // first row 0/0, then a sample of the same counters
    LastSampleFiveSecondsAgo();
    SetCounter("in", 150000); // 50,000 octets more in 5 s
    SetCounter("out", 30000); // 25,000 more
    Tick();
    LastSampleFiveSecondsAgo();
    SetCounter("in", 140000); // a drop: the last rate again
    SetCounter("out", 55000);
    Tick();
    Db.ExecuteStatement("update m_port set speed='1' where id=41"); // 1 Mbit/s
    LastSampleFiveSecondsAgo();
    SetCounter("in", 765000); // 125,000 B/s: x 8 reaches the speed, rejected
    Tick();
    EXPECT_EQ(Shell("select ID_p,T_in,T_out,curr_traf_in,curr_traf_out from realtime_traf_p order by id"),
              "41|100000|5000|0|0\n"
              "41|100000|5000|0|0\n"
              "41|150000|30000|10000|5000\n"
              "41|140000|55000|10000|5000\n"
              "41|765000|55000|10000|0\n");
    // The chart shows the last minute's samples in KBit/s: in 10000 B/s = 80 KBit/s.
    const auto& series = Form.Charts().Chart3->Series();
    ASSERT_EQ(series.size(), 2u);
    ASSERT_EQ(series[1].Points.size(), 5u);
    EXPECT_DOUBLE_EQ(series[1].Points[2].Value, 80);
    EXPECT_DOUBLE_EQ(series[0].Points[2].Value, 40);
    EXPECT_EQ(Form.Charts().Chart3->ValueUnit(), "KBit/s");
    // Page 7 "OK" empties the table.
    Form.Charts().BitBtn15->click();
    EXPECT_EQ(Shell("select count(*) from realtime_traf_p"), "0\n");
}

TEST_F(RealtimePage, ASilentAgentNeverQueuesTicks) {
    SilentUdpAgent silent;
    Form.SnmpPort = QString::fromStdString(silent.PortText());
    OpenRealtime();
    QElapsedTimer clock;
    clock.start();
    Form.Charts().Realtime_TimerTimer();
    const qint64 firstMs = clock.elapsed();
    EXPECT_TRUE(Form.Charts().RealtimeInFlight());
    for (int tick = 0; tick < 3; ++tick)
        Form.Charts().Realtime_TimerTimer(); // skipped while the reads wait
    std::printf("GUI time of a tick against a silent agent: %lld ms\n", static_cast<long long>(firstMs));
    EXPECT_TRUE(Form.Charts().RealtimeInFlight());
    // Closing ends the waiting reads at once; at most the one tick stored its rows.
    Form.close();
    EXPECT_TRUE(Form.Charts().WaitRealtimeIdle(3000));
    EXPECT_EQ(Shell("select count(*) from realtime_traf_p"), "0\n");
    EXPECT_FALSE(Form.Charts().Realtime_Timer.isActive());
}
