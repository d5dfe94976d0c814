// UDP and ICMP sockets on loopback: datagram send and receive with the sender as remote address, the
// family rules of connect, time-outs, and echo over raw ICMP sockets (when the rights allow them).
#include "net/blcksock.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <unistd.h>

namespace {

// A plain UDP socket bound to a loopback address, port chosen by the system.
struct PlainUdp {
    explicit PlainUdp(bool v6) : V6(v6) {
        Fd = ::socket(v6 ? AF_INET6 : AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        TVarSin sin{};
        if (v6) {
            sin.sin6.sin6_family = AF_INET6;
            sin.sin6.sin6_addr = in6addr_loopback;
        } else {
            sin.sin.sin_family = AF_INET;
            sin.sin.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        }
        ::bind(Fd, &sin.sa, SizeOfVarSin(sin));
        socklen_t len = sizeof(sin);
        ::getsockname(Fd, &sin.sa, &len);
        Port = GetSinPort(sin);
    }
    ~PlainUdp() { ::close(Fd); }
    // Receives one datagram and answers it with Reply.
    std::string EchoOnce(const std::string& Reply) {
        char buf[2048];
        TVarSin from{};
        socklen_t len = sizeof(from);
        const ssize_t n = ::recvfrom(Fd, buf, sizeof(buf), 0, &from.sa, &len);
        if (n < 0)
            return "<error>";
        ::sendto(Fd, Reply.data(), Reply.size(), 0, &from.sa, len);
        return std::string(buf, static_cast<std::size_t>(n));
    }
    bool V6;
    int Fd = -1;
    int Port = 0;
};

uint16_t InternetChecksum(const std::string& Data) {
    uint32_t sum = 0;
    for (std::size_t i = 0; i + 1 < Data.size(); i += 2)
        sum += static_cast<uint32_t>(static_cast<uint8_t>(Data[i]) << 8 | static_cast<uint8_t>(Data[i + 1]));
    if (Data.size() % 2 != 0)
        sum += static_cast<uint32_t>(static_cast<uint8_t>(Data.back()) << 8);
    sum = (sum >> 16) + (sum & 0xffff);
    sum += sum >> 16;
    return static_cast<uint16_t>(~sum);
}

std::string EchoRequest(uint8_t Type, uint16_t Id, uint16_t Seq) {
    std::string packet(8, '\0');
    packet[0] = static_cast<char>(Type);
    packet[4] = static_cast<char>(Id >> 8);
    packet[5] = static_cast<char>(Id & 0xff);
    packet[6] = static_cast<char>(Seq >> 8);
    packet[7] = static_cast<char>(Seq & 0xff);
    packet += std::string(32, '7');
    const uint16_t sum = InternetChecksum(packet);
    packet[2] = static_cast<char>(sum >> 8);
    packet[3] = static_cast<char>(sum & 0xff);
    return packet;
}

} // namespace

TEST(UdpSocket, SendAndReceiveOnLoopback) {
    for (const bool v6 : {false, true}) {
        PlainUdp peer(v6);
        TUDPBlockSocket sock;
        sock.Bind("0.0.0.0", "0");
        EXPECT_EQ(sock.Socket(), -1); // nothing to bind yet: the system chooses at connect
        const std::string host = v6 ? "::1" : "127.0.0.1";
        sock.Connect(host, std::to_string(peer.Port));
        ASSERT_EQ(sock.LastError(), 0);
        EXPECT_EQ(sock.IP6(), v6);
        EXPECT_EQ(sock.GetRemoteSinIP(), host);
        sock.SendString("query");
        ASSERT_EQ(sock.LastError(), 0);
        EXPECT_EQ(peer.EchoOnce("answer"), "query");
        EXPECT_EQ(sock.RecvPacket(2000), "answer");
        EXPECT_EQ(sock.LastError(), 0);
        EXPECT_EQ(sock.GetRemoteSinIP(), host);
        EXPECT_EQ(sock.GetRemoteSinPort(), peer.Port);
    }
}

TEST(UdpSocket, AnswerFromAnotherSenderBecomesTheRemoteAddress) {
    PlainUdp first(false);
    PlainUdp other(false);
    TUDPBlockSocket sock;
    sock.Connect("127.0.0.1", std::to_string(first.Port));
    sock.SendString("q");
    ASSERT_EQ(sock.LastError(), 0);
    char buf[16];
    TVarSin from{};
    socklen_t len = sizeof(from);
    ASSERT_EQ(::recvfrom(first.Fd, buf, sizeof(buf), 0, &from.sa, &len), 1);
    ::sendto(other.Fd, "", 0, 0, &from.sa, len); // an empty datagram is a datagram, not a close
    EXPECT_EQ(sock.RecvPacket(2000), "");
    EXPECT_EQ(sock.LastError(), 0);
    EXPECT_EQ(sock.GetRemoteSinPort(), other.Port);
}

TEST(UdpSocket, SilenceIsATimeOut) {
    PlainUdp peer(false);
    TUDPBlockSocket sock;
    sock.Connect("127.0.0.1", std::to_string(peer.Port));
    sock.SendString("q");
    EXPECT_EQ(sock.RecvPacket(150), "");
    EXPECT_EQ(sock.LastError(), 10060);
}

TEST(UdpSocket, FamilyFollowsTheAddressText) {
    TUDPBlockSocket v4;
    v4.Connect("127.0.0.1", "9");
    EXPECT_FALSE(v4.IP6());
    TUDPBlockSocket v6;
    v6.Connect("::1", "9");
    EXPECT_TRUE(v6.IP6());
    TUDPBlockSocket forced;
    forced.Family = SF_IP4;
    forced.Connect("localhost", "9");
    EXPECT_EQ(forced.LastError(), 0);
    EXPECT_FALSE(forced.IP6());
    EXPECT_EQ(forced.GetRemoteSinIP(), "127.0.0.1");
    // A socket that exists keeps its family: an IPv6 text cannot be reached over IPv4.
    v4.SetRemoteSin("::2", "9");
    EXPECT_NE(v4.LastError(), 0);
}

TEST(UdpSocket, BroadcastAndMulticastOptions) {
    TUDPBlockSocket sock;
    sock.EnableBroadcast(true);
    sock.SetMulticastTTL(3);
    sock.Connect("127.0.0.1", "9");
    ASSERT_EQ(sock.LastError(), 0);
    int value = 0;
    socklen_t len = sizeof(value);
    ::getsockopt(sock.Socket(), SOL_SOCKET, SO_BROADCAST, &value, &len);
    EXPECT_EQ(value, 1);
    ::getsockopt(sock.Socket(), IPPROTO_IP, IP_MULTICAST_TTL, &value, &len);
    EXPECT_EQ(value, 3);
}

TEST(IcmpSocket, RawEchoOnLoopback) {
    for (const bool v6 : {false, true}) {
        TICMPBlockSocket sock;
        sock.IcmpKind = IK_Raw;
        sock.SetTTL(64);
        sock.Connect(v6 ? "::1" : "127.0.0.1", "0");
        if (sock.LastError() == 10013)
            GTEST_SKIP() << "raw sockets need CAP_NET_RAW";
        ASSERT_EQ(sock.LastError(), 0);
        EXPECT_EQ(sock.SocketKind(), IK_Raw);
        EXPECT_EQ(sock.GetSocketType(), SOCK_RAW);
        EXPECT_EQ(sock.GetSocketProtocol(), v6 ? 58 : 1);
        EXPECT_EQ(sock.TTL(), 64);
        EXPECT_EQ(sock.DatagramEchoId(), -1);
        const uint8_t echo = v6 ? 128 : 8;
        const uint8_t reply = v6 ? 129 : 0;
        const uint16_t id = static_cast<uint16_t>(0x3000 + ::getpid() % 0x1000);
        sock.SendString(EchoRequest(echo, id, 1));
        ASSERT_EQ(sock.LastError(), 0);
        bool answered = false;
        for (int i = 0; i < 20 && !answered; ++i) {
            const std::string packet = sock.RecvPacket(2000);
            ASSERT_EQ(sock.LastError(), 0);
            const std::size_t at = sock.IcmpHeaderOffset(packet);
            EXPECT_EQ(at, v6 ? 0u : 20u);
            ASSERT_GE(packet.size(), at + 8);
            const uint16_t gotId = static_cast<uint16_t>(static_cast<uint8_t>(packet[at + 4]) << 8 |
                                                         static_cast<uint8_t>(packet[at + 5]));
            answered = static_cast<uint8_t>(packet[at]) == reply && gotId == id;
        }
        EXPECT_TRUE(answered);
        EXPECT_EQ(sock.GetRemoteSinIP(), v6 ? "::1" : "127.0.0.1");
    }
}

TEST(IcmpSocket, DatagramKindRefusedFallsBackToRawInAuto) {
    TICMPBlockSocket sock;
    sock.Connect("127.0.0.1", "0");
    if (sock.LastError() == 10013)
        GTEST_SKIP() << "neither datagram ICMP nor raw sockets are allowed";
    ASSERT_EQ(sock.LastError(), 0);
    EXPECT_NE(sock.SocketKind(), IK_Auto);
    TICMPBlockSocket onlyDatagram;
    onlyDatagram.IcmpKind = IK_Datagram;
    onlyDatagram.Connect("127.0.0.1", "0");
    if (onlyDatagram.LastError() == 0)
        EXPECT_EQ(onlyDatagram.SocketKind(), IK_Datagram);
    else
        EXPECT_EQ(onlyDatagram.LastError(), 10013);
}

TEST(IcmpSocket, EchoAnswersOnlyRawSocketNeverHandsOutTheOwnRequest) {
    // On loopback a raw socket sees our request before its reply; filtered, the reply comes first.
    for (const bool v6 : {false, true}) {
        TICMPBlockSocket sock;
        sock.IcmpKind = IK_Raw;
        sock.EchoAnswersOnly = true;
        ASSERT_TRUE(sock.OpenFor(v6 ? AF_INET6 : AF_INET) || sock.LastError() == 10013);
        if (sock.LastError() == 10013)
            GTEST_SKIP() << "raw sockets need CAP_NET_RAW";
        sock.Connect(v6 ? "::1" : "127.0.0.1", "0");
        ASSERT_EQ(sock.LastError(), 0);
        const uint16_t id = static_cast<uint16_t>(0x2000 + ::getpid() % 0x1000);
        sock.SendString(EchoRequest(v6 ? 128 : 8, id, 7));
        ASSERT_EQ(sock.LastError(), 0);
        for (int i = 0; i < 20; ++i) {
            const std::string packet = sock.RecvPacket(2000);
            ASSERT_EQ(sock.LastError(), 0);
            const std::size_t at = sock.IcmpHeaderOffset(packet);
            ASSERT_GE(packet.size(), at + 8);
            EXPECT_NE(static_cast<uint8_t>(packet[at]), v6 ? 128 : 8) << "a request was handed out";
            const uint16_t gotId = static_cast<uint16_t>(static_cast<uint8_t>(packet[at + 4]) << 8 |
                                                         static_cast<uint8_t>(packet[at + 5]));
            if (gotId == id)
                break;
        }
    }
}

TEST(IcmpSocket, RaisedCancelSignalEndsAWaitFromAnotherThread) {
    TICMPBlockSocket sock;
    if (!sock.OpenFor(AF_INET))
        GTEST_SKIP() << "neither datagram ICMP nor raw sockets are allowed";
    TNetCancel cancel;
    sock.CancelSignal = &cancel;
    sock.Connect("127.0.0.1", "0");
    ASSERT_EQ(sock.LastError(), 0);
    std::thread raiser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        cancel.Raise();
    });
    const auto start = std::chrono::steady_clock::now();
    // As root the socket is raw and also sees the echo traffic of tests running beside this one:
    // those packets are passed over until the wait ends.
    std::string got;
    for (int i = 0; i < 10000; ++i) {
        got = sock.RecvPacket(20000);
        if (got.empty() || std::chrono::steady_clock::now() - start > std::chrono::seconds(10))
            break;
    }
    EXPECT_EQ(got, "");
    raiser.join();
    EXPECT_EQ(sock.LastError(), 10053);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    // Raised, it refuses every later wait at once.
    EXPECT_EQ(sock.RecvPacket(20000), "");
    EXPECT_EQ(sock.LastError(), 10053);
}
