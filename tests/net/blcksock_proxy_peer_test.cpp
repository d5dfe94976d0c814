// Proxies and the tunnel against real programs on loopback: SOCKS5 without and with user/password
// (microsocks), SOCKS4 and SOCKS5 with UDP association (dante), HTTP CONNECT without and with Basic
// authentication (tinyproxy). Behind each, a small HTTP target of the test's own answers a GET.
#include "net/blcksock.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include "tests/net/blcksock_helpers.h"
#include "tests/support/TestSupport.h"

using zt::socktest::HttpTarget;

namespace {

// A peer started from tests/peers/<Script> with its own folder and port; stopped on destruction.
struct Peer {
    Peer(const std::string& Script, const std::vector<std::string>& Extra = {}) {
        if (!zt::test::HaveProgram(Script == "microsocks.sh" ? "microsocks"
                                   : Script == "danted.sh"   ? "danted"
                                                             : "tinyproxy"))
            return;
        Port = zt::test::FreeTcpPort();
        std::vector<std::string> argv = {"/bin/sh", zt::test::PeerScript(Script), Dir.path(),
                                         std::to_string(Port)};
        argv.insert(argv.end(), Extra.begin(), Extra.end());
        Process = zt::test::PeerProcess(argv);
        Ready = zt::test::WaitForTcpPort("127.0.0.1", Port, std::chrono::milliseconds(10000));
    }
    std::string PortText() const { return std::to_string(Port); }
    zt::test::TempDir Dir;
    zt::test::PeerProcess Process;
    int Port = 0;
    bool Ready = false;
};

// GET / over a connected socket; returns the status line and the body after the header block.
std::pair<std::string, std::string> Get(TTCPBlockSocket& Sock) {
    Sock.SendString("GET / HTTP/1.0\r\nHost: target\r\n\r\n");
    const std::string status = Sock.RecvString(5000);
    while (!Sock.RecvString(5000).empty() && Sock.LastError() == 0) {
    }
    TMemoryStream body;
    Sock.RecvStreamRaw(body, 5000);
    return {status, body.Bytes()};
}

void UseSocks(TSocksBlockSocket& Sock, const Peer& Proxy, TSocksType Type = ST_Socks5) {
    Sock.SocksIP = "127.0.0.1";
    Sock.SocksPort = Proxy.PortText();
    Sock.SocksType = Type;
}

} // namespace

TEST(SocksPeer, Socks5WithoutAuthentication) {
    Peer proxy("microsocks.sh");
    if (!proxy.Ready)
        GTEST_SKIP() << "microsocks not available";
    HttpTarget target("through socks5");
    for (const std::string host : {"127.0.0.1", "localhost"}) {
        TTCPBlockSocket sock;
        UseSocks(sock, proxy);
        sock.Connect(host, target.PortText());
        ASSERT_EQ(sock.LastError(), 0) << host << " " << sock.LastErrorDesc();
        EXPECT_TRUE(sock.UsingSocks());
        const auto [status, body] = Get(sock);
        EXPECT_EQ(status, "HTTP/1.0 200 OK");
        EXPECT_EQ(body, "through socks5");
    }
    EXPECT_EQ(target.Requests().size(), 2u);
    // A target that refuses: the proxy's reply code is non-zero.
    TTCPBlockSocket refused;
    UseSocks(refused, proxy);
    refused.Connect("127.0.0.1", std::to_string(zt::test::FreeTcpPort()));
    EXPECT_EQ(refused.LastError(), 10061);
    EXPECT_NE(refused.SocksLastError(), 0);
}

TEST(SocksPeer, Socks5WithUserAndPassword) {
    Peer proxy("microsocks.sh", {"alice", "s3cret"});
    if (!proxy.Ready)
        GTEST_SKIP() << "microsocks not available";
    HttpTarget target("authenticated");
    TTCPBlockSocket sock;
    UseSocks(sock, proxy);
    sock.SocksUsername = "alice";
    sock.SocksPassword = "s3cret";
    sock.Connect("127.0.0.1", target.PortText());
    ASSERT_EQ(sock.LastError(), 0) << sock.LastErrorDesc();
    EXPECT_EQ(Get(sock).second, "authenticated");

    TTCPBlockSocket wrong;
    UseSocks(wrong, proxy);
    wrong.SocksUsername = "alice";
    wrong.SocksPassword = "guess";
    wrong.Connect("127.0.0.1", target.PortText());
    EXPECT_NE(wrong.LastError(), 0);
    EXPECT_TRUE(wrong.LastError() == 10061 || wrong.LastError() == 10054) << wrong.LastError();

    TTCPBlockSocket none;
    UseSocks(none, proxy);
    none.Connect("127.0.0.1", target.PortText());
    EXPECT_EQ(none.LastError(), 10061);

    TTCPBlockSocket tooLong;
    UseSocks(tooLong, proxy);
    tooLong.SocksUsername = "alice";
    tooLong.SocksPassword = std::string(300, 'p');
    tooLong.Connect("127.0.0.1", target.PortText());
    EXPECT_EQ(tooLong.LastError(), 10022);
    EXPECT_EQ(target.Requests().size(), 1u);
}

TEST(SocksPeer, Socks4AndUdpAssociationThroughDante) {
    Peer proxy("danted.sh");
    if (!proxy.Ready)
        GTEST_SKIP() << "dante not available";
    HttpTarget target("through socks4");
    TTCPBlockSocket sock;
    UseSocks(sock, proxy, ST_Socks4);
    sock.SocksResolver = false; // names resolved here, the address sent
    sock.Connect("localhost", target.PortText());
    ASSERT_EQ(sock.LastError(), 0) << sock.LastErrorDesc();
    EXPECT_EQ(sock.SocksLastError(), 90);
    EXPECT_EQ(Get(sock).second, "through socks4");

    TTCPBlockSocket refused;
    UseSocks(refused, proxy, ST_Socks4);
    refused.Connect("127.0.0.1", std::to_string(zt::test::FreeTcpPort()));
    EXPECT_EQ(refused.LastError(), 10061);
    EXPECT_EQ(refused.SocksLastError(), 91);

    // UDP through the relay: the reply's SOCKS header is removed and its origin becomes the remote address.
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    TVarSin bound{};
    bound.sin.sin_family = AF_INET;
    bound.sin.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(fd, &bound.sa, sizeof(bound.sin)), 0);
    socklen_t len = sizeof(bound);
    ::getsockname(fd, &bound.sa, &len);
    TUDPBlockSocket udp;
    UseSocks(udp, proxy);
    udp.Connect("127.0.0.1", std::to_string(GetSinPort(bound)));
    udp.SendString("over the relay");
    ASSERT_EQ(udp.LastError(), 0) << udp.LastErrorDesc();
    pollfd p{fd, POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 5000), 1);
    char buf[256];
    TVarSin from{};
    len = sizeof(from);
    const ssize_t n = ::recvfrom(fd, buf, sizeof(buf), 0, &from.sa, &len);
    EXPECT_EQ(std::string(buf, static_cast<std::size_t>(std::max<ssize_t>(n, 0))), "over the relay");
    ::sendto(fd, "answer", 6, 0, &from.sa, len);
    EXPECT_EQ(udp.RecvPacket(5000), "answer");
    EXPECT_EQ(udp.LastError(), 0);
    EXPECT_EQ(udp.GetRemoteSinIP(), "127.0.0.1");
    EXPECT_EQ(udp.GetRemoteSinPort(), GetSinPort(bound));
    ::close(fd);
}

TEST(SocksPeer, UdpAssociationRefusedGives11003) {
    Peer proxy("microsocks.sh", {"alice", "s3cret"});
    if (!proxy.Ready)
        GTEST_SKIP() << "microsocks not available";
    TUDPBlockSocket udp;
    UseSocks(udp, proxy); // no credentials: the proxy refuses the control connection
    udp.Connect("127.0.0.1", "9");
    udp.SendString("x");
    EXPECT_EQ(udp.LastError(), 11003);
}

TEST(TunnelPeer, HttpConnectWithoutAndWithBasicAuthentication) {
    HttpTarget target("through the tunnel");
    {
        Peer proxy("tinyproxy.sh");
        if (!proxy.Ready)
            GTEST_SKIP() << "tinyproxy not available";
        TTCPBlockSocket sock;
        sock.HTTPTunnelIP = "127.0.0.1";
        sock.HTTPTunnelPort = proxy.PortText();
        sock.Connect("127.0.0.1", target.PortText());
        ASSERT_EQ(sock.LastError(), 0) << sock.LastErrorDesc();
        EXPECT_TRUE(sock.HTTPTunnel());
        const auto [status, body] = Get(sock);
        EXPECT_EQ(status, "HTTP/1.0 200 OK");
        EXPECT_EQ(body, "through the tunnel");

        TTCPBlockSocket refused;
        refused.HTTPTunnelIP = "127.0.0.1";
        refused.HTTPTunnelPort = proxy.PortText();
        refused.Connect("127.0.0.1", std::to_string(zt::test::FreeTcpPort()));
        EXPECT_EQ(refused.LastError(), 10091);
        EXPECT_FALSE(refused.HTTPTunnel());
    }
    Peer proxy("tinyproxy.sh", {"carol", "pa55"});
    ASSERT_TRUE(proxy.Ready);
    for (const std::string password : {"pa55", "wrong", ""}) {
        TTCPBlockSocket sock;
        sock.HTTPTunnelIP = "127.0.0.1";
        sock.HTTPTunnelPort = proxy.PortText();
        if (!password.empty()) {
            sock.HTTPTunnelUser = "carol";
            sock.HTTPTunnelPass = password;
        }
        sock.Connect("127.0.0.1", target.PortText());
        if (password == "pa55") {
            ASSERT_EQ(sock.LastError(), 0) << sock.LastErrorDesc();
            EXPECT_EQ(Get(sock).second, "through the tunnel");
        } else {
            EXPECT_EQ(sock.LastError(), 10091) << password;
        }
    }
    EXPECT_EQ(target.Requests().size(), 2u);
}
