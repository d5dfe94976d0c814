// Probe workers and the bound of hosts in flight.
#include "core/ProbePool.h"

#include "core/ExceptionGuard.h"

#include <sys/resource.h>

#include <algorithm>

int HostsInFlightBound() {
    static const int bound = [] {
        rlimit limit{};
        if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) {
            return 1;
        }
        if (limit.rlim_cur < limit.rlim_max) {
            rlimit raised = limit;
            raised.rlim_cur = limit.rlim_max;
            if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) {
                limit = raised;
            }
        }
        // A host's probes hold one socket at a time; the rest of the program keeps its share.
        const rlim_t half =
            limit.rlim_cur == RLIM_INFINITY ? rlim_t(MaxHostsInFlight) * 4 : limit.rlim_cur / 2;
        const rlim_t below = half > 1 ? half - 1 : 1;
        return int(std::max<rlim_t>(1, std::min<rlim_t>(MaxHostsInFlight, below)));
    }();
    return bound;
}

TProbePool::TProbePool(std::size_t MaxWorkers) : FMaxWorkers(std::max<std::size_t>(1, MaxWorkers)) {}

TProbePool::~TProbePool() {
    {
        std::lock_guard<std::mutex> guard(FLock);
        FClosing = true;
        FJobs.clear();
    }
    FWake.notify_all();
    for (std::thread& worker : FWorkers) {
        worker.join();
    }
}

void TProbePool::Submit(std::function<void()> Job) {
    bool grow = false;
    {
        std::lock_guard<std::mutex> guard(FLock);
        FJobs.push_back(std::move(Job));
        grow = FJobs.size() > FIdle && FWorkers.size() < FMaxWorkers;
    }
    if (grow) {
        FWorkers.emplace_back([this] { Run(); });
    }
    FWake.notify_one();
}

void TProbePool::Run() {
    std::unique_lock<std::mutex> lock(FLock);
    for (;;) {
        ++FIdle;
        FWake.wait(lock, [&] { return FClosing || !FJobs.empty(); });
        --FIdle;
        if (FClosing) {
            return;
        }
        std::function<void()> job = std::move(FJobs.front());
        FJobs.pop_front();
        lock.unlock();
        Guarded("probe worker", job);
        lock.lock();
    }
}
