// The mail peers: scripts of tests/peers/ started on free loopback ports, and the TCP front.
#include "tests/core/mail_helpers.h"

#include <QByteArray>
#include <QJsonDocument>
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zt::test {

namespace {

std::vector<QJsonObject> JsonLines(const std::string& Path) {
    std::vector<QJsonObject> records;
    const QByteArray text = QByteArray::fromStdString(ReadFile(Path));
    for (const QByteArray& line : text.split('\n')) {
        if (!line.trimmed().isEmpty()) {
            records.push_back(QJsonDocument::fromJson(line).object());
        }
    }
    return records;
}

bool WaitFor(const std::function<bool()>& Done, std::chrono::milliseconds Limit) {
    const auto deadline = std::chrono::steady_clock::now() + Limit;
    while (!Done()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

int ConnectLoopback(int Port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(uint16_t(Port));
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0) {
        return fd;
    }
    if (fd >= 0) {
        ::close(fd);
    }
    return -1;
}

bool SendAll(int Fd, const char* Data, ssize_t Size) {
    while (Size > 0) {
        const ssize_t n = ::send(Fd, Data, size_t(Size), MSG_NOSIGNAL);
        if (n <= 0) {
            return false;
        }
        Data += n;
        Size -= n;
    }
    return true;
}

} // namespace

void MailPeer::Start(const char* Script, const char* Mode) {
    plainPort_ = FreeTcpPort();
    tlsPort_ = FreeTcpPort();
    while (tlsPort_ == plainPort_) {
        tlsPort_ = FreeTcpPort();
    }
    std::vector<std::string> argv = {
        "/bin/sh",    PeerScript(Script), dir_.path(), std::to_string(plainPort_), std::to_string(tlsPort_),
        MailPeerUser, MailPeerPassword};
    if (Mode) {
        argv.push_back(Mode);
    }
    process_ = PeerProcess(argv);
    if (!WaitForTcpPort("127.0.0.1", plainPort_, std::chrono::milliseconds(15000)) ||
        !WaitForTcpPort("127.0.0.1", tlsPort_, std::chrono::milliseconds(5000))) {
        unavailable_ = std::string(Script) + " did not start";
    }
}

SmtpRecorder::SmtpRecorder() {
    int rc = 0;
    RunCommand("/usr/bin/python3 -c 'import aiosmtpd' 2>/dev/null", &rc);
    if (rc != 0 || !HaveProgram("openssl")) {
        unavailable_ = "Debian's python3-aiosmtpd or openssl is missing (scripts/install-deps.sh)";
        return;
    }
    Start("aiosmtpd.sh");
}

std::vector<QJsonObject> SmtpRecorder::Messages() const {
    return JsonLines(dir_.file("messages.jsonl"));
}

std::vector<QJsonObject> SmtpRecorder::Auths() const {
    return JsonLines(dir_.file("auth.jsonl"));
}

bool SmtpRecorder::WaitForMessages(size_t Count, std::chrono::milliseconds Limit) const {
    return WaitFor([&] { return Messages().size() >= Count; }, Limit);
}

EximPeer::EximPeer(bool QueueOnly) {
    if (!IsRoot()) {
        unavailable_ = "exim runs its spool as Debian-exim: root only";
        return;
    }
    if (::access("/usr/sbin/exim4", X_OK) != 0 || !HaveProgram("openssl")) {
        unavailable_ = "exim4-daemon-light or openssl is missing (scripts/install-deps.sh)";
        return;
    }
    Start("exim.sh", QueueOnly ? "queue" : nullptr);
}

std::string EximPeer::Mailbox() const {
    return ReadFile(dir_.file("mail/mailbox"));
}

std::string EximPeer::MainLog() const {
    return ReadFile(dir_.file("log/mainlog"));
}

bool EximPeer::WaitForMailbox(const std::string& Needle, std::chrono::milliseconds Limit) const {
    return WaitFor([&] { return Mailbox().find(Needle) != std::string::npos; }, Limit);
}

CountingFront::CountingFront(int TargetPort, std::vector<FrontMode> Modes)
    : target_(TargetPort), modes_(std::move(Modes)) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof sa;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&sa), len) != 0 ||
        ::listen(listener_, 16) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&sa), &len) != 0 ||
        ::pipe2(stopPipe_, O_CLOEXEC) != 0) {
        throw std::runtime_error("CountingFront: cannot listen on loopback");
    }
    port_ = ntohs(sa.sin_port);
    acceptor_ = std::thread([this] { AcceptLoop(); });
}

CountingFront::~CountingFront() {
    const char byte = 1;
    [[maybe_unused]] ssize_t rc = ::write(stopPipe_[1], &byte, 1);
    acceptor_.join();
    for (std::thread& t : threads_) {
        t.join();
    }
    ::close(listener_);
    ::close(stopPipe_[0]);
    ::close(stopPipe_[1]);
}

void CountingFront::AcceptLoop() {
    for (;;) {
        pollfd fds[2] = {{listener_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
        if (::poll(fds, 2, 10000) <= 0 || (fds[1].revents & POLLIN)) {
            return;
        }
        const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) {
            continue;
        }
        const int n = connections_++;
        const FrontMode mode =
            modes_.empty() ? FrontMode::Forward : modes_[std::min<size_t>(size_t(n), modes_.size() - 1)];
        std::lock_guard lock(mutex_);
        threads_.emplace_back([this, client, mode] { Serve(client, mode); });
    }
}

void CountingFront::Serve(int Client, FrontMode Mode) {
    const int server =
        (Mode == FrontMode::Forward || Mode == FrontMode::CutInData) ? ConnectLoopback(target_) : -1;
    if (Mode == FrontMode::Drop ||
        ((Mode == FrontMode::Forward || Mode == FrontMode::CutInData) && server < 0)) {
        ::close(Client);
        return;
    }
    std::string fromClient;
    bool dataSent = false;
    // Bounded: the connection ends with either side, the stop pipe or 20 s of silence.
    for (;;) {
        pollfd fds[3] = {
            {Client, POLLIN, 0}, {server, short(server >= 0 ? POLLIN : 0), 0}, {stopPipe_[0], POLLIN, 0}};
        if (::poll(fds, 3, 20000) <= 0 || (fds[2].revents & POLLIN)) {
            break;
        }
        char buffer[16384];
        if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
            const ssize_t n = ::recv(Client, buffer, sizeof buffer, 0);
            if (n <= 0) {
                break;
            }
            if (Mode == FrontMode::Silent) {
                continue;
            }
            if (Mode == FrontMode::CutInData && dataSent) {
                break; // message bytes arrived: the server never sees them nor the final dot
            }
            fromClient.append(buffer, size_t(n));
            if (fromClient.find("\r\nDATA\r\n") != std::string::npos ||
                fromClient.rfind("DATA\r\n", 0) == 0) {
                dataSent = true;
            }
            if (!SendAll(server, buffer, n)) {
                break;
            }
        }
        if (server >= 0 && (fds[1].revents & (POLLIN | POLLHUP | POLLERR))) {
            const ssize_t n = ::recv(server, buffer, sizeof buffer, 0);
            if (n <= 0 || !SendAll(Client, buffer, n)) {
                break;
            }
        }
    }
    ::close(Client);
    if (server >= 0) {
        ::close(server);
    }
}

} // namespace zt::test
