// The end-of-pass dispatcher against recording channels: popup list order, mail and message
// qualification, the first contact only, mute, and the program-log lines.
#include "core/AlarmDispatcher.h"
#include "core/AlertFlags.h"
#include "core/CheckRules.h"
#include "core/DatabaseSchema.h"
#include "core/HostStateMachine.h"
#include "core/LangTexts.h"
#include "core/MonitorInterfaces.h"
#include "core/ProgramLog.h"
#include "core/SQLiteDb.h"
#include "grid/GxGrid.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

class RecordingChannels : public IAlarmChannels {
public:
    RecordingChannels() {
        for (TDataGrid* grid : {&Down, &Up}) {
            for (const char* name : {"Host", "ID_", "Time_d", "State_"}) {
                grid->AddColumn(TGxColumnKind::Text, name);
            }
        }
        Sounds.AddColumn(TGxColumnKind::Text, "File");
        Sounds.AddColumn(TGxColumnKind::CheckBox, "Loop");
    }
    bool EmailEnabled() const override { return Email; }
    bool IcqEnabled() const override { return Icq; }
    bool AlertEnabled() const override { return Alert; }
    bool UpSoundEnabled() const override { return UpSound; }
    bool SendIfDown() const override { return IfDown; }
    bool SendIfUp() const override { return IfUp; }
    QString IcqUinText() const override { return "111"; }
    QString IcqPassword() const override { return "pw"; }
    TDataGrid& DownPopupGrid() override { return Down; }
    TDataGrid& UpPopupGrid() override { return Up; }
    bool DownPopupShown() const override { return false; }
    void ShowDownPopup() override { ++DownShown; }
    void ShowUpPopup() override { ++UpShown; }
    void ClearUpHostGrid() override {}
    bool SendNotificationMail(const QString& Recipients, const QString& Subject,
                              const QStringList& Body) override {
        Mails.push_back({Recipients, Subject, Body.join("\n")});
        return MailWorks;
    }
    bool IcqLoggedIn() const override { return LoggedIn; }
    void IcqLogin(qint64, const QString&, quint32 Status) override {
        LoginStatus = Status;
        LoggedIn = LoginWorks;
    }
    bool IcqSendMessage(qint64 Uin, const QString& Text) override {
        Messages.push_back({QString::number(Uin), Text});
        return LoggedIn;
    }
    void PlayUpSound(const QString& FileName) override { Played = FileName; }
    TDataGrid& SoundQueueGrid() override { return Sounds; }
    bool SoundTimerRunning() const override { return false; }
    void StartSoundTimer() override { ++SoundTimerStarts; }
    void PumpDelay(int Ms) override { Pumped += Ms; }
    void ProcessMessages() override {}

    bool Email = true, Icq = true, Alert = true, UpSound = true, IfDown = true, IfUp = true;
    bool MailWorks = true, LoggedIn = true, LoginWorks = true;
    TDataGrid Down, Up, Sounds;
    int DownShown = 0, UpShown = 0, SoundTimerStarts = 0, Pumped = 0;
    quint32 LoginStatus = 0;
    QString Played;
    std::vector<std::vector<QString>> Mails, Messages;
};

class Dispatcher : public ::testing::Test {
protected:
    void SetUp() override {
        LangTexts::UseBuiltInEnglish();
        DownAlertVisible = false;
        UpAlertVisible = false;
        SoundMuted = false;
        Database.Open(QString::fromStdString(Dir.file("dbm.db")));
        CreateMissingTables(Database);
        MonitorDatabase.Open(QString::fromStdString(Dir.file("log.db")));
        CreateMissingTables(MonitorDatabase);
        CreateDownHostGridColumns(Queue);
    }
    void TearDown() override { MonitorDatabase.Close(); }

    void Queue1(const QString& Name, const QString& State, int Colour, const QString& Icq = "123456,654321") {
        int r = Queue.AddRow();
        Queue.Cell("Host_name", r).SetAsString(Name);
        Queue.Cell("State", r).SetAsString(State);
        Queue.Cell("State", r).SetCellColor(Colour);
        Queue.Cell("IP_D", r).SetAsString("127.0.0.1");
        Queue.Cell("Email", r).SetAsString("ops@example.org");
        Queue.Cell("Email_e", r).SetAsBoolean(true);
        Queue.Cell("ICQ", r).SetAsString(Icq);
        Queue.Cell("ICQ_e", r).SetAsBoolean(true);
        Queue.Cell("Sound_e", r).SetAsBoolean(true);
        Queue.Cell("Alarm_sound", r).SetAsString("down.wav");
    }
    std::vector<QString> Log() {
        std::vector<QString> lines;
        auto t = MonitorDatabase.OpenResultTable("select Status from program_log order by ID");
        for (; !t->AtEnd(); t->NextRow()) {
            lines.push_back(t->FieldTextOrEmpty(0));
        }
        return lines;
    }

    zt::test::TempDir Dir;
    TSQLiteDatabase Database;
    TDataGrid Queue;
    RecordingChannels Channels;
};

} // namespace

TEST_F(Dispatcher, NewestEventOnTopAndUpAndDownInOnePopup) {
    Queue1("10:00:00 - a, x", "down", EventColourRed);
    Queue1("10:00:01 - b, y", "up", EventColourLime);
    DispatchAlarms(Queue, Channels, "up.wav", "/data");
    ASSERT_EQ(Channels.Down.RowCount(), 2);
    EXPECT_EQ(Channels.Down.Cell("Host", 0).GetAsString(), "10:00:01 - b, y");
    EXPECT_EQ(Channels.Down.Cell("State_", 0).Color(), EventColourLime);
    EXPECT_EQ(Channels.Down.Cell("Host", 1).GetAsString(), "10:00:00 - a, x");
    EXPECT_EQ(Channels.DownShown, 1);
    EXPECT_TRUE(DownAlertVisible.load());
    EXPECT_EQ(Queue.RowCount(), 0);
}

TEST_F(Dispatcher, SendIfUpOnlyMailsUpEvents) {
    Channels.IfDown = false;
    Channels.IfUp = true;
    Queue1("a", "down", EventColourRed);
    Queue1("b", "back", EventColourLime);
    DispatchAlarms(Queue, Channels, "up.wav", "/data");
    ASSERT_EQ(Channels.Mails.size(), 1u);
    EXPECT_EQ(Channels.Mails[0][0], "ops@example.org");
    EXPECT_EQ(Channels.Mails[0][1], LangText(264) + "b" + LangText(265) + "back");
    // The empty description differs from the address, so a blank and the empty text stand there.
    EXPECT_EQ(Channels.Mails[0][2], "\nHost: b  - back");
    EXPECT_GE(Channels.Pumped, 150);
}

TEST_F(Dispatcher, MessageGoesToFirstContactOnlyAndFailureIsLogged) {
    Queue1("a", "down", EventColourRed, "123456,654321");
    DispatchAlarms(Queue, Channels, "up.wav", "/data");
    ASSERT_EQ(Channels.Messages.size(), 1u);
    EXPECT_EQ(Channels.Messages[0][0], "123456");
    EXPECT_EQ(Channels.Messages[0][1], "a - down");
    auto log = Log();
    EXPECT_NE(std::find(log.begin(), log.end(), LangText(269) + "a - down"), log.end());
    EXPECT_NE(std::find(log.begin(), log.end(), LangText(266)), log.end());

    // Signed off and the sign-on never completes: logged as timed out and as failed, never as sent.
    Channels.LoggedIn = false;
    Channels.LoginWorks = false;
    Channels.MailWorks = false;
    Queue1("b", "down", EventColourRed);
    DispatchAlarms(Queue, Channels, "up.wav", "/data");
    EXPECT_EQ(Channels.LoginStatus, 0x10006000u);
    log = Log();
    EXPECT_NE(std::find(log.begin(), log.end(), LangText(268)), log.end());
    EXPECT_NE(std::find(log.begin(), log.end(), LangText(270)), log.end());
    EXPECT_NE(std::find(log.begin(), log.end(), LangText(267)), log.end());
    EXPECT_EQ(std::count(log.begin(), log.end(), LangText(269) + "b - down"), 0);
}

TEST_F(Dispatcher, MutedQueuesNoSoundsButStillNotifies) {
    SoundMuted = true;
    Queue1("a", "down", EventColourRed);
    DispatchAlarms(Queue, Channels, "up.wav", "/data");
    EXPECT_EQ(Channels.Sounds.RowCount(), 0);
    EXPECT_EQ(Channels.SoundTimerStarts, 0);
    EXPECT_EQ(Channels.DownShown, 1);
    EXPECT_EQ(Channels.Mails.size(), 1u);
    EXPECT_EQ(Channels.Messages.size(), 1u);

    SoundMuted = false;
    DownAlertVisible = false;
    Queue1("a", "down", EventColourRed);
    DispatchAlarms(Queue, Channels, "up.wav", "/data");
    ASSERT_EQ(Channels.Sounds.RowCount(), 1);
    EXPECT_EQ(Channels.Sounds.Cell(0, 0).GetAsString(), "down.wav");
    EXPECT_EQ(Channels.SoundTimerStarts, 1);
    auto log = Log();
    EXPECT_NE(std::find(log.begin(), log.end(), LangText(274)), log.end());
}

TEST_F(Dispatcher, SecondPassWhilePopupShowsKeepsListAndAddsOnTop) {
    Queue1("first", "down", EventColourRed);
    DispatchAlarms(Queue, Channels, "up.wav", "/data");
    Queue1("second", "down", EventColourRed);
    DispatchAlarms(Queue, Channels, "up.wav", "/data");
    ASSERT_EQ(Channels.Down.RowCount(), 2);
    EXPECT_EQ(Channels.Down.Cell("Host", 0).GetAsString(), "second");
    EXPECT_EQ(Channels.DownShown, 1); // already showing
}

TEST_F(Dispatcher, UpSoundFileNames) {
    EXPECT_EQ(UpSoundFile("up.wav", "/opt/zt/Data/"), "/opt/zt/Data/Sounds/up.wav");
    EXPECT_EQ(UpSoundFile("up.wav", "/opt/zt/Data"), "/opt/zt/Data/Sounds/up.wav");
    EXPECT_EQ(UpSoundFile("/home/op/bell.wav", "/opt/zt/Data/"), "/home/op/bell.wav");
}
