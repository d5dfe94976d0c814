// Peers for the mail tests: the recording SMTP server (aiosmtpd), a private exim daemon, and a
// counting TCP front that drops, silences, forwards or cuts each connection on loopback.
#pragma once

#include "tests/support/TestSupport.h"

#include <QJsonObject>
#include <QString>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zt::test {

inline constexpr char MailPeerUser[] = "alerts@mail.example";
inline constexpr char MailPeerPassword[] = "Secret-42";

// A mail server script of tests/peers/ on two free loopback ports: plain and implicit TLS.
class MailPeer {
public:
    // Empty when the peer runs; else why it cannot (the test skips).
    const std::string& Unavailable() const { return unavailable_; }
    int PlainPort() const { return plainPort_; }
    int TlsPort() const { return tlsPort_; }

protected:
    void Start(const char* Script, const char* Mode = nullptr);
    TempDir dir_;
    std::string unavailable_;

private:
    int plainPort_ = 0;
    int tlsPort_ = 0;
    PeerProcess process_;
};

// Debian's python3 with the aiosmtpd package, recording into a temporary folder.
class SmtpRecorder : public MailPeer {
public:
    SmtpRecorder();
    std::vector<QJsonObject> Messages() const;
    std::vector<QJsonObject> Auths() const;
    // Waits until at least Count messages were recorded; false after the limit.
    bool WaitForMessages(size_t Count,
                         std::chrono::milliseconds Limit = std::chrono::milliseconds(5000)) const;
};

// exim4 (root only); QueueOnly keeps every message in the spool (timing runs).
class EximPeer : public MailPeer {
public:
    explicit EximPeer(bool QueueOnly = false);
    std::string Mailbox() const;
    // The main log (the accepted messages with their TLS and AUTH notes).
    std::string MainLog() const;
    bool WaitForMailbox(const std::string& Needle,
                        std::chrono::milliseconds Limit = std::chrono::milliseconds(5000)) const;
};

// What the front does with its n-th connection (from 0).
enum class FrontMode {
    Drop,     // close at once
    Silent,   // accept and never answer
    Forward,  // relay to the target port
    CutInData // relay until the client sends message bytes after DATA, then close both sides
};

class CountingFront {
public:
    // Modes[n] for connection n; connections past the list use the last mode.
    CountingFront(int TargetPort, std::vector<FrontMode> Modes);
    ~CountingFront();
    CountingFront(const CountingFront&) = delete;
    CountingFront& operator=(const CountingFront&) = delete;
    int Port() const { return port_; }
    int Connections() const { return connections_.load(); }

private:
    void AcceptLoop();
    void Serve(int Client, FrontMode Mode);

    int target_;
    std::vector<FrontMode> modes_;
    int listener_ = -1;
    int port_ = 0;
    int stopPipe_[2] = {-1, -1};
    std::atomic<int> connections_{0};
    std::mutex mutex_;
    std::vector<std::thread> threads_;
    std::thread acceptor_;
};

} // namespace zt::test
