// Direct connections: the peer wire byte for byte, our scrambling, the listening server, and the
// manager against peers of our own (plain sockets on 127.0.0.1): initialisation, normal packets,
// frame limits, stable handles, idle closing under a moved clock, presence from the checking server
// and the shut-down. GetLocalIP resolves this machine's own name: those tests run only when
// /etc/hosts holds it, so no query leaves the machine.
#include "messaging/ICQDirect2.h"

#include "core/ProgramLogSink.h"
#include "core/RemoteCommands.h"
#include "messaging/ICQClient.h"

#include <QFile>
#include <QHostInfo>
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <memory>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include "tests/messaging/checking_server_helpers.h"
#include "tests/messaging/messaging_helpers.h"

using namespace zt::msgtest;

namespace {

constexpr quint32 OwnUIN = 123456789;

// Whether /etc/hosts names this machine, so resolving its name stays on the machine.
bool OwnNameInHosts() {
    QFile hosts(QStringLiteral("/etc/hosts"));
    if (!hosts.open(QIODevice::ReadOnly))
        return false;
    const QString name = QHostInfo::localHostName();
    for (const QByteArray& raw : hosts.readAll().split('\n')) {
        const qsizetype comment = raw.indexOf('#');
        const QByteArray line = (comment < 0 ? raw : raw.left(comment)).simplified();
        const QList<QByteArray> fields = line.split(' ');
        for (qsizetype i = 1; i < fields.size(); ++i)
            if (QString::fromLatin1(fields[i]).compare(name, Qt::CaseInsensitive) == 0)
                return true;
    }
    return false;
}

#define SKIP_WITHOUT_OWN_NAME()                                                                              \
    if (!OwnNameInHosts())                                                                                   \
    GTEST_SKIP() << "/etc/hosts does not name this machine: resolving its name could leave it"

// A peer of our own: a non-blocking socket on 127.0.0.1; everything it reads is kept.
class TTestPeer {
public:
    explicit TTestPeer(quint16 Port) {
        FFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(Port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        FConnected = ::connect(FFd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        ::fcntl(FFd, F_SETFL, ::fcntl(FFd, F_GETFL) | O_NONBLOCK);
    }
    ~TTestPeer() { Close(); }
    TTestPeer(const TTestPeer&) = delete;
    TTestPeer& operator=(const TTestPeer&) = delete;

    bool Connected() const { return FConnected; }
    void Send(const QByteArray& Bytes) {
        ASSERT_EQ(::send(FFd, Bytes.constData(), size_t(Bytes.size()), MSG_NOSIGNAL), Bytes.size());
    }
    void SendFrame(const QByteArray& Frame) { Send(DCFramed(Frame)); }
    void Close() {
        if (FFd >= 0)
            ::close(FFd);
        FFd = -1;
    }
    // Takes what arrived; notes the peer's close.
    void Poll() {
        char buffer[16384];
        for (int i = 0; i < 64 && FFd >= 0; ++i) {
            const ssize_t n = ::recv(FFd, buffer, sizeof buffer, 0);
            if (n > 0) {
                Received.append(buffer, n);
                continue;
            }
            if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK))
                FEnded = true;
            return;
        }
    }
    bool WaitBytes(int Count, int LimitMs = 5000) {
        return WaitFor(
            [&] {
                Poll();
                return Received.size() >= Count;
            },
            LimitMs);
    }
    bool WaitEnded(int LimitMs = 5000) {
        return WaitFor(
            [&] {
                Poll();
                return FEnded;
            },
            LimitMs);
    }
    // The frames received so far, without their lengths.
    QList<QByteArray> Frames() const {
        QList<QByteArray> frames;
        for (qsizetype at = 0; at + 2 <= Received.size();) {
            const int length = quint8(Received[at]) | quint8(Received[at + 1]) << 8;
            if (at + 2 + length > Received.size())
                break;
            frames.append(Received.mid(at + 2, length));
            at += 2 + length;
        }
        return frames;
    }
    // Plays the initialisation as UIN and waits for the acknowledgement and the manager's frame.
    bool Initialise(quint32 UIN) {
        TDCInit init;
        init.Version = DCProtocolVersion;
        init.RemoteUIN = OwnUIN;
        init.Port = 4000;
        init.UIN = UIN;
        init.ExternalIP = 0x7F000001;
        init.InternalIP = 0x7F000001;
        init.Flags = 4;
        init.Cookie = 0x01020304;
        SendFrame(BuildDCInit(init));
        return WaitBytes(6 + 50);
    }

    QByteArray Received;

private:
    int FFd = -1;
    bool FConnected = false;
    bool FEnded = false;
};

QByteArray Scrambled(TDCNormalPacket Packet) {
    QByteArray frame = BuildDCNormalPacket(Packet);
    DCEncrypt(reinterpret_cast<quint8*>(frame.data()), int(frame.size()), DCProtocolVersion);
    return frame;
}

QByteArray Message(quint16 Seq, const QByteArray& Text, quint16 Type = DCPlainMessage) {
    TDCNormalPacket packet;
    packet.Command = DC_CMD_MESSAGE;
    packet.Seq = Seq;
    packet.MessageType = Type;
    packet.Text = Text;
    return Scrambled(packet);
}

// A manager listening on 127.0.0.1 and what it reported.
class DirectTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!OwnNameInHosts())
            GTEST_SKIP() << "/etc/hosts does not name this machine: resolving its name could leave it";
        TDCSettings settings;
        settings.UIN = OwnUIN;
        Manager = std::make_unique<TDirectControl>(settings);
        Manager->ConnectionCookie = 0xCAFEBABE;
        Manager->AutoAwayMessage = QStringLiteral("Out for lunch");
        Manager->Clock = [this] {
            return Now;
        };
        Manager->OnError = [this](TErrorType Type, const QString& Text) {
            Events << QStringLiteral("error %1: %2").arg(Type).arg(Text);
        };
        Manager->OnMessageRecv = [this](const QString& Msg, const QString& UIN) {
            Events << QStringLiteral("message %1: %2").arg(UIN, Msg);
        };
        Manager->OnDirectPacketAck = [this](quint32 UIN, quint16 Seq) {
            Events << QStringLiteral("ack %1: %2").arg(UIN).arg(Seq);
        };
        ASSERT_TRUE(Manager->Listening());
    }

    // A connected and initialised peer, with its connection's handle.
    std::unique_ptr<TTestPeer> Peer(quint32 UIN, int* Handle = nullptr) {
        const int before = Manager->ConnectionCount();
        auto peer = std::make_unique<TTestPeer>(Manager->Port());
        EXPECT_TRUE(peer->Connected());
        EXPECT_TRUE(WaitFor([&] { return Manager->ConnectionCount() == before + 1; }));
        if (Handle)
            *Handle = Manager->ConnectionHandles().back();
        EXPECT_TRUE(peer->Initialise(UIN));
        return peer;
    }

    bool WaitEvents(int Count) {
        return WaitFor([&] { return Events.size() >= Count; });
    }

    qint64 Now = 1000;
    std::unique_ptr<TDirectControl> Manager;
    QStringList Events;
};

} // namespace

// ---------------------------------------------------------------------------------------------------
// Peer wire

TEST(DirectWire, InitialisationFrameAndAcknowledgement) {
    TDCInit init;
    init.Version = 8;
    init.RemoteUIN = 0x01020304;
    init.Port = 0x1234;
    init.UIN = OwnUIN;
    init.ExternalIP = 0x7F000001;
    init.InternalIP = 0x0A000001;
    init.Flags = 4;
    init.Cookie = 0xCAFEBABE;
    const QByteArray frame = BuildDCInit(init);
    EXPECT_EQ(HexOf(frame), HexOf(Hex("FF 0800 2B00 04030201 0000 34120000 15CD5B07 7F000001 0A000001 04 "
                                      "34120000 BEBAFECA 50000000 03000000 00000000")));
    EXPECT_EQ(HexOf(DCFramed(frame).left(2)), "30 00");
    EXPECT_EQ(HexOf(DCInitAck()), "01 00 00 00");

    TDCInit back;
    ASSERT_TRUE(ParseDCInit(reinterpret_cast<const quint8*>(frame.constData()), int(frame.size()), back));
    EXPECT_EQ(back.Version, 8);
    EXPECT_EQ(back.RemoteUIN, 0x01020304u);
    EXPECT_EQ(back.Port, 0x1234u);
    EXPECT_EQ(back.UIN, OwnUIN);
    EXPECT_EQ(back.ExternalIP, 0x7F000001u);
    EXPECT_EQ(back.InternalIP, 0x0A000001u);
    EXPECT_EQ(back.Flags, 4);
    EXPECT_EQ(back.Cookie, 0xCAFEBABEu);

    // Up to the sender's UIN it must be there; what follows reads as zeros.
    TDCInit cut;
    EXPECT_FALSE(ParseDCInit(reinterpret_cast<const quint8*>(frame.constData()), DCInitMinimum - 1, cut));
    ASSERT_TRUE(ParseDCInit(reinterpret_cast<const quint8*>(frame.constData()), DCInitMinimum, cut));
    EXPECT_EQ(cut.UIN, OwnUIN);
    EXPECT_EQ(cut.ExternalIP, 0u);
    EXPECT_EQ(cut.Cookie, 0u);
    const QByteArray other = QByteArray(frame).replace(0, 1, "\x02");
    EXPECT_FALSE(ParseDCInit(reinterpret_cast<const quint8*>(other.constData()), int(other.size()), cut));
}

TEST(DirectWire, NormalPacketLayoutAndScrambling) {
    TDCNormalPacket packet;
    packet.Command = DC_CMD_MESSAGE;
    packet.Seq = 0xFFFE;
    packet.MessageType = 1;
    packet.Text = "status";
    const QByteArray plain = BuildDCNormalPacket(packet);
    EXPECT_EQ(HexOf(plain), HexOf(Hex("02 00000000 EE07 0E00 FEFF 000000000000000000000000 0100 0000 0000 "
                                      "0700 737461747573 00")));

    // Our scrambling: the check lands in bytes 1-4, the bytes after it change, the type byte stays.
    QByteArray scrambled = plain;
    DCEncrypt(reinterpret_cast<quint8*>(scrambled.data()), int(scrambled.size()), DCProtocolVersion);
    EXPECT_EQ(HexOf(scrambled), HexOf(Hex("02 1E4D1BB0 C2792A44 1D0D05FA 7C240F8A 53F8BA6B 873C375F CB67E2DA "
                                          "D2AB1D68 42F4374A EF")));
    QByteArray back = scrambled;
    ASSERT_TRUE(DCDecrypt(reinterpret_cast<quint8*>(back.data()), int(back.size()), DCProtocolVersion));
    EXPECT_EQ(back.mid(5), plain.mid(5));

    // Any changed byte, or another version, fails the check.
    for (qsizetype i = 1; i < scrambled.size(); ++i) {
        QByteArray broken = scrambled;
        broken[i] = char(broken[i] ^ 0x10);
        EXPECT_FALSE(
            DCDecrypt(reinterpret_cast<quint8*>(broken.data()), int(broken.size()), DCProtocolVersion))
            << "byte " << i;
    }
    back = scrambled;
    EXPECT_FALSE(DCDecrypt(reinterpret_cast<quint8*>(back.data()), int(back.size()), 7));
    quint8 tiny[4] = {2, 0, 0, 0};
    EXPECT_FALSE(DCDecrypt(tiny, 4, DCProtocolVersion));
}

TEST(DirectWire, ShortPacketsNeverReadPastTheirEnd) {
    TDCNormalPacket packet;
    packet.Command = DC_CMD_MESSAGE;
    packet.Seq = 7;
    packet.MessageType = 1;
    packet.Text = "hello";
    const QByteArray whole = BuildDCNormalPacket(packet);
    TDCNormalPacket read;
    // Shorter than the header up to the message type: not a packet.
    EXPECT_FALSE(ParseDCNormalPacket(reinterpret_cast<const quint8*>(whole.constData()),
                                     DCNormalHeaderSize - 1, read));
    // Each cut is read from a buffer of exactly its size (AddressSanitizer watches the end).
    for (int length = DCNormalHeaderSize; length <= whole.size(); ++length) {
        const std::unique_ptr<quint8[]> exact(new quint8[size_t(length)]);
        std::memcpy(exact.get(), whole.constData(), size_t(length));
        ASSERT_TRUE(ParseDCNormalPacket(exact.get(), length, read)) << length;
        EXPECT_EQ(read.Command, DC_CMD_MESSAGE);
        EXPECT_EQ(read.Seq, 7);
        EXPECT_TRUE(QByteArray("hello").startsWith(read.Text)) << length;
    }
    EXPECT_EQ(read.Text, "hello");
    // A text holding a NUL ends there.
    packet.Text = QByteArray("ab\0cd", 5);
    const QByteArray nul = BuildDCNormalPacket(packet);
    ASSERT_TRUE(ParseDCNormalPacket(reinterpret_cast<const quint8*>(nul.constData()), int(nul.size()), read));
    EXPECT_EQ(read.Text, "ab");
}

// ---------------------------------------------------------------------------------------------------
// Listening server and utilities

TEST(ListeningServer, FreePortsBindFailureAndAccepting) {
    const quint16 first = PortRangeFirst;
    const quint16 last = PortRangeLast;
    // A port the test holds is passed over for the next one.
    quint16 held = 0;
    int holder = -1;
    for (int attempt = 0; attempt < 50 && held == 0; ++attempt) {
        holder = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        socklen_t length = sizeof address;
        ::bind(holder, reinterpret_cast<sockaddr*>(&address), length);
        ::getsockname(holder, reinterpret_cast<sockaddr*>(&address), &length);
        const quint16 port = ntohs(address.sin_port);
        PortRangeFirst = quint16(port + 1);
        PortRangeLast = quint16(port + 1);
        if (port < 60000 && FindFreePort() == port + 1)
            held = port;
        else
            ::close(holder);
    }
    ASSERT_NE(held, 0);
    PortRangeFirst = held;
    PortRangeLast = quint16(held + 10);
    EXPECT_EQ(FindFreePort(), held + 1);

    // Binding the held port fails with text 22 and the error event.
    TServerSocket server;
    QStringList errors;
    server.OnError = [&](int Code, const QString& Text) {
        errors << QStringLiteral("%1 %2").arg(Code).arg(Text);
    };
    server.Port = held;
    EXPECT_FALSE(server.Start());
    EXPECT_FALSE(server.Active());
    EXPECT_EQ(errors, QStringList{QStringLiteral("10048 Could not bind server")});
    ::close(holder);
    PortRangeFirst = first;
    PortRangeLast = last;

    // Each accepted connection reaches the owner; the server listens on every address.
    std::vector<qintptr> accepted;
    server.OnAccept = [&](qintptr Handle) {
        accepted.push_back(Handle);
    };
    ASSERT_TRUE(server.Start());
    {
        TTestPeer a(held), b(held);
        ASSERT_TRUE(WaitFor([&] { return accepted.size() == 2; }));
    }
    for (const qintptr handle : accepted)
        ::close(int(handle));
    server.Stop();
    TTestPeer refused(held);
    EXPECT_FALSE(refused.Connected());
    EXPECT_EQ(errors.size(), 1);
}

TEST(ListeningServer, DescriptorShortageOnAcceptPausesTheServerWithOneLogLine) {
#if defined(__SANITIZE_ADDRESS__)
    // The sanitizer's own checks of a member call need descriptors, which this test uses up.
    GTEST_SKIP() << "needs every descriptor, which the sanitizer's runtime also uses";
#endif
    QStringList logged;
    SetProgramLogSink([&](const QString& Line) { logged << Line; });
    TServerSocket server;
    server.AcceptPauseMs = 50;
    QStringList errors;
    server.OnError = [&](int, const QString& Text) {
        errors << Text;
    };
    int accepted = 0;
    server.OnAccept = [&](qintptr Handle) {
        ++accepted;
        ::close(int(Handle));
    };
    server.Port = FindFreePort();
    ASSERT_TRUE(server.Start());
    // No descriptor left for the accepted connection: accept fails with EMFILE, again and again.
    TTestPeer peer(server.Port);
    ASSERT_TRUE(peer.Connected());
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &old), 0);
    const int probe = ::dup(0);
    rlimit low = old;
    low.rlim_cur = rlim_t(probe);
    ::close(probe);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
    const bool paused = WaitFor([&] { return server.Paused(); }, 3000);
    Pump(300);
    ::setrlimit(RLIMIT_NOFILE, &old);
    SetProgramLogSink({});
    ASSERT_TRUE(paused);
    EXPECT_TRUE(errors.isEmpty());
    EXPECT_TRUE(server.Active());
    ASSERT_EQ(logged.size(), 1);
    EXPECT_EQ(logged.front(), QStringLiteral("Direct connections on port %1: cannot accept a peer (Too many "
                                             "open files); accepting again in 50 ms")
                                  .arg(server.Port));
    // Descriptors free again: the waiting peer is taken.
    EXPECT_TRUE(WaitFor([&] { return accepted == 1; }, 3000));
}

TEST(ListeningServer, LocalAddressFromTheMachinesOwnName) {
    SKIP_WITHOUT_OWN_NAME();
    const qint64 address = GetLocalIP();
    ASSERT_GE(address, 0);
    EXPECT_EQ(address,
              qint64(QHostInfo::fromName(QHostInfo::localHostName()).addresses().last().toIPv4Address()));
    TDCSettings settings;
    settings.UIN = OwnUIN;
    TDirectControl manager(settings);
    EXPECT_EQ(manager.OwnRecord().InternalIP, quint32(address));
    EXPECT_EQ(manager.OwnRecord().ExternalIP, quint32(address));
    EXPECT_EQ(manager.OwnRecord().Port, manager.Port());
    EXPECT_EQ(manager.Timer().Interval(), 1000);
    EXPECT_TRUE(manager.Timer().Enabled());
    TTHreadTimer fresh;
    EXPECT_EQ(fresh.Interval(), 100);
    EXPECT_FALSE(fresh.Enabled());
}

// ---------------------------------------------------------------------------------------------------
// Peer connections

TEST_F(DirectTest, InitialisationIsAnsweredWithTheAcknowledgementAndOurFrame) {
    auto peer = Peer(555001);
    const QList<QByteArray> frames = peer->Frames();
    ASSERT_EQ(frames.size(), 2);
    EXPECT_EQ(HexOf(frames[0]), "01 00 00 00");
    TDCInit ours;
    ASSERT_TRUE(
        ParseDCInit(reinterpret_cast<const quint8*>(frames[1].constData()), int(frames[1].size()), ours));
    EXPECT_EQ(frames[1].size(), 48);
    EXPECT_EQ(ours.Version, 8);
    EXPECT_EQ(ours.UIN, OwnUIN);
    EXPECT_EQ(ours.RemoteUIN, 555001u);
    EXPECT_EQ(ours.Port, Manager->Port());
    EXPECT_EQ(ours.Cookie, 0xCAFEBABEu);
    const TPeerRecord* record = Manager->AcceptedPeers().back().get();
    EXPECT_EQ(record->UIN, 555001u);
    EXPECT_EQ(record->Version, 8);
    EXPECT_EQ(record->Port, 4000);
    EXPECT_TRUE(record->Connected);
}

TEST_F(DirectTest, MessagesAcknowledgementsAndAwayRequests) {
    auto peer = Peer(555002);
    peer->SendFrame(Message(1, "{\\rtf1 Hello\\par World}"));
    peer->SendFrame([] {
        TDCNormalPacket ack;
        ack.Command = DC_CMD_ACK;
        ack.Seq = 42;
        ack.MessageType = 1;
        return Scrambled(ack);
    }());
    // A failed check drops the packet; so do other commands and message kinds.
    QByteArray broken = Message(3, "dropped");
    broken[10] = char(broken[10] ^ 1);
    peer->SendFrame(broken);
    peer->SendFrame(Message(4, "a URL", 4));
    peer->SendFrame(Message(5, "")); // no text: nothing fires
    peer->SendFrame(Message(6, "status"));
    ASSERT_TRUE(WaitEvents(3));
    Pump(50);
    EXPECT_EQ(Events,
              (QStringList{QStringLiteral("message 555002: Hello\r\nWorld"), QStringLiteral("ack 555002: 42"),
                           QStringLiteral("message 555002: status")}));

    // An away request (type 0xE8 with flags 3) is answered over the same connection.
    const int before = int(peer->Frames().size());
    peer->SendFrame(Message(77, "", 0x03E8));
    ASSERT_TRUE(WaitFor([&] {
        peer->Poll();
        return peer->Frames().size() == before + 1;
    }));
    QByteArray reply = peer->Frames().back();
    ASSERT_TRUE(DCDecrypt(reinterpret_cast<quint8*>(reply.data()), int(reply.size()), DCProtocolVersion));
    TDCNormalPacket answer;
    ASSERT_TRUE(
        ParseDCNormalPacket(reinterpret_cast<const quint8*>(reply.constData()), int(reply.size()), answer));
    EXPECT_EQ(answer.Command, DC_CMD_ACK);
    EXPECT_EQ(answer.Seq, 77);
    EXPECT_EQ(answer.MessageType, 0x03E8);
    EXPECT_EQ(answer.Text, "Out for lunch");
}

TEST_F(DirectTest, FrameLimits) {
    int handle = -1;
    auto peer = Peer(555003, &handle);
    // Length 0 and 1 and an initialisation too short for its fields: taken, nothing read past them.
    peer->Send(Hex("0000"));
    peer->Send(Hex("0100 02"));
    peer->Send(Hex("0300 FF0800"));
    // A message frame of exactly 8192 bytes is taken whole.
    TDCNormalPacket big;
    big.Command = DC_CMD_MESSAGE;
    big.Seq = 9;
    big.MessageType = 1;
    big.Text = QByteArray(DCMaxFrame - 32, 'x');
    const QByteArray full = Scrambled(big);
    ASSERT_EQ(full.size(), DCMaxFrame);
    peer->SendFrame(full);
    ASSERT_TRUE(WaitEvents(1));
    EXPECT_EQ(Events.front(),
              QStringLiteral("message 555003: ") + QString(DCMaxFrame - 32, QLatin1Char('x')));
    EXPECT_NE(Manager->Connection(handle), nullptr);
    peer->Poll();
    EXPECT_EQ(peer->Frames().size(), 2); // nothing answered the short frames

    // 8193 announced: the error and the close.
    peer->Send(Hex("0120") + QByteArray(100, 'y'));
    ASSERT_TRUE(WaitEvents(2));
    EXPECT_EQ(Events[1], QStringLiteral("error %1: Buffer Overrun Error").arg(ERR_PROTOCOL));
    EXPECT_EQ(Manager->Connection(handle), nullptr);
    EXPECT_EQ(Manager->ConnectionCount(), 0);
    EXPECT_TRUE(Manager->AcceptedPeers().empty());
    EXPECT_TRUE(peer->WaitEnded());
}

TEST_F(DirectTest, HandlesStayWithTheirConnectionsWhenAnotherCloses) {
    int first = -1, middle = -1, last = -1;
    auto a = Peer(601, &first);
    auto b = Peer(602, &middle);
    auto c = Peer(603, &last);
    EXPECT_EQ(Manager->OwnRecord().Slots[DCS_NORMAL], last);
    b->Close();
    ASSERT_TRUE(WaitFor([&] { return Manager->ConnectionCount() == 2; }));
    EXPECT_EQ(Manager->Connection(middle), nullptr);
    ASSERT_NE(Manager->Connection(first), nullptr);
    ASSERT_NE(Manager->Connection(last), nullptr);
    EXPECT_EQ(Manager->Connection(first)->Peer()->UIN, 601u);
    EXPECT_EQ(Manager->Connection(last)->Peer()->UIN, 603u);
    a->SendFrame(Message(1, "from a"));
    c->SendFrame(Message(1, "from c"));
    ASSERT_TRUE(WaitEvents(2));
    EXPECT_TRUE(Events.contains(QStringLiteral("message 601: from a")));
    EXPECT_TRUE(Events.contains(QStringLiteral("message 603: from c")));
    // Each still gets its own answers.
    const int beforeA = int(a->Frames().size());
    const int beforeC = int(c->Frames().size());
    a->SendFrame(Message(2, "", 0x03E8));
    ASSERT_TRUE(WaitFor([&] {
        a->Poll();
        return a->Frames().size() == beforeA + 1;
    }));
    Pump(30);
    c->Poll();
    EXPECT_EQ(c->Frames().size(), beforeC);
}

TEST_F(DirectTest, SendingOnAConnectionNoLongerConnectedClosesIt) {
    int handle = -1;
    auto peer = Peer(650, &handle);
    TicqDCnormal* connection = Manager->Connection(handle);
    ASSERT_NE(connection, nullptr);
    const qint64 activity = connection->Peer()->LastActivity;
    Now += 10;
    connection->SendPacket(DCInitAck());
    EXPECT_EQ(connection->Peer()->LastActivity, activity + 10);
    // The socket went away behind the connection's back: the next send closes the connection.
    connection->Socket()->Socket().Disconnect();
    connection->SendPacket(DCInitAck());
    EXPECT_EQ(Manager->Connection(handle), nullptr);
    EXPECT_EQ(Manager->ConnectionCount(), 0);
    EXPECT_EQ(Manager->OwnRecord().Slots[DCS_NORMAL], -1);
    EXPECT_TRUE(peer->WaitEnded());
}

TEST_F(DirectTest, IdleConnectionsCloseAfter324000ms) {
    std::vector<std::unique_ptr<TTestPeer>> peers;
    for (quint32 uin = 701; uin <= 703; ++uin)
        peers.push_back(Peer(uin));
    ASSERT_EQ(Manager->ConnectionCount(), 3);
    // The last activity was the initialisation at 1000.
    Now = 1000 + 323999;
    Manager->Housekeeping();
    EXPECT_EQ(Manager->ConnectionCount(), 3);
    // A frame from the second keeps it alive.
    peers[1]->Send(Hex("0000"));
    Now = 1000 + 324000;
    ASSERT_TRUE(WaitFor([&] { return Manager->AcceptedPeers()[1]->LastActivity == Now; }));
    Manager->Housekeeping();
    EXPECT_EQ(Manager->ConnectionCount(), 3);
    Now = 1000 + 324001;
    Manager->Housekeeping();
    EXPECT_EQ(Manager->ConnectionCount(), 1);
    EXPECT_TRUE(peers[0]->WaitEnded());
    EXPECT_TRUE(peers[2]->WaitEnded());
    EXPECT_EQ(Manager->Connection(Manager->ConnectionHandles().front())->Peer()->UIN, 702u);
    Now = 1000 + 324000 + 324001;
    Manager->Housekeeping();
    EXPECT_EQ(Manager->ConnectionCount(), 0);
    EXPECT_TRUE(peers[1]->WaitEnded());
    // The clock may start anywhere (even below the limit or negative): only the difference counts.
    Now = -5;
    auto late = Peer(704);
    Now = 323994;
    Manager->Housekeeping();
    EXPECT_EQ(Manager->ConnectionCount(), 1);
    Now = 323997;
    Manager->Housekeeping();
    EXPECT_EQ(Manager->ConnectionCount(), 0);
}

TEST_F(DirectTest, ConnectionsBeyondTheCapDropTheQuietestOne) {
    std::vector<std::unique_ptr<TTestPeer>> peers;
    for (int i = 0; i < DCMaxConnections; ++i) {
        Now = 1000 + i;
        peers.push_back(Peer(quint32(900 + i)));
    }
    ASSERT_EQ(Manager->ConnectionCount(), DCMaxConnections);
    // The first peer speaks again, so the second is now the quietest.
    peers[0]->Send(Hex("0000"));
    Now = 5000;
    ASSERT_TRUE(WaitFor([&] { return Manager->AcceptedPeers()[0]->LastActivity == Now; }));
    TTestPeer extra(Manager->Port());
    ASSERT_TRUE(extra.Connected());
    ASSERT_TRUE(peers[1]->WaitEnded());
    EXPECT_EQ(Manager->ConnectionCount(), DCMaxConnections);
    EXPECT_FALSE(peers[0]->WaitEnded(100));
}

TEST_F(DirectTest, StalledInitialisationAndHalfSentFrameCloseAfter30s) {
    TTestPeer silent(Manager->Port());
    ASSERT_TRUE(WaitFor([&] { return Manager->ConnectionCount() == 1; }));
    auto halfway = Peer(1101);
    auto quiet = Peer(1102);
    halfway->Send(Hex("1000 02 00"));
    Pump(50);
    Now = 1000 + DCStallLimitMs;
    Manager->Housekeeping();
    EXPECT_EQ(Manager->ConnectionCount(), 3);
    Now = 1000 + DCStallLimitMs + 1;
    Manager->Housekeeping();
    EXPECT_EQ(Manager->ConnectionCount(), 1);
    EXPECT_TRUE(silent.WaitEnded());
    EXPECT_TRUE(halfway->WaitEnded());
    EXPECT_EQ(Manager->Connection(Manager->ConnectionHandles().front())->Peer()->UIN, 1102u);
}

TEST_F(DirectTest, PresenceAddsAndUpdatesPeersAndShutDownClosesEverything) {
    Manager->AddOrUpdatePeer(801, 0xC0000201, 0x0A000002, 5000, 8);
    Manager->AddOrUpdatePeer(802, 0xC0000202, 0x0A000003, 5001, 9);
    Manager->AddOrUpdatePeer(801, 0xC0000209, 0x0A000009, 5009, 10);
    ASSERT_EQ(Manager->Peers().size(), 2u);
    const TPeerRecord* peer = Manager->FindPeer(801);
    ASSERT_NE(peer, nullptr);
    EXPECT_EQ(peer->ExternalIP, 0xC0000209u);
    EXPECT_EQ(peer->InternalIP, 0x0A000009u);
    EXPECT_EQ(peer->Port, 5009);
    EXPECT_EQ(peer->Version, 10);
    for (const int slot : peer->Slots)
        EXPECT_EQ(slot, -1);

    auto a = Peer(901);
    auto b = Peer(902);
    const quint16 port = Manager->Port();
    Manager.reset();
    EXPECT_TRUE(a->WaitEnded());
    EXPECT_TRUE(b->WaitEnded());
    TTestPeer refused(port);
    EXPECT_FALSE(refused.Connected());
    EXPECT_TRUE(Events.isEmpty()) << Events.join(QLatin1Char('\n')).toStdString();
}

// ---------------------------------------------------------------------------------------------------
// Through the client

namespace {

class DirectClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!OwnNameInHosts())
            GTEST_SKIP() << "/etc/hosts does not name this machine: resolving its name could leave it";
        TCheckingServer::TOptions options;
        Server = std::make_unique<TCheckingServer>(options);
        Client = std::make_unique<TICQClient>();
        Client->ICQServer = QStringLiteral("127.0.0.1");
        Client->ICQPort = Server->LoginPort();
        Client->UIN = options.UIN;
        Client->Password = QString::fromLatin1(options.Password);
        Client->OnError = [this](TErrorType Type, const QString& Text) {
            Events << QStringLiteral("error %1: %2").arg(Type).arg(Text);
        };
    }

    bool SignOn() {
        const int before = Server->SignOns();
        Client->Login(ICQInitialStatus);
        return WaitFor([&] { return Client->LoggedIn() && Server->SignOns() == before + 1; });
    }

    std::unique_ptr<TCheckingServer> Server;
    std::unique_ptr<TICQClient> Client;
    QStringList Events;
};

QByteArray UserOnline(const QByteArray& UIN, quint8 ConnectionType) {
    QByteArray record = BE32(0x0A000005) + BE32(6000) + QByteArray(1, char(ConnectionType)) + BE16(8) +
                        BE32(0x11223344) + BE32(0) + BE32(3) + BE32(0) + BE32(0) + BE32(0) + BE16(0);
    return ByteString(UIN) + BE16(0) + TLV(6, BE32(0)) + TLV(0x0A, BE32(0xC6120A07)) + TLV(0x0C, record) +
           TLV(3, BE32(0));
}

} // namespace

TEST_F(DirectClientTest, EveryLoginMakesAManagerAndReplacesTheLastOne) {
    Client->DisableDirectConnections = true;
    ASSERT_TRUE(SignOn());
    EXPECT_EQ(Client->DirectControl(), nullptr);

    Client->DisableDirectConnections = false;
    ASSERT_TRUE(SignOn());
    TDirectControl* first = Client->DirectControl();
    ASSERT_NE(first, nullptr);
    ASSERT_TRUE(first->Listening());
    EXPECT_EQ(first->UIN(), Client->UIN);
    EXPECT_EQ(first->ConnectionCookie, Client->ConnectionCookie());
    const quint16 oldPort = first->Port();
    auto peer = std::make_unique<TTestPeer>(oldPort);
    ASSERT_TRUE(peer->Connected());
    ASSERT_TRUE(WaitFor([&] { return first->ConnectionCount() == 1; }));

    ASSERT_TRUE(SignOn());
    TDirectControl* second = Client->DirectControl();
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, first);
    EXPECT_TRUE(second->Listening());
    EXPECT_TRUE(peer->WaitEnded());
    // The old listener is gone, unless the new one found the same port free again.
    if (second->Port() != oldPort) {
        TTestPeer refused(oldPort);
        EXPECT_FALSE(refused.Connected());
    }
    TTestPeer fresh(second->Port());
    EXPECT_TRUE(fresh.Connected());
    EXPECT_TRUE(Events.isEmpty()) << Events.join(QLatin1Char('\n')).toStdString();
}

TEST_F(DirectClientTest, ForgedInitialisationsCommandNeverReachesTheCommandHandler) {
    // Anyone reaching the port may claim any UIN in its initialisation frame.
    Client->OnMessageRecv = [this](const QString& Msg, const QString& UIN) {
        Events << QStringLiteral("message %1: %2").arg(UIN, Msg);
        Client->SendMessage(quint32(UIN.toULongLong()), QStringLiteral("Not Up hosts:"));
    };
    Client->OnDirectMessageRecv = [this](const QString& Msg, const QString& UIN) {
        Events << QStringLiteral("direct %1: %2").arg(UIN, Msg);
    };
    ASSERT_TRUE(SignOn());
    TDirectControl* manager = Client->DirectControl();
    ASSERT_NE(manager, nullptr);
    TTestPeer peer(manager->Port());
    ASSERT_TRUE(peer.Initialise(424242));
    peer.SendFrame(Message(1, "status"));
    ASSERT_TRUE(WaitFor([&] { return !Events.isEmpty(); }));
    Pump(100);
    EXPECT_EQ(Events, QStringList{QStringLiteral("direct 424242: status")});
    EXPECT_TRUE(Server->Messages().empty());
    EXPECT_TRUE(Server->Faults().isEmpty()) << Server->FaultText().toStdString();
}

TEST_F(DirectClientTest, PresenceWithConnectionTypes4And1) {
    ASSERT_TRUE(SignOn());
    TDirectControl* manager = Client->DirectControl();
    ASSERT_NE(manager, nullptr);
    Server->SendSnac(3, 0x0B, UserOnline("31337", 4));
    ASSERT_TRUE(WaitFor([&] { return manager->FindPeer(31337) != nullptr; }));
    const TPeerRecord* peer = manager->FindPeer(31337);
    EXPECT_EQ(peer->ExternalIP, 0xC6120A07u);
    EXPECT_EQ(peer->InternalIP, 0x0A000005u);
    EXPECT_EQ(peer->Port, 6000);
    EXPECT_EQ(peer->Version, 8);
    EXPECT_TRUE(Events.isEmpty());

    Server->SendSnac(3, 0x0B, UserOnline("31338", 1));
    ASSERT_TRUE(WaitFor([&] { return !Events.isEmpty(); }));
    EXPECT_EQ(Events,
              QStringList{QStringLiteral("error %1: Cannot establish direct connection because remote "
                                         "client uses unknown proxy type")
                              .arg(ERR_WARNING)});
    EXPECT_EQ(manager->FindPeer(31338), nullptr);
    EXPECT_EQ(manager->Peers().size(), 1u);

    // Without a manager the same notice warns of nothing.
    Client->DisableDirectConnections = true;
    ASSERT_TRUE(SignOn());
    Events.clear();
    Server->SendSnac(3, 0x0B, UserOnline("31339", 1));
    Pump(100);
    EXPECT_TRUE(Events.isEmpty());
}

TEST_F(DirectClientTest, ExitWithPeersConnectedClosesTheListenerAndEveryPeer) {
    ASSERT_TRUE(SignOn());
    TDirectControl* manager = Client->DirectControl();
    ASSERT_NE(manager, nullptr);
    const quint16 port = manager->Port();
    TTestPeer a(port), b(port);
    ASSERT_TRUE(a.Initialise(1001));
    ASSERT_TRUE(b.Initialise(1002));
    Client.reset();
    EXPECT_TRUE(a.WaitEnded());
    EXPECT_TRUE(b.WaitEnded());
    TTestPeer refused(port);
    EXPECT_FALSE(refused.Connected());
}
