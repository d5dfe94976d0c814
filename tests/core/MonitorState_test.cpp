// Interruptible worker waits and the worker-thread count used by shut-down.
#include "core/MonitorState.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

class MonitorStateTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetShutdownRequest();
        MonitoringActive = true;
    }
    void TearDown() override {
        MonitoringActive = false;
        ResetShutdownRequest();
    }
};

} // namespace

TEST_F(MonitorStateTest, WorkerDelayRunsItsTimeWhileMonitoring) {
    const auto start = Clock::now();
    EXPECT_TRUE(WorkerDelay(30));
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(30));
    EXPECT_TRUE(WorkerDelay(0));
}

TEST_F(MonitorStateTest, StoppingMonitoringWakesAWaitingWorker) {
    std::atomic<bool> result{true};
    std::atomic<bool> ended{false};
    std::thread worker([&] {
        result = WorkerDelay(60000);
        ended = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(ended);
    MonitoringActive = false;
    WakeAllWorkerWaits();
    worker.join(); // would take a minute if the wake were lost
    EXPECT_FALSE(result);
}

TEST_F(MonitorStateTest, ShutdownEndsEveryWaitAndStopsNewOnes) {
    std::atomic<bool> running{true};
    std::atomic<int> early{0};
    std::thread monitor([&] { early += WorkerDelay(60000) ? 0 : 1; });
    std::thread tool([&] { early += InterruptibleDelay(60000, running) ? 0 : 1; });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    RequestShutdown();
    monitor.join();
    tool.join();
    EXPECT_EQ(early, 2);
    EXPECT_TRUE(ShutdownRequested());
    EXPECT_FALSE(WorkerDelay(60000));
}

TEST_F(MonitorStateTest, ToolThreadsStopOnTheirOwnFlag) {
    std::atomic<bool> running{true};
    std::atomic<bool> result{true};
    std::thread tool([&] { result = InterruptibleDelay(60000, running); });
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    running = false;
    WakeAllWorkerWaits();
    tool.join();
    EXPECT_FALSE(result);
    // Monitoring being stopped does not matter to a tool thread.
    MonitoringActive = false;
    std::atomic<bool> toolRunning{true};
    EXPECT_TRUE(InterruptibleDelay(5, toolRunning));
}

TEST_F(MonitorStateTest, AlreadyStoppedReturnsAtOnce) {
    MonitoringActive = false;
    EXPECT_FALSE(WorkerDelay(60000));
}

TEST_F(MonitorStateTest, WorkerThreadScopeCountsRunningWorkers) {
    const int before = RunningWorkerThreads();
    {
        WorkerThreadScope a;
        std::atomic<bool> go{false};
        std::thread t([&] {
            WorkerThreadScope b;
            while (!go) {
                std::this_thread::yield();
            }
        });
        while (RunningWorkerThreads() != before + 2) {
            std::this_thread::yield();
        }
        go = true;
        t.join();
        EXPECT_EQ(RunningWorkerThreads(), before + 1);
    }
    EXPECT_EQ(RunningWorkerThreads(), before);
    EXPECT_EQ(PassPauseMs.load(), 2000);
}
