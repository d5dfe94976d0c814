// One check pass over 1,000 loopback hosts with echo, HTTP and SNMP on against real peers (the web
// server and the SNMP agent of tests/peers/), first one host at a time (bound 1, the sequential
// pass), then with the program's window of hosts in flight, in the same run against the same peers.
// Prints each pass, the sum of the requests' own round trips, and the speed-up.
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

#include <QCoreApplication>
#include <QElapsedTimer>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int kHosts = 1000;

std::string PeerScript(const char* Name) {
    return (std::filesystem::path(__FILE__).parent_path().parent_path() / "tests/peers" / Name).string();
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
    TPeer(const char* Script, const std::string& Dir, int Port) {
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
            execl("/bin/sh", "sh", script.c_str(), Dir.c_str(), port.c_str(), nullptr);
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

// The real probes, each call timed. The hosts are 127.0.x.y; echo goes to each host's own
// address, HTTP and SNMP to the one web server and agent, which listen on 127.0.0.1 only.
class TTimedProbes : public IHostProbes {
public:
    TTimedProbes(TNetHostProbes& Inner, std::string HttpHost)
        : FInner(Inner), FHttpHost(std::move(HttpHost)) {}

    enum TKind { kEcho, kHttp, kSnmp, kKinds };

    TPingOutcome Ping(const std::string& Host, int TimeoutMs) override {
        auto start = Clock::now();
        TPingOutcome outcome = FInner.Ping(Host, TimeoutMs);
        Account(kEcho, start, !outcome.ErrorDesc.empty());
        return outcome;
    }
    std::string HttpProbe(const std::string&, int TimeoutMs) override {
        auto start = Clock::now();
        std::string result = FInner.HttpProbe(FHttpHost, TimeoutMs);
        Account(kHttp, start, result != "200 OK");
        return result;
    }
    std::string SnmpGet(const std::string&, const std::string& Community, const std::string& OID) override {
        auto start = Clock::now();
        std::string result = FInner.SnmpGet("127.0.0.1", Community, OID);
        Account(kSnmp, start, result.empty());
        return result;
    }
    void CancelAll() override { FInner.CancelAll(); }
    void ResetCancel() override { FInner.ResetCancel(); }

    double SumMs() const { return double(FSumNs.load()) / 1e6; }
    int Calls() const { return FCalls.load(); }
    int Failures() const { return FFailures.load(); }
    // Per kind: the requests' own time, and the engine's time from the previous request's end to
    // this one's start (before an echo: the work between two hosts).
    double KindMs(TKind Kind) const { return double(FKindNs[Kind].load()) / 1e6; }
    double GapMs(TKind Kind) const { return double(FGapNs[Kind].load()) / 1e6; }

private:
    using Clock = std::chrono::steady_clock;
    static long long Ns(Clock::duration D) {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(D).count();
    }
    void Account(TKind Kind, Clock::time_point Start, bool Failed) {
        const auto end = Clock::now();
        FSumNs += Ns(end - Start);
        FKindNs[Kind] += Ns(end - Start);
        // The gap says something only while one host is probed at a time.
        std::lock_guard<std::mutex> guard(FLastLock);
        if (FLastEnd != Clock::time_point{} && Start > FLastEnd) {
            FGapNs[Kind] += Ns(Start - FLastEnd);
        }
        FLastEnd = std::max(FLastEnd, end);
        ++FCalls;
        FFailures += Failed ? 1 : 0;
    }

    TNetHostProbes& FInner;
    std::string FHttpHost;
    std::atomic<long long> FSumNs{0};
    std::atomic<long long> FKindNs[kKinds]{};
    std::atomic<long long> FGapNs[kKinds]{};
    std::mutex FLastLock;
    Clock::time_point FLastEnd{};
    std::atomic<int> FCalls{0};
    std::atomic<int> FFailures{0};
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

// Two passes with Bound hosts in flight on a database of their own; the steady (second) pass.
TPassFigures RunPasses(const std::string& Path, int WebPort, int SnmpPort, int Bound) {
    TSQLiteDatabase db(QString::fromStdString(Path));
    CreateMissingTables(db);
    TDataGrid hosts, queue;
    FillHosts(hosts);
    CreateDownHostGridColumns(queue);
    TNetHostProbes net;
    net.SetSnmpPort(std::to_string(SnmpPort));
    TTimedProbes probes(net, "127.0.0.1:" + std::to_string(WebPort));
    TBenchEngineOwner owner(hosts, queue, db, probes, 3);
    owner.Bound = Bound;
    db.StartTransaction();

    // Pass 1 from the start (threads created, the sampler's first walk beside it), then pass 2
    // straight after pass 1 (no pause, the countdown gate open).
    TPassFigures first, second;
    QElapsedTimer clock;
    clock.start();
    owner.Start(2000);
    bool ok = owner.WaitPasses(1, 120000);
    first = {double(clock.nsecsElapsed()) / 1e6, probes.SumMs(), probes.Calls(), probes.Failures()};
    clock.restart();
    ok = ok && owner.WaitPasses(2, 120000);
    second = {double(clock.nsecsElapsed()) / 1e6, probes.SumMs() - first.SumMs, probes.Calls() - first.Calls,
              probes.Failures() - first.Failures};
    owner.Stop();
    db.CommitTransaction();
    if (!ok) {
        std::fprintf(stderr, "the passes did not complete\n");
        return {};
    }
    std::printf("check pass over %d loopback hosts, echo + HTTP (lighttpd) + SNMP GET (snmpd) each, "
                "bound %d:\n",
                kHosts, Bound);
    Print("pass 1 (from the start)", first);
    Print("pass 2 (steady state)", second);
    const char* names[] = {"echo", "HTTP GET", "SNMP GET"};
    const int requests = 2 * kHosts;
    std::printf("both passes, per request: ");
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
    return second;
}

int Run(const std::string& Folder) {
    std::filesystem::create_directories(Folder + "/web/www");
    std::ofstream(Folder + "/web/www/index.html") << "<html><body>up</body></html>\n";
    const int webPort = FreePort(SOCK_STREAM);
    const int snmpPort = FreePort(SOCK_DGRAM);
    TPeer web("lighttpd.sh", Folder + "/web", webPort);
    TPeer agent("snmpd.sh", Folder + "/agent", snmpPort);
    bool up = false;
    for (int i = 0; i < 100 && !up; ++i) {
        std::string reply;
        SnmpQuery("127.0.0.1", "public", "1.3.6.1.2.1.1.1.0", 160, reply, std::to_string(snmpPort), 100);
        up = TcpPortOpen(webPort) && !reply.empty();
        if (!up) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    if (!up) {
        std::fprintf(stderr, "the peers did not come up\n");
        return 1;
    }

    const TPassFigures serial = RunPasses(Folder + "/serial.db", webPort, snmpPort, 1);
    const TPassFigures wide = RunPasses(Folder + "/wide.db", webPort, snmpPort, HostsInFlightBound());
    if (serial.PassMs <= 0 || wide.PassMs <= 0) {
        return 1;
    }
    std::printf("speed-up of the steady pass, bound %d against bound 1: %.1f x\n", HostsInFlightBound(),
                serial.PassMs / wide.PassMs);
    std::printf("one empty synchronous call onto the GUI thread: %.1f us\n", SynchronizeRoundTripUs());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);
    LangTexts::UseBuiltInEnglish();
    const std::string folder =
        std::filesystem::temp_directory_path() / ("bench_engine_real." + std::to_string(getpid()));
    int rc = Run(folder);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return rc;
}
