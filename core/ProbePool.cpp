// Probe workers and the bound of hosts in flight.
#include "core/ProbePool.h"

#include "core/ExceptionGuard.h"

#include <sys/resource.h>

#include <algorithm>

unsigned long RaiseOpenFileLimit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) {
        return 0;
    }
    if (limit.rlim_cur < limit.rlim_max) {
        rlimit raised = limit;
        raised.rlim_cur = limit.rlim_max;
        if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) {
            limit = raised;
        }
    }
    return limit.rlim_cur == RLIM_INFINITY ? ~0ul : static_cast<unsigned long>(limit.rlim_cur);
}

int HostsInFlightBound() {
    static const int bound = [] {
        const unsigned long limit = RaiseOpenFileLimit();
        if (limit == 0) {
            return 1;
        }
        // The rest of the program keeps the other half of the descriptors.
        const unsigned long half = limit / 2;
        const unsigned long hosts = half > SocketsPerHostInFlight ? (half - 1) / SocketsPerHostInFlight : 1;
        return int(std::max(1ul, std::min<unsigned long>(MaxHostsInFlight, hosts)));
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
    bool wake = false;
    {
        std::lock_guard<std::mutex> guard(FLock);
        FJobs.push_back(std::move(Job));
        // A job that a worker already told to wake will take costs no second wake-up; a busy
        // worker takes the next job itself.
        const bool uncovered = FJobs.size() > FWaking;
        wake = uncovered && FIdle > FWaking;
        if (wake) {
            ++FWaking;
        }
        grow = uncovered && !wake && FWorkers.size() < FMaxWorkers;
    }
    if (grow) {
        FWorkers.emplace_back([this] { Run(); });
    }
    if (wake) {
        FWake.notify_one();
    }
}

void TProbePool::Run() {
    std::unique_lock<std::mutex> lock(FLock);
    for (;;) {
        ++FIdle;
        while (!FClosing && FJobs.empty()) {
            FWake.wait(lock);
            // Any wake-up ends one told to come (a spurious one at worst costs a later extra wake).
            if (FWaking > 0) {
                --FWaking;
            }
        }
        --FIdle;
        if (FClosing) {
            return;
        }
        std::function<void()> job = std::move(FJobs.front());
        FJobs.pop_front();
        lock.unlock();
        Guarded("probe worker", job);
        job = nullptr;
        lock.lock();
    }
}
