// The check engine's probe pool: a batch handed over in one go reaches a worker per blocking job,
// and the submitter takes back the jobs of the host it waits for while no worker has them.
#include "core/ProbePool.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// Jobs that wait until they are released (at most 20 s, so a fault never hangs the run).
class TGate {
public:
    void Pass() {
        ++FWaiting;
        std::unique_lock<std::mutex> lock(FLock);
        FOpened.wait_for(lock, 20s, [this] { return FOpen; });
    }
    void Open() {
        {
            std::lock_guard<std::mutex> guard(FLock);
            FOpen = true;
        }
        FOpened.notify_all();
    }
    int Waiting() const { return FWaiting.load(); }

private:
    std::mutex FLock;
    std::condition_variable FOpened;
    bool FOpen = false;
    std::atomic<int> FWaiting{0};
};

} // namespace

TEST(CheckEnginePool, EveryBlockingJobOfABatchGetsAWorkerOfItsOwn) {
#if defined(__SANITIZE_THREAD__)
    constexpr int jobs = 100; // threads start slowly under ThreadSanitizer
#else
    constexpr int jobs = 300;
#endif
    // One gate per round; both outlive the pool, whose workers may still be leaving them.
    TGate gates[2];
    TProbePool pool(jobs);
    // Twice: the first batch starts the workers, the second wakes them where they sleep.
    for (TGate& gate : gates) {
        std::vector<TPoolJob> batch;
        for (int i = 0; i < jobs; ++i) {
            batch.push_back({nullptr, [&gate] {
                                 gate.Pass();
                             }});
        }
        pool.SubmitAll(batch);
        EXPECT_TRUE(batch.empty());
        // A job that no woken worker passed on to another would wait behind a blocked one.
        EXPECT_TRUE(zt::test::WaitUntil([&] { return gate.Waiting() == jobs; }, 15s))
            << gate.Waiting() << " of " << jobs << " jobs running";
        EXPECT_EQ(pool.WorkerCount(), std::size_t(jobs));
        gate.Open();
        // Most of them back asleep before the next batch.
        std::this_thread::sleep_for(200ms);
    }
}

TEST(CheckEnginePool, TheSubmitterRunsTheJobsOfItsTagThatNoWorkerTook) {
    TGate gate;
    TProbePool pool(1);
    std::atomic<bool> blocked{false};
    pool.Submit([&] {
        blocked = true;
        gate.Pass();
    });
    ASSERT_TRUE(zt::test::WaitUntil([&] { return blocked.load(); }, 10s));
    // The only worker is busy: these wait in the queue, the two of tag 1 at its head.
    int first = 1;
    int second = 2;
    const std::thread::id self = std::this_thread::get_id();
    std::vector<std::thread::id> ranOn;
    std::mutex ranLock;
    auto record = [&] {
        std::lock_guard<std::mutex> guard(ranLock);
        ranOn.push_back(std::this_thread::get_id());
    };
    std::vector<TPoolJob> batch;
    batch.push_back({&first, record});
    batch.push_back({&first, record});
    batch.push_back({&second, record});
    pool.SubmitAll(batch);
    EXPECT_EQ(pool.RunQueued(&second), 0u); // not at the head
    EXPECT_EQ(pool.RunQueued(&first), 2u);
    EXPECT_EQ(pool.RunQueued(nullptr), 0u);
    {
        std::lock_guard<std::mutex> guard(ranLock);
        EXPECT_EQ(ranOn, (std::vector<std::thread::id>{self, self}));
    }
    gate.Open();
    // The worker, free again, takes the last one.
    EXPECT_TRUE(zt::test::WaitUntil(
        [&] {
            std::lock_guard<std::mutex> guard(ranLock);
            return ranOn.size() == 3;
        },
        10s));
}
