// Proxy exchanges against scripted loopback proxies: the exact SOCKS5, SOCKS4/4a and HTTP CONNECT bytes
// on the wire, how replies are read, and the refusals (error numbers, fields too long for the protocol).
#include "net/blcksock.h"

#include <gtest/gtest.h>

#include "tests/net/blcksock_helpers.h"
#include "tests/support/TestSupport.h"

using zt::socktest::RecvExact;
using zt::socktest::RecvUntil;
using zt::socktest::ScriptedPeer;
using zt::socktest::SendAll;

namespace {

std::string Bytes(std::initializer_list<int> Values) {
    std::string out;
    for (int v : Values)
        out += static_cast<char>(v);
    return out;
}

} // namespace

TEST(Socks5Wire, AuthenticatedRequestByNameAndReplyWithName) {
    std::string greeting, auth, request;
    ScriptedPeer proxy([&](int fd) {
        greeting = RecvExact(fd, 4);
        SendAll(fd, Bytes({5, 2}));
        auth = RecvExact(fd, 1 + 1 + 4 + 1 + 6);
        SendAll(fd, Bytes({1, 0}));
        request = RecvExact(fd, 4 + 1 + 12 + 2);
        SendAll(fd, Bytes({5, 0, 0, 3, 5}) + "relay" + Bytes({0x1f, 0x90}));
        SendAll(fd, "through\r\n");
        RecvExact(fd, 1);
    });
    TTCPBlockSocket sock;
    sock.SocksIP = "127.0.0.1";
    sock.SocksPort = proxy.PortText();
    sock.SocksUsername = "user";
    sock.SocksPassword = "secret";
    sock.Connect("example.test", "80");
    ASSERT_EQ(sock.LastError(), 0) << sock.LastErrorDesc();
    EXPECT_TRUE(sock.UsingSocks());
    EXPECT_EQ(sock.SocksResponseIP(), "relay");
    EXPECT_EQ(sock.SocksResponsePort(), "8080");
    EXPECT_EQ(sock.GetRemoteSinIP(), "example.test");
    EXPECT_EQ(sock.RecvString(2000), "through");
    sock.SendString("x");
    proxy.Join();
    EXPECT_EQ(greeting, Bytes({5, 2, 2, 0}));
    EXPECT_EQ(auth, Bytes({1, 4}) + "user" + Bytes({6}) + "secret");
    EXPECT_EQ(request, Bytes({5, 1, 0, 3, 12}) + "example.test" + Bytes({0, 80}));
}

TEST(Socks5Wire, AddressForms) {
    for (const std::string target : {"127.0.0.1", "::1"}) {
        std::string request;
        const bool v6 = target == "::1";
        ScriptedPeer proxy([&](int fd) {
            RecvExact(fd, 3);
            SendAll(fd, Bytes({5, 0}));
            request = RecvExact(fd, v6 ? 22 : 10);
            SendAll(fd, Bytes({5, 0, 0, 4}) + std::string(15, '\0') + Bytes({1, 0, 81}));
            RecvExact(fd, 1);
        });
        TTCPBlockSocket sock;
        sock.SocksIP = "127.0.0.1";
        sock.SocksPort = proxy.PortText();
        sock.Connect(target, "443");
        ASSERT_EQ(sock.LastError(), 0) << target;
        EXPECT_EQ(sock.SocksResponseIP(), "::1");
        EXPECT_EQ(sock.SocksResponsePort(), "81");
        sock.SendString("x");
        proxy.Join();
        if (v6)
            EXPECT_EQ(request, Bytes({5, 1, 0, 4}) + std::string(15, '\0') + Bytes({1, 1, 0xbb}));
        else
            EXPECT_EQ(request, Bytes({5, 1, 0, 1, 127, 0, 0, 1, 1, 0xbb}));
    }
}

TEST(Socks5Wire, RefusalsGiveConnectionRefused) {
    struct Case {
        const char* Name;
        std::string Method; // answer to the greeting
        std::string Reply;  // answer to the request (when asked)
        int ReplyCode;
    };
    const Case cases[] = {
        {"no acceptable method", Bytes({5, 0xff}), "", 0},
        {"wrong version", Bytes({4, 0}), "", 0},
        {"request refused", Bytes({5, 0}), Bytes({5, 5, 0, 1, 0, 0, 0, 0, 0, 0}), 5},
        {"unknown address type", Bytes({5, 0}), Bytes({5, 0, 0, 9}), 0},
    };
    for (const auto& c : cases) {
        ScriptedPeer proxy([&](int fd) {
            RecvExact(fd, 3);
            SendAll(fd, c.Method);
            if (c.Reply.empty())
                return;
            RecvExact(fd, 10);
            SendAll(fd, c.Reply);
            RecvExact(fd, 1, 1000);
        });
        TTCPBlockSocket sock;
        sock.SocksIP = "127.0.0.1";
        sock.SocksPort = proxy.PortText();
        int reports = 0;
        sock.OnStatus = [&](TBlockSocket&, THookSocketReason reason, const std::string&) {
            reports += reason == HR_Error;
        };
        sock.RaiseExcept = true;
        try {
            sock.Connect("127.0.0.1", "80");
            ADD_FAILURE() << "no exception for " << c.Name;
        } catch (const ENetError& e) {
            EXPECT_EQ(e.ErrorCode, 10061) << c.Name;
        }
        EXPECT_EQ(reports, 1) << c.Name;
        EXPECT_EQ(sock.LastError(), 10061) << c.Name;
        EXPECT_FALSE(sock.UsingSocks());
        EXPECT_EQ(sock.SocksLastError(), c.ReplyCode) << c.Name;
    }
}

TEST(Socks5Wire, ProxyThatFallsSilentOrCloses) {
    {
        ScriptedPeer proxy([](int fd) { RecvExact(fd, 100, 3000); });
        TTCPBlockSocket sock;
        sock.SocksIP = "127.0.0.1";
        sock.SocksPort = proxy.PortText();
        sock.SocksTimeout = 200;
        sock.Connect("127.0.0.1", "80");
        EXPECT_EQ(sock.LastError(), 10060);
    }
    {
        ScriptedPeer proxy([](int fd) {
            RecvExact(fd, 3);
            SendAll(fd, Bytes({5}));
        });
        TTCPBlockSocket sock;
        sock.SocksIP = "127.0.0.1";
        sock.SocksPort = proxy.PortText();
        sock.Connect("127.0.0.1", "80");
        EXPECT_EQ(sock.LastError(), 10054);
    }
    {
        TTCPBlockSocket sock;
        sock.SocksIP = "127.0.0.1";
        sock.SocksPort = std::to_string(zt::test::FreeTcpPort());
        sock.Connect("127.0.0.1", "80");
        EXPECT_EQ(sock.LastError(), 10061);
    }
}

TEST(SocksFields, TooLongForTheLengthByteFailBeforeAnythingIsSent) {
    int connections = 0;
    ScriptedPeer proxy([&](int) { ++connections; });
    const std::string longText(256, 'n');
    for (int field = 0; field < 3; ++field) {
        TTCPBlockSocket sock;
        sock.SocksIP = "127.0.0.1";
        sock.SocksPort = proxy.PortText();
        sock.SocksUsername = field == 0 ? longText : "u";
        sock.SocksPassword = field == 1 ? longText : "p";
        sock.Connect(field == 2 ? longText : "target.test", "80");
        EXPECT_EQ(sock.LastError(), 10022) << field;
        EXPECT_EQ(sock.Socket(), -1);
    }
    // 255 bytes still fit.
    TTCPBlockSocket sock;
    sock.SocksUsername = std::string(255, 'u');
    sock.SocksPassword = std::string(255, 'p');
    EXPECT_TRUE(sock.SocksRequest(1, std::string(255, 'h'), "80") || sock.LastError() == 10038);
    EXPECT_NE(sock.LastError(), 10022);
    EXPECT_EQ(connections, 0);
}

TEST(Socks4Wire, Socks4aNameAndSocks4Address) {
    std::string named, plain;
    ScriptedPeer first([&](int fd) {
        named = RecvUntil(fd, std::string("example.test") + '\0');
        SendAll(fd, Bytes({0, 90, 0, 0, 0, 0, 0, 0}) + "hi\r\n");
        RecvExact(fd, 1);
    });
    TTCPBlockSocket a;
    a.SocksIP = "127.0.0.1";
    a.SocksPort = first.PortText();
    a.SocksType = ST_Socks4;
    a.SocksUsername = "bob";
    a.Connect("example.test", "8080");
    ASSERT_EQ(a.LastError(), 0);
    EXPECT_EQ(a.SocksLastError(), 90);
    EXPECT_EQ(a.RecvString(2000), "hi");
    a.SendString("x");
    first.Join();
    EXPECT_EQ(named,
              Bytes({4, 1, 0x1f, 0x90, 0, 0, 0, 1}) + "bob" + Bytes({0}) + "example.test" + Bytes({0}));

    ScriptedPeer second([&](int fd) {
        plain = RecvExact(fd, 9);
        SendAll(fd, Bytes({0, 91, 0, 0, 0, 0, 0, 0}));
        RecvExact(fd, 1, 1000);
    });
    TTCPBlockSocket b;
    b.SocksIP = "127.0.0.1";
    b.SocksPort = second.PortText();
    b.SocksType = ST_Socks4;
    b.Connect("127.0.0.1", "80");
    EXPECT_EQ(b.LastError(), 10061);
    EXPECT_EQ(b.SocksLastError(), 91);
    b.CloseSocket();
    second.Join();
    EXPECT_EQ(plain, Bytes({4, 1, 0, 80, 127, 0, 0, 1, 0}));
}

TEST(Socks4Wire, IPv6TargetAndNulInNamesAreRefused) {
    TTCPBlockSocket sock;
    sock.SocksIP = "127.0.0.1";
    sock.SocksPort = std::to_string(zt::test::FreeTcpPort());
    sock.SocksType = ST_Socks4;
    sock.SocksUsername = std::string("a\0b", 3);
    sock.Connect("127.0.0.1", "80");
    EXPECT_EQ(sock.LastError(), 10022);
    sock.SocksUsername.clear();
    sock.Connect(std::string("evil\0name", 9), "80");
    EXPECT_EQ(sock.LastError(), 10022);
}

TEST(HttpTunnelWire, RequestAndStatusRules) {
    struct Case {
        std::string Status;
        int Error;
    };
    const Case cases[] = {
        {"HTTP/1.1 200 Connection established", 0},
        {"HTTP/1.0 204 x", 0},
        {"HTTP/1.0 407 Proxy Authentication Required", 10091},
        {"HTTP/1.0 200", 0},
        {"HTTP/1.0 2", 10091},
        {"SOCKS/1.0 200 OK", 10091},
    };
    for (const auto& c : cases) {
        std::string request;
        ScriptedPeer proxy([&](int fd) {
            request = RecvUntil(fd, "\r\n\r\n");
            SendAll(fd, c.Status + "\r\nVia: test\r\n\r\nafter\r\n");
            RecvExact(fd, 1, 1000);
        });
        TTCPBlockSocket sock;
        sock.HTTPTunnelIP = "127.0.0.1";
        sock.HTTPTunnelPort = proxy.PortText();
        sock.HTTPTunnelUser = "u";
        sock.HTTPTunnelPass = "p";
        bool after = false;
        sock.OnAfterConnect = [&](TBlockSocket&) {
            after = true;
        };
        sock.Connect("::1", "80");
        EXPECT_EQ(sock.LastError(), c.Error) << c.Status;
        EXPECT_EQ(after, c.Error == 0);
        EXPECT_EQ(sock.HTTPTunnel(), c.Error == 0);
        if (c.Error == 0) {
            EXPECT_EQ(sock.RecvString(2000), "after");
            EXPECT_EQ(sock.GetRemoteSinIP(), "::1");
            EXPECT_EQ(sock.GetRemoteSinPort(), 80);
        }
        sock.SendString("x");
        proxy.Join();
        EXPECT_EQ(request, "CONNECT [::1]:80 HTTP/1.0\r\nProxy-Authorization: Basic dTpw\r\n\r\n");
    }
}

TEST(HttpTunnelWire, EndlessOrSilentProxyAndBadTargets) {
    {
        ScriptedPeer proxy([](int fd) {
            RecvUntil(fd, "\r\n\r\n");
            SendAll(fd, "HTTP/1.0 200 OK\r\n");
            for (int i = 0; i < 400; ++i)
                if (!SendAll(fd, "X-Filler: " + std::to_string(i) + "\r\n"))
                    return;
            RecvExact(fd, 1, 2000);
        });
        TTCPBlockSocket sock;
        sock.HTTPTunnelIP = "127.0.0.1";
        sock.HTTPTunnelPort = proxy.PortText();
        sock.Connect("127.0.0.1", "80");
        EXPECT_EQ(sock.LastError(), 10091); // header block cut off after a bounded number of lines
        sock.CloseSocket();
    }
    {
        ScriptedPeer proxy([](int fd) { RecvExact(fd, 1 << 16, 3000); });
        TTCPBlockSocket sock;
        sock.HTTPTunnelIP = "127.0.0.1";
        sock.HTTPTunnelPort = proxy.PortText();
        sock.HTTPTunnelTimeout = 200;
        sock.Connect("127.0.0.1", "80");
        EXPECT_EQ(sock.LastError(), 10060);
    }
    TTCPBlockSocket sock;
    sock.HTTPTunnelIP = "127.0.0.1";
    sock.HTTPTunnelPort = std::to_string(zt::test::FreeTcpPort());
    sock.Connect("host\r\nX-Injected: 1", "80");
    EXPECT_EQ(sock.LastError(), 10022);
    sock.HTTPTunnelUser = "u\r\nX: y";
    sock.Connect("host", "80");
    EXPECT_EQ(sock.LastError(), 10022);
    EXPECT_EQ(sock.Socket(), -1);
}
