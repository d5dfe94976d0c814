// Helpers shared by all tests: temporary folders, free loopback ports, running commands and
// starting the real peer programs of tests/peers/ (stopped again when the object goes away).
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace zt::test {

// A fresh folder under /tmp, removed with everything in it on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// A port on 127.0.0.1 that was free a moment ago (bound to port 0, then released).
int FreeTcpPort();
int FreeUdpPort();

bool IsRoot();
// True when a program of that name is on PATH.
bool HaveProgram(const std::string& name);

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);

// Runs a shell command, returns its standard output; rc receives the exit status.
std::string RunCommand(const std::string& command, int* rc = nullptr);

// Collects what this process writes to standard error (file descriptor 2) from construction until
// Take(), which restores the old standard error and returns the text.
class StderrCapture {
public:
    StderrCapture();
    ~StderrCapture();
    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;
    std::string Take();

private:
    TempDir dir_;
    int saved_ = -1;
};

// Runs Body on a new thread that first joins the network namespace Name (/run/netns/Name); setns on a
// thread changes only that thread's namespace. False (Body not run) when it could not join.
bool RunInNetns(const std::string& Name, const std::function<void()>& Body);

// What each open descriptor of this process names ("socket:[…]", "anon_inode:[eventfd]", a path),
// the folder's own descriptor left out.
std::vector<std::string> OpenDescriptors();

// A network namespace of tests/peers/netns-dns.sh, named uniquely for this process, whose resolver
// asks a DNS server that never answers (a UDP socket on 127.0.0.1:53 inside it that reads nothing).
// Programs run in it through "ip netns exec <Name()>". Deleted again on destruction.
class SilentDnsNetns {
public:
    SilentDnsNetns();
    ~SilentDnsNetns();
    SilentDnsNetns(const SilentDnsNetns&) = delete;
    SilentDnsNetns& operator=(const SilentDnsNetns&) = delete;
    bool Ready() const { return ready_; }
    const std::string& Name() const { return name_; }
    const std::string& Output() const { return output_; }

private:
    std::string name_;
    std::string output_;
    int server_ = -1;
    bool ready_ = false;
};

// Path of a script in tests/peers/ and of a file in the source tree.
std::string PeerScript(const std::string& name);
std::string SourcePath(const std::string& relative);
// Sets TZ for the lifetime of the object and restores what was there before.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* Zone);
    ~ScopedTimeZone();
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    bool FHad = false;
    std::string FOld;
};

// Copies the shipped language files of the source tree into <dataFolder>/lang_files.
void CopyShippedLanguages(const std::string& dataFolder);

// A child process in its own process group; the whole group is killed on destruction.
class PeerProcess {
public:
    PeerProcess() = default;
    explicit PeerProcess(const std::vector<std::string>& argv);
    ~PeerProcess();
    PeerProcess(PeerProcess&& other) noexcept;
    PeerProcess& operator=(PeerProcess&& other) noexcept;
    PeerProcess(const PeerProcess&) = delete;
    PeerProcess& operator=(const PeerProcess&) = delete;

    bool running() const;
    pid_t pid() const { return pid_; }
    void stop();

private:
    pid_t pid_ = -1;
};

// Polls Condition every 20 ms until it holds (true) or Limit has passed (its last answer).
bool WaitUntil(const std::function<bool()>& Condition, std::chrono::milliseconds Limit);

// A program built into the same folder as the running test binary (a probe of the window tests).
std::string SiblingProgram(const std::string& name);

// Polls until a TCP connect to host:port succeeds; false after the time limit.
bool WaitForTcpPort(const std::string& host, int port,
                    std::chrono::milliseconds limit = std::chrono::milliseconds(5000));

} // namespace zt::test
