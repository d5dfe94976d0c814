// ICMP echo client: one echo request to a host and its answer, over ICMP datagram sockets where the
// system permits them and raw ICMP sockets otherwise (one shared by the echoes of the default TTL
// in flight at one time), for IPv4 and IPv6.
#pragma once

#include "net/blcksock.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/socket.h>

// Outcome kind of one echo exchange.
enum TICMPError {
    IE_NoError,
    IE_Other,
    IE_TTLExceed,
    IE_UnreachOther,
    IE_UnreachRoute,
    IE_UnreachAdmin,
    IE_UnreachAddr,
    IE_UnreachPort
};

// The text callers show for an outcome; empty exactly for IE_NoError.
std::string ICMPErrorText(TICMPError Error);

// How an echo goes out. Datagram ICMP sockets need the caller's group in the network namespace's
// ping_group_range; raw sockets need CAP_NET_RAW.
enum TIcmpSocketKind { ISK_None, ISK_Datagram, ISK_Raw };

// The kind an echo to Family (AF_INET or AF_INET6) would use now, judged by opening a socket with the
// calling thread's rights in its network namespace (datagram first).
TIcmpSocketKind IcmpSocketKindFor(int Family);
// True when either kind is permitted for IPv4 or for IPv6; the program tells the operator at start
// when not, and skips the echo checks until echo can be sent.
bool IcmpEchoAvailable();

// What a received packet looks like: a raw IPv4 socket hands out the IP header too, a raw IPv6 socket
// and a datagram socket only the ICMP message.
enum TIcmpPacketForm { IPF_Raw4, IPF_Raw6, IPF_Dgram4, IPF_Dgram6 };

// The first 8 bytes of a request (type, code, checksum, identifier, sequence) as they went on the wire.
// On a datagram socket the identifier is the one the kernel wrote (the socket's local port).
struct TIcmpRequestSignature {
    std::array<uint8_t, 8> Bytes{};
    bool IPv6 = false;
};

// A received packet that answers the request.
struct TIcmpReplyMatch {
    bool Matched = false;
    uint8_t Type = 0;
    uint8_t Code = 0;
};

// Decides whether Data answers Request: an echo reply with the request's identifier and sequence, or an
// ICMP error message whose quoted packet holds the request's header. Never reads outside Data.
TIcmpReplyMatch MatchIcmpReply(TIcmpPacketForm Form, const uint8_t* Data, std::size_t Length,
                               const TIcmpRequestSignature& Request);
// The same for an entry of a datagram socket's error queue: Type and Code from the queue entry,
// Payload the quoted echo header the kernel hands out with it.
TIcmpReplyMatch MatchIcmpQueuedError(uint8_t Type, uint8_t Code, const uint8_t* Payload, std::size_t Length,
                                     const TIcmpRequestSignature& Request);

// The identifier (as the request wrote it, little-endian) of the echo request a raw socket's packet
// answers: an echo reply's own, or the one quoted by an ICMP error behind a plain IP header; -1 for
// anything else. Only a hint for handing the packet out: MatchIcmpReply still decides.
int IcmpAnsweredIdentifier(bool IPv6, const uint8_t* Data, std::size_t Length);

// The identifier and sequence (as the request wrote them, little-endian) of the echo request a
// received packet answers, read as IcmpAnsweredIdentifier does; Found false for anything else.
struct TIcmpAnsweredEcho {
    bool Found = false;
    uint16_t Id = 0;
    uint16_t Seq = 0;
};
TIcmpAnsweredEcho IcmpAnsweredEcho(TIcmpPacketForm Form, const uint8_t* Data, std::size_t Length);

// An echo request of the default form: the header, then PacketSize bytes of Fill, with the IPv4
// checksum put in (the kernel writes the ICMPv6 one, and every checksum on datagram sockets).
std::string IcmpEchoRequest(bool IPv6, int PacketSize, uint16_t Id, uint16_t Seq, char Fill);
// The signature MatchIcmpReply compares a request's answers with.
TIcmpRequestSignature IcmpRequestSignature(const std::string& Request, bool IPv6);

// The TTL and receive space of a socket that many echoes share at once.
constexpr int SharedEchoTTL = 128;
// Opens Sock (of the kind its IcmpKind asks for) for Family as the echoes of the default TTL share
// it: answers only, room for a burst of answers of every echo in flight. Returns 0 or the socket
// layer's error (10013 when neither kind is permitted).
int OpenSharedEchoSocket(TICMPBlockSocket& Sock, int Family);
// Whether Sin may be an echo target: the any address would be answered by this machine itself.
bool IcmpUsableTarget(const TVarSin& Sin);

// One echo request with a chosen TTL to a resolved target, the primitive under TPINGSend.Ping that
// the tools' ping and traceroute use as well.
struct TIcmpEchoParams {
    TVarSin Target{};
    // Local address to send from; empty or an unspecified address lets the system choose.
    std::string Source;
    int TTL = 128;
    int TimeoutMs = 5000;
    // Payload bytes after the 12-byte echo header, each PayloadFill.
    int PacketSize = 32;
    char PayloadFill = '7';
    uint16_t Seq = 1;
    // Optional: raising it (from any thread) ends the exchange at once with 10053.
    const TNetCancel* Cancel = nullptr;
};

struct TIcmpEchoResult {
    // A matching ICMP message (echo reply or error) arrived in time.
    bool Answered = false;
    // The request reached the network layer (a socket was opened and the send accepted).
    bool Sent = false;
    TIcmpSocketKind Kind = ISK_None;
    TICMPError Error = IE_Other;
    uint8_t Type = 0;
    uint8_t Code = 0;
    // Numeric address text of the node that answered.
    std::string From;
    int RoundTripMs = -1;
    // Socket error in the socket layer's numbering (10013 permission denied, 10053 cancelled, ...).
    int LastError = 0;
    uint16_t Id = 0;
    std::string Request;
    // The received datagram as the socket handed it out (for a queued error: its payload).
    std::string Reply;
};

TIcmpEchoResult IcmpEchoExchange(const TIcmpEchoParams& Params);

// Identifiers for raw-socket requests: one counter for the whole process, starting at a random value,
// so that concurrent echoes never share one. Values stay within 0..32766.
uint16_t NextIcmpId();

class TPINGSend : public TNetClient {
public:
    TPINGSend();
    ~TPINGSend() override;
    TPINGSend(const TPINGSend&) = delete;
    TPINGSend& operator=(const TPINGSend&) = delete;

    // One echo exchange; true when any ICMP answer matched (an error answer included).
    bool Ping(const std::string& Host);
    // Ends a running Ping from another thread at once by raising Cancel (made by the constructor; a
    // caller may put in one shared by all clients of its worker before pinging). While it stays raised
    // every Ping fails at once.
    void Abort();

    // The Internet checksum of Data as it is stored into the header.
    static uint16_t Checksum(const std::string& Data);
    // The ICMPv6 checksum: Data behind the IPv6 pseudo-header of Remote, Local and the length.
    static uint16_t Checksum6(const std::string& Data, const std::array<uint8_t, 16>& Remote,
                              const std::array<uint8_t, 16>& Local);
    static TICMPError TranslateReply(bool IPv6, uint8_t Type, uint8_t Code);
    // Status numbers of the system ICMP service (11000 range).
    static TICMPError TranslateStatus(uint32_t Status);

    int PacketSize = 32;
    int TTL = 128;

    const std::string& Buffer() const { return FBuffer; }
    int Seq() const { return FSeq; }
    int Id() const { return FId; }
    int PingTime() const { return FPingTime; }
    uint8_t IcmpEcho() const { return FIcmpEcho; }
    uint8_t IcmpEchoReply() const { return FIcmpEchoReply; }
    uint8_t IcmpUnreach() const { return FIcmpUnreach; }
    const std::string& ReplyFrom() const { return FReplyFrom; }
    uint8_t ReplyType() const { return FReplyType; }
    uint8_t ReplyCode() const { return FReplyCode; }
    TICMPError ReplyError() const { return FReplyError; }
    const std::string& ReplyErrorDesc() const { return FReplyErrorDesc; }
    const TVarSin& Sin() const { return FSin; }
    // Kind of socket the last Ping used (ISK_None when none could be opened).
    TIcmpSocketKind SocketKind() const { return FSocketKind; }
    // Socket error of the last Ping in the socket layer's numbering, 0 when the exchange ran.
    int LastError() const { return FLastError; }

private:
    bool IsTargetIP6(const std::string& Host);
    void SetReplyError(TICMPError Error);

    std::string FBuffer;
    int FSeq = 0;
    int FId = 0;
    int FPingTime = -1;
    uint8_t FIcmpEcho = 8;
    uint8_t FIcmpEchoReply = 0;
    uint8_t FIcmpUnreach = 3;
    std::string FReplyFrom;
    uint8_t FReplyType = 0;
    uint8_t FReplyCode = 0;
    TICMPError FReplyError = IE_Other;
    std::string FReplyErrorDesc;
    TVarSin FSin{};
    TIcmpSocketKind FSocketKind = ISK_None;
    int FLastError = 0;
    int FResolveError = 0;
};
