// ICMP echo client: request building, checksums, matching of answers, and the echo exchange over
// datagram ICMP sockets (answers in the receive queue, ICMP errors in the socket's error queue) or raw
// ICMP sockets (every ICMP packet of the host; errors matched by the request they quote).
// The exchange uses the system sockets directly rather than TICMPBlockSocket: it needs the error
// queue's extended entries (ICMP type, code and the answering router) and one wait over both queues.
#include "net/pingsend.h"

#include "net/netip.h"
#include "net/netutil.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <random>

#include <arpa/inet.h>
#include <linux/errqueue.h>
#include <netdb.h>
#include <netinet/icmp6.h>
#include <netinet/in.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <unistd.h>

namespace {

constexpr std::size_t EchoHeaderSize = 12;
constexpr int MaxPacketSize = 65500;
constexpr int RawReceiveBufferSize = 61440;
constexpr std::size_t ReceiveLimit = 65536;
// ICMP_FILTER of <linux/icmp.h>, whose structures clash with <netinet/ip_icmp.h>.
constexpr int RawIcmpFilter = 1;

// A socket descriptor closed when it goes out of scope.
class TFd {
public:
    explicit TFd(int Value = -1) : Value(Value) {}
    ~TFd() {
        if (Value >= 0)
            ::close(Value);
    }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    int Get() const { return Value; }
    bool Valid() const { return Value >= 0; }

private:
    int Value;
};

socklen_t AddressLength(const sockaddr_storage& Address) {
    return Address.ss_family == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
}

int IcmpProtocol(int Family) {
    return Family == AF_INET6 ? static_cast<int>(IPPROTO_ICMPV6) : static_cast<int>(IPPROTO_ICMP);
}

uint8_t EchoType(bool IPv6) {
    return IPv6 ? 128 : 8;
}
uint8_t EchoReplyType(bool IPv6) {
    return IPv6 ? 129 : 0;
}
uint8_t RedirectType(bool IPv6) {
    return IPv6 ? 137 : 5;
}

std::string AddressText(const sockaddr* Address, socklen_t Length) {
    char Host[NI_MAXHOST] = {};
    if (::getnameinfo(Address, Length, Host, sizeof Host, nullptr, 0, NI_NUMERICHOST) != 0)
        return {};
    return Host;
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

// A datagram ICMP socket when the namespace's ping_group_range admits the caller, else a raw one.
int OpenIcmpSocket(int Family, TIcmpSocketKind& Kind, int& Error) {
    Kind = ISK_None;
    int Fd = ::socket(Family, SOCK_DGRAM | SOCK_CLOEXEC, IcmpProtocol(Family));
    if (Fd >= 0) {
        Kind = ISK_Datagram;
        return Fd;
    }
    Fd = ::socket(Family, SOCK_RAW | SOCK_CLOEXEC, IcmpProtocol(Family));
    if (Fd >= 0) {
        Kind = ISK_Raw;
        return Fd;
    }
    Error = SocketErrorFromErrno(errno);
    return -1;
}

bool SetIntOption(int Fd, int Level, int Name, int Value) {
    return ::setsockopt(Fd, Level, Name, &Value, sizeof Value) == 0;
}

// A raw socket gets every ICMP packet of the host. Let the kernel drop those that can never answer an
// echo (requests, our own looped-back one included, router and neighbour messages) before they wake us;
// what passes is still matched in full. Without the filter the matching alone skips them.
void PassOnlyAnswers(int Fd, bool IPv6) {
    if (IPv6) {
        icmp6_filter Filter;
        ICMP6_FILTER_SETBLOCKALL(&Filter);
        for (int Type : {ICMP6_DST_UNREACH, ICMP6_PACKET_TOO_BIG, ICMP6_TIME_EXCEEDED, ICMP6_PARAM_PROB,
                         ICMP6_ECHO_REPLY})
            ICMP6_FILTER_SETPASS(Type, &Filter);
        ::setsockopt(Fd, IPPROTO_ICMPV6, ICMP6_FILTER, &Filter, sizeof Filter);
        return;
    }
    // The IPv4 filter is a mask of the types to drop.
    uint32_t Drop = ~0u;
    for (int Type :
         {ICMP_ECHOREPLY, ICMP_DEST_UNREACH, ICMP_SOURCE_QUENCH, ICMP_TIME_EXCEEDED, ICMP_PARAMETERPROB})
        Drop &= ~(1u << Type);
    ::setsockopt(Fd, SOL_RAW, RawIcmpFilter, &Drop, sizeof Drop);
}

bool ConfigureSocket(int Fd, int Family, TIcmpSocketKind Kind, int TTL) {
    const bool IPv6 = Family == AF_INET6;
    const int Hops = std::clamp(TTL, 1, 255);
    if (IPv6 ? !SetIntOption(Fd, IPPROTO_IPV6, IPV6_UNICAST_HOPS, Hops)
             : !SetIntOption(Fd, IPPROTO_IP, IP_TTL, Hops))
        return false;
    if (Kind == ISK_Datagram) {
        // ICMP errors about our requests reach a datagram socket only through its error queue.
        return IPv6 ? SetIntOption(Fd, IPPROTO_IPV6, IPV6_RECVERR, 1)
                    : SetIntOption(Fd, IPPROTO_IP, IP_RECVERR, 1);
    }
    SetIntOption(Fd, SOL_SOCKET, SO_RCVBUF, RawReceiveBufferSize);
    PassOnlyAnswers(Fd, IPv6);
    return true;
}

// A target must be a real address: the any address would be answered by this machine itself.
bool UsableTarget(const TVarSin& Sin) {
    switch (SinFamily(Sin)) {
    case AF_INET:
        return Sin.sin.sin_addr.s_addr != htonl(INADDR_ANY);
    case AF_INET6:
        return !IN6_IS_ADDR_UNSPECIFIED(&Sin.sin6.sin6_addr);
    default:
        return false;
    }
}

// Parses a numeric source address of the target's family; false for none or an unspecified one.
bool SourceAddress(const std::string& Source, int Family, sockaddr_storage& Out) {
    std::memset(&Out, 0, sizeof Out);
    if (Source.empty())
        return false;
    if (Family == AF_INET) {
        auto* Sin = reinterpret_cast<sockaddr_in*>(&Out);
        if (::inet_pton(AF_INET, Source.c_str(), &Sin->sin_addr) != 1 || Sin->sin_addr.s_addr == INADDR_ANY)
            return false;
        Sin->sin_family = AF_INET;
        return true;
    }
    auto* Sin6 = reinterpret_cast<sockaddr_in6*>(&Out);
    if (::inet_pton(AF_INET6, Source.c_str(), &Sin6->sin6_addr) != 1 ||
        IN6_IS_ADDR_UNSPECIFIED(&Sin6->sin6_addr))
        return false;
    Sin6->sin6_family = AF_INET6;
    return true;
}

// The source address the system would use towards Target (a connected UDP socket sends nothing).
std::array<uint8_t, 16> RouteSource6(const sockaddr_in6& Target, int IcmpFd) {
    std::array<uint8_t, 16> Local{};
    sockaddr_in6 Probe = Target;
    Probe.sin6_port = htons(9);
    TFd Udp(::socket(AF_INET6, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP));
    sockaddr_in6 Name{};
    socklen_t Length = sizeof Name;
    if (Udp.Valid() && ::connect(Udp.Get(), reinterpret_cast<const sockaddr*>(&Probe), sizeof Probe) == 0 &&
        ::getsockname(Udp.Get(), reinterpret_cast<sockaddr*>(&Name), &Length) == 0) {
        std::memcpy(Local.data(), &Name.sin6_addr, 16);
        return Local;
    }
    Length = sizeof Name;
    if (::getsockname(IcmpFd, reinterpret_cast<sockaddr*>(&Name), &Length) == 0 &&
        Name.sin6_family == AF_INET6)
        std::memcpy(Local.data(), &Name.sin6_addr, 16);
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

// Waits until Fd has something (data or a queued error), the token is cancelled or the time is up.
// Returns the poll events of Fd, 0 on time-out, -1 when cancelled or on a wait error.
int WaitReadable(int Fd, int TimeoutMs, const TNetCancel* Cancel) {
    pollfd Fds[2] = {{Fd, POLLIN, 0}, {Cancel ? Cancel->Handle() : -1, POLLIN, 0}};
    // Without a wake descriptor the flag is looked at every 50 ms.
    const bool PollFlag = Cancel && Cancel->Handle() < 0;
    const int Slice = PollFlag ? std::min(TimeoutMs, 50) : TimeoutMs;
    int Ready = ::poll(Fds, 2, Slice);
    if (Cancel && Cancel->Raised())
        return -1;
    if (Ready < 0)
        return errno == EINTR ? 0 : -1;
    return Ready == 0 ? 0 : Fds[0].revents;
}

struct TExchange {
    const TIcmpEchoParams& Params;
    TIcmpEchoResult& Result;
    int Fd;
    bool IPv6;
    TIcmpRequestSignature Sig;
    // Receive space for one datagram, left uninitialised: filling 64 KiB per echo would cost more
    // than the echo itself on loopback.
    std::unique_ptr<char[]> Space = std::make_unique_for_overwrite<char[]>(ReceiveLimit);
};

void TakeAnswer(TExchange& X, const TIcmpReplyMatch& Match, uint32_t Start, std::string From) {
    X.Result.Answered = true;
    X.Result.RoundTripMs = static_cast<int>(TickDelta(Start, GetTick()));
    X.Result.Type = Match.Type;
    X.Result.Code = Match.Code;
    X.Result.Error = TPINGSend::TranslateReply(X.IPv6, Match.Type, Match.Code);
    X.Result.From = std::move(From);
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

// Reads one datagram; true when it answered the request.
bool ReadDatagram(TExchange& X, uint32_t Start) {
    sockaddr_storage From{};
    socklen_t FromLength = sizeof From;
    const ssize_t Got = ::recvfrom(X.Fd, X.Space.get(), ReceiveLimit, MSG_DONTWAIT,
                                   reinterpret_cast<sockaddr*>(&From), &FromLength);
    if (Got < 0)
        return false;
    const auto* Packet = reinterpret_cast<const uint8_t*>(X.Space.get());
    const std::size_t Length = static_cast<std::size_t>(Got);
    const TIcmpPacketForm Form =
        X.Result.Kind == ISK_Datagram ? (X.IPv6 ? IPF_Dgram6 : IPF_Dgram4) : (X.IPv6 ? IPF_Raw6 : IPF_Raw4);
    const auto Match = MatchIcmpReply(Form, Packet, Length, X.Sig);
    if (!Match.Matched)
        return false;
    TakeAnswer(X, Match, Start, AddressText(reinterpret_cast<sockaddr*>(&From), FromLength));
    X.Result.Reply.assign(X.Space.get(), Length);
    return true;
}

// Reads one entry of the error queue; true when it is an ICMP error about the request.
bool ReadQueuedError(TExchange& X, uint32_t Start) {
    alignas(cmsghdr) char Control[512];
    sockaddr_storage Name{};
    iovec Io{X.Space.get(), ReceiveLimit};
    msghdr Msg{};
    Msg.msg_name = &Name;
    Msg.msg_namelen = sizeof Name;
    Msg.msg_iov = &Io;
    Msg.msg_iovlen = 1;
    Msg.msg_control = Control;
    Msg.msg_controllen = sizeof Control;
    const ssize_t Got = ::recvmsg(X.Fd, &Msg, MSG_ERRQUEUE | MSG_DONTWAIT);
    if (Got < 0) {
        // A pending socket error without a queue entry would keep the descriptor ready: clear it.
        int Pending = 0;
        socklen_t Length = sizeof Pending;
        ::getsockopt(X.Fd, SOL_SOCKET, SO_ERROR, &Pending, &Length);
        return false;
    }
    const auto* Payload = reinterpret_cast<const uint8_t*>(X.Space.get());
    const std::size_t Length = static_cast<std::size_t>(Got);
    for (cmsghdr* C = CMSG_FIRSTHDR(&Msg); C; C = CMSG_NXTHDR(&Msg, C)) {
        const bool Ours = (C->cmsg_level == IPPROTO_IP && C->cmsg_type == IP_RECVERR) ||
                          (C->cmsg_level == IPPROTO_IPV6 && C->cmsg_type == IPV6_RECVERR);
        if (!Ours || C->cmsg_len < CMSG_LEN(sizeof(sock_extended_err)))
            continue;
        sock_extended_err Ee;
        std::memcpy(&Ee, CMSG_DATA(C), sizeof Ee);
        if (Ee.ee_origin != SO_EE_ORIGIN_ICMP && Ee.ee_origin != SO_EE_ORIGIN_ICMP6)
            continue;
        const auto Match = MatchIcmpQueuedError(Ee.ee_type, Ee.ee_code, Payload, Length, X.Sig);
        if (!Match.Matched)
            continue;
        const auto* Offender = SO_EE_OFFENDER(reinterpret_cast<sock_extended_err*>(CMSG_DATA(C)));
        sockaddr_storage OffenderAddress{};
        const std::size_t Room = C->cmsg_len - CMSG_LEN(sizeof Ee);
        std::memcpy(&OffenderAddress, Offender, std::min(Room, sizeof(sockaddr_in6)));
        TakeAnswer(
            X, Match, Start,
            AddressText(reinterpret_cast<sockaddr*>(&OffenderAddress), AddressLength(OffenderAddress)));
        X.Result.Reply.assign(X.Space.get(), Length);
        return true;
    }
    return false;
}

// Receives until an answer matches, the time-out passes or the token is cancelled.
void AwaitAnswer(TExchange& X, uint32_t Start) {
    const int Timeout = X.Params.TimeoutMs;
    for (;;) {
        const uint32_t Elapsed = TickDelta(Start, GetTick());
        if (Elapsed >= static_cast<uint32_t>(Timeout)) {
            X.Result.LastError = WSAETIMEDOUT;
            return;
        }
        const int Events = WaitReadable(X.Fd, Timeout - static_cast<int>(Elapsed), X.Params.Cancel);
        if (Events < 0) {
            X.Result.LastError = WSAECONNABORTED;
            return;
        }
        if (Events & POLLERR && ReadQueuedError(X, Start))
            return;
        if (Events & POLLIN && ReadDatagram(X, Start)) {
            // An answer taken after the time-out counts as none.
            if (X.Result.RoundTripMs > Timeout)
                ForgetAnswer(X.Result);
            return;
        }
    }
}

bool SendRequest(TExchange& X, std::string& Request) {
    const auto& Target = X.Params.Target;
    if (X.IPv6 && X.Result.Kind == ISK_Raw) {
        std::array<uint8_t, 16> Remote{};
        const sockaddr_in6& Sin6 = Target.sin6;
        std::memcpy(Remote.data(), &Sin6.sin6_addr, 16);
        sockaddr_storage Bound{};
        std::array<uint8_t, 16> Local{};
        if (SourceAddress(X.Params.Source, AF_INET6, Bound))
            std::memcpy(Local.data(), &reinterpret_cast<sockaddr_in6&>(Bound).sin6_addr, 16);
        else
            Local = RouteSource6(Sin6, X.Fd);
        PutChecksum(Request, TPINGSend::Checksum6(Request, Remote, Local));
    } else if (!X.IPv6) {
        PutChecksum(Request, TPINGSend::Checksum(Request));
    }
    const ssize_t Sent =
        ::sendto(X.Fd, Request.data(), Request.size(), MSG_NOSIGNAL, &Target.sa, SizeOfVarSin(Target));
    if (Sent < 0 || static_cast<std::size_t>(Sent) != Request.size()) {
        X.Result.LastError = SocketErrorFromErrno(Sent < 0 ? errno : EMSGSIZE);
        return false;
    }
    return true;
}

// On a datagram socket the kernel puts the socket's local port in as identifier.
void UseKernelIdentifier(TExchange& X, std::string& Request) {
    sockaddr_storage Name{};
    socklen_t Length = sizeof Name;
    if (::getsockname(X.Fd, reinterpret_cast<sockaddr*>(&Name), &Length) != 0)
        return;
    const in_port_t Port = X.IPv6 ? reinterpret_cast<sockaddr_in6&>(Name).sin6_port
                                  : reinterpret_cast<sockaddr_in&>(Name).sin_port;
    std::memcpy(&Request[4], &Port, 2);
    X.Result.Id =
        static_cast<uint16_t>(static_cast<uint8_t>(Request[4]) | (static_cast<uint8_t>(Request[5]) << 8));
}

} // namespace

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
    TIcmpSocketKind Kind = ISK_None;
    int Error = 0;
    TFd Fd(OpenIcmpSocket(Family, Kind, Error));
    return Kind;
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
    if (!UsableTarget(Params.Target)) {
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
    TFd Fd(OpenIcmpSocket(Family, Result.Kind, Result.LastError));
    if (!Fd.Valid())
        return Result;
    const bool IPv6 = Family == AF_INET6;
    if (!ConfigureSocket(Fd.Get(), Family, Result.Kind, Params.TTL)) {
        Result.LastError = SocketErrorFromErrno(errno);
        return Result;
    }
    sockaddr_storage Local{};
    if (SourceAddress(Params.Source, Family, Local) &&
        ::bind(Fd.Get(), reinterpret_cast<sockaddr*>(&Local), AddressLength(Local)) != 0) {
        Result.LastError = SocketErrorFromErrno(errno);
        return Result;
    }
    Result.Id = NextIcmpId();
    std::string Request = BuildRequest(IPv6, Params.PacketSize, Result.Id, Params.Seq, Params.PayloadFill);
    TExchange X{Params, Result, Fd.Get(), IPv6, {}};
    if (!SendRequest(X, Request))
        return Result;
    const uint32_t Start = GetTick();
    Result.Sent = true;
    if (Result.Kind == ISK_Datagram)
        UseKernelIdentifier(X, Request);
    X.Sig = Signature(Request, IPv6);
    Result.Request = Request;
    AwaitAnswer(X, Start);
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
    if (ResolveSockAddr(FSin, Host, "0", true, SOCK_DGRAM, IPPROTO_UDP, Family) != 0)
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
    const bool IPv6 = IsTargetIP6(Host);
    FIcmpEcho = EchoType(IPv6);
    FIcmpEchoReply = EchoReplyType(IPv6);
    FIcmpUnreach = IPv6 ? 1 : 3;
    // A name that does not resolve is never pinged (the cleared address would mean this machine).
    if (!UsableTarget(FSin)) {
        FLastError = WSAHOST_NOT_FOUND;
        return false;
    }
    TIcmpEchoParams Params;
    Params.Target = FSin;
    Params.Source = IPInterface;
    Params.TTL = TTL;
    Params.TimeoutMs = Timeout;
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
