// Implementation of the shared test helpers.
#include "tests/support/TestSupport.h"

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <sched.h>
#include <sstream>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace zt::test {

TempDir::TempDir() {
    char pattern[] = "/tmp/zt-test-XXXXXX";
    if (!mkdtemp(pattern)) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

static int FreePort(int type) {
    int fd = socket(AF_INET, type, 0);
    if (fd < 0) {
        return -1;
    }
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    sa.sin_port = 0;
    socklen_t len = sizeof sa;
    int port = -1;
    if (bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len) == 0) {
        port = ntohs(sa.sin_port);
    }
    close(fd);
    return port;
}

int FreeTcpPort() {
    return FreePort(SOCK_STREAM);
}
int FreeUdpPort() {
    return FreePort(SOCK_DGRAM);
}

bool IsRoot() {
    return geteuid() == 0;
}

bool HaveProgram(const std::string& name) {
    int rc = 0;
    RunCommand("command -v '" + name + "' >/dev/null 2>&1", &rc);
    return rc == 0;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string RunCommand(const std::string& command, int* rc) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) {
        if (rc) {
            *rc = -1;
        }
        return output;
    }
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) {
        output.append(buf, n);
    }
    int status = pclose(pipe);
    if (rc) {
        *rc = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    return output;
}

std::string PeerScript(const std::string& name) {
    return std::string(ZT_PEERS_DIR) + "/" + name;
}
bool WaitUntil(const std::function<bool()>& Condition, std::chrono::milliseconds Limit) {
    const auto end = std::chrono::steady_clock::now() + Limit;
    while (std::chrono::steady_clock::now() < end) {
        if (Condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return Condition();
}

std::string SiblingProgram(const std::string& name) {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return (self.parent_path() / name).string();
}

std::string SourcePath(const std::string& relative) {
    return std::string(ZT_SOURCE_DIR) + "/" + relative;
}

ScopedTimeZone::ScopedTimeZone(const char* Zone) {
    const char* old = std::getenv("TZ");
    FHad = old != nullptr;
    if (FHad)
        FOld = old;
    setenv("TZ", Zone, 1);
    tzset();
}

ScopedTimeZone::~ScopedTimeZone() {
    if (FHad)
        setenv("TZ", FOld.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

void CopyShippedLanguages(const std::string& dataFolder) {
    namespace fs = std::filesystem;
    const fs::path folder = fs::path(dataFolder) / "lang_files";
    fs::create_directories(folder);
    for (const fs::directory_entry& entry : fs::directory_iterator(SourcePath("Data/lang_files")))
        fs::copy_file(entry.path(), folder / entry.path().filename(), fs::copy_options::overwrite_existing);
}

PeerProcess::PeerProcess(const std::vector<std::string>& argv) {
    if (argv.empty()) {
        return;
    }
    pid_t pid = fork();
    if (pid < 0) {
        throw std::runtime_error("fork failed");
    }
    if (pid == 0) {
        setpgid(0, 0);
        std::vector<char*> args;
        for (const auto& a : argv) {
            args.push_back(const_cast<char*>(a.c_str()));
        }
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    setpgid(pid, pid);
    pid_ = pid;
}

PeerProcess::~PeerProcess() {
    stop();
}

PeerProcess::PeerProcess(PeerProcess&& other) noexcept : pid_(other.pid_) {
    other.pid_ = -1;
}

PeerProcess& PeerProcess::operator=(PeerProcess&& other) noexcept {
    if (this != &other) {
        stop();
        pid_ = other.pid_;
        other.pid_ = -1;
    }
    return *this;
}

bool PeerProcess::running() const {
    if (pid_ <= 0) {
        return false;
    }
    // Looks without reaping: an ended leader stays a zombie until stop(), so its number (the
    // group's) cannot pass to another test's process that stop() would then signal.
    siginfo_t info{};
    return waitid(P_PID, id_t(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == 0;
}

void PeerProcess::stop() {
    if (pid_ <= 0) {
        return;
    }
    const pid_t group = pid_;
    kill(-group, SIGTERM);
    for (int i = 0; i < 50 && running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    // The leader is reaped only after the last signal to its group: until then the number is
    // still this group's, never a process that took it over.
    kill(-group, SIGKILL);
    waitpid(group, nullptr, 0);
    pid_ = -1;
    // The rest of the group (a pipeline's other programs) may still hold files and locks for a
    // moment after the leader went: wait until every member is gone.
    for (int i = 0; i < 100 && !(kill(-group, 0) != 0 && errno == ESRCH); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

bool WaitForTcpPort(const std::string& host, int port, std::chrono::milliseconds limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        bool v6 = host.find(':') != std::string::npos;
        int fd = socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM, 0);
        if (fd >= 0) {
            int ok = -1;
            if (v6) {
                sockaddr_in6 sa{};
                sa.sin6_family = AF_INET6;
                sa.sin6_port = htons(port);
                inet_pton(AF_INET6, host.c_str(), &sa.sin6_addr);
                ok = connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
            } else {
                sockaddr_in sa{};
                sa.sin_family = AF_INET;
                sa.sin_port = htons(port);
                inet_pton(AF_INET, host.c_str(), &sa.sin_addr);
                ok = connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
            }
            close(fd);
            if (ok == 0) {
                return true;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    return false;
}

StderrCapture::StderrCapture() {
    std::fflush(stderr);
    saved_ = ::dup(STDERR_FILENO);
    const int file = ::open(dir_.file("stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ::dup2(file, STDERR_FILENO);
    ::close(file);
}

StderrCapture::~StderrCapture() {
    Take();
}

std::string StderrCapture::Take() {
    if (saved_ < 0) {
        return {};
    }
    std::fflush(stderr);
    ::dup2(saved_, STDERR_FILENO);
    ::close(saved_);
    saved_ = -1;
    return ReadFile(dir_.file("stderr"));
}

std::vector<std::string> OpenDescriptors() {
    std::vector<std::string> Names;
    DIR* Folder = ::opendir("/proc/self/fd");
    if (!Folder)
        return Names;
    const int Own = ::dirfd(Folder);
    while (const dirent* Entry = ::readdir(Folder)) {
        if (Entry->d_name[0] == '.' || std::atoi(Entry->d_name) == Own)
            continue;
        char Target[512] = {};
        const ssize_t N = ::readlinkat(Own, Entry->d_name, Target, sizeof Target - 1);
        Names.emplace_back(N > 0 ? std::string(Target, static_cast<std::size_t>(N)) : std::string());
    }
    ::closedir(Folder);
    return Names;
}

bool RunInNetns(const std::string& Name, const std::function<void()>& Body) {
    bool Joined = false;
    std::thread Worker([&] {
        const int Fd = ::open(("/run/netns/" + Name).c_str(), O_RDONLY | O_CLOEXEC);
        if (Fd < 0)
            return;
        Joined = ::setns(Fd, CLONE_NEWNET) == 0;
        ::close(Fd);
        if (Joined)
            Body();
    });
    Worker.join();
    return Joined;
}

SilentDnsNetns::SilentDnsNetns() : name_("zt-dns-" + std::to_string(::getpid())) {
    int rc = -1;
    output_ = RunCommand(PeerScript("netns-dns.sh") + " setup " + name_ + " 2>&1", &rc);
    if (rc != 0) {
        return;
    }
    RunInNetns(name_, [this] {
        server_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(53);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ready_ = server_ >= 0 && ::bind(server_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    });
}

SilentDnsNetns::~SilentDnsNetns() {
    if (server_ >= 0) {
        ::close(server_);
    }
    RunCommand(PeerScript("netns-dns.sh") + " teardown " + name_ + " 2>&1");
}

} // namespace zt::test
