// A scripted TCP server on loopback for the HTTP client's edge cases (see http_helpers.h).
#include "tests/net/http_helpers.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace zt::test {

namespace {
// Bounds of the endless steps, so a test can never run away.
constexpr int kMaxHoldMs = 30000;
constexpr int kMaxStreamMs = 30000;
} // namespace

THttpStep SendStep(const std::string& Data) {
    return {THttpStep::Send, Data, 0};
}
THttpStep SleepStep(int Ms) {
    return {THttpStep::Sleep, "", Ms};
}
THttpStep CloseStep() {
    return {THttpStep::Close, "", 0};
}
THttpStep ResetStep() {
    return {THttpStep::Reset, "", 0};
}
THttpStep HoldStep() {
    return {THttpStep::Hold, "", 0};
}
THttpStep DripStep(const std::string& Data, int Ms) {
    return {THttpStep::Drip, Data, Ms};
}
THttpStep EndlessStep(const std::string& Data) {
    return {THttpStep::Endless, Data, 0};
}

TScriptedHttpServer::TScriptedHttpServer(std::vector<THttpStep> Script, const std::string& Address, int Port)
    : FScript(std::move(Script)) {
    const bool IPv6 = Address.find(':') != std::string::npos;
    if (pipe(FWake) != 0)
        throw std::runtime_error("pipe");
    FListen = socket(IPv6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    setsockopt(FListen, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_storage ss{};
    socklen_t len;
    if (IPv6) {
        auto* a = reinterpret_cast<sockaddr_in6*>(&ss);
        a->sin6_family = AF_INET6;
        inet_pton(AF_INET6, Address.c_str(), &a->sin6_addr);
        a->sin6_port = htons(static_cast<uint16_t>(Port));
        len = sizeof *a;
    } else {
        auto* a = reinterpret_cast<sockaddr_in*>(&ss);
        a->sin_family = AF_INET;
        inet_pton(AF_INET, Address.c_str(), &a->sin_addr);
        a->sin_port = htons(static_cast<uint16_t>(Port));
        len = sizeof *a;
    }
    if (bind(FListen, reinterpret_cast<sockaddr*>(&ss), len) != 0 || listen(FListen, 16) != 0) {
        close(FListen);
        close(FWake[0]);
        close(FWake[1]);
        throw std::runtime_error("cannot listen on " + Address + ":" + std::to_string(Port));
    }
    getsockname(FListen, reinterpret_cast<sockaddr*>(&ss), &len);
    FPort = ntohs(IPv6 ? reinterpret_cast<sockaddr_in6*>(&ss)->sin6_port
                       : reinterpret_cast<sockaddr_in*>(&ss)->sin_port);
    FThread = std::thread([this] { Serve(); });
}

TScriptedHttpServer::~TScriptedHttpServer() {
    FStop = true;
    (void)!write(FWake[1], "x", 1);
    if (FThread.joinable())
        FThread.join();
    close(FListen);
    close(FWake[0]);
    close(FWake[1]);
}

std::string TScriptedHttpServer::Request(std::size_t Index) {
    std::unique_lock lock(FLock);
    FChanged.wait_for(lock, std::chrono::seconds(5), [&] { return FRequests.size() > Index; });
    return FRequests.size() > Index ? FRequests[Index] : std::string();
}

bool TScriptedHttpServer::Pause(int Ms) {
    pollfd p{FWake[0], POLLIN, 0};
    return poll(&p, 1, Ms) == 0 && !FStop;
}

void TScriptedHttpServer::Serve() {
    while (!FStop) {
        pollfd p[2] = {{FListen, POLLIN, 0}, {FWake[0], POLLIN, 0}};
        if (poll(p, 2, 1000) <= 0 || (p[1].revents & POLLIN))
            continue;
        const int fd = accept4(FListen, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        ++FConnections;
        RunScript(fd);
    }
}

void TScriptedHttpServer::RunScript(int Fd) {
    // Read the request head (bounded in size and time).
    std::string head;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536 &&
           std::chrono::steady_clock::now() < until && !FStop) {
        pollfd p[2] = {{Fd, POLLIN, 0}, {FWake[0], POLLIN, 0}};
        if (poll(p, 2, 100) <= 0 || !(p[0].revents & (POLLIN | POLLHUP)))
            continue;
        char buf[4096];
        const ssize_t n = recv(Fd, buf, sizeof buf, 0);
        if (n <= 0)
            break;
        head.append(buf, static_cast<std::size_t>(n));
    }
    {
        std::lock_guard lock(FLock);
        FRequests.push_back(head);
    }
    FChanged.notify_all();

    bool open = true;
    for (const auto& step : FScript) {
        if (!open || FStop)
            break;
        switch (step.Kind) {
        case THttpStep::Send:
            open = send(Fd, step.Data.data(), step.Data.size(), MSG_NOSIGNAL) ==
                   static_cast<ssize_t>(step.Data.size());
            break;
        case THttpStep::Sleep:
            open = Pause(step.Ms);
            break;
        case THttpStep::Close:
            shutdown(Fd, SHUT_WR);
            open = false;
            break;
        case THttpStep::Reset: {
            linger l{1, 0};
            setsockopt(Fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
            open = false;
            break;
        }
        case THttpStep::Hold:
            Pause(kMaxHoldMs);
            open = false;
            break;
        case THttpStep::Drip:
        case THttpStep::Endless: {
            const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kMaxStreamMs);
            std::size_t i = 0;
            while (open && !FStop && std::chrono::steady_clock::now() < end && !step.Data.empty()) {
                if (step.Kind == THttpStep::Drip) {
                    open =
                        send(Fd, &step.Data[i++ % step.Data.size()], 1, MSG_NOSIGNAL) == 1 && Pause(step.Ms);
                    continue;
                }
                pollfd p{Fd, POLLOUT, 0};
                if (poll(&p, 1, 100) <= 0)
                    continue;
                open = send(Fd, step.Data.data(), step.Data.size(), MSG_NOSIGNAL | MSG_DONTWAIT) > 0 ||
                       errno == EAGAIN;
            }
            break;
        }
        }
    }
    close(Fd);
}

} // namespace zt::test
