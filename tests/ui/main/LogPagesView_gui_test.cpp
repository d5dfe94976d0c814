// The main window's log pages on a temporary database: page shows and day moves, the day picker,
// saved files read back by Python's csv, the sender filter, the syslog server on its option with
// util-linux logger as the sender, the per-host log viewer and the about box.
#include "core/DatabaseSchema.h"
#include "core/LogPages.h"
#include "core/MonitorServices.h"
#include "core/SQLiteDb.h"
#include "core/TextConversions.h"
#include "desktop/StatusBarEx.h"
#include "grid/GxGrid.h"
#include "grid/widgets/GxCalendarSheet.h"
#include "grid/widgets/GxGridView.h"
#include "grid/widgets/GxMonthCalendar.h"
#include "platform/MessageBox.h"
#include "platform/ShellOpen.h"
#include "ui/dialogs/About_form.h"
#include "ui/dialogs/Calendar_f.h"
#include "ui/dialogs/Log_s.h"
#include "ui/main/LogPagesView.h"
#include "ui/main/main_form.h"

#include "tests/support/TestSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QProcess>
#include <QPushButton>
#include <QTabWidget>
#include <QUdpSocket>
#include <gtest/gtest.h>

#include <cstdlib>
#include <unistd.h>

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

// A fixed local moment: 2026-03-01 15:00:00, a first day of a month.
qint64 LocalUnix(int Y, int M, int D, int h = 0, int m = 0, int s = 0) {
    return UnixTimeFromDateTime(QDateTimeToDateTime(QDateTime(QDate(Y, M, D), QTime(h, m, s))));
}

void Shot(QWidget& Widget, const char* Name) {
    Widget.show();
    QApplication::processEvents();
    Widget.grab().save(QStringLiteral("/tmp/h24b_shots/%1.png").arg(QLatin1String(Name)));
}

bool WaitFor(const std::function<bool()>& Condition, int LimitMs = 10000) {
    QElapsedTimer clock;
    clock.start();
    while (!Condition() && clock.elapsed() < LimitMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return Condition();
}

class LogPagesTest : public ::testing::Test {
protected:
    void SetUp() override {
        MonitorDatabase.Open(Q(Dir.file("dbm.db")));
        CreateMissingTables(MonitorDatabase);
        CreateMissingIndexes(MonitorDatabase);
        MonitorDatabase.ExecuteStatement("insert into hosts (host, IP) values ('alpha', '10.0.0.1')");
        MonitorDatabase.ExecuteStatement("insert into hosts (host, IP) values ('beta', '10.0.0.2')");
        Form = std::make_unique<TForm1>(Services);
        Form->resize(1000, 560);
        Pages().Now = [this] {
            return Now;
        };
    }
    void TearDown() override {
        Form.reset();
        MonitorDatabase.Close();
        SetMessageBoxHandler({});
    }
    TLogPagesView& Pages() { return Form->LogPages(); }
    void AddEvent(qint64 Time, const QString& Text, const QString& Code, int Host) {
        MonitorDatabase.ExecuteStatement(
            "insert into log (Date_time,L_Status,Stat_D,ID_h_d)values(?, ?, ?, ?)",
            {QString::number(Time), Text, Code, Host});
    }
    void AddSyslog(qint64 Time, const QString& Text, const QString& IP) {
        MonitorDatabase.ExecuteStatement("insert into syslog (Date_time,Status,IP)values(?, ?, ?)",
                                         {QString::number(Time), Text, IP});
    }
    qint64 Count(const QString& SQL) {
        auto table = MonitorDatabase.OpenResultTable(SQL);
        return table->RowCount() ? table->FieldInt64(0) : -1;
    }
    QStringList Column(TDataGrid& Grid, const char* Name) {
        QStringList out;
        for (int row = 0; row < Grid.RowCount(); ++row)
            out << Grid.Cell(QLatin1String(Name), row).GetAsString();
        return out;
    }

    zt::test::TempDir Dir;
    qint64 Now = LocalUnix(2026, 3, 1, 15);
    TMonitorServices Services{MonitorDatabase, Q(Dir.path())};
    std::unique_ptr<TForm1> Form;
};

TEST_F(LogPagesTest, EventPageShowsTheLast24HoursAndMovesByDays) {
    AddEvent(Now - 3 * SecondsPerDay / 2, "two days ago", "ID", 1);
    AddEvent(Now - SecondsPerDay / 2, "today", "SD", 2);
    AddEvent(Now, "this second", "IU", 1);
    Form->PageControl1->setCurrentWidget(Form->TabSheet2);
    TDataGrid& grid = Pages().Logs_grid();
    EXPECT_EQ(Column(grid, "L_Status"), QStringList({"this second", "today"}));
    EXPECT_EQ(Column(grid, "Host_N"), QStringList({"alpha", "beta"}));
    // Shown again: the same 24 hours.
    Form->PageControl2->setCurrentWidget(Form->TabSheet5);
    Form->PageControl2->setCurrentWidget(Form->TabSheet4);
    EXPECT_EQ(Column(grid, "L_Status"), QStringList({"this second", "today"}));
    Pages().BitBtn33->click();
    EXPECT_EQ(Pages().EventDays.LogDayOffset, -1);
    EXPECT_EQ(Column(grid, "L_Status"), QStringList({"two days ago"}));
    Pages().BitBtn34->click();
    EXPECT_EQ(Column(grid, "L_Status"), QStringList({"this second", "today"}));
    // Copy to clipboard: an empty first line, then columns 0-4.
    Pages().BitBtn32->click();
    const QStringList lines = QApplication::clipboard()->text().split(u'\n');
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], QString());
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("1, "))) << lines[1].toStdString();
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral(", alpha, 10.0.0.1, this second")))
        << lines[1].toStdString();
    Shot(*Form, "EventPage");
}

TEST_F(LogPagesTest, DayPickerShowsOneDayWithItsMidnightNewestFirst) {
    const qint64 first = LocalUnix(2026, 3, 1);
    AddEvent(first - 1, "last second of February", "ID", 1);
    AddEvent(first, "midnight", "ID", 1);
    AddEvent(first + 3600, "one o'clock", "IU", 1);
    AddEvent(first + SecondsPerDay, "next midnight", "ID", 2);
    TCalendar_form calendar(Services);
    Calendar_form = &calendar;
    calendar.SetSelectedDate(QDate(2026, 3, 1));
    bool closed = false;
    Pages().ShowCalendar = [&] {
        calendar.SetTargets(&Pages().Logs_grid(), &Pages().Sys_log_grid(), &Pages().Program_log_Grid());
        calendar.show();
        calendar.BitBtn1->click();
        closed = !calendar.isVisible();
    };
    Pages().BitBtn16->click();
    EXPECT_EQ(CalendarMode, lkEvents);
    EXPECT_TRUE(closed);
    EXPECT_EQ(Column(Pages().Logs_grid(), "L_Status"), QStringList({"one o'clock", "midnight"}));
    // Mode 1 loads the syslog grid.
    AddSyslog(first, "sys midnight", "h1");
    AddSyslog(first - 1, "sys before", "h1");
    Pages().BitBtn20->click();
    EXPECT_EQ(CalendarMode, lkSyslog);
    EXPECT_EQ(Column(Pages().Sys_log_grid(), "Desc_"), QStringList({"sys midnight"}));
    // Close loads nothing.
    Pages().Sys_log_grid().ClearRows();
    calendar.show();
    calendar.BitBtn2->click();
    EXPECT_FALSE(calendar.isVisible());
    EXPECT_EQ(Pages().Sys_log_grid().RowCount(), 0);
    Shot(calendar, "Calendar");
    Calendar_form = nullptr;
}

TEST_F(LogPagesTest, DayNumbersFitTheirCellsUnderALargeDesktopFont) {
    const QFont saved = QApplication::font();
    QApplication::setFont(QFont(saved.family(), 14));
    TCalendar_form calendar(Services);
    QApplication::setFont(saved);
    const QFontMetrics metrics(calendar.GxMonthCalendar1->font());
    for (int day = 1; day <= 31; ++day)
        EXPECT_LT(metrics.horizontalAdvance(QString::number(day)), CalendarCellWidth) << day;
}

TEST_F(LogPagesTest, SavedFileIsUtf16WithCrLfAndPythonCsvReadsIt) {
    AddSyslog(Now - 10, QString::fromUtf8("Привет, \"мир\"\r\nline two"), "host-a");
    AddSyslog(Now - 5, "plain", "host-b");
    Form->PageControl1->setCurrentWidget(Form->TabSheet2);
    Form->PageControl2->setCurrentWidget(Form->TabSheet5);
    ASSERT_EQ(Pages().Sys_log_grid().RowCount(), 2);
    const QString file = Q(Dir.file("saved.txt"));
    Pages().AskSaveFileName = [&] {
        return file;
    };
    Pages().BitBtn19->click();
    QFile in(file);
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    const QByteArray bytes = in.readAll();
    ASSERT_GE(bytes.size(), 4);
    EXPECT_EQ(bytes.left(2), QByteArray("\xFF\xFE", 2));
    EXPECT_EQ(bytes.right(4), QByteArray("\r\0\n\0", 4));
    QProcess python;
    python.start("python3", {"-c",
                             "import csv,sys\n"
                             "rows=list(csv.reader(open(sys.argv[1],encoding='utf-16',newline='')))\n"
                             "print(len(rows));print(rows[1][2]);print(rows[1][3])",
                             file});
    ASSERT_TRUE(python.waitForFinished(20000));
    const QStringList out = QString::fromUtf8(python.readAllStandardOutput()).split(u'\n');
    ASSERT_GE(out.size(), 3) << python.readAllStandardError().toStdString();
    EXPECT_EQ(out[0], "2");
    EXPECT_EQ(out[1], QString::fromUtf8("Привет, \"мир\"|line two"));
    EXPECT_EQ(out[2], "host-a");
    // Cancelled: nothing written.
    Pages().AskSaveFileName = [] {
        return QString();
    };
    QFile::remove(file);
    Pages().BitBtn19->click();
    EXPECT_FALSE(QFile::exists(file));
}

TEST_F(LogPagesTest, SenderFilterAndClearCurrentLogKeepYesterday) {
    const qint64 midnight = LocalUnix(2026, 3, 1);
    AddSyslog(midnight - 60, "yesterday", "a");
    AddSyslog(midnight, "midnight", "b");
    AddSyslog(Now - 30, "one", "a");
    AddSyslog(Now - 20, "two", "b");
    AddSyslog(Now - 10, "three", "a");
    Form->PageControl1->setCurrentWidget(Form->TabSheet2);
    Form->PageControl2->setCurrentWidget(Form->TabSheet5);
    Pages().BitBtn21->click();
    TDataGrid& grid = Pages().Sys_log_grid();
    ASSERT_EQ(grid.RowCount(), 5);
    // A double click elsewhere does nothing; in column 3 it keeps that sender.
    grid.OnCellDblClick(&grid, 2, 0);
    EXPECT_EQ(grid.VisibleRowCount(), 5);
    grid.OnCellDblClick(&grid, 3, 0);
    QStringList kept, numbers;
    for (int row = 0; row < grid.RowCount(); ++row) {
        if (!grid.GetRowVisible(row))
            continue;
        kept << grid.Cell(u"Desc_", row).GetAsString();
        numbers << grid.Cell(u"Num", row).GetAsString();
    }
    EXPECT_EQ(kept, QStringList({"three", "one", "yesterday"}));
    EXPECT_EQ(numbers, QStringList({"1", "2", "3"}));
    Shot(*Form, "SyslogFiltered");
    Pages().BitBtn18->click();
    EXPECT_EQ(grid.RowCount(), 0);
    EXPECT_EQ(Count("select count(*) from syslog"), 1);
    EXPECT_EQ(Count("select count(*) from syslog where Status = 'yesterday'"), 1);
    Pages().BitBtn39->click();
    EXPECT_EQ(Count("select count(*) from syslog"), 0);
}

TEST_F(LogPagesTest, ProgramLogPageAndLookSyslogWithAQuotedAddress) {
    MonitorDatabase.ExecuteStatement("insert into program_log (Date_time,Status)values(?, ?)",
                                     {QString::number(Now - 100), "started"});
    MonitorDatabase.ExecuteStatement("insert into program_log (Date_time,Status)values(?, ?)",
                                     {QString::number(Now - 2 * SecondsPerDay), "old"});
    Form->PageControl1->setCurrentWidget(Form->TabSheet2);
    Form->PageControl2->setCurrentWidget(Form->TabSheet6);
    EXPECT_EQ(Column(Pages().Program_log_Grid(), "Event"), QStringList({"started"}));
    Shot(*Form, "ProgramLogPage");
    AddSyslog(Now, "tricky", "1\" or \"1\"=\"1");
    AddSyslog(Now, "other", "x");
    Pages().ShowHostSyslog("1\" or \"1\"=\"1");
    EXPECT_EQ(Form->PageControl2->currentWidget(), Form->TabSheet5);
    EXPECT_EQ(Column(Pages().Sys_log_grid(), "Desc_"), QStringList({"tricky"}));
    Pages().BitBtn26->click();
    EXPECT_EQ(Count("select count(*) from program_log"), 1);
    Pages().BitBtn40->click();
    EXPECT_EQ(Count("select count(*) from program_log"), 0);
}

// logger writes to the server the option switched on; quotes and Cyrillic are stored exactly.
TEST_F(LogPagesTest, SyslogServerStoresLoggerMessagesWhileTheOptionIsOn) {
    Pages().SetSyslogEndpoint("127.0.0.1", 0);
    QStringList boxes;
    SetMessageBoxHandler([&](const QString&, const QString& Text) { boxes << Text; });
    Pages().SysLog_CheckBox->setChecked(true);
    Pages().SysLog_CheckBox->click(); // now off: released, saved, stopped
    EXPECT_FALSE(Pages().IdSyslogServer1().Active());
    Pages().SysLog_CheckBox->click(); // on
    ASSERT_TRUE(Pages().IdSyslogServer1().Active());
    const TSyslogStartResult again = Pages().StartSyslogServer();
    EXPECT_TRUE(again.Ok);
    const int port = Pages().IdSyslogServer1().BoundPort();
    auto send = [&](QStringList Args) {
        QProcess logger;
        logger.start("logger", QStringList{"-n", "127.0.0.1", "-P", QString::number(port), "-d"} + Args);
        ASSERT_TRUE(logger.waitForFinished(10000));
    };
    send({"--rfc3164", "-t", "zt", "He said \"hi\""});
    const QString cyrillic = QString::fromUtf8("Сервер упал: диск заполнен");
    send({"--rfc5424", "-t", "zt", "--msgid", "m1", cyrillic});
    ASSERT_TRUE(WaitFor([&] { return Count("select count(*) from syslog") == 2; }));
    auto rows = MonitorDatabase.OpenResultTable("select Status, IP from syslog order by ID");
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    EXPECT_TRUE(rows->FieldText(0).endsWith(QStringLiteral("zt: He said \"hi\"")))
        << rows->FieldText(0).toStdString();
    EXPECT_EQ(rows->FieldText(1), QString::fromLocal8Bit(host).section(u'.', 0, 0));
    rows->NextRow();
    EXPECT_TRUE(rows->FieldText(0).endsWith(cyrillic)) << rows->FieldText(0).toStdString();
    // The test message reaches the listener, which stores it only while the option is on.
    Pages().BitBtn17->click();
    ASSERT_TRUE(WaitFor([&] { return Count("select count(*) from syslog") == 3; }));
    EXPECT_EQ(Count("select count(*) from syslog where Status like '<15>%hello world'"), 1);
    // Off: the listener stops; nothing more is stored.
    Pages().SysLog_CheckBox->click();
    EXPECT_FALSE(Pages().IdSyslogServer1().Active());
    EXPECT_TRUE(boxes.isEmpty()) << boxes.join("; ").toStdString();
}

TEST_F(LogPagesTest, PortTakenGivesALogLineAndAMessageOnAManualToggle) {
    QUdpSocket taken;
    ASSERT_TRUE(taken.bind(QHostAddress::LocalHost, 0));
    Pages().SetSyslogEndpoint("127.0.0.1", taken.localPort());
    QStringList boxes;
    SetMessageBoxHandler([&](const QString&, const QString& Text) { boxes << Text; });
    zt::test::StderrCapture quiet;
    Pages().SysLog_CheckBox->click();
    EXPECT_TRUE(Pages().SysLog_CheckBox->isChecked());
    EXPECT_FALSE(Pages().IdSyslogServer1().Active());
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_GE(Count("select count(*) from program_log"), 1);
    // The settings loader's start logs but shows nothing.
    EXPECT_FALSE(Pages().StartSyslogServer().Ok);
    EXPECT_EQ(boxes.size(), 1);
}

TEST_F(LogPagesTest, LogViewerClearsTheHostItShows) {
    AddEvent(Now - 10, "alpha down", "ID", 1);
    AddEvent(Now - 5, "beta down", "ID", 2);
    AddEvent(Now - 1, "beta up", "IU", 2);
    TLogs viewer(Services);
    viewer.ShowOnlyHost("2");
    EXPECT_EQ(Column(viewer.Logs_grid(), "L_Status"), QStringList({"beta up", "beta down"}));
    Shot(viewer, "LogViewer");
    viewer.BitBtn2->click();
    EXPECT_EQ(viewer.Logs_grid().RowCount(), 0);
    EXPECT_EQ(Count("select count(*) from log where ID_h_d = '2'"), 0);
    EXPECT_EQ(Count("select count(*) from log where ID_h_d = '1'"), 1);
    viewer.BitBtn1->click();
    EXPECT_FALSE(viewer.isVisible());
}

TEST_F(LogPagesTest, AboutPictureOpensTheProductPage) {
    QList<QUrl> opened;
    SetShellOpenHandler([&](const QUrl& Url) {
        opened << Url;
        return true;
    });
    TAbout_f about(Services);
    Shot(about, "About");
    QMouseEvent press(QEvent::MouseButtonRelease, QPointF(10, 10), QPointF(10, 10), Qt::LeftButton,
                      Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(about.Image1, &press);
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0], TAbout_f::ProductPage());
    EXPECT_EQ(opened[0].host(), "example.org");
    about.BitBtn1->click();
    EXPECT_FALSE(about.isVisible());
    SetShellOpenHandler({});
}

} // namespace

TEST_F(LogPagesTest, SyslogPageLoadsTheNewestPageAndAddsOneOnEachMore) {
    const int rows = 2 * SyslogPageRows + 10;
    MonitorDatabase.StartTransaction();
    for (int i = 0; i < rows; ++i)
        AddSyslog(Now - 60, QStringLiteral("m%1").arg(i), "h");
    MonitorDatabase.CommitTransaction();
    Form->PageControl1->setCurrentWidget(Form->TabSheet2);
    Form->PageControl2->setCurrentWidget(Form->TabSheet5);
    TDataGrid& grid = Pages().Sys_log_grid();
    ASSERT_EQ(grid.RowCount(), SyslogPageRows);
    EXPECT_EQ(grid.Cell(u"Desc_", 0).GetAsString(), QStringLiteral("m%1").arg(rows - 1));
    EXPECT_TRUE(Pages().SyslogMore->isEnabled());
    Pages().SyslogMore->click();
    EXPECT_EQ(grid.RowCount(), 2 * SyslogPageRows);
    Pages().SyslogMore->click();
    EXPECT_EQ(grid.RowCount(), rows);
    EXPECT_EQ(grid.Cell(u"Desc_", rows - 1).GetAsString(), QStringLiteral("m0"));
    EXPECT_FALSE(Pages().SyslogMore->isEnabled());
}

TEST_F(LogPagesTest, AFailureToListenIsShownOnTheSyslogPageAndInTheStatusBar) {
    QUdpSocket holder;
    ASSERT_TRUE(holder.bind(QHostAddress(QStringLiteral("127.0.0.1")), 0));
    Pages().SetSyslogEndpoint("127.0.0.1", holder.localPort());
    Pages().SysLog_CheckBox->setChecked(true);
    Form->StartSyslogServer();
    const QString reason =
        QStringLiteral("Syslog server cannot listen on UDP 127.0.0.1:%1: ").arg(holder.localPort());
    EXPECT_TRUE(Pages().SyslogListenState->text().startsWith(reason))
        << Pages().SyslogListenState->text().toStdString();
    EXPECT_FALSE(Pages().SyslogListenState->isHidden());
    EXPECT_TRUE(Form->StatusBar1->SimplePanel());
    EXPECT_EQ(Form->StatusBar1->SimpleText(), Pages().SyslogListenState->text());
    Form->PageControl1->setCurrentWidget(Form->TabSheet2);
    Form->PageControl2->setCurrentWidget(Form->TabSheet5);
    Shot(*Form, "SyslogListenFailure");
    // Once it listens the page says nothing more.
    Pages().SetSyslogEndpoint("127.0.0.1", 0);
    Form->StartSyslogServer();
    EXPECT_TRUE(Pages().SyslogListenState->isHidden());
}
