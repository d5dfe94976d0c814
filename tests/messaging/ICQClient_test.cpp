// The client against the checking server on 127.0.0.1: the sign-on byte for byte with its sequence
// numbers, the login errors and the redirect without a port, the time-out, log-off and sign-off paths,
// sending, keep-alive, offline messages, and the traffic the server plays (messages on three channels,
// presence, meta replies, the disconnect notice, broken frames).
#include "messaging/ICQClient.h"

#include "core/TextConversions.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>

#include "tests/messaging/checking_server_helpers.h"
#include "tests/messaging/messaging_helpers.h"

using namespace zt::msgtest;

namespace {

class ClientTest : public ::testing::Test {
protected:
    void Start(TCheckingServer::TOptions Options = {}) {
        Server = std::make_unique<TCheckingServer>(Options);
        Client = std::make_unique<TICQClient>();
        // Never the service's own server.
        Client->ICQServer = QStringLiteral("127.0.0.1");
        Client->ICQPort = Server->LoginPort();
        Client->UIN = Options.UIN;
        Client->Password = QString::fromLatin1(Options.Password);
        Client->ContactList = Options.Contacts;
        Client->InvisibleList = Options.Invisible;
        Client->TypingNotifications = Options.Typing;
        // Direct connections have their own tests; the local address lookup stays out of these.
        Client->DisableDirectConnections = !Options.DirectConnections;
        Client->OnLogin = [this] {
            Events << "login";
        };
        Client->OnLogOff = [this] {
            Events << "logoff";
        };
        Client->OnConnectionFailed = [this] {
            Events << "failed";
        };
        Client->OnError = [this](TErrorType Type, const QString& Text) {
            Events << QStringLiteral("error %1: %2").arg(Type).arg(Text);
        };
        Client->OnMessageRecv = [this](const QString& Msg, const QString& UIN) {
            Events << QStringLiteral("message %1: %2").arg(UIN, Msg);
        };
        Client->OnServerDisconnect = [this](int Reason, const QString& Description) {
            Events << QStringLiteral("server disconnect %1: %2").arg(Reason).arg(Description);
        };
    }

    bool SignOn(quint32 Status = ICQInitialStatus) {
        const int before = Server->SignOns();
        Client->Login(Status);
        return WaitFor([&] { return Client->LoggedIn() && Server->SignOns() == before + 1; });
    }

    // Waits until Count events were recorded.
    bool WaitEvents(int Count, int LimitMs = 5000) {
        return WaitFor([&] { return Events.size() >= Count; }, LimitMs);
    }

    std::unique_ptr<TCheckingServer> Server;
    std::unique_ptr<TICQClient> Client;
    QStringList Events;
};

const QString BadPassword = QStringLiteral("Connection failed. Your ICQ number or password was rejected.");

} // namespace

TEST_F(ClientTest, DefaultsAndOfflineCalls) {
    TICQClient client;
    EXPECT_EQ(client.ICQPort, 5190);
    EXPECT_EQ(client.ICQPortViaHTTP, 80);
    EXPECT_FALSE(client.ICQServer.isEmpty());
    EXPECT_EQ(client.ProxyType, P_NONE);
    EXPECT_TRUE(client.ConvertToPlaintext);
    EXPECT_FALSE(client.SecureLogin);
    EXPECT_EQ(client.ConnectionTimeout, 0);
    EXPECT_EQ(client.ErrorLanguage(), LANG_EN);
    EXPECT_LT(client.MainSequence(), 43690);
    EXPECT_FALSE(client.LoggedIn());
    // Nothing is sent, and nothing reported as sent, while signed off.
    EXPECT_FALSE(client.SendMessage(1, "x"));
    EXPECT_FALSE(client.SendKeepAlive());
    EXPECT_FALSE(client.RequestOfflineMessages());
    EXPECT_FALSE(client.Connecting());
}

TEST_F(ClientTest, SignOnIsPlayedByteForByte) {
    Start();
    ASSERT_TRUE(SignOn()) << Server->FaultText().toStdString();
    EXPECT_TRUE(Server->Faults().isEmpty()) << Server->FaultText().toStdString();
    EXPECT_EQ(Events, QStringList{"login"});
    // Login server: hello answered by the login frame, the reply by the sign-off, then the close.
    EXPECT_EQ(Server->LoginConnections(), 1);
    EXPECT_TRUE(Server->LoginSignOffSeen());
    EXPECT_TRUE(WaitFor([&] { return Server->LoginCloses() == 1; }));
    EXPECT_EQ(Server->BosConnections(), 1);
    EXPECT_EQ(Client->Cookie(), Server->Options().Cookie);
    // 2 frames to the login server; cookie, versions, rate request, 7 start-up requests, 9 at the end.
    EXPECT_EQ(Server->Frames().size(), 2u + 1 + 1 + 1 + 7 + 9);
    EXPECT_EQ(Client->Status(), ICQInitialStatus);
    EXPECT_EQ(Client->MetaSequence(), 2);
    EXPECT_FALSE(Client->FirstStage());
}

TEST_F(ClientTest, SignOnWithContactsTypingAndAWrappingSequence) {
    TCheckingServer::TOptions options;
    options.Contacts = {"1001", "1002"};
    options.Invisible = {"2001"};
    options.Typing = true;
    options.Status = ICQInitialStatus | ICQStatusFlagBit;
    Start(options);
    Client->SetMainSequence(65530);
    Client->Login(ICQInitialStatus, true);
    ASSERT_TRUE(WaitFor([&] { return Client->LoggedIn() && Server->SignOns() == 1; }));
    EXPECT_TRUE(Server->Faults().isEmpty()) << Server->FaultText().toStdString();
    EXPECT_EQ(Server->Frames().front().Seq, 65530);
    EXPECT_EQ(Server->Frames()[6].Seq, 0); // wrapped
    EXPECT_EQ(Client->Status(), ICQInitialStatus | ICQStatusFlagBit);
}

TEST_F(ClientTest, LoginErrorCodesEndTheSignOn) {
    TCheckingServer::TOptions options;
    options.LoginErrorCode = 5;
    Start(options);
    Client->Login(ICQInitialStatus);
    ASSERT_TRUE(WaitEvents(2));
    EXPECT_EQ(Events, (QStringList{QStringLiteral("error %1: ").arg(ERR_LOGIN_BAD_UINORPASSW) + BadPassword,
                                   "failed"}));
    EXPECT_EQ(Client->LastError(), BadPassword);
    EXPECT_FALSE(Client->LoggedIn());
    EXPECT_TRUE(WaitFor([&] { return Server->LoginCloses() == 1; }));
    EXPECT_EQ(Server->BosConnections(), 0);
    EXPECT_EQ(Server->Frames().size(), 1u); // the login frame only
    EXPECT_TRUE(Server->Faults().isEmpty()) << Server->FaultText().toStdString();

    // Code 0 ends the sign-on without a message.
    options.LoginErrorCode = 0;
    Events.clear();
    Start(options);
    Client->Login(ICQInitialStatus);
    ASSERT_TRUE(WaitEvents(1));
    Pump(100);
    EXPECT_EQ(Events, QStringList{"failed"});
}

TEST_F(ClientTest, RedirectWithoutAPortIsAMalformedLoginReply) {
    TCheckingServer::TOptions options;
    options.RedirectPortZero = true;
    Start(options);
    Client->Login(ICQInitialStatus);
    ASSERT_TRUE(WaitEvents(2));
    EXPECT_EQ(Events,
              (QStringList{QStringLiteral("error %1: Received malformed login packet").arg(ERR_PROTOCOL),
                           "failed"}));
    EXPECT_TRUE(WaitFor([&] { return Server->LoginCloses() == 1; }));
    EXPECT_TRUE(Server->LoginSignOffSeen());
    EXPECT_EQ(Server->BosConnections(), 0);
    EXPECT_TRUE(Server->Faults().isEmpty()) << Server->FaultText().toStdString();
}

TEST_F(ClientTest, TimeOutStaysArmedUntilSignedOn) {
    TCheckingServer::TOptions options;
    options.StallBeforePrivacy = true;
    Start(options);
    Client->ConnectionTimeout = 5;
    QElapsedTimer clock;
    clock.start();
    Client->Login(ICQInitialStatus);
    // The BOS stage stalls before SNAC(9,3); the redirect did not disarm the time-out.
    ASSERT_TRUE(WaitFor([&] { return Server->StartUpRequestsSeen(); }));
    ASSERT_TRUE(WaitEvents(2, 8000));
    const qint64 took = clock.elapsed();
    EXPECT_GE(took, 4950);
    EXPECT_LE(took, 7000);
    EXPECT_EQ(Events,
              (QStringList{QStringLiteral("error %1: Connection timed out").arg(ERR_CONNTIMEOUT), "failed"}));
    EXPECT_TRUE(WaitFor([&] { return Server->BosCloses() == 1; }));
    EXPECT_FALSE(Client->LoggedIn());
    EXPECT_TRUE(Server->Faults().isEmpty()) << Server->FaultText().toStdString();
}

TEST_F(ClientTest, NoTimeOutWithZeroAndNoneOnceSignedOn) {
    TCheckingServer::TOptions options;
    options.StallBeforePrivacy = true;
    Start(options);
    Client->ConnectionTimeout = 0;
    Client->Login(ICQInitialStatus);
    ASSERT_TRUE(WaitFor([&] { return Server->StartUpRequestsSeen(); }));
    Pump(2500);
    EXPECT_TRUE(Events.isEmpty());
    EXPECT_EQ(Server->BosCloses(), 0);

    Events.clear();
    Start();
    Client->ConnectionTimeout = 1;
    ASSERT_TRUE(SignOn());
    Pump(1600);
    EXPECT_EQ(Events, QStringList{"login"});
    EXPECT_TRUE(Client->LoggedIn());
}

TEST_F(ClientTest, ErrorLanguageReachesTheTimeOutText) {
    TCheckingServer::TOptions options;
    options.StallBeforePrivacy = true;
    Start(options);
    Client->SetErrorLanguage(LANG_DE);
    Client->ConnectionTimeout = 1;
    Client->Login(ICQInitialStatus);
    ASSERT_TRUE(WaitEvents(2, 5000));
    EXPECT_EQ(Events.front(),
              QStringLiteral("error %1: ").arg(ERR_CONNTIMEOUT) + GetICQErrorText(LANG_DE, 9));
}

TEST_F(ClientTest, SignOffAtCloseLeavesNoConnectionAttempt) {
    Start();
    Client->Login(ICQCloseStatus, false);
    Client->LogOff();
    Pump(300);
    EXPECT_FALSE(Client->LoggedIn());
    EXPECT_FALSE(Client->Connecting());
    EXPECT_TRUE(Events.isEmpty());
    EXPECT_EQ(Server->LoginConnections(), 0);
    EXPECT_TRUE(Server->Frames().empty());
}

TEST_F(ClientTest, SendMessageKeepAliveAndOfflineRequest) {
    Start();
    ASSERT_TRUE(SignOn());
    const QString text = QString::fromUtf8("Host \"db\" - Down: Grüße ✓");
    ASSERT_TRUE(Client->SendMessage(4242, text));
    ASSERT_TRUE(Client->SendKeepAlive());
    ASSERT_TRUE(Client->RequestOfflineMessages());
    ASSERT_TRUE(WaitFor([&] { return Server->MetaRequests().size() == 1; }));
    ASSERT_EQ(Server->Messages().size(), 1u);
    const QByteArray sent = Server->Messages().front();
    const quint32 cookie = MessageCookieLo(sent);
    EXPECT_LT(cookie, 0xFFFFAAu);
    EXPECT_EQ(HexOf(sent), HexOf(ExpectedMessage(4242, text.toUtf8(), cookie)));
    EXPECT_EQ(Server->KeepAlives(), 1);
    // Meta request 60 with the meta sequence 2, from the UIN, little-endian inside TLV 1.
    EXPECT_EQ(HexOf(Server->MetaRequests().front()),
              HexOf(TLV(1, LE16(8) + LE32(123456789) + LE16(60) + LE16(2))));
    EXPECT_EQ(Client->MetaSequence(), 3);
    EXPECT_TRUE(Server->Faults().isEmpty()) << Server->FaultText().toStdString();

    // A text longer than the largest message is cut at a character boundary.
    ASSERT_TRUE(Client->SendMessage(1, QString(5000, QChar(0x00E9))));
    ASSERT_TRUE(WaitFor([&] { return Server->Messages().size() == 2; }));
    EXPECT_EQ(MessageText(Server->Messages().back()), QString(4000, QChar(0x00E9)).toUtf8());
}

TEST_F(ClientTest, IncomingMessagesOnThreeChannels) {
    Start();
    ASSERT_TRUE(SignOn());
    Events.clear();
    Server->SendFrame(2, Channel1Message("4242", 2, Hex("00 48 00 69")));
    Server->SendFrame(2, Channel1Message("4242", 0, "{\\rtf1 Hello\\par World}"));
    Server->SendFrame(2, Channel2Message("777", 1, 0, "groups"));
    Server->SendFrame(2, Channel4Message("555", 1, "log"));
    ASSERT_TRUE(WaitEvents(4));
    EXPECT_EQ(Events, (QStringList{"message 4242: Hi", "message 4242: Hello\r\nWorld", "message 777: groups",
                                   "message 555: log"}));
    // Only the channel-2 message is acknowledged, byte for byte.
    ASSERT_TRUE(WaitFor([&] { return Server->Acks().size() == 1; }));
    EXPECT_EQ(HexOf(Server->Acks().front()),
              HexOf(MessageCookie() + BE16(2) + ByteString("777") + BE16(3) + RendezvousHeader(1, 0) +
                    BE32(0) + Hex("01 00000000 0000 FFFFFF00")));

    Client->ConvertToPlaintext = false;
    Events.clear();
    Server->SendFrame(2, Channel1Message("4242", 0, "{\\rtf1 Hello\\par World}"));
    ASSERT_TRUE(WaitEvents(1));
    EXPECT_EQ(Events.front(), "message 4242: {\\rtf1 Hello\\par World}");
    EXPECT_TRUE(Server->Faults().isEmpty()) << Server->FaultText().toStdString();
}

TEST_F(ClientTest, OfflineMessagesThenTheirDeletion) {
    Start();
    QStringList offline;
    Client->OnOfflineMsgRecv = [&](double DateTime, const QString& Msg, const QString& UIN) {
        offline << UIN + ": " + Msg + " @ " + DateTimeToQDateTime(DateTime).toString("yyyy-MM-dd hh:mm:ss");
    };
    ASSERT_TRUE(SignOn());
    Server->SendFrame(2, OfflineMessage(123456789, 4242, 2024, 3, 1, 12, 30, 1, "while away"));
    Server->SendFrame(2, OfflineEnd(123456789));
    ASSERT_TRUE(WaitFor([&] { return Server->MetaRequests().size() == 1; }));
    EXPECT_EQ(offline, QStringList{"4242: while away @ 2024-03-01 12:30:00"});
    // The end resets the meta sequence to 2 and asks for deletion (type 62).
    EXPECT_EQ(HexOf(Server->MetaRequests().front()),
              HexOf(TLV(1, LE16(8) + LE32(123456789) + LE16(62) + LE16(2))));
    EXPECT_EQ(Client->MetaSequence(), 3);
}

TEST_F(ClientTest, PresenceAcknowledgementsAndSMS) {
    Start();
    QStringList seen;
    Client->OnStatusChange = [&](const QString& UIN, quint32 Status) {
        seen << QStringLiteral("status %1 %2").arg(UIN).arg(Status, 0, 16);
    };
    Client->OnUserOffline = [&](const QString& UIN) {
        seen << "offline " + UIN;
    };
    Client->OnMsgAck = [&](const QString& UIN, quint16 ID) {
        seen << QStringLiteral("ack %1 %2").arg(UIN).arg(ID);
    };
    Client->OnICBMError = [&](quint16 Code) {
        seen << QStringLiteral("icbm error %1").arg(Code);
    };
    Client->OnTypingNotification = [&](const QString& UIN, quint16 Kind) {
        seen << QStringLiteral("typing %1 %2").arg(UIN).arg(Kind);
    };
    Client->OnSMSAck = [&](const QString& Source, const QString& Network, const QString& MsgId,
                           bool Deliverable) {
        seen << QStringLiteral("sms %1 %2 %3 %4").arg(Source, Network, MsgId).arg(Deliverable ? 1 : 0);
    };
    ASSERT_TRUE(SignOn());
    Server->SendSnac(3, 0x0B, ByteString("31337") + BE16(0) + TLV(6, BE32(0x20)));
    Server->SendSnac(3, 0x0C, ByteString("31337") + BE16(0));
    Server->SendSnac(4, 0x0C, Hex("00000000 00001234 0001") + ByteString("31337"));
    Server->SendSnac(4, 1, BE16(4));
    Server->SendSnac(4, 0x14, MessageCookie() + BE16(1) + ByteString("31337") + BE16(2));
    Server->SendFrame(2, SMSAck(123456789,
                                "<source>src</source><network>net</network><message_id>m1</message_id>"
                                "<deliverable>No</deliverable>"));
    ASSERT_TRUE(WaitFor([&] { return seen.size() == 6; }));
    EXPECT_EQ(seen, (QStringList{"status 31337 20", "offline 31337", "ack 31337 4660", "icbm error 4",
                                 "typing 31337 2", "sms src net m1 0"}));
}

TEST_F(ClientTest, ServerDisconnectNotice) {
    Start();
    ASSERT_TRUE(SignOn());
    Events.clear();
    Server->SendFrame(4, TLV(9, BE16(1)));
    ASSERT_TRUE(WaitEvents(3));
    EXPECT_EQ(Events, (QStringList{QStringLiteral("server disconnect 9: ") + GetICQErrorText(LANG_EN, 26),
                                   "failed", "logoff"}));
    EXPECT_EQ(Events.front(),
              "server disconnect 9: You have been disconnected from the ICQ network because you "
              "logged on from another location using the same ICQ number");
    EXPECT_FALSE(Client->LoggedIn());
    EXPECT_TRUE(WaitFor([&] { return Server->BosCloses() == 1; }));
    EXPECT_FALSE(Client->SendMessage(1, "after"));

    // Another notice gives its type and value.
    Events.clear();
    ASSERT_TRUE(SignOn());
    Server->SendFrame(4, TLV(0x0B, BE16(7)));
    ASSERT_TRUE(WaitEvents(4));
    EXPECT_EQ(Events.mid(1, 1), QStringList{"server disconnect 11: 7"});
}

TEST_F(ClientTest, BrokenFramesCloseAndGoOffline) {
    Start();
    ASSERT_TRUE(SignOn());
    // 8192 bytes are accepted.
    Server->SendRaw(Flap(2, 1, Snac(0x7F, 1, 0, QByteArray(8182, 'z'))));
    Server->SendFrame(2, Channel1Message("1", 0, "still here"));
    ASSERT_TRUE(WaitEvents(2));
    EXPECT_EQ(Events.last(), "message 1: still here");
    Events.clear();
    // A header announcing 8193 bytes ends the connection; the client goes offline.
    Server->SendRaw(Hex("2A 02 00 07 20 01"));
    ASSERT_TRUE(WaitEvents(3));
    EXPECT_EQ(Events,
              (QStringList{
                  QStringLiteral("error %1: Length of incoming packet exceeds maximum supported by protocol")
                      .arg(ERR_PROTOCOL),
                  "failed", "logoff"}));
    EXPECT_TRUE(WaitFor([&] { return Server->BosCloses() == 1; }));

    Events.clear();
    ASSERT_TRUE(SignOn());
    Server->SendRaw(Flap(2, 9, Snac(1, 1, 0, "x")).replace(0, 1, "\x2B"));
    ASSERT_TRUE(WaitEvents(4));
    EXPECT_EQ(Events.mid(1),
              (QStringList{QStringLiteral("error %1: Received malformed packet").arg(ERR_PROTOCOL), "failed",
                           "logoff"}));
    EXPECT_FALSE(Client->LoggedIn());
}

TEST_F(ClientTest, GoingOfflineFiresLogOff) {
    Start();
    ASSERT_TRUE(SignOn());
    Events.clear();
    // The server closes.
    Server->CloseBos();
    ASSERT_TRUE(WaitEvents(2));
    EXPECT_EQ(Events, (QStringList{"failed", "logoff"}));
    EXPECT_FALSE(Client->LoggedIn());

    // LogOff of a signed-on client.
    Events.clear();
    ASSERT_TRUE(SignOn());
    Client->LogOff();
    EXPECT_EQ(Events, (QStringList{"login", "failed", "logoff"}));
    EXPECT_TRUE(WaitFor([&] { return Server->BosCloses() == 2; }));

    // A second Login while signed on starts over.
    Events.clear();
    ASSERT_TRUE(SignOn());
    ASSERT_TRUE(SignOn());
    EXPECT_EQ(Events, (QStringList{"login", "logoff", "login"}));
    EXPECT_EQ(Server->BosConnections(), 4);
    EXPECT_TRUE(Server->Faults().isEmpty()) << Server->FaultText().toStdString();
}

TEST_F(ClientTest, FailedConnectAndThrowingHandlers) {
    Start();
    // Nothing listens on the login port any more.
    const quint16 port = Server->LoginPort();
    Server.reset();
    Client->ICQPort = port;
    Client->Login(ICQInitialStatus);
    ASSERT_TRUE(WaitEvents(2));
    EXPECT_EQ(Events, (QStringList{QStringLiteral("error %1: Could not connect").arg(ERR_SOCKET), "failed"}));

    // A handler that throws does not take the connection down.
    Events.clear();
    Start();
    Client->OnLogin = [] {
        throw std::runtime_error("handler failure");
    };
    Client->OnMessageRecv = [this](const QString& Msg, const QString&) {
        Events << Msg;
        throw std::runtime_error("handler failure");
    };
    ASSERT_TRUE(SignOn());
    Server->SendFrame(2, Channel1Message("1", 0, "one"));
    Server->SendFrame(2, Channel1Message("1", 0, "two"));
    ASSERT_TRUE(WaitEvents(2));
    EXPECT_EQ(Events, (QStringList{"one", "two"}));
    EXPECT_TRUE(Client->LoggedIn());
}
