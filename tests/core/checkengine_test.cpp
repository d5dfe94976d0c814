// The check thread end to end against fake probes: counters, thresholds, status texts, events in
// table log, the write-back to hosts, the overall state, and stop/start behaviour.
#include "core/CheckEngine.h"
#include "core/LangTexts.h"
#include "core/MonitorState.h"
#include "tests/core/engine_fixture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>

using Codes = std::vector<QString>;

TEST(CheckEngine, EchoDownAtThresholdOnceThenUpOnFirstAnswer) {
    EngineFixture f;
    f.SetThreshold(3);
    int id = f.AddHost({});
    f.Probes.SetPing("127.0.0.1", "Timeout");
    ASSERT_TRUE(f.RunPasses(2));
    EXPECT_EQ(f.EventCodes(id), Codes{});
    EXPECT_EQ(f.Cell(id, "ICMP_kol_vo_p"), "2");
    ASSERT_TRUE(f.RunPasses(1));
    EXPECT_EQ(f.EventCodes(id), Codes{"ID"});
    EXPECT_EQ(f.Cell(id, "ICMP_Status"), LangText(291) + " Timeout");
    ASSERT_TRUE(f.RunPasses(2));
    EXPECT_EQ(f.EventCodes(id), Codes{"ID"});
    f.Probes.SetPing("127.0.0.1", "");
    ASSERT_TRUE(f.RunPasses(1));
    EXPECT_EQ(f.EventCodes(id), (Codes{"ID", "IU"}));
    EXPECT_EQ(f.Cell(id, "ICMP_kol_vo_p"), "0");
    EXPECT_EQ(f.Cell(id, "ICMP_Status"), LangText(290));
    auto rows = f.Rows(QStringLiteral("select L_Status, ID_h_d from log order by ID"));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][0], LangText(291) + " Timeout");
    EXPECT_EQ(rows[0][1], QString::number(id));
    EXPECT_EQ(rows[1][0], LangText(290));
    // The event's write-back stored the counters and statuses of the row.
    auto stored = f.Rows(QStringLiteral("select ICMP_kol_vo_p, ICMP_Status from hosts where id=%1").arg(id));
    EXPECT_EQ(stored[0][0], "0");
    EXPECT_EQ(stored[0][1], LangText(290));
}

TEST(CheckEngine, EchoTimeOutReadsAsTimeOutAnUnknownAnswerAsLanguageLine) {
    EngineFixture f;
    f.SetThreshold(2);
    int silent = f.AddHost({});
    HostSpec answering;
    answering.IP = QStringLiteral("127.0.0.2");
    int odd = f.AddHost(answering);
    // Nothing back in time: the echo client says "Unknown error" with no round trip.
    f.Probes.SetPingOutcome("127.0.0.1", {"Unknown error", -1});
    f.Probes.SetPingOutcome("127.0.0.2", {"Unknown error", 3});
    ASSERT_TRUE(f.RunPasses(2));
    EXPECT_EQ(f.Cell(silent, "ICMP_Status"), "ICMP check failed! Requested Timed out.");
    EXPECT_EQ(f.Rows(QStringLiteral("select L_Status, Stat_D from log where ID_h_d=%1").arg(silent)),
              (std::vector<std::vector<QString>>{{"ICMP check failed! Requested Timed out.", "ID"}}));
    EXPECT_EQ(f.Cell(odd, "ICMP_Status"), LangText(291) + " " + LangText(289));
}

TEST(CheckEngine, OverallStatePacketLossThenDownThenOk) {
    EngineFixture f;
    f.SetThreshold(2);
    int id = f.AddHost({});
    f.Probes.SetPing("127.0.0.1", "Timeout");
    ASSERT_TRUE(f.RunPasses(1));
    EXPECT_EQ(f.Cell(id, "Status"), LangText(278));
    EXPECT_EQ(f.Hosts.Cell("Status", f.RowOf(id)).Color(), 65535);
    EXPECT_EQ(f.Cell(id, "Kol_vo_p"), "1");
    QString stamped = f.Cell(id, "Date_Pod");
    EXPECT_FALSE(stamped.isEmpty());
    // Packet loss is not written to hosts yet.
    EXPECT_EQ(f.Rows(QStringLiteral("select Status from hosts where id=%1").arg(id))[0][0], "OK");
    ASSERT_TRUE(f.RunPasses(1));
    EXPECT_EQ(f.Cell(id, "Status"), LangText(280));
    EXPECT_EQ(f.Hosts.Cell("Status", f.RowOf(id)).Color(), 255);
    auto stored = f.Rows(QStringLiteral("select Status, Kol_vo_p, Date_Pod from hosts where id=%1").arg(id));
    EXPECT_EQ(stored[0][0], LangText(280));
    EXPECT_EQ(stored[0][1], "2");
    EXPECT_FALSE(stored[0][2].isEmpty());
    f.Probes.SetPing("127.0.0.1", "");
    ASSERT_TRUE(f.RunPasses(1));
    EXPECT_EQ(f.Cell(id, "Status"), LangText(277));
    EXPECT_EQ(f.Hosts.Cell("Status", f.RowOf(id)).Color(), 65280);
    EXPECT_EQ(f.Rows(QStringLiteral("select Status, Kol_vo_p from hosts where id=%1").arg(id))[0],
              (std::vector<QString>{LangText(277), "0"}));
}

TEST(CheckEngine, UnknownLiteralAndLanguageWordBothCountAsUnknown) {
    EngineFixture f;
    f.SetThreshold(5);
    HostSpec spec;
    spec.Status = QStringLiteral("Unknown");
    int a = f.AddHost(spec);
    spec.IP = QStringLiteral("127.0.0.2");
    spec.Status = LangText(399);
    int b = f.AddHost(spec);
    f.Probes.SetPing("127.0.0.1", "Timeout");
    f.Probes.SetPing("127.0.0.2", "Timeout");
    ASSERT_TRUE(f.RunPasses(1));
    EXPECT_EQ(f.Cell(a, "Status"), LangText(278));
    EXPECT_EQ(f.Cell(b, "Status"), LangText(278));
}

TEST(CheckEngine, HostWithNoCheckGoesDownAtN) {
    EngineFixture f;
    f.SetThreshold(2);
    HostSpec spec;
    spec.Ping = false;
    int id = f.AddHost(spec);
    ASSERT_TRUE(f.RunPasses(2));
    EXPECT_EQ(f.Cell(id, "Status"), LangText(280));
    EXPECT_EQ(f.Probes.Calls(), 0);
}

TEST(CheckEngine, HttpFiveHundredWithReasonIsUp) {
    EngineFixture f;
    f.SetThreshold(1);
    HostSpec spec;
    spec.Ping = false;
    spec.Http = true;
    int id = f.AddHost(spec);
    f.Probes.SetHttp("127.0.0.1", "500 Internal Server Error");
    ASSERT_TRUE(f.RunPasses(1));
    EXPECT_EQ(f.EventCodes(id), Codes{});
    EXPECT_EQ(f.Cell(id, "Http_Kol_vo"), "0");
    EXPECT_EQ(f.Cell(id, "Status"), LangText(277));
    EXPECT_EQ(f.Probes.LastHttpTimeout(), 5 * f.Owner.Options().Timeout_Spin);
    f.Probes.SetHttp("127.0.0.1", "500 ");
    ASSERT_TRUE(f.RunPasses(1));
    EXPECT_EQ(f.EventCodes(id), Codes{"ID"});
    EXPECT_EQ(f.Cell(id, "Http_Status"), LangText(294) + " ");
    f.Probes.SetHttp("127.0.0.1", "200 OK");
    ASSERT_TRUE(f.RunPasses(1));
    EXPECT_EQ(f.EventCodes(id), (Codes{"ID", "IU"}));
    EXPECT_EQ(f.Cell(id, "Http_Status"), "HTTP check 200 OK");
    EXPECT_EQ(f.Rows("select L_Status from log order by ID")[1][0], LangText(293) + "200 OK");
}

TEST(CheckEngine, EmptyCommunitySkipsSnmpEntirely) {
    EngineFixture f;
    f.SetThreshold(1);
    HostSpec spec;
    spec.Snmp = true;
    int id = f.AddHost(spec);
    ASSERT_TRUE(f.RunPasses(2));
    EXPECT_EQ(f.Cell(id, "SNMP_kol_vo_p"), "0");
    EXPECT_EQ(f.Cell(id, "SNMP_Status"), "");
    EXPECT_EQ(f.EventCodes(id), Codes{});
}

TEST(CheckEngine, SnmpDownAndUpWriteStatusToHosts) {
    EngineFixture f;
    f.SetThreshold(2);
    HostSpec spec;
    spec.Ping = false;
    spec.Snmp = true;
    spec.Comunity = QStringLiteral("public");
    int id = f.AddHost(spec);
    ASSERT_TRUE(f.RunPasses(2));
    EXPECT_EQ(f.EventCodes(id), Codes{"SD"});
    EXPECT_EQ(f.Cell(id, "SNMP_Status"), LangText(296));
    EXPECT_EQ(f.Rows(QStringLiteral("select SNMP_Status from hosts where id=%1").arg(id))[0][0],
              LangText(296));
    f.Probes.SetSnmp("127.0.0.1", "1.3.6.1.2.1.1.1.0", "Linux box");
    ASSERT_TRUE(f.RunPasses(1));
    EXPECT_EQ(f.EventCodes(id), (Codes{"SD", "SU"}));
    EXPECT_EQ(f.Rows(QStringLiteral("select SNMP_Status from hosts where id=%1").arg(id))[0][0],
              LangText(297));
    EXPECT_EQ(f.Cell(id, "Status"), LangText(277));
}

TEST(CheckEngine, LatencyNeedsMoreThanNPassesAndNoSamplesCountsAsOver) {
    EngineFixture f;
    f.SetThreshold(3);
    HostSpec spec;
    spec.Ping = false;
    spec.SPingAlarm = true;
    spec.SpingKolVo = 100;
    int id = f.AddHost(spec);
    ASSERT_TRUE(f.RunPasses(3));
    EXPECT_EQ(f.EventCodes(id), Codes{});
    EXPECT_EQ(f.Cell(id, "Latency_kol_vo_p"), "3");
    ASSERT_TRUE(f.RunPasses(1));
    EXPECT_EQ(f.EventCodes(id), Codes{"LP"});
    QString expected = LangText(298) + " " + LangText(300) + " 0 " + LangText(368) + " 0 " + LangText(65);
    EXPECT_EQ(f.Cell(id, "Latency_Status"), expected);
    EXPECT_EQ(f.Rows(QStringLiteral("select Latency_Status from hosts where id=%1").arg(id))[0][0], expected);
    // Samples under the threshold bring it back.
    for (int i = 0; i < 3; ++i) {
        f.Database.ExecuteStatement("insert into Ping_data (ID_h,Timeout,date_time) values (?,?,?)",
                                    {id, 100, 1});
    }
    ASSERT_TRUE(f.RunPasses(1));
    EXPECT_EQ(f.EventCodes(id), (Codes{"LP", "LU"}));
    EXPECT_EQ(f.Cell(id, "Avarage_Latency"), "100");
    EXPECT_EQ(f.Cell(id, "Latency_kol_vo_p"), "0");
    EXPECT_TRUE(f.Cell(id, "Latency_Status").startsWith(LangText(299)));
}

TEST(CheckEngine, TrafficDropRaisesOnceAndRemembersAlarm) {
    EngineFixture f;
    HostSpec spec;
    spec.Ping = false;
    spec.PortCheck = true;
    int id = f.AddHost(spec);
    f.Database.ExecuteStatement(
        "insert into m_port (id,ID_h,Nomer_p,Name_p,Enabled_p,alarm_traf_in,alarm_traf_out,in_value_pers,"
        "out_value_per,in_notiffication,out_notiffication,speed) values "
        "(7,?,2,'eth1','-1','-1','-1','70','70',"
        "'0','0','100')",
        {id});
    auto sample = [&](int t, const char* in, const char* out) {
        f.Database.ExecuteStatement(
            "insert into traf_p (ID_p,T_in,T_out,date_time,Curr_traf_in,Curr_traf_out) "
            "values (7,'0','0',?,?,?)",
            {t, in, out});
    };
    // No sampling walk beside the passes: the test's own samples stay the newest.
    f.Owner.CloseSamplingWindow();
    sample(100, "30000", "30000");
    sample(100, "8999", "9000"); // same time: the id decides which is newer
    ASSERT_TRUE(f.RunPasses(1));
    EXPECT_EQ(f.EventCodes(id), Codes{"LP"});
    auto logs = f.Rows("select L_Status from log");
    EXPECT_EQ(logs[0][0], LangText(301) + " eth1 " + LangText(303) + " 70%!");
    EXPECT_EQ(f.Rows("select in_notiffication, out_notiffication from m_port")[0],
              (std::vector<QString>{"-1", "0"}));
    ASSERT_TRUE(f.RunPasses(1));
    EXPECT_EQ(f.EventCodes(id), Codes{"LP"}); // an alarm that stands raises nothing new
    sample(101, "30000", "30000");
    ASSERT_TRUE(f.RunPasses(1));
    EXPECT_EQ(f.Rows("select in_notiffication from m_port")[0][0], "0");
    EXPECT_EQ(f.EventCodes(id), Codes{"LP"}); // recovery records nothing
}

TEST(CheckEngine, EventQueueRowAndAlarmOffHost) {
    EngineFixture f;
    f.SetThreshold(1);
    HostSpec noted;
    noted.Note = QStringLiteral("core switch");
    int a = f.AddHost(noted);
    HostSpec silent;
    silent.IP = QStringLiteral("127.0.0.2");
    silent.AlarmEn = false;
    int b = f.AddHost(silent);
    f.Probes.SetPing("127.0.0.1", "Timeout");
    f.Probes.SetPing("127.0.0.2", "Timeout");
    std::vector<std::vector<QString>> queued;
    f.Owner.Dispatch = [&] {
        for (int r = 0; r < f.DownHostGrid.RowCount(); ++r) {
            queued.push_back({f.DownHostGrid.Cell("Host_name", r).GetAsString(),
                              f.DownHostGrid.Cell("State", r).GetAsString(),
                              f.DownHostGrid.Cell("Alarm_sound", r).GetAsString(),
                              f.DownHostGrid.Cell("IP_D", r).GetAsString(),
                              QString::number(f.DownHostGrid.Cell("State", r).Color())});
        }
        f.DownHostGrid.ClearRows();
    };
    ASSERT_TRUE(f.RunPasses(1));
    ASSERT_EQ(queued.size(), 1u); // the host with alerts off queues nothing
    EXPECT_TRUE(queued[0][0].endsWith(" - router, core switch")) << queued[0][0].toStdString();
    EXPECT_EQ(queued[0][0].size(), QString("00:00:00 - router, core switch").size());
    EXPECT_EQ(queued[0][1], LangText(291) + " Timeout");
    EXPECT_EQ(queued[0][2], "alarm.wav");
    EXPECT_EQ(queued[0][3], "127.0.0.1");
    EXPECT_EQ(queued[0][4], "255");
    // ... but still writes its event and its counters.
    EXPECT_EQ(f.EventCodes(b), Codes{"ID"});
    EXPECT_EQ(f.EventCodes(a), Codes{"ID"});
}

TEST(CheckEngine, QuotesAndCyrillicReachTheDatabaseExactly) {
    EngineFixture f;
    f.SetThreshold(1);
    int id = f.AddHost({});
    f.Probes.SetPing("127.0.0.1", "He said \"hi\" Сбой");
    ASSERT_TRUE(f.RunPasses(1));
    auto rows = f.Rows("select L_Status from log");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], LangText(291) + " He said \"hi\" Сбой");
    EXPECT_EQ(f.Rows(QStringLiteral("select ICMP_Status from hosts where id=%1").arg(id))[0][0], rows[0][0]);
}

TEST(CheckEngine, DisabledHostIsNotChecked) {
    EngineFixture f;
    HostSpec spec;
    spec.Enabled = false;
    spec.Status = QStringLiteral("Disabled");
    int id = f.AddHost(spec);
    ASSERT_TRUE(f.RunPasses(2));
    EXPECT_EQ(f.Probes.PingCalls("127.0.0.1"), 0);
    EXPECT_EQ(f.Cell(id, "Status"), "Disabled");
}

TEST(CheckEngine, DeletedHostIsSkippedNotConfused) {
    EngineFixture f;
    f.SetThreshold(1);
    HostSpec a;
    a.IP = QStringLiteral("127.0.0.10");
    int first = f.AddHost(a);
    HostSpec b;
    b.IP = QStringLiteral("127.0.0.11");
    int second = f.AddHost(b);
    f.Probes.SetHanging("127.0.0.10");
    f.Probes.SetPing("127.0.0.11", "Timeout");
    f.Owner.PassesAllowed = 1;
    ASSERT_TRUE(f.Start());
    ASSERT_TRUE(f.WaitFor([&] { return f.Probes.PingCalls("127.0.0.10") > 0; }, 5000));
    // While the first host's echo runs, the host is deleted from the table.
    f.Hosts.DeleteRow(f.RowOf(first));
    f.Probes.SetPing("127.0.0.10", "Timeout");
    // Release the hanging echo by stopping and restarting the probes' cancel is not wanted here;
    // instead stop monitoring: the first host's results must not land on the second host's row.
    ASSERT_TRUE(f.WaitEnded(5000));
    EXPECT_EQ(f.Cell(second, "ICMP_kol_vo_p"), "0");
    EXPECT_EQ(f.EventCodes(second), Codes{});
    EXPECT_EQ(f.EventCodes(first), Codes{});
}

TEST(CheckEngineRows, NonNumericCounterDoesNotStopLaterHosts) {
    EngineFixture f;
    f.SetThreshold(2);
    HostSpec odd;
    odd.IP = QStringLiteral("127.0.0.20");
    int first = f.AddHost(odd);
    HostSpec later;
    later.IP = QStringLiteral("127.0.0.21");
    int second = f.AddHost(later);
    f.Hosts.Cell("ICMP_kol_vo_p", f.RowOf(first)).SetAsString("x7");
    f.Hosts.Cell("Kol_vo_p", f.RowOf(first)).SetAsString("many");
    f.Probes.SetPing("127.0.0.20", "Timeout");
    f.Probes.SetPing("127.0.0.21", "Timeout");
    ASSERT_TRUE(f.RunPasses(2));
    // The text reads as 0, so the first host counts from there like any other.
    EXPECT_EQ(f.Cell(first, "ICMP_kol_vo_p"), "2");
    EXPECT_EQ(f.EventCodes(first), Codes{"ID"});
    EXPECT_EQ(f.EventCodes(second), Codes{"ID"});
    EXPECT_EQ(f.Cell(second, "Status"), LangText(280));
}

TEST(CheckEngineOptions, AChangeDuringAHostAppliesFromTheNextHostNeverHalfWithinOne) {
    EngineFixture f;
    f.SetThreshold(1);
    f.SetPingTimeout(100);
    HostSpec first;
    first.IP = QStringLiteral("127.0.0.40");
    first.Http = true;
    int a = f.AddHost(first);
    HostSpec second = first;
    second.IP = QStringLiteral("127.0.0.41");
    int b = f.AddHost(second);
    f.Probes.SetHttp("127.0.0.40", "0 ");
    f.Probes.SetHttp("127.0.0.41", "0 ");
    // While the first host's HTTP probe runs, the operator raises the threshold and the time-out.
    f.Probes.OnHttp = [&](const std::string& Host) {
        if (Host == "127.0.0.40") {
            f.Owner.SetOptions([](TSettings& s) {
                s.ploss_spin = 5;
                s.Timeout_Spin = 300;
            });
        }
    };
    ASSERT_TRUE(f.RunPasses(1));
    f.Probes.OnHttp = nullptr;
    // The first host's steps all use the options of its start: 5 x 100 ms, down at N = 1.
    EXPECT_EQ(f.Probes.HttpTimeout("127.0.0.40"), 500);
    EXPECT_EQ(f.EventCodes(a), Codes{"ID"});
    EXPECT_EQ(f.Cell(a, "Http_Status"), LangText(294) + " ");
    // The next host takes the new ones: 5 x 300 ms, and one failure is not yet N = 5.
    EXPECT_EQ(f.Probes.HttpTimeout("127.0.0.41"), 1500);
    EXPECT_EQ(f.EventCodes(b), Codes{});
    EXPECT_EQ(f.Cell(b, "Http_Kol_vo"), "1");
    EXPECT_EQ(f.Cell(b, "Http_Status"), "");
    // The echo keeps the time-out the run started with.
    EXPECT_EQ(f.Probes.LastPingTimeout("127.0.0.40"), 100);
    EXPECT_EQ(f.Probes.LastPingTimeout("127.0.0.41"), 100);
}

TEST(CheckEngineOwner, APassRunsOnATestOwnerAloneAndDispatchesOnlyQueuedEvents) {
    EngineFixture f;
    f.SetThreshold(2);
    int id = f.AddHost({});
    f.Probes.SetPing("127.0.0.1", "Timeout");
    ASSERT_TRUE(f.RunPasses(1));
    EXPECT_EQ(f.PassCount(), 1);
    EXPECT_TRUE(f.Owner.DispatchedQueueSizes.empty()); // nothing queued: no dispatch
    EXPECT_EQ(f.Owner.LastProgress(), LangText(378) + " router");
    ASSERT_TRUE(f.RunPasses(1));
    EXPECT_EQ(f.Owner.DispatchedQueueSizes, std::vector<int>{1});
    EXPECT_EQ(f.EventCodes(id), Codes{"ID"});
    EXPECT_EQ(f.DownHostGrid.RowCount(), 0);
}
