// Loopback peers for the socket layer's tests (see blcksock_helpers.h).
#include "tests/net/blcksock_helpers.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zt::socktest {
namespace {

using Clock = std::chrono::steady_clock;

int ListenOn(const std::string& Host, int Backlog, int& Port) {
    const bool v6 = Host.find(':') != std::string::npos;
    const int fd = ::socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
    sockaddr_storage ss{};
    socklen_t len = 0;
    if (v6) {
        auto* a = reinterpret_cast<sockaddr_in6*>(&ss);
        a->sin6_family = AF_INET6;
        ::inet_pton(AF_INET6, Host.c_str(), &a->sin6_addr);
        len = sizeof(*a);
    } else {
        auto* a = reinterpret_cast<sockaddr_in*>(&ss);
        a->sin_family = AF_INET;
        ::inet_pton(AF_INET, Host.c_str(), &a->sin_addr);
        len = sizeof(*a);
    }
    if (::bind(fd, reinterpret_cast<sockaddr*>(&ss), len) != 0 || ::listen(fd, Backlog) != 0) {
        ::close(fd);
        return -1;
    }
    len = sizeof(ss);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&ss), &len);
    Port = ntohs(v6 ? reinterpret_cast<sockaddr_in6*>(&ss)->sin6_port
                    : reinterpret_cast<sockaddr_in*>(&ss)->sin_port);
    return fd;
}

// Accepts one connection unless Wake becomes readable first (or 10 s pass).
int AcceptOrWake(int Listen, int Wake) {
    pollfd fds[2] = {{Listen, POLLIN, 0}, {Wake, POLLIN, 0}};
    if (::poll(fds, 2, 10000) <= 0 || fds[1].revents != 0 || fds[0].revents == 0)
        return -1;
    return ::accept4(Listen, nullptr, nullptr, SOCK_CLOEXEC);
}

int MsLeft(Clock::time_point Deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(Deadline - Clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
}

} // namespace

bool SendAll(int Fd, const std::string& Bytes) {
    std::size_t done = 0;
    while (done < Bytes.size()) {
        const ssize_t n = ::send(Fd, Bytes.data() + done, Bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::string RecvExact(int Fd, std::size_t Count, int TimeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(TimeoutMs);
    std::string out;
    while (out.size() < Count) {
        pollfd p{Fd, POLLIN, 0};
        if (::poll(&p, 1, MsLeft(deadline)) <= 0)
            break;
        char buf[4096];
        const ssize_t n = ::recv(Fd, buf, std::min(sizeof(buf), Count - out.size()), 0);
        if (n <= 0)
            break;
        out.append(buf, static_cast<std::size_t>(n));
    }
    return out;
}

std::string RecvUntil(int Fd, const std::string& Terminator, int TimeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(TimeoutMs);
    std::string out;
    while (out.find(Terminator) == std::string::npos && out.size() < 1 << 20) {
        pollfd p{Fd, POLLIN, 0};
        if (::poll(&p, 1, MsLeft(deadline)) <= 0)
            break;
        char c;
        if (::recv(Fd, &c, 1, 0) != 1)
            break;
        out += c;
    }
    return out;
}

ScriptedPeer::ScriptedPeer(std::function<void(int Fd)> Script, const std::string& Host) {
    listen_ = ListenOn(Host, 4, port_);
    if (::pipe2(wake_, O_CLOEXEC) != 0)
        wake_[0] = wake_[1] = -1;
    thread_ = std::thread([this, Script] {
        const int fd = AcceptOrWake(listen_, wake_[0]);
        if (fd < 0)
            return;
        Script(fd);
        ::close(fd);
    });
}

void ScriptedPeer::Join() {
    if (thread_.joinable())
        thread_.join();
}

ScriptedPeer::~ScriptedPeer() {
    if (wake_[1] >= 0 && ::write(wake_[1], "x", 1) != 1)
        wake_[1] = wake_[1]; // the peer thread still ends after its poll time-out
    Join();
    for (int fd : {listen_, wake_[0], wake_[1]})
        if (fd >= 0)
            ::close(fd);
}

std::string HttpTarget::Reply(const std::string& Body) {
    return "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(Body.size()) +
           "\r\n\r\n" + Body;
}

HttpTarget::HttpTarget(std::string Body) : body_(std::move(Body)) {
    listen_ = ListenOn("127.0.0.1", 16, port_);
    if (::pipe2(wake_, O_CLOEXEC) != 0)
        wake_[0] = wake_[1] = -1;
    thread_ = std::thread([this] { Serve(); });
}

void HttpTarget::Serve() {
    for (int i = 0; i < 1000; ++i) {
        pollfd fds[2] = {{listen_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        if (::poll(fds, 2, 60000) <= 0 || fds[1].revents != 0)
            return;
        const int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        const std::string request = RecvUntil(fd, "\r\n\r\n");
        {
            std::lock_guard<std::mutex> guard(lock_);
            requests_.push_back(request.substr(0, request.find("\r\n")));
        }
        SendAll(fd, Reply(body_));
        ::shutdown(fd, SHUT_WR);
        RecvExact(fd, 1 << 16, 2000); // until the client closes
        ::close(fd);
    }
}

std::vector<std::string> HttpTarget::Requests() {
    std::lock_guard<std::mutex> guard(lock_);
    return requests_;
}

HttpTarget::~HttpTarget() {
    if (wake_[1] >= 0 && ::write(wake_[1], "x", 1) != 1)
        wake_[1] = wake_[1]; // the peer thread still ends after its poll time-out
    if (thread_.joinable())
        thread_.join();
    for (int fd : {listen_, wake_[0], wake_[1]})
        if (fd >= 0)
            ::close(fd);
}

FullBacklogListener::FullBacklogListener() {
    listen_ = ListenOn("127.0.0.1", 0, port_);
    if (listen_ < 0)
        return;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port_));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    // Connect until one does not complete: from then on the kernel drops further handshakes.
    for (int i = 0; i < 64 && !full_; ++i) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        fillers_.push_back(fd);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof(to)) == 0)
            continue;
        pollfd p{fd, POLLOUT, 0};
        full_ = ::poll(&p, 1, 300) == 0;
    }
}

FullBacklogListener::~FullBacklogListener() {
    for (int fd : fillers_)
        ::close(fd);
    if (listen_ >= 0)
        ::close(listen_);
}

} // namespace zt::socktest
