// Log grid loaders: the event log with host look-up and colours (also for a deleted host), the
// program log and the syslog, empty results and failing statements.
#include "core/DatabaseSchema.h"
#include "core/LogGrids.h"
#include "core/ProgramLog.h"
#include "core/SQLiteDb.h"
#include "core/TextConversions.h"
#include "grid/GxGrid.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

class LogGridTest : public ::testing::Test {
protected:
    void SetUp() override {
        Db.Open(Q(Dir.file("dbm.db")));
        CreateMissingTables(Db);
        Db.ExecuteStatement("insert into hosts (host, IP) values (?, ?)",
                            {QString::fromUtf8("Шлюз \"A\""), "127.0.0.1"});
        Db.ExecuteStatement("insert into hosts (host, IP) values ('second', '127.0.0.2')");
    }
    void AddEvent(qint64 Time, const QString& Text, const QString& Code, int Host) {
        Db.ExecuteStatement("insert into log (Date_time,L_Status,Stat_D,ID_h_d)values(?, ?, ?, ?)",
                            {QString::number(Time), Text, Code, Host});
    }
    QString Text(TDataGrid& Grid, const char* Column, int Row) {
        return Grid.Cell(QLatin1String(Column), Row).GetAsString();
    }
    zt::test::TempDir Dir;
    TSQLiteDatabase Db;
};

} // namespace

TEST_F(LogGridTest, EventLogLooksUpHostsAndColoursByCode) {
    const qint64 base = 1700000000;
    AddEvent(base + 1, "down", "ID", 1);
    AddEvent(base + 2, "snmp down", "SD", 2);
    AddEvent(base + 3, "gone host", "SU", 77); // the host was deleted since
    AddEvent(base + 4, "latency", "LP", 1);
    AddEvent(base + 5, "latency ok", "LU", 2);
    TDataGrid grid;
    CreateEventLogGridColumns(grid);
    LoadEventLogGrid("select * from log where Date_time > ? and Date_time < ? order by ID DESC", grid,
                     {QString::number(base), QString::number(base + 10)}, Db);
    ASSERT_EQ(grid.RowCount(), 5);
    const char* codes[] = {"LU", "LP", "SU", "SD", "ID"};
    const int colors[] = {65280, 65535, 65280, 255, 255};
    for (int row = 0; row < 5; ++row) {
        EXPECT_EQ(Text(grid, "Stat_D", row), codes[row]);
        EXPECT_EQ(grid.Cell(u"L_Status", row).Color(), colors[row]) << row;
        EXPECT_EQ(grid.Cell(u"GxIncrementColumn1", row).GetAsInteger(), row + 1);
    }
    EXPECT_EQ(Text(grid, "Host_N", 1), QString::fromUtf8("Шлюз \"A\""));
    EXPECT_EQ(Text(grid, "IP_add", 1), "127.0.0.1");
    EXPECT_EQ(Text(grid, "L_Status", 1), "latency");
    EXPECT_EQ(Text(grid, "ID_h_d", 1), "1");
    EXPECT_DOUBLE_EQ(grid.Cell(u"DTime", 1).GetAsDateTime(), DateTimeFromUnixTime(base + 4));
    EXPECT_EQ(Text(grid, "Host_N", 2), "");
    EXPECT_EQ(Text(grid, "IP_add", 2), "");
    EXPECT_EQ(Text(grid, "L_Status", 2), "gone host");
    EXPECT_EQ(Text(grid, "ID_h_d", 2), "77");
    EXPECT_EQ(Text(grid, "Host_N", 4), QString::fromUtf8("Шлюз \"A\""));
    EXPECT_EQ(EventCodeColor("SU"), 65280);
    EXPECT_EQ(EventCodeColor("SD"), 255);
    EXPECT_EQ(EventCodeColor("LU"), 65280);
}

TEST_F(LogGridTest, EmptyResultsAndFailuresLeaveTheGridEmpty) {
    AddEvent(1, "old", "ID", 1);
    TDataGrid grid;
    CreateEventLogGridColumns(grid);
    LoadEventLogGrid("select * from log", grid, {}, Db);
    EXPECT_EQ(grid.RowCount(), 1);
    LoadEventLogGrid("select * from log where Date_time > ?", grid, {"5"}, Db);
    EXPECT_EQ(grid.RowCount(), 0);
    LoadEventLogGrid("select * from log", grid, {}, Db);
    LoadEventLogGrid("select * from no_such_table", grid, {}, Db);
    EXPECT_EQ(grid.RowCount(), 0);
    EXPECT_EQ(grid.UpdateCount(), 0);
    TSQLiteDatabase closed;
    TDataGrid programLog;
    CreateProgramLogGridColumns(programLog);
    LoadProgramLogGrid("select * from program_log", programLog, {}, closed);
    EXPECT_EQ(programLog.RowCount(), 0);
    EXPECT_EQ(programLog.UpdateCount(), 0);
}

TEST_F(LogGridTest, ProgramLogShowsDisplayTimesAndAnyText) {
    const QString texts[] = {QString::fromUtf8("He said \"hi\""), QString::fromUtf8("Почта отправлена")};
    for (const QString& text : texts)
        AddProgramLog(Db, text);
    Db.ExecuteStatement("insert into program_log (Date_time, Status) values ('not a time', 'odd')");
    TDataGrid grid;
    CreateProgramLogGridColumns(grid);
    LoadProgramLogGrid("select * from Program_log where Date_time > ? order by ID", grid, {"0"}, Db);
    ASSERT_EQ(grid.RowCount(), 3);
    EXPECT_EQ(Text(grid, "Event", 0), texts[0]);
    EXPECT_EQ(Text(grid, "Event", 1), texts[1]);
    const QString stamp = Text(grid, "Date_time_PL", 0);
    ASSERT_TRUE(DisplayTextToDateTime(stamp).has_value()) << stamp.toStdString();
    EXPECT_NEAR(double(UnixTimeFromDateTime(*DisplayTextToDateTime(stamp))), double(CurrentLocalUnixTime()),
                5.0);
    EXPECT_EQ(grid.Cell(u"GxIncrementColumn2", 2).GetAsInteger(), 3);
}

TEST_F(LogGridTest, SyslogRowsKeepMessageAndSender) {
    Db.ExecuteStatement("insert into syslog (Date_time,Status,IP)values(?, ?, ?)",
                        {"1700000000", QString::fromUtf8("<14>Ошибка \"диска\""), "router"});
    Db.ExecuteStatement("insert into syslog (Date_time,Status,IP)values(?, ?, ?)",
                        {"1700000060", "hello world", "IP"});
    TDataGrid grid;
    CreateSyslogGridColumns(grid);
    LoadSyslogGrid("select * from syslog where IP = ? order by ID DESC", grid, {"IP"}, Db);
    ASSERT_EQ(grid.RowCount(), 1);
    EXPECT_EQ(Text(grid, "Desc_", 0), "hello world");
    LoadSyslogGrid("select * from syslog order by ID DESC", grid, {}, Db);
    ASSERT_EQ(grid.RowCount(), 2);
    EXPECT_EQ(Text(grid, "Desc_", 1), QString::fromUtf8("<14>Ошибка \"диска\""));
    EXPECT_EQ(Text(grid, "Host_IP", 1), "router");
    EXPECT_EQ(Text(grid, "Data_Time", 1), DateTimeToDisplayText(DateTimeFromUnixTime(1700000000)));
    EXPECT_EQ(grid.Cell(u"Num", 1).GetAsInteger(), 2);
}
