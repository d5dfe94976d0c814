// Monitoring flags and the condition variable behind every interruptible worker wait.
#include "core/MonitorState.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>

std::atomic<bool> MonitoringActive{false};
std::atomic<int> PassPauseMs{2000};

namespace {

std::atomic<bool> shutdownRequested{false};
std::atomic<int> runningWorkers{0};
std::mutex waitMutex;
std::condition_variable waitWake;

// A lost wake-up would only delay a stop, never block it for good: no slice is longer than this.
constexpr auto maxSlice = std::chrono::milliseconds(250);

bool DelayWhile(int ms, const std::atomic<bool>& running) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(ms, 0));
    auto stopped = [&] {
        return !running.load() || shutdownRequested.load();
    };
    std::unique_lock lock(waitMutex);
    for (;;) {
        if (stopped()) {
            return false;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            return true;
        }
        waitWake.wait_for(lock, std::min<std::chrono::steady_clock::duration>(deadline - now, maxSlice));
    }
}

} // namespace

void RequestShutdown() {
    shutdownRequested = true;
    WakeAllWorkerWaits();
}

bool ShutdownRequested() {
    return shutdownRequested.load();
}

void ResetShutdownRequest() {
    shutdownRequested = false;
}

void WakeAllWorkerWaits() {
    // Taking the mutex orders this wake after any waiter's flag check, so none is lost.
    { std::lock_guard lock(waitMutex); }
    waitWake.notify_all();
}

bool WorkerDelay(int ms) {
    return DelayWhile(ms, MonitoringActive);
}

bool InterruptibleDelay(int ms, const std::atomic<bool>& running) {
    return DelayWhile(ms, running);
}

WorkerThreadScope::WorkerThreadScope() {
    ++runningWorkers;
}

WorkerThreadScope::~WorkerThreadScope() {
    --runningWorkers;
}

int RunningWorkerThreads() {
    return runningWorkers.load();
}
