// The echo loop: submissions come in under one lock, everything else belongs to the loop thread.
#include "net/pingloop.h"

#include "net/blcksock.h"
#include "net/netip.h"
#include "net/netresolve.h"
#include "net/netsock.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {

constexpr uint32_t NoEcho = 0xFFFFFFFF;
// Echo payload of the checks: the default of TPINGSend.
constexpr int EchoPacketSize = 32;
constexpr char EchoFill = '7';
// Threads that resolve names, at most.
constexpr int ResolverThreads = 4;
// Packets read from one socket per turn, so that sending and time-outs keep their pace.
constexpr int ReadsPerTurn = 4096;
// Requests sent on one socket per turn: the answers to a longer burst would pile up unread in the
// socket's receive queue, which drops what exceeds it (and the same hosts again each pass).
constexpr int SendsPerTurn = 128;
// Sending space: a pass sends thousands of requests in one burst.
constexpr int SendBufferSize = 1 << 20;

uint64_t NowMs() {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
}

// Numeric addresses need no lookup.
bool ParseNumeric(const std::string& Host, TVarSin& Sin) {
    std::memset(&Sin, 0, sizeof Sin);
    if (::inet_pton(AF_INET, Host.c_str(), &Sin.sin.sin_addr) == 1) {
        Sin.sin.sin_family = AF_INET;
        return true;
    }
    if (::inet_pton(AF_INET6, Host.c_str(), &Sin.sin6.sin6_addr) == 1) {
        Sin.sin6.sin6_family = AF_INET6;
        return true;
    }
    return false;
}

// The socket's error queue, reachable from the loop.
class TLoopSocket : public TICMPBlockSocket {
public:
    using TICMPBlockSocket::ReadErrorQueue;
};

struct TSocket {
    TLoopSocket Sock;
    int Family = AF_INET;
    bool Raw = false;
    // Identifier of a datagram socket's requests (its local port as the request carries it).
    uint16_t DatagramId = 0;
    // Loop thread only: echoes waiting for room to send.
    std::deque<uint32_t> Queue;
    bool RetrySoon = false;
};

// One identifier on one socket with its sequences.
struct TLane {
    TSocket* Socket = nullptr;
    uint16_t Id = 0;
    uint16_t NextSeq = 0;
    int InFlight = 0;
    std::vector<uint32_t> BySeq = std::vector<uint32_t>(TIcmpEchoLoop::SequencesPerLane, NoEcho);
};

struct TEcho {
    TIcmpEchoLoop::TDone Done;
    std::shared_ptr<TNetCancel> Cancel;
    TVarSin Target{};
    int TimeoutMs = 0;
    uint64_t SentAt = 0;
    TIcmpRequestSignature Sig;
    TLane* Lane = nullptr;
    uint16_t Seq = 0;
    uint32_t Generation = 0;
    bool Live = false;
    bool Sent = false;
};

struct TTimer {
    uint64_t Deadline;
    uint32_t Slot;
    uint32_t Generation;
    bool operator>(const TTimer& Other) const { return Deadline > Other.Deadline; }
};

struct TIncoming {
    TVarSin Target{};
    int TimeoutMs = 0;
    std::shared_ptr<TNetCancel> Cancel;
    TIcmpEchoLoop::TDone Done;
};

using TFinished = std::vector<std::pair<TIcmpEchoLoop::TDone, TIcmpEchoResult>>;

// A descriptor waited on for another client (a connection being made, an answer awaited).
struct TWatch {
    int Fd = -1;
    short Events = 0;
    uint64_t Deadline = 0;
    std::shared_ptr<TNetCancel> Cancel;
    TIcmpEchoLoop::TReady Done;
};

using TWatched = std::vector<std::pair<TIcmpEchoLoop::TReady, int>>;

void RunAll(TWatched& Ready) {
    for (auto& [Done, Revents] : Ready)
        Done(Revents);
    Ready.clear();
}

TIcmpEchoResult Failed(int Error, TIcmpSocketKind Kind = ISK_None) {
    TIcmpEchoResult Result;
    Result.Kind = Kind;
    Result.LastError = Error;
    return Result;
}

void RunAll(TFinished& Finished) {
    for (auto& [Done, Result] : Finished)
        Done(Result);
    Finished.clear();
}

} // namespace

struct TIcmpEchoLoop::TImpl {
    // Under Lock: submissions, sockets, resolver work, stop and sweep requests.
    mutable std::mutex Lock;
    std::vector<std::unique_ptr<TSocket>> Sockets;
    std::vector<TIncoming> Incoming;
    std::vector<TWatch> IncomingWatches;
    // Echoes handed to the loop and not finished, per family (decides when a datagram socket is full).
    std::atomic<int> Pending4{0}, Pending6{0};
    bool Stopping = false;
    // Raised on destruction: ends the lookups under way.
    TNetCancel StopSignal;
    bool SweepAsked = false;
    int Wake = -1;
    std::thread Loop;

    struct TLookup {
        std::string Host;
        int TimeoutMs;
        uint64_t Begun;
        std::shared_ptr<TNetCancel> Cancel;
        TDone Done;
    };
    std::deque<TLookup> Lookups;
    std::vector<std::thread> Resolvers;
    int IdleResolvers = 0;
    std::condition_variable LookupReady;

    // Loop thread only.
    std::vector<TEcho> Echoes;
    std::vector<uint32_t> FreeSlots;
    std::vector<std::unique_ptr<TLane>> Lanes;
    std::vector<TTimer> Timers;
    std::vector<TWatch> Watches;
    std::vector<char> Space = std::vector<char>(65536);

    std::atomic<int>& PendingOf(int Family) { return Family == AF_INET6 ? Pending6 : Pending4; }

    void WakeLoop() {
        const uint64_t One = 1;
        [[maybe_unused]] const ssize_t N = ::write(Wake, &One, sizeof One);
    }

    // Under Lock: a socket for Family with room for one more echo; 0 or the open's error.
    int EnsureSocket(int Family) {
        int Datagrams = 0;
        for (const auto& S : Sockets) {
            if (S->Family != Family)
                continue;
            // A raw socket takes any number of identifiers.
            if (S->Raw)
                return 0;
            ++Datagrams;
        }
        if (Datagrams > 0 && PendingOf(Family).load() < Datagrams * SequencesPerLane)
            return 0;
        auto S = std::make_unique<TSocket>();
        S->Family = Family;
        if (const int Error = OpenSharedEchoSocket(S->Sock, Family); Error != 0)
            return Datagrams > 0 ? 0 : Error;
        S->Raw = S->Sock.SocketKind() == IK_Raw;
        if (!S->Raw) {
            const int Port = S->Sock.DatagramEchoId();
            // The request carries the port in network order; the lanes keep identifiers as written.
            S->DatagramId = static_cast<uint16_t>(((Port >> 8) & 0xFF) | ((Port & 0xFF) << 8));
        }
        const int Size = SendBufferSize;
        ::setsockopt(S->Sock.Socket(), SOL_SOCKET, SO_SNDBUF, &Size, sizeof Size);
        // Room for the answers of a burst too (the system caps it as it allows).
        ::setsockopt(S->Sock.Socket(), SOL_SOCKET, SO_RCVBUF, &Size, sizeof Size);
        Sockets.push_back(std::move(S));
        return 0;
    }

    // Any thread: hands a resolved echo to the loop, or finishes it here.
    void Submit(const TVarSin& Target, int TimeoutMs, std::shared_ptr<TNetCancel> Cancel, TDone Done) {
        if (!IcmpUsableTarget(Target))
            return Done(Failed(WSAHOST_NOT_FOUND));
        if (Cancel && Cancel->Raised())
            return Done(Failed(WSAECONNABORTED));
        if (TimeoutMs <= 0)
            return Done(Failed(WSAETIMEDOUT));
        const int Family = SinFamily(Target);
        int Error = 0;
        bool WasEmpty = false;
        {
            std::lock_guard<std::mutex> Guard(Lock);
            Error = Stopping ? WSAECONNABORTED : EnsureSocket(Family);
            if (Error == 0) {
                ++PendingOf(Family);
                WasEmpty = Incoming.empty();
                Incoming.push_back({Target, TimeoutMs, std::move(Cancel), std::move(Done)});
                if (!Loop.joinable())
                    Loop = std::thread([this] { Run(); });
            }
        }
        // Done never runs under the lock: it may start the next echo.
        if (Error != 0)
            Done(Failed(Error));
        else if (WasEmpty)
            WakeLoop();
    }

    void Resolve(TLookup Work) {
        const int Left = Work.TimeoutMs - static_cast<int>(NowMs() - Work.Begun);
        if (Work.Cancel && Work.Cancel->Raised())
            return Work.Done(Failed(WSAECONNABORTED));
        if (Left <= 0)
            return Work.Done(Failed(WSAETIMEDOUT));
        TVarSin Sin{};
        const int Error =
            ResolveSockAddrWithin(Sin, Work.Host, "0", true, SOCK_DGRAM, IPPROTO_UDP, AF_UNSPEC, Left,
                                  {Work.Cancel ? Work.Cancel->Handle() : -1, StopSignal.Handle()});
        if (Error != 0 || !IcmpUsableTarget(Sin)) {
            const bool Interrupted = Error == WSAETIMEDOUT || Error == WSAECONNABORTED;
            return Work.Done(Failed(Interrupted ? Error : WSAHOST_NOT_FOUND));
        }
        // The time-out covers the lookup as well.
        Submit(Sin, Work.TimeoutMs - static_cast<int>(NowMs() - Work.Begun), std::move(Work.Cancel),
               std::move(Work.Done));
    }

    void ResolverRun() {
        std::unique_lock<std::mutex> Guard(Lock);
        for (;;) {
            ++IdleResolvers;
            LookupReady.wait(Guard, [&] { return Stopping || !Lookups.empty(); });
            --IdleResolvers;
            if (Stopping)
                return;
            TLookup Work = std::move(Lookups.front());
            Lookups.pop_front();
            Guard.unlock();
            Resolve(std::move(Work));
            Guard.lock();
        }
    }

    // ---- loop thread ----

    TLane* LaneFor(int Family) {
        TSocket* Raw = nullptr;
        for (const auto& L : Lanes) {
            if (L->Socket->Family == Family && L->InFlight < SequencesPerLane)
                return L.get();
        }
        std::vector<TSocket*> Candidates;
        {
            std::lock_guard<std::mutex> Guard(Lock);
            for (const auto& S : Sockets) {
                if (S->Family == Family)
                    Candidates.push_back(S.get());
            }
        }
        for (TSocket* S : Candidates) {
            if (S->Raw) {
                Raw = S;
                continue;
            }
            const bool HasLane =
                std::any_of(Lanes.begin(), Lanes.end(), [&](const auto& L) { return L->Socket == S; });
            if (!HasLane) {
                auto L = std::make_unique<TLane>();
                L->Socket = S;
                L->Id = S->DatagramId;
                Lanes.push_back(std::move(L));
                return Lanes.back().get();
            }
        }
        if (!Raw)
            return nullptr;
        auto L = std::make_unique<TLane>();
        L->Socket = Raw;
        L->Id = FreshRawId();
        Lanes.push_back(std::move(L));
        return Lanes.back().get();
    }

    // A raw identifier no lane of this loop holds (other exchanges of the process draw from the same
    // counter, so they differ as well).
    uint16_t FreshRawId() {
        for (;;) {
            const uint16_t Id = NextIcmpId();
            if (std::none_of(Lanes.begin(), Lanes.end(),
                             [&](const auto& L) { return L->Socket->Raw && L->Id == Id; }))
                return Id;
        }
    }

    uint32_t TakeSlot() {
        if (!FreeSlots.empty()) {
            const uint32_t Slot = FreeSlots.back();
            FreeSlots.pop_back();
            return Slot;
        }
        Echoes.emplace_back();
        return static_cast<uint32_t>(Echoes.size() - 1);
    }

    // Ends the echo in Slot with Result; its Done runs once the turn is over.
    void Finish(uint32_t Slot, TIcmpEchoResult Result, TFinished& Finished) {
        TEcho& E = Echoes[Slot];
        if (E.Lane) {
            Result.Kind = E.Lane->Socket->Raw ? ISK_Raw : ISK_Datagram;
            Result.Id = E.Lane->Id;
            E.Lane->BySeq[E.Seq] = NoEcho;
            if (--E.Lane->InFlight == 0 && E.Lane->Socket->Raw)
                E.Lane->Id = FreshRawId();
            --PendingOf(E.Lane->Socket->Family);
        }
        Result.Sent = E.Sent;
        Finished.emplace_back(std::move(E.Done), std::move(Result));
        E.Cancel.reset();
        E.Lane = nullptr;
        E.Live = false;
        E.Sent = false;
        ++E.Generation;
        FreeSlots.push_back(Slot);
    }

    void Accept(TIncoming& In, TFinished& Finished) {
        const int Family = SinFamily(In.Target);
        if (In.Cancel && In.Cancel->Raised()) {
            --PendingOf(Family);
            Finished.emplace_back(std::move(In.Done), Failed(WSAECONNABORTED));
            return;
        }
        TLane* Lane = LaneFor(Family);
        if (!Lane) {
            --PendingOf(Family);
            Finished.emplace_back(std::move(In.Done), Failed(WSAENOBUFS));
            return;
        }
        const uint32_t Slot = TakeSlot();
        TEcho& E = Echoes[Slot];
        E.Done = std::move(In.Done);
        E.Cancel = std::move(In.Cancel);
        E.Target = In.Target;
        E.TimeoutMs = In.TimeoutMs;
        E.Live = true;
        while (Lane->BySeq[Lane->NextSeq] != NoEcho)
            ++Lane->NextSeq;
        E.Seq = Lane->NextSeq++;
        E.Lane = Lane;
        Lane->BySeq[E.Seq] = Slot;
        ++Lane->InFlight;
        Lane->Socket->Queue.push_back(Slot);
    }

    // Sends what waits on S until the socket has no room or the turn's share is sent.
    void Flush(TSocket& S, TFinished& Finished) {
        S.RetrySoon = false;
        const bool IPv6 = S.Family == AF_INET6;
        for (int Sent = 0; Sent < SendsPerTurn && !S.Queue.empty(); ++Sent) {
            const uint32_t Slot = S.Queue.front();
            TEcho& E = Echoes[Slot];
            const std::string Request = IcmpEchoRequest(IPv6, EchoPacketSize, E.Lane->Id, E.Seq, EchoFill);
            const ssize_t N = ::sendto(S.Sock.Socket(), Request.data(), Request.size(),
                                       MSG_DONTWAIT | MSG_NOSIGNAL, &E.Target.sa, SizeOfVarSin(E.Target));
            if (N < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == ENOBUFS)) {
                // Full: POLLOUT says when there is room again; a short queue of the device says nothing.
                S.RetrySoon = errno == ENOBUFS;
                return;
            }
            S.Queue.pop_front();
            if (N != static_cast<ssize_t>(Request.size())) {
                Finish(Slot, Failed(N < 0 ? SocketErrorFromErrno(errno) : WSAEMSGSIZE), Finished);
                continue;
            }
            E.Sig = IcmpRequestSignature(Request, IPv6);
            E.Sent = true;
            E.SentAt = NowMs();
            Timers.push_back({E.SentAt + static_cast<uint64_t>(E.TimeoutMs), Slot, E.Generation});
            std::push_heap(Timers.begin(), Timers.end(), std::greater<>());
        }
    }

    // The packet Data came in on S from From (null: the socket's error queue named the sender): hands
    // it to the echo it answers, if any.
    void Received(TSocket& S, const uint8_t* Data, std::size_t Length, const TVarSin* From,
                  TFinished& Finished) {
        const bool IPv6 = S.Family == AF_INET6;
        const TIcmpPacketForm Form = S.Raw ? (IPv6 ? IPF_Raw6 : IPF_Raw4) : (IPv6 ? IPF_Dgram6 : IPF_Dgram4);
        const TIcmpAnsweredEcho Answered = IcmpAnsweredEcho(Form, Data, Length);
        if (!Answered.Found)
            return;
        for (const auto& L : Lanes) {
            if (L->Socket != &S || L->Id != Answered.Id)
                continue;
            const uint32_t Slot = L->BySeq[Answered.Seq];
            if (Slot == NoEcho || !Echoes[Slot].Sent)
                return;
            TEcho& E = Echoes[Slot];
            const TIcmpReplyMatch Match = MatchIcmpReply(Form, Data, Length, E.Sig);
            if (!Match.Matched)
                return;
            TIcmpEchoResult Result;
            const int RoundTrip = static_cast<int>(NowMs() - E.SentAt);
            // An answer taken after the time-out counts as none.
            if (RoundTrip > E.TimeoutMs) {
                Result.LastError = WSAETIMEDOUT;
            } else {
                Result.Answered = true;
                Result.RoundTripMs = RoundTrip;
                Result.Type = Match.Type;
                Result.Code = Match.Code;
                Result.Error = TPINGSend::TranslateReply(IPv6, Match.Type, Match.Code);
                // The text only for an answer taken: most packets of a raw socket are others'.
                Result.From = From ? GetSinIP(*From) : S.Sock.GetRemoteSinIP();
            }
            Finish(Slot, std::move(Result), Finished);
            return;
        }
    }

    void Drain(TSocket& S, short Revents, TFinished& Finished) {
        const int Fd = S.Sock.Socket();
        for (int I = 0; I < ReadsPerTurn; ++I) {
            TVarSin From{};
            socklen_t FromLength = sizeof From;
            const ssize_t N = ::recvfrom(Fd, Space.data(), Space.size(), MSG_DONTWAIT, &From.sa, &FromLength);
            if (N >= 0) {
                Received(S, reinterpret_cast<const uint8_t*>(Space.data()), static_cast<std::size_t>(N),
                         &From, Finished);
                continue;
            }
            if ((errno == EAGAIN || errno == EWOULDBLOCK) && !(Revents & POLLERR))
                break;
            if (S.Raw)
                break;
            // A datagram socket reports ICMP errors through its error queue.
            Revents = 0;
            const std::string Packet = S.Sock.ReadErrorQueue();
            if (Packet.empty())
                break;
            Received(S, reinterpret_cast<const uint8_t*>(Packet.data()), Packet.size(), nullptr, Finished);
        }
    }

    void Expire(TFinished& Finished) {
        const uint64_t Now = NowMs();
        while (!Timers.empty() && Timers.front().Deadline <= Now) {
            const TTimer T = Timers.front();
            std::pop_heap(Timers.begin(), Timers.end(), std::greater<>());
            Timers.pop_back();
            if (Echoes[T.Slot].Live && Echoes[T.Slot].Generation == T.Generation)
                Finish(T.Slot, Failed(WSAETIMEDOUT), Finished);
        }
    }

    // Ends every echo whose signal is raised, or all of them.
    void EndCancelled(bool All, TFinished& Finished) {
        for (uint32_t Slot = 0; Slot < Echoes.size(); ++Slot) {
            TEcho& E = Echoes[Slot];
            if (E.Live && (All || (E.Cancel && E.Cancel->Raised())))
                Finish(Slot, Failed(WSAECONNABORTED), Finished);
        }
        for (const auto& L : Lanes) {
            auto& Q = L->Socket->Queue;
            Q.erase(std::remove_if(Q.begin(), Q.end(), [&](uint32_t Slot) { return !Echoes[Slot].Live; }),
                    Q.end());
        }
    }

    // Ends watch I with Revents; its Done runs once the turn is over.
    void EndWatch(std::size_t I, int Revents, TWatched& Ready) {
        Ready.emplace_back(std::move(Watches[I].Done), Revents);
        Watches[I] = std::move(Watches.back());
        Watches.pop_back();
    }

    void ExpireWatches(TWatched& Ready) {
        const uint64_t Now = NowMs();
        for (std::size_t I = Watches.size(); I-- > 0;) {
            if (Watches[I].Deadline <= Now)
                EndWatch(I, 0, Ready);
        }
    }

    void EndWatches(bool All, TWatched& Ready) {
        for (std::size_t I = Watches.size(); I-- > 0;) {
            if (All || (Watches[I].Cancel && Watches[I].Cancel->Raised()))
                EndWatch(I, -1, Ready);
        }
    }

    void Run() {
        TFinished Finished;
        TWatched Ready;
        std::vector<TIncoming> Taken;
        std::vector<TWatch> TakenWatches;
        std::vector<TSocket*> Socks;
        std::vector<pollfd> Fds;
        for (;;) {
            bool Stop = false;
            bool SweepNow = false;
            {
                std::lock_guard<std::mutex> Guard(Lock);
                Taken.swap(Incoming);
                TakenWatches.swap(IncomingWatches);
                Stop = Stopping;
                SweepNow = SweepAsked;
                SweepAsked = false;
                Socks.clear();
                for (const auto& S : Sockets)
                    Socks.push_back(S.get());
            }
            for (TIncoming& In : Taken) {
                if (Stop) {
                    --PendingOf(SinFamily(In.Target));
                    Finished.emplace_back(std::move(In.Done), Failed(WSAECONNABORTED));
                } else {
                    Accept(In, Finished);
                }
            }
            Taken.clear();
            for (TWatch& W : TakenWatches)
                Watches.push_back(std::move(W));
            TakenWatches.clear();
            if (Stop || SweepNow) {
                EndCancelled(Stop, Finished);
                EndWatches(Stop, Ready);
            }
            for (TSocket* S : Socks)
                Flush(*S, Finished);
            Expire(Finished);
            ExpireWatches(Ready);
            RunAll(Finished);
            RunAll(Ready);
            if (Stop)
                return;

            Fds.clear();
            Fds.push_back({Wake, POLLIN, 0});
            bool RetrySoon = false;
            for (TSocket* S : Socks) {
                Fds.push_back(
                    {S->Sock.Socket(), static_cast<short>(POLLIN | (S->Queue.empty() ? 0 : POLLOUT)), 0});
                RetrySoon = RetrySoon || S->RetrySoon;
            }
            for (const TWatch& W : Watches)
                Fds.push_back({W.Fd, W.Events, 0});
            uint64_t Next = Timers.empty() ? UINT64_MAX : Timers.front().Deadline;
            for (const TWatch& W : Watches)
                Next = std::min(Next, W.Deadline);
            int Wait = -1;
            if (Next != UINT64_MAX) {
                const uint64_t Now = NowMs();
                Wait = Next <= Now ? 0 : static_cast<int>(std::min<uint64_t>(Next - Now, 60000));
            }
            if (RetrySoon)
                Wait = Wait < 0 ? 1 : std::min(Wait, 1);
            if (::poll(Fds.data(), Fds.size(), Wait) <= 0)
                continue;
            if (Fds[0].revents & POLLIN) {
                uint64_t Count;
                [[maybe_unused]] const ssize_t N = ::read(Wake, &Count, sizeof Count);
            }
            for (std::size_t I = 0; I < Socks.size(); ++I) {
                if (Fds[I + 1].revents & (POLLIN | POLLERR))
                    Drain(*Socks[I], Fds[I + 1].revents, Finished);
            }
            // The watches polled are the first ones of the list (new ones were only appended since).
            const std::size_t Polled = Fds.size() - 1 - Socks.size();
            for (std::size_t I = Polled; I-- > 0;) {
                const short Revents = Fds[1 + Socks.size() + I].revents;
                if (Revents != 0)
                    EndWatch(I, Revents, Ready);
            }
            Expire(Finished);
            ExpireWatches(Ready);
            RunAll(Finished);
            RunAll(Ready);
        }
    }
};

TIcmpEchoLoop::TIcmpEchoLoop() : F(std::make_unique<TImpl>()) {
    F->Wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

TIcmpEchoLoop::~TIcmpEchoLoop() {
    {
        std::lock_guard<std::mutex> Guard(F->Lock);
        F->Stopping = true;
    }
    F->StopSignal.Raise();
    F->LookupReady.notify_all();
    for (std::thread& T : F->Resolvers)
        T.join();
    // Lookups nobody took end as cancelled too.
    for (auto& Work : F->Lookups)
        Work.Done(Failed(WSAECONNABORTED));
    F->WakeLoop();
    if (F->Loop.joinable())
        F->Loop.join();
    ::close(F->Wake);
}

void TIcmpEchoLoop::Start(const std::string& Host, int TimeoutMs, std::shared_ptr<TNetCancel> Cancel,
                          TDone Done) {
    TVarSin Target{};
    if (ParseNumeric(Host, Target))
        return F->Submit(Target, TimeoutMs, std::move(Cancel), std::move(Done));
    if (Cancel && Cancel->Raised())
        return Done(Failed(WSAECONNABORTED));
    std::unique_lock<std::mutex> Guard(F->Lock);
    if (F->Stopping) {
        Guard.unlock();
        return Done(Failed(WSAECONNABORTED));
    }
    F->Lookups.push_back({Host, TimeoutMs, NowMs(), std::move(Cancel), std::move(Done)});
    if (F->IdleResolvers == 0 && static_cast<int>(F->Resolvers.size()) < ResolverThreads)
        F->Resolvers.emplace_back([this] { F->ResolverRun(); });
    else
        F->LookupReady.notify_one();
}

void TIcmpEchoLoop::Watch(int Fd, short Events, int TimeoutMs, std::shared_ptr<TNetCancel> Cancel,
                          TReady Done) {
    if (Cancel && Cancel->Raised())
        return Done(-1);
    bool WasEmpty = false;
    bool Queued = false;
    {
        std::lock_guard<std::mutex> Guard(F->Lock);
        if (!F->Stopping) {
            Queued = true;
            WasEmpty = F->Incoming.empty() && F->IncomingWatches.empty();
            F->IncomingWatches.push_back({Fd, Events, NowMs() + static_cast<uint64_t>(std::max(0, TimeoutMs)),
                                          std::move(Cancel), std::move(Done)});
            if (!F->Loop.joinable())
                F->Loop = std::thread([this] { F->Run(); });
        }
    }
    // Done never runs under the lock.
    if (!Queued)
        return Done(-1);
    if (WasEmpty)
        F->WakeLoop();
}

void TIcmpEchoLoop::Sweep() {
    {
        std::lock_guard<std::mutex> Guard(F->Lock);
        F->SweepAsked = true;
    }
    F->WakeLoop();
}

int TIcmpEchoLoop::SocketsOpen() const {
    std::lock_guard<std::mutex> Guard(F->Lock);
    return static_cast<int>(F->Sockets.size());
}
