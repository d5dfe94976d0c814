// Worker threads of the tools window; see ToolWorkers.h.
#include "core/ToolWorkers.h"

#include "core/ExceptionGuard.h"
#include "core/Synchronize.h"
#include "net/blcksock.h"

#include <algorithm>

TToolJob::TToolJob(std::shared_ptr<TNetCancel> Cancel) : FCancel(std::move(Cancel)) {}

bool TToolJob::Cancelled() const {
    return FCancel && FCancel->Raised();
}

bool TToolJob::Gui(const std::function<void()>& Step) {
    if (Cancelled())
        return false;
    bool ran = false;
    const bool called = Synchronize([&] {
        if (Cancelled())
            return;
        ran = true;
        Step();
    });
    return called && ran;
}

TToolWorkers::~TToolWorkers() {
    Stop();
}

void TToolWorkers::Stop() {
    CancelAll();
    // A job may still be on its way into a synchronous call: serve them until every body returned,
    // then nothing of theirs runs any more and the join cannot wait on this thread.
    while (!WaitServingSynchronize([this] { return Running() == 0; }, 1000)) {
    }
    Reap();
}

void TToolWorkers::Start(std::function<void(TToolJob&)> Body) {
    Reap();
    TEntry entry{{}, std::make_shared<TNetCancel>(), std::make_shared<std::atomic<bool>>(false)};
    entry.Thread = std::thread([body = std::move(Body), cancel = entry.Cancel, done = entry.Done] {
        TToolJob job(cancel);
        Guarded("tools worker", [&] { body(job); });
        done->store(true);
    });
    std::lock_guard<std::mutex> guard(FLock);
    FEntries.push_back(std::move(entry));
}

void TToolWorkers::CancelAll() {
    std::lock_guard<std::mutex> guard(FLock);
    for (TEntry& entry : FEntries)
        entry.Cancel->Raise();
}

int TToolWorkers::Running() const {
    std::lock_guard<std::mutex> guard(FLock);
    return static_cast<int>(
        std::count_if(FEntries.begin(), FEntries.end(), [](const TEntry& e) { return !e.Done->load(); }));
}

bool TToolWorkers::WaitIdle(int LimitMs) {
    // Polled, not notified: the wait must serve the jobs' synchronous calls while it lasts.
    const bool idle = WaitServingSynchronize([this] { return Running() == 0; }, LimitMs);
    Reap();
    return idle;
}

void TToolWorkers::Reap() {
    std::lock_guard<std::mutex> guard(FLock);
    auto finished = std::stable_partition(FEntries.begin(), FEntries.end(),
                                          [](const TEntry& e) { return !e.Done->load(); });
    for (auto it = finished; it != FEntries.end(); ++it)
        it->Thread.join();
    FEntries.erase(finished, FEntries.end());
}
