// The asynchronous echo of the network probes gives what the blocking one gives for every outcome
// (answer, silence, each unreachable kind), over datagram and raw sockets, in a loopback namespace of
// its own whose filter answers some addresses with ICMP errors. Needs root and nft.
#include "core/NetHostProbes.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace zt::test;

namespace {

struct TEchoCase {
    const char* Host;
    const char* Text;
    bool Answered;
};

const TEchoCase EchoCases[] = {
    {"127.0.0.1", "", true},
    {"127.2.0.1", "Unknown error", false}, // dropped by the namespace
    {"127.3.0.1", "Address unreachable", true},
    {"127.3.0.2", "Administratively prohibited", true},
    {"127.3.0.3", "Port unreachable", true},
    {"127.3.0.4", "No route to destination", true},
    {"127.3.0.5", "Unknown unreachable", true},
    {"::1", "", true},
    {"no-such-name.invalid", "Unknown error", false},
};

const char* const RejectRules = R"(table inet ztr {
    chain in {
        type filter hook input priority -10; policy accept;
        ip daddr 127.3.0.1 reject with icmp type host-unreachable
        ip daddr 127.3.0.2 reject with icmp type admin-prohibited
        ip daddr 127.3.0.3 reject with icmp type port-unreachable
        ip daddr 127.3.0.4 reject with icmp type net-unreachable
        ip daddr 127.3.0.5 reject with icmp type host-prohibited
    }
})";

TPingOutcome AsyncOutcome(TNetHostProbes& Probes, const std::string& Host, int TimeoutMs) {
    std::mutex Lock;
    std::condition_variable Done;
    int Calls = 0;
    TPingOutcome Got;
    Probes.PingAsync(Host, TimeoutMs, [&](const TPingOutcome& O) {
        std::lock_guard<std::mutex> Guard(Lock);
        Got = O;
        ++Calls;
        Done.notify_all();
    });
    std::unique_lock<std::mutex> Guard(Lock);
    EXPECT_TRUE(Done.wait_for(Guard, std::chrono::seconds(10), [&] { return Calls > 0; })) << Host;
    ::usleep(50 * 1000);
    EXPECT_EQ(Calls, 1) << Host;
    return Got;
}

// A namespace of its own with its loopback up (the engine peers' script), torn down at scope end.
struct TLoopbackNetns {
    explicit TLoopbackNetns(const char* Stem)
        : Prefix(Stem + std::to_string(::getpid())), Name(Prefix + "-l") {
        int Rc = -1;
        Output = RunCommand(Script() + " loopback " + Prefix + " 2>&1", &Rc);
        Ready = Rc == 0;
    }
    ~TLoopbackNetns() { RunCommand(Script() + " teardown " + Prefix + " 2>&1"); }
    TLoopbackNetns(const TLoopbackNetns&) = delete;
    TLoopbackNetns& operator=(const TLoopbackNetns&) = delete;
    static std::string Script() { return "bash " + PeerScript("netns-engine.sh"); }

    std::string Prefix;
    std::string Name;
    std::string Output;
    bool Ready = false;
};

} // namespace

TEST(NetHostProbesNetns, AsyncEchoGivesTheOutcomeOfTheBlockingOne) {
    if (!IsRoot() || !HaveProgram("nft"))
        GTEST_SKIP() << "needs root and nft";
    const TLoopbackNetns Netns("ztn");
    ASSERT_TRUE(Netns.Ready) << Netns.Output;
    const std::string& Ns = Netns.Name;
    int Rc = -1;
    const std::string In = "ip netns exec " + Ns + " ";
    RunCommand(In + "nft -f - <<'EOF'\n" + std::string(RejectRules) + "\nEOF\n", &Rc);
    ASSERT_EQ(Rc, 0);

    for (const bool Datagram : {true, false}) {
        RunCommand(In + "sysctl -qw net.ipv4.ping_group_range='" + (Datagram ? "0 2147483647" : "1 0") + "'");
        ASSERT_TRUE(RunInNetns(Ns, [&] {
            TNetHostProbes Probes;
            for (const TEchoCase& C : EchoCases) {
                SCOPED_TRACE(std::string(Datagram ? "datagram " : "raw ") + C.Host);
                const TPingOutcome Blocking = Probes.Ping(C.Host, 600);
                const TPingOutcome Async = AsyncOutcome(Probes, C.Host, 600);
                EXPECT_EQ(Async.ErrorDesc, C.Text);
                EXPECT_EQ(Async.ErrorDesc, Blocking.ErrorDesc);
                EXPECT_EQ(Async.TimeMs >= 0, C.Answered);
                EXPECT_EQ(Blocking.TimeMs >= 0, C.Answered);
                EXPECT_FALSE(Async.Skipped);
                EXPECT_FALSE(Blocking.Skipped);
            }
        }));
    }
}

// A silent host's HTTP connection and SNMP answer are awaited without a worker (nothing is handed to
// Run) and end as the blocking probes end; a refused connection ends at once the same way.
TEST(NetHostProbesNetns, HttpAndSnmpAwaitASilentHostWithoutAWorker) {
    if (!IsRoot() || !HaveProgram("nft"))
        GTEST_SKIP() << "needs root and nft";
    const TLoopbackNetns Netns("ztw");
    ASSERT_TRUE(Netns.Ready) << Netns.Output;
    ASSERT_TRUE(RunInNetns(Netns.Name, [&] {
        TNetHostProbes Probes;
        std::mutex Lock;
        std::condition_variable Changed;
        std::vector<std::string> Answers;
        int Handed = 0;
        auto Run = [&](std::function<void()> Job) {
            {
                std::lock_guard<std::mutex> Guard(Lock);
                ++Handed;
            }
            Job();
        };
        auto Done = [&](const std::string& Answer) {
            std::lock_guard<std::mutex> Guard(Lock);
            Answers.push_back(Answer);
            Changed.notify_all();
        };
        for (const char* Host : {"127.2.0.1", "127.0.0.1"}) {
            SCOPED_TRACE(Host);
            Probes.HttpProbeAsync(Host, 600, Run, Done);
            Probes.SnmpGetAsync(Host, "public", "1.3.6.1.2.1.1.1.0", Run, Done);
            std::unique_lock<std::mutex> Guard(Lock);
            ASSERT_TRUE(
                Changed.wait_for(Guard, std::chrono::seconds(10), [&] { return Answers.size() == 2; }));
            EXPECT_EQ(Handed, 0);
            std::sort(Answers.begin(), Answers.end());
            Guard.unlock();
            const std::vector<std::string> Blocking = {Probes.SnmpGet(Host, "public", "1.3.6.1.2.1.1.1.0"),
                                                       Probes.HttpProbe(Host, 600)};
            EXPECT_EQ(Answers, Blocking);
            EXPECT_EQ(Answers, (std::vector<std::string>{"", "500 "}));
            Answers.clear();
        }
        // An answering server: the exchange goes to Run and over the one connection made.
        const int Listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in At{};
        At.sin_family = AF_INET;
        At.sin_port = htons(80);
        At.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(::bind(Listener, reinterpret_cast<sockaddr*>(&At), sizeof At), 0);
        ASSERT_EQ(::listen(Listener, 8), 0);
        std::atomic<int> Accepted{0};
        std::thread Server([&] {
            pollfd P{Listener, POLLIN, 0};
            while (::poll(&P, 1, 1500) > 0) {
                const int C = ::accept(Listener, nullptr, nullptr);
                ++Accepted;
                char Request[2048];
                [[maybe_unused]] const ssize_t N = ::recv(C, Request, sizeof Request, 0);
                const std::string Answer = "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nup";
                [[maybe_unused]] const ssize_t W = ::send(C, Answer.data(), Answer.size(), MSG_NOSIGNAL);
                ::close(C);
            }
        });
        Probes.HttpProbeAsync("127.0.0.1", 2000, Run, Done);
        {
            std::unique_lock<std::mutex> Guard(Lock);
            EXPECT_TRUE(
                Changed.wait_for(Guard, std::chrono::seconds(10), [&] { return Answers.size() == 1; }));
            EXPECT_EQ(Answers, (std::vector<std::string>{"200 OK"}));
            EXPECT_EQ(Handed, 1);
        }
        Server.join();
        ::close(Listener);
        EXPECT_EQ(Accepted.load(), 1);
    }));
}
