// The engine's row contract with monitoring running: while a host's echo is under way, rows are
// deleted or inserted above it; the host's results land on its own row and nowhere else, and every
// other host's cells and events stay its own.
#include "core/HostGrid.h"
#include "core/LangTexts.h"
#include "tests/core/engine_fixture.h"

#include <gtest/gtest.h>

using Codes = std::vector<QString>;

namespace {

struct Hosts {
    int Above = 0;   // answers; deleted in one run
    int Checked = 0; // latched, then fails
    int Below = 0;   // answers
};

Hosts AddThreeHosts(EngineFixture& F) {
    Hosts ids;
    HostSpec spec;
    spec.Host = QStringLiteral("above");
    spec.IP = QStringLiteral("127.0.0.20");
    ids.Above = F.AddHost(spec);
    spec.Host = QStringLiteral("checked");
    spec.IP = QStringLiteral("127.0.0.21");
    ids.Checked = F.AddHost(spec);
    spec.Host = QStringLiteral("below");
    spec.IP = QStringLiteral("127.0.0.22");
    ids.Below = F.AddHost(spec);
    F.Probes.SetPing("127.0.0.21", "Timeout");
    F.Probes.SetLatched("127.0.0.21");
    return ids;
}

// Starts monitoring and returns once the checked host's echo waits on its latch.
void StartAndWaitForTheLatch(EngineFixture& F) {
    F.Owner.PassesAllowed = 1000; // passes follow one another until the test stops them
    ASSERT_TRUE(F.Start());
    ASSERT_TRUE(F.WaitFor([&] { return F.Probes.Waiting("127.0.0.21"); }, 5000));
}

// Releases the latch and lets three more passes run with monitoring still on, then stops.
void ReleaseAndRunOn(EngineFixture& F) {
    const int passes = F.PassCount();
    F.Probes.Release("127.0.0.21");
    ASSERT_TRUE(F.WaitFor([&] { return F.PassCount() >= passes + 3; }, 10000));
    ASSERT_TRUE(F.WaitEnded(5000));
}

void ExpectCheckedHostDownAndBelowUntouched(EngineFixture& F, const Hosts& Ids) {
    EXPECT_EQ(F.EventCodes(Ids.Checked), Codes{"ID"});
    EXPECT_EQ(F.Cell(Ids.Checked, "ICMP_Status"), LangText(291) + " Timeout");
    EXPECT_EQ(F.Cell(Ids.Checked, "Status"), LangText(280));
    EXPECT_EQ(F.EventCodes(Ids.Below), Codes{});
    EXPECT_EQ(F.Cell(Ids.Below, "ICMP_kol_vo_p"), "0");
    EXPECT_EQ(F.Cell(Ids.Below, "ICMP_Status"), "");
    EXPECT_EQ(F.Cell(Ids.Below, "Status"), LangText(277));
    EXPECT_EQ(F.Cell(Ids.Below, "Host"), "below");
    // The one down event names the checked host, with its text.
    auto log = F.Rows(QStringLiteral("select ID_h_d, L_Status, Stat_D from log order by ID"));
    ASSERT_GE(log.size(), 1u);
    EXPECT_EQ(log[0], (std::vector<QString>{QString::number(Ids.Checked), LangText(291) + " Timeout", "ID"}));
}

} // namespace

TEST(CheckEngineRows, RowDeletedAboveTheHostBeingCheckedWhileMonitoringRuns) {
    EngineFixture f;
    // One failure is an event: a result put on the wrong row leaves a log row behind.
    f.SetThreshold(1);
    const Hosts ids = AddThreeHosts(f);
    StartAndWaitForTheLatch(f);
    f.Hosts.DeleteRow(f.RowOf(ids.Above));
    ReleaseAndRunOn(f);
    ExpectCheckedHostDownAndBelowUntouched(f, ids);
    EXPECT_EQ(f.RowOf(ids.Above), -1);
    EXPECT_EQ(f.Hosts.RowCount(), 2);
    EXPECT_EQ(f.EventCodes(ids.Above), Codes{});
    EXPECT_EQ(f.Rows(QStringLiteral("select count(*) from log"))[0][0], "1");
}

TEST(CheckEngineRows, RowInsertedAboveTheHostBeingCheckedWhileMonitoringRuns) {
    EngineFixture f;
    // One failure is an event: a result put on the wrong row leaves a log row behind.
    f.SetThreshold(1);
    const Hosts ids = AddThreeHosts(f);
    StartAndWaitForTheLatch(f);
    // A new host put in at the top of the table; it fails from its first pass on.
    HostSpec spec;
    spec.Host = QStringLiteral("inserted");
    spec.IP = QStringLiteral("127.0.0.23");
    const int inserted = f.AddHost(spec);
    const int last = f.RowOf(inserted);
    auto table = f.Database.OpenResultTable(QStringLiteral("select * from hosts where id=?"), {inserted});
    f.Hosts.DeleteRow(last);
    f.Hosts.InsertRow(0);
    FillHostRow(f.Hosts, 0, *table);
    f.Probes.SetPing("127.0.0.23", "Unreachable");
    ReleaseAndRunOn(f);
    ExpectCheckedHostDownAndBelowUntouched(f, ids);
    EXPECT_EQ(f.RowOf(inserted), 0);
    EXPECT_EQ(f.EventCodes(ids.Above), Codes{});
    EXPECT_EQ(f.Cell(ids.Above, "ICMP_kol_vo_p"), "0");
    EXPECT_EQ(f.Cell(ids.Above, "Status"), LangText(277));
    EXPECT_EQ(f.Cell(ids.Above, "Host"), "above");
    // The inserted host's own failure is its own, never the checked host's or a neighbour's.
    EXPECT_EQ(f.EventCodes(inserted), Codes{"ID"});
    EXPECT_EQ(f.Cell(inserted, "ICMP_Status"), LangText(291) + " Unreachable");
    EXPECT_EQ(f.Rows(QStringLiteral("select count(*) from log"))[0][0], "2");
}
