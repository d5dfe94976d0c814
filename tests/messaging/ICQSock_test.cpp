// The send queue (chunks, concurrent appends), the proxy handshakes and the gateway's wire byte for
// byte, the utilities, and the sockets on loopback against servers of the test's own: a FLAP server,
// stand-in proxies that answer at once, and the HTTP gateway.
#include "messaging/ICQSock.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "messaging/ICQWorks.h"
#include "tests/messaging/messaging_helpers.h"

using namespace zt::msgtest;

namespace {

QByteArray Pattern(int Count, int Seed = 0) {
    QByteArray bytes(Count, '\0');
    for (int i = 0; i < Count; ++i)
        bytes[i] = static_cast<char>((i * 7 + Seed) % 253);
    return bytes;
}

TProxyTarget LoopbackTarget() {
    TProxyTarget target;
    target.Host = "login.example";
    target.Port = 5190;
    target.Address = 0x7F000001;
    return target;
}

QByteArray FeedAll(TProxyHandshake& Handshake, const QByteArray& Bytes) {
    return Handshake.Feed(Bytes.constData(), static_cast<int>(Bytes.size()));
}

// A hello frame built by the client, as the server must see it.
QByteArray ClientHello(quint16 Seq) {
    TRawPacket pkt;
    BuildHello(pkt, Seq);
    return PktBytes(pkt);
}

} // namespace

// ---------------------------------------------------------------------------------------------------
// Send queue

TEST(NetBuffer, LongAppendFillsSeveralChunks) {
    TNetBuffer buffer;
    const QByteArray data = Pattern(70000);
    buffer.Append(data.constData(), static_cast<int>(data.size()));
    EXPECT_EQ(buffer.ChunkCount(), 2);
    EXPECT_EQ(buffer.Total(), 70000);
    std::vector<char> area(NetChunkSize);
    ASSERT_EQ(buffer.Peek(area.data()), 65535);
    QByteArray out(area.data(), 65535);
    EXPECT_FALSE(buffer.Advance(1000));
    ASSERT_EQ(buffer.Peek(area.data()), 64535);
    EXPECT_TRUE(buffer.Advance(64535));
    buffer.Pop();
    ASSERT_EQ(buffer.Peek(area.data()), 4465);
    out.append(area.data(), 4465);
    EXPECT_EQ(out, data);
    EXPECT_TRUE(buffer.Advance(4465));
    buffer.Pop();
    EXPECT_EQ(buffer.Peek(area.data()), 0);
    EXPECT_FALSE(buffer.Advance(1));
    buffer.Pop();

    buffer.Append("abc", 0);
    buffer.Append("abc", -1);
    buffer.Append(nullptr, 3);
    EXPECT_EQ(buffer.ChunkCount(), 0);
    buffer.Append("abc", 3);
    buffer.Append("defgh", 5);
    EXPECT_EQ(buffer.Take(4), "abcd");
    // The total counts the first chunk whole, its sent byte included.
    EXPECT_EQ(buffer.Total(), 5);
    EXPECT_EQ(buffer.Take(100), "efgh");
    EXPECT_EQ(buffer.ChunkCount(), 0);
    buffer.Append("x", 1);
    buffer.Clear();
    EXPECT_EQ(buffer.Total(), 0);
}

TEST(NetBuffer, ConcurrentAppendsWhileDraining) {
    TNetBuffer buffer;
    constexpr int Writers = 6;
    constexpr int Records = 2000;
    constexpr int RecordSize = 100;
    std::atomic<int> done{0};
    std::vector<std::thread> writers;
    for (int w = 0; w < Writers; ++w)
        writers.emplace_back([&, w] {
            for (int r = 0; r < Records; ++r) {
                QByteArray record(RecordSize, static_cast<char>('A' + w));
                record[0] = static_cast<char>(w);
                record[1] = static_cast<char>(r >> 8);
                record[2] = static_cast<char>(r & 0xFF);
                buffer.Append(record.constData(), RecordSize);
            }
            ++done;
        });
    QByteArray drained;
    std::vector<char> area(NetChunkSize);
    std::thread reader([&] {
        while (done < Writers || buffer.ChunkCount() > 0) {
            buffer.Lock();
            const int count = buffer.Peek(area.data());
            if (count > 0) {
                // Half a chunk at a time, as a short send would.
                const int sent = std::max(1, count / 2);
                drained.append(area.data(), sent);
                if (buffer.Advance(sent))
                    buffer.Pop();
            }
            buffer.Unlock();
            if (count == 0)
                std::this_thread::yield();
        }
    });
    for (std::thread& t : writers)
        t.join();
    reader.join();
    ASSERT_EQ(drained.size(), Writers * Records * RecordSize);
    std::vector<int> next(Writers, 0);
    for (qsizetype at = 0; at < drained.size(); at += RecordSize) {
        const int w = drained[at];
        ASSERT_GE(w, 0);
        ASSERT_LT(w, Writers);
        const int r = static_cast<quint8>(drained[at + 1]) << 8 | static_cast<quint8>(drained[at + 2]);
        EXPECT_EQ(r, next[w]++);
        EXPECT_EQ(drained.mid(at + 3, RecordSize - 3),
                  QByteArray(RecordSize - 3, static_cast<char>('A' + w)));
    }
}

// ---------------------------------------------------------------------------------------------------
// Handshakes

TEST(ProxyHandshake, Socks4AndSocks4a) {
    TProxyTarget target = LoopbackTarget();
    TSocks4Handshake plain(target);
    EXPECT_EQ(HexOf(plain.Start()), "04 01 14 46 7f 00 00 01 00");
    target.Auth = true;
    target.UserID = "bob";
    TSocks4Handshake user(target);
    EXPECT_EQ(HexOf(user.Start()), "04 01 14 46 7f 00 00 01 62 6f 62 00");
    target.Auth = false;
    target.Resolve = true;
    TSocks4Handshake named(target);
    EXPECT_EQ(named.Start(), Hex("04 01 14 46 00 00 00 01 00") + "login.example" + QByteArray(1, '\0'));

    // The reply may come in pieces; the server's first bytes after it are passed on.
    EXPECT_TRUE(FeedAll(named, Hex("00 5A 00")).isEmpty());
    EXPECT_EQ(named.State(), THandshakeState::Running);
    FeedAll(named, Hex("00 00 00 00 00") + ServerHello());
    EXPECT_EQ(named.State(), THandshakeState::Done);
    EXPECT_EQ(named.TakeRest(), ServerHello());

    TSocks4Handshake refused(LoopbackTarget());
    refused.Start();
    FeedAll(refused, Hex("00 5B 00 00 00 00 00 00"));
    EXPECT_EQ(refused.State(), THandshakeState::Failed);
    EXPECT_EQ(refused.ErrorText(LANG_EN), "SOCKS4 server cannot connect to remote server");
    TSocks4Handshake closed(LoopbackTarget());
    closed.Closed();
    EXPECT_EQ(closed.ErrorNumber(), 15);
}

TEST(ProxyHandshake, Socks5WithoutAuthentication) {
    TProxyTarget target = LoopbackTarget();
    TSocks5Handshake by_address(target);
    EXPECT_EQ(HexOf(by_address.Start()), "05 01 00");
    EXPECT_EQ(HexOf(FeedAll(by_address, Hex("05 00"))), "05 01 00 01 7f 00 00 01 14 46");
    // The reply is read by its address type: a domain name here, then the server's first bytes.
    EXPECT_TRUE(FeedAll(by_address, Hex("05 00 00 03 04") + "abcd").isEmpty());
    EXPECT_EQ(by_address.State(), THandshakeState::Running);
    FeedAll(by_address, Hex("00 50") + ServerHello());
    ASSERT_EQ(by_address.State(), THandshakeState::Done);
    EXPECT_EQ(by_address.TakeRest(), ServerHello());

    target.Resolve = true;
    TSocks5Handshake by_name(target);
    by_name.Start();
    EXPECT_EQ(FeedAll(by_name, Hex("05 00")), Hex("05 01 00 03 0D") + "login.example" + Hex("14 46"));
    FeedAll(by_name, Hex("05 00 00 04") + QByteArray(16, '\0') + Hex("00 00") + "x");
    ASSERT_EQ(by_name.State(), THandshakeState::Done);
    EXPECT_EQ(by_name.TakeRest(), "x");

    TSocks5Handshake ipv4(LoopbackTarget());
    ipv4.Start();
    FeedAll(ipv4, Hex("05 00 05 00 00 01 7F 00 00 01 14 46"));
    EXPECT_EQ(ipv4.State(), THandshakeState::Done);
    EXPECT_TRUE(ipv4.TakeRest().isEmpty());

    TSocks5Handshake refused(LoopbackTarget());
    refused.Start();
    FeedAll(refused, Hex("05 00 05 05"));
    EXPECT_EQ(refused.State(), THandshakeState::Failed);
    EXPECT_EQ(refused.ErrorText(LANG_EN), "SOCKS5 server cannot connect to remote server");
    TSocks5Handshake no_method(LoopbackTarget());
    no_method.Start();
    FeedAll(no_method, Hex("05 FF"));
    EXPECT_EQ(no_method.ErrorText(LANG_EN), "Auth methods are not supported by SOCKS5 server");
    TSocks5Handshake odd_type(LoopbackTarget());
    odd_type.Start();
    FeedAll(odd_type, Hex("05 00 05 00 00 09 00"));
    EXPECT_EQ(odd_type.ErrorNumber(), 18);

    TProxyTarget longName = LoopbackTarget();
    longName.Resolve = true;
    longName.Host = QByteArray(256, 'h');
    TSocks5Handshake tooLong(longName);
    EXPECT_TRUE(tooLong.Start().isEmpty());
    EXPECT_EQ(tooLong.ErrorNumber(), 18);
}

TEST(ProxyHandshake, Socks5WithUserAndPassword) {
    TProxyTarget target = LoopbackTarget();
    target.Auth = true;
    target.UserID = "alice";
    target.Password = "s3cret";
    TSocks5Handshake ok(target);
    EXPECT_EQ(HexOf(ok.Start()), "05 01 02");
    EXPECT_EQ(FeedAll(ok, Hex("05 02")), Hex("01 05") + "alice" + Hex("06") + "s3cret");
    EXPECT_EQ(HexOf(FeedAll(ok, Hex("01 00"))), "05 01 00 01 7f 00 00 01 14 46");
    FeedAll(ok, Hex("05 00 00 01 00 00 00 00 00 00"));
    EXPECT_EQ(ok.State(), THandshakeState::Done);

    TSocks5Handshake wrong(target);
    wrong.Start();
    FeedAll(wrong, Hex("05 02"));
    FeedAll(wrong, Hex("01 01"));
    EXPECT_EQ(wrong.ErrorText(LANG_EN), "SOCKS5 server cannot authenticate");
    TSocks5Handshake closed(target);
    closed.Start();
    FeedAll(closed, Hex("05 02"));
    closed.Closed();
    EXPECT_EQ(closed.ErrorNumber(), 17);

    target.Password = QByteArray(256, 'p');
    TSocks5Handshake tooLong(target);
    EXPECT_TRUE(tooLong.Start().isEmpty());
    EXPECT_EQ(tooLong.ErrorNumber(), 17);
}

TEST(ProxyHandshake, HttpConnect) {
    TProxyTarget target = LoopbackTarget();
    THttpConnectHandshake plain(target);
    EXPECT_EQ(plain.Start(), "CONNECT 127.0.0.1:5190 HTTP/1.0\r\n"
                             "User-Agent: Mozilla/4.08 [en] (WinNT; U ;Nav)\r\n\r\n");
    target.Resolve = true;
    target.Auth = true;
    target.UserID = "alice";
    target.Password = "s3cret";
    THttpConnectHandshake named(target);
    EXPECT_EQ(named.Start(), "CONNECT login.example:5190 HTTP/1.0\r\n"
                             "User-Agent: Mozilla/4.08 [en] (WinNT; U ;Nav)\r\n"
                             "Proxy-Authorization: Basic YWxpY2U6czNjcmV0\r\n\r\n");

    // Status 200 succeeds whatever the reason phrase; the bytes after the empty line are data.
    FeedAll(plain, "HTTP/1.0 200 Connection established\r\nProxy-agent: x\r\n");
    EXPECT_EQ(plain.State(), THandshakeState::Running);
    FeedAll(plain, "\r\n" + ServerHello());
    ASSERT_EQ(plain.State(), THandshakeState::Done);
    EXPECT_EQ(plain.TakeRest(), ServerHello());
    THttpConnectHandshake ok(LoopbackTarget());
    FeedAll(ok, "HTTP/1.1 200 OK\r\n\r\n");
    EXPECT_EQ(ok.State(), THandshakeState::Done);

    THttpConnectHandshake denied(LoopbackTarget());
    FeedAll(denied, "HTTP/1.0 407 Proxy Authentication Required\r\nProxy-Authenticate: Basic\r\n\r\n");
    EXPECT_EQ(denied.State(), THandshakeState::Failed);
    EXPECT_EQ(denied.ErrorText(LANG_EN),
              "Http proxy returned invalid status: 407 Proxy Authentication Required");
    THttpConnectHandshake notTwoHundred(LoopbackTarget());
    FeedAll(notTwoHundred, "HTTP/1.0 2000 Odd\r\n\r\n");
    EXPECT_EQ(notTwoHundred.ErrorNumber(), 19);
    THttpConnectHandshake overflow(LoopbackTarget());
    FeedAll(overflow, QByteArray(HttpReplyArea, 'h'));
    EXPECT_EQ(overflow.ErrorText(LANG_EN), "Http proxy buffer overflow");
    THttpConnectHandshake late(LoopbackTarget());
    FeedAll(late, "HTTP/1.0 200 OK\r\n" + QByteArray(HttpReplyArea, 'h') + "\r\n\r\n");
    EXPECT_EQ(late.ErrorNumber(), 20);
}

TEST(NetUtilities, TextsAndPorts) {
    EXPECT_EQ(IPToText(0x7F000001), "127.0.0.1");
    EXPECT_EQ(IPToText(0xC6120A02), "198.18.10.2");
    EXPECT_EQ(Base64Encode("alice:s3cret"), "YWxpY2U6czNjcmV0");
    EXPECT_EQ(Base64Encode("a"), "YQ==");
    EXPECT_EQ(Base64Encode(""), "");
    EXPECT_EQ(HTTPStatusText("HTTP/1.0 407 Proxy Authentication Required\r\nX: y\r\n"),
              "407 Proxy Authentication Required");
    EXPECT_EQ(HTTPStatusText("HTTP/1.0"), "");
    EXPECT_EQ(HTTPStatusCode("HTTP/1.0 200 Connection established"), 200);
    EXPECT_EQ(HTTPStatusCode("HTTP/1.1 200"), 200);
    EXPECT_EQ(HTTPStatusCode("HTTP/1.1 20x OK"), -1);
    EXPECT_EQ(HTTPStatusCode("garbage"), -1);

    const quint16 first = PortRangeFirst;
    const quint16 last = PortRangeLast;
    PortRangeFirst = 5000;
    PortRangeLast = 4999;
    EXPECT_EQ(FindFreePort(), 0);
    // A port in use is passed over.
    const int busy = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    socklen_t length = sizeof address;
    ::bind(busy, reinterpret_cast<sockaddr*>(&address), length);
    ::listen(busy, 1);
    ::getsockname(busy, reinterpret_cast<sockaddr*>(&address), &length);
    const quint16 port = ntohs(address.sin_port);
    PortRangeFirst = port;
    PortRangeLast = port;
    EXPECT_EQ(FindFreePort(), 0);
    ::close(busy);
    EXPECT_EQ(FindFreePort(), port);
    PortRangeFirst = first;
    PortRangeLast = last;
}

// ---------------------------------------------------------------------------------------------------
// Gateway wire

TEST(GatewayWire, RequestsAndFrames) {
    TGatewaySession session;
    TGatewaySession::TSettings settings;
    settings.GatewayHost = "gw.example";
    settings.GatewayPort = 8080;
    settings.Destination = "login.example";
    settings.DestinationPort = 5190;
    session.Reset(settings);
    EXPECT_EQ(session.HelloRequest(), "GET http://gw.example:8080/hello HTTP/1.0\r\n"
                                      "user-agent: Mozilla/4.08 [en] (WinNT; U ;Nav)\r\n"
                                      "cache-control: no-store, no-cache\r\n"
                                      "host: gw.example:8080\r\n"
                                      "connection: close\r\n"
                                      "pragma: no-cache\r\n\r\n");
    settings.GatewayPort = 80;
    settings.Auth = true;
    settings.UserID = "alice";
    settings.Password = "s3cret";
    session.Reset(settings);
    EXPECT_EQ(session.HelloRequest(), "GET http://gw.example/hello HTTP/1.0\r\n"
                                      "user-agent: Mozilla/4.08 [en] (WinNT; U ;Nav)\r\n"
                                      "Proxy-Authorization: Basic YWxpY2U6czNjcmV0\r\n"
                                      "cache-control: no-store, no-cache\r\n"
                                      "host: gw.example\r\n"
                                      "connection: close\r\n"
                                      "pragma: no-cache\r\n\r\n");
    EXPECT_FALSE(session.HasSid());

    // The hello reply: the sid as 32 lower-case hex digits, then the data host and its port (LE).
    const QByteArray hello =
        Hex("00 1E 04 43 00 02 0123456789ABCDEF 00112233 FEDCBA98 00 06") + "dh.one" + Hex("90 1F");
    const TGatewaySession::TOutcome started = session.HandleBody(hello);
    EXPECT_TRUE(started.Started);
    EXPECT_EQ(session.Sid(), "0123456789abcdef00112233fedcba98");
    EXPECT_EQ(session.Host(), "dh.one");
    EXPECT_EQ(session.HostPort(), 8080);
    EXPECT_TRUE(session.LoginPending());

    EXPECT_EQ(session.DataRequest(QByteArray()),
              "POST http://dh.one:8080/data?sid=0123456789abcdef00112233fedcba98&seq=1 HTTP/1.0\r\n"
              "user-agent: Mozilla/4.08 [en] (WinNT; U ;Nav)\r\n"
              "content-length: 31\r\n"
              "Proxy-Authorization: Basic YWxpY2U6czNjcmV0\r\n"
              "cache-control: no-store, no-cache\r\n"
              "host: dh.one:8080\r\n"
              "connection: close\r\n"
              "pragma: no-cache\r\n\r\n" +
                  Hex("00 1D 04 43 00 03 00 00 00 00 00 00 00 01 00 0D") + "login.example" + Hex("14 46"));
    EXPECT_FALSE(session.LoginPending());
    const QByteArray data = session.DataRequest("abc");
    EXPECT_TRUE(data.startsWith("POST http://dh.one:8080/data?sid=0123456789abcdef00112233fedcba98&seq=2 "));
    EXPECT_TRUE(data.contains("\r\ncontent-length: 17\r\n"));
    EXPECT_TRUE(data.endsWith("\r\n\r\n" + Hex("00 0F 04 43 00 05 00 00 00 00 00 00 00 01") + "abc"));
    EXPECT_TRUE(session.MonitorRequest().startsWith(
        "GET http://dh.one:8080/monitor?sid=0123456789abcdef00112233fedcba98 HTTP/1.0\r\n"));
    // One data frame's length word stays within the gateway's limit.
    const QByteArray big = session.DataRequest(QByteArray(20000, 'b'));
    EXPECT_TRUE(big.contains("\r\ncontent-length: 8194\r\n"));

    // Data frames give their FLAP bytes; a close frame ends the session.
    const QByteArray body = GatewayFrame(GW_DATA, ServerHello()) + GatewayFrame(9, "skip") +
                            GatewayFrame(GW_DATA, "more") + GatewayFrame(GW_CLOSE, QByteArray()) +
                            GatewayFrame(GW_DATA, "after");
    const TGatewaySession::TOutcome outcome = session.HandleBody(body);
    EXPECT_EQ(outcome.FlapData, ServerHello() + "more");
    EXPECT_TRUE(outcome.Closed);
    EXPECT_FALSE(outcome.Started);
}

TEST(GatewayWire, CuttingStopsAtABadLength) {
    const QByteArray good = GatewayFrame(GW_DATA, "abcd");
    EXPECT_EQ(HexOf(good), "00 10 04 43 00 05 00 00 00 00 00 00 00 01 61 62 63 64");
    EXPECT_EQ(CutGatewayFrames(good + good).size(), 2);
    EXPECT_EQ(CutGatewayFrames(good + Hex("00 0B") + QByteArray(11, 'x') + good).size(), 1);
    EXPECT_EQ(CutGatewayFrames(Hex("20 01") + QByteArray(8193, 'x')).size(), 0);
    EXPECT_EQ(CutGatewayFrames(Hex("20 00 04 43 00 05") + QByteArray(8188, 'x')).size(), 1);
    EXPECT_EQ(CutGatewayFrames(good + good.left(10)).size(), 1);
    EXPECT_EQ(GatewayUrl("h", 80, "/hello"), "http://h/hello");
    EXPECT_EQ(GatewayUrl("h", 81, "/hello"), "http://h:81/hello");
    // A hello reply too short for its fields changes nothing.
    TGatewaySession session;
    session.Reset({});
    EXPECT_FALSE(session.HandleBody(Hex("00 0C 04 43 00 02") + QByteArray(10, '\0')).Started);
    EXPECT_FALSE(session.HasSid());
}

TEST(GatewayWire, HttpReplies) {
    THttpReply sized;
    EXPECT_EQ(sized.Feed("HTTP/1.0 200 OK\r\nContent-Length: 3\r\n\r\nab", 40), THttpReply::Incomplete);
    EXPECT_EQ(sized.Feed("cdef", 4), THttpReply::Complete);
    EXPECT_EQ(sized.Code(), 200);
    EXPECT_EQ(sized.Body(), "abc");
    THttpReply untilClose;
    const QByteArray reply = "HTTP/1.1 200 Fine\r\nServer: x\r\n\r\nbody";
    untilClose.Feed(reply.constData(), static_cast<int>(reply.size()));
    EXPECT_EQ(untilClose.State(), THttpReply::Incomplete);
    EXPECT_EQ(untilClose.Finish(), THttpReply::Complete);
    EXPECT_EQ(untilClose.Body(), "body");
    EXPECT_EQ(untilClose.StatusText(), "200 Fine");
    THttpReply cut;
    cut.Feed("HTTP/1.0 502 Bad", 16);
    EXPECT_EQ(cut.Finish(), THttpReply::Incomplete);
    EXPECT_EQ(cut.StatusText(), "502 Bad");
    THttpReply full;
    const QByteArray huge(GatewayReplyArea + 1, 'x');
    EXPECT_EQ(full.Feed(huge.constData(), static_cast<int>(huge.size())), THttpReply::Overflow);
}

// ---------------------------------------------------------------------------------------------------
// Sockets on loopback

TEST(EventSocket, GracefulCloseIsADisconnect) {
    TFlapServer server;
    TEventSocket socket;
    int connects = 0, disconnects = 0, errors = 0, failures = 0;
    QByteArray received;
    socket.OnConnect = [&] {
        ++connects;
    };
    socket.OnDisconnect = [&] {
        ++disconnects;
    };
    socket.OnError = [&](int, const QString&) {
        ++errors;
    };
    socket.OnConnectError = [&] {
        ++failures;
    };
    socket.OnDataAvailable = [&](const char* Data, int Length) {
        received.append(Data, Length);
    };
    socket.Host = "127.0.0.1";
    socket.Port = server.Port();
    socket.Connect();
    ASSERT_TRUE(WaitFor([&] { return received == ServerHello(); }));
    EXPECT_EQ(connects, 1);
    EXPECT_TRUE(socket.Connected());
    EXPECT_GE(socket.Handle(), 0);
    server.SendToLast("last words");
    server.CloseLast();
    ASSERT_TRUE(WaitFor([&] { return disconnects > 0; }));
    EXPECT_EQ(received, ServerHello() + "last words");
    EXPECT_EQ(errors, 0);
    EXPECT_EQ(failures, 0);
    EXPECT_FALSE(socket.Active());
    EXPECT_EQ(socket.Handle(), -1);
}

TEST(EventSocket, LongSendArrivesWholeAndDrainsOnce) {
    TFlapServer server;
    TEventSocket socket;
    int sent = 0;
    socket.OnDataSent = [&] {
        ++sent;
    };
    socket.Host = "localhost";
    socket.Port = server.Port();
    const QByteArray data = Pattern(70000, 3);
    socket.Connect();
    // Queued before the connection stands; it goes out once connected.
    socket.Send(data.constData(), static_cast<int>(data.size()));
    ASSERT_TRUE(server.WaitReceived(70000));
    EXPECT_EQ(server.Received(), data);
    ASSERT_TRUE(WaitFor([&] { return sent > 0; }));
    Pump(100);
    EXPECT_EQ(sent, 1);

    // What is queued at a close still goes out.
    socket.SendText("bye");
    socket.Disconnect();
    ASSERT_TRUE(server.WaitReceived(70003));
    EXPECT_TRUE(server.Received().endsWith("bye"));
    ASSERT_TRUE(WaitFor([&] { return server.ClosedCount() == 1; }));
}

TEST(EventSocket, SendsFromOtherThreads) {
    TFlapServer server;
    TEventSocket socket;
    socket.Host = "127.0.0.1";
    socket.Port = server.Port();
    socket.Connect();
    ASSERT_TRUE(WaitFor([&] { return socket.Connected(); }));
    std::vector<std::thread> senders;
    for (int t = 0; t < 4; ++t)
        senders.emplace_back([&, t] {
            const QByteArray record(50, static_cast<char>('a' + t));
            for (int i = 0; i < 200; ++i)
                socket.Send(record.constData(), 50);
        });
    for (std::thread& t : senders)
        t.join();
    ASSERT_TRUE(WaitFor([&] { return server.Received().size() >= 4 * 200 * 50; }, 10000));
    const QByteArray got = server.Received();
    for (qsizetype at = 0; at < got.size(); at += 50)
        EXPECT_EQ(got.mid(at, 50), QByteArray(50, got[at])) << at;
}

TEST(ServerConnection, CarriesFramesBothWays) {
    TFlapServer server;
    TICQNet net;
    TNetRecorder rec(net);
    net.Host = "127.0.0.1";
    net.Port = server.Port();
    net.Connect();
    ASSERT_TRUE(WaitFor([&] { return !rec.Frames.empty(); }));
    EXPECT_EQ(rec.Frames[0].Header.Channel, 1);
    EXPECT_EQ(rec.Frames[0].Header.Seq, 1);
    EXPECT_EQ(rec.Frames[0].Payload, Hex("00 00 00 01"));
    EXPECT_EQ(rec.DumpsIn.at(0), ServerHello());

    TRawPacket pkt;
    quint16 seq = 0x0102;
    BuildLoginFrame(pkt, 123456789, "secret", seq, false);
    net.Send(pkt);
    ASSERT_TRUE(server.WaitReceived(pkt.Len));
    EXPECT_EQ(HexOf(server.Received()), HexOf(pkt));
    EXPECT_EQ(rec.DumpsOut.at(0), PktBytes(pkt));

    // Frames split across reads and several in one read.
    server.SendToLast(Hex("2A 02 00 02 00 02 AA"));
    Pump(50);
    server.SendToLast(Hex("BB 2A 05 00 03 00 00"));
    ASSERT_TRUE(WaitFor([&] { return rec.Frames.size() == 3; }));
    EXPECT_EQ(rec.Frames[1].Payload, Hex("AA BB"));
    EXPECT_EQ(rec.Frames[2].Header.Channel, 5);

    server.CloseLast();
    ASSERT_TRUE(WaitFor([&] { return rec.Disconnects == 1; }));
    EXPECT_FALSE(rec.Failed());
    EXPECT_FALSE(net.Active());
}

TEST(ServerConnection, OversizedHeaderClosesBothSockets) {
    TFlapServer server(Hex("2A 02 00 01 20 01"));
    TICQNet net;
    TNetRecorder rec(net);
    net.Host = "127.0.0.1";
    net.Port = server.Port();
    net.Connect();
    ASSERT_TRUE(WaitFor([&] { return !rec.Errors.empty(); }));
    EXPECT_EQ(rec.Errors[0].first, ERR_PROTOCOL);
    EXPECT_EQ(rec.Errors[0].second, GetICQErrorText(LANG_EN, 1));
    ASSERT_TRUE(WaitFor([&] { return server.ClosedCount() == 1; }));
    EXPECT_EQ(rec.Disconnects, 0);
    EXPECT_FALSE(net.Active());
}

TEST(ServerConnection, RefusedPortAndLanguageAtOnce) {
    const int port = zt::test::FreeTcpPort();
    TICQNet net;
    TNetRecorder rec(net);
    net.Host = "127.0.0.1";
    net.Port = static_cast<quint16>(port);
    net.Connect();
    ASSERT_TRUE(WaitFor([&] { return !rec.ConnectErrors.empty(); }));
    EXPECT_EQ(rec.ConnectErrors[0].first, ERR_SOCKET);
    EXPECT_EQ(rec.ConnectErrors[0].second, "Could not connect");
    EXPECT_TRUE(rec.Errors.empty());

    // The language of a connection already under way changes at once.
    net.Connect();
    net.SetLanguage(LANG_DE);
    ASSERT_TRUE(WaitFor([&] { return rec.ConnectErrors.size() == 2; }));
    EXPECT_EQ(rec.ConnectErrors[1].second, "Verbindung konnte nicht hergestellt werden");
}

TEST(ServerConnection, ConnectWhileBusyClosesFirst) {
    TFlapServer first;
    TFlapServer second(Hex("2A 01 00 07 00 04 00 00 00 01"));
    TICQNet net;
    TNetRecorder rec(net);
    net.Host = "127.0.0.1";
    net.Port = first.Port();
    net.Connect();
    ASSERT_TRUE(WaitFor([&] { return rec.Frames.size() == 1; }));
    net.Port = second.Port();
    net.Connect();
    ASSERT_TRUE(WaitFor([&] { return first.ClosedCount() == 1; }));
    ASSERT_TRUE(WaitFor([&] { return rec.Frames.size() == 2; }));
    EXPECT_EQ(rec.Frames[1].Header.Seq, 7);
    // Nothing of the first connection reaches the second, not even its close.
    first.SendToLast(Hex("2A 05 00 09 00 00"));
    Pump(200);
    EXPECT_EQ(rec.Frames.size(), 2u);
    EXPECT_EQ(rec.Disconnects, 0);
    EXPECT_FALSE(rec.Failed());
    net.Disconnect();
    EXPECT_EQ(rec.Disconnects, 1);
    ASSERT_TRUE(WaitFor([&] { return second.ClosedCount() == 1; }));
}

// Stand-in proxies answer at once, before the request is read: the handshakes still take their replies
// in order and pass the server's first bytes on.
TEST(ServerConnection, ProxyKindsAgainstStandInProxies) {
    struct TCase {
        TProxyType Kind;
        bool Resolve;
        QByteArray Reply;
        QByteArray Request;
    };
    const TCase cases[] = {
        {P_SOCKS4, false, Hex("00 5A 00 00 00 00 00 00"), Hex("04 01 14 46 7F 00 00 01 00")},
        {P_SOCKS4, true, Hex("00 5A 00 00 00 00 00 00"),
         Hex("04 01 14 46 00 00 00 01 00") + "localhost" + Hex("00")},
        {P_SOCKS5, false, Hex("05 00 05 00 00 01 7F 00 00 01 14 46"),
         Hex("05 01 00 05 01 00 01 7F 00 00 01 14 46")},
        {P_SOCKS5, true, Hex("05 00 05 00 00 03 02") + "ab" + Hex("00 00"),
         Hex("05 01 00 05 01 00 03 09") + "localhost" + Hex("14 46")},
        {P_HTTPS, false, "HTTP/1.0 200 Connection established\r\n\r\n",
         "CONNECT 127.0.0.1:5190 HTTP/1.0\r\nUser-Agent: Mozilla/4.08 [en] (WinNT; U ;Nav)\r\n\r\n"},
        {P_HTTPS, true, "HTTP/1.1 200 OK\r\n\r\n",
         "CONNECT localhost:5190 HTTP/1.0\r\nUser-Agent: Mozilla/4.08 [en] (WinNT; U ;Nav)\r\n\r\n"},
    };
    for (const TCase& c : cases) {
        TFlapServer proxy(c.Reply + ServerHello());
        TICQNet net;
        TNetRecorder rec(net);
        net.ProxyType = c.Kind;
        net.ProxyHost = "127.0.0.1";
        net.ProxyPort = proxy.Port();
        net.ProxyResolve = c.Resolve;
        // Without the resolve flag the socket resolves the name itself.
        net.Host = "localhost";
        net.Port = 5190;
        net.Connect();
        ASSERT_TRUE(WaitFor([&] { return !rec.Frames.empty() || rec.Failed(); })) << c.Kind;
        ASSERT_FALSE(rec.Failed()) << c.Kind << " " << rec.ConnectErrors.at(0).second.toStdString();
        EXPECT_EQ(rec.Frames[0].Payload, Hex("00 00 00 01"));
        const QByteArray hello = ClientHello(5);
        net.Send(hello.constData(), static_cast<int>(hello.size()));
        EXPECT_TRUE(proxy.WaitReceived(static_cast<int>(c.Request.size()) + 10)) << HexOf(proxy.Received());
        EXPECT_EQ(HexOf(proxy.Received()), HexOf(c.Request + ClientHello(5))) << c.Kind << " " << c.Resolve;
    }
}

TEST(ServerConnection, ProxyRefusalsAndCloses) {
    const std::pair<QByteArray, QString> cases[] = {
        {Hex("00 5B 00 00 00 00 00 00"), "SOCKS4 server cannot connect to remote server"},
        {QByteArray(), "SOCKS4 server cannot connect to remote server"},
    };
    for (const auto& [reply, text] : cases) {
        TFlapServer proxy(reply);
        TICQNet net;
        TNetRecorder rec(net);
        net.ProxyType = P_SOCKS4;
        net.ProxyHost = "127.0.0.1";
        net.ProxyPort = proxy.Port();
        net.Host = "127.0.0.1";
        net.Port = 5190;
        net.Connect();
        if (reply.isEmpty()) {
            ASSERT_TRUE(proxy.WaitReceived(9));
            proxy.CloseLast();
        }
        ASSERT_TRUE(WaitFor([&] { return rec.Failed(); }));
        ASSERT_EQ(rec.ConnectErrors.size(), 1u);
        EXPECT_EQ(rec.ConnectErrors[0].first, ERR_PROXY);
        EXPECT_EQ(rec.ConnectErrors[0].second, text);
        EXPECT_EQ(rec.Disconnects, 0);
    }
    // An unreachable proxy is a socket failure.
    TICQNet net;
    TNetRecorder rec(net);
    net.ProxyType = P_SOCKS5;
    net.ProxyHost = "127.0.0.1";
    net.ProxyPort = static_cast<quint16>(zt::test::FreeTcpPort());
    net.Host = "127.0.0.1";
    net.Port = 5190;
    net.Connect();
    ASSERT_TRUE(WaitFor([&] { return rec.Failed(); }));
    ASSERT_EQ(rec.ConnectErrors.size(), 1u);
    EXPECT_EQ(rec.ConnectErrors[0].first, ERR_SOCKET);
    EXPECT_EQ(rec.ConnectErrors[0].second, "Could not connect");
}

TEST(ServerConnection, GatewayCarriesFramesBothWays) {
    TFlapServer server;
    TGatewayServer gateway;
    TICQNet net;
    TNetRecorder rec(net);
    net.ProxyType = P_HTTP;
    net.HTTPHost = "127.0.0.1";
    net.HTTPPort = gateway.Port();
    net.Host = "127.0.0.1";
    net.Port = server.Port();
    net.Connect();
    ASSERT_TRUE(WaitFor([&] { return !rec.Frames.empty() || rec.Failed(); }, 10000));
    ASSERT_FALSE(rec.Failed());
    EXPECT_EQ(rec.Frames[0].Payload, Hex("00 00 00 01"));

    ExpectRoundTrip(net, rec, server, Hex("2A 05 00 02 00 00"));
    TRawPacket pkt;
    quint16 seq = 0x2222;
    BuildLoginFrame(pkt, 123456789, "secret", seq, false);

    const std::vector<QByteArray> requests = gateway.Requests();
    ASSERT_GE(requests.size(), 4u);
    const QByteArray port = QByteArray::number(gateway.Port());
    EXPECT_EQ(requests[0], "GET http://127.0.0.1:" + port +
                               "/hello HTTP/1.0\r\n"
                               "user-agent: Mozilla/4.08 [en] (WinNT; U ;Nav)\r\n"
                               "cache-control: no-store, no-cache\r\n"
                               "host: 127.0.0.1:" +
                               port +
                               "\r\n"
                               "connection: close\r\n"
                               "pragma: no-cache\r\n\r\n");
    const QByteArray sid = "sid=" + TGatewayServer::SidBytes().toHex();
    bool login = false, data = false, monitor = false;
    for (const QByteArray& request : requests) {
        if (request.startsWith("POST http://127.0.0.1:" + port + "/data?" + sid + "&seq=1 HTTP/1.0\r\n")) {
            login = true;
            QByteArray frame = Hex("00 19 04 43 00 03 00 00 00 00 00 00 00 01 00 09") + "127.0.0.1";
            frame.append(char(server.Port() >> 8)).append(char(server.Port() & 0xFF));
            EXPECT_TRUE(request.endsWith("\r\n\r\n" + frame)) << HexOf(request);
        }
        if (request.startsWith("POST http://127.0.0.1:" + port + "/data?" + sid + "&seq=2 HTTP/1.0\r\n")) {
            data = true;
            EXPECT_TRUE(request.endsWith(GatewayFrame(GW_DATA, PktBytes(pkt))));
        }
        monitor |= request.startsWith("GET http://127.0.0.1:" + port + "/monitor?" + sid + " HTTP/1.0\r\n");
    }
    EXPECT_TRUE(login);
    EXPECT_TRUE(data);
    EXPECT_TRUE(monitor);

    gateway.CloseOnMonitor();
    ASSERT_TRUE(WaitFor([&] { return rec.Failed(); }, 10000));
    ASSERT_EQ(rec.ConnectErrors.size(), 1u);
    EXPECT_EQ(rec.ConnectErrors[0].first, ERR_PROXY);
    EXPECT_EQ(rec.ConnectErrors[0].second,
              "Could not initialize connection through HTTP proxy, please retry");
    EXPECT_FALSE(net.Active());
}

TEST(EventSocket, AdoptedHandleAndThrowingHandler) {
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
    TEventSocket socket;
    int connects = 0;
    QString exception;
    socket.OnConnect = [&] {
        ++connects;
    };
    socket.OnDataAvailable = [&](const char* Data, int Length) {
        if (QByteArray(Data, Length).contains("boom"))
            throw std::runtime_error("handler failed");
        socket.Send(Data, Length);
    };
    socket.OnThreadException = [&](const QString& Text) {
        exception = Text;
    };
    ASSERT_TRUE(socket.Adopt(pair[0]));
    EXPECT_FALSE(socket.Adopt(pair[0]));
    ASSERT_TRUE(WaitFor([&] { return connects == 1; }));
    ASSERT_EQ(::send(pair[1], "echo", 4, 0), 4);
    char back[8] = {};
    ASSERT_TRUE(WaitFor([&] { return ::recv(pair[1], back, sizeof back, MSG_DONTWAIT) == 4; }));
    EXPECT_EQ(QByteArray(back, 4), "echo");
    // An exception from a handler ends the connection and is reported, never crossing the event loop.
    ASSERT_EQ(::send(pair[1], "boom", 4, 0), 4);
    ASSERT_TRUE(WaitFor([&] { return !exception.isEmpty(); }));
    EXPECT_EQ(exception, "handler failed");
    EXPECT_FALSE(socket.Active());
    ::close(pair[1]);
}
