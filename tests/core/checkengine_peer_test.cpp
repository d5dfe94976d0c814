// The check engine and the sampling thread end to end against real peers on loopback: the web
// server, an SNMP agent with counters set by the test, echo to 127.0.0.1, and the stored rows of
// log, hosts, traf_p and Ping_data read back through the database layer and the sqlite3 program.
#include "core/ProbePool.h"
#include "net/pingsend.h"
#include "tests/core/engine_peer_fixture.h"

#include <gtest/gtest.h>

#include <latch>
#include <string>
#include <thread>
#include <vector>

#include <sys/socket.h>

namespace {

using zt::test::FreeTcpPort;
using zt::test::FreeUdpPort;

class EnginePeer : public ::testing::Test {
protected:
    void SetUp() override {
        if (!zt::test::HaveProgram("lighttpd") || !zt::test::HaveProgram("snmpd") ||
            !zt::test::HaveProgram("sqlite3")) {
            GTEST_SKIP() << "lighttpd, snmpd or sqlite3 missing";
        }
        f.SetPingTimeout(300); // HTTP probes wait 5 x 300 ms
    }

    QString HostRow(int Id, const char* Columns) {
        auto rows =
            f.Rows(QStringLiteral("select %1 from hosts where id=%2").arg(QLatin1String(Columns)).arg(Id));
        if (rows.empty()) {
            return QStringLiteral("<no row>");
        }
        QStringList fields;
        for (const QString& field : rows[0]) {
            fields << field;
        }
        return fields.join(QLatin1Char('|'));
    }

    PeerEngineFixture f;
};

HostSpec HttpHost(const QString& Name, const std::string& HostText) {
    HostSpec spec;
    spec.Host = Name;
    spec.IP = QString::fromStdString(HostText);
    spec.Ping = false;
    spec.Http = true;
    return spec;
}

HostSpec SnmpHost(const QString& Name) {
    HostSpec spec;
    spec.Host = Name;
    spec.Ping = false;
    spec.Snmp = true;
    spec.Comunity = QStringLiteral("public");
    return spec;
}

} // namespace

TEST_F(EnginePeer, AnsweringHostsStayUpBesideAClosedPortThatGoesDown) {
    WebPeer web(f.Dir.file("web"), FreeTcpPort());
    ASSERT_TRUE(web.Start());
    CounterAgent agent(f.Dir.file("agent"), FreeUdpPort());
    ASSERT_TRUE(agent.Start());
    f.NetProbes.SetSnmpPort(agent.Port());

    HostSpec all = SnmpHost(QStringLiteral("gateway"));
    all.Ping = true;
    int gateway = f.AddHost(all);
    int site = f.AddHost(HttpHost(QStringLiteral("site"), web.HostText()));
    int closed = f.AddHost(HttpHost(QStringLiteral("closed"), "127.0.0.1:" + std::to_string(FreeTcpPort())));
    // The same over IPv6 loopback: echo to ::1 and the web server's [::1] socket.
    HostSpec echo6;
    echo6.Host = QStringLiteral("gateway6");
    echo6.IP = QStringLiteral("::1");
    int gateway6 = f.AddHost(echo6);
    int site6 = f.AddHost(HttpHost(QStringLiteral("site6"), "[::1]:" + std::to_string(web.Port())));

    ASSERT_TRUE(f.RunPasses(3));
    for (int id : {gateway, site, gateway6, site6}) {
        EXPECT_EQ(f.Cell(id, "Status"), "OK") << id;
        EXPECT_EQ(f.Cell(id, "Kol_vo_p"), "0") << id;
        EXPECT_TRUE(f.EventCodes(id).empty()) << id;
        EXPECT_EQ(HostRow(id, "Status,Kol_vo_p"), "OK|0") << id;
    }
    EXPECT_EQ(f.Cell(gateway, "ICMP_kol_vo_p"), "0");
    EXPECT_EQ(f.Cell(gateway, "SNMP_kol_vo_p"), "0");
    EXPECT_EQ(f.Cell(site, "Http_Kol_vo"), "0");
    EXPECT_EQ(f.Cell(gateway6, "ICMP_kol_vo_p"), "0");
    EXPECT_EQ(f.Cell(site6, "Http_Kol_vo"), "0");

    EXPECT_EQ(f.EventCodes(closed), (std::vector<QString>{"ID"}));
    EXPECT_EQ(f.Cell(closed, "Http_Kol_vo"), "3");
    EXPECT_EQ(f.Cell(closed, "Http_Status"), "HTTP check failed! ");
    EXPECT_EQ(f.Cell(closed, "Status"), "Down");
    EXPECT_EQ(f.Owner.DispatchedQueueSizes, (std::vector<int>{1}));
}

TEST_F(EnginePeer, ClosedHttpPortGoesDownAtNAndUpWhenTheServerComesBack) {
    const int port = FreeTcpPort();
    WebPeer web(f.Dir.file("web"), port);
    int id = f.AddHost(HttpHost(QStringLiteral("shop"), web.HostText()));
    f.Database.StartTransaction(); // the long transaction; stop commits it
    const std::int64_t before = LocalUnixNow();

    // Passes 1 and 2: counted, Packet loss shown but not written, no event.
    ASSERT_TRUE(f.RunPasses(1));
    EXPECT_EQ(f.Cell(id, "Http_Kol_vo"), "1");
    EXPECT_EQ(f.Cell(id, "Status"), "Packet loss");
    EXPECT_EQ(f.Hosts.Cell("Status", f.RowOf(id)).Color(), 65535);
    ASSERT_TRUE(f.RunPasses(1));
    EXPECT_EQ(f.Cell(id, "Http_Kol_vo"), "2");
    EXPECT_TRUE(f.EventCodes(id).empty());
    EXPECT_EQ(f.CliRows("select Status,Kol_vo_p from hosts where id=1"), (std::vector<std::string>{"OK|0"}));

    // Pass 3 reaches N = 3: one "ID", the host Down and written.
    ASSERT_TRUE(f.RunPasses(1));
    EXPECT_EQ(f.EventCodes(id), (std::vector<QString>{"ID"}));
    EXPECT_EQ(f.Cell(id, "Http_Status"), "HTTP check failed! ");
    EXPECT_EQ(f.Cell(id, "Status"), "Down");
    EXPECT_EQ(f.Hosts.Cell("Status", f.RowOf(id)).Color(), 255);
    EXPECT_EQ(f.CliRows("select Status,Kol_vo_p from hosts where id=1"),
              (std::vector<std::string>{"Down|3"}));
    const QString downSince = f.Cell(id, "Date_Pod");
    EXPECT_FALSE(downSince.isEmpty());

    // Still failing: nothing more is recorded or written.
    ASSERT_TRUE(f.RunPasses(1));
    EXPECT_EQ(f.EventCodes(id), (std::vector<QString>{"ID"}));
    EXPECT_EQ(f.Cell(id, "Http_Kol_vo"), "4");
    EXPECT_EQ(f.CliRows("select Status,Kol_vo_p,Date_Pod from hosts where id=1"),
              (std::vector<std::string>{"Down|3|" + downSince.toStdString()}));

    // The server comes back: "IU" with the answer, counters back to 0.
    ASSERT_TRUE(web.Start());
    ASSERT_TRUE(f.RunPasses(1));
    const std::int64_t after = LocalUnixNow();
    EXPECT_EQ(f.EventCodes(id), (std::vector<QString>{"ID", "IU"}));
    EXPECT_EQ(f.Cell(id, "Http_Status"), "HTTP check 200 OK");
    EXPECT_EQ(f.Cell(id, "Http_Kol_vo"), "0");
    EXPECT_EQ(f.Cell(id, "Status"), "OK");
    EXPECT_EQ(f.Hosts.Cell("Status", f.RowOf(id)).Color(), 65280);
    EXPECT_EQ(f.Owner.DispatchedQueueSizes, (std::vector<int>{1, 1}));

    // What the file holds after the commit at stop, as another program reads it.
    EXPECT_FALSE(f.Database.InTransaction());
    EXPECT_EQ(f.CliRows("select L_Status,Stat_D,ID_h_d from log order by id"),
              (std::vector<std::string>{"HTTP check failed! |ID|1", "HTTP check OK: 200 OK|IU|1"}));
    EXPECT_EQ(f.CliRows("select Status,Kol_vo_p from hosts where id=1"), (std::vector<std::string>{"OK|0"}));
    for (const std::string& time : f.CliRows("select Date_time from log")) {
        EXPECT_GE(std::stoll(time), before);
        EXPECT_LE(std::stoll(time), after);
    }
}

TEST_F(EnginePeer, Http500WithReasonIsUpAndOnlyABare500IsDown) {
    f.SetThreshold(2);
    OneAnswerHttpServer withReason("HTTP/1.0 500 Internal Server Error\r\nContent-Length: 0\r\n\r\n");
    OneAnswerHttpServer bare("HTTP/1.0 500\r\nContent-Length: 0\r\n\r\n");
    WebPeer forbidden(f.Dir.file("web"), FreeTcpPort());
    std::remove(f.Dir.file("web/www/index.html").c_str()); // lighttpd answers 403 for the folder
    ASSERT_TRUE(forbidden.Start());
    int up500 = f.AddHost(HttpHost(QStringLiteral("app"), withReason.HostText()));
    int down500 = f.AddHost(HttpHost(QStringLiteral("api"), bare.HostText()));
    int up403 = f.AddHost(HttpHost(QStringLiteral("static"), forbidden.HostText()));

    ASSERT_TRUE(f.RunPasses(2));
    EXPECT_GE(withReason.Connections(), 2);
    EXPECT_GE(bare.Connections(), 2);
    for (int id : {up500, up403}) {
        EXPECT_TRUE(f.EventCodes(id).empty()) << id;
        EXPECT_EQ(f.Cell(id, "Http_Kol_vo"), "0") << id;
        EXPECT_EQ(f.Cell(id, "Status"), "OK") << id;
    }
    EXPECT_EQ(f.EventCodes(down500), (std::vector<QString>{"ID"}));
    EXPECT_EQ(f.Cell(down500, "Http_Status"), "HTTP check failed! ");
    EXPECT_EQ(f.Cell(down500, "Status"), "Down");
    EXPECT_EQ(f.Rows("select L_Status from log"),
              (std::vector<std::vector<QString>>{{"HTTP check failed! "}}));
}

TEST_F(EnginePeer, StoppedAgentGoesSnmpDownAndRestartedAgentComesBack) {
    f.SetThreshold(2);
    CounterAgent agent(f.Dir.file("agent"), FreeUdpPort());
    ASSERT_TRUE(agent.Start());
    f.NetProbes.SetSnmpPort(agent.Port());
    int id = f.AddHost(SnmpHost(QStringLiteral("switch")));

    ASSERT_TRUE(f.RunPasses(1));
    EXPECT_EQ(f.Cell(id, "SNMP_kol_vo_p"), "0");
    EXPECT_EQ(f.Cell(id, "SNMP_Status"), "");
    EXPECT_EQ(f.Cell(id, "Status"), "OK");

    agent.Stop();
    ASSERT_TRUE(f.RunPasses(2, 30000));
    EXPECT_EQ(f.EventCodes(id), (std::vector<QString>{"SD"}));
    EXPECT_EQ(f.Cell(id, "SNMP_Status"), "SNMP check failed!");
    EXPECT_EQ(f.Cell(id, "Status"), "Down");
    EXPECT_EQ(HostRow(id, "SNMP_Status,SNMP_kol_vo_p,Status,Kol_vo_p"), "SNMP check failed!|2|Down|2");

    ASSERT_TRUE(agent.Start());
    ASSERT_TRUE(f.RunPasses(1));
    EXPECT_EQ(f.EventCodes(id), (std::vector<QString>{"SD", "SU"}));
    EXPECT_EQ(f.Cell(id, "SNMP_Status"), "SNMP check OK");
    EXPECT_EQ(f.Cell(id, "Status"), "OK");
    EXPECT_EQ(HostRow(id, "SNMP_Status,SNMP_kol_vo_p,Status,Kol_vo_p"), "SNMP check OK|0|OK|0");
    EXPECT_EQ(f.CliRows("select L_Status,Stat_D from log order by id"),
              (std::vector<std::string>{"SNMP check failed!|SD", "SNMP check OK|SU"}));
}

namespace {

// One monitored interface (index 3, "eth3") of a host whose counters the agent serves.
class TrafficPeer : public EnginePeer {
protected:
    void SetUp() override {
        EnginePeer::SetUp();
        if (IsSkipped()) {
            return;
        }
        ASSERT_TRUE(agent.Start());
        f.NetProbes.SetSnmpPort(agent.Port());
        HostSpec spec;
        spec.Host = QStringLiteral("core-switch");
        spec.Ping = false;
        spec.PortCheck = true;
        spec.Comunity = QStringLiteral("public");
        id = f.AddHost(spec);
        f.Database.ExecuteStatement(
            "insert into m_port (id,ID_h,Nomer_p,Name_p,Enabled_p,alarm_traf_in,alarm_traf_out,in_value_pers,"
            "out_value_per,in_notiffication,out_notiffication,speed) values "
            "(7,?,3,'eth3','-1','-1','0','70','70','0','0','1000')",
            {id});
        // One sampling walk per run: the window opens only while monitoring is stopped.
        // (The test owner opens the window once per start: one walk each.)
    }

    // Opens the sampling window, runs until the walk stored its rows and two check passes have
    // followed, then stops.
    void Walk(int Rows) {
        f.Owner.OpenSamplingWindow();
        ASSERT_TRUE(f.RunUntil([&] { return SampleRows().size() >= std::size_t(Rows); }, 2));
        ASSERT_EQ(SampleRows().size(), std::size_t(Rows));
    }
    // Moves every sample Seconds into the past, so the next walk measures over that much more.
    void AgeSamples(int Seconds) {
        f.Database.ExecuteStatement("update traf_p set date_time=date_time-?", {Seconds});
    }
    // ID_p, T_in, T_out, curr_traf_in, curr_traf_out of every sample, oldest first.
    std::vector<std::vector<QString>> SampleRows() {
        return f.Rows("select ID_p,T_in,T_out,curr_traf_in,curr_traf_out from traf_p order by id");
    }
    // A rate over an interval of Seconds plus the up to two whole seconds the walks lie apart.
    static bool RateOver(const QString& Rate, qint64 Delta, qint64 Seconds) {
        qint64 r = Rate.toLongLong();
        return r == Delta / Seconds || r == Delta / (Seconds + 1) || r == Delta / (Seconds + 2);
    }

    CounterAgent agent{f.Dir.file("agent"), FreeUdpPort()};
    int id = 0;
};

} // namespace

TEST_F(TrafficPeer, RatesWrapSpeedCapAndDropAlarmFromAgentCounters) {
    // First walk: the baseline and a second reading moments later, both with rates 0.
    agent.SetCounter("in", 3, 1000);
    agent.SetCounter("out", 3, 50000);
    ASSERT_NO_FATAL_FAILURE(Walk(2));
    EXPECT_EQ(SampleRows()[0], (std::vector<QString>{"7", "1000", "50000", "0", "0"}));
    EXPECT_EQ(SampleRows()[1], (std::vector<QString>{"7", "1000", "50000", "0", "0"}));

    // 100 s on: 10,000,000 bytes in, 30,000 out.
    AgeSamples(100);
    agent.SetCounter("in", 3, 10001000);
    agent.SetCounter("out", 3, 80000);
    ASSERT_NO_FATAL_FAILURE(Walk(3));
    std::vector<QString> third = SampleRows()[2];
    EXPECT_EQ(third[1], "10001000");
    EXPECT_EQ(third[2], "80000");
    EXPECT_TRUE(RateOver(third[3], 10000000, 100)) << third[3].toStdString();
    EXPECT_TRUE(RateOver(third[4], 30000, 100)) << third[4].toStdString();
    const QString fastIn = third[3];

    // The inbound counter wrapped: the previous inbound rate stays, outbound is measured.
    AgeSamples(100);
    agent.SetCounter("in", 3, 500);
    agent.SetCounter("out", 3, 120000);
    ASSERT_NO_FATAL_FAILURE(Walk(4));
    std::vector<QString> fourth = SampleRows()[3];
    EXPECT_EQ(fourth[1], "500");
    EXPECT_EQ(fourth[3], fastIn);
    EXPECT_TRUE(RateOver(fourth[4], 40000, 100)) << fourth[4].toStdString();

    // 200,000 B/s on a 1 Mbit/s interface is at or above its speed: the previous rate stays.
    f.Database.ExecuteStatement("update m_port set speed='1' where id=7");
    AgeSamples(100);
    agent.SetCounter("in", 3, 20000500);
    agent.SetCounter("out", 3, 130000);
    ASSERT_NO_FATAL_FAILURE(Walk(5));
    std::vector<QString> fifth = SampleRows()[4];
    EXPECT_EQ(fifth[1], "20000500");
    EXPECT_EQ(fifth[3], fastIn);
    EXPECT_TRUE(RateOver(fifth[4], 10000, 100)) << fifth[4].toStdString();
    EXPECT_TRUE(f.EventCodes(id).empty());

    // Speed 0 has no cap: 200,000 B/s is measured.
    f.Database.ExecuteStatement("update m_port set speed='0' where id=7");
    AgeSamples(100);
    agent.SetCounter("in", 3, 40000500);
    agent.SetCounter("out", 3, 140000);
    ASSERT_NO_FATAL_FAILURE(Walk(6));
    EXPECT_TRUE(RateOver(SampleRows()[5][3], 20000000, 100)) << SampleRows()[5][3].toStdString();
    EXPECT_TRUE(f.EventCodes(id).empty());

    // Inbound falls to about 9,000 B/s, a drop of over 90 %: one traffic event, flag raised.
    f.Database.ExecuteStatement("update m_port set speed='1000' where id=7");
    AgeSamples(100);
    agent.SetCounter("in", 3, 40900500);
    agent.SetCounter("out", 3, 150000);
    ASSERT_NO_FATAL_FAILURE(Walk(7));
    EXPECT_TRUE(RateOver(SampleRows()[6][3], 900000, 100)) << SampleRows()[6][3].toStdString();
    EXPECT_EQ(f.EventCodes(id), (std::vector<QString>{"LP"}));
    EXPECT_EQ(f.Rows("select L_Status from log"),
              (std::vector<std::vector<QString>>{{"Inbound traffic drop on eth3 by more than 70%!"}}));
    EXPECT_EQ(f.Rows("select in_notiffication,out_notiffication from m_port where id=7"),
              (std::vector<std::vector<QString>>{{"-1", "0"}}));

    // The agent no longer has the interface: counters read as 0, both previous rates stay; the
    // rates did not drop again, so the flag clears without an event.
    const std::vector<QString> dropped = SampleRows()[6];
    agent.RemoveCounter("in", 3);
    agent.RemoveCounter("out", 3);
    ASSERT_NO_FATAL_FAILURE(Walk(8));
    EXPECT_EQ(SampleRows()[7], (std::vector<QString>{"7", "0", "0", dropped[3], dropped[4]}));
    EXPECT_EQ(f.EventCodes(id), (std::vector<QString>{"LP"}));
    EXPECT_EQ(f.Rows("select in_notiffication from m_port where id=7"),
              (std::vector<std::vector<QString>>{{"0"}}));

    // The stored texts as another program reads them.
    std::vector<std::string> cli = f.CliRows("select ID_p,T_in,T_out from traf_p order by id");
    EXPECT_EQ(cli, (std::vector<std::string>{"7|1000|50000", "7|1000|50000", "7|10001000|80000",
                                             "7|500|120000", "7|20000500|130000", "7|40000500|140000",
                                             "7|40900500|150000", "7|0|0"}));
}

TEST_F(EnginePeer, LatencySamplesFromRealEchoDriveTheLatencyRule) {
    HostSpec spec;
    spec.Host = QStringLiteral("loopback");
    spec.SPingCheck = true;
    spec.SPingAlarm = true;
    spec.SpingKolVo = 1000;
    int id = f.AddHost(spec);
    // One sampling walk in this test: the window opens once.
    const std::int64_t before = LocalUnixNow();

    ASSERT_TRUE(f.RunUntil([&] { return !f.Rows("select id from Ping_data").empty(); }, 2));
    const std::int64_t after = LocalUnixNow();
    auto samples = f.Rows("select ID_h,timeout,date_time from Ping_data");
    ASSERT_EQ(samples.size(), 1u);
    EXPECT_EQ(samples[0][0], "1");
    bool numeric = false;
    const int ms = samples[0][1].toInt(&numeric);
    EXPECT_TRUE(numeric && ms >= 0 && ms < 300) << samples[0][1].toStdString();
    EXPECT_GE(samples[0][2].toLongLong(), before);
    EXPECT_LE(samples[0][2].toLongLong(), after);
    EXPECT_EQ(f.Cell(id, "Avarage_Latency"), samples[0][1]);
    EXPECT_EQ(f.Cell(id, "Latency_kol_vo_p"), "0");
    EXPECT_EQ(HostRow(id, "Avarage_Latency"), samples[0][1]);
    EXPECT_TRUE(f.EventCodes(id).empty());

    // Every sample over a threshold of -1: the fourth pass exceeds N = 3 and raises "LP".
    const QString tail = QStringLiteral(" average of the last 1 samples: %1 ms").arg(samples[0][1]);
    f.Hosts.Cell("Sping_kol_vo", f.RowOf(id)).SetAsString(QStringLiteral("-1"));
    ASSERT_TRUE(f.RunPasses(3));
    EXPECT_TRUE(f.EventCodes(id).empty());
    ASSERT_TRUE(f.RunPasses(1));
    EXPECT_EQ(f.EventCodes(id), (std::vector<QString>{"LP"}));
    EXPECT_EQ(f.Cell(id, "Latency_Status"), "High latency," + tail);
    EXPECT_EQ(HostRow(id, "Latency_Status,Latency_kol_vo_p"), "High latency," + tail + "|4");

    f.Hosts.Cell("Sping_kol_vo", f.RowOf(id)).SetAsString(QStringLiteral("1000"));
    ASSERT_TRUE(f.RunPasses(1));
    EXPECT_EQ(f.EventCodes(id), (std::vector<QString>{"LP", "LU"}));
    EXPECT_EQ(f.Cell(id, "Latency_Status"), "Latency normal," + tail);
    EXPECT_EQ(f.CliRows("select L_Status,Stat_D from log order by id"),
              (std::vector<std::string>{("High latency," + tail).toStdString() + "|LP",
                                        ("Latency normal," + tail).toStdString() + "|LU"}));
    EXPECT_EQ(
        f.CliRows("select ID_h,timeout,date_time from Ping_data"),
        (std::vector<std::string>{"1|" + samples[0][1].toStdString() + "|" + samples[0][2].toStdString()}));
}

TEST_F(EnginePeer, StopEndsAProbeInFlightWithoutCountingIt) {
    f.SetPingTimeout(10000); // the HTTP probe would wait 50 s
    OneAnswerHttpServer silent("");
    int id = f.AddHost(HttpHost(QStringLiteral("stuck"), silent.HostText()));
    f.Owner.PassesAllowed = 1;
    ASSERT_TRUE(f.Start());
    ASSERT_TRUE(f.WaitFor([&] { return silent.Connections() > 0; }, 10000));
    EXPECT_TRUE(f.WaitEnded(10000));
    EXPECT_EQ(f.PassCount(), 0);
    EXPECT_EQ(f.Cell(id, "Http_Kol_vo"), "0");
    EXPECT_EQ(f.Cell(id, "Status"), "OK");
    EXPECT_TRUE(f.EventCodes(id).empty());
}

TEST_F(EnginePeer, StopDuringACounterReadStoresNoTrafficSample) {
    // No agent on this port: each counter read waits its 5 s for an answer.
    f.NetProbes.SetSnmpPort(std::to_string(FreeUdpPort()));
    HostSpec spec;
    spec.Host = QStringLiteral("mute-switch");
    spec.Ping = false;
    spec.PortCheck = true;
    spec.Comunity = QStringLiteral("public");
    int id = f.AddHost(spec);
    f.Database.ExecuteStatement(
        "insert into m_port (id,ID_h,Nomer_p,Name_p,Enabled_p,alarm_traf_in,alarm_traf_out,in_value_pers,"
        "out_value_per,in_notiffication,out_notiffication,speed) values (7,?,3,'eth3','-1','0','0','70','70',"
        "'0','0','1000')",
        {id});
    ASSERT_TRUE(f.Start());
    // Well inside the first read, then stop: the cancelled reads measured nothing.
    f.WaitFor([] { return false; }, 1000);
    ASSERT_TRUE(f.WaitEnded(10000));
    EXPECT_EQ(f.Rows("select ID_p,T_in,T_out,curr_traf_in,curr_traf_out from traf_p"),
              (std::vector<std::vector<QString>>{}));
}

TEST_F(TrafficPeer, CountersAboveTwoToThe31AreReadUnsigned) {
    agent.SetCounter("in", 3, 3000000000u);
    agent.SetCounter("out", 3, 4294967295u);
    ASSERT_NO_FATAL_FAILURE(Walk(2));
    EXPECT_EQ(SampleRows()[1], (std::vector<QString>{"7", "3000000000", "4294967295", "0", "0"}));

    AgeSamples(100);
    agent.SetCounter("in", 3, 3001000000u);
    agent.SetCounter("out", 3, 4294967295u);
    ASSERT_NO_FATAL_FAILURE(Walk(3));
    EXPECT_EQ(SampleRows()[2][1], "3001000000");
    EXPECT_TRUE(RateOver(SampleRows()[2][3], 1000000, 100)) << SampleRows()[2][3].toStdString();
    EXPECT_EQ(SampleRows()[2][4], "0");
}

// The echoes of many hosts in flight at once each get their own answer: a raw ICMP socket sees
// every answer the host receives, and the other exchanges' answers must never crowd out its own
// (they did, so that some of a thousand loopback hosts timed out and would have counted as down).
TEST(EnginePeerEcho, AThousandEchoesAtOnceEachGetTheirOwnAnswer) {
    if (IcmpSocketKindFor(AF_INET) == ISK_None) {
        GTEST_SKIP() << "no ICMP socket may be opened here";
    }
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
    // Threads start and run several times slower under a sanitizer: a thousand at once would
    // measure the runtime, not the sockets, against the 2 s time-out.
    constexpr int hosts = 200;
#else
    constexpr int hosts = 1000;
#endif
    // A socket each, as the program has at start.
    RaiseOpenFileLimit();
    TNetHostProbes probes;
    std::vector<TPingOutcome> outcomes(hosts);
    std::latch start(1);
    std::vector<std::thread> threads;
    auto address = [](int i) {
        return "127.0." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 1);
    };
    for (int i = 0; i < hosts; ++i) {
        threads.emplace_back([&, i] {
            start.wait();
            outcomes[std::size_t(i)] = probes.Ping(address(i), 2000);
        });
    }
    start.count_down();
    for (std::thread& thread : threads) {
        thread.join();
    }
    int failed = 0;
    for (int i = 0; i < hosts; ++i) {
        const TPingOutcome& outcome = outcomes[std::size_t(i)];
        if (!outcome.ErrorDesc.empty() || outcome.Skipped || outcome.TimeMs < 0) {
            ADD_FAILURE() << address(i) << ": \"" << outcome.ErrorDesc << "\" after " << outcome.TimeMs
                          << " ms";
            if (++failed == 5) {
                break;
            }
        }
    }
}

// Many hosts of one address ask one agent at once: every GET is answered, none is lost in a burst
// the agent's receive queue cannot hold (the one-shot GET never repeats its request).
TEST_F(EnginePeer, ManyGetsAtOnceToOneAgentAreAllAnswered) {
#if defined(__SANITIZE_THREAD__)
    constexpr int gets = 200; // threads start slowly under ThreadSanitizer
#else
    constexpr int gets = 1000;
#endif
    CounterAgent agent(f.Dir.file("agent"), FreeUdpPort());
    ASSERT_TRUE(agent.Start());
    RaiseOpenFileLimit();
    TNetHostProbes probes;
    probes.SetSnmpPort(agent.Port());
    std::vector<std::string> replies(gets);
    std::latch start(1);
    std::vector<std::thread> threads;
    for (int i = 0; i < gets; ++i) {
        threads.emplace_back([&, i] {
            start.wait();
            replies[std::size_t(i)] = probes.SnmpGet("127.0.0.1", "public", "1.3.6.1.2.1.1.1.0");
        });
    }
    start.count_down();
    for (std::thread& thread : threads) {
        thread.join();
    }
    int unanswered = 0;
    for (const std::string& reply : replies) {
        unanswered += reply.empty() ? 1 : 0;
    }
    EXPECT_EQ(unanswered, 0);
}
