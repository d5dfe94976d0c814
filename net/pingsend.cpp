// ICMP echo client: request building, checksums, matching of answers, and the echo exchange over the
// socket layer's ICMP socket: a datagram ICMP socket (answers in the receive queue, ICMP errors from the
// socket's error queue) or a raw one (every ICMP packet of the host; errors matched by the request they
// quote), which the echoes of the default TTL in flight at one time share.
#include "net/pingsend.h"

#include "net/netip.h"
#include "net/netresolve.h"
#include "net/netutil.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <unordered_map>
#include <vector>

#include <arpa/inet.h>
#include <linux/filter.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::size_t EchoHeaderSize = 12;
constexpr int MaxPacketSize = 65500;
constexpr int RawReceiveBufferSize = 61440;

uint8_t EchoType(bool IPv6) {
    return IPv6 ? 128 : 8;
}
uint8_t EchoReplyType(bool IPv6) {
    return IPv6 ? 129 : 0;
}
uint8_t RedirectType(bool IPv6) {
    return IPv6 ? 137 : 5;
}
// The ICMP errors that quote a request and end its exchange.
bool IsErrorAnswer(bool IPv6, uint8_t Type) {
    return IPv6 ? Type >= 1 && Type <= 4 : Type == 3 || Type == 4 || Type == 11 || Type == 12;
}

// Whether the 8-byte request header occurs in Data; on IPv6 (and for datagram sockets) the checksum
// bytes are left out because the kernel writes its own checksum over ours.
bool QuotesRequest(const uint8_t* Data, std::size_t Length, const TIcmpRequestSignature& Request,
                   bool IgnoreChecksum) {
    const auto& Sig = Request.Bytes;
    if (Length < Sig.size())
        return false;
    for (std::size_t At = 0; At + Sig.size() <= Length; ++At) {
        const uint8_t* P = Data + At;
        if (P[0] != Sig[0] || P[1] != Sig[1])
            continue;
        if (!IgnoreChecksum && (P[2] != Sig[2] || P[3] != Sig[3]))
            continue;
        if (std::memcmp(P + 4, Sig.data() + 4, 4) == 0)
            return true;
    }
    return false;
}

// One ICMP message (header first) judged against the request.
TIcmpReplyMatch MatchMessage(const uint8_t* Message, std::size_t Length, const TIcmpRequestSignature& Request,
                             bool IgnoreChecksum) {
    TIcmpReplyMatch Match;
    if (Length < 8)
        return Match;
    const uint8_t Type = Message[0];
    const bool IPv6 = Request.IPv6;
    // Our own request seen again on loopback, and redirects (the request still went on), answer nothing.
    if (Type == EchoType(IPv6) || Type == RedirectType(IPv6))
        return Match;
    if (Type == EchoReplyType(IPv6)) {
        Match.Matched = std::memcmp(Message + 4, Request.Bytes.data() + 4, 4) == 0;
    } else {
        // An error message quotes the packet that caused it after its own 8-byte header.
        Match.Matched = QuotesRequest(Message + 8, Length - 8, Request, IgnoreChecksum);
    }
    if (Match.Matched) {
        Match.Type = Type;
        Match.Code = Message[1];
    }
    return Match;
}

TIcmpSocketKind KindOf(const TICMPBlockSocket& Sock) {
    switch (Sock.SocketKind()) {
    case IK_Datagram:
        return ISK_Datagram;
    case IK_Raw:
        return ISK_Raw;
    default:
        return ISK_None;
    }
}

// A numeric source address of the target's family that names a real interface address.
bool UsableSource(const std::string& Source, int Family) {
    if (Family == AF_INET) {
        in_addr Address{};
        return ::inet_pton(AF_INET, Source.c_str(), &Address) == 1 && Address.s_addr != htonl(INADDR_ANY);
    }
    in6_addr Address{};
    return ::inet_pton(AF_INET6, Source.c_str(), &Address) == 1 && !IN6_IS_ADDR_UNSPECIFIED(&Address);
}

// The source address the system would use towards Target (a connected UDP socket sends nothing);
// failing that, Fallback.
std::array<uint8_t, 16> RouteSource6(const sockaddr_in6& Target, const TVarSin& Fallback) {
    std::array<uint8_t, 16> Local{};
    sockaddr_in6 Probe = Target;
    Probe.sin6_port = htons(9);
    const int Udp = ::socket(AF_INET6, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    sockaddr_in6 Name{};
    socklen_t Length = sizeof Name;
    if (Udp >= 0 && ::connect(Udp, reinterpret_cast<const sockaddr*>(&Probe), sizeof Probe) == 0 &&
        ::getsockname(Udp, reinterpret_cast<sockaddr*>(&Name), &Length) == 0 && Name.sin6_family == AF_INET6)
        std::memcpy(Local.data(), &Name.sin6_addr, 16);
    else if (SinFamily(Fallback) == AF_INET6)
        std::memcpy(Local.data(), &Fallback.sin6.sin6_addr, 16);
    if (Udp >= 0)
        ::close(Udp);
    return Local;
}

void PutLE16(std::string& Buffer, std::size_t At, uint16_t Value) {
    Buffer[At] = static_cast<char>(Value & 0xFF);
    Buffer[At + 1] = static_cast<char>(Value >> 8);
}

void PutLE32(std::string& Buffer, std::size_t At, uint32_t Value) {
    for (int I = 0; I < 4; ++I)
        Buffer[At + I] = static_cast<char>((Value >> (8 * I)) & 0xFF);
}

void PutChecksum(std::string& Buffer, uint16_t Sum) {
    std::memcpy(&Buffer[2], &Sum, 2);
}

std::string BuildRequest(bool IPv6, int PacketSize, uint16_t Id, uint16_t Seq, char Fill) {
    std::string Buffer(static_cast<std::size_t>(std::clamp(PacketSize, 0, MaxPacketSize)) + EchoHeaderSize,
                       Fill);
    Buffer[0] = static_cast<char>(EchoType(IPv6));
    Buffer[1] = 0;
    PutLE16(Buffer, 2, 0);
    PutLE16(Buffer, 4, Id);
    PutLE32(Buffer, 8, GetTick());
    PutLE16(Buffer, 6, Seq);
    return Buffer;
}

TIcmpRequestSignature Signature(const std::string& Request, bool IPv6) {
    TIcmpRequestSignature Sig;
    Sig.IPv6 = IPv6;
    std::memcpy(Sig.Bytes.data(), Request.data(), Sig.Bytes.size());
    return Sig;
}

void ForgetAnswer(TIcmpEchoResult& Result) {
    Result.Answered = false;
    Result.Error = IE_Other;
    Result.Type = Result.Code = 0;
    Result.From.clear();
    Result.RoundTripMs = -1;
    Result.Reply.clear();
    Result.LastError = WSAETIMEDOUT;
}

// A raw ICMP socket takes a copy of every ICMP packet the host receives. With many echoes at once
// its queue would fill with the other exchanges' answers and drop its own, so the kernel is told to
// queue only echo answers that carry this exchange's identifier, and the errors that quote requests.
// The filter costs the kernel a compilation, so an exchange asks for it only beside others.
std::atomic<int> RawExchangesInFlight{0};

void AttachAnswerFilter(int Handle, bool IPv6, uint16_t Id) {
    // The identifier as the filter reads it: two bytes in network order, written little-endian.
    const uint32_t wireId = static_cast<uint32_t>(((Id & 0xFF) << 8) | (Id >> 8));
    constexpr uint32_t Accept = 0xFFFFFFFF;
    // IPv4 raw sockets see the IP header first (X := its length); IPv6 ones start at the ICMP header.
    sock_filter v4[] = {
        BPF_STMT(BPF_LDX | BPF_B | BPF_MSH, 0),
        BPF_STMT(BPF_LD | BPF_B | BPF_IND, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, EchoReplyType(false), 0, 2),
        BPF_STMT(BPF_LD | BPF_H | BPF_IND, 4),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, wireId, 5, 4),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 3, 4, 0),  // destination unreachable
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 4, 3, 0),  // source quench
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 11, 2, 0), // time exceeded
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 12, 1, 0), // parameter problem
        BPF_STMT(BPF_RET | BPF_K, 0),
        BPF_STMT(BPF_RET | BPF_K, Accept),
    };
    sock_filter v6[] = {
        BPF_STMT(BPF_LD | BPF_B | BPF_ABS, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, EchoReplyType(true), 0, 2),
        BPF_STMT(BPF_LD | BPF_H | BPF_ABS, 4),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, wireId, 5, 4),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 1, 4, 0), // destination unreachable
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 2, 3, 0), // packet too big
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 3, 2, 0), // time exceeded
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 4, 1, 0), // parameter problem
        BPF_STMT(BPF_RET | BPF_K, 0),
        BPF_STMT(BPF_RET | BPF_K, Accept),
    };
    sock_fprog program{};
    program.len = static_cast<unsigned short>(IPv6 ? std::size(v6) : std::size(v4));
    program.filter = IPv6 ? v6 : v4;
    // Without the filter the exchange still works, only less well with many at once.
    ::setsockopt(Handle, SOL_SOCKET, SO_ATTACH_FILTER, &program, sizeof program);
}

// Before the request goes out, nothing queued can answer it.
void DiscardQueued(int Handle) {
    char byte;
    for (int i = 0; i < 65536; ++i) {
        if (::recv(Handle, &byte, sizeof byte, MSG_DONTWAIT | MSG_TRUNC) < 0)
            return;
    }
}

// Receives until an answer matches, the time-out passes or the exchange is cancelled.
void AwaitAnswer(TICMPBlockSocket& Sock, const TIcmpRequestSignature& Sig, int Timeout, uint32_t Start,
                 TIcmpEchoResult& Result, bool Filtered) {
    const bool IPv6 = Sig.IPv6;
    const TIcmpPacketForm Form =
        Result.Kind == ISK_Datagram ? (IPv6 ? IPF_Dgram6 : IPF_Dgram4) : (IPv6 ? IPF_Raw6 : IPF_Raw4);
    for (;;) {
        const uint32_t Elapsed = TickDelta(Start, GetTick());
        if (Elapsed >= static_cast<uint32_t>(Timeout)) {
            Result.LastError = WSAETIMEDOUT;
            return;
        }
        const std::string Packet = Sock.RecvPacket(Timeout - static_cast<int>(Elapsed));
        if (Sock.LastError() != 0) {
            Result.LastError = Sock.LastError();
            return;
        }
        const auto Match =
            MatchIcmpReply(Form, reinterpret_cast<const uint8_t*>(Packet.data()), Packet.size(), Sig);
        if (!Match.Matched) {
            // Another exchange's answer: more are in flight now than when this one began.
            if (!Filtered && Result.Kind == ISK_Raw) {
                AttachAnswerFilter(Sock.Socket(), IPv6, Result.Id);
                Filtered = true;
            }
            continue;
        }
        Result.Answered = true;
        Result.RoundTripMs = static_cast<int>(TickDelta(Start, GetTick()));
        Result.Type = Match.Type;
        Result.Code = Match.Code;
        Result.Error = TPINGSend::TranslateReply(IPv6, Match.Type, Match.Code);
        Result.From = Sock.GetRemoteSinIP();
        Result.Reply = Packet;
        // An answer taken after the time-out counts as none.
        if (Result.RoundTripMs > Timeout)
            ForgetAnswer(Result);
        return;
    }
}

// Puts the checksum in (the kernel does it on datagram sockets and for raw IPv6 only with the
// pseudo-header) and sends the request whole.
bool SendRequest(TICMPBlockSocket& Sock, const TIcmpEchoParams& Params, std::string& Request,
                 TIcmpEchoResult& Result) {
    const bool IPv6 = SinFamily(Params.Target) == AF_INET6;
    if (IPv6 && Result.Kind == ISK_Raw) {
        std::array<uint8_t, 16> Remote{};
        std::memcpy(Remote.data(), &Params.Target.sin6.sin6_addr, 16);
        std::array<uint8_t, 16> Local{};
        if (UsableSource(Params.Source, AF_INET6))
            ::inet_pton(AF_INET6, Params.Source.c_str(), Local.data());
        else
            Local = RouteSource6(Params.Target.sin6, Sock.LocalSin());
        PutChecksum(Request, TPINGSend::Checksum6(Request, Remote, Local));
    } else if (!IPv6) {
        PutChecksum(Request, TPINGSend::Checksum(Request));
    }
    const int Sent = Sock.SendBuffer(Request.data(), static_cast<int>(Request.size()));
    if (Sock.LastError() != 0 || Sent != static_cast<int>(Request.size())) {
        Result.LastError = Sock.LastError() != 0 ? Sock.LastError() : WSAEMSGSIZE;
        return false;
    }
    return true;
}

// The socket for the exchange: bound to the source when one is given, the target as its peer.
bool OpenExchangeSocket(TICMPBlockSocket& Sock, const TIcmpEchoParams& Params, TIcmpEchoResult& Result) {
    const int Family = SinFamily(Params.Target);
    Sock.CancelSignal = Params.Cancel;
    Sock.EchoAnswersOnly = true;
    Sock.Family = Family == AF_INET6 ? SF_IP6 : SF_IP4;
    Sock.SetTTL(std::clamp(Params.TTL, 1, 255));
    if (!Sock.OpenFor(Family)) {
        Result.LastError = Sock.LastError();
        return false;
    }
    Result.Kind = KindOf(Sock);
    if (Result.Kind == ISK_Raw)
        Sock.SetSizeRecvBuffer(RawReceiveBufferSize);
    if (UsableSource(Params.Source, Family))
        Sock.Bind(Params.Source, "0");
    if (Sock.LastError() == 0)
        Sock.Connect(GetSinIP(Params.Target), "0");
    Result.LastError = Sock.LastError();
    return Result.LastError == 0;
}

// Receive space of the shared socket: a burst of answers of every exchange in flight.
constexpr int SharedReceiveBufferSize = 4 << 20;
// Packets read by one turn of the reader before it hands them out under the lock.
constexpr int ReadBatch = 64;

// Raw echoes share one socket per family while any is in flight. A raw ICMP socket takes a copy of
// every ICMP packet the host receives, so a socket per exchange costs the kernel one copy (or one
// filter run) per answer per exchange in flight, which grows with the square of the hosts at once.
// The shared socket reads each answer once: one waiting exchange at a time reads it and hands every
// answer to the exchange whose identifier it carries; the others sleep until handed their answer or
// the reading. The socket is closed when the last exchange leaves, so none outlives a stop.
class TSharedRawEcho {
public:
    struct TWaiter {
        uint16_t Id = 0;
        TIcmpRequestSignature Sig;
        bool Armed = false;
        bool Delivered = false;
        // Wakes this exchange while another one reads (made when it first sleeps).
        int Wake = -1;
        std::string Packet;
        TVarSin From{};
        uint32_t At = 0;
    };

    explicit TSharedRawEcho(int Family)
        : FFamily(Family), FSpace(static_cast<std::size_t>(MaxPacketSize) + 100) {}

    // Joins W with an identifier no other member holds; the first member opens the socket. Returns 0
    // or the socket layer's error of the open.
    int Join(TWaiter& W) {
        std::lock_guard<std::mutex> Guard(FLock);
        if (!FSock) {
            auto Sock = std::make_unique<TICMPBlockSocket>();
            Sock->IcmpKind = IK_Raw;
            if (const int Error = OpenSharedEchoSocket(*Sock, FFamily); Error != 0)
                return Error;
            FSock = std::move(Sock);
        }
        ++FMembers;
        W.Id = NextIcmpId();
        while (FWaiting.count(W.Id) != 0)
            W.Id = NextIcmpId();
        FWaiting.emplace(W.Id, &W);
        return 0;
    }

    // From now on answers that match Sig are handed to W (the request is about to go out).
    void Arm(TWaiter& W, const TIcmpRequestSignature& Sig) {
        std::lock_guard<std::mutex> Guard(FLock);
        W.Sig = Sig;
        W.Armed = true;
    }

    int Socket() const { return FSock->Socket(); }

    // Waits until W's answer is handed over (0), Timeout ms after Start pass (WSAETIMEDOUT) or Cancel
    // is raised (WSAECONNABORTED).
    int Await(TWaiter& W, uint32_t Start, int Timeout, const TNetCancel* Cancel) {
        std::unique_lock<std::mutex> Lock(FLock);
        bool Reader = false;
        int Outcome = 0;
        for (;;) {
            if (W.Delivered)
                break;
            if (Cancel && Cancel->Raised()) {
                Outcome = WSAECONNABORTED;
                break;
            }
            const uint32_t Elapsed = TickDelta(Start, GetTick());
            if (Elapsed >= static_cast<uint32_t>(Timeout)) {
                Outcome = WSAETIMEDOUT;
                break;
            }
            if (!Reader && !FReading)
                FReading = Reader = true;
            if (!Reader && W.Wake < 0)
                W.Wake = TakeWake();
            const int Watched = Reader ? FSock->Socket() : W.Wake;
            // Without a wake descriptor (none left) a sleeper looks again every few milliseconds.
            const int Left = Timeout - static_cast<int>(Elapsed);
            const int Wait = Watched < 0 ? std::min(Left, 5) : Left;
            Lock.unlock();
            pollfd Fds[2] = {{Watched, POLLIN, 0}, {Cancel ? Cancel->Handle() : -1, POLLIN, 0}};
            ::poll(Fds, 2, Wait);
            if (Reader) {
                ReadAvailable();
            } else if (Fds[0].revents & POLLIN) {
                uint64_t Count;
                [[maybe_unused]] const ssize_t N = ::read(W.Wake, &Count, sizeof Count);
            }
            Lock.lock();
            if (Reader)
                HandOut();
        }
        Forget(W);
        if (Reader) {
            FReading = false;
            // Someone still waiting takes the reading over.
            if (!FWaiting.empty())
                Signal(*FWaiting.begin()->second);
        }
        return Outcome;
    }

    // W is done (after Await, or when its request could not be sent); the last member closes all.
    void Leave(TWaiter& W) {
        std::lock_guard<std::mutex> Guard(FLock);
        Forget(W);
        if (W.Wake >= 0) {
            uint64_t Count;
            [[maybe_unused]] const ssize_t N = ::read(W.Wake, &Count, sizeof Count);
            FSpareWakes.push_back(W.Wake);
            W.Wake = -1;
        }
        if (--FMembers > 0)
            return;
        FSock.reset();
        for (const int Fd : FSpareWakes)
            ::close(Fd);
        FSpareWakes.clear();
    }

private:
    struct TReceived {
        std::string Packet;
        TVarSin From{};
        uint32_t At = 0;
    };

    // W no longer waits; its identifier may be another member's by now.
    void Forget(const TWaiter& W) {
        const auto It = FWaiting.find(W.Id);
        if (It != FWaiting.end() && It->second == &W)
            FWaiting.erase(It);
    }

    int TakeWake() {
        if (FSpareWakes.empty())
            return ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        const int Fd = FSpareWakes.back();
        FSpareWakes.pop_back();
        return Fd;
    }

    static void Signal(const TWaiter& W) {
        if (W.Wake < 0)
            return; // not asleep: it looks at the reading before it sleeps
        const uint64_t One = 1;
        [[maybe_unused]] const ssize_t N = ::write(W.Wake, &One, sizeof One);
    }

    // The reader alone: takes what the socket holds now, without waiting.
    void ReadAvailable() {
        FBatch.clear();
        for (int I = 0; I < ReadBatch; ++I) {
            TReceived R;
            socklen_t Length = sizeof R.From;
            const ssize_t N =
                ::recvfrom(FSock->Socket(), FSpace.data(), FSpace.size(), MSG_DONTWAIT, &R.From.sa, &Length);
            if (N < 0)
                return;
            R.Packet.assign(FSpace.data(), static_cast<std::size_t>(N));
            R.At = GetTick();
            FBatch.push_back(std::move(R));
        }
    }

    // Under the lock: every packet read goes to the armed exchange it answers, or nowhere.
    void HandOut() {
        const bool IPv6 = FFamily == AF_INET6;
        const TIcmpPacketForm Form = IPv6 ? IPF_Raw6 : IPF_Raw4;
        for (TReceived& R : FBatch) {
            const auto* Data = reinterpret_cast<const uint8_t*>(R.Packet.data());
            auto Answers = [&](const TWaiter& W) {
                return W.Armed && !W.Delivered && MatchIcmpReply(Form, Data, R.Packet.size(), W.Sig).Matched;
            };
            TWaiter* Owner = nullptr;
            const int Id = IcmpAnsweredIdentifier(IPv6, Data, R.Packet.size());
            if (Id >= 0) {
                const auto It = FWaiting.find(static_cast<uint16_t>(Id));
                if (It != FWaiting.end() && Answers(*It->second))
                    Owner = It->second;
            } else {
                // A quote this reader cannot take apart (extension headers): ask every exchange.
                for (const auto& [Key, W] : FWaiting) {
                    if (Answers(*W)) {
                        Owner = W;
                        break;
                    }
                }
            }
            if (!Owner)
                continue;
            // Only members still waiting stay listed, so the reading is only ever handed to one.
            Forget(*Owner);
            Owner->Packet = std::move(R.Packet);
            Owner->From = R.From;
            Owner->At = R.At;
            Owner->Delivered = true;
            Signal(*Owner);
        }
        FBatch.clear();
    }

    const int FFamily;
    std::mutex FLock;
    std::unique_ptr<TICMPBlockSocket> FSock;
    int FMembers = 0;
    bool FReading = false;
    // Members still waiting for their answer (none handed one yet), by identifier.
    std::unordered_map<uint16_t, TWaiter*> FWaiting;
    std::vector<int> FSpareWakes;
    // The reader's own (one reader at a time).
    std::vector<char> FSpace;
    std::vector<TReceived> FBatch;
};

// The shared socket of the calling thread's network namespace: a socket belongs to the namespace
// it was made in, and threads of one process may each live in another.
TSharedRawEcho& SharedRawEcho(int Family) {
    struct stat Ns {};
    if (::stat("/proc/thread-self/ns/net", &Ns) != 0)
        Ns.st_ino = 0;
    static std::mutex Lock;
    // Never destroyed: an exchange may still leave while the process ends. One entry per family and
    // namespace ever used; a namespace's number is not reused while its socket is open.
    static auto* const Shared = new std::map<std::pair<int, ino_t>, std::unique_ptr<TSharedRawEcho>>();
    std::lock_guard<std::mutex> Guard(Lock);
    auto& Entry = (*Shared)[{Family, Ns.st_ino}];
    if (!Entry)
        Entry = std::make_unique<TSharedRawEcho>(Family);
    return *Entry;
}

// An echo over the shared raw socket: the request as IcmpEchoExchange builds it.
void SharedRawExchange(const TIcmpEchoParams& Params, TIcmpEchoResult& Result) {
    const int Family = SinFamily(Params.Target);
    const bool IPv6 = Family == AF_INET6;
    TSharedRawEcho& Shared = SharedRawEcho(Family);
    TSharedRawEcho::TWaiter W;
    Result.LastError = Shared.Join(W);
    if (Result.LastError != 0)
        return;
    Result.Kind = ISK_Raw;
    Result.Id = W.Id;
    const std::string Request =
        IcmpEchoRequest(IPv6, Params.PacketSize, W.Id, Params.Seq, Params.PayloadFill);
    Shared.Arm(W, Signature(Request, IPv6));
    const uint32_t Start = GetTick();
    const ssize_t Sent = ::sendto(Shared.Socket(), Request.data(), Request.size(), MSG_NOSIGNAL,
                                  &Params.Target.sa, SizeOfVarSin(Params.Target));
    if (Sent != static_cast<ssize_t>(Request.size())) {
        Result.LastError = Sent < 0 ? SocketErrorFromErrno(errno) : WSAEMSGSIZE;
        Shared.Leave(W);
        return;
    }
    Result.Sent = true;
    Result.Request = Request;
    Result.LastError = Shared.Await(W, Start, Params.TimeoutMs, Params.Cancel);
    Shared.Leave(W);
    if (Result.LastError != 0)
        return;
    Result.Answered = true;
    Result.RoundTripMs = static_cast<int>(TickDelta(Start, W.At));
    const auto* Data = reinterpret_cast<const uint8_t*>(W.Packet.data());
    const auto Match = MatchIcmpReply(IPv6 ? IPF_Raw6 : IPF_Raw4, Data, W.Packet.size(), W.Sig);
    Result.Type = Match.Type;
    Result.Code = Match.Code;
    Result.Error = TPINGSend::TranslateReply(IPv6, Match.Type, Match.Code);
    Result.From = GetSinIP(W.From);
    Result.Reply = std::move(W.Packet);
    if (Result.RoundTripMs > Params.TimeoutMs)
        ForgetAnswer(Result);
}

} // namespace

// A target must be a real address: the any address would be answered by this machine itself.
bool IcmpUsableTarget(const TVarSin& Sin) {
    switch (SinFamily(Sin)) {
    case AF_INET:
        return Sin.sin.sin_addr.s_addr != htonl(INADDR_ANY);
    case AF_INET6:
        return !IN6_IS_ADDR_UNSPECIFIED(&Sin.sin6.sin6_addr);
    default:
        return false;
    }
}

std::string ICMPErrorText(TICMPError Error) {
    switch (Error) {
    case IE_NoError:
        return {};
    case IE_TTLExceed:
        return "TTL Exceeded";
    case IE_UnreachOther:
        return "Unknown unreachable";
    case IE_UnreachRoute:
        return "No route to destination";
    case IE_UnreachAdmin:
        return "Administratively prohibited";
    case IE_UnreachAddr:
        return "Address unreachable";
    case IE_UnreachPort:
        return "Port unreachable";
    case IE_Other:
        break;
    }
    return "Unknown error";
}

TIcmpSocketKind IcmpSocketKindFor(int Family) {
    TICMPBlockSocket Sock;
    return Sock.OpenFor(Family) ? KindOf(Sock) : ISK_None;
}

bool IcmpEchoAvailable() {
    return IcmpSocketKindFor(AF_INET) != ISK_None || IcmpSocketKindFor(AF_INET6) != ISK_None;
}

TIcmpReplyMatch MatchIcmpReply(TIcmpPacketForm Form, const uint8_t* Data, std::size_t Length,
                               const TIcmpRequestSignature& Request) {
    if (!Data)
        return {};
    switch (Form) {
    case IPF_Raw4: {
        if (Request.IPv6 || Length < 20)
            return {};
        const std::size_t HeaderLength = static_cast<std::size_t>(Data[0] & 0x0F) * 4;
        if (HeaderLength < 20 || HeaderLength > Length)
            return {};
        return MatchMessage(Data + HeaderLength, Length - HeaderLength, Request, false);
    }
    case IPF_Raw6:
        if (!Request.IPv6)
            return {};
        return MatchMessage(Data, Length, Request, true);
    case IPF_Dgram4:
    case IPF_Dgram6:
        if (Request.IPv6 != (Form == IPF_Dgram6))
            return {};
        return MatchMessage(Data, Length, Request, true);
    }
    return {};
}

TIcmpReplyMatch MatchIcmpQueuedError(uint8_t Type, uint8_t Code, const uint8_t* Payload, std::size_t Length,
                                     const TIcmpRequestSignature& Request) {
    TIcmpReplyMatch Match;
    if (!Payload || Length < 8 || Type == EchoType(Request.IPv6) || Type == EchoReplyType(Request.IPv6) ||
        Type == RedirectType(Request.IPv6))
        return Match;
    // The payload starts with the quoted echo header: same type, identifier and sequence as sent.
    if (Payload[0] != Request.Bytes[0] || std::memcmp(Payload + 4, Request.Bytes.data() + 4, 4) != 0)
        return Match;
    Match.Matched = true;
    Match.Type = Type;
    Match.Code = Code;
    return Match;
}

TIcmpAnsweredEcho IcmpAnsweredEcho(TIcmpPacketForm Form, const uint8_t* Data, std::size_t Length) {
    if (!Data)
        return {};
    const bool IPv6 = Form == IPF_Raw6 || Form == IPF_Dgram6;
    // Datagram sockets hand out errors with the echo header quoted right behind the error's own.
    const bool Datagram = Form == IPF_Dgram4 || Form == IPF_Dgram6;
    std::size_t At = 0;
    if (Form == IPF_Raw4) {
        if (Length < 20)
            return {};
        At = static_cast<std::size_t>(Data[0] & 0x0F) * 4;
        if (At < 20)
            return {};
    }
    if (At + 8 > Length)
        return {};
    const uint8_t Type = Data[At];
    if (Type != EchoReplyType(IPv6)) {
        if (!IsErrorAnswer(IPv6, Type))
            return {};
        // The error's own header, then the quoted IP header, then the quoted echo header.
        At += 8;
        if (!Datagram) {
            if (At + (IPv6 ? 40u : 20u) > Length)
                return {};
            if (IPv6) {
                if (Data[At + 6] != IPPROTO_ICMPV6)
                    return {};
                At += 40;
            } else {
                const std::size_t Quoted = static_cast<std::size_t>(Data[At] & 0x0F) * 4;
                if (Quoted < 20)
                    return {};
                At += Quoted;
            }
        }
        if (At + 8 > Length || Data[At] != EchoType(IPv6))
            return {};
    }
    TIcmpAnsweredEcho Echo;
    Echo.Found = true;
    Echo.Id = static_cast<uint16_t>(Data[At + 4] | (Data[At + 5] << 8));
    Echo.Seq = static_cast<uint16_t>(Data[At + 6] | (Data[At + 7] << 8));
    return Echo;
}

int IcmpAnsweredIdentifier(bool IPv6, const uint8_t* Data, std::size_t Length) {
    const TIcmpAnsweredEcho Echo = IcmpAnsweredEcho(IPv6 ? IPF_Raw6 : IPF_Raw4, Data, Length);
    return Echo.Found ? Echo.Id : -1;
}

std::string IcmpEchoRequest(bool IPv6, int PacketSize, uint16_t Id, uint16_t Seq, char Fill) {
    std::string Request = BuildRequest(IPv6, PacketSize, Id, Seq, Fill);
    if (!IPv6)
        PutChecksum(Request, TPINGSend::Checksum(Request));
    return Request;
}

TIcmpRequestSignature IcmpRequestSignature(const std::string& Request, bool IPv6) {
    return Signature(Request, IPv6);
}

int OpenSharedEchoSocket(TICMPBlockSocket& Sock, int Family) {
    Sock.EchoAnswersOnly = true;
    Sock.Family = Family == AF_INET6 ? SF_IP6 : SF_IP4;
    Sock.SetTTL(SharedEchoTTL);
    if (!Sock.OpenFor(Family))
        return Sock.LastError() != 0 ? Sock.LastError() : WSAEACCES;
    const int Size = SharedReceiveBufferSize;
    if (::setsockopt(Sock.Socket(), SOL_SOCKET, SO_RCVBUFFORCE, &Size, sizeof Size) != 0)
        ::setsockopt(Sock.Socket(), SOL_SOCKET, SO_RCVBUF, &Size, sizeof Size);
    return 0;
}

uint16_t NextIcmpId() {
    static std::atomic<uint32_t> Next{std::random_device{}() % 32767};
    return static_cast<uint16_t>(Next.fetch_add(1, std::memory_order_relaxed) % 32767);
}

TIcmpEchoResult IcmpEchoExchange(const TIcmpEchoParams& Params) {
    TIcmpEchoResult Result;
    const int Family = SinFamily(Params.Target);
    if (Family != AF_INET && Family != AF_INET6) {
        Result.LastError = WSAEAFNOSUPPORT;
        return Result;
    }
    if (!IcmpUsableTarget(Params.Target)) {
        Result.LastError = WSAEDESTADDRREQ;
        return Result;
    }
    if (Params.Cancel && Params.Cancel->Raised()) {
        Result.LastError = WSAECONNABORTED;
        return Result;
    }
    // A wait of no time (or a negative one) cannot see an answer: fail at once, never wait without end.
    if (Params.TimeoutMs <= 0) {
        Result.LastError = WSAETIMEDOUT;
        return Result;
    }
    // The common echo (the default TTL from the address the system chooses) goes through the shared
    // raw socket where datagram echo sockets are not permitted.
    const bool MayShare = Params.TTL == SharedEchoTTL && !UsableSource(Params.Source, Family);
    TICMPBlockSocket Sock;
    if (MayShare)
        Sock.IcmpKind = IK_Datagram;
    if (!OpenExchangeSocket(Sock, Params, Result)) {
        // Refused a datagram socket (no socket made): the raw kind, shared.
        if (MayShare && Result.Kind == ISK_None)
            SharedRawExchange(Params, Result);
        return Result;
    }
    const bool IPv6 = Family == AF_INET6;
    Result.Id = NextIcmpId();
    // Counted while the raw socket is open: it sees the answers of every exchange counted beside it.
    struct TRawCount {
        bool Counted;
        int Before;
        explicit TRawCount(bool Raw) : Counted(Raw), Before(Raw ? RawExchangesInFlight.fetch_add(1) : 0) {}
        ~TRawCount() {
            if (Counted)
                RawExchangesInFlight.fetch_sub(1);
        }
    } rawCount(Result.Kind == ISK_Raw);
    const bool Filtered = rawCount.Before > 0;
    if (Filtered) {
        AttachAnswerFilter(Sock.Socket(), IPv6, Result.Id);
        DiscardQueued(Sock.Socket());
    }
    std::string Request = BuildRequest(IPv6, Params.PacketSize, Result.Id, Params.Seq, Params.PayloadFill);
    if (!SendRequest(Sock, Params, Request, Result))
        return Result;
    const uint32_t Start = GetTick();
    Result.Sent = true;
    if (Result.Kind == ISK_Datagram) {
        // The kernel puts the socket's local port in as identifier.
        const uint16_t Port = static_cast<uint16_t>(Sock.DatagramEchoId());
        Request[4] = static_cast<char>(Port >> 8);
        Request[5] = static_cast<char>(Port & 0xFF);
        Result.Id =
            static_cast<uint16_t>(static_cast<uint8_t>(Request[4]) | (static_cast<uint8_t>(Request[5]) << 8));
    }
    Result.Request = Request;
    AwaitAnswer(Sock, Signature(Request, IPv6), Params.TimeoutMs, Start, Result, Filtered);
    return Result;
}

uint16_t TPINGSend::Checksum(const std::string& Data) {
    uint32_t Sum = 0;
    const std::size_t Words = Data.size() / 2;
    for (std::size_t I = 0; I < Words; ++I) {
        uint16_t Word;
        std::memcpy(&Word, Data.data() + 2 * I, 2);
        Sum += Word;
    }
    if (Data.size() % 2)
        Sum += static_cast<uint8_t>(Data.back());
    Sum = (Sum >> 16) + (Sum & 0xFFFF);
    Sum += Sum >> 16;
    return static_cast<uint16_t>(~Sum & 0xFFFF);
}

uint16_t TPINGSend::Checksum6(const std::string& Data, const std::array<uint8_t, 16>& Remote,
                              const std::array<uint8_t, 16>& Local) {
    std::string Pseudo(40, '\0');
    std::memcpy(Pseudo.data(), Remote.data(), 16);
    std::memcpy(Pseudo.data() + 16, Local.data(), 16);
    const uint32_t Length = static_cast<uint32_t>(Data.size());
    for (int I = 0; I < 4; ++I)
        Pseudo[32 + I] = static_cast<char>((Length >> (8 * (3 - I))) & 0xFF);
    Pseudo[39] = 58;
    return Checksum(Pseudo + Data);
}

TICMPError TPINGSend::TranslateReply(bool IPv6, uint8_t Type, uint8_t Code) {
    if (IPv6) {
        switch (Type) {
        case 129:
            return IE_NoError;
        case 3:
            return IE_TTLExceed;
        case 1:
            switch (Code) {
            case 0:
                return IE_UnreachRoute;
            case 1:
                return IE_UnreachAdmin;
            case 3:
                return IE_UnreachAddr;
            case 4:
                return IE_UnreachPort;
            default:
                return IE_UnreachOther;
            }
        default:
            return IE_Other;
        }
    }
    switch (Type) {
    case 0:
        return IE_NoError;
    case 11:
        return IE_TTLExceed;
    case 3:
        switch (Code) {
        case 0:
            return IE_UnreachRoute;
        case 1:
            return IE_UnreachAddr;
        case 3:
            return IE_UnreachPort;
        case 13:
            return IE_UnreachAdmin;
        default:
            return IE_UnreachOther;
        }
    default:
        return IE_Other;
    }
}

TICMPError TPINGSend::TranslateStatus(uint32_t Status) {
    switch (Status) {
    case 0:
    case 11000:
        return IE_NoError;
    case 11002:
        return IE_UnreachRoute;
    case 11003:
        return IE_UnreachAddr;
    case 11004:
        return IE_UnreachAdmin;
    case 11005:
        return IE_UnreachPort;
    case 11013:
        return IE_TTLExceed;
    default:
        return IE_Other;
    }
}

TPINGSend::TPINGSend() {
    Cancel = std::make_shared<TNetCancel>();
    SetReplyError(IE_Other);
}

TPINGSend::~TPINGSend() = default;

void TPINGSend::Abort() {
    if (Cancel)
        Cancel->Raise();
}

void TPINGSend::SetReplyError(TICMPError Error) {
    FReplyError = Error;
    FReplyErrorDesc = ICMPErrorText(Error);
}

bool TPINGSend::IsTargetIP6(const std::string& Host) {
    int Family = AF_UNSPEC;
    if (IsIP(Host))
        Family = AF_INET;
    else if (IsIP6(Host))
        Family = AF_INET6;
    FResolveError = ResolveSockAddrWithin(FSin, Host, "0", true, SOCK_DGRAM, IPPROTO_UDP, Family, Timeout,
                                          {Cancel ? Cancel->Handle() : -1});
    if (FResolveError != 0)
        ClearSin(FSin);
    return IsSinIP6(FSin);
}

bool TPINGSend::Ping(const std::string& Host) {
    FPingTime = -1;
    FReplyFrom.clear();
    FReplyType = FReplyCode = 0;
    SetReplyError(IE_Other);
    FSocketKind = ISK_None;
    FLastError = 0;
    FBuffer.assign(static_cast<std::size_t>(std::clamp(PacketSize, 0, MaxPacketSize)) + EchoHeaderSize, '7');
    // The time-out covers resolving the name as well.
    const uint32_t Begun = GetTick();
    const bool IPv6 = IsTargetIP6(Host);
    FIcmpEcho = EchoType(IPv6);
    FIcmpEchoReply = EchoReplyType(IPv6);
    FIcmpUnreach = IPv6 ? 1 : 3;
    // A name that does not resolve is never pinged (the cleared address would mean this machine).
    if (!IcmpUsableTarget(FSin)) {
        const bool Interrupted = FResolveError == WSAETIMEDOUT || FResolveError == WSAECONNABORTED;
        FLastError = Interrupted ? FResolveError : WSAHOST_NOT_FOUND;
        return false;
    }
    TIcmpEchoParams Params;
    Params.Target = FSin;
    Params.Source = IPInterface;
    Params.TTL = TTL;
    Params.TimeoutMs = Timeout - static_cast<int>(std::min<uint32_t>(TickDelta(Begun, GetTick()), 1u << 30));
    Params.PacketSize = PacketSize;
    Params.Seq = static_cast<uint16_t>(FSeq + 1);
    Params.Cancel = Cancel.get();
    const TIcmpEchoResult Result = ::IcmpEchoExchange(Params);
    FSocketKind = Result.Kind;
    FLastError = Result.LastError;
    if (!Result.Sent)
        return false;
    ++FSeq;
    FId = Result.Id;
    FBuffer = Result.Answered ? Result.Reply : Result.Request;
    if (!Result.Answered)
        return false;
    FPingTime = Result.RoundTripMs;
    FReplyFrom = Result.From;
    FReplyType = Result.Type;
    FReplyCode = Result.Code;
    SetReplyError(Result.Error);
    return true;
}
