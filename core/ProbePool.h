// A bounded pool of probe workers for the check thread: the blocking protocol clients run on
// these threads, so the probes of many hosts wait for their answers side by side while the check
// thread applies the results in host order.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// The most hosts whose probes the check thread (and the sampler) keep in flight.
inline constexpr int MaxHostsInFlight = 1024;
// Sockets one host in flight may hold at once: the check's echo, HTTP and SNMP side by side, and
// the sampler's echo beside its counter read.
inline constexpr int SocketsPerHostInFlight = 5;

// The most workers the check thread's pool and the sampler's start. Echoes hold none; the
// blocking HTTP and SNMP probes and counter reads wait on these, so the process stays under 64
// threads whatever the number of hosts in flight.
inline constexpr std::size_t MaxProbeWorkers = 32;
inline constexpr std::size_t MaxSamplerWorkers = 12;

// Hosts whose only probe in flight is an echo hold no socket and no thread of their own, just a
// small record and an entry of the echo loop: they are bounded apart from the socket-holding hosts,
// by this many times that bound, up to a total whose records stay well within the memory a pass
// may take. A silent host thus keeps at most its own record for its time-out.
inline constexpr int EchoHostsPerSocketHost = 16;
inline constexpr int MaxEchoHostsInFlight = 16384;

// The echo-only hosts allowed in flight beside SocketBound socket-holding ones (at least as many).
int EchoHostsInFlightBound(int SocketBound);

// The sampler's hosts whose reads have ended may wait behind a slow host ahead of them for their
// turn to be stored: up to this many times the bound, so the samples held stay bounded whatever
// the length of the list.
inline constexpr int WindowPerHostInFlight = 8;

// Raises the soft limit of open files to the hard one (start-up does this before anything opens);
// returns the soft limit now in force, 0 when it cannot be read.
unsigned long RaiseOpenFileLimit();

// The hosts in flight this process allows: MaxHostsInFlight, kept so that their sockets stay below
// half of the open-file limit (raised on the first call), and at least 1.
int HostsInFlightBound();

// One job of the pool. Tag names what the job belongs to, so its submitter can take it back
// (RunQueued) while no worker has started it; null for none.
struct TPoolJob {
    const void* Tag = nullptr;
    std::function<void()> Run;
};

class TProbePool {
public:
    // Workers start on demand, up to MaxWorkers.
    explicit TProbePool(std::size_t MaxWorkers);
    // Drops the jobs not yet started and joins the workers (their probes must have been cancelled
    // for this to be prompt).
    ~TProbePool();
    TProbePool(const TProbePool&) = delete;
    TProbePool& operator=(const TProbePool&) = delete;

    void Submit(std::function<void()> Job, const void* Tag = nullptr);
    // Queues every job in one go (Jobs is left empty). The submitter wakes at most a few workers;
    // each worker that takes a job while more wait wakes the next ones, so the wake-ups of a large
    // batch spread over the workers instead of costing the submitter one each.
    void SubmitAll(std::vector<TPoolJob>& Jobs);
    // Runs on the calling thread the jobs at the head of the queue that carry Tag and that no
    // worker has taken yet; returns how many ran. A submitter that would otherwise wait for them
    // does their work itself instead of waiting for a worker to wake.
    std::size_t RunQueued(const void* Tag);
    std::size_t WorkerCount();

private:
    // Under FLock: how many idle workers to wake and new ones to start for the jobs queued now.
    void Spread(std::size_t& Wake, std::size_t& Start, std::size_t Width);
    void Wake(std::size_t Wake, std::size_t Start);
    void Run();

    std::size_t FMaxWorkers;
    std::mutex FLock;
    std::condition_variable FWake;
    std::condition_variable FStarted; // a worker's thread object was stored (for the destructor)
    std::deque<TPoolJob> FJobs;
    std::size_t FIdle = 0;
    std::size_t FWaking = 0;   // idle workers told to wake and not yet awake
    std::size_t FStarting = 0; // workers started that have not yet looked for a job
    std::size_t FUnstored = 0; // workers started whose thread object is not yet in FWorkers
    bool FClosing = false;
    std::vector<std::thread> FWorkers;
};
