// The echo loop in a loopback namespace of its own (every 127.x answers but 127.2.0.0/16, which the
// namespace drops): thousands of echoes in flight on one socket each get their own answer, over
// datagram and raw sockets; a cancel ends a pass's echoes at once; without rights nothing is sent.
// Needs root.
#include "net/blcksock.h"
#include "net/pingloop.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

using namespace zt::test;

namespace {

std::string Script() {
    return "bash " + PeerScript("netns-engine.sh");
}

class LoopbackNs {
public:
    LoopbackNs() : FPrefix("ztq" + std::to_string(::getpid())) {
        int Rc = -1;
        FOutput = RunCommand(Script() + " loopback " + FPrefix + " 2>&1", &Rc);
        FReady = Rc == 0 && FOutput.find("ready") != std::string::npos;
    }
    ~LoopbackNs() { RunCommand(Script() + " teardown " + FPrefix + " 2>&1"); }
    std::string Name() const { return FPrefix + "-l"; }
    // Closed: root falls back to raw sockets; open: datagram ones.
    void DatagramAllowed(bool Allowed) {
        RunCommand("ip netns exec " + Name() + " sysctl -qw net.ipv4.ping_group_range='" +
                   (Allowed ? "0 2147483647" : "1 0") + "'");
    }
    bool FReady = false;
    std::string FOutput;

private:
    std::string FPrefix;
};

// Waits for Done of every echo started, bounded.
struct TCollector {
    std::mutex Lock;
    std::condition_variable Changed;
    std::vector<TIcmpEchoResult> Results;
    std::vector<int> Calls;

    explicit TCollector(std::size_t Count) : Results(Count), Calls(Count, 0) {}
    TIcmpEchoLoop::TDone For(std::size_t I) {
        return [this, I](const TIcmpEchoResult& R) {
            std::lock_guard<std::mutex> Guard(Lock);
            Results[I] = R;
            ++Calls[I];
            Changed.notify_all();
        };
    }
    bool AllDone(int WithinMs) {
        std::unique_lock<std::mutex> Guard(Lock);
        return Changed.wait_for(Guard, std::chrono::milliseconds(WithinMs), [&] {
            for (const int C : Calls)
                if (C == 0)
                    return false;
            return true;
        });
    }
};

std::string HostNumber(int I, bool Silent) {
    return std::string(Silent ? "127.2." : "127.1.") + std::to_string(I / 250) + "." +
           std::to_string(I % 250 + 1);
}

class PingLoopNetnsTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!IsRoot() || !HaveProgram("nft"))
            GTEST_SKIP() << "needs root and nft";
        Ns = std::make_unique<LoopbackNs>();
        ASSERT_TRUE(Ns->FReady) << Ns->FOutput;
    }
    std::unique_ptr<LoopbackNs> Ns;
};

// Every 20th host silent: 4,000 echoes at once on one socket, each answer handed to its own echo.
TEST_F(PingLoopNetnsTest, ThousandsInFlightOnOneSocketEachGetTheirOwnAnswer) {
    constexpr int Count = 4000;
    for (const bool Datagram : {true, false}) {
        SCOPED_TRACE(Datagram ? "datagram" : "raw");
        Ns->DatagramAllowed(Datagram);
        TCollector Got(Count);
        int Sockets = 0;
        ASSERT_TRUE(RunInNetns(Ns->Name(), [&] {
            TIcmpEchoLoop Loop;
            auto Cancel = std::make_shared<TNetCancel>();
            for (int I = 0; I < Count; ++I)
                Loop.Start(HostNumber(I, I % 20 == 7), 1500, Cancel, Got.For(I));
            EXPECT_TRUE(Got.AllDone(15000));
            Sockets = Loop.SocketsOpen();
        }));
        EXPECT_EQ(Sockets, 1);
        int Lost = 0;
        for (int I = 0; I < Count; ++I) {
            const TIcmpEchoResult& R = Got.Results[I];
            ASSERT_EQ(Got.Calls[I], 1) << I;
            EXPECT_EQ(R.Kind, Datagram ? ISK_Datagram : ISK_Raw) << I;
            EXPECT_TRUE(R.Sent) << I;
            if (I % 20 == 7) {
                EXPECT_FALSE(R.Answered) << I;
                EXPECT_EQ(R.LastError, WSAETIMEDOUT) << I;
                continue;
            }
            // The kernel may drop an answer under a burst; never hand one to another echo.
            if (!R.Answered) {
                ++Lost;
                continue;
            }
            EXPECT_EQ(R.From, HostNumber(I, false)) << I;
            EXPECT_EQ(R.Error, IE_NoError) << I;
        }
        EXPECT_LE(Lost, 3);
    }
}

TEST_F(PingLoopNetnsTest, CancelEndsEveryEchoInFlightAtOnce) {
    constexpr int Count = 1000;
    TCollector Got(Count);
    long TookMs = 0;
    ASSERT_TRUE(RunInNetns(Ns->Name(), [&] {
        TIcmpEchoLoop Loop;
        auto Cancel = std::make_shared<TNetCancel>();
        for (int I = 0; I < Count; ++I)
            Loop.Start(HostNumber(I, true), 60000, Cancel, Got.For(I));
        ::usleep(200 * 1000);
        const auto Start = std::chrono::steady_clock::now();
        Cancel->Raise();
        Loop.Sweep();
        EXPECT_TRUE(Got.AllDone(5000));
        TookMs = static_cast<long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - Start)
                .count());
        // While raised, a new echo ends inside the call.
        bool Inside = false;
        Loop.Start("127.1.0.1", 1000, Cancel,
                   [&](const TIcmpEchoResult& R) { Inside = R.LastError == 10053; });
        EXPECT_TRUE(Inside);
    }));
    EXPECT_LT(TookMs, 5000);
    for (int I = 0; I < Count; ++I) {
        EXPECT_EQ(Got.Calls[I], 1) << I;
        EXPECT_EQ(Got.Results[I].LastError, WSAECONNABORTED) << I;
    }
}

// Run by NoRightsSendsNothing in a process without CAP_NET_RAW; skipped otherwise.
TEST(PingLoopChild, EchoWithoutRights) {
    if (!std::getenv("ZT_PINGLOOP_CHILD"))
        GTEST_SKIP() << "runs only as the child of PingLoopNetnsTest.NoRightsSendsNothing";
    TIcmpEchoLoop Loop;
    for (const char* Host : {"127.0.0.1", "::1"}) {
        Loop.Start(Host, 500, nullptr, [](const TIcmpEchoResult& R) {
            std::printf("CHILD kind=%d err=%d sent=%d\n", static_cast<int>(R.Kind), R.LastError,
                        R.Sent ? 1 : 0);
        });
    }
    std::fflush(stdout);
}

TEST_F(PingLoopNetnsTest, NoRightsSendsNothing) {
    if (!HaveProgram("setpriv"))
        GTEST_SKIP() << "setpriv is missing";
    Ns->DatagramAllowed(false);
    char Self[4096] = {};
    ASSERT_GT(::readlink("/proc/self/exe", Self, sizeof Self - 1), 0);
    int Rc = -1;
    const std::string Out = RunCommand("ZT_PINGLOOP_CHILD=1 ip netns exec " + Ns->Name() +
                                           " setpriv --inh-caps=-net_raw --bounding-set=-net_raw " + Self +
                                           " --gtest_filter=PingLoopChild.EchoWithoutRights 2>&1",
                                       &Rc);
    EXPECT_EQ(Rc, 0) << Out;
    EXPECT_NE(Out.find("CHILD kind=0 err=10013 sent=0\nCHILD kind=0 err=10013 sent=0\n"), std::string::npos)
        << Out;
}

} // namespace
