// The status summary: its period, down durations, cell colours and words, the panel texts, the
// icon choice and the exact tray hint lines.
#include "core/StatusSummary.h"

#include "core/HostGrid.h"
#include "core/LangTexts.h"
#include "core/TextConversions.h"
#include "grid/GxGrid.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <ostream>

// Readable failure messages.
inline void PrintTo(const QString& Text, std::ostream* Out) {
    *Out << '"' << Text.toStdString() << '"';
}
inline void PrintTo(const QStringList& Lines, std::ostream* Out) {
    *Out << '[' << Lines.join(u'|').toStdString() << ']';
}

#include <memory>

namespace {

// A whole second, so the display text (which drops fractions) reads back to exactly this time.
const double Now = DateTimeFromUnixTime(1700000000);

double SecondsAgo(qint64 Seconds) {
    return Now - double(Seconds) / 86400.0;
}

class StatusSummaryTest : public ::testing::Test {
protected:
    void SetUp() override {
        LangTexts::UseBuiltInEnglish();
        CreateHostGridColumns(Grid);
    }
    void TearDown() override { LangTexts::UseBuiltInEnglish(); }

    int AddHost(const QString& Status, bool Enabled = true, const QString& DatePod = QString()) {
        const int row = Grid.AddRow();
        Grid.Cell("Host", row).SetAsString(QStringLiteral("host%1").arg(row));
        Grid.Cell("IP", row).SetAsString(QStringLiteral("10.0.0.%1").arg(row));
        Grid.Cell("Status", row).SetAsString(Status);
        Grid.Cell("Enabled", row).SetAsBoolean(Enabled);
        Grid.Cell("Date_Pod", row).SetAsString(DatePod);
        return row;
    }
    QString Text(const char* Column, int Row) { return Grid.Cell(Column, Row).GetAsString(); }
    TColor Color(int Row) { return Grid.Cell("Status", Row).Color(); }
    TStatusSummaryTick Tick(bool Active = true) { return StatusSummaryTick(Grid, Active, Now); }

    TDataGrid Grid;
};

TEST(StatusSummaryText, TimeDownSpellsDaysHoursMinutesSecondsWithoutLeadingZeros) {
    EXPECT_EQ(TimeDownText(0), "0d 0h 0m 0s");
    EXPECT_EQ(TimeDownText(3 * 3600 + 7 * 60 + 12), "0d 3h 7m 12s");
    EXPECT_EQ(TimeDownText(59), "0d 0h 0m 59s");
    EXPECT_EQ(TimeDownText(86399), "0d 23h 59m 59s");
    EXPECT_EQ(TimeDownText(2 * 86400 + 3600 + 5), "2d 1h 0m 5s");
    EXPECT_EQ(TimeDownText(400 * 86400), "400d 0h 0m 0s");
    EXPECT_EQ(TimeDownText(-5), "0d 0h 0m 0s");
}

TEST(StatusSummaryText, TimeDownUnitsFollowTheLanguage) {
    ASSERT_TRUE(LangTexts::Load(QString::fromStdString(zt::test::SourcePath("Data/")), "Russian"));
    EXPECT_EQ(TimeDownText(86400 + 7 * 60 + 4), QString::fromUtf8("1д 0ч 7мин 4с"));
    LangTexts::UseBuiltInEnglish();
    EXPECT_EQ(TimeDownText(4), "0d 0h 0m 4s");
}

TEST(StatusSummaryText, IntervalIsFiveMsPerRowAndAtLeastTwoSeconds) {
    EXPECT_EQ(StatusSummaryInterval(1000), 5000);
    EXPECT_EQ(StatusSummaryInterval(10), 2000);
    EXPECT_EQ(StatusSummaryInterval(0), 2000);
    EXPECT_EQ(StatusSummaryInterval(399), 2000);
    EXPECT_EQ(StatusSummaryInterval(400), 2000);
    EXPECT_EQ(StatusSummaryInterval(401), 2005);
    EXPECT_EQ(StatusSummaryInterval(10000), 50000);
}

TEST(StatusSummaryText, DownSecondsReadsTheDisplayTextAndGivesZeroForAnythingElse) {
    EXPECT_EQ(DownSeconds(DateTimeToDisplayText(SecondsAgo(11232)), Now), 11232);
    EXPECT_EQ(DownSeconds(QStringLiteral("yesterday"), Now), 0);
    EXPECT_EQ(DownSeconds(QString(), Now), 0);
}

TEST_F(StatusSummaryTest, IntervalFollowsTheRowCountOfTheGrid) {
    Grid.AddRow(1000);
    EXPECT_EQ(Tick().Interval, 5000);
    EXPECT_EQ(Tick(false).Interval, 5000);
    Grid.ClearRows();
    Grid.AddRow(10);
    EXPECT_EQ(Tick().Interval, 2000);
}

TEST_F(StatusSummaryTest, StoppedMonitoringSetsOnlyTheInterval) {
    const int down = AddHost(QStringLiteral("Down"));
    const int off = AddHost(QStringLiteral("OK"), false);
    const TStatusSummaryTick tick = Tick(false);
    EXPECT_FALSE(tick.Ran);
    EXPECT_EQ(tick.Interval, 2000);
    EXPECT_TRUE(tick.TrayHintLines.isEmpty());
    EXPECT_FALSE(tick.Panel3.Text || tick.Panel4.Text || tick.Panel5.Text);
    EXPECT_EQ(Text("Date_Pod", down), "");
    EXPECT_EQ(Text("Status", off), "OK");
    EXPECT_EQ(Color(down), clWindow);
}

TEST_F(StatusSummaryTest, TimeDownOfDownHosts) {
    const int since =
        AddHost(QStringLiteral("Down"), true, DateTimeToDisplayText(SecondsAgo(3 * 3600 + 7 * 60 + 12)));
    const int empty = AddHost(QStringLiteral("Down"));
    const int unreadable = AddHost(QStringLiteral("Packet loss"), true, QStringLiteral("not a date"));
    Tick();
    EXPECT_EQ(Text("TimeDown", since), "0d 3h 7m 12s");
    // An empty Date_Pod is stamped with the time of the tick.
    EXPECT_EQ(Text("Date_Pod", empty), DateTimeToDisplayText(Now));
    EXPECT_EQ(Text("TimeDown", empty), "0d 0h 0m 0s");
    EXPECT_EQ(Text("Date_Pod", unreadable), "not a date");
    EXPECT_EQ(Text("TimeDown", unreadable), "0d 0h 0m 0s");
}

TEST_F(StatusSummaryTest, AKeptSummaryFollowsNewTimesAndNewTexts) {
    TStatusSummary summary;
    const int row = AddHost(QStringLiteral("Down"), true, DateTimeToDisplayText(SecondsAgo(60)));
    summary.Tick(Grid, true, Now);
    EXPECT_EQ(Text("TimeDown", row), "0d 0h 1m 0s");
    summary.Tick(Grid, true, Now + 30.0 / 86400);
    EXPECT_EQ(Text("TimeDown", row), "0d 0h 1m 30s");
    Grid.Cell("Date_Pod", row).SetAsString(DateTimeToDisplayText(SecondsAgo(7200)));
    summary.Tick(Grid, true, Now);
    EXPECT_EQ(Text("TimeDown", row), "0d 2h 0m 0s");
    Grid.Cell("Date_Pod", row).SetAsString(QStringLiteral("garbage"));
    summary.Tick(Grid, true, Now);
    EXPECT_EQ(Text("TimeDown", row), "0d 0h 0m 0s");
    Grid.Cell("Date_Pod", row).SetAsString(DateTimeToDisplayText(SecondsAgo(60)));
    summary.Tick(Grid, true, Now);
    EXPECT_EQ(Text("TimeDown", row), "0d 0h 1m 0s");
    // Rows that exchange their texts, and rows sharing one, each follow their own text.
    const int other = AddHost(QStringLiteral("Down"), true, DateTimeToDisplayText(SecondsAgo(7200)));
    const int same = AddHost(QStringLiteral("Down"), true, DateTimeToDisplayText(SecondsAgo(7200)));
    summary.Tick(Grid, true, Now);
    Grid.Cell("Date_Pod", row).SetAsString(DateTimeToDisplayText(SecondsAgo(7200)));
    Grid.Cell("Date_Pod", other).SetAsString(DateTimeToDisplayText(SecondsAgo(60)));
    summary.Tick(Grid, true, Now);
    EXPECT_EQ(Text("TimeDown", row), "0d 2h 0m 0s");
    EXPECT_EQ(Text("TimeDown", other), "0d 0h 1m 0s");
    EXPECT_EQ(Text("TimeDown", same), "0d 2h 0m 0s");
}

TEST_F(StatusSummaryTest, AnOkRowHasAnEmptyTimeDown) {
    const int row = AddHost(QStringLiteral("OK"), true, DateTimeToDisplayText(SecondsAgo(100)));
    Grid.Cell("TimeDown", row).SetAsString(QStringLiteral("0d 0h 1m 40s"));
    Tick();
    EXPECT_EQ(Text("TimeDown", row), "");
    EXPECT_EQ(Text("Date_Pod", row), DateTimeToDisplayText(SecondsAgo(100)));
}

TEST_F(StatusSummaryTest, StatusCellsAreColouredByState) {
    const int ok = AddHost(QStringLiteral("OK"));
    const int down = AddHost(QStringLiteral("Down"));
    const int loss = AddHost(QStringLiteral("Packet loss"));
    Tick();
    EXPECT_EQ(Color(ok), clLime);
    EXPECT_EQ(Color(down), clRed);
    EXPECT_EQ(Color(loss), clWindow);
}

TEST_F(StatusSummaryTest, ADisabledHostTurnsGreyWithTheDisabledWordAtTheNextTick) {
    const int row = AddHost(QStringLiteral("OK"));
    Tick();
    EXPECT_EQ(Color(row), clLime);
    Grid.Cell("Enabled", row).SetAsBoolean(false);
    TStatusSummaryTick tick = Tick();
    EXPECT_EQ(Text("Status", row), "Disabled");
    EXPECT_EQ(Color(row), clGray);
    EXPECT_EQ(tick.Counts.Disabled, 1);
    EXPECT_EQ(*tick.Panel5.Text, "1 host disabled");
    // A grey cell keeps the text the engine writes, unless that turns it red again.
    Grid.Cell("Status", row).SetAsString(QStringLiteral("Packet loss"));
    tick = Tick();
    EXPECT_EQ(Text("Status", row), "Packet loss");
    EXPECT_EQ(Color(row), clGray);
    Grid.Cell("Status", row).SetAsString(QStringLiteral("Down"));
    tick = Tick();
    EXPECT_EQ(tick.Counts.Down, 1);
    EXPECT_EQ(Text("Status", row), "Disabled");
    EXPECT_EQ(Color(row), clGray);
}

TEST_F(StatusSummaryTest, PanelTextsAndColours) {
    AddHost(QStringLiteral("OK"));
    const int second = AddHost(QStringLiteral("Down"));
    TStatusSummaryTick tick = Tick();
    EXPECT_EQ(*tick.Panel3.Text, "1 host OK");
    EXPECT_EQ(*tick.Panel3.FontColor, 0x008000);
    EXPECT_EQ(*tick.Panel4.Text, "1 host down");
    EXPECT_EQ(*tick.Panel4.FontColor, clRed);
    EXPECT_EQ(*tick.Panel5.Text, "0 hosts disabled");
    EXPECT_FALSE(tick.Panel5.FontColor);

    Grid.Cell("Status", second).SetAsString(QStringLiteral("OK"));
    tick = Tick();
    EXPECT_EQ(*tick.Panel3.Text, "2 hosts OK");
    EXPECT_EQ(*tick.Panel4.Text, "No hosts down");
    EXPECT_EQ(*tick.Panel4.FontColor, clBlack);

    for (int row = 0; row < Grid.RowCount(); ++row)
        Grid.Cell("Status", row).SetAsString(QStringLiteral("Down"));
    AddHost(QStringLiteral("Down"), false);
    tick = Tick();
    EXPECT_EQ(*tick.Panel3.Text, "0 hosts OK");
    EXPECT_EQ(*tick.Panel3.FontColor, 0x008000);
    EXPECT_EQ(*tick.Panel4.Text, "3 hosts down");
    EXPECT_EQ(*tick.Panel5.Text, "1 host disabled");
}

TEST_F(StatusSummaryTest, IconFollowsTheWorstState) {
    const int row = AddHost(QStringLiteral("OK"));
    EXPECT_EQ(Tick().Icon, TSummaryIcon::Image7);
    Grid.Cell("Status", row).SetAsString(QStringLiteral("Packet loss"));
    EXPECT_EQ(Tick().Icon, TSummaryIcon::Image8);
    AddHost(QStringLiteral("Down"));
    EXPECT_EQ(Tick().Icon, TSummaryIcon::Image6);
}

TEST_F(StatusSummaryTest, TrayHintLinesOfFiveHosts) {
    AddHost(QStringLiteral("OK"));
    AddHost(QStringLiteral("OK"));
    const QString since = DateTimeToDisplayText(SecondsAgo(60));
    AddHost(QStringLiteral("Down"), true, since);
    AddHost(QStringLiteral("Packet loss"), true, since);
    AddHost(QStringLiteral("Disabled"), false, since);
    const TStatusSummaryTick tick = Tick();
    EXPECT_TRUE(tick.Ran);
    EXPECT_EQ(tick.TrayHintLines,
              QStringList({"Zorvanite Tarnequill Pro", "", "Hosts down:", since + ", host2, 10.0.0.2", "",
                           "Hosts: 5, OK: 2, Down: 1, Disabled: 1, Packet loss: 1"}));
    EXPECT_EQ(tick.Counts.Rows, 5);
    EXPECT_EQ(tick.Counts.OK, 2);
    EXPECT_EQ(tick.Counts.Down, 1);
    EXPECT_EQ(tick.Counts.Disabled, 1);
    EXPECT_EQ(tick.Counts.PacketLoss, 1);
}

TEST_F(StatusSummaryTest, TrayHintWithoutDownHostsHasNoDownHeading) {
    AddHost(QStringLiteral("OK"));
    EXPECT_EQ(Tick().TrayHintLines, QStringList({"Zorvanite Tarnequill Pro", "", "",
                                                 "Hosts: 1, OK: 1, Down: 0, Disabled: 0, Packet loss: 0"}));
    Grid.ClearRows();
    EXPECT_EQ(Tick().TrayHintLines, QStringList({"Zorvanite Tarnequill Pro", "", "",
                                                 "Hosts: 0, OK: 0, Down: 0, Disabled: 0, Packet loss: 0"}));
}

TEST_F(StatusSummaryTest, TrayHintListsFortyDownHostsThenAnEllipsisAndAlwaysTheCountLine) {
    for (int i = 0; i < 45; ++i)
        AddHost(QStringLiteral("Down"), true, QStringLiteral("x"));
    const TStatusSummaryTick tick = Tick();
    ASSERT_EQ(tick.TrayHintLines.size(), 3 + 40 + 1 + 2);
    EXPECT_EQ(tick.TrayHintLines[3], "x, host0, 10.0.0.0");
    EXPECT_EQ(tick.TrayHintLines[42], "x, host39, 10.0.0.39");
    EXPECT_EQ(tick.TrayHintLines[43], QStringLiteral("\u2026"));
    EXPECT_EQ(tick.TrayHintLines.last(), "Hosts: 45, OK: 0, Down: 45, Disabled: 0, Packet loss: 0");
    EXPECT_EQ(*tick.Panel4.Text, "45 hosts down");
}

TEST_F(StatusSummaryTest, NamesAndAddressesGoIntoTheHintAsTheyStand) {
    const int row = AddHost(QStringLiteral("Down"), true, QStringLiteral("d"));
    Grid.Cell("Host", row).SetAsString(QStringLiteral("<b>He said \"hi\"</b>"));
    Grid.Cell("IP", row).SetAsString(QStringLiteral("a&b"));
    EXPECT_EQ(Tick().TrayHintLines[3], "d, <b>He said \"hi\"</b>, a&b");
}

TEST_F(StatusSummaryTest, WordsComeFromTheCurrentLanguage) {
    QStringList lines;
    for (int i = 0; i < LangTextCount; ++i)
        lines << LangTextTable::BuiltInEnglish()->Text(i);
    lines[277] = QStringLiteral("In Ordnung");
    lines[280] = QStringLiteral("Ausgefallen");
    lines[281] = QStringLiteral("Deaktiviert");
    lines[309] = QStringLiteral("Host ausgefallen");
    lines[376] = QStringLiteral("Hosts gesamt:");
    LangTexts::Install(std::make_shared<LangTextTable>(LangTextTable().WithLines(lines)));
    const int ok = AddHost(QStringLiteral("In Ordnung"));
    AddHost(QStringLiteral("Ausgefallen"), true, QStringLiteral("d"));
    const int off = AddHost(QStringLiteral("OK"), false);
    const TStatusSummaryTick tick = Tick();
    EXPECT_EQ(Color(ok), clLime);
    EXPECT_EQ(*tick.Panel4.Text, "1 Host ausgefallen");
    EXPECT_EQ(Text("Status", off), "Deaktiviert");
    EXPECT_EQ(tick.TrayHintLines.last(), "Hosts gesamt: 3, OK: 1, Down: 1, Disabled: 1, Packet loss: 0");
}

} // namespace
