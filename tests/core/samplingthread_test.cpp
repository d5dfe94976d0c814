// The sampling thread against fake probes: the baseline row, the rate rules (wrap, failed reads,
// speed cap) and the latency samples, with a short sampling window.
#include "core/LangTexts.h"
#include "core/MonitorState.h"
#include "tests/core/engine_fixture.h"

#include <gtest/gtest.h>

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
