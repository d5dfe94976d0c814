// The monitoring state shared by the GUI thread and the worker threads, and the interruptible
// waits the workers use in place of a message-pumping delay.
#pragma once

#include <atomic>

// The running flag: clearing it ends both worker threads at their next look (and wakes their
// waits when followed by WakeAllWorkerWaits()).
extern std::atomic<bool> MonitoringActive;
// The pause between two passes, in milliseconds.
extern std::atomic<int> PassPauseMs;

// Set once when the program is closing; every worker wait returns early from then on.
void RequestShutdown();
bool ShutdownRequested();
// Tests only: clears the shut-down request again.
void ResetShutdownRequest();

// Wakes every WorkerDelay()/InterruptibleDelay() so each re-checks its flags at once. Call it
// after clearing MonitoringActive or a tool thread's running flag.
void WakeAllWorkerWaits();

// Waits ms milliseconds on a worker thread. Returns true when the full time passed with
// monitoring still active, false as soon as monitoring is stopped or shut-down is requested.
bool WorkerDelay(int ms);

// The same for threads with a running flag of their own (the tools window's threads).
bool InterruptibleDelay(int ms, const std::atomic<bool>& running);

// Counts a worker thread as running for its lifetime, so shut-down can wait for it to end.
class WorkerThreadScope {
public:
    WorkerThreadScope();
    ~WorkerThreadScope();
    WorkerThreadScope(const WorkerThreadScope&) = delete;
    WorkerThreadScope& operator=(const WorkerThreadScope&) = delete;
};

int RunningWorkerThreads();
