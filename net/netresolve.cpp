// Bounded name resolution: one detached worker per name in flight, shared by every caller of that
// name; the callers wait on an eventfd together with their cancel descriptors.
#include "net/netresolve.h"

#include "net/netip.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {

// One lookup in flight. The worker holds it until it has answered; callers hold it while they wait.
struct TLookup {
    TLookup() : DoneFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
    ~TLookup() {
        if (DoneFd >= 0)
            ::close(DoneFd);
    }
    TLookup(const TLookup&) = delete;
    TLookup& operator=(const TLookup&) = delete;

    std::mutex Lock;
    bool Done = false;
    int Result = 0;
    TVarSin Address{};
    // Readable for good once the answer is in.
    int DoneFd;
};

struct TRegistry {
    std::mutex Lock;
    std::map<std::string, std::weak_ptr<TLookup>> InFlight;
    std::atomic<int> Pending{0};
};

// Shared with the workers, so a worker that finishes while the program ends still finds it.
const std::shared_ptr<TRegistry>& Registry() {
    static const std::shared_ptr<TRegistry> registry = std::make_shared<TRegistry>();
    return registry;
}

bool ResolvesAtOnce(const std::string& Host) {
    return Host.empty() || IsIP(Host) || IsIP6(Host) || Host == "0.0.0.0" || Host == "::0" || Host == "::1";
}

std::string KeyOf(const std::string& Host, const std::string& Port, bool PreferIP4, int SocketType,
                  int Protocol, int Family) {
    return Host + '\n' + Port + '\n' + std::to_string(PreferIP4) + ',' + std::to_string(SocketType) + ',' +
           std::to_string(Protocol) + ',' + std::to_string(Family);
}

// The lookup of Key, started when none is in flight; empty when no worker may be started.
std::shared_ptr<TLookup> LookupFor(const std::string& Key, const std::string& Host, const std::string& Port,
                                   bool PreferIP4, int SocketType, int Protocol, int Family) {
    std::shared_ptr<TRegistry> registry = Registry();
    std::lock_guard<std::mutex> guard(registry->Lock);
    const auto known = registry->InFlight.find(Key);
    if (known != registry->InFlight.end())
        if (auto running = known->second.lock())
            return running;
    if (registry->Pending.load() >= MaxPendingLookups)
        return nullptr;
    auto lookup = std::make_shared<TLookup>();
    if (lookup->DoneFd < 0)
        return nullptr;
    registry->Pending.fetch_add(1);
    try {
        std::thread([registry, lookup, Key, Host, Port, PreferIP4, SocketType, Protocol, Family] {
            TVarSin address{};
            const int rc = ResolveSockAddr(address, Host, Port, PreferIP4, SocketType, Protocol, Family);
            {
                std::lock_guard<std::mutex> done(lookup->Lock);
                lookup->Address = address;
                lookup->Result = rc;
                lookup->Done = true;
            }
            const eventfd_t one = 1;
            [[maybe_unused]] const int written = ::eventfd_write(lookup->DoneFd, one);
            std::lock_guard<std::mutex> guard(registry->Lock);
            const auto it = registry->InFlight.find(Key);
            if (it != registry->InFlight.end() && it->second.lock() == lookup)
                registry->InFlight.erase(it);
            registry->Pending.fetch_sub(1);
        }).detach();
    } catch (const std::system_error&) {
        registry->Pending.fetch_sub(1);
        return nullptr;
    }
    registry->InFlight[Key] = lookup;
    return lookup;
}

// 0 when the lookup answered, else 10060 (time up) or 10053 (cancelled).
int AwaitLookup(TLookup& Lookup, int TimeoutMs, std::initializer_list<int> CancelFds) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(TimeoutMs, 0));
    std::vector<pollfd> fds{{Lookup.DoneFd, POLLIN, 0}};
    for (int fd : CancelFds)
        if (fd >= 0)
            fds.push_back({fd, POLLIN, 0});
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        const int rc = ::poll(fds.data(), fds.size(), static_cast<int>(std::max<long long>(left, 0)));
        if (rc < 0 && errno == EINTR)
            continue;
        for (std::size_t i = 1; i < fds.size(); ++i)
            if (fds[i].revents != 0)
                return WSAECONNABORTED;
        if (fds[0].revents != 0)
            return 0;
        if (rc <= 0 && Clock::now() >= deadline)
            return WSAETIMEDOUT;
    }
}

} // namespace

int ResolveSockAddrWithin(TVarSin& Address, const std::string& Host, const std::string& Port, bool PreferIP4,
                          int SocketType, int Protocol, int Family, int TimeoutMs,
                          std::initializer_list<int> CancelFds) {
    if (ResolvesAtOnce(Host))
        return ResolveSockAddr(Address, Host, Port, PreferIP4, SocketType, Protocol, Family);
    ClearSin(Address);
    const auto lookup = LookupFor(KeyOf(Host, Port, PreferIP4, SocketType, Protocol, Family), Host, Port,
                                  PreferIP4, SocketType, Protocol, Family);
    if (!lookup)
        return WSATRY_AGAIN;
    const int waited = AwaitLookup(*lookup, TimeoutMs, CancelFds);
    if (waited != 0)
        return waited;
    std::lock_guard<std::mutex> guard(lookup->Lock);
    Address = lookup->Address;
    return lookup->Result;
}

int PendingLookups() {
    return Registry()->Pending.load();
}
