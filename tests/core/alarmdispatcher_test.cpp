// The end-of-pass dispatcher against recording and missing channels: popup list order, mail and
// message qualification, the first contact only, mute, the program-log lines on the dispatcher's
// own connection, and the options read once per dispatch.
#include "core/AlarmChannels.h"
#include "core/AlarmDispatcher.h"
#include "core/AlertFlags.h"
#include "core/CheckRules.h"
#include "core/DatabaseSchema.h"
#include "core/HostStateMachine.h"
#include "core/LangTexts.h"
#include "core/ProgramLog.h"
#include "core/SQLiteDb.h"
#include "core/SettingsModel.h"
#include "grid/GxGrid.h"
#include "tests/core/engine_fixture.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

// One recording object for the popups, the sound player, mail, messaging and the event pump.
class RecordingChannels : public IAlertPopups,
                          public ISoundChannel,
                          public IMailChannel,
                          public IMessagingChannel,
                          public IEventPump {
public:
    RecordingChannels() {
        for (TDataGrid* grid : {&Down, &Up}) {
            for (const char* name : {"Host", "ID_", "Time_d", "State_"}) {
                grid->AddColumn(TGxColumnKind::Text, name);
            }
        }
    }
    void RegisterIn(TAlarmChannels& Channels) {
        Channels.SetPopups(this);
        Channels.SetSound(this);
        Channels.SetMail(this);
        Channels.SetMessaging(this);
        Channels.SetEventPump(this);
    }

    TDataGrid& DownPopupGrid() override { return Down; }
    TDataGrid& UpPopupGrid() override { return Up; }
    bool DownPopupShown() const override { return false; }
    bool ShowDownPopup() override {
        ++DownShown;
        return true;
    }
    bool ShowUpPopup() override {
        ++UpShown;
        return true;
    }
    TSendResult SendNotificationMail(const QString& Recipients, const QString& Subject,
                                     const QStringList& Body) override {
        Mails.push_back({Recipients, Subject, Body.join("\n")});
        return {MailWorks, MailWorks ? QString() : MailReason};
    }
    bool LoggedIn() const override { return IsLoggedIn; }
    void Login(qint64 Uin, const QString& Password, quint32 Status) override {
        LoginUin = Uin;
        LoginPassword = Password;
        LoginStatus = Status;
        IsLoggedIn = LoginWorks;
    }
    bool SendMessage(qint64 Uin, const QString& Text) override {
        Messages.push_back({QString::number(Uin), Text});
        return IsLoggedIn;
    }
    bool PlayUpSound(const QString& FileName) override {
        Played = FileName;
        return true;
    }
    bool SoundTimerRunning() const override { return false; }
    void StartSoundTimer() override { ++SoundTimerStarts; }
    void PumpDelay(int Ms) override {
        Pumped += Ms;
        if (OnPump) {
            OnPump();
        }
    }
    void ProcessMessages() override {}

    bool MailWorks = true, IsLoggedIn = true, LoginWorks = true;
    QString MailReason;
    TDataGrid Down, Up;
    int DownShown = 0, UpShown = 0, SoundTimerStarts = 0, Pumped = 0;
    qint64 LoginUin = 0;
    QString LoginPassword;
    quint32 LoginStatus = 0;
    QString Played;
    std::function<void()> OnPump;
    std::vector<std::vector<QString>> Mails, Messages;
};

class Dispatcher : public ::testing::Test {
protected:
    void SetUp() override {
        ResetMonitorState();
        Database.Open(QString::fromStdString(Dir.file("dbm.db")));
        CreateMissingTables(Database);
        // The program's global connection is open too: nothing of the dispatcher may reach it.
        MonitorDatabase.Open(QString::fromStdString(Dir.file("global.db")));
        CreateMissingTables(MonitorDatabase);
        CreateDownHostGridColumns(Queue);
        CreateDownHostGridColumns(UpHosts);
        Sounds.AddColumn(TGxColumnKind::Text, "File");
        Sounds.AddColumn(TGxColumnKind::CheckBox, "Loop");
        Settings.Update([](TSettings& s) {
            s.Email_checkbox = true;
            s.ICQ_CheckBox = true;
            s.ICQ_UIN_Edit = "111";
            s.ICQ_Password_Edit = "pw";
        });
        Recording.RegisterIn(Channels);
    }
    void TearDown() override {
        EXPECT_TRUE(ProgramLogLines(MonitorDatabase).empty());
        MonitorDatabase.Close();
    }

    void Dispatch() { Dispatcher_.DispatchAlarms(); }

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
    // The program log of the dispatcher's connection.
    std::vector<QString> Log() { return ProgramLogLines(Database); }

    zt::test::TempDir Dir;
    TSQLiteDatabase Database;
    TDataGrid Queue, UpHosts, Sounds;
    TSettingsModel Settings;
    TAlarmChannels Channels;
    RecordingChannels Recording;
    TAlarmDispatcher Dispatcher_{Database, Settings, Channels, Queue, UpHosts, Sounds, "/data"};
};

} // namespace

TEST_F(Dispatcher, NewestEventOnTopAndUpAndDownInOnePopup) {
    Queue1("10:00:00 - a, x", "down", EventColourRed);
    Queue1("10:00:01 - b, y", "up", EventColourLime);
    Dispatch();
    ASSERT_EQ(Recording.Down.RowCount(), 2);
    EXPECT_EQ(Recording.Down.Cell("Host", 0).GetAsString(), "10:00:01 - b, y");
    EXPECT_EQ(Recording.Down.Cell("State_", 0).Color(), EventColourLime);
    EXPECT_EQ(Recording.Down.Cell("Host", 1).GetAsString(), "10:00:00 - a, x");
    EXPECT_EQ(Recording.DownShown, 1);
    EXPECT_TRUE(DownAlertVisible);
    EXPECT_EQ(Queue.RowCount(), 0);
}

TEST_F(Dispatcher, SendIfUpOnlyMailsUpEvents) {
    Settings.Update([](TSettings& s) {
        s.CheckBox_send_if_down = false;
        s.CheckBox_send_if_up = true;
    });
    Queue1("a", "down", EventColourRed);
    Queue1("b", "back", EventColourLime);
    Dispatch();
    ASSERT_EQ(Recording.Mails.size(), 1u);
    EXPECT_EQ(Recording.Mails[0][0], "ops@example.org");
    EXPECT_EQ(Recording.Mails[0][1], LangText(264) + "b" + LangText(265) + "back");
    // The empty description differs from the address, so a blank and the empty text stand there.
    EXPECT_EQ(Recording.Mails[0][2], "\nHost: b  - back");
    EXPECT_GE(Recording.Pumped, 150);
}

TEST_F(Dispatcher, MessageGoesToFirstContactOnlyAndFailureIsLogged) {
    Queue1("a", "down", EventColourRed, "123456,654321");
    Dispatch();
    ASSERT_EQ(Recording.Messages.size(), 1u);
    EXPECT_EQ(Recording.Messages[0][0], "123456");
    EXPECT_EQ(Recording.Messages[0][1], "a - down");
    auto log = Log();
    EXPECT_NE(std::find(log.begin(), log.end(), LangText(269) + "a - down"), log.end());
    EXPECT_NE(std::find(log.begin(), log.end(), LangText(266)), log.end());

    // Signed off and the sign-on never completes: logged as timed out and as failed, never as sent.
    Recording.IsLoggedIn = false;
    Recording.LoginWorks = false;
    Recording.MailWorks = false;
    Queue1("b", "down", EventColourRed);
    Dispatch();
    EXPECT_EQ(Recording.LoginStatus, 0x10006000u);
    log = Log();
    EXPECT_NE(std::find(log.begin(), log.end(), LangText(268)), log.end());
    EXPECT_NE(std::find(log.begin(), log.end(), LangText(270)), log.end());
    EXPECT_NE(std::find(log.begin(), log.end(), LangText(267)), log.end());
    EXPECT_EQ(std::count(log.begin(), log.end(), LangText(269) + "b - down"), 0);
}

TEST_F(Dispatcher, MutedQueuesNoSoundsButStillNotifies) {
    SoundMuted = true;
    Queue1("a", "down", EventColourRed);
    Dispatch();
    EXPECT_EQ(Sounds.RowCount(), 0);
    EXPECT_EQ(Recording.SoundTimerStarts, 0);
    EXPECT_EQ(Recording.DownShown, 1);
    EXPECT_EQ(Recording.Mails.size(), 1u);
    EXPECT_EQ(Recording.Messages.size(), 1u);

    SoundMuted = false;
    DownAlertVisible = false;
    Queue1("a", "down", EventColourRed);
    Dispatch();
    ASSERT_EQ(Sounds.RowCount(), 1);
    EXPECT_EQ(Sounds.Cell(0, 0).GetAsString(), "down.wav");
    EXPECT_EQ(Recording.SoundTimerStarts, 1);
    auto log = Log();
    EXPECT_NE(std::find(log.begin(), log.end(), LangText(274)), log.end());
}

TEST_F(Dispatcher, SecondPassWhilePopupShowsKeepsListAndAddsOnTop) {
    Queue1("first", "down", EventColourRed);
    Dispatch();
    Queue1("second", "down", EventColourRed);
    Dispatch();
    ASSERT_EQ(Recording.Down.RowCount(), 2);
    EXPECT_EQ(Recording.Down.Cell("Host", 0).GetAsString(), "second");
    EXPECT_EQ(Recording.DownShown, 1); // already showing
}

TEST_F(Dispatcher, UpSoundFileNames) {
    EXPECT_EQ(UpSoundFile("up.wav", "/opt/zt/Data/"), "/opt/zt/Data/Sounds/up.wav");
    EXPECT_EQ(UpSoundFile("up.wav", "/opt/zt/Data"), "/opt/zt/Data/Sounds/up.wav");
    EXPECT_EQ(UpSoundFile("/home/op/bell.wav", "/opt/zt/Data/"), "/home/op/bell.wav");
}

TEST_F(Dispatcher, MissingMailAndMessagingChannelsAreLoggedAsFailedNeverAsSent) {
    TAlarmChannels bare;
    InstantPump pump;
    bare.SetEventPump(&pump);
    TAlarmDispatcher dispatcher(Database, Settings, bare, Queue, UpHosts, Sounds, "/data");
    Queue1("a", "down", EventColourRed);
    dispatcher.DispatchAlarms();
    const std::vector<QString> log = Log();
    EXPECT_TRUE(HasLine(log, LangText(267) + " (" + NoChannelReason() + ")"));
    // No client signs on: the wait ends after its 100 rounds, then the message fails.
    EXPECT_TRUE(HasLine(log, LangText(268)));
    EXPECT_TRUE(HasLine(log, LangText(270)));
    EXPECT_EQ(pump.Pumped, 150 + 100 * 100);
    EXPECT_FALSE(HasLine(log, LangText(266)));
    EXPECT_EQ(
        std::count_if(log.begin(), log.end(), [](const QString& l) { return l.startsWith(LangText(269)); }),
        0);
}

TEST_F(Dispatcher, MissingPopupsAndPlayerShowAndPlayNothingAndTheListsDoNotGrow) {
    TAlarmChannels bare;
    InstantPump pump;
    bare.SetEventPump(&pump);
    Settings.Update([](TSettings& s) {
        s.Email_checkbox = false;
        s.ICQ_CheckBox = false;
    });
    TAlarmDispatcher dispatcher(Database, Settings, bare, Queue, UpHosts, Sounds, "/data");
    for (int pass = 0; pass < 3; ++pass) {
        Queue1("a", "down", EventColourRed);
        dispatcher.DispatchAlarms();
    }
    EXPECT_FALSE(DownAlertVisible);
    EXPECT_EQ(bare.Popups().DownPopupGrid().RowCount(), 1);
    // The queue of a player that never runs is emptied by each dispatch before it is refilled.
    EXPECT_EQ(Sounds.RowCount(), 1);
    const std::vector<QString> log = Log();
    EXPECT_FALSE(HasLine(log, LangText(271)));
    EXPECT_EQ(std::count(log.begin(), log.end(), LangText(274)), 3);
}

TEST_F(Dispatcher, UpPopupRowsShowTheUpPopupPlayTheUpSoundAndClearTheUpHostGrid) {
    Settings.Update([](TSettings& s) { s.Up_Sound_Edit = "bell.wav"; });
    int row = Recording.Up.AddRow();
    Recording.Up.Cell("Host", row).SetAsString("kept");
    UpAlertVisible = true; // the row is kept from an earlier showing
    UpHosts.AddRow();
    Queue1("a", "back", EventColourLime);
    Dispatch();
    EXPECT_EQ(Recording.UpShown, 0); // already showing
    EXPECT_EQ(Recording.Played, "/data/Sounds/bell.wav");
    EXPECT_EQ(UpHosts.RowCount(), 0);
    EXPECT_TRUE(HasLine(Log(), LangText(272)));
    UpAlertVisible = false;
}

TEST_F(Dispatcher, OptionsAreReadOnceAtTheStartOfADispatch) {
    // The operator switches messaging off while the first mail waits: this dispatch still sends
    // the messages it started with, the next one does not.
    Recording.OnPump = [&] {
        Settings.Update([](TSettings& s) { s.ICQ_CheckBox = false; });
    };
    Queue1("a", "down", EventColourRed);
    Dispatch();
    EXPECT_EQ(Recording.Messages.size(), 1u);
    EXPECT_EQ(Recording.LoginUin, 0); // already signed on: no sign-on
    Recording.OnPump = nullptr;
    Queue1("b", "down", EventColourRed);
    Dispatch();
    EXPECT_EQ(Recording.Messages.size(), 1u);
    EXPECT_EQ(Recording.Mails.size(), 2u);
}

TEST_F(Dispatcher, SignOnUsesTheNotificationAccountAndMailFailureCarriesItsReason) {
    Recording.IsLoggedIn = false;
    Recording.MailWorks = false;
    Recording.MailReason = "Connection refused";
    Queue1("a", "down", EventColourRed);
    Dispatch();
    EXPECT_EQ(Recording.LoginUin, 111);
    EXPECT_EQ(Recording.LoginPassword, "pw");
    EXPECT_TRUE(HasLine(Log(), LangText(267) + " (Connection refused)"));
}
