// The messaging events with the real client against the checking server on 127.0.0.1: a received
// command answered over the wire and logged once, the keep-alive timer's sign-on and keep-alive, the
// status picture, the dispatcher's messaging channel (through a small local channel that hands the
// dispatcher's calls to these events), the start-up sign-on and the sign-off at close; and the
// services' ownership of the client.
#include "core/MonitorServices.h"
#include "ui/main/MessagingEvents.h"

#include "core/AlarmChannels.h"
#include "core/AlarmDispatcher.h"
#include "core/CheckRules.h"
#include "core/DatabaseSchema.h"
#include "core/HostStateMachine.h"
#include "core/LangTexts.h"
#include "core/MonitorInterfaces.h"
#include "core/SQLiteDb.h"
#include "core/SettingsModel.h"
#include "core/SoundQueue.h"
#include "grid/GxGrid.h"
#include "messaging/ICQClient.h"

#include "tests/messaging/checking_server_helpers.h"
#include "tests/messaging/messaging_helpers.h"
#include "tests/support/TestSupport.h"

#include <QCoreApplication>
#include <QTimer>
#include <gtest/gtest.h>

using namespace zt::msgtest;

namespace {

TGroupTreeNode Node(const QString& Caption, const QString& Group, int Parent = -1) {
    TGroupTreeNode node;
    node.ParentIndex = Parent;
    node.Caption = Caption;
    node.Record = std::make_shared<TGroupNodeRecord>(TGroupNodeRecord{Caption, QString(), Group});
    return node;
}

class MessagingEventsTest : public ::testing::Test {
protected:
    void SetUp() override {
        LangTexts::UseBuiltInEnglish();
        MonitorDatabase.Open(QString::fromStdString(Dir.file("dbm.db")));
        CreateMissingTables(MonitorDatabase);
        Tree = {Node("Servers", "1"), Node("Web", "2", 0)};
        Server = std::make_unique<TCheckingServer>(Options);
        // Never the service's own server.
        Client.ICQServer = QStringLiteral("127.0.0.1");
        // No listener and no look-up of the machine's own name: these tests are about the server.
        Client.DisableDirectConnections = true;
        Client.ICQPort = Server->LoginPort();
        Client.UIN = Options.UIN;
        Client.Password = QString::fromLatin1(Options.Password);
        TMessagingParts parts;
        parts.GroupTree = [this]() -> const TGroupTree& {
            return Tree;
        };
        parts.NotificationEnabled = [this] {
            return Enabled;
        };
        parts.ShowOnline = [this](bool Online) {
            Pictures << (Online ? "online" : "offline");
        };
        parts.PumpDelay = [](int Milliseconds) {
            Pump(Milliseconds);
        };
        Events = std::make_unique<TMessagingEvents>(Client, parts);
        Client.OnMessageRecv = [this](const QString& Msg, const QString& UIN) {
            Events->ICQClient1MessageRecv(Msg, UIN);
        };
        Client.OnLogin = [this] {
            Events->ICQClient1Login();
        };
        Client.OnLogOff = [this] {
            Events->ICQClient1LogOff();
        };
    }
    void TearDown() override {
        Events.reset();
        MonitorDatabase.Close();
    }

    QStringList ProgramLog() {
        QStringList lines;
        const auto rows = MonitorDatabase.OpenResultTable("select Status from program_log order by ID");
        for (int i = 0; i < rows->RowCount(); ++i, rows->NextRow())
            lines << rows->FieldText(0);
        return lines;
    }
    bool SignedOn(int Count = 1) {
        return WaitFor([&] { return Client.LoggedIn() && Server->SignOns() == Count; });
    }

    zt::test::TempDir Dir;
    TCheckingServer::TOptions Options;
    std::unique_ptr<TCheckingServer> Server;
    TICQClient Client;
    std::unique_ptr<TMessagingEvents> Events;
    TGroupTree Tree;
    bool Enabled = true;
    QStringList Pictures;
};

} // namespace

TEST_F(MessagingEventsTest, ACommandIsAnsweredOverTheWireAndLoggedOnce) {
    Events->Login(123456789, "s3cret", ICQInitialStatus);
    ASSERT_TRUE(SignedOn());
    Server->SendFrame(2, Channel1Message("4242", 0, "GROUPS"));
    ASSERT_TRUE(WaitFor([&] { return Server->Messages().size() == 1; }));
    const QByteArray sent = Server->Messages().front();
    EXPECT_EQ(HexOf(sent), HexOf(ExpectedMessage(4242, "Groups :\r\rServers\r- Web", MessageCookieLo(sent))));
    EXPECT_EQ(ProgramLog(), QStringList{"ICQ message from 4242 received: GROUPS"});
    EXPECT_EQ(Pictures, QStringList{"online"});
    EXPECT_TRUE(Server->Faults().isEmpty()) << Server->FaultText().toStdString();
}

TEST_F(MessagingEventsTest, KeepAliveTimerSignsOnThenKeepsAlive) {
    Enabled = false;
    Events->ICQ_keep_alive_TimerTimer();
    Pump(200);
    EXPECT_EQ(Server->LoginConnections(), 0);

    Enabled = true;
    Server = std::make_unique<TCheckingServer>([&] {
        TCheckingServer::TOptions options = Options;
        options.Status = ICQInitialStatus | ICQStatusFlagBit;
        return options;
    }());
    Client.ICQPort = Server->LoginPort();
    Events->ICQ_keep_alive_TimerTimer();
    ASSERT_TRUE(SignedOn());
    EXPECT_EQ(Server->KeepAlives(), 0); // the first round only starts the sign-on
    Events->ICQ_keep_alive_TimerTimer();
    ASSERT_TRUE(WaitFor([&] { return Server->KeepAlives() == 1; }));
    EXPECT_EQ(Server->LoginConnections(), 1);
    EXPECT_TRUE(Server->Faults().isEmpty()) << Server->FaultText().toStdString();
}

TEST_F(MessagingEventsTest, MessagingChannelOfTheDispatcher) {
    // Signed off: nothing is sent and nothing reported as sent.
    EXPECT_FALSE(Events->LoggedIn());
    EXPECT_FALSE(Events->SendMessage(4242, "x"));

    // A host going down with messaging alarms on: sign-on, then "<Host_name> - <State>" to the first UIN.
    TDataGrid queue;
    CreateDownHostGridColumns(queue);
    const int row = queue.AddRow();
    queue.Cell("Host_name", row).SetAsString("10:00:00 - db1, 10.0.0.1");
    queue.Cell("State", row).SetAsString("Down");
    queue.Cell("State", row).SetCellColor(EventColourRed);
    queue.Cell("ICQ", row).SetAsString("4242,5555");
    queue.Cell("ICQ_e", row).SetAsBoolean(true);
    // The real dispatcher with the window's events as its messaging channel and nothing else.
    TSettingsModel settings;
    settings.Update([](TSettings& o) {
        o.ICQ_CheckBox = true;
        o.Alert_CheckBox = false;
        o.Up_sound_CheckBox = false;
        o.ICQ_UIN_Edit = QStringLiteral("123456789");
        o.ICQ_Password_Edit = QStringLiteral("s3cret");
    });
    TAlarmChannels channels;
    channels.SetMessaging(Events.get());
    TDataGrid up, sounds;
    CreateDownHostGridColumns(up);
    CreateSoundQueueColumns(sounds);
    TAlarmDispatcher dispatcher(MonitorDatabase, settings, channels, queue, up, sounds,
                                QString::fromStdString(Dir.path()));
    dispatcher.DispatchAlarms();
    ASSERT_TRUE(Client.LoggedIn());
    ASSERT_TRUE(WaitFor([&] { return Server->Messages().size() == 1; }));
    const QByteArray sent = Server->Messages().front();
    EXPECT_EQ(HexOf(sent),
              HexOf(ExpectedMessage(4242, "10:00:00 - db1, 10.0.0.1 - Down", MessageCookieLo(sent))));
    EXPECT_EQ(ProgramLog(), QStringList{LangText(269) + "10:00:00 - db1, 10.0.0.1 - Down"});
    EXPECT_EQ(ProgramLog().front(), "ICQ alert: message sent: 10:00:00 - db1, 10.0.0.1 - Down");

    // UINs outside 32 bits are never sent to.
    EXPECT_FALSE(Events->SendMessage(0, "x"));
    EXPECT_FALSE(Events->SendMessage(0x100000000LL, "x"));
    EXPECT_TRUE(Server->Faults().isEmpty()) << Server->FaultText().toStdString();
}

TEST_F(MessagingEventsTest, StartUpSignOnFetchesNoOfflineMessages) {
    Events->StartupSignOn(123456789, "s3cret");
    ASSERT_TRUE(SignedOn());
    Pump(200);
    EXPECT_TRUE(Server->MetaRequests().empty());
    EXPECT_EQ(ProgramLog(), QStringList{"ICQ: signing on..."});
    // Already signed on: nothing more.
    Events->StartupSignOn(123456789, "s3cret");
    Pump(100);
    EXPECT_EQ(Server->LoginConnections(), 1);
    EXPECT_EQ(ProgramLog().size(), 1);
}

TEST_F(MessagingEventsTest, SignOffAtCloseShowsOfflineAndConnectsNowhere) {
    Events->Login(123456789, "s3cret", ICQInitialStatus);
    ASSERT_TRUE(SignedOn());
    Events->SignOff();
    Pump(300);
    EXPECT_FALSE(Client.LoggedIn());
    EXPECT_FALSE(Client.Connecting());
    EXPECT_EQ(Pictures, (QStringList{"online", "offline"}));
    EXPECT_EQ(Server->LoginConnections(), 1);
    EXPECT_EQ(Server->BosCloses(), 1);
}

TEST(MainWindowMessaging, TheServicesOwnTheClientAndItsTimerAsTheChannelAndStopThem) {
    TMonitorServices services{MonitorDatabase, QString()};
    services.SetMessaging(std::make_unique<TMessagingService>(TMessagingParts{}));
    auto* messaging = static_cast<TMessagingService*>(services.Messaging());
    EXPECT_EQ(&services.Channels().Messaging(), messaging);
    ASSERT_NE(messaging->ICQClient1(), nullptr);
    EXPECT_EQ(messaging->ICQClient1()->objectName(), "ICQClient1");
    EXPECT_EQ(messaging->ICQ_keep_alive_Timer().interval(), 100000);
    EXPECT_TRUE(messaging->ICQ_keep_alive_Timer().isActive());
    EXPECT_TRUE(messaging->ICQClient1()->OnMessageRecv);
    EXPECT_TRUE(messaging->ICQClient1()->OnLogin);
    EXPECT_TRUE(messaging->ICQClient1()->OnLogOff);
    // The option is off: the timer's round does nothing.
    messaging->Events()->ICQ_keep_alive_TimerTimer();
    EXPECT_FALSE(messaging->ICQClient1()->Connecting());
    // Stopped with the services' threads, while the database is still there: nothing is left
    // to fire into the windows or the log.
    services.Stop();
    EXPECT_EQ(messaging->ICQClient1(), nullptr);
    EXPECT_FALSE(messaging->ICQ_keep_alive_Timer().isActive());
    EXPECT_FALSE(messaging->SendMessage(123456789, "late"));
}

TEST_F(MessagingEventsTest, ADirectPeersCommandIsLoggedButNeverAnswered) {
    Events->Login(123456789, "s3cret", ICQInitialStatus);
    ASSERT_TRUE(SignedOn());
    ASSERT_TRUE(Client.OnDirectMessageRecv);
    Client.OnDirectMessageRecv("groups", "4242");
    Pump(200);
    EXPECT_TRUE(Server->Messages().empty());
    EXPECT_EQ(ProgramLog(), QStringList{"ICQ message from 4242 received: groups"});
}
