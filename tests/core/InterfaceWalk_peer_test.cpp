// The interface walk and the SNMP utility against the SNMP simulator from Debian: the rows of a
// device with ifIndex 1, 2, 10001, a device whose ifDescr values are numbers, a silent device, a
// walk cancelled half-way, and the utility's one line.
#include "core/InterfaceWalk.h"

#include "core/LangTexts.h"
#include "core/SnmpUtility.h"
#include "core/Synchronize.h"
#include "core/ToolWorkers.h"
#include "grid/GxGrid.h"
#include "tests/core/snmpsim_peer.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

namespace {

struct TWalkResult {
    int Found = -1;
    std::vector<std::pair<int, int>> Progress;
};

TWalkResult Walk(TDataGrid& Grid, const std::string& Port, int TimeoutMs = 5000) {
    TWalkResult result;
    TToolWorkers workers;
    workers.Start([&](TToolJob& Job) {
        TGet_interfacesThread walk({"127.0.0.1", "vorpal", Port, TimeoutMs}, Grid,
                                   [&](int Found, int Filled) {
                                       result.Progress.push_back({Found, Filled});
                                   });
        result.Found = walk.Execute(Job);
    });
    EXPECT_TRUE(workers.WaitIdle(60000));
    return result;
}

std::vector<QStringList> Rows(const TDataGrid& Grid) {
    std::vector<QStringList> rows;
    for (int r = 0; r < Grid.RowCount(); ++r) {
        QStringList row;
        for (int c = 0; c < 9; ++c)
            row << Grid.CellText(c, r);
        rows.push_back(row);
    }
    return rows;
}

class WalkPeer : public ::testing::Test {
protected:
    void SetUp() override {
        LangTexts::UseBuiltInEnglish();
        CreateInterfaceGridColumns(Grid, false);
    }
    TDataGrid Grid;
};

} // namespace

TEST_F(WalkPeer, ThreeInterfacesWithTheirNamesCountersAndStatus) {
    zt::test::SnmpsimPeer agent("three");
    if (!agent.Ready())
        GTEST_SKIP() << "snmpsimd did not come up";
    Grid.AddRow(3); // a walk starts from an empty list
    const TWalkResult walk = Walk(Grid, agent.PortText());
    EXPECT_EQ(walk.Found, 3);
    const std::vector<QStringList> expected = {
        {"True", "1", "eth0 - Intel Ethernet - uplink", "4294967295", "123", "", "Up", "1000", "Up"},
        {"False", "2", "eth1 - backup", "0", "0", "", "Down", "0", "Admin down"},
        {"False", "10001", "Loopback interface", "77", "88", "", "Testing", "10", "Testing"}};
    EXPECT_EQ(Rows(Grid), expected);
    EXPECT_EQ(Grid.Cell(6, 0).Color(), 0x008000);
    EXPECT_EQ(Grid.Cell(6, 1).Color(), 0x0000FF);
    EXPECT_EQ(Grid.Cell(8, 1).Color(), 0x0000FF);
    EXPECT_EQ(Grid.Cell(6, 2).Color(), 0x00FFFF);
    EXPECT_EQ(Grid.Cell(8, 2).Color(), 0x00FFFF);
    // Emptied first, the count once known, then rows filled in (in steps of up to 50 ms), up to all.
    ASSERT_GE(walk.Progress.size(), 3u);
    EXPECT_EQ(walk.Progress[0], (std::pair<int, int>{0, 0}));
    EXPECT_EQ(walk.Progress[1], (std::pair<int, int>{3, 0}));
    EXPECT_EQ(walk.Progress.back(), (std::pair<int, int>{3, 3}));
    for (size_t i = 2; i < walk.Progress.size(); ++i)
        EXPECT_GT(walk.Progress[i].second, walk.Progress[i - 1].second);
}

TEST_F(WalkPeer, NumericDescriptionsAddNoRows) {
    zt::test::SnmpsimPeer agent("numeric");
    if (!agent.Ready())
        GTEST_SKIP() << "snmpsimd did not come up";
    EXPECT_EQ(Walk(Grid, agent.PortText()).Found, 2);
    ASSERT_EQ(Grid.RowCount(), 2);
    EXPECT_EQ(Grid.CellText(1, 0), "1");
    EXPECT_EQ(Grid.CellText(1, 1), "2");
    EXPECT_EQ(Grid.CellText(2, 0), "7");
    EXPECT_EQ(Grid.CellText(6, 0), "Unknown");
}

TEST_F(WalkPeer, ASilentDeviceGivesNoRowsAfterItsTimeOut) {
    zt::test::SilentUdpAgent agent;
    QElapsedTimer clock;
    clock.start();
    const TWalkResult walk = Walk(Grid, agent.PortText());
    EXPECT_GE(clock.elapsed(), 4900);
    EXPECT_EQ(walk.Found, 0);
    EXPECT_EQ(Grid.RowCount(), 0);
}

TEST_F(WalkPeer, ACancelledWalkStopsAndWritesNoMore) {
    zt::test::SnmpsimPeer agent("many:300");
    if (!agent.Ready())
        GTEST_SKIP() << "snmpsimd did not come up";
    TToolWorkers workers;
    std::atomic<int> rowsSeen{0};
    workers.Start([&](TToolJob& Job) {
        TGet_interfacesThread walk({"127.0.0.1", "vorpal", agent.PortText(), 5000}, Grid, [&](int, int) {});
        walk.Execute(Job);
    });
    WaitServingSynchronize([&] { return Grid.RowCount() >= 20; }, 20000);
    workers.CancelAll();
    rowsSeen = Grid.RowCount();
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(workers.WaitIdle(5000));
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_GE(rowsSeen.load(), 20);
    EXPECT_LT(rowsSeen.load(), 300);
    EXPECT_EQ(Grid.RowCount(), rowsSeen.load());
}

TEST(SnmpUtilityPeer, OneLinePerTestEmptyOnFailure) {
    zt::test::SnmpsimPeer agent("three");
    if (!agent.Ready())
        GTEST_SKIP() << "snmpsimd did not come up";
    auto run = [&](const std::string& Oid, const std::string& Community) {
        QStringList memo{"old line"};
        TToolWorkers workers;
        workers.Start([&](TToolJob& Job) {
            TSNMP_util_Thread test(
                {"127.0.0.1", Community, agent.PortText(), 1000}, Oid, 160, [&] { memo.clear(); },
                [&](const QString& Line) { memo << Line; });
            test.Execute(Job);
        });
        EXPECT_TRUE(workers.WaitIdle(10000));
        return memo;
    };
    EXPECT_EQ(run("1.3.6.1.2.1.1.3.0", "vorpal"), QStringList{"12345"});
    EXPECT_EQ(run("1.3.6.1.2.1.1.1.0", "vorpal"), QStringList{"Simulated switch"});
    EXPECT_EQ(run("1.3.6.1.4.1.9.1.1", "vorpal"), QStringList{""});
    EXPECT_EQ(run("1.3.6.1.2.1.1.1.0", "wrong"), QStringList{""});
}
