// TCP sockets on loopback against scripted peers: connect failures and their bounds, the receive buffer
// rules (packets, lines, counted reads), length-prefixed I/O, listen/accept, options and the TLS slot.
#include "net/blcksock.h"

#include <cctype>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

#include "tests/net/blcksock_helpers.h"
#include "tests/support/TestSupport.h"

using zt::socktest::RecvExact;
using zt::socktest::RecvUntil;
using zt::socktest::ScriptedPeer;
using zt::socktest::SendAll;

namespace {

using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// Connects sock to the peer and checks the connect worked.
void ConnectTo(TTCPBlockSocket& sock, const ScriptedPeer& peer, const std::string& host = "127.0.0.1") {
    sock.Connect(host, peer.PortText());
    ASSERT_EQ(sock.LastError(), 0) << sock.LastErrorDesc();
}

// Waits until the system holds Count bytes for the socket (so the next part arrives as its own packet).
void WaitForBytes(TBlockSocket& sock, int Count) {
    for (int i = 0; i < 200 && sock.WaitingDataEx() < Count; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

} // namespace

TEST(TcpConnect, ClosedPortIsRefused) {
    TTCPBlockSocket sock;
    sock.Connect("127.0.0.1", std::to_string(zt::test::FreeTcpPort()));
    EXPECT_EQ(sock.LastError(), 10061);
}

TEST(TcpConnect, TimeOutIsBoundedByConnectionTimeoutOrOwner) {
    zt::socktest::FullBacklogListener full;
    if (!full.Full())
        GTEST_SKIP() << "could not fill the listen queue";
    {
        TTCPBlockSocket sock;
        sock.ConnectionTimeout = 400;
        const auto start = Clock::now();
        sock.Connect("127.0.0.1", std::to_string(full.Port()));
        EXPECT_EQ(sock.LastError(), 10060);
        EXPECT_LT(MsSince(start), 5000);
    }
    {
        TNetClient owner;
        owner.Timeout = 300;
        TTCPBlockSocket sock;
        sock.Owner = &owner;
        sock.Connect("127.0.0.1", std::to_string(full.Port()));
        EXPECT_EQ(sock.LastError(), 10060);
    }
}

TEST(TcpConnect, BindToAnyBeforeConnectCreatesNoSocket) {
    TTCPBlockSocket sock;
    sock.Bind("0.0.0.0", "0");
    EXPECT_EQ(sock.LastError(), 0);
    EXPECT_EQ(sock.Socket(), -1);
    sock.Bind("127.0.0.1", "0");
    EXPECT_EQ(sock.LastError(), 0);
    EXPECT_NE(sock.Socket(), -1);
    EXPECT_EQ(sock.GetLocalSinIP(), "127.0.0.1");
    EXPECT_GT(sock.GetLocalSinPort(), 0);
}

TEST(TcpConnect, AddressesFamilyAndRestoreOnClose) {
    ScriptedPeer peer([](int fd) { RecvExact(fd, 1, 2000); });
    TTCPBlockSocket sock;
    ConnectTo(sock, peer);
    EXPECT_EQ(sock.GetRemoteSinIP(), "127.0.0.1");
    EXPECT_EQ(sock.GetRemoteSinPort(), peer.Port());
    EXPECT_EQ(sock.GetLocalSinIP(), "127.0.0.1");
    EXPECT_EQ(sock.Family, SF_IP4);
    EXPECT_FALSE(sock.IP6());
    sock.CloseSocket();
    EXPECT_EQ(sock.Family, SF_Any);
    EXPECT_EQ(sock.Socket(), -1);
}

TEST(TcpConnect, IPv6Loopback) {
    ScriptedPeer peer([](int fd) { SendAll(fd, "six\r\n"); }, "::1");
    TTCPBlockSocket sock;
    ConnectTo(sock, peer, "::1");
    EXPECT_TRUE(sock.IP6());
    EXPECT_EQ(sock.GetRemoteSinIP(), "::1");
    EXPECT_EQ(sock.RecvString(2000), "six");
}

TEST(TcpConnect, DelayedOptionsApplyAtCreationInOrder) {
    ScriptedPeer peer([](int fd) { RecvExact(fd, 1, 2000); });
    TTCPBlockSocket sock;
    sock.SetTTL(17);
    sock.SetSizeRecvBuffer(32768);
    EXPECT_EQ(sock.TTL(), 17);
    int created = 0;
    sock.OnCreateSocket = [&](TBlockSocket& s) {
        created = s.TTL();
    };
    ConnectTo(sock, peer);
    EXPECT_EQ(created, 17);
    EXPECT_EQ(sock.TTL(), 17);
    EXPECT_GE(sock.SizeRecvBuffer(), 32768);
    sock.SetTTL(9); // applied at once now
    EXPECT_EQ(sock.TTL(), 9);
}

TEST(TcpReceive, PeerCloseGivesConnectionReset) {
    ScriptedPeer peer([](int fd) { SendAll(fd, "bye"); });
    TTCPBlockSocket sock;
    ConnectTo(sock, peer);
    EXPECT_EQ(sock.RecvPacket(2000), "bye");
    peer.Join();
    EXPECT_EQ(sock.RecvPacket(2000), "");
    EXPECT_EQ(sock.LastError(), 10054);
}

TEST(TcpReceive, SilentPeerGivesTimeOut) {
    ScriptedPeer peer([](int fd) { RecvExact(fd, 1, 3000); });
    TTCPBlockSocket sock;
    ConnectTo(sock, peer);
    EXPECT_EQ(sock.RecvPacket(200), "");
    EXPECT_EQ(sock.LastError(), 10060);
    EXPECT_EQ(sock.RecvString(200), "");
    EXPECT_EQ(sock.LastError(), 10060);
    sock.SendString("x");
}

TEST(TcpReceive, LoneCRThenLFPacketWithConvertLineEnd) {
    ScriptedPeer peer([](int fd) {
        SendAll(fd, "first\r");
        RecvExact(fd, 2); // the client has taken the first line
        SendAll(fd, "\nsecond\nthird\n\rfourth\r\n");
        RecvExact(fd, 1);
    });
    TTCPBlockSocket sock;
    sock.ConvertLineEnd = true;
    ConnectTo(sock, peer);
    EXPECT_EQ(sock.RecvString(2000), "first");
    sock.SendString("ok");
    EXPECT_EQ(sock.RecvString(2000), "second");
    EXPECT_EQ(sock.RecvString(2000), "third"); // LF CR is one line end
    EXPECT_EQ(sock.RecvString(2000), "fourth");
    sock.SendString("x");
}

TEST(TcpReceive, TerminatorSplitAcrossPackets) {
    ScriptedPeer peer([](int fd) {
        SendAll(fd, "alpha\r");
        RecvExact(fd, 1);
        SendAll(fd, "\nbeta\r\n");
        RecvExact(fd, 1);
    });
    TTCPBlockSocket sock;
    ConnectTo(sock, peer);
    // Without ConvertLineEnd the line ends only at CR LF, even when the two arrive apart.
    WaitForBytes(sock, 6);
    sock.SendString("g");
    EXPECT_EQ(sock.RecvString(2000), "alpha");
    EXPECT_EQ(sock.RecvString(2000), "beta");
    sock.SendString("x");
}

TEST(TcpReceive, RemainderAfterTerminatorStaysBuffered) {
    ScriptedPeer peer([](int fd) {
        SendAll(fd, "oneENDtwoENDthree");
        RecvExact(fd, 1);
    });
    TTCPBlockSocket sock;
    ConnectTo(sock, peer);
    WaitForBytes(sock, 17);
    EXPECT_EQ(sock.RecvTerminated(2000, "END"), "one");
    EXPECT_EQ(sock.WaitingDataEx(), 11);
    EXPECT_EQ(sock.RecvTerminated(2000, "END"), "two");
    EXPECT_EQ(sock.RecvPacket(2000), "three");
    sock.SendString("x");
}

TEST(TcpReceive, ManyLinesInOddPieces) {
    // Lines cut at every possible place, with mixed line ends for the converting reader.
    std::string plain, mixed;
    const char* ends[] = {"\r\n", "\n", "\r\n", "\r"};
    for (int i = 0; i < 20000; ++i) {
        plain += "line " + std::to_string(i) + "\r\n";
        mixed += "line " + std::to_string(i) + ends[i % 4];
    }
    for (const bool convert : {false, true}) {
        const std::string& payload = convert ? mixed : plain;
        ScriptedPeer peer([&](int fd) {
            std::size_t at = 0;
            for (std::size_t piece = 1; at < payload.size(); piece = piece % 1500 + 7) {
                SendAll(fd, payload.substr(at, piece));
                at += piece;
            }
            RecvExact(fd, 1);
        });
        TTCPBlockSocket sock;
        sock.ConvertLineEnd = convert;
        ConnectTo(sock, peer);
        int good = 0;
        for (int i = 0; i < 20000; ++i)
            good += sock.RecvString(3000) == "line " + std::to_string(i);
        EXPECT_EQ(good, 20000) << convert;
        EXPECT_EQ(sock.WaitingDataEx(), 0);
        sock.SendString("x");
    }
}

TEST(TcpReceive, MaxLineLength) {
    ScriptedPeer peer([](int fd) {
        SendAll(fd, "0123456789\r"); // ten bytes and a cut line end: within the limit
        RecvExact(fd, 1);
        SendAll(fd, "\n0123456789A");
        RecvExact(fd, 1);
    });
    TTCPBlockSocket sock;
    sock.MaxLineLength = 10;
    ConnectTo(sock, peer);
    WaitForBytes(sock, 11);
    sock.SendString("a");
    EXPECT_EQ(sock.RecvString(2000), "0123456789");
    EXPECT_EQ(sock.LastError(), 0);
    EXPECT_EQ(sock.RecvString(2000), "");
    EXPECT_EQ(sock.LastError(), 10055);
    sock.SendString("x");
}

TEST(TcpReceive, RecvBufferStrCountsAndKeepsSurplus) {
    ScriptedPeer peer([](int fd) {
        SendAll(fd, "hello");
        RecvExact(fd, 1);
        SendAll(fd, "worldXYZ");
        RecvExact(fd, 1);
        SendAll(fd, "ab");
        RecvExact(fd, 1);
    });
    TTCPBlockSocket sock;
    ConnectTo(sock, peer);
    EXPECT_EQ(sock.RecvBufferStr(3, 2000), "hel");
    sock.SendString("1");
    EXPECT_EQ(sock.RecvBufferStr(7, 2000), "loworld");
    EXPECT_EQ(sock.RecvBufferStr(0, 2000), "");
    EXPECT_EQ(sock.RecvBufferStr(3, 2000), "XYZ");
    sock.SendString("2");
    // Too little arrives: empty with a time-out, and what came is still there afterwards.
    EXPECT_EQ(sock.RecvBufferStr(5, 300), "");
    EXPECT_EQ(sock.LastError(), 10060);
    EXPECT_EQ(sock.RecvPacket(300), "ab");
    sock.SendString("3");
}

TEST(TcpReceive, InterPacketTimeoutSharesOrRenewsTheWait) {
    auto trickle = [](int fd) {
        for (int i = 0; i < 8; ++i) {
            if (!SendAll(fd, "z"))
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(120));
        }
        RecvExact(fd, 1, 3000);
    };
    {
        ScriptedPeer peer(trickle);
        TTCPBlockSocket sock;
        ConnectTo(sock, peer);
        EXPECT_EQ(sock.RecvBufferStr(8, 600), "zzzzzzzz");
        EXPECT_EQ(sock.LastError(), 0);
        sock.SendString("x");
    }
    {
        ScriptedPeer peer(trickle);
        TTCPBlockSocket sock;
        sock.InterPacketTimeout = false;
        ConnectTo(sock, peer);
        EXPECT_EQ(sock.RecvBufferStr(8, 300), "");
        EXPECT_EQ(sock.LastError(), 10060);
        sock.SendString("x");
    }
}

TEST(TcpIO, LengthPrefixedAndIntegerWireFormat) {
    std::string seen;
    ScriptedPeer peer([&](int fd) {
        seen = RecvExact(fd, 4 + 4 + 3 + 1);
        SendAll(fd, std::string("\x05\x00\x00\x00hello", 9));
        SendAll(fd, std::string("\x00\x00\x00\x02ok", 6));
        SendAll(fd, std::string("\x03\x00\x00\x00xyz", 7));
        SendAll(fd, std::string("\x2a\x00\x00\x00", 4));
        RecvExact(fd, 1);
    });
    TTCPBlockSocket sock;
    ConnectTo(sock, peer);
    sock.SendInteger(0x04030201);
    sock.SendBlock("abc");
    sock.SendByte(0xff);
    EXPECT_EQ(sock.RecvBlock(2000), "hello");
    TMemoryStream indy;
    sock.RecvStreamIndy(indy, 2000);
    EXPECT_EQ(indy.Bytes(), "ok");
    TMemoryStream le;
    sock.RecvStream(le, 2000);
    EXPECT_EQ(le.Bytes(), "xyz");
    EXPECT_EQ(sock.RecvInteger(2000), 42);
    sock.SendString("x");
    peer.Join();
    EXPECT_EQ(seen, std::string("\x01\x02\x03\x04\x03\x00\x00\x00"
                                "abc\xff",
                                12));
}

TEST(TcpIO, StreamsWithPrefixes) {
    std::string seen;
    ScriptedPeer peer([&](int fd) { seen = RecvExact(fd, 4 + 2 + 4 + 2 + 2, 3000); });
    TTCPBlockSocket sock;
    ConnectTo(sock, peer);
    TMemoryStream a;
    a.Write("ab");
    a.Seek(0);
    sock.SendStream(a);
    TMemoryStream b;
    b.Write("cd");
    b.Seek(0);
    sock.SendStreamIndy(b);
    TMemoryStream c;
    c.Write("ef");
    c.Seek(0);
    sock.SendStreamRaw(c);
    peer.Join();
    EXPECT_EQ(seen, std::string("\x02\x00\x00\x00"
                                "ab\x00\x00\x00\x02"
                                "cdef",
                                14));
}

TEST(TcpIO, PeekDoesNotConsume) {
    ScriptedPeer peer([](int fd) {
        SendAll(fd, "Q!");
        RecvExact(fd, 1);
    });
    TTCPBlockSocket sock;
    ConnectTo(sock, peer);
    EXPECT_EQ(sock.PeekByte(2000), 'Q');
    EXPECT_TRUE(sock.CanRead(0));
    EXPECT_EQ(sock.RecvByte(2000), 'Q');
    EXPECT_EQ(sock.RecvByte(2000), '!');
    EXPECT_FALSE(sock.CanReadEx(50));
    sock.SendString("x");
}

TEST(TcpIO, SendToClosedPeerReportsResetWithoutSignal) {
    ScriptedPeer peer([](int fd) {
        RecvExact(fd, 1); // the connect is complete on both sides
        linger li{1, 0};  // close with a reset
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &li, sizeof(li));
    });
    TTCPBlockSocket sock;
    ConnectTo(sock, peer);
    sock.SendString("a");
    peer.Join();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const std::string block(65536, 'b');
    for (int i = 0; i < 20 && sock.LastError() == 0; ++i)
        sock.SendString(block);
    EXPECT_EQ(sock.LastError(), 10054);
}

TEST(TcpIO, ListenAcceptAndAdopt) {
    TTCPBlockSocket server;
    server.Bind("127.0.0.1", "0");
    server.Listen();
    ASSERT_EQ(server.LastError(), 0);
    const int port = server.GetLocalSinPort();
    std::thread client([port] {
        TTCPBlockSocket c;
        c.Connect("127.0.0.1", std::to_string(port));
        c.SendString("ping\r\n");
        EXPECT_EQ(c.RecvString(3000), "pong");
    });
    ASSERT_TRUE(server.CanRead(3000));
    TTCPBlockSocket conn;
    conn.SetSocket(server.Accept());
    ASSERT_NE(conn.Socket(), -1);
    EXPECT_EQ(conn.GetRemoteSinIP(), "127.0.0.1");
    EXPECT_EQ(conn.GetLocalSinPort(), port);
    EXPECT_EQ(conn.RecvString(3000), "ping");
    conn.SendString("pong\r\n");
    client.join();
}

TEST(TcpIO, CloseDrainsBoundedAndDoesNotBlock) {
    ScriptedPeer peer([](int fd) {
        const std::string lot(1 << 20, 'd');
        SendAll(fd, lot.substr(0, 200000)); // more than is drained
        RecvExact(fd, 1 << 20, 3000);       // until the client has closed
    });
    TTCPBlockSocket sock;
    ConnectTo(sock, peer);
    WaitForBytes(sock, 65536);
    sock.CloseSocket();
    EXPECT_EQ(sock.Socket(), -1);
    peer.Join();
}

TEST(TcpIO, BandwidthLimitWaits) {
    ScriptedPeer peer([](int fd) { RecvExact(fd, 2000, 5000); });
    TTCPBlockSocket sock;
    sock.MaxSendBandwidth = 10000;
    int waits = 0;
    sock.OnStatus = [&](TBlockSocket&, THookSocketReason reason, const std::string&) {
        waits += reason == HR_Wait;
    };
    ConnectTo(sock, peer);
    sock.SendString(std::string(1000, 'a'));
    sock.SendString(std::string(1000, 'b'));
    EXPECT_EQ(sock.LastError(), 0);
    EXPECT_EQ(waits, 1);
    EXPECT_EQ(sock.SendCounter(), 2000u);
}

TEST(TcpCancel, AbortFromAnotherThreadEndsLongWaits) {
    ScriptedPeer peer([](int fd) { RecvExact(fd, 1, 15000); });
    TTCPBlockSocket sock;
    ConnectTo(sock, peer);
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        sock.AbortSocket();
    });
    const auto start = Clock::now();
    EXPECT_EQ(sock.RecvPacket(10000), "");
    const auto took = MsSince(start);
    canceller.join();
    EXPECT_EQ(sock.LastError(), 10053);
    EXPECT_LT(took, 5000);
    // Every later wait of the aborted object ends at once as well.
    EXPECT_EQ(sock.RecvString(10000), "");
    EXPECT_EQ(sock.LastError(), 10053);
    sock.CloseSocket();
}

TEST(TcpCancel, OwnersCancelEndsConnectAcceptAndReceive) {
    auto cancel = std::make_shared<TNetCancel>();
    TNetClient owner;
    owner.Cancel = cancel;
    owner.Timeout = 10000;
    zt::socktest::FullBacklogListener full;
    TTCPBlockSocket connecting;
    connecting.Owner = &owner;
    TTCPBlockSocket listening;
    listening.Owner = &owner;
    listening.Bind("127.0.0.1", "0");
    listening.Listen();
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        cancel->Raise();
    });
    const auto start = Clock::now();
    if (full.Full()) {
        connecting.Connect("127.0.0.1", std::to_string(full.Port()));
        EXPECT_EQ(connecting.LastError(), 10053);
    }
    EXPECT_EQ(listening.Accept(), -1);
    EXPECT_EQ(listening.LastError(), 10053);
    EXPECT_LT(MsSince(start), 5000);
    canceller.join();
    cancel->Reset();
    EXPECT_FALSE(listening.CanRead(10));
    EXPECT_EQ(listening.LastError(), 0);
}

TEST(TcpCancel, StopFlagEndsOneOperationAndIsCleared) {
    ScriptedPeer peer([](int fd) {
        SendAll(fd, "data");
        RecvExact(fd, 1);
    });
    TTCPBlockSocket sock;
    ConnectTo(sock, peer);
    WaitForBytes(sock, 4);
    sock.StopFlag = true;
    EXPECT_EQ(sock.RecvPacket(1000), "");
    EXPECT_EQ(sock.LastError(), 10053);
    EXPECT_FALSE(sock.StopFlag);
    EXPECT_EQ(sock.RecvPacket(1000), "data");
    sock.SendString("x");
}

TEST(TlsSlot, RefusesWithItsTexts) {
    ScriptedPeer peer([](int fd) { RecvExact(fd, 1, 2000); });
    TTCPBlockSocket sock;
    EXPECT_EQ(sock.SSL().LibVersion(), "Without SSL support");
    EXPECT_EQ(sock.SSL().LibName(), "ssl_none");
    ConnectTo(sock, peer);
    sock.SSLDoConnect();
    EXPECT_EQ(sock.LastError(), 10091);
    EXPECT_EQ(sock.LastErrorDesc(), "SSL/TLS support is not compiled!");
    EXPECT_FALSE(sock.SSL().SSLEnabled());
    EXPECT_EQ(sock.SSL().LastErrorDesc(), "SSL/TLS support is not compiled!");
    EXPECT_FALSE(sock.SSLAcceptConnection());
    TCustomSSL& ssl = sock.SSL();
    char byte = 0;
    EXPECT_EQ(ssl.SendBuffer(&byte, 1), -1);
    EXPECT_EQ(ssl.RecvBuffer(&byte, 1), -1);
    EXPECT_FALSE(ssl.Shutdown());
    EXPECT_FALSE(ssl.BiShutdown());
    EXPECT_EQ(ssl.GetPeerSubject(), "");
    EXPECT_EQ(ssl.GetCipherName(), "");
    // Plain traffic still flows after the refused start.
    sock.SendString("x");
    EXPECT_EQ(sock.LastError(), 0);
}

TEST(TcpHooks, MonitorReadFilterAndHeartbeat) {
    ScriptedPeer peer([](int fd) {
        RecvExact(fd, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        SendAll(fd, "abc");
        RecvExact(fd, 1);
    });
    TTCPBlockSocket sock;
    std::string written, read;
    sock.OnMonitor = [&](TBlockSocket&, bool writing, const void* data, int length) {
        (writing ? written : read).append(static_cast<const char*>(data), static_cast<std::size_t>(length));
    };
    sock.OnReadFilter = [](TBlockSocket&, std::string& value) {
        for (char& c : value)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    };
    int beats = 0;
    sock.HeartbeatRate = 50;
    sock.OnHeartbeat = [&](TBlockSocket&) {
        ++beats;
    };
    ConnectTo(sock, peer);
    sock.SendString("hello");
    EXPECT_EQ(sock.RecvPacket(3000), "ABC");
    EXPECT_EQ(written, "hello");
    EXPECT_EQ(read, "abc");
    EXPECT_GE(beats, 2);
    EXPECT_EQ(sock.RecvCounter(), 3u);
    sock.SendString("x");
}

TEST(TcpIO, CountedStreamPurgeAndWaiting) {
    ScriptedPeer peer([](int fd) {
        SendAll(fd, std::string(100000, 's') + "tail");
        RecvExact(fd, 1);
        SendAll(fd, "after purge");
        RecvExact(fd, 1);
    });
    TTCPBlockSocket sock;
    sock.SendMaxChunk = 4096;
    ConnectTo(sock, peer);
    TMemoryStream stream;
    sock.RecvStreamSize(stream, 3000, 100000);
    EXPECT_EQ(sock.LastError(), 0);
    EXPECT_EQ(stream.Size(), 100000u);
    EXPECT_EQ(stream.Bytes(), std::string(100000, 's'));
    WaitForBytes(sock, 1);
    EXPECT_GT(sock.WaitingDataEx(), 0);
    sock.Purge();
    EXPECT_EQ(sock.WaitingDataEx(), 0);
    sock.SendString("1");
    EXPECT_EQ(sock.RecvPacket(3000), "after purge");
    sock.SendString("2");
}

TEST(TcpNames, LookupsWithoutTheNetwork) {
    TTCPBlockSocket sock;
    EXPECT_EQ(sock.ResolvePort("http"), 80);
    EXPECT_EQ(sock.ResolvePort("8080"), 8080);
    EXPECT_EQ(sock.ResolveName("localhost"), "127.0.0.1");
    EXPECT_EQ(sock.ResolveNameToIP("127.0.0.1"), std::vector<std::string>{"127.0.0.1"});
    EXPECT_FALSE(sock.LocalName().empty());
    TVarSin sin{};
    EXPECT_EQ(ResolveSockAddr(sin, "0.0.0.0", "80", true, SOCK_STREAM, IPPROTO_TCP, AF_INET), 0);
    EXPECT_EQ(GetSinIP(sin), "0.0.0.0");
    EXPECT_EQ(GetSinPort(sin), 80);
    EXPECT_EQ(ResolveSockAddr(sin, "::0", "81", true, SOCK_STREAM, IPPROTO_TCP, AF_INET6), 0);
    EXPECT_EQ(GetSinIP(sin), "::");
    EXPECT_EQ(ResolveSockAddr(sin, "::1", "82", true, SOCK_DGRAM, IPPROTO_UDP, AF_INET6), 0);
    EXPECT_EQ(GetSinIP(sin), "::1");
    EXPECT_EQ(GetSinPort(sin), 82);
    // Raw sockets resolve the host alone.
    EXPECT_EQ(ResolveSockAddr(sin, "127.0.0.2", "not-a-port", true, SOCK_RAW, IPPROTO_ICMP, AF_INET), 0);
    EXPECT_EQ(GetSinIP(sin), "127.0.0.2");
    // Unspecified family: the preferred one first.
    EXPECT_EQ(ResolveSockAddr(sin, "127.0.0.1", "0", false, SOCK_STREAM, IPPROTO_TCP, AF_UNSPEC), 0);
    EXPECT_EQ(SinFamily(sin), AF_INET6); // loopback of the first family tried
    EXPECT_EQ(ResolveSockAddr(sin, "127.0.0.1", "0", true, SOCK_STREAM, IPPROTO_TCP, AF_UNSPEC), 0);
    EXPECT_EQ(SinFamily(sin), AF_INET);
}

TEST(TcpCancel, AbortEndsASendStuckOnAFullPeer) {
    ScriptedPeer peer(
        [](int) { std::this_thread::sleep_for(std::chrono::milliseconds(1500)); }); // never reads
    TTCPBlockSocket sock;
    sock.NonblockSendTimeout = 10000;
    ConnectTo(sock, peer);
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        sock.AbortSocket();
    });
    const auto start = Clock::now();
    sock.SendString(std::string(64 << 20, 'f'));
    const auto took = MsSince(start);
    canceller.join();
    EXPECT_EQ(sock.LastError(), 10053);
    EXPECT_LT(took, 5000);
    EXPECT_LT(sock.SendCounter(), static_cast<uint64_t>(64 << 20));
}
