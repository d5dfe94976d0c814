// The server connection through real proxies on loopback: SOCKS4 and SOCKS5 (dante), SOCKS4a (ssh -D
// against an sshd of the test's own), SOCKS5 with and without user/password (microsocks), HTTP CONNECT
// with and without Basic authentication and as the gateway's forward proxy (tinyproxy). Behind each
// stands the test's FLAP server, which sends its hello at once.
#include "messaging/ICQWorks.h"

#include <gtest/gtest.h>

#include "tests/messaging/messaging_helpers.h"

using namespace zt::msgtest;

namespace {

struct TRoute {
    TRoute(TProxyType Kind_, quint16 ProxyPort_, bool Resolve_ = false, QString Host_ = "127.0.0.1")
        : Kind(Kind_), ProxyPort(ProxyPort_), Resolve(Resolve_), Host(std::move(Host_)) {}
    TRoute& Login(const QString& User_, const QString& Password_) {
        User = User_;
        Password = Password_;
        return *this;
    }
    TProxyType Kind;
    quint16 ProxyPort;
    bool Resolve;
    QString Host;
    QString User;
    QString Password;
};

void Configure(TICQNet& Net, const TRoute& Route, quint16 ServerPort) {
    Net.ProxyType = Route.Kind;
    Net.ProxyHost = "127.0.0.1";
    Net.ProxyPort = Route.ProxyPort;
    Net.ProxyResolve = Route.Resolve;
    Net.ProxyAuth = !Route.User.isEmpty();
    Net.ProxyUserID = Route.User;
    Net.ProxyPass = Route.Password;
    Net.Host = Route.Host;
    Net.Port = ServerPort;
}

// Connects through Route: the server's hello arrives, a login frame reaches the server byte for byte,
// and a frame of the server's comes back.
void ExpectCarries(const TRoute& Route) {
    TFlapServer server;
    TICQNet net;
    TNetRecorder rec(net);
    Configure(net, Route, server.Port());
    net.Connect();
    ASSERT_TRUE(WaitFor([&] { return !rec.Frames.empty() || rec.Failed(); }, 10000));
    ASSERT_FALSE(rec.Failed()) << (rec.ConnectErrors.empty() ? rec.Errors.at(0).second
                                                             : rec.ConnectErrors.at(0).second)
                                      .toStdString();
    EXPECT_EQ(rec.Frames[0].Header.Channel, 1);
    EXPECT_EQ(rec.Frames[0].Payload, Hex("00 00 00 01"));

    ExpectRoundTrip(net, rec, server, Hex("2A 02 00 02 00 0A 00 01 00 03 00 00 00 00 00 00"));
    net.Disconnect();
    EXPECT_TRUE(WaitFor([&] { return server.ClosedCount() == 1; }, 10000));
}

// Connects through Route and expects the connection to fail with Text.
void ExpectRefused(const TRoute& Route, TErrorType Type, const QString& Text) {
    TFlapServer server;
    TICQNet net;
    TNetRecorder rec(net);
    Configure(net, Route, server.Port());
    net.Connect();
    ASSERT_TRUE(WaitFor([&] { return rec.Failed() || !rec.Frames.empty(); }, 10000));
    ASSERT_EQ(rec.ConnectErrors.size(), 1u);
    EXPECT_EQ(rec.ConnectErrors[0].first, Type);
    EXPECT_EQ(rec.ConnectErrors[0].second, Text);
    EXPECT_TRUE(rec.Frames.empty());
    EXPECT_EQ(server.Connections(), 0);
}

} // namespace

TEST(ProxyPeers, DanteSocks4AndSocks5) {
    TProxyPeer dante("danted", "danted.sh");
    if (!dante.Ready)
        GTEST_SKIP() << "dante not available";
    const quint16 port = static_cast<quint16>(dante.Port);
    ExpectCarries(TRoute(P_SOCKS4, port));
    ExpectCarries(TRoute(P_SOCKS5, port));
    ExpectCarries(TRoute(P_SOCKS5, port, true));
    // Without the resolve flag the socket resolves the name before asking the proxy.
    ExpectCarries(TRoute(P_SOCKS4, port, false, "localhost"));
    // Dante does not do SOCKS4a.
    ExpectRefused(TRoute(P_SOCKS4, port, true), ERR_PROXY, "SOCKS4 server cannot connect to remote server");
}

TEST(ProxyPeers, SshSocks4a) {
    if (!zt::test::HaveProgram("ssh") || !zt::test::HaveProgram("ssh-keygen") ||
        !zt::test::HaveProgram("sshd"))
        GTEST_SKIP() << "openssh not available";
    zt::test::TempDir dir;
    const int sshPort = zt::test::FreeTcpPort();
    int socksPort = zt::test::FreeTcpPort();
    while (socksPort == sshPort)
        socksPort = zt::test::FreeTcpPort();
    zt::test::PeerProcess ssh({"/bin/sh", zt::test::PeerScript("sshd.sh"), dir.path() + "/ssh",
                               std::to_string(sshPort), std::to_string(socksPort)});
    if (!zt::test::WaitForTcpPort("127.0.0.1", socksPort, std::chrono::milliseconds(15000)))
        GTEST_SKIP() << "ssh -D did not come up";
    const quint16 port = static_cast<quint16>(socksPort);
    // SOCKS4a: the proxy resolves the name; ssh waits for the zero byte after it.
    ExpectCarries(TRoute(P_SOCKS4, port, true, "localhost"));
    ExpectCarries(TRoute(P_SOCKS4, port));
    ExpectCarries(TRoute(P_SOCKS5, port, true, "localhost"));
}

TEST(ProxyPeers, MicrosocksWithAndWithoutPassword) {
    TProxyPeer open("microsocks", "microsocks.sh");
    if (!open.Ready)
        GTEST_SKIP() << "microsocks not available";
    ExpectCarries(TRoute(P_SOCKS5, static_cast<quint16>(open.Port)));
    ExpectCarries(TRoute(P_SOCKS5, static_cast<quint16>(open.Port), true, "localhost"));

    TProxyPeer locked("microsocks", "microsocks.sh", {"alice", "s3cret"});
    ASSERT_TRUE(locked.Ready);
    const quint16 port = static_cast<quint16>(locked.Port);
    ExpectCarries(TRoute(P_SOCKS5, port).Login("alice", "s3cret"));
    ExpectRefused(TRoute(P_SOCKS5, port).Login("alice", "guess"), ERR_PROXY,
                  "SOCKS5 server cannot authenticate");
    ExpectRefused(TRoute(P_SOCKS5, port), ERR_PROXY, "Auth methods are not supported by SOCKS5 server");
}

TEST(ProxyPeers, TinyproxyConnect) {
    TProxyPeer open("tinyproxy", "tinyproxy.sh");
    if (!open.Ready)
        GTEST_SKIP() << "tinyproxy not available";
    ExpectCarries(TRoute(P_HTTPS, static_cast<quint16>(open.Port)));
    ExpectCarries(TRoute(P_HTTPS, static_cast<quint16>(open.Port), true, "localhost"));

    TProxyPeer locked("tinyproxy", "tinyproxy.sh", {"alice", "s3cret"});
    ASSERT_TRUE(locked.Ready);
    const quint16 port = static_cast<quint16>(locked.Port);
    ExpectCarries(TRoute(P_HTTPS, port).Login("alice", "s3cret"));
    ExpectRefused(TRoute(P_HTTPS, port), ERR_PROXY,
                  "Http proxy returned invalid status: 407 Proxy Authentication Required");
}

TEST(ProxyPeers, GatewayThroughTinyproxy) {
    TProxyPeer proxy("tinyproxy", "tinyproxy.sh");
    if (!proxy.Ready)
        GTEST_SKIP() << "tinyproxy not available";
    TFlapServer server;
    TGatewayServer gateway;
    TICQNet net;
    TNetRecorder rec(net);
    net.ProxyType = P_HTTP;
    net.ProxyHost = "127.0.0.1";
    net.ProxyPort = static_cast<quint16>(proxy.Port);
    net.HTTPHost = "127.0.0.1";
    net.HTTPPort = gateway.Port();
    net.Host = "127.0.0.1";
    net.Port = server.Port();
    net.Connect();
    ASSERT_TRUE(WaitFor([&] { return !rec.Frames.empty() || rec.Failed(); }, 15000));
    ASSERT_FALSE(rec.Failed()) << rec.ConnectErrors.at(0).second.toStdString();
    EXPECT_EQ(rec.Frames[0].Payload, Hex("00 00 00 01"));
    ExpectRoundTrip(net, rec, server, Hex("2A 05 00 02 00 00"), 15000);
    // The gateway saw the session's requests by way of the proxy.
    const std::vector<QByteArray> requests = gateway.Requests();
    ASSERT_GE(requests.size(), 3u);
    EXPECT_TRUE(requests[0].startsWith("GET ")) << requests[0].toStdString();
    EXPECT_TRUE(requests[0].contains("/hello HTTP/1."));
    EXPECT_TRUE(requests[0].toLower().contains("\r\nuser-agent: mozilla/4.08 [en] (winnt; u ;nav)\r\n"));
    net.Disconnect();
}
