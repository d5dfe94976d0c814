// Messaging transport figures: frame reassembly of 10 MB of frames arriving in 64 KiB and in 1-byte
// chunks (the server connection's receive path, set against copying the same chunks), and the time
// from Connect to the server's hello, straight and through SOCKS5 (microsocks from tests/peers/), with a
// blocking SOCKS5 client of the same exchange as the anchor.
#include "messaging/ICQWorks.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpServer>
#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// 10 MB of frames with payloads of 10, 100, 1000 and 8192 bytes in turn.
QByteArray FrameStream() {
    QByteArray stream;
    const int sizes[] = {10, 100, 1000, 8192};
    for (int i = 0; stream.size() < 10 * 1000 * 1000; ++i) {
        const int size = sizes[i % 4];
        stream += QByteArray::fromHex("2A02");
        stream.append(char(i >> 8)).append(char(i & 0xFF));
        stream.append(char(size >> 8)).append(char(size & 0xFF));
        stream += QByteArray(size, static_cast<char>('a' + i % 26));
    }
    return stream;
}

double MegabytesPerSecond(qsizetype Bytes, Clock::duration Took) {
    return static_cast<double>(Bytes) / 1e6 / std::chrono::duration<double>(Took).count();
}

// Best of three runs of Body over the stream in Chunk-sized pieces.
template <typename F> double BestRate(const QByteArray& Stream, int Chunk, F&& Body) {
    double best = 0;
    for (int run = 0; run < 3; ++run) {
        const auto start = Clock::now();
        for (qsizetype at = 0; at < Stream.size(); at += Chunk)
            Body(Stream.constData() + at, static_cast<int>(std::min<qsizetype>(Chunk, Stream.size() - at)));
        best = std::max(best, MegabytesPerSecond(Stream.size(), Clock::now() - start));
    }
    return best;
}

void Reassembly() {
    const QByteArray stream = FrameStream();
    for (const int chunk : {65536, 1}) {
        TICQNet net;
        long frames = 0;
        net.OnHandlePkt = [&](const TFlapHeader&, const quint8* Payload, int Length) {
            frames += Payload[Length - 1] != 0;
        };
        const double ours =
            BestRate(stream, chunk, [&](const char* Data, int Length) { net.HandleReceived(Data, Length); });
        std::vector<char> area(65536);
        const double copy = BestRate(stream, chunk, [&](const char* Data, int Length) {
            std::memcpy(area.data(), Data, static_cast<std::size_t>(Length));
        });
        std::printf("reassembly  %6d-byte chunks: %8.1f MB/s (%ld frames over 3 runs)   copying the chunks: "
                    "%8.1f MB/s   [TICQNet::HandleReceived, no dump callback, RelWithDebInfo]\n",
                    chunk, ours, frames, copy);
    }
}

// The FLAP server of the connect figures, on its own thread: greets each connection with a hello.
class THelloServer {
public:
    THelloServer() {
        FListen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        bind(FListen, reinterpret_cast<sockaddr*>(&a), len);
        listen(FListen, 64);
        getsockname(FListen, reinterpret_cast<sockaddr*>(&a), &len);
        FPort = ntohs(a.sin_port);
        FThread = std::thread([this] {
            while (!FStop) {
                pollfd p{FListen, POLLIN, 0};
                if (poll(&p, 1, 50) <= 0)
                    continue;
                const int fd = accept4(FListen, nullptr, nullptr, SOCK_CLOEXEC);
                if (fd < 0)
                    continue;
                send(fd, Hello, sizeof Hello, MSG_NOSIGNAL);
                FOpen.push_back(fd);
                // Keep the latest few open; the client closes each after its hello.
                if (FOpen.size() > 16) {
                    close(FOpen.front());
                    FOpen.erase(FOpen.begin());
                }
            }
        });
    }
    ~THelloServer() {
        FStop = true;
        FThread.join();
        for (const int fd : FOpen)
            close(fd);
        close(FListen);
    }
    quint16 Port() const { return FPort; }
    static constexpr char Hello[10] = {0x2A, 1, 0, 1, 0, 4, 0, 0, 0, 1};

private:
    int FListen = -1;
    quint16 FPort = 0;
    std::atomic<bool> FStop{false};
    std::vector<int> FOpen;
    std::thread FThread;
};

// The anchor: the same SOCKS5 exchange with blocking calls and no event loop; milliseconds to the
// hello, -1 on failure.
double RawSocks5Ms(int ProxyPort, quint16 ServerPort) {
    const auto start = Clock::now();
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(ProxyPort));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    char reply[32];
    const unsigned char request[] = {5,
                                     1,
                                     0,
                                     1,
                                     127,
                                     0,
                                     0,
                                     1,
                                     static_cast<unsigned char>(ServerPort >> 8),
                                     static_cast<unsigned char>(ServerPort & 0xFF)};
    bool ok = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && send(fd, "\5\1\0", 3, 0) == 3 &&
              recv(fd, reply, 2, MSG_WAITALL) == 2 &&
              send(fd, request, sizeof request, 0) == sizeof request &&
              recv(fd, reply, 10, MSG_WAITALL) == 10;
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_QUICKACK, &one, sizeof one);
    ok = ok && recv(fd, reply, 10, MSG_WAITALL) == 10;
    close(fd);
    return ok ? std::chrono::duration<double, std::milli>(Clock::now() - start).count() : -1;
}

// Milliseconds from Connect to the hello frame; -1 on failure.
double ConnectMs(TICQNet& Net) {
    bool got = false;
    bool failed = false;
    Net.OnHandlePkt = [&](const TFlapHeader&, const quint8*, int) {
        got = true;
    };
    Net.OnConnectError = [&](TErrorType, const QString&) {
        failed = true;
    };
    Net.OnError = [&](TErrorType, const QString&) {
        failed = true;
    };
    QElapsedTimer timer;
    timer.start();
    Net.Connect();
    while (!got && !failed && timer.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    Net.CloseSockets();
    // What a running event loop does between connections.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return got ? ms : -1;
}

double Median(std::vector<double> Values) {
    if (Values.empty())
        return -1;
    std::sort(Values.begin(), Values.end());
    return Values[Values.size() / 2];
}

void Socks5Connect() {
    const std::string dir =
        std::filesystem::temp_directory_path() / ("bench_messaging." + std::to_string(getpid()));
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const int port = probe.serverPort();
    probe.close();
    const std::string script =
        (std::filesystem::path(__FILE__).parent_path().parent_path() / "tests/peers/microsocks.sh").string();
    const pid_t pid = fork();
    if (pid == 0) {
        setpgid(0, 0);
        execl("/bin/sh", "sh", script.c_str(), dir.c_str(), std::to_string(port).c_str(), nullptr);
        _exit(127);
    }
    THelloServer server;
    TICQNet direct;
    direct.Host = "127.0.0.1";
    direct.Port = server.Port();
    TICQNet socks;
    socks.ProxyType = P_SOCKS5;
    socks.ProxyHost = "127.0.0.1";
    socks.ProxyPort = static_cast<quint16>(port);
    socks.Host = "127.0.0.1";
    socks.Port = server.Port();
    // Wait for the proxy, then take turns so drift hits both sides alike.
    for (int i = 0; i < 100 && ConnectMs(socks) < 0; ++i)
        usleep(50000);
    std::vector<double> straight, proxied, extra, raw;
    int failures = 0;
    for (int i = 0; i < 200; ++i) {
        const double a = ConnectMs(direct);
        const double b = ConnectMs(socks);
        const double c = RawSocks5Ms(port, server.Port());
        if (a < 0 || b < 0 || c < 0) {
            ++failures;
            continue;
        }
        straight.push_back(a);
        proxied.push_back(b);
        extra.push_back(b - a);
        raw.push_back(c);
    }
    std::printf(
        "connect to hello, 200 rounds (%d failed): TICQNet direct median %.3f ms, TICQNet SOCKS5 via "
        "microsocks median %.3f ms, median extra %.3f ms; anchor: blocking SOCKS5 client via microsocks "
        "median %.3f ms   [loopback, FLAP server on its own thread, no resolve flag]\n",
        failures, Median(straight), Median(proxied), Median(extra), Median(raw));
    kill(-pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    std::filesystem::remove_all(dir);
}

} // namespace

int main(int argc, char** argv) {
    signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);
    Reassembly();
    Socks5Connect();
    return 0;
}
