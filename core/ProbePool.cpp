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

int EchoHostsInFlightBound(int SocketBound) {
    const long wide = long(std::max(1, SocketBound)) * EchoHostsPerSocketHost;
    return int(std::max<long>(SocketBound, std::min<long>(MaxEchoHostsInFlight, wide)));
}

namespace {

// Wake-ups the submitter pays for one submission; the rest come from the workers.
constexpr std::size_t SubmitterSpread = 1;
// Workers told to wake (or being started) at once while jobs wait: enough that a batch of
// blocking probes reaches its workers quickly, few enough that instant jobs, which one awake
// worker drains, do not wake the whole pool.
constexpr std::size_t WorkerSpread = 8;

} // namespace

TProbePool::TProbePool(std::size_t MaxWorkers) : FMaxWorkers(std::max<std::size_t>(1, MaxWorkers)) {}

TProbePool::~TProbePool() {
    std::vector<std::thread> workers;
    {
        std::unique_lock<std::mutex> lock(FLock);
        FClosing = true;
        FJobs.clear();
        // A worker being started elsewhere is stored before the pool lets go of its threads.
        FStarted.wait(lock, [this] { return FUnstored == 0; });
        workers.swap(FWorkers);
    }
    FWake.notify_all();
    for (std::thread& worker : workers) {
        worker.join();
    }
}

void TProbePool::Spread(std::size_t& Wake, std::size_t& Start, std::size_t Width) {
    const std::size_t wanted = std::min(FJobs.size(), Width);
    // Workers already told to come take the next jobs themselves; a busy worker may be blocked in
    // a probe for its whole time-out, so it is never counted on.
    for (std::size_t coming = FWaking + FStarting; coming < wanted; ++coming) {
        if (FIdle > FWaking) {
            ++FWaking;
            ++Wake;
        } else if (FWorkers.size() + FUnstored < FMaxWorkers) {
            ++FStarting;
            ++FUnstored;
            ++Start;
        } else {
            return;
        }
    }
}

void TProbePool::Wake(std::size_t Wake, std::size_t Start) {
    for (std::size_t i = 0; i < Wake; ++i) {
        FWake.notify_one();
    }
    for (std::size_t i = 0; i < Start; ++i) {
        std::thread worker;
        Guarded("probe worker start", [&] { worker = std::thread([this] { Run(); }); });
        {
            std::lock_guard<std::mutex> guard(FLock);
            --FUnstored;
            if (worker.joinable()) {
                FWorkers.push_back(std::move(worker));
            } else {
                --FStarting;
            }
        }
        FStarted.notify_all();
    }
}

void TProbePool::Submit(std::function<void()> Job, const void* Tag) {
    std::size_t wake = 0;
    std::size_t start = 0;
    {
        std::lock_guard<std::mutex> guard(FLock);
        FJobs.push_back({Tag, std::move(Job)});
        Spread(wake, start, SubmitterSpread);
    }
    Wake(wake, start);
}

void TProbePool::SubmitAll(std::vector<TPoolJob>& Jobs) {
    if (Jobs.empty()) {
        return;
    }
    std::size_t wake = 0;
    std::size_t start = 0;
    {
        std::lock_guard<std::mutex> guard(FLock);
        for (TPoolJob& job : Jobs) {
            FJobs.push_back(std::move(job));
        }
        Spread(wake, start, SubmitterSpread);
    }
    Jobs.clear();
    Wake(wake, start);
}

std::size_t TProbePool::RunQueued(const void* Tag) {
    std::size_t ran = 0;
    while (Tag) {
        TPoolJob job;
        {
            std::lock_guard<std::mutex> guard(FLock);
            if (FJobs.empty() || FJobs.front().Tag != Tag) {
                break;
            }
            job = std::move(FJobs.front());
            FJobs.pop_front();
        }
        Guarded("probe worker", job.Run);
        ++ran;
    }
    return ran;
}

std::size_t TProbePool::WorkerCount() {
    std::lock_guard<std::mutex> guard(FLock);
    return FWorkers.size();
}

void TProbePool::Run() {
    std::unique_lock<std::mutex> lock(FLock);
    // From here on this worker takes jobs itself: no longer one to count on as coming.
    --FStarting;
    for (;;) {
        while (!FClosing && FJobs.empty()) {
            ++FIdle;
            FWake.wait(lock);
            --FIdle;
            // Any wake-up ends one told to come (a spurious one at worst costs a later extra wake).
            if (FWaking > 0) {
                --FWaking;
            }
        }
        if (FClosing) {
            return;
        }
        TPoolJob job = std::move(FJobs.front());
        FJobs.pop_front();
        std::size_t wake = 0;
        std::size_t start = 0;
        Spread(wake, start, WorkerSpread);
        lock.unlock();
        Wake(wake, start);
        Guarded("probe worker", job.Run);
        job.Run = nullptr;
        lock.lock();
    }
}
