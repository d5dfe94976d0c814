// ICMP echo figures, each against an anchor doing the same work in the same run.
//
// 1. One echo's cost on 127.0.0.1: our client as the checks use it (a fresh client and socket per
//    echo, each waiting for its reply), a bare-syscall echo on one socket kept open (the floor), and
//    fping -c1 -i 0 over 1,000 loopback addresses (the anchor; its -i 1 figure shows only the 1 ms
//    spacing that interval forces between requests).
// 2. As root, in a network namespace of our own (tests/peers/netns-engine.sh loopback), where every
//    127.x address answers and what an nft set holds is dropped: 10,000 echoes started at once through
//    the probes' asynchronous echo; one check pass over 10,000 echo hosts of which 500 are silent
//    (time-out 2000 ms), spread over the list (every 20th) and, beside it, in one block; each against
//    fping -c1 -t2000 -i 0 over the same addresses; the spread pass again with datagram echo sockets
//    refused in the namespace (raw sockets); the same hosts with echo, HTTP and SNMP on (web server
//    and agent inside the namespace); and the sampler's minute over 2,000 latency-sampled hosts of
//    which 100 are silent.
#include "bench/BenchEngineOwner.h"
#include "core/DatabaseSchema.h"
#include "core/HostGrid.h"
#include "core/LangTexts.h"
#include "core/NetHostProbes.h"
#include "core/ProbePool.h"
#include "core/SQLiteDb.h"
#include "net/pingsend.h"

#include <atomic>
#include <condition_variable>
#include <mutex>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <netinet/in.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <sched.h>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point Start) {
    return std::chrono::duration<double>(Clock::now() - Start).count();
}

double CpuSeconds(int Who) {
    rusage usage{};
    getrusage(Who, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

std::string PeerScript(const char* Name) {
    std::filesystem::path source(__FILE__);
    // A path relative to the build folder, which holds this program's folder.
    if (source.is_relative()) {
        source = std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() / source;
    }
    return (source.parent_path().parent_path() / "tests/peers" / Name).string();
}

// Runs a command line; its exit status, -1 when it could not run.
int Shell(const std::string& Command) {
    const int status = std::system(Command.c_str());
    return status == -1 ? -1 : WEXITSTATUS(status);
}

// ---------------------------------------------------------------------------------------------
// 1. One echo on 127.0.0.1

constexpr int Echoes = 1000;

struct TEchoFigures {
    int Answered = 0;
    double WallPerEchoUs = 0;
    double CpuPerEchoUs = 0;
};

TEchoFigures OurEchoes(const char*& KindName) {
    TEchoFigures f;
    const double cpu0 = CpuSeconds(RUSAGE_SELF);
    const auto start = Clock::now();
    TIcmpSocketKind kind = ISK_None;
    for (int i = 0; i < Echoes; ++i) {
        TPINGSend ping;
        ping.Timeout = 2000;
        if (ping.Ping("127.0.0.1") && ping.ReplyErrorDesc().empty()) {
            ++f.Answered;
        }
        kind = ping.SocketKind();
    }
    f.WallPerEchoUs = SecondsSince(start) / Echoes * 1e6;
    f.CpuPerEchoUs = (CpuSeconds(RUSAGE_SELF) - cpu0) / Echoes * 1e6;
    KindName = kind == ISK_Datagram ? "datagram" : kind == ISK_Raw ? "raw" : "none";
    return f;
}

uint16_t Checksum(const uint8_t* Data, std::size_t Length) {
    uint32_t sum = 0;
    for (std::size_t i = 0; i + 1 < Length; i += 2) {
        sum += uint32_t(Data[i]) << 8 | Data[i + 1];
    }
    if (Length % 2) {
        sum += uint32_t(Data[Length - 1]) << 8;
    }
    while (sum >> 16) {
        sum = (sum & 0xffff) + (sum >> 16);
    }
    return uint16_t(~sum);
}

// The floor: one ICMP socket opened once, each echo a sendto and a recv of its reply.
TEchoFigures BareEchoes(const char*& KindName) {
    TEchoFigures f;
    bool raw = false;
    int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (s < 0) {
        s = socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
        raw = true;
    }
    KindName = s < 0 ? "none" : raw ? "raw" : "datagram";
    if (s < 0) {
        return f;
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const uint16_t id = uint16_t(getpid() & 0x7fff);
    const double cpu0 = CpuSeconds(RUSAGE_SELF);
    const auto start = Clock::now();
    for (int seq = 1; seq <= Echoes; ++seq) {
        uint8_t packet[8 + 32] = {8, 0, 0, 0, uint8_t(id >> 8), uint8_t(id), uint8_t(seq >> 8), uint8_t(seq)};
        std::fill(packet + 8, packet + sizeof packet, '7');
        const uint16_t sum = Checksum(packet, sizeof packet);
        packet[2] = uint8_t(sum >> 8);
        packet[3] = uint8_t(sum);
        if (sendto(s, packet, sizeof packet, 0, reinterpret_cast<sockaddr*>(&to), sizeof to) < 0) {
            continue;
        }
        for (int tries = 0; tries < 64; ++tries) {
            pollfd p{s, POLLIN, 0};
            if (poll(&p, 1, 2000) <= 0) {
                break;
            }
            uint8_t reply[1500];
            const ssize_t n = recv(s, reply, sizeof reply, 0);
            const std::size_t skip = raw && n > 0 ? std::size_t(reply[0] & 0x0f) * 4 : 0;
            if (n >= ssize_t(skip + 8) && reply[skip] == 0 && reply[skip + 6] == uint8_t(seq >> 8) &&
                reply[skip + 7] == uint8_t(seq)) {
                ++f.Answered;
                break;
            }
        }
    }
    f.WallPerEchoUs = SecondsSince(start) / Echoes * 1e6;
    f.CpuPerEchoUs = (CpuSeconds(RUSAGE_SELF) - cpu0) / Echoes * 1e6;
    close(s);
    return f;
}

// Addresses one per line, for fping -f.
std::string WriteAddresses(const std::string& Path, const std::vector<std::string>& Addresses) {
    std::ofstream out(Path);
    for (const std::string& address : Addresses) {
        out << address << '\n';
    }
    return Path;
}

// fping -c1 over the listed addresses; wall time in seconds (-1 when it did not run) and answers.
double RunFping(const std::string& Options, const std::string& File, int& Answered, double& CpuSeconds) {
    const double cpu0 = ::CpuSeconds(RUSAGE_CHILDREN);
    const auto start = Clock::now();
    const std::string command = "fping -c1 -q " + Options + " -f " + File + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) {
        return -1;
    }
    Answered = 0;
    char line[512];
    while (fgets(line, sizeof line, pipe)) {
        if (std::string(line).find("xmt/rcv/%loss = 1/1/") != std::string::npos) {
            ++Answered;
        }
    }
    const int status = pclose(pipe);
    const double wall = SecondsSince(start);
    CpuSeconds = ::CpuSeconds(RUSAGE_CHILDREN) - cpu0;
    return status == -1 || WEXITSTATUS(status) > 2 ? -1 : wall;
}

// The smallest -i this fping accepts, of 0 and 1 ms (it refuses what it does not take).
std::string SmallestInterval() {
    return Shell("fping -c1 -q -i 0 -t 100 127.0.0.1 >/dev/null 2>&1") <= 1 ? "-i 0" : "-i 1";
}

// fping -c1 -t 2000 over File at -i 0, the anchor (or the smallest interval it accepts); Show gets
// the interval, the wall seconds, the answers and the processor seconds.
void FpingAnchor(const std::string& File,
                 const std::function<void(const std::string&, double, int, double)>& Show) {
    const std::string interval = SmallestInterval();
    int answered = 0;
    double cpu = 0;
    const double wall = RunFping(interval + " -t 2000", File, answered, cpu);
    if (wall < 0) {
        std::printf("  fping: not available\n");
        return;
    }
    Show(interval, wall, answered, cpu);
}

// fping at -i 1: no anchor, only what its forced spacing of 1 ms between requests costs.
void FpingForcedSpacing(const std::string& File, int Count) {
    int answered = 0;
    double cpu = 0;
    const double wall = RunFping("-i 1 -t 2000", File, answered, cpu);
    if (wall >= 0) {
        std::printf("  (fping -i 1 over the same %d addresses: %.2f s, %d answered; its 1 ms spacing alone "
                    "takes %.2f s: not an anchor)\n",
                    Count, wall, answered, Count / 1000.0);
    }
}

void EchoCost(const std::string& Folder) {
    std::printf("1. one echo on loopback (%d echoes each)\n", Echoes);
    const char* kind = "none";
    const TEchoFigures ours = OurEchoes(kind);
    std::printf("  ours, %s socket, fresh client per echo, one after another: %d answered, %.1f us per echo "
                "(whole call), %.1f us processor\n",
                kind, ours.Answered, ours.WallPerEchoUs, ours.CpuPerEchoUs);
    const TEchoFigures bare = BareEchoes(kind);
    std::printf(
        "  bare syscalls, one %s socket kept open, sendto + poll + recv per echo: %d answered, %.1f us "
        "per echo, %.1f us processor\n",
        kind, bare.Answered, bare.WallPerEchoUs, bare.CpuPerEchoUs);
    std::vector<std::string> addresses;
    for (int i = 0; i < Echoes; ++i) {
        addresses.push_back("127.0." + std::to_string(10 + i / 250) + "." + std::to_string(1 + i % 250));
    }
    const std::string file = WriteAddresses(Folder + "/loopback.txt", addresses);
    FpingAnchor(file, [](const std::string& Interval, double Wall, int Answered, double Cpu) {
        std::printf(
            "  anchor: fping -c1 %s -t 2000 over %d loopback addresses, all requests at once: %d answered, "
            "%.1f us wall per echo, %.1f us processor per echo\n",
            Interval.c_str(), Echoes, Answered, Wall / Echoes * 1e6, Cpu / Echoes * 1e6);
    });
    FpingForcedSpacing(file, Echoes);
    std::printf("  ratio ours/bare: %.2f per echo\n", ours.WallPerEchoUs / bare.WallPerEchoUs);
}

// ---------------------------------------------------------------------------------------------
// 2. Passes in a namespace of our own

// The loopback namespace of the engine tests; the calling thread (and what it starts) inside it.
class TNamespace {
public:
    TNamespace() : FPrefix("ztb" + std::to_string(getpid())) {
        FReady =
            Shell("bash " + PeerScript("netns-engine.sh") + " loopback " + FPrefix + " >/dev/null 2>&1") == 0;
        if (!FReady) {
            return;
        }
        FOriginal = open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
        const int target = open(("/run/netns/" + FPrefix + "-l").c_str(), O_RDONLY | O_CLOEXEC);
        FReady = FOriginal >= 0 && target >= 0 && setns(target, CLONE_NEWNET) == 0;
        if (target >= 0) {
            close(target);
        }
    }
    ~TNamespace() {
        if (FOriginal >= 0) {
            setns(FOriginal, CLONE_NEWNET);
            close(FOriginal);
        }
        Shell("bash " + PeerScript("netns-engine.sh") + " teardown " + FPrefix + " >/dev/null 2>&1");
    }
    TNamespace(const TNamespace&) = delete;
    TNamespace& operator=(const TNamespace&) = delete;
    bool Ready() const { return FReady; }
    // Opens ("0 2147483647") or closes ("1 0") datagram echo sockets in the namespace.
    bool SetPingGroupRange(const std::string& Range) {
        return Shell("ip netns exec " + FPrefix + "-l sysctl -qw net.ipv4.ping_group_range=\"" + Range +
                     "\"") == 0;
    }

private:
    std::string FPrefix;
    int FOriginal = -1;
    bool FReady = false;
};

// A peer process in its own process group inside the namespace, stopped on destruction.
class TPeer {
public:
    explicit TPeer(const std::vector<std::string>& Argv, const std::string& Log) {
        FPid = fork();
        if (FPid == 0) {
            setpgid(0, 0);
            const int out = open(Log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
            if (out >= 0) {
                dup2(out, 1);
                dup2(out, 2);
            }
            std::vector<char*> args;
            for (const std::string& arg : Argv) {
                args.push_back(const_cast<char*>(arg.c_str()));
            }
            args.push_back(nullptr);
            execvp(args[0], args.data());
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

constexpr int PassHosts = 10000;
constexpr int SilentHosts = 500;

// 9,500 answering addresses and 500 silent ones: every 20th host when Spread, else one block in the
// middle of the list. The silent ones are 127.2.x.y, which the namespace drops.
std::vector<std::string> PassAddresses(bool Spread) {
    std::vector<std::string> addresses;
    const int silentFrom = (PassHosts - SilentHosts) / 2;
    int silent = 0;
    for (int i = 0; i < PassHosts; ++i) {
        const bool quiet = Spread ? i % 20 == 19 : i >= silentFrom && i < silentFrom + SilentHosts;
        if (quiet) {
            addresses.push_back("127.2." + std::to_string(silent / 250) + "." +
                                std::to_string(1 + silent % 250));
            ++silent;
        } else {
            addresses.push_back("127.1." + std::to_string(i / 250) + "." + std::to_string(1 + i % 250));
        }
    }
    return addresses;
}

// Every address's echo started at once through the probes' asynchronous echo; wall seconds until
// the last outcome, processor seconds, answers.
double AsyncEchoes(const std::vector<std::string>& Addresses, double& Cpu, int& Answered) {
    TNetHostProbes probes;
    std::mutex lock;
    std::condition_variable done;
    int finished = 0;
    std::atomic<int> answered{0};
    const double cpu0 = CpuSeconds(RUSAGE_SELF);
    const auto start = Clock::now();
    for (const std::string& address : Addresses) {
        probes.PingAsync(address, 2000, [&](const TPingOutcome& Outcome) {
            if (Outcome.TimeMs >= 0 && Outcome.ErrorDesc.empty()) {
                ++answered;
            }
            std::lock_guard<std::mutex> guard(lock);
            ++finished;
            done.notify_all();
        });
    }
    std::unique_lock<std::mutex> guard(lock);
    done.wait_for(guard, std::chrono::seconds(60), [&] { return finished == int(Addresses.size()); });
    const double wall = SecondsSince(start);
    Cpu = CpuSeconds(RUSAGE_SELF) - cpu0;
    Answered = answered;
    return wall;
}

void FillHosts(TDataGrid& Hosts, const std::vector<std::string>& Addresses, bool AllChecks, bool Sampled) {
    CreateHostGridColumns(Hosts);
    Hosts.BeginUpdate();
    for (std::size_t i = 0; i < Addresses.size(); ++i) {
        const int r = Hosts.AddRow();
        Hosts.Cell("Kod_", r).SetAsString(QString::number(i + 1));
        Hosts.Cell("Host", r).SetAsString(QStringLiteral("host%1").arg(i));
        Hosts.Cell("IP", r).SetAsString(QString::fromStdString(Addresses[i]));
        Hosts.Cell("Status", r).SetAsString("OK");
        Hosts.Cell("Enabled", r).SetAsBoolean(true);
        Hosts.Cell("ping_check", r).SetAsBoolean(!Sampled);
        Hosts.Cell("SPing_check", r).SetAsBoolean(Sampled);
        Hosts.Cell("Http_check", r).SetAsBoolean(AllChecks);
        Hosts.Cell("SNMP_check", r).SetAsBoolean(AllChecks);
        Hosts.Cell("Comunity", r).SetAsString("public");
    }
    Hosts.EndUpdate();
}

// One pass from the start with Bound hosts in flight; its wall time and the failed hosts.
double EnginePass(const std::string& Path, const std::vector<std::string>& Addresses, bool AllChecks,
                  int Bound, int& Down) {
    TSQLiteDatabase db(QString::fromStdString(Path));
    CreateMissingTables(db);
    TDataGrid hosts, queue;
    FillHosts(hosts, Addresses, AllChecks, false);
    CreateDownHostGridColumns(queue);
    TNetHostProbes probes;
    TBenchEngineOwner owner(hosts, queue, db, probes, 3);
    owner.Bound = Bound;
    // The sampler has no host to sample: only the check thread works.
    owner.RestartSamplingWindow();
    db.StartTransaction();
    const auto start = Clock::now();
    owner.Start(2000);
    const bool ok = owner.WaitPasses(1, 600000);
    const double seconds = SecondsSince(start);
    owner.Stop();
    Down = 0;
    for (int r = 0; r < hosts.RowCount(); ++r) {
        Down += hosts.Cell("Kol_vo_p", r).GetAsString().toInt() > 0 ? 1 : 0;
    }
    db.CommitTransaction();
    return ok ? seconds : -1;
}

// The sampler's walk over Addresses (latency sampling only); seconds until every sample is stored.
double SamplingMinute(const std::string& Path, const std::vector<std::string>& Addresses, int Bound,
                      int& Stored) {
    TSQLiteDatabase db(QString::fromStdString(Path));
    CreateMissingTables(db);
    TDataGrid hosts, queue;
    FillHosts(hosts, Addresses, false, true);
    CreateDownHostGridColumns(queue);
    TNetHostProbes probes;
    TBenchEngineOwner owner(hosts, queue, db, probes, 3);
    owner.Bound = Bound;
    db.StartTransaction();
    const auto start = Clock::now();
    owner.Start(2000);
    Stored = 0;
    while (Stored < int(Addresses.size()) && SecondsSince(start) < 120) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        Stored = db.OpenResultTable(QStringLiteral("select count(*) from Ping_data"))->FieldInt64(0);
    }
    const double seconds = SecondsSince(start);
    owner.Stop();
    db.CommitTransaction();
    return seconds;
}

void Passes(const std::string& Folder) {
    if (geteuid() != 0) {
        std::printf("2. passes in a namespace: skipped (needs root)\n");
        return;
    }
    TNamespace space;
    if (!space.Ready()) {
        std::printf("2. passes in a namespace: skipped (the namespace could not be made)\n");
        return;
    }
    const int bound = HostsInFlightBound();
    std::printf("2. passes in a namespace of our own (datagram echo sockets; every 127.x answers except the "
                "silent block, whose packets an nft rule drops)\n");
    std::printf(
        "  engine: bound %d hosts in flight, echo time-out 2000 ms; open-file limit raised to its hard "
        "value\n",
        bound);
    const std::vector<std::string> addresses = PassAddresses(true);
    const std::string file = WriteAddresses(Folder + "/pass.txt", addresses);
    auto anchor = [](double Ours) {
        return [Ours](const std::string& Interval, double Wall, int Answered, double Cpu) {
            std::printf(
                "    anchor: fping -c1 -t2000 %s over the same %d addresses, all requests at once: %.2f s, "
                "%d answered (%.2f s processor); ratio ours/fping %.2f\n",
                Interval.c_str(), PassHosts, Wall, Answered, Cpu, Ours / Wall);
        };
    };
    double cpu = 0;
    int answered = 0;
    const double async = AsyncEchoes(addresses, cpu, answered);
    std::printf("  %d echoes started at once through the probes' asynchronous echo (one socket, one loop "
                "thread), %d silent spread: %.2f s to the last outcome, %d answered, %.2f s processor\n",
                PassHosts, SilentHosts, async, answered, cpu);
    FpingAnchor(file, anchor(async));
    int down = 0;
    const double ours = EnginePass(Folder + "/echo.db", addresses, false, bound, down);
    std::printf(
        "  one pass over %d echo hosts, %d silent spread over the list (every 20th): %.2f s, %d hosts "
        "failed\n",
        PassHosts, SilentHosts, ours, down);
    FpingAnchor(file, anchor(ours));
    const std::vector<std::string> block = PassAddresses(false);
    const std::string blockFile = WriteAddresses(Folder + "/block.txt", block);
    const double blockPass = EnginePass(Folder + "/block.db", block, false, bound, down);
    std::printf(
        "  the same pass with the %d silent hosts in one block in the middle: %.2f s, %d hosts failed\n",
        SilentHosts, blockPass, down);
    FpingAnchor(blockFile, anchor(blockPass));
    FpingForcedSpacing(file, PassHosts);
    // Where datagram echo sockets are refused, root's echoes go out over raw sockets (one shared
    // socket a family); fping, run as root, takes a raw socket as well.
    if (space.SetPingGroupRange("1 0")) {
        const double raw = EnginePass(Folder + "/echo-raw.db", addresses, false, bound, down);
        std::printf(
            "  the same pass with datagram echo sockets refused (raw sockets): %.2f s, %d hosts failed\n",
            raw, down);
        space.SetPingGroupRange("0 2147483647");
    }

    // The web server and the agent answer on every 127.x address of the namespace.
    const std::string web = Folder + "/web";
    std::filesystem::create_directories(web + "/www");
    std::ofstream(web + "/www/index.html") << "<html><body>up</body></html>\n";
    std::ofstream(web + "/lighttpd.conf")
        << "server.document-root = \"" << web << "/www\"\nserver.bind = \"0.0.0.0\"\nserver.port = 80\n"
        << "server.max-fds = 16384\nserver.max-connections = 8192\nserver.errorlog = \"" << web
        << "/error.log\"\nindex-file.names = ( \"index.html\" )\n"
        << "mimetype.assign = ( \".html\" => \"text/html\" )\n";
    TPeer lighttpd({"lighttpd", "-D", "-f", web + "/lighttpd.conf"}, web + ".log");
    TPeer snmpd({"sh", PeerScript("snmpd.sh"), Folder + "/agent", "161", "0.0.0.0"}, Folder + "/agent.log");
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const double all = EnginePass(Folder + "/all.db", addresses, true, bound, down);
    std::printf(
        "  one pass over the same %d hosts with echo, HTTP (lighttpd) and SNMP GET (snmpd) on, %d silent: "
        "%.2f s, %d hosts failed\n",
        PassHosts, SilentHosts, all, down);

    std::vector<std::string> sampled;
    for (int i = 0; i < 2000; ++i) {
        sampled.push_back(i % 20 == 10
                              ? "127.2.9." + std::to_string(1 + i / 20)
                              : "127.1." + std::to_string(i / 250) + "." + std::to_string(1 + i % 250));
    }
    int stored = 0;
    const double minute = SamplingMinute(Folder + "/sampling.db", sampled, bound, stored);
    std::printf("  the sampler's walk over 2000 latency-sampled hosts, 100 silent (spread, every 20th; echo "
                "time-out 5000 ms): %.2f s, %d samples stored\n",
                minute, stored);
}

} // namespace

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    RaiseOpenFileLimit();
    QCoreApplication app(argc, argv);
    LangTexts::UseBuiltInEnglish();
    const std::string folder =
        std::filesystem::temp_directory_path() / ("bench_ping." + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    EchoCost(folder);
    Passes(folder);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return 0;
}
