// The tools window's worker threads: steps reach the GUI thread only while the job is not
// cancelled, cancelling ends a network wait at once, and the owner waits for its jobs.
#include "core/ToolWorkers.h"

#include "core/Synchronize.h"
#include "net/SnmpQuery.h"
#include "tests/core/snmpsim_peer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

using SilentAgent = zt::test::SilentUdpAgent;

} // namespace

TEST(ToolWorkers, StepsRunOnTheGuiThreadInOrder) {
    TToolWorkers workers;
    std::vector<int> steps;
    std::atomic<bool> onMain{true};
    workers.Start([&](TToolJob& Job) {
        for (int i = 0; i < 5; ++i)
            EXPECT_TRUE(Job.Gui([&] {
                onMain = onMain && IsMainThread();
                steps.push_back(i);
            }));
    });
    EXPECT_TRUE(workers.WaitIdle(5000));
    EXPECT_EQ(steps, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_TRUE(onMain.load());
    EXPECT_EQ(workers.Running(), 0);
}

TEST(ToolWorkers, ACancelledJobMakesNoStepAndItsWaitEndsAtOnce) {
    SilentAgent agent;
    TToolWorkers workers;
    std::atomic<bool> stepRan{false};
    std::atomic<bool> started{false};
    std::string value = "unset";
    workers.Start([&](TToolJob& Job) {
        started = true;
        SnmpQuery("127.0.0.1", "vorpal", "1.3.6.1.2.1.1.1.0", 160, value, agent.PortText(), 20000,
                  Job.Cancel());
        stepRan = Job.Gui([&] {});
    });
    while (!started.load())
        std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    QElapsedTimer clock;
    clock.start();
    workers.CancelAll();
    EXPECT_TRUE(workers.WaitIdle(5000));
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_FALSE(stepRan.load());
    EXPECT_EQ(value, "");
}

// The check runs on the GUI thread: a step queued before the cancel but run after it is dropped.
TEST(ToolWorkers, CancelBetweenQueueingAndRunningDropsTheStep) {
    TToolWorkers workers;
    std::atomic<bool> queued{false};
    bool ran = false;
    bool result = true;
    workers.Start([&](TToolJob& Job) {
        queued = true;
        result = Job.Gui([&] { ran = true; });
    });
    while (!queued.load())
        std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    workers.CancelAll(); // on the GUI thread, before the queued call is served
    EXPECT_TRUE(workers.WaitIdle(5000));
    EXPECT_FALSE(ran);
    EXPECT_FALSE(result);
}

TEST(ToolWorkers, AnExceptionInTheBodyIsSwallowedAndTheWorkerEnds) {
    TToolWorkers workers;
    workers.Start([](TToolJob&) { throw std::runtime_error("worker failed"); });
    EXPECT_TRUE(workers.WaitIdle(5000));
    EXPECT_EQ(workers.Running(), 0);
}

TEST(ToolWorkers, DestructionCancelsAndWaitsServingSteps) {
    SilentAgent agent;
    std::atomic<int> ended{0};
    {
        TToolWorkers workers;
        for (int i = 0; i < 4; ++i)
            workers.Start([&](TToolJob& Job) {
                std::string value;
                Job.Gui([] {});
                SnmpQuery("127.0.0.1", "vorpal", "1.3.6.1.2.1.1.1.0", 160, value, agent.PortText(), 20000,
                          Job.Cancel());
                ++ended;
            });
        EXPECT_EQ(workers.Running() > 0, true);
    }
    EXPECT_EQ(ended.load(), 4);
}
