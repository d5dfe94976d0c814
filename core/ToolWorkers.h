// The tools' worker threads, owned by the monitor's services: each job runs on its own thread with its
// own cancel signal and reaches the window only through synchronous calls that a cancelled job no
// longer makes. Every thread is joined; none outlives its owner.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class TNetCancel;

// What a job's body sees.
class TToolJob {
public:
    explicit TToolJob(std::shared_ptr<TNetCancel> Cancel);

    // Hand this to every network call of the job: raising it ends the call's wait at once.
    const std::shared_ptr<TNetCancel>& Cancel() const { return FCancel; }
    bool Cancelled() const;

    // Runs Step on the GUI thread and waits for it, unless the job is cancelled by then. The test
    // runs on the GUI thread, so once a window has cancelled its jobs (on that thread) no step of
    // theirs reaches it any more. False when Step did not run (cancelled, synchronous calls closed,
    // or Step threw).
    bool Gui(const std::function<void()>& Step);

private:
    std::shared_ptr<TNetCancel> FCancel;
};

class TToolWorkers {
public:
    TToolWorkers() = default;
    // Stop().
    ~TToolWorkers();
    TToolWorkers(const TToolWorkers&) = delete;
    TToolWorkers& operator=(const TToolWorkers&) = delete;

    // Runs Body on a new thread. An exception that leaves Body is reported and swallowed.
    void Start(std::function<void(TToolJob&)> Body);
    // Raises the cancel signal of every running job.
    void CancelAll();
    // Jobs whose body has not returned yet.
    int Running() const;
    // GUI thread: waits until no job runs, serving synchronous calls meanwhile. False after LimitMs.
    bool WaitIdle(int LimitMs);
    // GUI thread: cancels every job and joins every thread, serving their synchronous calls until
    // the last one ends (cancelled network calls return at once).
    void Stop();

private:
    struct TEntry {
        std::thread Thread;
        std::shared_ptr<TNetCancel> Cancel;
        std::shared_ptr<std::atomic<bool>> Done;
    };
    // Joins the threads whose body has returned.
    void Reap();

    mutable std::mutex FLock;
    std::vector<TEntry> FEntries;
};
