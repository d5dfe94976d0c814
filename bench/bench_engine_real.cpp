// One check pass over 1,000 loopback hosts with echo, HTTP and SNMP on against real peers (the web
// server and the SNMP agent of tests/peers/), first one host at a time (bound 1, the sequential
// pass), then with the program's window of hosts in flight, in the same run against the same peers.
// Prints the passes (the median of the steady ones compared), the sum of the requests' own round trips, and
// the speed-up.
#include "bench/BenchEngineOwner.h"
#include "core/DatabaseSchema.h"
#include "core/HostGrid.h"
#include "core/HostStateMachine.h"
#include "core/LangTexts.h"
#include "core/MonitorInterfaces.h"
#include "core/MonitorState.h"
#include "core/NetHostProbes.h"
#include "core/ProbePool.h"
#include "core/SQLiteDb.h"
#include "core/Synchronize.h"
#include "grid/GxGrid.h"
#include "net/SnmpQuery.h"
#include "net/snmpsend.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kHosts = 1000;

std::string PeerScript(const char* Name) {
    std::filesystem::path source(__FILE__);
    // A path relative to the build folder, which holds this program's folder.
    if (source.is_relative()) {
        source = std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() / source;
    }
    return (source.parent_path().parent_path() / "tests/peers" / Name).string();
}

// A free loopback port of the given socket type.
int FreePort(int Type) {
    const int fd = socket(AF_INET, Type, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    bind(fd, reinterpret_cast<sockaddr*>(&a), len);
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    close(fd);
    return ntohs(a.sin_port);
}

bool TcpPortOpen(int Port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(Port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    close(fd);
    return ok;
}

// A peer script in its own process group, stopped with it on destruction.
class TPeer {
public:
    TPeer(const char* Script, const std::string& Dir, int Port, const std::string& Address = "127.0.0.1") {
        const std::string script = PeerScript(Script);
        const std::string port = std::to_string(Port);
        const std::string log = Dir + ".log";
        FPid = fork();
        if (FPid == 0) {
            setpgid(0, 0);
            // The agent logs every request; keep the figures readable.
            const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
            if (out >= 0) {
                dup2(out, 1);
                dup2(out, 2);
            }
            execl("/bin/sh", "sh", script.c_str(), Dir.c_str(), port.c_str(), Address.c_str(), nullptr);
            _exit(127);
        }
    }
    ~TPeer() {
        if (FPid > 0) {
            kill(-FPid, SIGTERM);
            waitpid(FPid, nullptr, 0);
        }
    }
    TPeer(const TPeer&) = delete;
    TPeer& operator=(const TPeer&) = delete;

private:
    pid_t FPid = -1;
};

// The peers that answer HTTP and SNMP for all hosts: web servers on 127.0.0.1 (one port each) and
// agents on 127.0.0.1, .2, ... (one port for all).
struct TPeerSet {
    std::vector<int> WebPorts;
    std::vector<std::string> AgentAddresses;
    int AgentPort = 0;
};

// The real probes, each call timed. The hosts are 127.0.x.y; echo goes to each host's own
// address, HTTP and SNMP to the host's web server and agent, host i to peer i modulo their number.
class TTimedProbes : public IHostProbes {
public:
    TTimedProbes(TNetHostProbes& Inner, const TPeerSet& Peers) : FInner(Inner), FPeers(Peers) {}

    enum TKind { kEcho, kHttp, kSnmp, kKinds };

    TPingOutcome Ping(const std::string& Host, int TimeoutMs) override {
        auto start = Clock::now();
        TPingOutcome outcome = FInner.Ping(Host, TimeoutMs);
        Account(kEcho, start, !outcome.ErrorDesc.empty(), outcome.ErrorDesc);
        return outcome;
    }
    std::string HttpProbe(const std::string& Host, int TimeoutMs) override {
        const int port = FPeers.WebPorts[HostIndex(Host) % FPeers.WebPorts.size()];
        const std::string target = "127.0.0.1:" + std::to_string(port);
        auto start = Clock::now();
        std::string result = FInner.HttpProbe(target, TimeoutMs);
        Account(kHttp, start, result != "200 OK", result);
        return result;
    }
    std::string SnmpGet(const std::string& Host, const std::string& Community,
                        const std::string& OID) override {
        const std::string& agent = FPeers.AgentAddresses[HostIndex(Host) % FPeers.AgentAddresses.size()];
        auto start = Clock::now();
        std::string result = FInner.SnmpGet(agent, Community, OID);
        Account(kSnmp, start, result.empty());
        return result;
    }
    void CancelAll() override { FInner.CancelAll(); }
    void ResetCancel() override { FInner.ResetCancel(); }

    double SumMs() const { return double(FSumNs.load()) / 1e6; }
    int Calls() const { return FCalls.load(); }
    int Failures() const { return FFailures.load(); }
    int KindFailures(TKind Kind) const { return FKindFailures[Kind].load(); }
    std::string FirstFailure(TKind Kind) {
        std::lock_guard<std::mutex> guard(FLastLock);
        return FFirstFailure[Kind];
    }
    // Per kind: the requests' own time, and the engine's time from the previous request's end to
    // this one's start (before an echo: the work between two hosts).
    double KindMs(TKind Kind) const { return double(FKindNs[Kind].load()) / 1e6; }
    // When the requests since the last call began and ended, in ms after Since: the first start,
    // the last start and the last end.
    struct TSpan {
        double FirstStart = 0, LastStart = 0, LastEnd = 0;
    };
    TSpan SpanSince(std::chrono::steady_clock::time_point Since) {
        std::lock_guard<std::mutex> guard(FLastLock);
        auto ms = [&](Clock::time_point T) {
            return T == Clock::time_point{} ? 0.0 : double(Ns(T - Since)) / 1e6;
        };
        TSpan span{ms(FSpanFirst), ms(FSpanLastStart), ms(FLastEnd)};
        FSpanFirst = FSpanLastStart = Clock::time_point{};
        return span;
    }
    double GapMs(TKind Kind) const { return double(FGapNs[Kind].load()) / 1e6; }

private:
    using Clock = std::chrono::steady_clock;
    // 127.0.x.y is host x * 250 + y - 1.
    static std::size_t HostIndex(const std::string& Host) {
        const std::size_t dot = Host.rfind('.');
        const std::size_t before = Host.rfind('.', dot - 1);
        return std::size_t(std::stoi(Host.substr(before + 1)) * 250 + std::stoi(Host.substr(dot + 1)) - 1);
    }
    static long long Ns(Clock::duration D) {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(D).count();
    }
    void Account(TKind Kind, Clock::time_point Start, bool Failed, const std::string& Why = "no answer") {
        const auto end = Clock::now();
        FSumNs += Ns(end - Start);
        FKindNs[Kind] += Ns(end - Start);
        // The gap says something only while one host is probed at a time.
        std::lock_guard<std::mutex> guard(FLastLock);
        if (FLastEnd != Clock::time_point{} && Start > FLastEnd) {
            FGapNs[Kind] += Ns(Start - FLastEnd);
        }
        FLastEnd = std::max(FLastEnd, end);
        if (FSpanFirst == Clock::time_point{} || Start < FSpanFirst) {
            FSpanFirst = Start;
        }
        FSpanLastStart = std::max(FSpanLastStart, Start);
        ++FCalls;
        FFailures += Failed ? 1 : 0;
        FKindFailures[Kind] += Failed ? 1 : 0;
        if (Failed && FFirstFailure[Kind].empty()) {
            FFirstFailure[Kind] = Why + " after " + std::to_string(Ns(end - Start) / 1000000) + " ms";
        }
    }

    TNetHostProbes& FInner;
    const TPeerSet& FPeers;
    std::atomic<long long> FSumNs{0};
    std::atomic<long long> FKindNs[kKinds]{};
    std::atomic<long long> FGapNs[kKinds]{};
    std::mutex FLastLock;
    Clock::time_point FLastEnd{};
    Clock::time_point FSpanFirst{};
    Clock::time_point FSpanLastStart{};
    std::atomic<int> FCalls{0};
    std::atomic<int> FFailures{0};
    std::atomic<int> FKindFailures[kKinds]{};
    std::string FFirstFailure[kKinds]; // under FLastLock
};

void FillHosts(TDataGrid& Hosts) {
    CreateHostGridColumns(Hosts);
    Hosts.BeginUpdate();
    for (int i = 0; i < kHosts; ++i) {
        int r = Hosts.AddRow();
        Hosts.Cell("Kod_", r).SetAsString(QString::number(i + 1));
        Hosts.Cell("Host", r).SetAsString(QStringLiteral("host%1").arg(i));
        Hosts.Cell("IP", r).SetAsString(QStringLiteral("127.0.%1.%2").arg(i / 250).arg(i % 250 + 1));
        Hosts.Cell("Status", r).SetAsString("OK");
        for (const char* flag : {"Enabled", "ping_check", "Http_check", "SNMP_check"}) {
            Hosts.Cell(flag, r).SetAsBoolean(true);
        }
        Hosts.Cell("Comunity", r).SetAsString("public");
    }
    Hosts.EndUpdate();
}

// The CPU time this process has used so far, all threads.
struct TCpu {
    double UserMs = 0;
    double SystemMs = 0;
};

TCpu ProcessCpu() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto ms = [](const timeval& T) {
        return double(T.tv_sec) * 1e3 + double(T.tv_usec) / 1e3;
    };
    return {ms(usage.ru_utime), ms(usage.ru_stime)};
}

struct TPassFigures {
    double PassMs = 0;
    double SumMs = 0;
    int Calls = 0;
    int Failures = 0;
};

void Print(const char* What, const TPassFigures& F) {
    std::printf("%-34s pass %8.1f ms   sum of %4d requests %8.1f ms (%d failed)   ratio %.3f\n", What,
                F.PassMs, F.Calls, F.SumMs, F.Failures, F.SumMs > 0 ? F.PassMs / F.SumMs : 0.0);
}

// The cost of one empty synchronous call from a worker onto the GUI thread, which serves events
// the way the passes above are served (a host whose state changes costs one such call).
double SynchronizeRoundTripUs() {
    constexpr int calls = 2000;
    std::atomic<bool> done{false};
    QElapsedTimer clock;
    clock.start();
    std::thread worker([&] {
        for (int i = 0; i < calls; ++i) {
            Synchronize([] {});
        }
        done = true;
    });
    while (!done.load()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    worker.join();
    return double(clock.nsecsElapsed()) / 1e3 / calls;
}

// Steady passes measured after the first; their median is compared, as one pass on loopback
// swings with whatever else the machine schedules.
constexpr int kSteadyPasses = 5;

// Pass 1 and kSteadyPasses more with Bound hosts in flight on a database of their own; the median
// of the steady passes.
TPassFigures RunPasses(const std::string& Path, const TPeerSet& Peers, int Bound) {
    TSQLiteDatabase db(QString::fromStdString(Path));
    CreateMissingTables(db);
    TDataGrid hosts, queue;
    FillHosts(hosts);
    CreateDownHostGridColumns(queue);
    TNetHostProbes net;
    net.SetSnmpPort(std::to_string(Peers.AgentPort));
    TTimedProbes probes(net, Peers);
    TBenchEngineOwner owner(hosts, queue, db, probes, 3);
    owner.Bound = Bound;
    db.StartTransaction();

    // Pass 1 from the start (threads created, the sampler's first walk beside it), then the steady
    // passes straight after it (no pause, the countdown gate open).
    TPassFigures first;
    std::vector<TPassFigures> steady;
    QElapsedTimer clock;
    clock.start();
    owner.Start(2000);
    bool ok = owner.WaitPasses(1, 120000);
    first = {double(clock.nsecsElapsed()) / 1e6, probes.SumMs(), probes.Calls(), probes.Failures()};
    const TCpu cpuBefore = ProcessCpu();
    TTimedProbes::TSpan span;
    for (int pass = 2; ok && pass <= 1 + kSteadyPasses; ++pass) {
        const double sumBefore = probes.SumMs();
        const int callsBefore = probes.Calls(), failuresBefore = probes.Failures();
        probes.SpanSince(std::chrono::steady_clock::now());
        const auto passStart = std::chrono::steady_clock::now();
        clock.restart();
        ok = owner.WaitPasses(pass, 120000);
        span = probes.SpanSince(passStart);
        steady.push_back({double(clock.nsecsElapsed()) / 1e6, probes.SumMs() - sumBefore,
                          probes.Calls() - callsBefore, probes.Failures() - failuresBefore});
    }
    const TCpu cpuAfter = ProcessCpu();
    // Before the stop, whose cancelled requests of the next pass are no failures of these two.
    int failed[TTimedProbes::kKinds];
    std::string firstFailure[TTimedProbes::kKinds];
    for (int k = 0; k < TTimedProbes::kKinds; ++k) {
        failed[k] = probes.KindFailures(TTimedProbes::TKind(k));
        firstFailure[k] = probes.FirstFailure(TTimedProbes::TKind(k));
    }
    // The pools keep their workers until the stop: the threads now are the most the passes had.
    const auto threads = std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                                       std::filesystem::directory_iterator());
    owner.Stop();
    db.CommitTransaction();
    if (!ok) {
        std::fprintf(stderr, "the passes did not complete\n");
        return {};
    }
    std::printf("check pass over %d loopback hosts, echo + HTTP (lighttpd) + SNMP GET (snmpd) each, "
                "bound %d:\n",
                kHosts, Bound);
    const char* names[] = {"echo", "HTTP GET", "SNMP GET"};
    Print("pass 1 (from the start)", first);
    std::vector<TPassFigures> sorted = steady;
    std::sort(sorted.begin(), sorted.end(),
              [](const TPassFigures& A, const TPassFigures& B) { return A.PassMs < B.PassMs; });
    const TPassFigures median = sorted[sorted.size() / 2];
    std::printf("steady passes 2..%d:", 1 + kSteadyPasses);
    for (const TPassFigures& f : steady) {
        std::printf(" %.1f", f.PassMs);
    }
    std::printf(" ms\n");
    Print("steady pass (median)", median);
    for (int k = 0; k < TTimedProbes::kKinds; ++k) {
        if (failed[k] > 0) {
            std::printf("failed %s requests in all passes: %d, the first: %s\n", names[k], failed[k],
                        firstFailure[k].c_str());
        }
    }
    std::printf("steady passes: this process used %.1f ms of CPU a pass (user %.1f, system %.1f)\n",
                (cpuAfter.UserMs + cpuAfter.SystemMs - cpuBefore.UserMs - cpuBefore.SystemMs) / kSteadyPasses,
                (cpuAfter.UserMs - cpuBefore.UserMs) / kSteadyPasses,
                (cpuAfter.SystemMs - cpuBefore.SystemMs) / kSteadyPasses);
    std::printf("threads of this process at the end of the passes: %ld\n", long(threads));
    std::printf("last pass: requests started from %.1f ms to %.1f ms, the last ended at %.1f ms\n",
                span.FirstStart, span.LastStart, span.LastEnd);
    const int requests = (1 + kSteadyPasses) * kHosts;
    std::printf("all passes, per request: ");
    for (int k = 0; k < TTimedProbes::kKinds; ++k) {
        std::printf("%s %.1f us  ", names[k], probes.KindMs(TTimedProbes::TKind(k)) * 1000.0 / requests);
    }
    if (Bound == 1) {
        std::printf("\nengine time before each request: ");
        for (int k = 0; k < TTimedProbes::kKinds; ++k) {
            std::printf("%s %.1f us  ", names[k], probes.GapMs(TTimedProbes::TKind(k)) * 1000.0 / requests);
        }
        std::printf("(before an echo: between two hosts)");
    }
    std::printf("\n");
    return median;
}

// ---------------------------------------------------------------------------------------------
// The anchor: the peers alone, doing the requests of one pass without the program.

// Every HTTP GET of a pass at once over bare non-blocking sockets in one epoll loop, a new
// connection each (as the check makes one per request); returns the answers with status 200.
int BareHttpAllAtOnce(const TPeerSet& Peers) {
    const std::string request = "GET / HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
    const int poller = epoll_create1(EPOLL_CLOEXEC);
    struct TConnection {
        int Fd = -1;
        bool Sent = false;
        std::string Reply;
    };
    std::vector<TConnection> connections(kHosts);
    int open = 0;
    for (int i = 0; i < kHosts; ++i) {
        TConnection& c = connections[std::size_t(i)];
        c.Fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(uint16_t(Peers.WebPorts[std::size_t(i) % Peers.WebPorts.size()]));
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connect(c.Fd, reinterpret_cast<sockaddr*>(&to), sizeof to);
        epoll_event event{};
        event.events = EPOLLOUT;
        event.data.u32 = uint32_t(i);
        epoll_ctl(poller, EPOLL_CTL_ADD, c.Fd, &event);
        ++open;
    }
    int ok = 0;
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    epoll_event events[256];
    char buffer[4096];
    while (open > 0 && std::chrono::steady_clock::now() < limit) {
        const int n = epoll_wait(poller, events, 256, 100);
        for (int e = 0; e < n; ++e) {
            TConnection& c = connections[events[e].data.u32];
            if (!c.Sent) {
                c.Sent = send(c.Fd, request.data(), request.size(), MSG_NOSIGNAL) == ssize_t(request.size());
                epoll_event event{};
                event.events = EPOLLIN;
                event.data.u32 = events[e].data.u32;
                epoll_ctl(poller, EPOLL_CTL_MOD, c.Fd, &event);
                if (c.Sent) {
                    continue;
                }
            } else {
                ssize_t got;
                while ((got = recv(c.Fd, buffer, sizeof buffer, 0)) > 0) {
                    c.Reply.append(buffer, std::size_t(got));
                }
                if (got < 0 && errno == EAGAIN) {
                    continue;
                }
            }
            ok += c.Reply.rfind("HTTP/1.", 0) == 0 && c.Reply.compare(8, 5, " 200 ") == 0 ? 1 : 0;
            close(c.Fd);
            c.Fd = -1;
            --open;
        }
    }
    for (const TConnection& c : connections) {
        if (c.Fd >= 0) {
            close(c.Fd);
        }
    }
    close(poller);
    return ok;
}

// Every SNMP GET of a pass over bare UDP sockets, at most 64 in flight to an agent (the program's
// limit an agent), the request encoded once beforehand; returns the answers.
int BareSnmpGets(const TPeerSet& Peers) {
    constexpr int kInFlight = 64;
    TSNMPRec get;
    get.Community = "public";
    get.PDUType = PDUGetRequest;
    get.AddVarBind("1.3.6.1.2.1.1.1.0", "", 5);
    const std::string request = get.EncodePacket();
    struct TSlot {
        int Fd = -1;
        std::size_t Agent = 0;
    };
    std::vector<TSlot> sockets;
    std::vector<int> left; // GETs still to send, by agent
    for (std::size_t a = 0; a < Peers.AgentAddresses.size(); ++a) {
        left.push_back(kHosts / int(Peers.AgentAddresses.size()) +
                       (int(a) < kHosts % int(Peers.AgentAddresses.size()) ? 1 : 0));
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(uint16_t(Peers.AgentPort));
        inet_pton(AF_INET, Peers.AgentAddresses[a].c_str(), &to.sin_addr);
        for (int k = 0; k < kInFlight && k < left[a]; ++k) {
            TSlot slot;
            slot.Agent = a;
            slot.Fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
            connect(slot.Fd, reinterpret_cast<sockaddr*>(&to), sizeof to);
            sockets.push_back(slot);
        }
    }
    int answered = 0;
    std::vector<bool> busy(sockets.size(), false);
    auto sendOn = [&](std::size_t s) {
        busy[s] = left[sockets[s].Agent] > 0;
        if (busy[s]) {
            --left[sockets[s].Agent];
            send(sockets[s].Fd, request.data(), request.size(), 0);
        }
    };
    for (std::size_t s = 0; s < sockets.size(); ++s) {
        sendOn(s);
    }
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    std::vector<pollfd> fds(sockets.size());
    char reply[2048];
    while (std::chrono::steady_clock::now() < limit) {
        int waiting = 0;
        for (std::size_t s = 0; s < sockets.size(); ++s) {
            fds[s] = {busy[s] ? sockets[s].Fd : -1, POLLIN, 0};
            waiting += busy[s] ? 1 : 0;
        }
        if (waiting == 0) {
            break;
        }
        if (poll(fds.data(), fds.size(), 100) <= 0) {
            continue;
        }
        for (std::size_t s = 0; s < sockets.size(); ++s) {
            if (busy[s] && (fds[s].revents & POLLIN) && recv(sockets[s].Fd, reply, sizeof reply, 0) > 0) {
                ++answered;
                sendOn(s);
            }
        }
    }
    for (const TSlot& slot : sockets) {
        close(slot.Fd);
    }
    return answered;
}

// Both at once, as in a pass; the wall time in ms (median of kSteadyPasses runs).
double PeersAlone(const TPeerSet& Peers) {
    std::vector<double> runs;
    int http = 0, snmp = 0;
    for (int run = 0; run < kSteadyPasses; ++run) {
        QElapsedTimer clock;
        clock.start();
        std::thread web([&] { http = BareHttpAllAtOnce(Peers); });
        snmp = BareSnmpGets(Peers);
        web.join();
        runs.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    std::sort(runs.begin(), runs.end());
    std::printf(
        "anchor, the peers alone: %d HTTP GETs at once over bare non-blocking sockets in one epoll "
        "loop (new connection each) beside %d SNMP GETs over bare UDP sockets (request encoded once, 64 "
        "in flight an agent); last run %d and %d answered; median of %d runs %.1f ms\n",
        kHosts, kHosts, http, snmp, kSteadyPasses, runs[runs.size() / 2]);
    return runs[runs.size() / 2];
}

int Run(const std::string& Folder, int WebServers, int Agents) {
    TPeerSet peers;
    peers.AgentPort = FreePort(SOCK_DGRAM);
    std::vector<std::unique_ptr<TPeer>> running;
    for (int i = 0; i < WebServers; ++i) {
        const std::string dir = Folder + "/web" + std::to_string(i);
        std::filesystem::create_directories(dir + "/www");
        std::ofstream(dir + "/www/index.html") << "<html><body>up</body></html>\n";
        peers.WebPorts.push_back(FreePort(SOCK_STREAM));
        running.push_back(std::make_unique<TPeer>("lighttpd.sh", dir, peers.WebPorts.back()));
    }
    for (int i = 0; i < Agents; ++i) {
        peers.AgentAddresses.push_back("127.0.0." + std::to_string(i + 1));
        running.push_back(std::make_unique<TPeer>("snmpd.sh", Folder + "/agent" + std::to_string(i),
                                                  peers.AgentPort, peers.AgentAddresses.back()));
    }
    bool up = false;
    for (int i = 0; i < 100 && !up; ++i) {
        up = true;
        for (int port : peers.WebPorts) {
            up = up && TcpPortOpen(port);
        }
        for (const std::string& agent : peers.AgentAddresses) {
            std::string reply;
            SnmpQuery(agent, "public", "1.3.6.1.2.1.1.1.0", 160, reply, std::to_string(peers.AgentPort), 100);
            up = up && !reply.empty();
        }
        if (!up) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    if (!up) {
        std::fprintf(stderr, "the peers did not come up\n");
        return 1;
    }
    std::printf(
        "== %d hosts; HTTP: %d lighttpd on 127.0.0.1 (own port each), SNMP: %d snmpd on 127.0.0.1..%d; "
        "host i asks peer i mod their number ==\n",
        kHosts, WebServers, Agents, Agents);
    const TPassFigures serial = RunPasses(Folder + "/serial.db", peers, 1);
    const TPassFigures wide = RunPasses(Folder + "/wide.db", peers, HostsInFlightBound());
    if (serial.PassMs <= 0 || wide.PassMs <= 0) {
        return 1;
    }
    const double floor = PeersAlone(peers);
    std::printf("the pass against the peers alone: %.2f x their time; the most a pass could gain on the "
                "sequential one with these peers: %.1f x\n",
                wide.PassMs / floor, serial.PassMs / floor);
    std::printf(
        "speed-up of the median steady pass, bound %d against bound 1 (%d web servers, %d agents): %.1f x\n",
        HostsInFlightBound(), WebServers, Agents, serial.PassMs / wide.PassMs);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);
    LangTexts::UseBuiltInEnglish();
    const std::string folder =
        std::filesystem::temp_directory_path() / ("bench_engine_real." + std::to_string(getpid()));
    // "bench_engine_real WEB AGENTS" runs one set of peers; by default one web server and one agent
    // for all hosts, then several of each, as hosts of a real network each answer for themselves.
    std::vector<std::pair<int, int>> sets{{1, 1}, {4, 4}};
    if (argc == 3) {
        sets = {{std::atoi(argv[1]), std::atoi(argv[2])}};
    }
    int rc = 0;
    for (auto [web, agents] : sets) {
        rc = rc != 0 ? rc
                     : Run(folder + "/" + std::to_string(web) + "-" + std::to_string(agents), web, agents);
    }
    std::printf("one empty synchronous call onto the GUI thread: %.1f us\n", SynchronizeRoundTripUs());
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return rc;
}
