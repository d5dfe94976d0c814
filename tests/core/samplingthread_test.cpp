// The sampling thread against fake probes: the baseline row, the rate rules (wrap, failed reads,
// speed cap) and the latency samples, with a short sampling window.
#include "core/LangTexts.h"
#include "core/MonitorState.h"
#include "tests/core/engine_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <thread>

namespace {

const std::string InOid = "1.3.6.1.2.1.2.2.1.10.2";
const std::string OutOid = "1.3.6.1.2.1.2.2.1.16.2";

class Sampling : public ::testing::Test {
protected:
    void SetUp() override {
        f.Owner.RepeatSampling = true;
        HostSpec spec;
        spec.Ping = false;
        spec.PortCheck = true;
        spec.Comunity = QStringLiteral("public");
        id = f.AddHost(spec);
        f.Database.ExecuteStatement(
            "insert into m_port (id,ID_h,Nomer_p,Name_p,Enabled_p,alarm_traf_in,alarm_traf_out,in_value_pers,"
            "out_value_per,in_notiffication,out_notiffication,speed) values "
            "(7,?,2,'eth1','-1','0','0','70','70',"
            "'0','0','1')",
            {id});
    }
    int Samples() { return int(f.Rows("select id from traf_p").size()); }
    // Starts monitoring, waits until the table holds Count samples, stops.
    bool SampleUntil(int Count) {
        if (!f.Start()) {
            return false;
        }
        bool ok = f.WaitFor([&] { return Samples() >= Count; }, 10000);
        return f.WaitEnded(5000) && ok;
    }
    std::vector<QString> Row(int N) {
        return f.Rows("select ID_p,T_in,T_out,Curr_traf_in,Curr_traf_out from traf_p order by id")[N];
    }

    EngineFixture f;
    int id = 0;
};

} // namespace

TEST_F(Sampling, BaselineThenRatesAndPreviousRateOnWrapOrFailure) {
    f.Probes.SetSnmp("127.0.0.1", InOid, "1000");
    f.Probes.SetSnmp("127.0.0.1", OutOid, "2000");
    ASSERT_TRUE(SampleUntil(2));
    EXPECT_EQ(Row(0), (std::vector<QString>{"7", "1000", "2000", "0", "0"}));
    EXPECT_EQ(Row(1), (std::vector<QString>{"7", "1000", "2000", "0", "0"}));

    f.Probes.SetSnmp("127.0.0.1", InOid, "1500");
    f.Probes.SetSnmp("127.0.0.1", OutOid, "2100");
    ASSERT_TRUE(SampleUntil(3));
    std::vector<QString> third = Row(2);
    EXPECT_EQ(third[1], "1500");
    // Within the same second or the next: 500 or 250 bytes/s (seconds of 0 count as 1).
    EXPECT_TRUE(third[3] == "500" || third[3] == "250") << third[3].toStdString();
    QString inRate = third[3];

    // Counter went back (wrap) and outbound read fails: both keep the previous rates.
    f.Probes.SetSnmp("127.0.0.1", InOid, "10");
    f.Probes.SetSnmp("127.0.0.1", OutOid, "not a number");
    ASSERT_TRUE(SampleUntil(4));
    std::vector<QString> fourth = Row(3);
    EXPECT_EQ(fourth[1], "10");
    EXPECT_EQ(fourth[2], "0");
    EXPECT_EQ(fourth[3], inRate);
    EXPECT_EQ(fourth[4], third[4]);
}

TEST_F(Sampling, SpeedCapKeepsPreviousRateAndCountersKeepLow32Bits) {
    f.Probes.SetSnmp("127.0.0.1", InOid, "4294967396"); // 2^32 + 100
    f.Probes.SetSnmp("127.0.0.1", OutOid, "100");
    ASSERT_TRUE(SampleUntil(2));
    EXPECT_EQ(Row(0)[1], "100");
    // 1 Mbit/s interface: a jump of 10 MB within a second is at or above the speed.
    f.Probes.SetSnmp("127.0.0.1", InOid, "10000100");
    ASSERT_TRUE(SampleUntil(3));
    EXPECT_EQ(Row(2)[3], "0");
}

TEST_F(Sampling, LatencySampleIsEchoTimeOrTimeout) {
    HostSpec spec;
    spec.IP = QStringLiteral("127.0.0.5");
    spec.Ping = false;
    spec.SPingCheck = true;
    int latency = f.AddHost(spec);
    f.Probes.SetPing("127.0.0.5", "", 17);
    ASSERT_TRUE(f.Start());
    ASSERT_TRUE(f.WaitFor([&] { return !f.Rows("select id from Ping_data").empty(); }, 5000));
    f.Probes.SetPing("127.0.0.5", "Timeout");
    ASSERT_TRUE(
        f.WaitFor([&] { return f.Rows("select id from Ping_data where timeout=2000").size() > 0; }, 5000));
    ASSERT_TRUE(f.WaitEnded(5000));
    auto rows = f.Rows("select ID_h, timeout from Ping_data order by id");
    EXPECT_EQ(rows[0], (std::vector<QString>{QString::number(latency), "17"}));
    EXPECT_EQ(f.Probes.LastPingTimeout("127.0.0.5"), 5000);
}

namespace {

// Counters that rise by 500 at every read of an object and echo times fixed per host; every call
// waits a delay of its own, so hosts further on often answer before the ones ahead of them.
class RisingCounters : public IHostProbes {
public:
    TPingOutcome Ping(const std::string& Host, int TimeoutMs) override {
        (void)TimeoutMs;
        const int last = std::stoi(Host.substr(Host.rfind('.') + 1));
        Delay(last * 7);
        if (last % 9 == 4) {
            return {"Request timed out", -1};
        }
        return {"", last % 40};
    }
    std::string HttpProbe(const std::string&, int) override { return "200 OK"; }
    std::string SnmpGet(const std::string& Host, const std::string& Community,
                        const std::string& OID) override {
        (void)Community;
        int reads = 0;
        {
            std::lock_guard g(FLock);
            reads = FReads[Host + "|" + OID]++;
        }
        const int last = std::stoi(Host.substr(Host.rfind('.') + 1));
        Delay(last * 13 + reads);
        if (last % 11 == 5) {
            return ""; // an agent that does not answer
        }
        return std::to_string(1000 * last + OID.size() * 10 + 500 * reads);
    }
    void CancelAll() override {}
    void ResetCancel() override {}

private:
    static void Delay(int Seed) {
        std::this_thread::sleep_for(std::chrono::microseconds((Seed * 2654435761u) % 700));
    }
    std::mutex FLock;
    std::map<std::string, int> FReads;
};

using TextRows = std::vector<std::vector<std::string>>;

TextRows AsText(const std::vector<std::vector<QString>>& Rows) {
    TextRows texts;
    for (const auto& row : Rows) {
        texts.emplace_back();
        for (const QString& cell : row) {
            texts.back().push_back(cell.toStdString());
        }
    }
    return texts;
}

// One sampling walk over 100 hosts with Bound hosts in flight: the traffic rows and the latency
// rows in the order they were stored.
std::pair<TextRows, TextRows> SampleOnce(int Bound) {
    // The probes outlive the fixture, which stops the threads when it goes.
    RisingCounters probes;
    EngineFixture f;
    f.Owner.UseProbes(probes);
    f.Owner.Bound = Bound;
    int ports = 0;
    int sampled = 0;
    f.Database.StartTransaction();
    for (int i = 0; i < 100; ++i) {
        HostSpec spec;
        spec.IP = QStringLiteral("127.0.70.%1").arg(i + 1);
        spec.Ping = false;
        spec.PortCheck = i % 3 != 0;
        spec.SPingCheck = i % 4 != 1;
        spec.Enabled = i % 17 != 16;
        spec.Comunity = QStringLiteral("public");
        const int id = f.AddHost(spec);
        for (int p = 0; p < 2 && spec.PortCheck; ++p) {
            f.Database.ExecuteStatement(
                "insert into m_port "
                "(ID_h,Nomer_p,Name_p,Enabled_p,alarm_traf_in,alarm_traf_out,in_value_pers,"
                "out_value_per,in_notiffication,out_notiffication,speed) values "
                "(?,?,'eth','-1','0','0','70','70',"
                "'0','0','0')",
                {id, p + 1});
            ports += spec.Enabled ? 1 : 0;
        }
        sampled += spec.Enabled && spec.SPingCheck ? 1 : 0;
    }
    f.Database.CommitTransaction();
    const auto traffic =
        QStringLiteral("select ID_p,T_in,T_out,curr_traf_in,curr_traf_out from traf_p order by id");
    const auto latency = QStringLiteral("select ID_h,timeout from Ping_data order by id");
    // The walk runs inside one transaction, as the program's does; the stop commits it.
    f.Database.StartTransaction();
    EXPECT_TRUE(f.Start());
    // Each interface gets its baseline and its first rates in one walk.
    EXPECT_TRUE(f.WaitFor(
        [&] { return int(f.Rows(traffic).size()) == 2 * ports && int(f.Rows(latency).size()) == sampled; },
        20000));
    EXPECT_TRUE(f.WaitEnded(5000));
    return {AsText(f.Rows(traffic)), AsText(f.Rows(latency))};
}

} // namespace

// The sampler's reads run side by side; the rows go into traf_p and Ping_data in the order and
// with the values of a walk of one host after another, for the same answers.
TEST(SamplingScale, ManyHostsInFlightStoreTheRowsOfTheSequentialWalk) {
    const auto serial = SampleOnce(1);
    const auto wide = SampleOnce(16);
    ASSERT_FALSE(serial.first.empty());
    ASSERT_FALSE(serial.second.empty());
    EXPECT_EQ(serial.first, wide.first);
    EXPECT_EQ(serial.second, wide.second);
    // A silent host's sample is Timeout_Spin; the first interface's baseline, then its first rates.
    EXPECT_NE(std::find(serial.second.begin(), serial.second.end(), std::vector<std::string>{"4", "2000"}),
              serial.second.end());
    EXPECT_EQ(serial.first[0], (std::vector<std::string>{"1", "2220", "2220", "0", "0"}));
    EXPECT_EQ(serial.first[1], (std::vector<std::string>{"1", "2720", "2720", "500", "500"}));
}
