// Log pages without a display: day bounds, the 24-hour window and the day offset, the day picker on
// the first of a month, clearing today and everything, the host filters with hostile text, the log
// viewer's clear, the clipboard text and the sender filter.
#include "core/DatabaseSchema.h"
#include "core/HostGrid.h"
#include "core/LogGrids.h"
#include "core/LogPages.h"
#include "core/SQLiteDb.h"
#include "core/TextConversions.h"
#include "grid/GxGrid.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDateTime>

namespace {

qint64 Local(int Year, int Month, int Day, int Hour = 0, int Minute = 0, int Second = 0) {
    return UnixTimeFromDateTime(
        QDateTimeToDateTime(QDateTime(QDate(Year, Month, Day), QTime(Hour, Minute, Second))));
}

class LogPagesTest : public ::testing::Test {
protected:
    void SetUp() override {
        Db.Open(QString::fromStdString(Dir.file("dbm.db")));
        CreateMissingTables(Db);
        Db.ExecuteStatement("insert into hosts (host, IP) values ('A', '10.0.0.1')");
        Db.ExecuteStatement("insert into hosts (host, IP) values ('B', '10.0.0.2')");
    }
    void Event(qint64 Time, const QString& Text, int Host = 1) {
        Db.ExecuteStatement("insert into log (Date_time,L_Status,Stat_D,ID_h_d)values(?, ?, ?, ?)",
                            {Int64ToText(Time), Text, "ID", Host});
    }
    void Syslog(qint64 Time, const QString& Text, const QString& IP = "gw") {
        Db.ExecuteStatement("insert into syslog (Date_time,Status,IP)values(?, ?, ?)",
                            {Int64ToText(Time), Text, IP});
    }
    void Line(qint64 Time, const QString& Text) {
        Db.ExecuteStatement("insert into program_log (Date_time,Status)values(?, ?)",
                            {Int64ToText(Time), Text});
    }
    QStringList Column(TDataGrid& Grid, const char* Name) {
        QStringList texts;
        for (int row = 0; row < Grid.RowCount(); ++row)
            texts << Grid.CellText(Grid.ColumnIndex(QLatin1String(Name)), row);
        return texts;
    }
    QStringList Texts(const QString& SQL) {
        QStringList texts;
        const auto table = Db.OpenResultTable(SQL);
        for (; !table->AtEnd(); table->NextRow())
            texts << table->FieldTextOrEmpty(0);
        return texts;
    }
    QStringList Loaded(TLogKind Kind, const TLogStatement& Statement) {
        TDataGrid grid;
        if (Kind == lkEvents)
            CreateEventLogGridColumns(grid);
        else if (Kind == lkSyslog)
            CreateSyslogGridColumns(grid);
        else
            CreateProgramLogGridColumns(grid);
        LoadLogGrid(Kind, Statement, grid, Db);
        return Column(grid, Kind == lkEvents ? "L_Status" : Kind == lkSyslog ? "Desc_" : "Event");
    }
    zt::test::TempDir Dir;
    TSQLiteDatabase Db;
};

} // namespace

TEST(LogDays, ADayRunsFromMidnightToTheNextMidnight) {
    const qint64 midnight = Local(2026, 12, 1);
    EXPECT_EQ(midnight % SecondsPerDay, 0);
    for (const qint64 t : {midnight, midnight + 1, midnight + 43200, midnight + 86399}) {
        EXPECT_EQ(DayBoundsOf(t).First, midnight) << t;
        EXPECT_EQ(DayBoundsOf(t).Next, Local(2026, 12, 2)) << t;
    }
    EXPECT_EQ(DayBoundsOf(midnight - 1).First, Local(2026, 11, 30));
    EXPECT_EQ(DayBoundsOf(midnight + 86400).First, Local(2026, 12, 2));
    EXPECT_EQ(DayBoundsOf(-1).First, -86400);
    EXPECT_EQ(DayBoundsOf(-86400).First, -86400);
    EXPECT_EQ(DayBoundsOf(0).Next, 86400);
    // A day is 86400 stored seconds also across a change of summer time.
    EXPECT_EQ(Local(2026, 3, 30) - Local(2026, 3, 29), SecondsPerDay);
}

TEST_F(LogPagesTest, TheLast24HoursIncludeTheCurrentSecondOnEveryPage) {
    const qint64 now = Local(2026, 12, 9, 12, 0, 0);
    for (const qint64 t : {now - 86400, now - 86399, now - 1, now, now + 1})
        Syslog(t, Int64ToText(t - now));
    EXPECT_EQ(Loaded(lkSyslog, Last24HoursStatement(lkSyslog, now)), QStringList({"0", "-1", "-86399"}));
    for (const qint64 t : {now - 86400, now - 5, now})
        Event(t, Int64ToText(t - now));
    EXPECT_EQ(Loaded(lkEvents, Last24HoursStatement(lkEvents, now)), QStringList({"0", "-5"}));
    for (const qint64 t : {now, now - 86400, now - 86399})
        Line(t, Int64ToText(t - now));
    EXPECT_EQ(Loaded(lkProgramLog, Last24HoursStatement(lkProgramLog, now)), QStringList({"-86399", "0"}));
}

TEST_F(LogPagesTest, DayOffsetMovesTheEventWindowByWholeDays) {
    const qint64 now = Local(2026, 12, 9, 12, 0, 0);
    for (int hoursAgo : {0, 1, 23, 24, 25, 47, 48, 49})
        Event(now - hoursAgo * 3600, QString::number(hoursAgo));
    TEventLogDays days;
    const QStringList first = Loaded(lkEvents, days.Shown(now));
    EXPECT_EQ(first, QStringList({"23", "1", "0"}));
    EXPECT_EQ(Loaded(lkEvents, days.Shown(now)), first);
    EXPECT_EQ(Loaded(lkEvents, days.Window(now)), first);
    EXPECT_EQ(Loaded(lkEvents, days.Back(now)), QStringList({"47", "25", "24"}));
    EXPECT_EQ(days.LogDayOffset, -1);
    EXPECT_EQ(Loaded(lkEvents, days.Back(now)), QStringList({"49", "48"}));
    // Showing the page again shows the last 24 hours and keeps the offset.
    EXPECT_EQ(Loaded(lkEvents, days.Shown(now)), first);
    EXPECT_EQ(days.LogDayOffset, -2);
    EXPECT_EQ(Loaded(lkEvents, days.Forward(now)), QStringList({"47", "25", "24"}));
    EXPECT_EQ(Loaded(lkEvents, days.Forward(now)), first);
    EXPECT_EQ(days.LogDayOffset, 0);
    EXPECT_TRUE(Loaded(lkEvents, days.Forward(now)).isEmpty());
}

TEST_F(LogPagesTest, DayPickerOnTheFirstOfAMonthShowsThatDayNewestFirst) {
    const qint64 first = Local(2026, 12, 1);
    // Inserted out of time order: the pages order by ID, newest row first.
    Event(first + 43200, "noon");
    Event(first - 1, "November");
    Event(first, "midnight");
    Event(first + 86400, "second of December");
    Event(first + 86399, "last second");
    TDataGrid grid;
    CreateEventLogGridColumns(grid);
    const double day = QDateTimeToDateTime(QDateTime(QDate(2026, 12, 1), QTime(0, 0)));
    ShowLogDay(lkEvents, day, grid, Db);
    EXPECT_EQ(Column(grid, "L_Status"), QStringList({"last second", "midnight", "noon"}));
    EXPECT_EQ(Column(grid, "GxIncrementColumn1"), QStringList({"1", "2", "3"}));
    EXPECT_EQ(Column(grid, "Host_N"), QStringList({"A", "A", "A"}));
    // A time of day on the picked date gives the same day.
    ShowLogDay(lkEvents, day + 0.75, grid, Db);
    EXPECT_EQ(grid.RowCount(), 3);

    Syslog(first, "s midnight");
    Syslog(first - 1, "s before");
    Line(first + 86399, "p last");
    Line(first + 86400, "p after");
    TDataGrid syslog;
    CreateSyslogGridColumns(syslog);
    ShowLogDay(lkSyslog, day, syslog, Db);
    EXPECT_EQ(Column(syslog, "Desc_"), QStringList({"s midnight"}));
    TDataGrid programLog;
    CreateProgramLogGridColumns(programLog);
    ShowLogDay(lkProgramLog, day, programLog, Db);
    EXPECT_EQ(Column(programLog, "Event"), QStringList({"p last"}));
    // The midnight entry belongs to exactly one day.
    ShowLogDay(lkEvents, day - 1, grid, Db);
    EXPECT_EQ(Column(grid, "L_Status"), QStringList({"November"}));
    EXPECT_EQ(CalendarMode, lkEvents);
}

TEST_F(LogPagesTest, ClearCurrentLogRemovesTodayFromMidnightAndKeepsYesterday) {
    const qint64 now = Local(2026, 12, 9, 15, 30, 0);
    const qint64 midnight = Local(2026, 12, 9);
    for (const qint64 t : {midnight - 86400, midnight - 1, midnight, midnight + 1, now, midnight + 86399})
        Syslog(t, Int64ToText(t));
    Event(midnight, "event today");
    Line(midnight, "line today");
    TDataGrid grid;
    CreateSyslogGridColumns(grid);
    LoadLogGrid(lkSyslog, SyslogShowAllStatement(), grid, Db);
    ASSERT_EQ(grid.RowCount(), 6);
    EXPECT_TRUE(ClearCurrentLog(lkSyslog, grid, now, Db));
    EXPECT_EQ(grid.RowCount(), 0);
    EXPECT_EQ(Texts("select Status from syslog order by ID"),
              QStringList({Int64ToText(midnight - 86400), Int64ToText(midnight - 1)}));
    EXPECT_EQ(Texts("select count(*) from log"), QStringList({"1"}));
    EXPECT_EQ(Texts("select count(*) from program_log"), QStringList({"1"}));

    EXPECT_TRUE(ClearCurrentLog(lkEvents, grid, now, Db));
    EXPECT_TRUE(ClearCurrentLog(lkProgramLog, grid, now, Db));
    EXPECT_EQ(Texts("select count(*) from log"), QStringList({"0"}));
    EXPECT_EQ(Texts("select count(*) from program_log"), QStringList({"0"}));
    EXPECT_EQ(Texts("select count(*) from syslog"), QStringList({"2"}));
}

TEST_F(LogPagesTest, ClearAllLogsEmptiesOnlyItsTable) {
    Syslog(1700000000, "s");
    Event(1700000000, "e");
    Line(1700000000, "p");
    TDataGrid grid;
    CreateEventLogGridColumns(grid);
    LoadLogGrid(lkEvents, {"select * from log", {}}, grid, Db);
    ASSERT_EQ(grid.RowCount(), 1);
    EXPECT_TRUE(ClearAllLogs(lkEvents, grid, Db));
    EXPECT_EQ(grid.RowCount(), 0);
    EXPECT_EQ(Texts("select count(*) from log"), QStringList({"0"}));
    EXPECT_EQ(Texts("select count(*) from syslog"), QStringList({"1"}));
    EXPECT_TRUE(ClearAllLogs(lkSyslog, grid, Db));
    EXPECT_EQ(Texts("select count(*) from program_log"), QStringList({"1"}));
    EXPECT_TRUE(ClearAllLogs(lkProgramLog, grid, Db));
    EXPECT_EQ(Texts("select (select count(*) from syslog) + (select count(*) from program_log)"),
              QStringList({"0"}));
    // A failing statement is swallowed: the grid is empty and the answer says so.
    TSQLiteDatabase closed;
    LoadLogGrid(lkEvents, {"select * from log", {}}, grid, Db);
    EXPECT_FALSE(ClearAllLogs(lkEvents, grid, closed));
    EXPECT_EQ(grid.RowCount(), 0);
}

TEST_F(LogPagesTest, HostFiltersMatchTheirTextExactly) {
    const QString hostile = QStringLiteral("1\" or \"1\"=\"1");
    Syslog(1, "one", "gw");
    Syslog(2, "two", hostile);
    Syslog(3, "three", "1");
    Syslog(4, QString::fromUtf8("четыре \"кавычки\""), "gw");
    EXPECT_EQ(Loaded(lkSyslog, HostSyslogStatement(hostile)), QStringList({"two"}));
    EXPECT_EQ(Loaded(lkSyslog, HostSyslogStatement("gw")),
              QStringList({QString::fromUtf8("четыре \"кавычки\""), "one"}));
    EXPECT_TRUE(Loaded(lkSyslog, HostSyslogStatement("GW")).isEmpty());
    EXPECT_EQ(Loaded(lkSyslog, SyslogShowAllStatement()).size(), 4);

    Event(10, "a1", 1);
    Event(11, "b1", 2);
    Event(12, "a2", 1);
    EXPECT_EQ(Loaded(lkEvents, HostEventsStatement("1")), QStringList({"a2", "a1"}));
    EXPECT_TRUE(Loaded(lkEvents, HostEventsStatement("1\" or \"1\"=\"1")).isEmpty());
}

TEST_F(LogPagesTest, LogViewerClearDeletesTheEventsOfTheHostItShows) {
    Event(10, "a1", 1);
    Event(11, "b1", 2);
    Event(12, "b2", 2);
    TDataGrid hosts;
    CreateHostGridColumns(hosts);
    for (int id : {1, 2}) {
        const int row = hosts.AddRow();
        hosts.Cell(u"Kod_", row).SetAsString(QString::number(id));
        hosts.Cell(u"Log", row).SetAsString("last event");
    }
    hosts.SetRowSelected(0, true); // A is selected in the host table; the viewer shows B
    TDataGrid viewer;
    CreateEventLogGridColumns(viewer);
    LoadLogGrid(lkEvents, HostEventsStatement("2"), viewer, Db);
    ASSERT_EQ(viewer.RowCount(), 2);
    EXPECT_TRUE(ClearHostEvents("2", viewer, &hosts, Db));
    EXPECT_EQ(viewer.RowCount(), 0);
    EXPECT_EQ(Texts("select L_Status from log order by ID"), QStringList({"a1"}));
    EXPECT_EQ(hosts.Cell(u"Log", 0).GetAsString(), "last event");
    EXPECT_EQ(hosts.Cell(u"Log", 1).GetAsString(), "");
    // Without a host grid, or for a host no longer in it, the events still go.
    Event(13, "b3", 2);
    EXPECT_TRUE(ClearHostEvents("2", viewer, nullptr, Db));
    EXPECT_TRUE(ClearHostEvents("77", viewer, &hosts, Db));
    EXPECT_EQ(Texts("select count(*) from log"), QStringList({"1"}));
}

TEST_F(LogPagesTest, ClipboardTextIsAnEmptyLineThenFiveColumnsPerRow) {
    const qint64 t = Local(2026, 12, 9, 8, 5, 7);
    Event(t, "Down, again", 1);
    Event(t + 1, QString::fromUtf8("Связь \"есть\""), 2);
    TDataGrid grid;
    CreateEventLogGridColumns(grid);
    EXPECT_EQ(EventLogClipboardText(grid), "");
    LoadLogGrid(lkEvents, {"select * from log order by ID DESC", {}}, grid, Db);
    const QString first = grid.CellText(1, 0);
    const QString second = grid.CellText(1, 1);
    EXPECT_FALSE(first.isEmpty());
    EXPECT_EQ(EventLogClipboardText(grid),
              QStringLiteral("\n1, ") + first + QString::fromUtf8(", B, 10.0.0.2, Связь \"есть\"") +
                  QStringLiteral("\n2, ") + second + ", A, 10.0.0.1, Down, again");
}

TEST_F(LogPagesTest, SenderFilterKeepsOneSendersRowsNumberedFromOne) {
    for (const char* ip : {"a", "b", "a", "c", "a"})
        Syslog(1700000000, QString("from ") + ip, ip);
    TDataGrid grid;
    CreateSyslogGridColumns(grid);
    LoadLogGrid(lkSyslog, {"select * from syslog order by ID", {}}, grid, Db);
    EXPECT_FALSE(KeepSyslogSender(grid, 2, 2));
    EXPECT_FALSE(KeepSyslogSender(grid, 3, 5));
    EXPECT_FALSE(KeepSyslogSender(grid, 3, -1));
    EXPECT_EQ(grid.RowCount(), 5);
    EXPECT_TRUE(KeepSyslogSender(grid, 3, 2));
    EXPECT_EQ(Column(grid, "Host_IP"), QStringList({"a", "a", "a"}));
    EXPECT_EQ(Column(grid, "Num"), QStringList({"1", "2", "3"}));
    EXPECT_EQ(grid.UpdateCount(), 0);

    EXPECT_TRUE(LogRowAlternates(0, false));
    EXPECT_FALSE(LogRowAlternates(0, true));
    EXPECT_FALSE(LogRowAlternates(1, false));
    EXPECT_TRUE(LogRowAlternates(4, false));
    EXPECT_EQ(LogAlternateRowColor, 0xF5FCFE);
}
