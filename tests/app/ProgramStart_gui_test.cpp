// The program's windows: creation order, hidden start, the close box, and Exit's close sequence.
#include "ui/main/ProgramStart.h"

#include "core/DataFolder.h"
#include "core/DatabaseLoader.h"
#include "core/DatabaseSchema.h"
#include "core/LangTexts.h"
#include "core/MonitorController.h"
#include "core/MonitorState.h"
#include "core/ProgramLogSink.h"
#include "core/SQLiteDb.h"
#include "core/Synchronize.h"
#include "grid/GxGrid.h"
#include "net/pingsend.h"
#include "tests/support/TestSupport.h"
#include "ui/dialogs/Unit_tracert.h"
#include "ui/main/BigHint.h"
#include "ui/main/StartupTrace.h"
#include "ui/main/column_options.h"
#include "ui/main/main_form.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QThread>
#include <QWindow>
#include <atomic>
#include <gtest/gtest.h>
#include <optional>
#include <thread>
#include <vector>

namespace {

class ProgramStartTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetDataFolder(QString::fromStdString(data_.path()));
        ResetShutdownRequest();
        MonitoringActive = false;
        ClearStartupTrace();
    }
    void TearDown() override {
        DestroyForms();
        MonitorDatabase.Close();
        ResetShutdownRequest();
        SetDataFolder(QString());
        SetProgramLogSink(nullptr);
    }
    zt::test::TempDir data_;
};

const QStringList closeSequence = {
    QStringLiteral("StopWorkerThreads"),
    QStringLiteral("SaveSettings"),
    QStringLiteral("FreeAudio"),
    QStringLiteral("AddProgramLog"),
    QStringLiteral("CommitOpenTransaction"),
    QStringLiteral("SaveTreeExpansion"),
    QStringLiteral("SignOffMessaging"),
    QStringLiteral("PumpDelay"),
};

} // namespace

TEST_F(ProgramStartTest, CreatesTheEighteenWindowsInTheirFixedOrder) {
    const QStringList expected = {"TForm1",
                                  "TAlert_window",
                                  "TProgress_Form",
                                  "TAbout_f",
                                  "TAdd_M_hosts",
                                  "TLogs",
                                  "TAlert_window_up",
                                  "TMultiple_hosts_edit_form",
                                  "TEmail_settings_form",
                                  "TBig_hint_form",
                                  "TGroup_Select_Form",
                                  "TPing_tracert_form",
                                  "TTasks_form",
                                  "TTypes_form",
                                  "TSoundDisableForm",
                                  "TCalendar_form",
                                  "TSelect_date_Form",
                                  "TColumn_Form"};
    ASSERT_EQ(FormCreationOrder(), expected);
    CreateForms();
    QStringList handlers;
    for (const QString& name : expected) {
        handlers << name + QStringLiteral(".FormCreate");
    }
    EXPECT_EQ(StartupTraceSteps(), handlers);

    // Every window exists under its class name, is a top-level window, and is reachable through
    // its global pointer.
    QStringList classes;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (expected.contains(QString::fromLatin1(w->metaObject()->className()))) {
            classes << QString::fromLatin1(w->metaObject()->className());
        }
    }
    EXPECT_EQ(classes.size(), 18);
    ASSERT_NE(Form1, nullptr);
    ASSERT_NE(Ping_tracert_form, nullptr);
    ASSERT_NE(Column_Form, nullptr);
    EXPECT_STREQ(Column_Form->metaObject()->className(), "TColumn_Form");

    DestroyForms();
    EXPECT_EQ(Form1, nullptr);
    EXPECT_EQ(Ping_tracert_form, nullptr);
    EXPECT_EQ(Column_Form, nullptr);
}

TEST_F(ProgramStartTest, MainWindowStartsHiddenUnlessThereIsNoTray) {
    // Not a first start: a first start shows the window.
    zt::test::WriteFile(data_.path() + "/Settings.cnfg", "2\r\n");
    CreateForms();
    for (QWidget* w : QApplication::topLevelWidgets()) {
        EXPECT_FALSE(w->isVisible()) << w->metaObject()->className();
    }
    ApplyStartVisibility(true);
    EXPECT_FALSE(Form1->isVisible());
    ApplyStartVisibility(false);
    EXPECT_TRUE(Form1->isVisible());
}

TEST_F(ProgramStartTest, CloseBoxOnlyHidesTheMainWindow) {
    CreateForms();
    int closed = 0;
    QObject::connect(Form1, &TForm1::ProgramClosed, [&] { ++closed; });
    Form1->show();
    ClearStartupTrace();
    Form1->close();
    if (Big_hint_form->TrayAvailable()) {
        EXPECT_FALSE(Form1->isVisible());
    } else {
        // Without a notification area the window could not be reached again: it is minimised.
        EXPECT_TRUE(Form1->isMinimized());
    }
    EXPECT_FALSE(Form1->Closing());
    EXPECT_TRUE(StartupTraceSteps().isEmpty());
    EXPECT_EQ(closed, 0);
}

TEST_F(ProgramStartTest, ExitRunsTheCloseSequenceInOrderOnce) {
    CreateForms();
    int closed = 0;
    QObject::connect(Form1, &TForm1::ProgramClosed, [&] { ++closed; });
    MonitoringActive = true;
    ClearStartupTrace();

    Form1->Exit1->trigger();

    EXPECT_EQ(StartupTraceSteps(), closeSequence);
    EXPECT_EQ(closed, 1);
    EXPECT_TRUE(Form1->Closing());
    EXPECT_FALSE(MonitoringActive);
    EXPECT_TRUE(ShutdownRequested());

    // A second Exit (tray menu, or a signal) does nothing more.
    Form1->Exit2->trigger();
    CloseProgram();
    EXPECT_EQ(StartupTraceSteps(), closeSequence);
    EXPECT_EQ(closed, 1);
}

TEST_F(ProgramStartTest, ExitWhileMonitoringLogsTheCloseAndCommits) {
    const QString file = QString::fromStdString(data_.file("dbm.db"));
    // The tools window's creation opens the database of the Data folder and logs the start.
    CreateForms();
    ASSERT_TRUE(MonitorDatabase.IsOpen());
    // The long transaction is open from the start-up load on.
    ASSERT_TRUE(MonitorDatabase.InTransaction());
    MonitorDatabase.ExecuteStatement(
        QStringLiteral("insert into program_log (Date_time, Status) values (?, ?)"),
        {QStringLiteral("1"), QStringLiteral("before")});
    MonitoringActive = true;

    CloseProgram();

    EXPECT_FALSE(MonitorDatabase.InTransaction());
    // Another connection sees every row: the close line is committed, not left in a transaction.
    TSQLiteDatabase reader(file);
    auto table = reader.OpenResultTable(QStringLiteral("select Status from program_log order by ID"));
    QStringList rows;
    for (; !table->AtEnd(); table->NextRow()) {
        rows << table->FieldText(0);
    }
    ASSERT_FALSE(LangText(334).isEmpty());
    EXPECT_EQ(rows, (QStringList{StartMessageText(), QStringLiteral("before"), LangText(334)}));
}

TEST_F(ProgramStartTest, TheFirstPassWritesIntoTheLongTransaction) {
    const QString file = QString::fromStdString(data_.file("dbm.db"));
    CreateForms();
    ASSERT_TRUE(Form1->Monitor().Timer4.isActive());
    // Before the first pass (and the syslog server's first row) the transaction is open, so no
    // status write of that pass commits on its own; the start line is already committed.
    EXPECT_TRUE(MonitorDatabase.InTransaction());
    TSQLiteDatabase reader(file);
    auto started = reader.OpenResultTable(QStringLiteral("select Status from program_log"));
    ASSERT_FALSE(started->AtEnd());
    EXPECT_EQ(started->FieldText(0), StartMessageText());
    MonitorDatabase.ExecuteStatement(QStringLiteral("insert into hosts (host, Status) values (?, ?)"),
                                     {QStringLiteral("a"), QStringLiteral("Down")});
    auto hosts = reader.OpenResultTable(QStringLiteral("select count(*) from hosts"));
    EXPECT_EQ(hosts->FieldInt64(0), 0);
    // After a commit (a Stop's), a start opens the transaction again before its first pass.
    MonitorDatabase.CommitTransaction();
    ASSERT_TRUE(Form1->Monitor().BitBtn7Click());
    EXPECT_TRUE(MonitorDatabase.InTransaction());
}

TEST_F(ProgramStartTest, TrayExitRunsTheSameSequenceOnAHiddenWindow) {
    // Not a first start: a first start shows the window.
    zt::test::WriteFile(data_.path() + "/Settings.cnfg", "2\r\n");
    CreateForms();
    ClearStartupTrace();
    ASSERT_FALSE(Form1->isVisible());
    Form1->Exit2->trigger();
    EXPECT_EQ(StartupTraceSteps(), closeSequence);
}

TEST_F(ProgramStartTest, ExitRunsTheSequenceOnAWindowWhosePlatformWindowIsGone) {
    CreateForms();
    Form1->show();
    // Its close() now reports success without any close event.
    Form1->windowHandle()->destroy();
    ClearStartupTrace();
    CloseProgram();
    EXPECT_EQ(StartupTraceSteps(), closeSequence);
}

TEST_F(ProgramStartTest, ExitWaitsForWorkersWhileServingTheirCalls) {
    CreateForms();
    MonitoringActive = true;
    std::atomic<bool> started{false};
    std::atomic<int> servedOnMain{0};
    QThread* mainThread = QThread::currentThread();
    std::thread worker([&] {
        WorkerThreadScope scope;
        started = true;
        while (WorkerDelay(10)) {
        }
        // A last step on the GUI thread after the stop, as the check thread does when it ends
        // a pass: shut-down must serve it rather than deadlock.
        Synchronize([&] {
            if (QThread::currentThread() == mainThread) {
                ++servedOnMain;
            }
        });
    });
    while (!started) {
        std::this_thread::yield();
    }
    CloseProgram();
    EXPECT_EQ(RunningWorkerThreads(), 0);
    worker.join();
    EXPECT_EQ(servedOnMain, 1);
}

TEST_F(ProgramStartTest, FirstStartTakesTheSystemLanguage) {
    const QString folder = QString::fromStdString(data_.path());
    QDir().mkpath(folder + "/lang_files");
    QFile::copy(QStringLiteral(ZT_SOURCE_DIR "/Data/lang_files/German"), folder + "/lang_files/German");
    const char* names[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    std::vector<std::optional<QByteArray>> saved;
    for (const char* name : names) {
        saved.push_back(qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt);
        qunsetenv(name);
    }
    qputenv("LANG", "de_DE.UTF-8");
    CreateForms();
    for (std::size_t i = 0; i < saved.size(); ++i) {
        saved[i] ? qputenv(names[i], *saved[i]) : qunsetenv(names[i]);
    }
    EXPECT_EQ(LangText(280), QStringLiteral("Ausgefallen")) << LangText(280).toStdString();
    LangTexts::UseBuiltInEnglish();
}

TEST_F(ProgramStartTest, AStartOnADatabaseOfHostsRunsItsStepsAndLogsInTheFixedOrder) {
    // A first start makes the schema and a settings file; the pinned start is the second one.
    CreateForms();
    MonitorDatabase.ExecuteStatement(QStringLiteral("insert into list_group (Name,N_group,parent_id) "
                                                    "values ('All',1,'')"));
    for (const char* host : {"alpha", "beta", "gamma"}) {
        MonitorDatabase.ExecuteStatement(
            QStringLiteral(
                "insert into hosts (host, IP, Status, N_group) values (?, '127.0.0.1', 'Down', 1)"),
            {QString::fromLatin1(host)});
    }
    CloseProgram();
    DestroyForms();
    MonitorDatabase.Close();
    MonitorDatabase.Open(QString::fromStdString(data_.file("dbm.db")));
    MonitorDatabase.ExecuteStatement(QStringLiteral("delete from program_log"));
    MonitorDatabase.Close();
    QStringList sink;
    SetProgramLogSink([&sink](const QString& Line) { sink << Line; });
    ClearStartupTrace();

    CreateForms();

    QStringList steps;
    for (const QString& name : FormCreationOrder()) {
        steps << name + QStringLiteral(".FormCreate");
    }
    EXPECT_EQ(StartupTraceSteps(), steps);
    steps.insert(steps.indexOf(QStringLiteral("TTasks_form.FormCreate")), QStringLiteral("LoadDatabase"));
    steps.insert(steps.indexOf(QStringLiteral("TTasks_form.FormCreate")), QStringLiteral("StartBackupTimer"));
    steps << QStringLiteral("LoadStartupSettings") << QStringLiteral("StartSyslogServer")
          << QStringLiteral("SignOnMessaging");
    EXPECT_EQ(StartupStepNames(), steps);
    EXPECT_EQ(Form1->DataGrid1->RowCount(), 3);
    QStringList rows;
    auto table =
        MonitorDatabase.OpenResultTable(QStringLiteral("select Status from program_log order by ID"));
    for (; !table->AtEnd(); table->NextRow()) {
        rows << table->FieldText(0);
    }
    QStringList expected{StartMessageText()};
    if (!IcmpEchoAvailable()) {
        expected << QStringLiteral(
            "ICMP echo is not permitted: neither ICMP datagram sockets nor raw sockets "
            "can be opened. Echo checks are skipped until echo requests can be sent "
            "(give the program cap_net_raw, or open net.ipv4.ping_group_range to its "
            "group).");
    }
    EXPECT_EQ(rows, expected);
    // The audio line (TForm1's creation) depends on the machine's sound device; the language line
    // comes from the settings loader at the end.
    if (!sink.isEmpty() && sink.front().startsWith(QStringLiteral("Sound is off: "))) {
        sink.removeFirst();
    }
    EXPECT_EQ(sink, (QStringList{QStringLiteral("Language file \"") + DataFolder() +
                                 QStringLiteral("lang_files/English\" could not be read (the file does not "
                                                "exist); the current texts are kept.")}))
        << sink.join(u'\n').toStdString();
}
