// The built program's check passes at 1,000 / 10,000 / 100,000 hosts beside fping -c1 -t2000 -i 0 on
// the same addresses, both inside a network namespace this benchmark makes: 127.16.0.1 upwards on lo
// (every address answers), every 20th host silent through an nft drop, echo only, time-out 2000 ms.
// A packet socket on the namespace's lo sees every request (the silent ones before the drop); a host's k-th
// request belongs to pass k, and pass k ends at its last request, or 2000 ms after its last silent host's
// request when that is later. Per pass: wall time, the program's processor time from this pass's start to the
// next one's; over the run: peak resident memory and the most threads seen. Needs root and fping. Arguments:
// host counts (default 1000 10000 100000), and passes=N for the passes measured (default 3; from 10 on, the
// default threshold, the stored "ID" events are checked too), and status=OK to store the hosts as checked
// before instead of never checked.
#include "core/DatabaseSchema.h"
#include "core/SQLiteDb.h"
#include "tests/support/ProgramRun.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unordered_map>
#include <vector>

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/if_ether.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int SilentEvery = 20;
constexpr double TimeoutS = 2.0;
// Passes measured; "passes=N" among the arguments changes it.
int Passes = 3;
// The state the hosts are stored with: never checked ("Unknown", so the first pass changes every
// host and writes each one back), or "status=OK" as after a restart of a program that had checked
// them (the first pass then changes only the silent ones).
std::string StoredStatus = "Unknown";
// The program's default failure threshold: a silent host records its one "ID" on this pass.
constexpr int DefaultThreshold = 10;

double Since(Clock::time_point Origin, Clock::time_point At) {
    return std::chrono::duration<double>(At - Origin).count();
}

int Shell(const std::string& Command) {
    const int Status = std::system(Command.c_str());
    return Status == -1 ? -1 : WEXITSTATUS(Status);
}

uint32_t HostAddress(int I) {
    return (127u << 24 | 16u << 16) + 1u + static_cast<uint32_t>(I);
}

std::string Text(uint32_t Address) {
    in_addr A{htonl(Address)};
    char Buf[INET_ADDRSTRLEN];
    return ::inet_ntop(AF_INET, &A, Buf, sizeof Buf);
}

bool Silent(int I) {
    return I % SilentEvery == SilentEvery - 1;
}

// The namespace: lo up, answers without rate limit, datagram echo sockets permitted, the silent hosts
// dropped on the way in. Torn down on destruction.
class TNamespace {
public:
    TNamespace(const std::string& Name, int Hosts, const fs::path& Folder) : FName(Name) {
        Shell("ip netns del " + FName + " 2>/dev/null");
        std::ofstream Rules(Folder / "silent.nft");
        Rules << "table ip ztpb {\n  set silent {\n    type ipv4_addr\n    elements = { ";
        bool First = true;
        for (int I = 0; I < Hosts; ++I) {
            if (Silent(I)) {
                Rules << (First ? "" : ", ") << Text(HostAddress(I));
                First = false;
            }
        }
        Rules << " }\n  }\n  chain in {\n    type filter hook input priority 0; policy accept;\n"
              << "    ip daddr @silent drop\n  }\n}\n";
        Rules.close();
        const std::string In = "ip netns exec " + FName + " ";
        FReady = Shell("ip netns add " + FName) == 0 && Shell("ip -n " + FName + " link set lo up") == 0 &&
                 Shell(In + "sysctl -qw net.ipv4.icmp_ratelimit=0") == 0 &&
                 Shell(In + "sysctl -qw net.ipv4.ping_group_range='0 2147483647'") == 0 &&
                 Shell(In + "nft -f " + (Folder / "silent.nft").string()) == 0;
    }
    ~TNamespace() { Shell("ip netns del " + FName + " 2>/dev/null"); }
    bool Ready() const { return FReady; }
    const std::string& Name() const { return FName; }

private:
    std::string FName;
    bool FReady = false;
};

// A packet socket on lo inside the namespace (the calling thread goes in and back): IP packets as
// they arrive, before the filter drops any.
int SnifferIn(const std::string& Name) {
    const int Original = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
    const int Target = ::open(("/run/netns/" + Name).c_str(), O_RDONLY | O_CLOEXEC);
    int Fd = -1;
    if (Original >= 0 && Target >= 0 && ::setns(Target, CLONE_NEWNET) == 0) {
        Fd = ::socket(AF_PACKET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, htons(ETH_P_IP));
        const int Size = 64 << 20;
        ::setsockopt(Fd, SOL_SOCKET, SO_RCVBUFFORCE, &Size, sizeof Size);
        sockaddr_ll Lo{};
        Lo.sll_family = AF_PACKET;
        Lo.sll_protocol = htons(ETH_P_IP);
        Lo.sll_ifindex = static_cast<int>(::if_nametoindex("lo"));
        ::bind(Fd, reinterpret_cast<sockaddr*>(&Lo), sizeof Lo);
        ::setns(Original, CLONE_NEWNET);
    }
    if (Target >= 0)
        ::close(Target);
    if (Original >= 0)
        ::close(Original);
    return Fd;
}

void WriteHosts(const fs::path& DataFolder, int Hosts) {
    fs::create_directories(DataFolder);
    TSQLiteDatabase Db(QString::fromStdString((DataFolder / "dbm.db").string()));
    CreateMissingTables(Db);
    Db.ExecuteStatement(
        QStringLiteral("insert into list_group (Name,N_group,parent_id) values ('All',1,'')"));
    Db.StartTransaction();
    for (int I = 0; I < Hosts; ++I) {
        Db.ExecuteStatement(
            QStringLiteral(
                "insert into hosts (id,host,IP,Status,Enabled,Ping_check,Alarm_en,N_group,Kol_vo_p,"
                "ICMP_kol_vo_p,ICMP_Status,Http_check,Http_Kol_vo,Http_Status,SNMP_check) values "
                "(?,?,?,?,'-1','-1','0',1,'0','0','','0',0,'','0')"),
            {QString::number(I + 1), QStringLiteral("host%1").arg(I + 1),
             QString::fromStdString(Text(HostAddress(I))), QString::fromStdString(StoredStatus)});
    }
    Db.CommitTransaction();
}

// Ticks of processor time (user + system) of Pid, -1 once it is gone.
long ProcessTicks(pid_t Pid) {
    std::ifstream In("/proc/" + std::to_string(Pid) + "/stat");
    std::string Line;
    if (!std::getline(In, Line))
        return -1;
    const auto Close = Line.rfind(')');
    std::vector<std::string> Fields;
    std::string Field;
    for (std::size_t I = Close + 2; I <= Line.size(); ++I) {
        if (I == Line.size() || Line[I] == ' ') {
            Fields.push_back(Field);
            Field.clear();
        } else {
            Field += Line[I];
        }
    }
    // Fields from the state on: utime and stime are the 12th and 13th.
    return Fields.size() > 12 ? std::stol(Fields[11]) + std::stol(Fields[12]) : -1;
}

// A "Name: value" line of /proc/Pid/status as a number.
long StatusValue(pid_t Pid, const std::string& Name) {
    std::ifstream In("/proc/" + std::to_string(Pid) + "/status");
    std::string Line;
    while (std::getline(In, Line)) {
        if (Line.rfind(Name + ":", 0) == 0)
            return std::atol(Line.c_str() + Name.size() + 1);
    }
    return -1;
}

struct TPass {
    Clock::time_point First{}, LastAnswered{}, LastSilent{};
    int Requests = 0;
    long TicksAtStart = -1;
    double Wall() const {
        const double Answered = Since(First, LastAnswered);
        const double Quiet = LastSilent == Clock::time_point{} ? 0 : Since(First, LastSilent) + TimeoutS;
        return std::max(Answered, Quiet);
    }
};

struct TRun {
    std::vector<TPass> Passes;
    double StartToFirstRequest = 0;
    long PeakRssKb = 0;
    int PeakThreads = 0;
    bool Ended = false;
};

// The stored events after the run, read with the sqlite3 shell: "ID" rows, the distinct hosts they
// name, and rows that are no "ID" or name an answering host (silent hosts have ids 20, 40, ...).
std::string StoredEvents(const fs::path& Database) {
    const std::string Sql = "select count(*), count(distinct ID_h_d), "
                            "(select count(*) from log where Stat_D<>'ID' or cast(ID_h_d as integer) % " +
                            std::to_string(SilentEvery) + " <> 0) from log where Stat_D='ID'";
    FILE* Pipe =
        ::popen(("sqlite3 -separator ' ' '" + Database.string() + "' \"" + Sql + "\" 2>&1").c_str(), "r");
    std::string Out;
    if (!Pipe)
        return Out;
    char Line[256];
    while (std::fgets(Line, sizeof Line, Pipe))
        Out += Line;
    ::pclose(Pipe);
    while (!Out.empty() && (Out.back() == '\n' || Out.back() == '\r'))
        Out.pop_back();
    return Out;
}

TRun RunProgram(const fs::path& Folder, const TNamespace& Ns, int Hosts, int Sniffer) {
    TRun Run;
    const fs::path Program = zt::test::CopyProgram(Folder);
    WriteHosts(Folder / "Data", Hosts);
    std::unordered_map<uint32_t, int> Seen;
    Seen.reserve(static_cast<std::size_t>(Hosts) * 2);
    Run.Passes.resize(Passes + 1);
    const auto Started = Clock::now();
    const pid_t Pid = zt::test::Launch(Program, Folder / "output.log", {"ip", "netns", "exec", Ns.Name()});
    const long TicksPerSecond = ::sysconf(_SC_CLK_TCK);
    auto Sample = Clock::now();
    // Ends after Passes passes and the first request of the one after (its processor time so far
    // closes the last pass), or when the run takes far too long.
    const auto Limit = Started + std::chrono::seconds(60 + Hosts / 200);
    std::vector<char> Space(2048);
    while (Clock::now() < Limit && Run.Passes[Passes].Requests == 0) {
        pollfd P{Sniffer, POLLIN, 0};
        ::poll(&P, 1, 50);
        for (int Batch = 0; Batch < 4096; ++Batch) {
            sockaddr_ll From{};
            socklen_t FromLength = sizeof From;
            const ssize_t N = ::recvfrom(Sniffer, Space.data(), Space.size(), MSG_DONTWAIT,
                                         reinterpret_cast<sockaddr*>(&From), &FromLength);
            if (N < 0)
                break;
            // Each packet on lo passes twice: going out and coming in.
            if (From.sll_pkttype == PACKET_OUTGOING)
                continue;
            const auto* B = reinterpret_cast<const uint8_t*>(Space.data());
            const std::size_t Ihl = static_cast<std::size_t>(B[0] & 0x0F) * 4;
            if (N < static_cast<ssize_t>(Ihl + 8) || B[9] != IPPROTO_ICMP || B[Ihl] != 8)
                continue;
            uint32_t To;
            std::memcpy(&To, B + 16, 4);
            To = ntohl(To);
            const int Index = static_cast<int>(To - HostAddress(0));
            if (Index < 0 || Index >= Hosts)
                continue;
            const int PassNo = Seen[To]++;
            if (PassNo > Passes)
                continue;
            TPass& Pass = Run.Passes[PassNo];
            const auto Now = Clock::now();
            if (Pass.Requests++ == 0) {
                Pass.First = Now;
                Pass.TicksAtStart = ProcessTicks(Pid);
                if (PassNo == 0)
                    Run.StartToFirstRequest = Since(Started, Now);
            }
            (Silent(Index) ? Pass.LastSilent : Pass.LastAnswered) = Now;
        }
        if (Clock::now() - Sample > std::chrono::milliseconds(100)) {
            Sample = Clock::now();
            Run.PeakThreads = std::max(Run.PeakThreads, static_cast<int>(StatusValue(Pid, "Threads")));
        }
    }
    Run.PeakRssKb = StatusValue(Pid, "VmHWM");
    ::kill(Pid, SIGTERM);
    bool Ended = false;
    zt::test::Reap(Pid, &Ended, std::chrono::seconds(60));
    Run.Ended = Ended;
    for (int K = 0; K < Passes; ++K) {
        TPass& Pass = Run.Passes[K];
        const long Next = Run.Passes[K + 1].TicksAtStart;
        if (Pass.Requests == 0)
            std::printf("    pass %d: not seen\n", K + 1);
        else
            std::printf("    pass %d: %d requests, %.2f s, %.2f s processor (to the next pass's start)\n",
                        K + 1, Pass.Requests, Pass.Wall(),
                        Next >= 0 && Pass.TicksAtStart >= 0
                            ? double(Next - Pass.TicksAtStart) / TicksPerSecond
                            : -1.0);
    }
    return Run;
}

double ChildCpu() {
    rusage Usage{};
    ::getrusage(RUSAGE_CHILDREN, &Usage);
    return Usage.ru_utime.tv_sec + Usage.ru_stime.tv_sec +
           (Usage.ru_utime.tv_usec + Usage.ru_stime.tv_usec) / 1e6;
}

// fping -c1 -t2000 -i 0 over the addresses in the namespace: wall seconds, processor seconds, answers.
// One fping takes at most 65,535 hosts a run, so the list goes to processes of at most FpingHosts
// each, all started at once.
constexpr int FpingHosts = 50000;

double Fping(const TNamespace& Ns, const fs::path& Folder, int Hosts, double& Cpu, int& Answered,
             int& Processes) {
    std::vector<fs::path> Lists;
    for (int From = 0; From < Hosts; From += FpingHosts) {
        Lists.push_back(Folder / ("hosts" + std::to_string(Lists.size()) + ".txt"));
        std::ofstream List(Lists.back());
        for (int I = From; I < std::min(Hosts, From + FpingHosts); ++I)
            List << Text(HostAddress(I)) << '\n';
    }
    Processes = static_cast<int>(Lists.size());
    const double Cpu0 = ChildCpu();
    const auto Start = Clock::now();
    std::vector<FILE*> Pipes;
    for (const fs::path& List : Lists) {
        Pipes.push_back(
            ::popen(("ip netns exec " + Ns.Name() + " fping -c1 -t2000 -i 0 -q -f " + List.string() + " 2>&1")
                        .c_str(),
                    "r"));
    }
    std::atomic<int> Got{0};
    std::vector<std::thread> Readers;
    for (FILE* Pipe : Pipes) {
        Readers.emplace_back([Pipe, &Got] {
            if (!Pipe)
                return;
            char Line[512];
            while (std::fgets(Line, sizeof Line, Pipe)) {
                if (std::strstr(Line, "xmt/rcv/%loss = 1/1/"))
                    ++Got;
            }
            ::pclose(Pipe);
        });
    }
    for (std::thread& T : Readers)
        T.join();
    const double Wall = Since(Start, Clock::now());
    Cpu = ChildCpu() - Cpu0;
    Answered = Got;
    return Wall;
}

} // namespace

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    if (::geteuid() != 0 || Shell("command -v fping >/dev/null && command -v nft >/dev/null") != 0) {
        std::printf("needs root, fping and nft\n");
        return 0;
    }
    std::vector<int> Counts;
    for (int I = 1; I < argc; ++I) {
        if (std::strncmp(argv[I], "passes=", 7) == 0)
            Passes = std::max(1, std::atoi(argv[I] + 7));
        else if (std::strncmp(argv[I], "status=", 7) == 0)
            StoredStatus = argv[I] + 7;
        else
            Counts.push_back(std::atoi(argv[I]));
    }
    if (Counts.empty())
        Counts = {1000, 10000, 100000};
    std::printf("set-up: a namespace of our own, hosts 127.16.0.1 upwards on its lo (all answer), every %dth "
                "silent (nft drop on input), echo only, time-out 2000 ms\n",
                SilentEvery);
    std::printf(
        "  ours: the built program (offscreen, a fresh Data folder with the hosts stored as \"%s\" and "
        "default settings), %d passes seen on the wire\n",
        StoredStatus.c_str(), Passes);
    std::printf(
        "  anchor: fping -c1 -t2000 -i 0 -q -f <the same addresses>, in the same namespace, run "
        "after the program ended; one fping takes at most 65,535 hosts, so above %d hosts the list is "
        "split over processes started at once (their processor time summed)\n",
        FpingHosts);
    for (const int Hosts : Counts) {
        const fs::path Folder =
            fs::temp_directory_path() / ("bench_program_passes." + std::to_string(::getpid()));
        fs::remove_all(Folder);
        fs::create_directories(Folder);
        TNamespace Ns("ztpb" + std::to_string(::getpid()), Hosts, Folder);
        const int Sniffer = Ns.Ready() ? SnifferIn(Ns.Name()) : -1;
        if (Sniffer < 0) {
            std::printf("%d hosts: the namespace could not be made\n", Hosts);
            continue;
        }
        std::printf("%d hosts, %d silent:\n", Hosts, Hosts / SilentEvery);
        TRun Run;
        try {
            Run = RunProgram(Folder, Ns, Hosts, Sniffer);
        } catch (const std::exception& Error) {
            // Caught here so the namespace and the folder go away (an escaped exception skips both).
            std::printf("    the program could not be run: %s\n", Error.what());
            ::close(Sniffer);
            fs::remove_all(Folder);
            continue;
        }
        ::close(Sniffer);
        double Cpu = 0;
        int Answered = 0;
        int Processes = 0;
        const double Wall = Fping(Ns, Folder, Hosts, Cpu, Answered, Processes);
        std::vector<double> Steady;
        for (int K = 1; K < Passes; ++K) {
            if (Run.Passes[K].Requests > 0)
                Steady.push_back(Run.Passes[K].Wall());
        }
        std::sort(Steady.begin(), Steady.end());
        const double Ours = Steady.empty() ? -1 : Steady[Steady.size() / 2];
        std::printf("    start to first request %.2f s; peak RSS %.0f MB; most threads seen %d\n",
                    Run.StartToFirstRequest, Run.PeakRssKb / 1024.0, Run.PeakThreads);
        std::printf("    fping -i 0 (%d process%s at once): %.2f s, %.2f s processor, %d answered\n",
                    Processes, Processes > 1 ? "es" : "", Wall, Cpu, Answered);
        std::printf(
            "    steady pass (median of passes 2..%d) %.2f s; ratio ours/fping %.2f; first pass %.2f s\n",
            Passes, Ours, Wall > 0 ? Ours / Wall : -1, Run.Passes[0].Wall());
        // Each silent host fails every pass: from the threshold's pass on it has exactly one "ID", and
        // no answering host has any event.
        std::printf(
            "    log after %d passes (threshold %d), ended %s: \"ID\" rows, distinct hosts, other rows = "
            "%s (expected %d %d 0)\n",
            Passes, DefaultThreshold, Run.Ended ? "cleanly" : "NOT cleanly",
            StoredEvents(Folder / "Data" / "dbm.db").c_str(),
            Passes >= DefaultThreshold ? Hosts / SilentEvery : 0,
            Passes >= DefaultThreshold ? Hosts / SilentEvery : 0);
        std::fflush(stdout);
        fs::remove_all(Folder);
    }
    return 0;
}
