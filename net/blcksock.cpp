// Blocking sockets with time-outs (see blcksock.h). Every system socket is non-blocking; each wait is a
// poll() on the socket together with the object's abort event and the owner's cancel event, so a wait
// never outlasts its time-out and any of them can be ended from another thread.
#include "net/blcksock.h"

#include "net/netcode.h"
#include "net/netip.h"
#include "net/netresolve.h"
#include "net/sockshandshake.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netinet/icmp6.h>
#include <netinet/ip_icmp.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sched.h>
#include <string_view>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <linux/errqueue.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int MaxPacket = 65536;
constexpr int DrainLimit = 65536;
constexpr int DefaultConnectTimeout = 21000;

int MsLeft(Clock::time_point Deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(Deadline - Clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(std::min<long long>(left, 0x7fffffff));
}

std::string LittleEndian32(uint32_t Value) {
    std::string out(4, '\0');
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<char>((Value >> (8 * i)) & 0xff);
    return out;
}

uint32_t FromLittleEndian32(const std::string& Bytes) {
    uint32_t value = 0;
    for (std::size_t i = 0; i < 4 && i < Bytes.size(); ++i)
        value |= static_cast<uint32_t>(static_cast<uint8_t>(Bytes[i])) << (8 * i);
    return value;
}

// Length of the longest proper prefix of Terminator that ends Data (a terminator cut between packets).
std::size_t PartialTerminator(std::string_view Data, const std::string& Terminator) {
    const std::size_t most = std::min(Data.size(), Terminator.size() - 1);
    for (std::size_t k = most; k > 0; --k)
        if (Data.compare(Data.size() - k, k, Terminator, 0, k) == 0)
            return k;
    return 0;
}

// Raises an event descriptor (an eventfd counter that is already raised stays raised).
void SignalEvent(int Fd) {
    const uint64_t one = 1;
    if (Fd < 0)
        return;
    const ssize_t rc = ::write(Fd, &one, sizeof(one));
    (void)rc;
}

bool HasLineBreakOrNul(const std::string& Text) {
    return Text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos;
}

} // namespace

// ---------------------------------------------------------------------------------------------------
ENetError::ENetError(int Code, const std::string& Text)
    : std::runtime_error("TCP/IP Socket error " + std::to_string(Code) + ": " + Text), ErrorCode(Code),
      ErrorMessage(Text) {}

TNetCancel::TNetCancel() : Fd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

TNetCancel::~TNetCancel() {
    if (Fd >= 0)
        ::close(Fd);
}

void TNetCancel::Raise() {
    Flag.store(true);
    SignalEvent(Fd);
}

void TNetCancel::Reset() {
    Flag.store(false);
    uint64_t value = 0;
    if (Fd < 0)
        return;
    const ssize_t rc = ::read(Fd, &value, sizeof(value));
    (void)rc;
}

// ---------------------------------------------------------------------------------------------------
TBlockSocket::TBlockSocket() : AbortFd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

TBlockSocket::~TBlockSocket() {
    SilenceHooks();
    InternalClose();
    if (AbortFd >= 0)
        ::close(AbortFd);
}

void TBlockSocket::AbortSocket() {
    AbortFlag.store(true);
    StopFlag.store(true);
    SignalEvent(AbortFd);
}

void TBlockSocket::SilenceHooks() {
    OnStatus = nullptr;
    OnReadFilter = nullptr;
    OnCreateSocket = nullptr;
    OnMonitor = nullptr;
    OnHeartbeat = nullptr;
}

void TBlockSocket::DoStatus(THookSocketReason Reason, const std::string& Value) {
    if (OnStatus)
        OnStatus(*this, Reason, Value);
}

void TBlockSocket::ResetLastError() {
    FLastError = 0;
    FLastErrorDesc.clear();
}

std::string TBlockSocket::GetErrorDesc(int ErrorCode) {
    return SocketErrorText(ErrorCode);
}

std::string TBlockSocket::GetErrorDescEx() {
    return GetErrorDesc(FLastError);
}

int TBlockSocket::SockCheck(int SockResult) {
    if (SockResult == -1)
        FLastError = SocketErrorFromErrno(errno);
    return SockResult == -1 ? FLastError : 0;
}

void TBlockSocket::SetError(int Code) {
    FLastError = Code;
}

void TBlockSocket::ExceptCheck() {
    FLastErrorDesc = GetErrorDescEx();
    if (QuietChecks || FLastError == 0 || FLastError == WSAEWOULDBLOCK || FLastError == WSAEINPROGRESS)
        return;
    DoStatus(HR_Error, std::to_string(FLastError) + "," + FLastErrorDesc);
    if (RaiseExcept)
        throw ENetError(FLastError, FLastErrorDesc);
}

bool TBlockSocket::CheckStop() {
    const bool cancelled = (Owner != nullptr && Owner->Cancel && Owner->Cancel->Raised()) ||
                           (CancelSignal != nullptr && CancelSignal->Raised());
    if (AbortFlag.load() || cancelled) {
        FLastError = WSAECONNABORTED;
        return true;
    }
    if (StopFlag.exchange(false)) {
        FLastError = WSAECONNABORTED;
        return true;
    }
    return false;
}

int TBlockSocket::WaitFor(short Events, int Timeout, short* Revents) {
    if (CheckStop())
        return -1;
    if (Sock < 0) {
        FLastError = WSAENOTSOCK;
        return -1;
    }
    const bool unlimited = Timeout < 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(unlimited ? 0 : Timeout);
    for (;;) {
        int slice = unlimited ? -1 : MsLeft(deadline);
        if (HeartbeatRate > 0 && OnHeartbeat)
            slice = slice < 0 ? HeartbeatRate : std::min(slice, HeartbeatRate);
        pollfd fds[4] = {{Sock, Events, 0}, {AbortFd, POLLIN, 0}, {-1, POLLIN, 0}, {-1, POLLIN, 0}};
        if (Owner != nullptr && Owner->Cancel)
            fds[2].fd = Owner->Cancel->Handle();
        if (CancelSignal != nullptr)
            fds[3].fd = CancelSignal->Handle();
        const int rc = ::poll(fds, 4, slice);
        if (rc < 0 && errno == EINTR)
            continue;
        if (rc < 0) {
            SockCheck(-1);
            return -1;
        }
        if (fds[1].revents != 0 || fds[2].revents != 0 || fds[3].revents != 0 || CheckStop()) {
            FLastError = WSAECONNABORTED;
            return -1;
        }
        if (fds[0].revents != 0) {
            if (Revents != nullptr)
                *Revents = fds[0].revents;
            return 1;
        }
        if (!unlimited && MsLeft(deadline) == 0)
            return 0;
        if (HeartbeatRate > 0 && OnHeartbeat) {
            OnHeartbeat(*this);
            if (CheckStop())
                return -1;
        }
    }
}

void TBlockSocket::LimitBandwidth(int Length, int MaxB, uint32_t& Next) {
    if (MaxB <= 0 || Length <= 0)
        return;
    const uint32_t now = GetTick();
    const int32_t ahead = static_cast<int32_t>(Next - now);
    if (ahead > 0) {
        DoStatus(HR_Wait, std::to_string(ahead));
        int remaining = ahead;
        int slice = remaining % 250;
        while (remaining > 0) {
            if (slice > 0) {
                pollfd fd{AbortFd, POLLIN, 0};
                ::poll(&fd, 1, slice);
                remaining -= slice;
            }
            if (StopFlag.load() || AbortFlag.load() ||
                (Owner != nullptr && Owner->Cancel && Owner->Cancel->Raised()))
                break;
            slice = std::min(250, remaining);
        }
    }
    Next = GetTick() + static_cast<uint32_t>(static_cast<double>(Length) / MaxB * 1000.0);
}

// --- creation, options, addresses -----------------------------------------------------------------
int TBlockSocket::FamilyToAF() const {
    if (Family == SF_IP4)
        return AF_INET;
    if (Family == SF_IP6)
        return AF_INET6;
    return AF_UNSPEC;
}

int TBlockSocket::MakeSocketHandle(int AddressFamily) {
    return ::socket(AddressFamily, GetSocketType() | SOCK_NONBLOCK | SOCK_CLOEXEC, GetSocketProtocol());
}

void TBlockSocket::CreateSocketFor(int AddressFamily) {
    if (AddressFamily != AF_INET6)
        AddressFamily = AF_INET;
    StopFlag.store(false);
    RecvCount = SendCount = 0;
    SocketIP6 = AddressFamily == AF_INET6;
    const int handle = MakeSocketHandle(AddressFamily);
    if (handle < 0) {
        SockCheck(-1);
        SocketIP6 = false;
        return;
    }
    Sock = handle;
    SavedFamily = Family;
    Family = SocketIP6 ? SF_IP6 : SF_IP4;
    DoStatus(HR_SocketCreate, SocketIP6 ? "IPv6" : "IPv4");
    const std::vector<TNetOption> pending = std::move(DelayedOptions);
    DelayedOptions.clear();
    for (const auto& option : pending)
        ApplyOption(option);
    if (OnCreateSocket)
        OnCreateSocket(*this);
}

void TBlockSocket::SetSocket(int Handle) {
    InternalClose();
    Sock = Handle;
    if (Sock < 0)
        return;
    const int flags = ::fcntl(Sock, F_GETFL);
    if (flags >= 0)
        ::fcntl(Sock, F_SETFL, flags | O_NONBLOCK);
    StopFlag.store(false);
    GetSins();
    SocketIP6 = IsSinIP6(LocalSinAddr);
    SavedFamily = Family;
    Family = SocketIP6 ? SF_IP6 : SF_IP4;
    DoStatus(HR_SocketCreate, SocketIP6 ? "IPv6" : "IPv4");
}

void TBlockSocket::InternalClose() {
    if (Sock >= 0) {
        DoStatus(HR_SocketClose, "");
        ::close(Sock);
        Sock = -1;
        Family = SavedFamily;
    }
    Buffer.clear();
    BufferPos = 0;
    CutCR = CutLF = false;
    IsBound = false;
    SocketIP6 = false;
    DelayedOptions.clear();
    ClearSin(LocalSinAddr);
    ClearSin(RemoteSinAddr);
}

void TBlockSocket::CloseSocket() {
    InternalClose();
}

void TBlockSocket::ApplyOption(const TNetOption& Value) {
    int rc = 0;
    int enabled = Value.Enabled ? 1 : 0;
    int number = Value.Value;
    switch (Value.Option) {
    case SOT_Linger: {
        linger li{Value.Enabled ? 1 : 0, Value.Value / 1000};
        rc = ::setsockopt(Sock, SOL_SOCKET, SO_LINGER, &li, sizeof(li));
        break;
    }
    case SOT_RecvBuff:
        rc = ::setsockopt(Sock, SOL_SOCKET, SO_RCVBUF, &number, sizeof(number));
        break;
    case SOT_SendBuff:
        rc = ::setsockopt(Sock, SOL_SOCKET, SO_SNDBUF, &number, sizeof(number));
        break;
    case SOT_NonBlock:
        NonBlocking = Value.Enabled;
        break;
    case SOT_RecvTimeout:
        break; // every receive passes its own time-out
    case SOT_SendTimeout:
        SendTimeoutMs = Value.Value;
        break;
    case SOT_Reuse:
        rc = ::setsockopt(Sock, SOL_SOCKET, SO_REUSEADDR, &enabled, sizeof(enabled));
        break;
    case SOT_TTL:
        rc = SocketIP6 ? ::setsockopt(Sock, IPPROTO_IPV6, IPV6_UNICAST_HOPS, &number, sizeof(number))
                       : ::setsockopt(Sock, IPPROTO_IP, IP_TTL, &number, sizeof(number));
        break;
    case SOT_Broadcast:
        rc = ::setsockopt(Sock, SOL_SOCKET, SO_BROADCAST, &enabled, sizeof(enabled));
        break;
    case SOT_MulticastTTL:
        rc = SocketIP6 ? ::setsockopt(Sock, IPPROTO_IPV6, IPV6_MULTICAST_HOPS, &number, sizeof(number))
                       : ::setsockopt(Sock, IPPROTO_IP, IP_MULTICAST_TTL, &number, sizeof(number));
        break;
    case SOT_MulticastLoop:
        rc = SocketIP6 ? ::setsockopt(Sock, IPPROTO_IPV6, IPV6_MULTICAST_LOOP, &enabled, sizeof(enabled))
                       : ::setsockopt(Sock, IPPROTO_IP, IP_MULTICAST_LOOP, &enabled, sizeof(enabled));
        break;
    }
    SockCheck(rc);
}

void TBlockSocket::DelayedOption(const TNetOption& Value) {
    if (Sock >= 0) {
        ResetLastError();
        ApplyOption(Value);
        ExceptCheck();
        return;
    }
    // Options that only change our own behaviour take effect at once as well.
    if (Value.Option == SOT_NonBlock)
        NonBlocking = Value.Enabled;
    if (Value.Option == SOT_SendTimeout)
        SendTimeoutMs = Value.Value;
    DelayedOptions.push_back(Value);
}

void TBlockSocket::SetLinger(bool Enable, int Milliseconds) {
    DelayedOption({SOT_Linger, Enable, Milliseconds});
}

namespace {

// An integer socket option; Fallback when there is no socket or the call fails.
int IntSocketOption(int Sock, int Level, int Name, int Fallback) {
    int value = 0;
    socklen_t len = sizeof(value);
    if (Sock < 0 || ::getsockopt(Sock, Level, Name, &value, &len) != 0)
        return Fallback;
    return value;
}

} // namespace

int TBlockSocket::SizeRecvBuffer() const {
    return IntSocketOption(Sock, SOL_SOCKET, SO_RCVBUF, 0);
}

void TBlockSocket::SetSizeRecvBuffer(int Size) {
    DelayedOption({SOT_RecvBuff, true, Size});
}

int TBlockSocket::SizeSendBuffer() const {
    return IntSocketOption(Sock, SOL_SOCKET, SO_SNDBUF, 0);
}

void TBlockSocket::SetSizeSendBuffer(int Size) {
    DelayedOption({SOT_SendBuff, true, Size});
}
void TBlockSocket::SetNonBlockMode(bool Value) {
    DelayedOption({SOT_NonBlock, Value, 0});
}
void TBlockSocket::SetRecvTimeout(int Milliseconds) {
    DelayedOption({SOT_RecvTimeout, true, Milliseconds});
}
void TBlockSocket::SetSendTimeout(int Milliseconds) {
    DelayedOption({SOT_SendTimeout, true, Milliseconds});
}
void TBlockSocket::EnableReuse(bool Value) {
    DelayedOption({SOT_Reuse, Value, 0});
}

int TBlockSocket::TTL() const {
    return SocketIP6 ? IntSocketOption(Sock, IPPROTO_IPV6, IPV6_UNICAST_HOPS, TTLValue)
                     : IntSocketOption(Sock, IPPROTO_IP, IP_TTL, TTLValue);
}

void TBlockSocket::SetTTL(int Value) {
    TTLValue = Value;
    DelayedOption({SOT_TTL, true, Value});
}

int TBlockSocket::SetSin(TVarSin& Sin, const std::string& IP, const std::string& Port) {
    int af = FamilyToAF();
    if (Sock >= 0) {
        af = SocketIP6 ? AF_INET6 : AF_INET;
    } else if (Family == SF_Any) {
        if (IsIP(IP))
            af = AF_INET;
        else if (IsIP6(IP))
            af = AF_INET6;
    }
    DoStatus(HR_ResolvingBegin, IP + ":" + Port);
    // Bounded like a connect and cancelled like every wait of the socket.
    FLastError = ResolveSockAddrWithin(
        Sin, IP, Port, PreferIP4, GetSocketType(), GetSocketProtocol(), af, ConnectBound(),
        {AbortFd, Owner != nullptr && Owner->Cancel ? Owner->Cancel->Handle() : -1,
         CancelSignal != nullptr ? CancelSignal->Handle() : -1});
    DoStatus(HR_ResolvingEnd, GetSinIP(Sin) + ":" + std::to_string(GetSinPort(Sin)));
    return FLastError;
}

void TBlockSocket::GetSinLocal() {
    ClearSin(LocalSinAddr);
    if (Sock < 0)
        return;
    socklen_t len = sizeof(LocalSinAddr);
    ::getsockname(Sock, &LocalSinAddr.sa, &len);
}

void TBlockSocket::GetSinRemote() {
    if (Sock < 0)
        return;
    TVarSin peer{};
    socklen_t len = sizeof(peer);
    if (::getpeername(Sock, &peer.sa, &len) == 0)
        RemoteSinAddr = peer;
}

void TBlockSocket::GetSins() {
    GetSinLocal();
    GetSinRemote();
}

void TBlockSocket::SetRemoteSin(const std::string& IP, const std::string& Port) {
    ResetLastError();
    TVarSin sin{};
    if (SetSin(sin, IP, Port) == 0)
        RemoteSinAddr = sin;
    ExceptCheck();
}

std::string TBlockSocket::GetLocalSinIP() {
    return GetSinIP(LocalSinAddr);
}
std::string TBlockSocket::GetRemoteSinIP() {
    return GetSinIP(RemoteSinAddr);
}
int TBlockSocket::GetLocalSinPort() {
    return GetSinPort(LocalSinAddr);
}
int TBlockSocket::GetRemoteSinPort() {
    return GetSinPort(RemoteSinAddr);
}

// --- bind, connect, listen, accept --------------------------------------------------------------
void TBlockSocket::Bind(const std::string& IP, const std::string& Port) {
    ResetLastError();
    if (Sock < 0 && Family == SF_Any && IP == "0.0.0.0" && Port == "0") {
        ExceptCheck();
        return;
    }
    TVarSin sin{};
    if (SetSin(sin, IP, Port) == 0) {
        if (Sock < 0)
            CreateSocketFor(SinFamily(sin));
        if (FLastError == 0 && SockCheck(::bind(Sock, &sin.sa, SizeOfVarSin(sin))) == 0) {
            GetSinLocal();
            IsBound = true;
            DoStatus(HR_Bind, IP + ":" + Port);
        }
    }
    ExceptCheck();
}

int TBlockSocket::ConnectBound() const {
    if (ConnectionTimeout > 0)
        return ConnectionTimeout;
    if (Owner != nullptr && Owner->Timeout > 0)
        return Owner->Timeout;
    return DefaultConnectTimeout;
}

int TBlockSocket::ConnectWait(const TVarSin& To) {
    if (CheckStop())
        return FLastError;
    int rc = ::connect(Sock, &To.sa, SizeOfVarSin(To));
    if (rc == 0)
        return 0;
    if (errno != EINPROGRESS)
        return SockCheck(-1);
    if (NonBlocking) {
        FLastError = WSAEWOULDBLOCK;
        return FLastError;
    }
    const int ready = WaitFor(POLLOUT, ConnectBound());
    if (ready < 0)
        return FLastError;
    if (ready == 0) {
        FLastError = WSAETIMEDOUT;
        return FLastError;
    }
    int error = 0;
    socklen_t len = sizeof(error);
    if (::getsockopt(Sock, SOL_SOCKET, SO_ERROR, &error, &len) != 0)
        return SockCheck(-1);
    FLastError = SocketErrorFromErrno(error);
    return FLastError;
}

int TBlockSocket::DoConnect(const std::string& IP, const std::string& Port) {
    const auto start = Clock::now();
    TVarSin sin{};
    if (SetSin(sin, IP, Port) != 0)
        return FLastError;
    if (Sock < 0)
        CreateSocketFor(SinFamily(sin));
    if (FLastError != 0)
        return FLastError;
    // Resolving took its share of the connect's time.
    const int saved = ConnectionTimeout;
    const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    ConnectionTimeout = static_cast<int>(std::max<long long>(1, ConnectBound() - spent));
    const int connected = ConnectWait(sin);
    ConnectionTimeout = saved;
    if (connected == 0) {
        GetSins();
        DoStatus(HR_Connect, IP + ":" + Port);
    }
    return FLastError;
}

void TBlockSocket::Connect(const std::string& IP, const std::string& Port) {
    ResetLastError();
    DoConnect(IP, Port);
    ExceptCheck();
}

void TBlockSocket::Listen() {
    ResetLastError();
    if (Sock < 0)
        CreateSocketFor(FamilyToAF() == AF_INET6 ? AF_INET6 : AF_INET);
    if (FLastError == 0 && SockCheck(::listen(Sock, SOMAXCONN)) == 0) {
        GetSinLocal();
        DoStatus(HR_Listen, "");
    }
    ExceptCheck();
}

int TBlockSocket::Accept() {
    ResetLastError();
    int handle = -1;
    for (;;) {
        const int ready = WaitFor(POLLIN, -1);
        if (ready <= 0)
            break;
        handle = ::accept4(Sock, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (handle >= 0 || (errno != EAGAIN && errno != EINTR && errno != ECONNABORTED)) {
            SockCheck(handle);
            break;
        }
    }
    if (handle >= 0)
        DoStatus(HR_Accept, "");
    ExceptCheck();
    return handle;
}

// --- sending ------------------------------------------------------------------------------------
int TBlockSocket::RawSend(const void* Buffer, int Length) {
    return SendWithRetry(Buffer, Length, nullptr);
}

int TBlockSocket::RawSendTo(const void* Buffer, int Length, const TVarSin& To) {
    return SendWithRetry(Buffer, Length, &To);
}

// One send retry loop for both: a connected socket (no address) and a datagram to To.
int TBlockSocket::SendWithRetry(const void* Buffer, int Length, const TVarSin* To) {
    const int waitMs = SendTimeoutMs > 0 ? SendTimeoutMs : NonblockSendTimeout;
    for (;;) {
        const ssize_t n = ::sendto(Sock, Buffer, static_cast<std::size_t>(Length), MSG_NOSIGNAL,
                                   To ? &To->sa : nullptr, To ? SizeOfVarSin(*To) : 0);
        if (n >= 0)
            return static_cast<int>(n);
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return SockCheck(-1), -1;
        const int ready = WaitFor(POLLOUT, waitMs);
        if (ready < 0)
            return -1;
        if (ready == 0) {
            FLastError = WSAETIMEDOUT;
            return -1;
        }
    }
}

int TBlockSocket::SendInternal(const void* Data, int Length) {
    if (Sock < 0) {
        FLastError = WSAENOTSOCK;
        return 0;
    }
    const char* bytes = static_cast<const char*>(Data);
    int sent = 0;
    if (Length <= 0)
        return 0;
    while (sent < Length) {
        if (CheckStop())
            break;
        const int piece = std::min(Length - sent, SendMaxChunk > 0 ? SendMaxChunk : Length - sent);
        LimitBandwidth(piece, MaxSendBandwidth, NextSend);
        const int n = RawSend(bytes + sent, piece);
        if (n < 0)
            break;
        if (OnMonitor)
            OnMonitor(*this, true, bytes + sent, n);
        sent += n;
        SendCount += static_cast<uint64_t>(n);
    }
    DoStatus(HR_WriteCount, std::to_string(sent));
    return sent;
}

int TBlockSocket::SendBuffer(const void* Data, int Length) {
    ResetLastError();
    const int sent = SendInternal(Data, Length);
    ExceptCheck();
    return sent;
}

void TBlockSocket::SendByte(uint8_t Data) {
    SendBuffer(&Data, 1);
}

void TBlockSocket::SendString(const std::string& Data) {
    SendBuffer(Data.data(), static_cast<int>(Data.size()));
}

void TBlockSocket::SendInteger(int32_t Data) {
    SendString(LittleEndian32(static_cast<uint32_t>(Data)));
}

void TBlockSocket::SendBlock(const std::string& Data) {
    SendString(LittleEndian32(static_cast<uint32_t>(Data.size())) + Data);
}

void TBlockSocket::SendStreamRaw(TMemoryStream& Stream) {
    ResetLastError();
    const int chunk = SendMaxChunk > 0 ? SendMaxChunk : MaxPacket;
    for (;;) {
        const std::string piece = ReadStrFromStream(Stream, static_cast<std::size_t>(chunk));
        if (piece.empty())
            break;
        SendString(piece);
        if (FLastError != 0)
            break;
    }
}

void TBlockSocket::SendStream(TMemoryStream& Stream) {
    SendString(LittleEndian32(static_cast<uint32_t>(Stream.Size() - Stream.Position())));
    if (FLastError == 0)
        SendStreamRaw(Stream);
}

void TBlockSocket::SendStreamIndy(TMemoryStream& Stream) {
    SendString(CodeLongInt(static_cast<uint32_t>(Stream.Size() - Stream.Position())));
    if (FLastError == 0)
        SendStreamRaw(Stream);
}

int TBlockSocket::SendBufferTo(const void* Data, int Length) {
    ResetLastError();
    int sent = 0;
    if (Sock < 0) {
        FLastError = WSAENOTSOCK;
    } else if (!CheckStop()) {
        LimitBandwidth(Length, MaxSendBandwidth, NextSend);
        sent = std::max(0, RawSendTo(Data, Length, RemoteSinAddr));
        if (sent > 0 && OnMonitor)
            OnMonitor(*this, true, Data, sent);
        SendCount += static_cast<uint64_t>(sent);
        DoStatus(HR_WriteCount, std::to_string(sent));
    }
    ExceptCheck();
    return sent;
}

// --- receiving ----------------------------------------------------------------------------------
void TBlockSocket::CountRead(int Length, const void* Data) {
    if (Length <= 0)
        return;
    RecvCount += static_cast<uint64_t>(Length);
    if (OnMonitor)
        OnMonitor(*this, false, Data, Length);
    DoStatus(HR_ReadCount, std::to_string(Length));
}

int TBlockSocket::RawRecv(void* Data, int Length) {
    for (;;) {
        const ssize_t n = ::recv(Sock, Data, static_cast<std::size_t>(Length), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return SockCheck(-1), -1;
        return static_cast<int>(n);
    }
}

int TBlockSocket::RawRecvFrom(void* Data, int Length, TVarSin& From) {
    for (;;) {
        TVarSin sender{};
        socklen_t len = sizeof(sender);
        const ssize_t n =
            ::recvfrom(Sock, Data, static_cast<std::size_t>(Length), MSG_NOSIGNAL, &sender.sa, &len);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return SockCheck(-1), -1;
        From = sender;
        return static_cast<int>(n);
    }
}

int TBlockSocket::RecvBuffer(void* Data, int Length) {
    LimitBandwidth(Length, MaxRecvBandwidth, NextRecv);
    const int n = RawRecv(Data, Length);
    if (n == 0 && Length > 0)
        FLastError = WSAECONNRESET; // orderly close
    CountRead(n, Data);
    return std::max(n, 0);
}

int TBlockSocket::RecvBufferFrom(void* Data, int Length) {
    LimitBandwidth(Length, MaxRecvBandwidth, NextRecv);
    const int n = RawRecvFrom(Data, Length, RemoteSinAddr);
    CountRead(n, Data);
    return std::max(n, 0);
}

std::string TBlockSocket::RecvSystemPacket(int Timeout) {
    if (Sock < 0) {
        FLastError = WSAENOTSOCK;
        return "";
    }
    sched_yield();
    const int ready = WaitFor(POLLIN, Timeout);
    if (ready < 0)
        return "";
    if (ready == 0) {
        FLastError = WSAETIMEDOUT;
        return "";
    }
    std::string packet(MaxPacket, '\0');
    const int n = RecvBuffer(packet.data(), MaxPacket);
    packet.resize(FLastError == 0 ? static_cast<std::size_t>(n) : 0);
    return packet;
}

void TBlockSocket::ApplyConvertLineEnd(std::string& Packet) {
    if (Packet.empty())
        return;
    if (CutCR && Packet[0] == '\n')
        Packet.erase(0, 1);
    else if (CutLF && Packet[0] == '\r')
        Packet.erase(0, 1);
    CutCR = CutLF = false;
}

std::size_t TBlockSocket::Buffered() const {
    return Buffer.size() - BufferPos;
}

void TBlockSocket::ConsumeBuffer(std::size_t Count) {
    BufferPos += Count;
    if (BufferPos >= Buffer.size()) {
        Buffer.clear();
        BufferPos = 0;
    } else if (BufferPos > 65536 && BufferPos > Buffer.size() / 2) {
        // Dropping the handed-out front now and then keeps every byte's cost constant.
        Buffer.erase(0, BufferPos);
        BufferPos = 0;
    }
}

std::string TBlockSocket::ReadSystem(int Timeout) {
    if (CheckStop())
        return "";
    std::string packet = RecvSystemPacket(Timeout);
    if (OnReadFilter && !packet.empty())
        OnReadFilter(*this, packet);
    if (ConvertLineEnd)
        ApplyConvertLineEnd(packet);
    return packet;
}

std::string TBlockSocket::PacketInternal(int Timeout) {
    if (Buffered() == 0)
        return ReadSystem(Timeout);
    std::string packet = Buffer.substr(BufferPos);
    ConsumeBuffer(packet.size());
    if (ConvertLineEnd)
        ApplyConvertLineEnd(packet);
    return packet;
}

std::string TBlockSocket::RecvPacket(int Timeout) {
    ResetLastError();
    std::string packet = PacketInternal(Timeout);
    ExceptCheck();
    return packet;
}

// Lines are searched in the receive buffer itself: each wait appends a packet and only the new bytes
// (and a terminator possibly cut between packets) are looked at. What arrived stays buffered on error.
std::string TBlockSocket::TerminatedInternal(int Timeout, const std::string& Terminator) {
    if (Terminator.empty()) {
        FLastError = WSAEINVAL;
        return "";
    }
    const bool anyLineEnd = ConvertLineEnd && Terminator == "\r\n";
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(Timeout, 0));
    std::size_t searchFrom = BufferPos;
    for (;;) {
        const std::size_t pos =
            anyLineEnd ? Buffer.find_first_of("\r\n", searchFrom) : Buffer.find(Terminator, searchFrom);
        if (pos != std::string::npos) {
            std::size_t endLength = Terminator.size();
            if (anyLineEnd) {
                endLength = 1;
                if (pos + 1 < Buffer.size()) {
                    const char a = Buffer[pos], b = Buffer[pos + 1];
                    if ((a == '\r' && b == '\n') || (a == '\n' && b == '\r'))
                        endLength = 2;
                } else {
                    CutCR = Buffer[pos] == '\r';
                    CutLF = Buffer[pos] == '\n';
                }
            }
            const std::size_t lineLength = pos - BufferPos;
            if (MaxLineLength > 0 && lineLength > static_cast<std::size_t>(MaxLineLength)) {
                FLastError = WSAENOBUFS;
                return "";
            }
            std::string line = Buffer.substr(BufferPos, lineLength);
            ConsumeBuffer(lineLength + endLength);
            return line;
        }
        const std::size_t partial =
            anyLineEnd ? 0 : PartialTerminator(std::string_view(Buffer).substr(BufferPos), Terminator);
        if (MaxLineLength > 0 && Buffered() - partial > static_cast<std::size_t>(MaxLineLength)) {
            FLastError = WSAENOBUFS;
            return "";
        }
        searchFrom = Buffer.size() - partial;
        int wait = Timeout;
        if (!InterPacketTimeout && Timeout >= 0) {
            wait = MsLeft(deadline);
            if (wait <= 0 && Buffered() > 0) {
                FLastError = WSAETIMEDOUT;
                return "";
            }
        }
        const std::string packet = ReadSystem(wait);
        if (FLastError != 0)
            return "";
        Buffer += packet;
    }
}

std::string TBlockSocket::RecvTerminated(int Timeout, const std::string& Terminator) {
    ResetLastError();
    std::string line = TerminatedInternal(Timeout, Terminator);
    ExceptCheck();
    return line;
}

std::string TBlockSocket::RecvString(int Timeout) {
    return RecvTerminated(Timeout, "\r\n");
}

std::string TBlockSocket::BufferStrInternal(int Length, int Timeout) {
    if (Length <= 0)
        return "";
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(Timeout, 0));
    while (Buffered() < static_cast<std::size_t>(Length)) {
        int wait = Timeout;
        if (!InterPacketTimeout && Timeout >= 0) {
            wait = MsLeft(deadline);
            if (wait <= 0 && Buffered() > 0) {
                FLastError = WSAETIMEDOUT;
                return "";
            }
        }
        const std::string packet = ReadSystem(wait);
        if (FLastError != 0)
            return ""; // what came stays buffered
        Buffer += packet;
    }
    std::string data = Buffer.substr(BufferPos, static_cast<std::size_t>(Length));
    ConsumeBuffer(data.size());
    return data;
}

std::string TBlockSocket::RecvBufferStr(int Length, int Timeout) {
    ResetLastError();
    std::string data = BufferStrInternal(Length, Timeout);
    ExceptCheck();
    return data;
}

int TBlockSocket::RecvBufferEx(void* Data, int Length, int Timeout) {
    const std::string bytes = RecvBufferStr(Length, Timeout);
    std::memcpy(Data, bytes.data(), bytes.size());
    return static_cast<int>(bytes.size());
}

uint8_t TBlockSocket::RecvByte(int Timeout) {
    const std::string bytes = RecvBufferStr(1, Timeout);
    return bytes.empty() ? 0 : static_cast<uint8_t>(bytes[0]);
}

int32_t TBlockSocket::RecvInteger(int Timeout) {
    const std::string bytes = RecvBufferStr(4, Timeout);
    return static_cast<int32_t>(FromLittleEndian32(bytes));
}

std::string TBlockSocket::RecvBlock(int Timeout) {
    ResetLastError();
    std::string data;
    const std::string prefix = BufferStrInternal(4, Timeout);
    if (FLastError == 0)
        data = BufferStrInternal(static_cast<int>(FromLittleEndian32(prefix) & 0x7fffffff), Timeout);
    ExceptCheck();
    return data;
}

void TBlockSocket::RecvStreamRaw(TMemoryStream& Stream, int Timeout) {
    ResetLastError();
    for (;;) {
        const std::string packet = PacketInternal(Timeout);
        if (FLastError != 0)
            break;
        WriteStrToStream(Stream, packet);
    }
    ExceptCheck();
}

void TBlockSocket::RecvStreamSize(TMemoryStream& Stream, int Timeout, int64_t Size) {
    ResetLastError();
    const int chunk = SendMaxChunk > 0 ? SendMaxChunk : MaxPacket;
    int64_t left = Size;
    while (left > 0 && FLastError == 0) {
        const int piece = static_cast<int>(std::min<int64_t>(left, chunk));
        const std::string data = BufferStrInternal(piece, Timeout);
        if (FLastError != 0)
            break;
        WriteStrToStream(Stream, data);
        left -= piece;
    }
    ExceptCheck();
}

void TBlockSocket::RecvStream(TMemoryStream& Stream, int Timeout) {
    const int32_t size = RecvInteger(Timeout);
    if (FLastError == 0)
        RecvStreamSize(Stream, Timeout, static_cast<uint32_t>(size));
}

void TBlockSocket::RecvStreamIndy(TMemoryStream& Stream, int Timeout) {
    const std::string prefix = RecvBufferStr(4, Timeout);
    if (FLastError == 0)
        RecvStreamSize(Stream, Timeout, DecodeLongInt(prefix, 0));
}

int TBlockSocket::PeekBuffer(void* Data, int Length) {
    ResetLastError();
    int n = 0;
    if (Buffered() > 0) {
        n = std::min(Length, static_cast<int>(Buffered()));
        std::memcpy(Data, Buffer.data() + BufferPos, static_cast<std::size_t>(n));
    } else if (Sock >= 0) {
        const ssize_t got = ::recv(Sock, Data, static_cast<std::size_t>(Length), MSG_PEEK | MSG_NOSIGNAL);
        n = got < 0 ? (SockCheck(-1), 0) : static_cast<int>(got);
    }
    ExceptCheck();
    return n;
}

uint8_t TBlockSocket::PeekByte(int Timeout) {
    ResetLastError();
    uint8_t value = 0;
    if (Buffered() > 0) {
        value = static_cast<uint8_t>(Buffer[BufferPos]);
    } else {
        const int ready = WaitFor(POLLIN, Timeout);
        if (ready == 0)
            FLastError = WSAETIMEDOUT;
        if (ready > 0) {
            const ssize_t got = ::recv(Sock, &value, 1, MSG_PEEK | MSG_NOSIGNAL);
            if (got == 0)
                FLastError = WSAECONNRESET;
            if (got < 0)
                SockCheck(-1);
        }
    }
    ExceptCheck();
    return value;
}

int TBlockSocket::WaitingData() {
    int count = 0;
    if (Sock < 0 || ::ioctl(Sock, FIONREAD, &count) != 0)
        return 0;
    return std::clamp(count, 0, MaxPacket);
}

int TBlockSocket::WaitingDataEx() {
    return static_cast<int>(Buffered()) + WaitingData();
}

void TBlockSocket::Purge() {
    Buffer.clear();
    BufferPos = 0;
    if (Sock < 0)
        return;
    char scrap[4096];
    for (int i = 0; i < 64; ++i) {
        const ssize_t n = ::recv(Sock, scrap, sizeof(scrap), MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n <= 0)
            break;
    }
}

bool TBlockSocket::CanRead(int Timeout) {
    ResetLastError();
    const bool ready = WaitFor(POLLIN, Timeout) > 0;
    if (ready)
        DoStatus(HR_CanRead, "");
    ExceptCheck();
    return ready;
}

bool TBlockSocket::CanReadEx(int Timeout) {
    return Buffered() > 0 || CanRead(Timeout);
}

bool TBlockSocket::CanWrite(int Timeout) {
    ResetLastError();
    const bool ready = WaitFor(POLLOUT, Timeout) > 0;
    if (ready)
        DoStatus(HR_CanWrite, "");
    ExceptCheck();
    return ready;
}

void TBlockSocket::DrainOnClose() {
    char scrap[4096];
    int total = 0;
    while (total < DrainLimit) {
        const ssize_t n = ::recv(Sock, scrap, sizeof(scrap), MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n <= 0)
            break;
        total += static_cast<int>(n);
    }
}

// --- names --------------------------------------------------------------------------------------
std::vector<std::string> TBlockSocket::ResolveNameToIP(const std::string& Name) {
    std::vector<std::string> list = ResolveNameList(Name, FamilyToAF(), GetSocketType(), GetSocketProtocol());
    if (list.empty())
        list.push_back("0.0.0.0");
    return list;
}

std::string TBlockSocket::ResolveName(const std::string& Name) {
    return ResolveNameToIP(Name).front();
}

int TBlockSocket::ResolvePort(const std::string& Port) {
    return ResolvePortNumber(Port, FamilyToAF(), GetSocketType(), GetSocketProtocol());
}

std::string TBlockSocket::ResolveIPToName(const std::string& IP) {
    return ResolveAddressToName(IP);
}

std::string TBlockSocket::LocalName() {
    const std::string name = LocalHostName();
    return name.empty() ? "127.0.0.1" : name;
}

// ---------------------------------------------------------------------------------------------------
// SOCKS
bool TSocksBlockSocket::SocksCheckFields(const std::string& IP) {
    bool ok = true;
    if (SocksType == ST_Socks5) {
        ok = SocksUsername.size() <= 255 && SocksPassword.size() <= 255;
        if (!IsIP(IP) && !IsIP6(IP) && SocksResolver)
            ok = ok && !IP.empty() && IP.size() <= 255;
    } else {
        ok = SocksUsername.find('\0') == std::string::npos && IP.find('\0') == std::string::npos;
    }
    if (!ok)
        FLastError = WSAEINVAL;
    return ok;
}

bool TSocksBlockSocket::SocksTarget(uint8_t Cmd, const std::string& IP, const std::string& Port,
                                    TSocksRequest& Request) {
    Request.Version4 = SocksType == ST_Socks4;
    Request.Command = Cmd;
    Request.Port = static_cast<uint16_t>(ResolvePort(Port));
    Request.UserID = SocksUsername;
    Request.Password = SocksPassword;
    Request.Auth = !Request.Version4 && !SocksUsername.empty();
    Request.OfferNoAuth = true;
    if (IsIP(IP)) {
        Request.Address = IPToID(IP);
    } else if (IsIP6(IP)) {
        if (Request.Version4) {
            FLastError = WSAEAFNOSUPPORT;
            return false;
        }
        const TIp6Bytes bytes = StrToIp6(IP);
        Request.Address.assign(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    } else if (SocksResolver) {
        if (!Request.Version4 && IP.size() > 255) {
            FLastError = WSAEINVAL;
            return false;
        }
        Request.Name = IP;
    } else {
        TVarSin sin{};
        const int af = Request.Version4 ? AF_INET : FamilyToAF();
        FLastError = ResolveSockAddr(sin, IP, Port, PreferIP4, SOCK_STREAM, IPPROTO_TCP, af);
        if (FLastError != 0)
            return false;
        return SocksTarget(Cmd, GetSinIP(sin), Port, Request);
    }
    return true;
}

bool TSocksBlockSocket::SocksRequest(uint8_t Cmd, const std::string& IP, const std::string& Port) {
    ResetLastError();
    UsingProxy = false;
    SocksReplyCode = 0;
    ResponseIP.clear();
    ResponsePort.clear();
    TSocksRequest request;
    if (!SocksCheckFields(IP) || !SocksTarget(Cmd, IP, Port, request)) {
        ExceptCheck();
        return false;
    }
    Bypass = true;
    TSocksHandshake handshake(std::move(request));
    std::string out = handshake.Start();
    if (handshake.State() == TSocksHandshake::TState::Failed)
        FLastError = WSAEINVAL;
    while (FLastError == 0 && handshake.State() == TSocksHandshake::TState::Running) {
        if (!out.empty())
            SendInternal(out.data(), static_cast<int>(out.size()));
        const std::string reply =
            FLastError == 0 ? BufferStrInternal(static_cast<int>(handshake.Wanted()), SocksTimeout) : "";
        if (FLastError == 0)
            out = handshake.Feed(reply.data(), reply.size());
    }
    SocksReplyCode = handshake.ReplyCode();
    const bool ok = FLastError == 0 && handshake.State() == TSocksHandshake::TState::Done;
    if (ok) {
        ResponseIP = handshake.BoundHost();
        ResponsePort = handshake.BoundPort();
    } else if (FLastError == 0) {
        FLastError = WSAECONNREFUSED;
    }
    Bypass = false;
    ExceptCheck();
    return ok;
}

// ---------------------------------------------------------------------------------------------------
// TLS slot
void TCustomSSL::Assign(const TCustomSSL& Value) {
    SSLType = Value.SSLType;
    KeyPassword = Value.KeyPassword;
    Username = Value.Username;
    Password = Value.Password;
    Ciphers = Value.Ciphers;
    CertificateFile = Value.CertificateFile;
    PrivateKeyFile = Value.PrivateKeyFile;
    Certificate = Value.Certificate;
    PrivateKey = Value.PrivateKey;
    PFX = Value.PFX;
    PFXfile = Value.PFXfile;
    TrustCertificateFile = Value.TrustCertificateFile;
    TrustCertificate = Value.TrustCertificate;
    CertCA = Value.CertCA;
    CertCAFile = Value.CertCAFile;
    VerifyCert = Value.VerifyCert;
    SSHChannelType = Value.SSHChannelType;
    SSHChannelArg1 = Value.SSHChannelArg1;
    SSHChannelArg2 = Value.SSHChannelArg2;
    CertComplianceLevel = Value.CertComplianceLevel;
    OnVerifyCert = Value.OnVerifyCert;
    SNIHost = Value.SNIHost;
}

void TCustomSSL::NotCompiled() {
    FLastError = -1;
    FLastErrorDesc = "SSL/TLS support is not compiled!";
}

bool TCustomSSL::Connect() {
    NotCompiled();
    return false;
}

bool TCustomSSL::Accept() {
    NotCompiled();
    return false;
}

bool TCustomSSL::Shutdown() {
    NotCompiled();
    return false;
}

bool TCustomSSL::BiShutdown() {
    NotCompiled();
    return false;
}

int TCustomSSL::SendBuffer(const void*, int) {
    NotCompiled();
    return -1;
}

int TCustomSSL::RecvBuffer(void*, int) {
    NotCompiled();
    return -1;
}

int TCustomSSL::WaitingData() {
    NotCompiled();
    return 0;
}

// ---------------------------------------------------------------------------------------------------
// TCP
TTCPBlockSocket::TTCPBlockSocket() : FSSL(std::make_unique<TSSLNone>(*this)) {}

TTCPBlockSocket::~TTCPBlockSocket() {
    // Hooks may capture objects that are already gone while the socket is destroyed.
    SilenceHooks();
    TTCPBlockSocket::CloseSocket();
}

int TTCPBlockSocket::GetSocketType() const {
    return SOCK_STREAM;
}
int TTCPBlockSocket::GetSocketProtocol() const {
    return IPPROTO_TCP;
}

void TTCPBlockSocket::CloseSocket() {
    if (Sock >= 0 && FSSL->SSLEnabled())
        FSSL->Shutdown();
    if (Sock >= 0 && FLastError == 0 && !AbortFlag.load()) {
        ::shutdown(Sock, SHUT_WR);
        DrainOnClose();
    }
    InternalClose();
    TunnelOpen = false;
    UsingProxy = false;
}

void TTCPBlockSocket::DirectConnect(const std::string& IP, const std::string& Port) {
    DoConnect(IP, Port);
}

void TTCPBlockSocket::DoAfterConnect() {
    if (OnAfterConnect)
        OnAfterConnect(*this);
}

void TTCPBlockSocket::Connect(const std::string& IP, const std::string& Port) {
    ResetLastError();
    TunnelOpen = false;
    UsingProxy = false;
    if (!SocksIP.empty())
        SocksDoConnect(IP, Port);
    else if (!HTTPTunnelIP.empty())
        HTTPTunnelDoConnect(IP, Port);
    else
        DirectConnect(IP, Port);
    if (FLastError == 0)
        DoAfterConnect();
    ExceptCheck();
}

void TTCPBlockSocket::SocksDoConnect(const std::string& IP, const std::string& Port) {
    if (!SocksCheckFields(IP))
        return;
    DoConnect(SocksIP, SocksPort);
    if (FLastError != 0)
        return;
    QuietChecks = true; // the outer Connect reports once
    const bool ok = SocksRequest(1, IP, Port);
    QuietChecks = false;
    if (!ok)
        return;
    UsingProxy = true;
    TunnelRemoteIP = IP;
    TunnelRemotePort = Port;
}

bool TTCPBlockSocket::HTTPTunnelReadReply() {
    // A proxy that never ends its header block is cut off after a bounded amount.
    const int savedMax = MaxLineLength;
    if (MaxLineLength <= 0 || MaxLineLength > 8192)
        MaxLineLength = 8192;
    bool open = false;
    bool ended = false;
    for (int lineNo = 0; lineNo < 256 && !ended; ++lineNo) {
        std::string line = TerminatedInternal(HTTPTunnelTimeout, "\n");
        if (FLastError != 0)
            break;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (lineNo == 0)
            open = line.size() > 11 && line.compare(0, 5, "HTTP/") == 0 && line[9] == '2';
        ended = line.empty();
    }
    MaxLineLength = savedMax;
    if (FLastError == 0 && !(open && ended))
        FLastError = WSASYSNOTREADY;
    return FLastError == 0;
}

void TTCPBlockSocket::HTTPTunnelDoConnect(const std::string& IP, const std::string& Port) {
    if (HasLineBreakOrNul(IP) || HasLineBreakOrNul(Port) || HasLineBreakOrNul(HTTPTunnelUser) ||
        HasLineBreakOrNul(HTTPTunnelPass) || IP.empty()) {
        FLastError = WSAEINVAL;
        return;
    }
    DoConnect(HTTPTunnelIP, HTTPTunnelPort);
    if (FLastError != 0)
        return;
    const std::string host = IsIP6(IP) ? "[" + IP + "]" : IP;
    std::string request = "CONNECT " + host + ":" + Port + " HTTP/1.0\r\n";
    if (!HTTPTunnelUser.empty())
        request +=
            "Proxy-Authorization: Basic " + EncodeBase64(HTTPTunnelUser + ":" + HTTPTunnelPass) + "\r\n";
    request += "\r\n";
    SendInternal(request.data(), static_cast<int>(request.size()));
    if (FLastError != 0 || !HTTPTunnelReadReply())
        return;
    TunnelOpen = true;
    TunnelRemoteIP = IP;
    TunnelRemotePort = Port;
}

void TTCPBlockSocket::Listen() {
    TBlockSocket::Listen();
}

int TTCPBlockSocket::Accept() {
    return TBlockSocket::Accept();
}

int TTCPBlockSocket::SendBuffer(const void* Data, int Length) {
    if (!FSSL->SSLEnabled())
        return TBlockSocket::SendBuffer(Data, Length);
    ResetLastError();
    const int sent = FSSL->SendBuffer(Data, Length);
    if (sent < 0)
        FLastError = WSASYSNOTREADY;
    ExceptCheck();
    return std::max(sent, 0);
}

int TTCPBlockSocket::RecvBuffer(void* Data, int Length) {
    if (!FSSL->SSLEnabled())
        return TBlockSocket::RecvBuffer(Data, Length);
    const int n = FSSL->RecvBuffer(Data, Length);
    if (n < 0)
        FLastError = WSASYSNOTREADY;
    if (n == 0)
        FLastError = WSAECONNRESET;
    CountRead(n, Data);
    return std::max(n, 0);
}

int TTCPBlockSocket::WaitingData() {
    if (FSSL->SSLEnabled())
        return FSSL->WaitingData();
    return TBlockSocket::WaitingData();
}

std::string TTCPBlockSocket::GetLocalSinIP() {
    return TBlockSocket::GetLocalSinIP();
}

std::string TTCPBlockSocket::GetRemoteSinIP() {
    if (UsingProxy || TunnelOpen)
        return TunnelRemoteIP;
    return TBlockSocket::GetRemoteSinIP();
}

int TTCPBlockSocket::GetLocalSinPort() {
    return TBlockSocket::GetLocalSinPort();
}

int TTCPBlockSocket::GetRemoteSinPort() {
    if (UsingProxy || TunnelOpen)
        return ResolvePort(TunnelRemotePort);
    return TBlockSocket::GetRemoteSinPort();
}

std::string TTCPBlockSocket::GetErrorDescEx() {
    if (FLastError == WSASYSNOTREADY && !FSSL->LastErrorDesc().empty())
        return FSSL->LastErrorDesc();
    return TBlockSocket::GetErrorDescEx();
}

void TTCPBlockSocket::SSLDoConnect() {
    ResetLastError();
    if (!FSSL->Connect())
        FLastError = WSASYSNOTREADY;
    ExceptCheck();
}

void TTCPBlockSocket::SSLDoShutdown() {
    ResetLastError();
    if (FSSL->SSLEnabled() && !FSSL->BiShutdown())
        FLastError = WSASYSNOTREADY;
    ExceptCheck();
}

bool TTCPBlockSocket::SSLAcceptConnection() {
    ResetLastError();
    const bool ok = FSSL->Accept();
    if (!ok)
        FLastError = WSASYSNOTREADY;
    ExceptCheck();
    return ok;
}

// ---------------------------------------------------------------------------------------------------
// Datagram, UDP
void TDgramBlockSocket::Connect(const std::string& IP, const std::string& Port) {
    ResetLastError();
    TVarSin sin{};
    if (SetSin(sin, IP, Port) == 0) {
        if (Sock < 0)
            CreateSocketFor(SinFamily(sin));
        if (FLastError == 0) {
            RemoteSinAddr = sin;
            GetSinLocal();
            DoStatus(HR_Connect, IP + ":" + Port);
        }
    }
    ExceptCheck();
}

int TDgramBlockSocket::SendBuffer(const void* Data, int Length) {
    return SendBufferTo(Data, Length);
}

int TDgramBlockSocket::RecvBuffer(void* Data, int Length) {
    return RecvBufferFrom(Data, Length);
}

TUDPBlockSocket::TUDPBlockSocket() = default;

TUDPBlockSocket::~TUDPBlockSocket() = default;

int TUDPBlockSocket::GetSocketType() const {
    return SOCK_DGRAM;
}
int TUDPBlockSocket::GetSocketProtocol() const {
    return IPPROTO_UDP;
}

void TUDPBlockSocket::EnableBroadcast(bool Value) {
    DelayedOption({SOT_Broadcast, Value, 0});
}
void TUDPBlockSocket::SetMulticastTTL(int Value) {
    DelayedOption({SOT_MulticastTTL, true, Value});
}
void TUDPBlockSocket::EnableMulticastLoop(bool Value) {
    DelayedOption({SOT_MulticastLoop, Value, 0});
}

bool TUDPBlockSocket::UdpAssociation() {
    if (UsingProxy && SocksControlSock && SocksControlSock->Socket() >= 0)
        return true;
    if (Sock < 0)
        CreateSocketFor(IsSinIP6(RemoteSinAddr) ? AF_INET6 : AF_INET);
    if (FLastError != 0)
        return false;
    if (!IsBound) {
        TVarSin any{};
        any.sa.sa_family = SocketIP6 ? AF_INET6 : AF_INET;
        if (SockCheck(::bind(Sock, &any.sa, SizeOfVarSin(any))) != 0)
            return false;
        IsBound = true;
    }
    GetSinLocal();
    auto control = std::make_unique<TTCPBlockSocket>();
    control->Owner = Owner;
    control->ConnectionTimeout = ConnectionTimeout;
    control->SocksUsername = SocksUsername;
    control->SocksPassword = SocksPassword;
    control->SocksTimeout = SocksTimeout;
    control->SocksType = ST_Socks5;
    control->Connect(SocksIP, SocksPort);
    bool ok = control->LastError() == 0 &&
              control->SocksRequest(3, GetLocalSinIP(), std::to_string(GetLocalSinPort()));
    if (ok) {
        std::string relayIP = control->SocksResponseIP();
        if (relayIP.empty() || relayIP == "0.0.0.0" || relayIP == "::")
            relayIP = SocksIP;
        ok = ResolveSockAddr(SocksRelaySin, relayIP, control->SocksResponsePort(), PreferIP4, SOCK_DGRAM,
                             IPPROTO_UDP, SocketIP6 ? AF_INET6 : AF_INET) == 0;
    }
    if (!ok) {
        FLastError = WSANO_RECOVERY;
        return false;
    }
    SocksControlSock = std::move(control);
    UsingProxy = true;
    return true;
}

int TUDPBlockSocket::SendBufferTo(const void* Data, int Length) {
    if (SocksIP.empty())
        return TBlockSocket::SendBufferTo(Data, Length);
    ResetLastError();
    int sent = 0;
    if (!CheckStop() && UdpAssociation()) {
        // The header names the destination by its address, whatever the proxy resolves for TCP.
        const TSocksType savedType = SocksType;
        SocksType = ST_Socks5;
        const bool savedResolver = SocksResolver;
        SocksResolver = false;
        TSocksRequest target;
        const bool known =
            SocksTarget(0, GetSinIP(RemoteSinAddr), std::to_string(GetSinPort(RemoteSinAddr)), target);
        SocksType = savedType;
        SocksResolver = savedResolver;
        std::string datagram = std::string("\x00\x00\x00", 3) + (known ? SocksAddressField(target) : "");
        if (FLastError == 0) {
            datagram.append(static_cast<const char*>(Data), static_cast<std::size_t>(Length));
            const int n = RawSendTo(datagram.data(), static_cast<int>(datagram.size()), SocksRelaySin);
            sent = n < 0 ? 0 : std::max(0, n - static_cast<int>(datagram.size()) + Length);
            SendCount += static_cast<uint64_t>(sent);
            DoStatus(HR_WriteCount, std::to_string(sent));
        }
    }
    ExceptCheck();
    return sent;
}

std::size_t TUDPBlockSocket::SocksUdpHeader(const std::string& Datagram, TVarSin& Origin) {
    // Reserved (2), fragment (1, only unfragmented datagrams are taken), address type, address, port.
    ClearSin(Origin);
    if (Datagram.size() < 4 || Datagram[2] != 0)
        return 0;
    const uint8_t type = static_cast<uint8_t>(Datagram[3]);
    if (type == 1 && Datagram.size() >= 10) {
        Origin.sin.sin_family = AF_INET;
        std::memcpy(&Origin.sin.sin_addr, Datagram.data() + 4, 4);
        Origin.sin.sin_port = htons(DecodeInt(Datagram, 8));
        return 10;
    }
    if (type == 4 && Datagram.size() >= 22) {
        Origin.sin6.sin6_family = AF_INET6;
        std::memcpy(&Origin.sin6.sin6_addr, Datagram.data() + 4, 16);
        Origin.sin6.sin6_port = htons(DecodeInt(Datagram, 20));
        return 22;
    }
    // A named origin is not looked up for every datagram; the caller keeps the remote address.
    if (type == 3 && Datagram.size() >= 5 && Datagram.size() >= 7u + static_cast<uint8_t>(Datagram[4]))
        return 7u + static_cast<uint8_t>(Datagram[4]);
    return 0;
}

int TUDPBlockSocket::RecvBufferFrom(void* Data, int Length) {
    if (!UsingProxy)
        return TBlockSocket::RecvBufferFrom(Data, Length);
    std::string datagram(static_cast<std::size_t>(MaxPacket), '\0');
    TVarSin from{};
    const int n = RawRecvFrom(datagram.data(), MaxPacket, from);
    if (n < 0)
        return 0;
    datagram.resize(static_cast<std::size_t>(n));
    // Only the relay speaks on this socket while the association stands; anything else is dropped.
    if (GetSinIP(from) != GetSinIP(SocksRelaySin))
        return 0;
    TVarSin origin{};
    const std::size_t used = SocksUdpHeader(datagram, origin);
    if (used == 0)
        return 0;
    if (SinFamily(origin) != AF_UNSPEC)
        RemoteSinAddr = origin;
    const int payload = std::min(Length, n - static_cast<int>(used));
    std::memcpy(Data, datagram.data() + used, static_cast<std::size_t>(payload));
    CountRead(payload, Data);
    return payload;
}

// ---------------------------------------------------------------------------------------------------
// ICMP
int TICMPBlockSocket::GetSocketType() const {
    return SOCK_RAW;
}
int TICMPBlockSocket::GetSocketProtocol() const {
    return SocketIP6 ? static_cast<int>(IPPROTO_ICMPV6) : static_cast<int>(IPPROTO_ICMP);
}

namespace {

// ICMP_FILTER of <linux/icmp.h>, whose structures clash with <netinet/ip_icmp.h>.
constexpr int RawIcmpFilter = 1;

void PassOnlyEchoAnswers(int Handle, int AddressFamily) {
    if (AddressFamily == AF_INET6) {
        icmp6_filter filter;
        ICMP6_FILTER_SETBLOCKALL(&filter);
        for (int type : {ICMP6_DST_UNREACH, ICMP6_PACKET_TOO_BIG, ICMP6_TIME_EXCEEDED, ICMP6_PARAM_PROB,
                         ICMP6_ECHO_REPLY})
            ICMP6_FILTER_SETPASS(type, &filter);
        ::setsockopt(Handle, IPPROTO_ICMPV6, ICMP6_FILTER, &filter, sizeof(filter));
        return;
    }
    // The IPv4 filter is a mask of the types to drop.
    uint32_t drop = ~0u;
    for (int type :
         {ICMP_ECHOREPLY, ICMP_DEST_UNREACH, ICMP_SOURCE_QUENCH, ICMP_TIME_EXCEEDED, ICMP_PARAMETERPROB})
        drop &= ~(1u << type);
    ::setsockopt(Handle, SOL_RAW, RawIcmpFilter, &drop, sizeof(drop));
}

} // namespace

int TICMPBlockSocket::MakeSocketHandle(int AddressFamily) {
    const int protocol =
        AddressFamily == AF_INET6 ? static_cast<int>(IPPROTO_ICMPV6) : static_cast<int>(IPPROTO_ICMP);
    const int flags = SOCK_NONBLOCK | SOCK_CLOEXEC;
    if (IcmpKind != IK_Raw) {
        const int handle = ::socket(AddressFamily, SOCK_DGRAM | flags, protocol);
        if (handle >= 0) {
            // Errors that quote our requests (time exceeded, unreachable) come through the error queue.
            const int on = 1;
            if (AddressFamily == AF_INET6)
                ::setsockopt(handle, IPPROTO_IPV6, IPV6_RECVERR, &on, sizeof(on));
            else
                ::setsockopt(handle, IPPROTO_IP, IP_RECVERR, &on, sizeof(on));
            MadeKind = IK_Datagram;
            return handle;
        }
        if (IcmpKind == IK_Datagram)
            return -1;
    }
    const int handle = ::socket(AddressFamily, SOCK_RAW | flags, protocol);
    if (handle < 0)
        return handle;
    MadeKind = IK_Raw;
    if (EchoAnswersOnly)
        PassOnlyEchoAnswers(handle, AddressFamily);
    return handle;
}

bool TICMPBlockSocket::OpenFor(int AddressFamily) {
    ResetLastError();
    if (Sock < 0)
        CreateSocketFor(AddressFamily);
    return FLastError == 0 && Sock >= 0;
}

char* TICMPBlockSocket::Space() {
    if (!FSpace)
        FSpace = std::make_unique_for_overwrite<char[]>(static_cast<std::size_t>(MaxPacket));
    return FSpace.get();
}

std::size_t TICMPBlockSocket::IcmpHeaderOffset(const std::string& Packet) const {
    if (MadeKind != IK_Raw || SocketIP6 || Packet.empty())
        return 0;
    const std::size_t length = static_cast<std::size_t>(static_cast<uint8_t>(Packet[0]) & 0x0f) * 4;
    return std::min(length, Packet.size());
}

int TICMPBlockSocket::DatagramEchoId() {
    if (Sock < 0 || MadeKind != IK_Datagram)
        return -1;
    GetSinLocal();
    if (GetSinPort(LocalSinAddr) == 0) {
        // Binding to port 0 makes the kernel choose the identifier now rather than at the first send.
        TVarSin any{};
        any.sa.sa_family = SocketIP6 ? AF_INET6 : AF_INET;
        if (::bind(Sock, &any.sa, SizeOfVarSin(any)) == 0)
            IsBound = true;
        GetSinLocal();
    }
    return GetSinPort(LocalSinAddr);
}

std::string TICMPBlockSocket::ReadErrorQueue() {
    char* original = Space();
    alignas(cmsghdr) char control[512];
    TVarSin from{};
    iovec io{original, static_cast<std::size_t>(MaxPacket)};
    msghdr msg{};
    msg.msg_name = &from;
    msg.msg_namelen = sizeof(from);
    msg.msg_iov = &io;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof(control);
    const ssize_t n = ::recvmsg(Sock, &msg, MSG_ERRQUEUE | MSG_DONTWAIT);
    if (n < 0) {
        SockCheck(-1);
        return "";
    }
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c != nullptr; c = CMSG_NXTHDR(&msg, c)) {
        const bool v4 = c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_RECVERR;
        const bool v6 = c->cmsg_level == IPPROTO_IPV6 && c->cmsg_type == IPV6_RECVERR;
        // A control message too short for its record is no record.
        if ((!v4 && !v6) || c->cmsg_len < CMSG_LEN(sizeof(sock_extended_err)))
            continue;
        sock_extended_err err{};
        std::memcpy(&err, CMSG_DATA(c), sizeof(err));
        if (err.ee_origin != SO_EE_ORIGIN_ICMP && err.ee_origin != SO_EE_ORIGIN_ICMP6) {
            FLastError = SocketErrorFromErrno(static_cast<int>(err.ee_errno));
            return "";
        }
        // The offender's address follows the record inside the same control message.
        const std::size_t recordEnd = CMSG_LEN(sizeof(sock_extended_err));
        const std::size_t room = c->cmsg_len - recordEnd;
        TVarSin offender{};
        std::memcpy(&offender, CMSG_DATA(c) + sizeof(sock_extended_err), std::min(room, sizeof(offender)));
        if (SinFamily(offender) != AF_UNSPEC)
            RemoteSinAddr = offender;
        std::string packet(8, '\0');
        packet[0] = static_cast<char>(err.ee_type);
        packet[1] = static_cast<char>(err.ee_code);
        packet.append(original, static_cast<std::size_t>(n));
        CountRead(static_cast<int>(packet.size()), packet.data());
        return packet;
    }
    return "";
}

std::string TICMPBlockSocket::RecvSystemPacket(int Timeout) {
    if (Sock < 0) {
        FLastError = WSAENOTSOCK;
        return "";
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(Timeout, 0));
    for (;;) {
        short revents = 0;
        const int ready = WaitFor(POLLIN, Timeout < 0 ? -1 : MsLeft(deadline), &revents);
        if (ready < 0)
            return "";
        if (ready == 0) {
            FLastError = WSAETIMEDOUT;
            return "";
        }
        if (MadeKind == IK_Datagram && (revents & POLLERR)) {
            std::string packet = ReadErrorQueue();
            if (!packet.empty() || FLastError != 0)
                return packet;
            continue;
        }
        const int n = RawRecvFrom(Space(), MaxPacket, RemoteSinAddr);
        if (n >= 0) {
            CountRead(n, Space());
            return std::string(Space(), static_cast<std::size_t>(n));
        }
        if (MadeKind != IK_Datagram) {
            if (FLastError != WSAEWOULDBLOCK)
                return "";
            FLastError = 0;
            continue;
        }
        // A pending error is reported by the plain receive as well; take the queued message instead.
        const int receiveError = FLastError;
        FLastError = 0;
        std::string packet = ReadErrorQueue();
        if (!packet.empty())
            return packet;
        FLastError = 0;
        if (receiveError != WSAEWOULDBLOCK) {
            FLastError = receiveError;
            return "";
        }
    }
}
