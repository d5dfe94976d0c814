// Servers and helpers shared by the messaging transport tests (see messaging_helpers.h).
#include "tests/messaging/messaging_helpers.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <arpa/inet.h>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zt::msgtest {

QByteArray Hex(const char* Text) {
    return QByteArray::fromHex(QByteArray(Text).replace(' ', ""));
}

std::string HexOf(const QByteArray& Bytes) {
    return Bytes.toHex(' ').toStdString();
}

std::string HexOf(const TRawPacket& Pkt) {
    return HexOf(PktBytes(Pkt));
}

bool WaitFor(const std::function<bool()>& Done, int LimitMs) {
    QElapsedTimer timer;
    timer.start();
    while (!Done()) {
        if (timer.elapsed() > LimitMs)
            return Done();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

void Pump(int Ms) {
    WaitFor([] { return false; }, Ms);
}

QByteArray ServerHello() {
    return Hex("2A 01 00 01 00 04 00 00 00 01");
}

namespace {

// A listening socket on 127.0.0.1 with a port of the kernel's choice.
int ListenLoopback(quint16& Port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), length);
    ::listen(fd, 16);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    Port = ntohs(address.sin_port);
    return fd;
}

void SendAll(int Fd, const QByteArray& Bytes) {
    qsizetype at = 0;
    while (at < Bytes.size()) {
        const ssize_t sent =
            ::send(Fd, Bytes.constData() + at, static_cast<size_t>(Bytes.size() - at), MSG_NOSIGNAL);
        if (sent <= 0)
            return;
        at += sent;
    }
}

void SetReceiveTimeout(int Fd, int Ms) {
    timeval tv{Ms / 1000, (Ms % 1000) * 1000};
    ::setsockopt(Fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
}

quint32 BE16(const QByteArray& Bytes, qsizetype At) {
    return static_cast<quint8>(Bytes[At]) << 8 | static_cast<quint8>(Bytes[At + 1]);
}

// One gateway frame: length (payload + 12), version 0x0443, type, eight bytes, payload.
QByteArray Frame(quint16 Type, const QByteArray& Payload) {
    QByteArray out;
    const int length = static_cast<int>(Payload.size()) + 12;
    out.append(char(length >> 8)).append(char(length & 0xFF));
    out.append(char(0x04)).append(char(0x43));
    out.append(char(Type >> 8)).append(char(Type & 0xFF));
    out.append(QByteArray(7, '\0')).append(char(1));
    return out + Payload;
}

QByteArray HttpOk(const QByteArray& Body) {
    return "HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
           QByteArray::number(Body.size()) + "\r\nConnection: close\r\n\r\n" + Body;
}

} // namespace

// ---------------------------------------------------------------------------------------------------
// TFlapServer

TFlapServer::TFlapServer(QByteArray Greeting) : FGreeting(std::move(Greeting)) {
    FListen = ListenLoopback(FPort);
    if (::pipe2(FWake, O_CLOEXEC) != 0)
        FWake[0] = FWake[1] = -1;
    FThread = std::thread([this] { Run(); });
}

TFlapServer::~TFlapServer() {
    FStop = true;
    if (FWake[1] >= 0)
        (void)!::write(FWake[1], "x", 1);
    FThread.join();
    for (TClient& client : FClients)
        if (client.Fd >= 0)
            ::close(client.Fd);
    ::close(FListen);
    ::close(FWake[0]);
    ::close(FWake[1]);
}

void TFlapServer::Run() {
    while (!FStop) {
        std::vector<pollfd> fds{{FListen, POLLIN, 0}, {FWake[0], POLLIN, 0}};
        std::vector<std::size_t> owners;
        {
            std::lock_guard guard(FLock);
            for (std::size_t i = 0; i < FClients.size(); ++i)
                if (FClients[i].Fd >= 0) {
                    fds.push_back({FClients[i].Fd, POLLIN, 0});
                    owners.push_back(i);
                }
        }
        if (::poll(fds.data(), fds.size(), 100) <= 0)
            continue;
        if (fds[0].revents & POLLIN) {
            const int fd = ::accept4(FListen, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) {
                SendAll(fd, FGreeting);
                std::lock_guard guard(FLock);
                FClients.push_back(TClient{fd, {}, false});
            }
        }
        for (std::size_t i = 2; i < fds.size(); ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            char buffer[65536];
            const ssize_t got = ::recv(fds[i].fd, buffer, sizeof buffer, 0);
            std::lock_guard guard(FLock);
            TClient& client = FClients[owners[i - 2]];
            if (got > 0) {
                client.Bytes.append(buffer, got);
            } else {
                ::close(client.Fd);
                client.Fd = -1;
                client.Closed = true;
            }
        }
    }
}

int TFlapServer::Connections() const {
    std::lock_guard guard(FLock);
    return static_cast<int>(FClients.size());
}

QByteArray TFlapServer::Received() const {
    std::lock_guard guard(FLock);
    return FClients.empty() ? QByteArray() : FClients.back().Bytes;
}

int TFlapServer::ClosedCount() const {
    std::lock_guard guard(FLock);
    int count = 0;
    for (const TClient& client : FClients)
        count += client.Closed ? 1 : 0;
    return count;
}

void TFlapServer::SendToLast(const QByteArray& Bytes) {
    std::lock_guard guard(FLock);
    if (!FClients.empty() && FClients.back().Fd >= 0)
        SendAll(FClients.back().Fd, Bytes);
}

void TFlapServer::CloseLast() {
    std::lock_guard guard(FLock);
    if (!FClients.empty() && FClients.back().Fd >= 0)
        ::shutdown(FClients.back().Fd, SHUT_RDWR);
}

bool TFlapServer::WaitReceived(int Count, int LimitMs) const {
    return WaitFor([&] { return Received().size() >= Count; }, LimitMs);
}

// ---------------------------------------------------------------------------------------------------
// TGatewayServer

TGatewayServer::TGatewayServer() {
    FListen = ListenLoopback(FPort);
    FAcceptor = std::thread([this] { Accept(); });
}

TGatewayServer::~TGatewayServer() {
    FStop = true;
    FChanged.notify_all();
    FAcceptor.join();
    {
        std::lock_guard guard(FLock);
        for (const int fd : FOpen)
            ::shutdown(fd, SHUT_RDWR);
        if (FUpstream >= 0)
            ::shutdown(FUpstream, SHUT_RDWR);
    }
    for (std::thread& thread : FThreads)
        thread.join();
    for (const int fd : FOpen)
        ::close(fd);
    if (FUpstream >= 0)
        ::close(FUpstream);
    ::close(FListen);
}

QByteArray TGatewayServer::SidBytes() {
    return Hex("0123456789abcdef 00112233 fedcba98");
}

std::vector<QByteArray> TGatewayServer::Requests() const {
    std::lock_guard guard(FLock);
    return FRequests;
}

void TGatewayServer::Accept() {
    while (!FStop) {
        pollfd fd{FListen, POLLIN, 0};
        if (::poll(&fd, 1, 100) <= 0)
            continue;
        const int client = ::accept4(FListen, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            continue;
        std::lock_guard guard(FLock);
        FOpen.push_back(client);
        FThreads.emplace_back([this, client] { Serve(client); });
    }
}

void TGatewayServer::Serve(int Fd) {
    SetReceiveTimeout(Fd, 5000);
    QByteArray request;
    qsizetype headerEnd = -1;
    qint64 contentLength = 0;
    while (!FStop) {
        char buffer[16384];
        const ssize_t got = ::recv(Fd, buffer, sizeof buffer, 0);
        if (got <= 0)
            return;
        request.append(buffer, got);
        if (headerEnd < 0 && (headerEnd = request.indexOf("\r\n\r\n")) >= 0) {
            for (const QByteArray& line : request.left(headerEnd).split('\n'))
                if (line.trimmed().toLower().startsWith("content-length:"))
                    contentLength = line.trimmed().mid(15).trimmed().toLongLong();
        }
        if (headerEnd >= 0 && request.size() >= headerEnd + 4 + contentLength)
            break;
    }
    {
        std::lock_guard guard(FLock);
        FRequests.push_back(request);
    }
    const QByteArray line = request.left(request.indexOf("\r\n"));
    QByteArray body;
    if (line.contains("/hello")) {
        // After length, version and type: the sid, the data host, its port (LE).
        QByteArray payload = SidBytes();
        payload.append(char(0)).append(char(9)).append("127.0.0.1");
        payload.append(char(FPort & 0xFF)).append(char(FPort >> 8));
        const int length = static_cast<int>(payload.size()) + 4;
        body.append(char(length >> 8)).append(char(length & 0xFF)).append(char(0x04)).append(char(0x43));
        body.append(char(0)).append(char(2)).append(payload);
    } else if (line.contains("/data")) {
        const QByteArray frames = request.mid(headerEnd + 4);
        for (qsizetype at = 0; at + 14 <= frames.size();) {
            const qsizetype length = BE16(frames, at);
            const quint32 type = BE16(frames, at + 4);
            const QByteArray payload = frames.mid(at + 14, length - 12);
            at += 2 + length;
            if (type == 3 && payload.size() >= 2) {
                const qsizetype hostLength = BE16(payload, 0);
                const quint16 port = static_cast<quint16>(BE16(payload, 2 + hostLength));
                const int up = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
                sockaddr_in address{};
                address.sin_family = AF_INET;
                address.sin_port = htons(port);
                ::inet_pton(AF_INET, payload.mid(2, hostLength).constData(), &address.sin_addr);
                if (::connect(up, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
                    std::lock_guard guard(FLock);
                    FUpstream = up;
                    FThreads.emplace_back([this, up] { Upstream(up); });
                } else {
                    ::close(up);
                }
            } else if (type == 5) {
                std::lock_guard guard(FLock);
                if (FUpstream >= 0)
                    SendAll(FUpstream, payload);
            }
        }
    } else if (line.contains("/monitor")) {
        body = MonitorBody();
    }
    SendAll(Fd, HttpOk(body));
    ::shutdown(Fd, SHUT_WR);
}

QByteArray TGatewayServer::MonitorBody() {
    std::unique_lock guard(FLock);
    FChanged.wait_for(guard, std::chrono::milliseconds(1000),
                      [&] { return FStop || FCloseOnMonitor || !FPending.isEmpty(); });
    if (FCloseOnMonitor)
        return Frame(7, QByteArray());
    QByteArray body;
    while (!FPending.isEmpty()) {
        body += Frame(5, FPending.left(GatewayDataMax));
        FPending.remove(0, GatewayDataMax);
    }
    return body;
}

void TGatewayServer::Upstream(int Fd) {
    while (!FStop) {
        pollfd fd{Fd, POLLIN, 0};
        if (::poll(&fd, 1, 100) <= 0)
            continue;
        char buffer[16384];
        const ssize_t got = ::recv(Fd, buffer, sizeof buffer, 0);
        if (got <= 0)
            return;
        std::lock_guard guard(FLock);
        FPending.append(buffer, got);
        FChanged.notify_all();
    }
}

// ---------------------------------------------------------------------------------------------------
// TNetRecorder and TProxyPeer

TNetRecorder::TNetRecorder(TICQNet& Net) {
    Net.OnHandlePkt = [this](const TFlapHeader& Header, const quint8* Payload, int Length) {
        Frames.push_back(TFrame{Header, QByteArray(reinterpret_cast<const char*>(Payload), Length)});
    };
    Net.OnError = [this](TErrorType Type, const QString& Text) {
        Errors.emplace_back(Type, Text);
    };
    Net.OnConnectError = [this](TErrorType Type, const QString& Text) {
        ConnectErrors.emplace_back(Type, Text);
    };
    Net.OnDisconnect = [this] {
        ++Disconnects;
    };
    Net.OnPktDump = [this](const QString&, bool Incoming, int Length, const quint8* Buffer, quint16) {
        (Incoming ? DumpsIn : DumpsOut).emplace_back(reinterpret_cast<const char*>(Buffer), Length);
    };
}

void ExpectRoundTrip(TICQNet& Net, TNetRecorder& Rec, TFlapServer& Server, const QByteArray& Reply,
                     int LimitMs) {
    TRawPacket pkt;
    quint16 seq = 0x2222;
    BuildLoginFrame(pkt, 123456789, "secret", seq, false);
    const std::size_t frames = Rec.Frames.size();
    Net.Send(pkt);
    ASSERT_TRUE(Server.WaitReceived(pkt.Len, LimitMs));
    EXPECT_EQ(HexOf(Server.Received()), HexOf(pkt));
    EXPECT_EQ(Rec.DumpsOut.back(), PktBytes(pkt));
    Server.SendToLast(Reply);
    ASSERT_TRUE(WaitFor([&] { return Rec.Frames.size() == frames + 1; }, LimitMs));
    EXPECT_EQ(HexOf(Rec.DumpsIn.back()), HexOf(Reply));
}

TProxyPeer::TProxyPeer(const std::string& Program, const std::string& Script,
                       const std::vector<std::string>& Extra) {
    if (!zt::test::HaveProgram(Program))
        return;
    // Daemons that drop to another user still reach their folder.
    ::chmod(Dir.path().c_str(), 0755);
    Port = zt::test::FreeTcpPort();
    std::vector<std::string> argv = {"/bin/sh", zt::test::PeerScript(Script), Dir.path() + "/peer",
                                     std::to_string(Port)};
    argv.insert(argv.end(), Extra.begin(), Extra.end());
    Process = zt::test::PeerProcess(argv);
    Ready = zt::test::WaitForTcpPort("127.0.0.1", Port, std::chrono::milliseconds(10000));
}

} // namespace zt::msgtest
