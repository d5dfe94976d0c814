// Many ICMP echoes at once without a thread each: one socket per family (datagram where permitted,
// raw otherwise) carries every request, answers are matched by identifier and sequence, and one
// thread waits on all sockets with the time-outs in a heap. Names that are no numeric address are
// resolved by a few threads of the loop's own, never on the loop.
#pragma once

#include "net/pingsend.h"

#include <functional>
#include <memory>
#include <string>

class TNetCancel;

class TIcmpEchoLoop {
public:
    // What IcmpEchoExchange would hand back (without the request and reply bytes).
    using TDone = std::function<void(const TIcmpEchoResult&)>;

    TIcmpEchoLoop();
    // Ends the echoes in flight as cancelled (their Done runs) and stops the threads.
    ~TIcmpEchoLoop();
    TIcmpEchoLoop(const TIcmpEchoLoop&) = delete;
    TIcmpEchoLoop& operator=(const TIcmpEchoLoop&) = delete;

    // Starts one echo of the default form (TTL 128, 32 bytes) to Host within TimeoutMs, resolving
    // included. Done runs exactly once: inside this call when the echo cannot start, else on a thread
    // of the loop's own. While Cancel is raised the echo ends at once with 10053 (see Sweep).
    void Start(const std::string& Host, int TimeoutMs, std::shared_ptr<TNetCancel> Cancel, TDone Done);
    // Ends at once every echo whose cancel signal is raised.
    void Sweep();

    // Waits on the loop's thread, holding no thread of its own, until Fd is ready for Events or
    // TimeoutMs has passed. Done runs exactly once on the loop's thread (or inside this call when the
    // loop is stopping) with the ready events: 0 after the time-out, -1 when Cancel was raised (see
    // Sweep) or the loop stops. Fd stays the caller's; it must stay open until Done.
    using TReady = std::function<void(int Revents)>;
    void Watch(int Fd, short Events, int TimeoutMs, std::shared_ptr<TNetCancel> Cancel, TReady Done);

    // Echo sockets opened so far.
    int SocketsOpen() const;

    // Sequences one socket (or raw identifier) carries at once.
    static constexpr int SequencesPerLane = 65536;

private:
    struct TImpl;
    std::unique_ptr<TImpl> F;
};
