// Direct-connection figures: 1,000 peers of our own connecting on 127.0.0.1 and playing the
// initialisation until each has the acknowledgement and the manager's frame, against a bare
// QTcpServer that answers the same bytes; then one housekeeping pass over the 1,000 connections.
#include "messaging/ICQDirect2.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHostInfo>
#include <QTcpServer>
#include <QTcpSocket>
#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int Peers = 1000;
// Connections not yet accepted at any time: the listener's backlog is 5, and a burst beyond it is
// dropped by the kernel and retried only after a second.
constexpr int Outstanding = 4;
constexpr qint64 LimitMs = 60000;
// The acknowledgement and the 48-byte initialisation, each with its length.
constexpr int AnswerBytes = 6 + 50;

bool OwnNameInHosts() {
    QFile hosts(QStringLiteral("/etc/hosts"));
    if (!hosts.open(QIODevice::ReadOnly))
        return false;
    const QString name = QHostInfo::localHostName();
    for (const QByteArray& raw : hosts.readAll().split('\n')) {
        const qsizetype comment = raw.indexOf('#');
        const QList<QByteArray> fields = (comment < 0 ? raw : raw.left(comment)).simplified().split(' ');
        for (qsizetype i = 1; i < fields.size(); ++i)
            if (QString::fromLatin1(fields[i]).compare(name, Qt::CaseInsensitive) == 0)
                return true;
    }
    return false;
}

struct TPeer {
    int Fd = -1;
    bool Sent = false;
    int Received = 0;
};

QByteArray InitFrame(quint32 UIN) {
    TDCInit init;
    init.Version = DCProtocolVersion;
    init.RemoteUIN = 123456789;
    init.Port = 4000;
    init.UIN = UIN;
    init.Flags = 4;
    return DCFramed(BuildDCInit(init));
}

// Connects Peers sockets to Port at most Outstanding ahead of Accepted(), sends each its
// initialisation once connected and reads until every one has AnswerBytes. The time in ms, or -1.
double RunPeers(quint16 Port, const std::function<int()>& Accepted, std::vector<TPeer>& PeerList) {
    PeerList.assign(Peers, TPeer());
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(Port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    QElapsedTimer timer;
    timer.start();
    int started = 0, done = 0;
    std::vector<pollfd> fds;
    std::vector<int> owners;
    while (done < Peers && timer.elapsed() < LimitMs) {
        while (started < Peers && started - Accepted() < Outstanding) {
            TPeer& peer = PeerList[size_t(started)];
            peer.Fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            ::connect(peer.Fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
            ++started;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        fds.clear();
        owners.clear();
        for (int i = 0; i < started; ++i) {
            const TPeer& peer = PeerList[size_t(i)];
            if (peer.Received >= AnswerBytes)
                continue;
            fds.push_back(pollfd{peer.Fd, short(peer.Sent ? POLLIN : POLLOUT), 0});
            owners.push_back(i);
        }
        if (fds.empty() || ::poll(fds.data(), fds.size(), 0) <= 0)
            continue;
        for (size_t k = 0; k < fds.size(); ++k) {
            if (!fds[k].revents)
                continue;
            TPeer& peer = PeerList[size_t(owners[k])];
            if (!peer.Sent) {
                const QByteArray frame = InitFrame(quint32(100000 + owners[k]));
                peer.Sent =
                    ::send(peer.Fd, frame.constData(), size_t(frame.size()), MSG_NOSIGNAL) == frame.size();
                continue;
            }
            char buffer[256];
            const ssize_t n = ::recv(peer.Fd, buffer, sizeof buffer, 0);
            if (n > 0 && (peer.Received += int(n)) >= AnswerBytes)
                ++done;
        }
    }
    return done == Peers ? double(timer.nsecsElapsed()) / 1e6 : -1;
}

void ClosePeers(std::vector<TPeer>& PeerList) {
    for (TPeer& peer : PeerList)
        if (peer.Fd >= 0)
            ::close(peer.Fd);
    PeerList.clear();
}

// The anchor: a bare QTcpServer (backlog 5) answering each 50-byte initialisation with 56 bytes.
class TBareServer {
public:
    TBareServer() {
        FServer.setListenBacklogSize(5);
        FServer.listen(QHostAddress::Any, 0);
        QObject::connect(&FServer, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* socket = FServer.nextPendingConnection()) {
                ++FAccepted;
                FSockets.push_back(socket);
                QObject::connect(socket, &QTcpSocket::readyRead, [socket] {
                    if (socket->bytesAvailable() < 50)
                        return;
                    socket->read(50);
                    socket->write(QByteArray(AnswerBytes, '\x01'));
                });
            }
        });
    }
    ~TBareServer() { qDeleteAll(FSockets); }
    quint16 Port() const { return FServer.serverPort(); }
    int Accepted() const { return FAccepted; }

private:
    QTcpServer FServer;
    std::vector<QTcpSocket*> FSockets;
    int FAccepted = 0;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (!OwnNameInHosts()) {
        std::printf("direct connections: skipped (/etc/hosts does not name this machine)\n");
        return 0;
    }
    std::printf(
        "direct connections: %d peers of our own on 127.0.0.1 in this process, at most %d connections "
        "waiting for accept (listener backlog 5), each sends the 48-byte initialisation once "
        "connected and waits for the acknowledgement and the 48-byte answer\n",
        Peers, Outstanding);
    std::vector<TPeer> peers;
    {
        TBareServer bare;
        const double ms = RunPeers(
            bare.Port(), [&] { return bare.Accepted(); }, peers);
        std::printf("  anchor: bare QTcpServer, no parsing  %9.1f ms%s\n", ms,
                    ms < 0 ? " (not all answered)" : "");
        ClosePeers(peers);
    }
    TDCSettings settings;
    settings.UIN = 123456789;
    TDirectControl manager(settings);
    qint64 now = 0;
    manager.Clock = [&] {
        return now;
    };
    int accepted = 0;
    const double ms = RunPeers(
        manager.Port(),
        [&] {
            accepted = std::max(accepted, manager.ConnectionCount());
            return accepted;
        },
        peers);
    std::printf("  TDirectControl                       %9.1f ms%s (%d connections)\n", ms,
                ms < 0 ? " (not all answered)" : "", manager.ConnectionCount());

    // Housekeeping over the 1,000 connections, none idle: the timer's pass as it runs every second.
    std::vector<double> passes;
    for (int i = 0; i < 200; ++i) {
        now += 1000;
        QElapsedTimer timer;
        timer.start();
        manager.Housekeeping();
        passes.push_back(double(timer.nsecsElapsed()) / 1e3);
    }
    std::sort(passes.begin(), passes.end());
    std::printf(
        "  housekeeping pass over %d connections, none idle: median %.1f us, worst %.1f us (200 passes)\n",
        manager.ConnectionCount(), passes[passes.size() / 2], passes.back());
    now += DCIdleLimitMs + 1;
    QElapsedTimer timer;
    timer.start();
    const int before = manager.ConnectionCount();
    manager.Housekeeping();
    std::printf("  housekeeping pass closing all %d idle connections: %.1f us\n", before,
                double(timer.nsecsElapsed()) / 1e3);
    QCoreApplication::processEvents();
    ClosePeers(peers);
    return 0;
}
