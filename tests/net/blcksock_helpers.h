// Loopback peers written directly on POSIX sockets for the socket layer's tests: a scripted one-shot
// peer, a small HTTP answerer (the target behind the proxies) and a listener whose backlog is full.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zt::socktest {

// Writes all bytes (false on error).
bool SendAll(int Fd, const std::string& Bytes);
// Reads exactly Count bytes within TimeoutMs; fewer when the peer closed or time ran out.
std::string RecvExact(int Fd, std::size_t Count, int TimeoutMs = 5000);
// Reads until Terminator was seen (inclusive) within TimeoutMs.
std::string RecvUntil(int Fd, const std::string& Terminator, int TimeoutMs = 5000);

// Listens on Host port 0 and runs Script on the first accepted connection in its own thread.
class ScriptedPeer {
public:
    ScriptedPeer(std::function<void(int Fd)> Script, const std::string& Host = "127.0.0.1");
    ~ScriptedPeer();
    ScriptedPeer(const ScriptedPeer&) = delete;
    ScriptedPeer& operator=(const ScriptedPeer&) = delete;
    int Port() const { return port_; }
    std::string PortText() const { return std::to_string(port_); }
    // Waits for the script to end.
    void Join();

private:
    int listen_ = -1;
    int wake_[2] = {-1, -1};
    int port_ = 0;
    std::thread thread_;
};

// Answers every connection's HTTP request with a 200 whose body is Body (then closes); records the
// request lines it saw.
class HttpTarget {
public:
    explicit HttpTarget(std::string Body);
    ~HttpTarget();
    int Port() const { return port_; }
    std::string PortText() const { return std::to_string(port_); }
    std::vector<std::string> Requests();
    static std::string Reply(const std::string& Body);

private:
    void Serve();
    std::string body_;
    int listen_ = -1;
    int wake_[2] = {-1, -1};
    int port_ = 0;
    std::thread thread_;
    std::atomic<bool> busy_{false};
    std::vector<std::string> requests_;
    std::mutex lock_;
};

// A listener on 127.0.0.1 that never accepts and whose queue is full, so further connects hang.
class FullBacklogListener {
public:
    FullBacklogListener();
    ~FullBacklogListener();
    int Port() const { return port_; }
    bool Full() const { return full_; }

private:
    int listen_ = -1;
    int port_ = 0;
    bool full_ = false;
    std::vector<int> fillers_;
};

} // namespace zt::socktest
