// Blocking sockets with time-outs for the protocol clients: the TCP, UDP and ICMP socket classes, SOCKS
// and HTTP CONNECT proxying, the TLS plug-in slot and TNetClient, the base of the clients. Every wait is
// bounded by its time-out and can be cancelled from another thread.
#pragma once

#include "net/netsock.h"
#include "net/netutil.h"
#include "net/sockshandshake.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

class TBlockSocket;
class TTCPBlockSocket;

enum THookSocketReason {
    HR_ResolvingBegin,
    HR_ResolvingEnd,
    HR_SocketCreate,
    HR_SocketClose,
    HR_Bind,
    HR_Connect,
    HR_CanRead,
    HR_CanWrite,
    HR_Listen,
    HR_Accept,
    HR_ReadCount,
    HR_WriteCount,
    HR_Wait,
    HR_Error
};

using THookSocketStatus =
    std::function<void(TBlockSocket& Sender, THookSocketReason Reason, const std::string& Value)>;
using THookDataFilter = std::function<void(TBlockSocket& Sender, std::string& Value)>;
using THookCreateSocket = std::function<void(TBlockSocket& Sender)>;
using THookMonitor = std::function<void(TBlockSocket& Sender, bool Writing, const void* Buffer, int Length)>;
using THookHeartbeat = std::function<void(TBlockSocket& Sender)>;
using THookAfterConnect = std::function<void(TBlockSocket& Sender)>;

// Raised only when a socket's RaiseExcept is on: "TCP/IP Socket error %d: %s".
class ENetError : public std::runtime_error {
public:
    ENetError(int Code, const std::string& Text);
    int ErrorCode;
    std::string ErrorMessage;
};

enum TSocketOptionKind {
    SOT_Linger,
    SOT_RecvBuff,
    SOT_SendBuff,
    SOT_NonBlock,
    SOT_RecvTimeout,
    SOT_SendTimeout,
    SOT_Reuse,
    SOT_TTL,
    SOT_Broadcast,
    SOT_MulticastTTL,
    SOT_MulticastLoop
};

// An option given before the socket exists; applied right after it is created, in order.
struct TNetOption {
    TSocketOptionKind Option;
    bool Enabled = false;
    int Value = 0;
};

// A cancellation signal that may be shared by all sockets of one worker: raising it (from any thread)
// wakes every wait of those sockets, which then fail with 10053 until it is reset.
class TNetCancel {
public:
    TNetCancel();
    ~TNetCancel();
    TNetCancel(const TNetCancel&) = delete;
    TNetCancel& operator=(const TNetCancel&) = delete;
    void Raise();
    void Reset();
    bool Raised() const { return Flag.load(); }
    int Handle() const { return Fd; } // readable while raised

private:
    int Fd = -1;
    std::atomic<bool> Flag{false};
};

// Base of the protocol clients (SNMP, ICMP echo, HTTP).
class TNetClient {
public:
    virtual ~TNetClient() = default;
    std::string TargetHost = "127.0.0.1";
    std::string TargetPort = "0";
    std::string IPInterface = "0.0.0.0";
    int Timeout = 5000;
    std::string UserName;
    std::string Password;
    // When set, raising it cancels every wait of the sockets this client owns (their Owner is the client).
    std::shared_ptr<TNetCancel> Cancel;
};

class TBlockSocket {
public:
    TBlockSocket();
    virtual ~TBlockSocket();
    TBlockSocket(const TBlockSocket&) = delete;
    TBlockSocket& operator=(const TBlockSocket&) = delete;

    // Published state.
    int Tag = 0;
    bool RaiseExcept = false;
    int MaxLineLength = 0;    // 0 = no limit
    int MaxSendBandwidth = 0; // bytes per second, 0 = no limit
    int MaxRecvBandwidth = 0;
    bool ConvertLineEnd = false;
    TSocketFamily Family = SF_Any;
    bool PreferIP4 = true;
    bool InterPacketTimeout = true;
    int SendMaxChunk = 65536;
    // Checked at every wait; ends the operation with 10053 and is cleared. From another thread use
    // AbortSocket, which also wakes a wait in progress.
    std::atomic<bool> StopFlag{false};
    int NonblockSendTimeout = 15000;
    int HeartbeatRate = 0;
    // Bound of a TCP connect in ms; 0: the Owner's Timeout, or 21000 without an owner.
    int ConnectionTimeout = 0;
    TNetClient* Owner = nullptr;
    // Besides the Owner's: raising this signal (from any thread) cancels every wait like AbortSocket.
    const TNetCancel* CancelSignal = nullptr;
    THookSocketStatus OnStatus;
    THookDataFilter OnReadFilter;
    THookCreateSocket OnCreateSocket;
    THookMonitor OnMonitor;
    THookHeartbeat OnHeartbeat;

    void SetMaxBandwidth(int Value) { MaxSendBandwidth = MaxRecvBandwidth = Value; }

    // Thread-safe cancel: every wait in progress and every later operation on this object fails with
    // 10053 at once; the owner's thread then closes the socket without draining it.
    void AbortSocket();
    bool Aborted() const { return AbortFlag.load(); }

    // The system socket handle (-1 = none); SetSocket adopts an existing one (e.g. from Accept).
    int Socket() const { return Sock; }
    virtual void SetSocket(int Handle);
    virtual void CloseSocket();

    void Bind(const std::string& IP, const std::string& Port);
    virtual void Connect(const std::string& IP, const std::string& Port);
    virtual void Listen();
    // Waits (without limit, but cancellable) for a connection; returns its handle or -1.
    virtual int Accept();

    virtual int SendBuffer(const void* Buffer, int Length);
    void SendByte(uint8_t Data);
    void SendString(const std::string& Data);
    void SendInteger(int32_t Data);          // 4 bytes, least significant first
    void SendBlock(const std::string& Data); // 4-byte length (least significant first), then the bytes
    void SendStreamRaw(TMemoryStream& Stream);
    void SendStream(TMemoryStream& Stream);     // length prefix least significant first
    void SendStreamIndy(TMemoryStream& Stream); // length prefix most significant first

    // One receive from the system into Buffer; 0 with 10054 when the peer closed.
    virtual int RecvBuffer(void* Buffer, int Length);
    // Exactly Length bytes (fewer on error).
    int RecvBufferEx(void* Buffer, int Length, int Timeout);
    std::string RecvBufferStr(int Length, int Timeout);
    uint8_t RecvByte(int Timeout);
    int32_t RecvInteger(int Timeout);
    std::string RecvString(int Timeout);
    std::string RecvTerminated(int Timeout, const std::string& Terminator);
    virtual std::string RecvPacket(int Timeout);
    std::string RecvBlock(int Timeout);
    void RecvStreamRaw(TMemoryStream& Stream, int Timeout);
    void RecvStreamSize(TMemoryStream& Stream, int Timeout, int64_t Size);
    void RecvStream(TMemoryStream& Stream, int Timeout);
    void RecvStreamIndy(TMemoryStream& Stream, int Timeout);
    int PeekBuffer(void* Buffer, int Length);
    // The next byte without consuming it; 0 with LastError set when none arrived.
    uint8_t PeekByte(int Timeout);
    // Bytes the system holds for reading, at most 65536.
    virtual int WaitingData();
    // WaitingData plus what the receive buffer holds.
    int WaitingDataEx();
    // Drops everything unread (buffer and system).
    void Purge();

    // Readiness waits; Timeout -1 waits without limit (still cancellable).
    bool CanRead(int Timeout);
    bool CanReadEx(int Timeout);
    bool CanWrite(int Timeout);

    virtual int SendBufferTo(const void* Buffer, int Length);
    virtual int RecvBufferFrom(void* Buffer, int Length);

    virtual std::string GetLocalSinIP();
    virtual std::string GetRemoteSinIP();
    virtual int GetLocalSinPort();
    virtual int GetRemoteSinPort();
    void GetSinLocal();
    void GetSinRemote();
    void GetSins();
    // Sets the remote address directly (datagram peers).
    void SetRemoteSin(const std::string& IP, const std::string& Port);
    const TVarSin& LocalSin() const { return LocalSinAddr; }
    const TVarSin& RemoteSin() const { return RemoteSinAddr; }
    bool IP6() const { return SocketIP6; }

    int LastError() const { return FLastError; }
    const std::string& LastErrorDesc() const { return FLastErrorDesc; }
    void ResetLastError();
    static std::string GetErrorDesc(int ErrorCode);
    virtual std::string GetErrorDescEx();

    virtual int GetSocketType() const = 0;
    virtual int GetSocketProtocol() const = 0;

    // Options: applied at once when the socket exists, else right after it is created.
    void SetLinger(bool Enable, int Milliseconds);
    int SizeRecvBuffer() const;
    void SetSizeRecvBuffer(int Size);
    int SizeSendBuffer() const;
    void SetSizeSendBuffer(int Size);
    bool NonBlockMode() const { return NonBlocking; }
    void SetNonBlockMode(bool Value);
    void SetRecvTimeout(int Milliseconds);
    void SetSendTimeout(int Milliseconds);
    void EnableReuse(bool Value);
    int TTL() const;
    void SetTTL(int Value);

    uint64_t RecvCounter() const { return RecvCount; }
    uint64_t SendCounter() const { return SendCount; }

    // Name helpers in the socket's family rules.
    std::vector<std::string> ResolveNameToIP(const std::string& Name); // {"0.0.0.0"} when nothing found
    std::string ResolveName(const std::string& Name);
    int ResolvePort(const std::string& Port);
    std::string ResolveIPToName(const std::string& IP);
    std::string LocalName(); // "127.0.0.1" when empty

protected:
    friend class TSocksBlockSocket;
    void DoStatus(THookSocketReason Reason, const std::string& Value);
    void SilenceHooks();
    // Records the error of a system call result (-1: errno) and reports it; returns the error number.
    int SockCheck(int SockResult);
    void SetError(int Code); // also reports and (with RaiseExcept) raises
    void ExceptCheck();
    void CreateSocketFor(int AddressFamily);
    // The system socket for the class's type and protocol, non-blocking (every wait is our own poll).
    virtual int MakeSocketHandle(int AddressFamily);
    int DoConnect(const std::string& IP, const std::string& Port);
    std::string PacketInternal(int Timeout);
    std::size_t Buffered() const;
    void ConsumeBuffer(std::size_t Count);
    // One packet from the system, filtered and with the cut line end handled.
    std::string ReadSystem(int Timeout);
    std::string BufferStrInternal(int Length, int Timeout);
    std::string TerminatedInternal(int Timeout, const std::string& Terminator);
    int SendInternal(const void* Buffer, int Length);
    int ConnectBound() const;
    int FamilyToAF() const;
    int SetSin(TVarSin& Sin, const std::string& IP, const std::string& Port);
    void ApplyOption(const TNetOption& Value);
    void DelayedOption(const TNetOption& Value);
    // Polls the socket for Events; 1 ready, 0 time-out, -1 cancelled or failed (LastError set).
    int WaitFor(short Events, int Timeout, short* Revents = nullptr);
    bool CheckStop(); // true (LastError 10053) when stopped or aborted
    void LimitBandwidth(int Length, int MaxB, uint32_t& Next);
    int RawSend(const void* Buffer, int Length);
    int RawSendTo(const void* Buffer, int Length, const TVarSin& To);
    // Sends once, retrying on EINTR and waiting on a full buffer; To null: the connected peer.
    int SendWithRetry(const void* Buffer, int Length, const TVarSin* To);
    int RawRecv(void* Buffer, int Length);
    int RawRecvFrom(void* Buffer, int Length, TVarSin& From);
    // A packet straight from the system (buffer not looked at).
    virtual std::string RecvSystemPacket(int Timeout);
    void ApplyConvertLineEnd(std::string& Packet);
    void DrainOnClose();
    int ConnectWait(const TVarSin& To);
    void InternalClose();
    void CountRead(int Length, const void* Buffer);

    int Sock = -1;
    int FLastError = 0;
    std::string FLastErrorDesc;
    std::string Buffer; // received; the bytes from BufferPos on are not yet handed out
    std::size_t BufferPos = 0;
    bool CutCR = false; // last line ended in a lone CR at the end of the data
    bool CutLF = false;
    bool IsBound = false;
    bool QuietChecks = false; // steps inside one operation leave the report to the operation
    bool SocketIP6 = false;
    TSocketFamily SavedFamily = SF_Any;
    bool NonBlocking = false;
    int SendTimeoutMs = 0;
    int TTLValue = -1;
    TVarSin LocalSinAddr{};
    TVarSin RemoteSinAddr{};
    uint64_t RecvCount = 0;
    uint64_t SendCount = 0;
    uint32_t NextSend = 0;
    uint32_t NextRecv = 0;
    std::vector<TNetOption> DelayedOptions;
    std::atomic<bool> AbortFlag{false};
    int AbortFd = -1;
};

enum TSocksType { ST_Socks5, ST_Socks4 };

class TSocksBlockSocket : public TBlockSocket {
public:
    std::string SocksIP; // empty = no proxy
    std::string SocksPort = "1080";
    std::string SocksUsername;
    std::string SocksPassword;
    int SocksTimeout = 60000;
    bool SocksResolver = true;
    TSocksType SocksType = ST_Socks5;

    bool UsingSocks() const { return UsingProxy; }
    int SocksLastError() const { return SocksReplyCode; }
    const std::string& SocksResponseIP() const { return ResponseIP; }
    const std::string& SocksResponsePort() const { return ResponsePort; }

    // The proxy exchange on an already connected socket (the shared SOCKS handshake): greeting and
    // authentication, the request Cmd for IP:Port, and its reply. False with LastError set (10061
    // refused, 10022 a name, user or password too long for the protocol, 10060/10054 from the receive).
    bool SocksRequest(uint8_t Cmd, const std::string& IP, const std::string& Port);

protected:
    // What the proxy is asked for IP:Port: the address, the name it resolves, or the address looked up
    // here (SocksResolver off); false with LastError set.
    bool SocksTarget(uint8_t Cmd, const std::string& IP, const std::string& Port, TSocksRequest& Request);
    // Refuses (10022) fields that do not fit the protocol before anything is sent.
    bool SocksCheckFields(const std::string& IP);
    bool UsingProxy = false;
    int SocksReplyCode = 0;
    std::string ResponseIP;
    std::string ResponsePort;
    bool Bypass = false;
};

enum TSSLType { LT_all, LT_SSLv2, LT_SSLv3, LT_TLSv1, LT_TLSv1_1, LT_TLSv1_2, LT_TLSv1_3, LT_SSHv2 };

// The TLS plug-in slot of TCP sockets. This base refuses every action.
class TCustomSSL {
public:
    explicit TCustomSSL(TTCPBlockSocket& Value) : Socket(Value) {}
    virtual ~TCustomSSL() = default;

    TSSLType SSLType = LT_all;
    std::string KeyPassword, Username, Password, Ciphers, CertificateFile, PrivateKeyFile, Certificate,
        PrivateKey, PFX, PFXfile, TrustCertificateFile, TrustCertificate, CertCA, CertCAFile;
    bool VerifyCert = false;
    std::string SSHChannelType, SSHChannelArg1, SSHChannelArg2;
    int CertComplianceLevel = -1;
    std::function<bool(TCustomSSL& Sender)> OnVerifyCert;
    std::string SNIHost;

    bool SSLEnabled() const { return Enabled; }
    int LastError() const { return FLastError; }
    const std::string& LastErrorDesc() const { return FLastErrorDesc; }

    virtual void SetCertCAFile(const std::string& Value) { CertCAFile = Value; }
    virtual void Assign(const TCustomSSL& Value);
    virtual std::string LibVersion() { return ""; }
    virtual std::string LibName() { return ""; }
    virtual bool Connect();
    virtual bool Accept();
    virtual bool Shutdown();
    virtual bool BiShutdown();
    virtual int SendBuffer(const void* Buffer, int Length);
    virtual int RecvBuffer(void* Buffer, int Length);
    virtual int WaitingData();
    virtual std::string GetSSLVersion() { return ""; }
    virtual std::string GetPeerSubject() { return ""; }
    virtual std::string GetPeerSerialNo() { return ""; }
    virtual std::string GetPeerIssuer() { return ""; }
    virtual std::string GetPeerName() { return ""; }
    virtual std::string GetPeerNameHash() { return ""; }
    virtual std::string GetPeerFingerprint() { return ""; }
    virtual std::string GetCertInfo() { return ""; }
    virtual std::string GetCipherName() { return ""; }
    virtual int GetCipherBits() { return 0; }
    virtual int GetCipherAlgBits() { return 0; }
    virtual int GetVerifyCert() { return 1; }

protected:
    void NotCompiled();
    TTCPBlockSocket& Socket;
    bool Enabled = false;
    int FLastError = 0;
    std::string FLastErrorDesc;
};

// The only plug-in the program ships: no TLS.
class TSSLNone : public TCustomSSL {
public:
    using TCustomSSL::TCustomSSL;
    std::string LibVersion() override { return "Without SSL support"; }
    std::string LibName() override { return "ssl_none"; }
};

class TTCPBlockSocket : public TSocksBlockSocket {
public:
    TTCPBlockSocket();
    ~TTCPBlockSocket() override;

    std::string HTTPTunnelIP; // empty = no tunnel
    std::string HTTPTunnelPort;
    std::string HTTPTunnelUser;
    std::string HTTPTunnelPass;
    int HTTPTunnelTimeout = 30000;
    THookAfterConnect OnAfterConnect;

    bool HTTPTunnel() const { return TunnelOpen; }
    TCustomSSL& SSL() { return *FSSL; }

    void CloseSocket() override;
    void Connect(const std::string& IP, const std::string& Port) override;
    void Listen() override;
    int Accept() override;
    int SendBuffer(const void* Buffer, int Length) override;
    int RecvBuffer(void* Buffer, int Length) override;
    int WaitingData() override;
    std::string GetLocalSinIP() override;
    std::string GetRemoteSinIP() override;
    int GetLocalSinPort() override;
    int GetRemoteSinPort() override;
    std::string GetErrorDescEx() override;
    int GetSocketType() const override;
    int GetSocketProtocol() const override;

    // Starts TLS on the connected socket (10091 when the plug-in cannot).
    void SSLDoConnect();
    void SSLDoShutdown();
    bool SSLAcceptConnection();

protected:
    void SocksDoConnect(const std::string& IP, const std::string& Port);
    void HTTPTunnelDoConnect(const std::string& IP, const std::string& Port);
    // Reads the proxy's answer to CONNECT: the status line and the header block up to its empty line.
    bool HTTPTunnelReadReply();
    void DoAfterConnect();
    void DirectConnect(const std::string& IP, const std::string& Port);

    std::unique_ptr<TCustomSSL> FSSL;
    bool TunnelOpen = false;
    std::string TunnelRemoteIP;
    std::string TunnelRemotePort;
};

class TDgramBlockSocket : public TSocksBlockSocket {
public:
    void Connect(const std::string& IP, const std::string& Port) override;
    int SendBuffer(const void* Buffer, int Length) override;
    int RecvBuffer(void* Buffer, int Length) override;
};

class TUDPBlockSocket : public TDgramBlockSocket {
public:
    TUDPBlockSocket();
    ~TUDPBlockSocket() override;

    void EnableBroadcast(bool Value);
    void SetMulticastTTL(int Value);
    void EnableMulticastLoop(bool Value);
    int SendBufferTo(const void* Buffer, int Length) override;
    int RecvBufferFrom(void* Buffer, int Length) override;
    int GetSocketType() const override;
    int GetSocketProtocol() const override;

protected:
    bool UdpAssociation();
    // Length of the relay header in front of a datagram (0: not a relay datagram) and the origin it
    // names (cleared when it names the origin by host name).
    static std::size_t SocksUdpHeader(const std::string& Datagram,
                                      TVarSin& Origin); // SOCKS5 UDP association over the control connection
    std::unique_ptr<TTCPBlockSocket> SocksControlSock;
    TVarSin SocksRelaySin{};
};

// How an ICMP socket is made: a datagram ICMP socket (no rights needed when the group is allowed by
// net.ipv4.ping_group_range; the kernel sets the identifier and checksum and hands out ICMP without
// the IP header) or a raw socket (needs CAP_NET_RAW; IPv4 packets arrive with their IP header).
enum TIcmpKind { IK_Auto, IK_Datagram, IK_Raw };

// Receiving on a datagram ICMP socket also hands out the ICMP errors that quote its requests (time
// exceeded, unreachable, ...), which the kernel queues apart: as a packet of type, code, six zero bytes
// and the quoted request, with the reporting node as remote address, the same shape an ICMP error has
// on a raw socket after the IP header.
class TICMPBlockSocket : public TDgramBlockSocket {
public:
    // Which kind to make; IK_Auto tries the datagram kind first, then raw.
    TIcmpKind IcmpKind = IK_Auto;
    // A raw socket made for echo lets the kernel drop every ICMP message that can never answer an
    // echo (requests, our own looped-back one included, router and neighbour messages).
    bool EchoAnswersOnly = false;
    // Makes the socket for AF_INET or AF_INET6 now, before any bind or connect; false (LastError set)
    // when neither kind may be opened.
    bool OpenFor(int AddressFamily);
    // The kind of the socket made (IK_Auto while none exists).
    TIcmpKind SocketKind() const { return MadeKind; }
    // Offset of the ICMP header in a packet received from this socket: the IPv4 header's length on a
    // raw IPv4 socket, else 0.
    std::size_t IcmpHeaderOffset(const std::string& Packet) const;
    // The identifier the kernel writes into echo requests of a datagram socket (its local port); -1
    // for raw sockets or before the first send.
    int DatagramEchoId();

    int GetSocketType() const override;
    int GetSocketProtocol() const override;

protected:
    int MakeSocketHandle(int AddressFamily) override;
    std::string RecvSystemPacket(int Timeout) override;
    std::string ReadErrorQueue();
    TIcmpKind MadeKind = IK_Auto;

private:
    // Receive space for one packet, kept between receives: filling 64 KiB afresh for every packet
    // would cost more than an echo on loopback.
    std::unique_ptr<char[]> FSpace;
    char* Space();
};
