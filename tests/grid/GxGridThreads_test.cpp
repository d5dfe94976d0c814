// A worker reaches the grid only through blocking calls served by the grid's thread and finds
// its host again by row handle while that thread keeps inserting and deleting other rows.
// (The calls go through a small queue of our own so that ThreadSanitizer sees every hand-over.)
#include "grid_helpers.h"

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <future>
#include <gtest/gtest.h>
#include <mutex>
#include <random>
#include <thread>

using namespace gridtest;

namespace {

// Calls posted by workers and run by the owning thread; Call blocks until its call has run.
class BlockingCalls {
public:
    void Call(std::function<void()> fn) {
        std::promise<void> done;
        auto future = done.get_future();
        {
            std::lock_guard lock(FMutex);
            FQueue.emplace_back([&] {
                fn();
                done.set_value();
            });
        }
        future.wait();
    }
    void Serve() {
        std::deque<std::function<void()>> calls;
        {
            std::lock_guard lock(FMutex);
            calls.swap(FQueue);
        }
        for (auto& call : calls)
            call();
    }

private:
    std::mutex FMutex;
    std::deque<std::function<void()>> FQueue;
};

} // namespace

TEST(GridThreads, WorkerFindsItsHostByHandleThroughBlockingCalls) {
    auto grid = MakeGrid();
    grid->AddRow(100);
    for (int r = 0; r < 100; ++r)
        grid->Cell("Name", r).SetAsString(QString::number(r));
    const quint64 host = grid->RowHandle(50);
    BlockingCalls calls;
    std::atomic<bool> done{false};
    int found = 0; // touched only on the grid's thread
    std::thread worker([&] {
        for (int step = 0; step < 200; ++step) {
            calls.Call([&, step] {
                const int row = grid->RowByHandle(host);
                if (row < 0)
                    return; // the host is gone: skip it
                grid->Cell("Count", row).SetAsInteger(step);
                if (grid->Cell("Name", row).GetAsString() == "50")
                    ++found;
            });
        }
        done = true;
    });
    std::mt19937 rng(17);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done && std::chrono::steady_clock::now() < deadline) {
        calls.Serve();
        const int mine = grid->RowByHandle(host);
        const int other = int(rng() % uint32_t(grid->RowCount()));
        if (other == mine)
            continue;
        if (rng() % 2)
            grid->InsertRow(other);
        else if (grid->RowCount() > 20)
            grid->DeleteRow(other);
    }
    while (!done)
        calls.Serve(); // keep serving so the worker can finish
    worker.join();
    EXPECT_EQ(found, 200);
    EXPECT_EQ(grid->Cell("Count", grid->RowByHandle(host)).GetAsInteger(), 199);
}
