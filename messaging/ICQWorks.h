// The messaging protocol's packet buffer: bounded big- and little-endian writers and readers, the TLV,
// SNAC and FLAP routines, the builders of every outgoing frame, the frame reassembler, and the server
// connection (TICQNet) that carries the frames over a socket of the chosen proxy kind.
#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <functional>

#include "messaging/ICQLang.h"
#include "messaging/ICQSock.h"

// ---------------------------------------------------------------------------------------------------
// Packet buffer

constexpr int MaxPacketSize = 8192;
// Readers refuse to start past this cursor; the rest of the buffer is head-room for one read.
constexpr int PacketReadLimit = 8100;
constexpr int FlapHeaderSize = 6;
constexpr quint8 FlapMarker = 0x2A;

// One frame being built or read. Len is the cursor; End is where received bytes stop (writers move it
// along), so no reader looks past what arrived.
struct TRawPacket {
    quint8 Data[MaxPacketSize];
    quint16 Len;
    quint16 End;
};

struct TFlapHeader {
    quint8 Marker = 0;
    quint8 Channel = 0;
    quint16 Seq = 0;
    quint16 Length = 0;
};

struct TSNACHeader {
    quint16 Family = 0;
    quint16 Subtype = 0;
    quint16 Flags = 0;
    quint32 RequestId = 0;
};

// Writers: clipped silently at the end of the buffer.
void PktReset(TRawPacket& Pkt);
void PktPutBE(TRawPacket& Pkt, quint32 Value, int N);
void PktPutLE(TRawPacket& Pkt, quint32 Value, int N);
void PktPutRaw(TRawPacket& Pkt, const void* Data, int Count);
void PktPutText(TRawPacket& Pkt, const QByteArray& Text);
void PktPutByteString(TRawPacket& Pkt, const QByteArray& Text);
void PktPutUINText(TRawPacket& Pkt, quint32 UIN);
void PktPutWordString(TRawPacket& Pkt, const QByteArray& Text);
void PktPutLEStringZ(TRawPacket& Pkt, const QByteArray& Text);
void PktPutTLVInt(TRawPacket& Pkt, quint16 Type, quint16 Len, quint32 Value);
void PktPutTLVText(TRawPacket& Pkt, quint16 Type, const QByteArray& Text);
void PktPutTLVRaw(TRawPacket& Pkt, quint16 Type, quint16 Len, const void* Data);
void PktPutSNAC(TRawPacket& Pkt, quint16 Family, quint16 Subtype, quint16 Flags, quint32 RequestId);
// Len := 0, marker, Channel, Seq (then Seq is incremented, wrapping), a zero length placeholder.
void PktStartFLAP(TRawPacket& Pkt, quint8 Channel, quint16& Seq);
// Stores Len - 6 as the frame's length.
TRawPacket& PktFinishFLAP(TRawPacket& Pkt);

// A packet holding Count received bytes (at most the buffer), cursor at 0.
void PktLoad(TRawPacket& Pkt, const void* Data, int Count);
// The bytes built so far (Len of them).
QByteArray PktBytes(const TRawPacket& Pkt);

// Readers: past the read limit or past End they yield zeros or a shorter text.
quint32 PktGetBE(TRawPacket& Pkt, int N);
quint32 PktGetLE(TRawPacket& Pkt, int N);
QByteArray PktGetRaw(TRawPacket& Pkt, int Count);
QByteArray PktGetByteString(TRawPacket& Pkt);
QByteArray PktGetWordString(TRawPacket& Pkt);
QByteArray PktGetLEDwordString(TRawPacket& Pkt);
QByteArray PktGetLEStringZ(TRawPacket& Pkt);
QByteArray PktGetTLVText(TRawPacket& Pkt, quint16& Type);
quint32 PktGetTLVInt(TRawPacket& Pkt, quint16& Type);
TSNACHeader PktGetSNAC(TRawPacket& Pkt);

// ---------------------------------------------------------------------------------------------------
// Small conversions

quint16 Swap16(quint16 Value);
quint32 Swap32(quint32 Value);
// Exactly Digits upper-case hexadecimal digits, least significant last.
QString IntToHexDigits(qint64 Value, int Digits);
// Hexadecimal digits of either case; the first other character ends the number; empty gives 0.
qint64 HexTextToInt(const QString& Text);
// After the first 0xFE byte: fields separated by 0xFE; each pair with both parts non-empty becomes
// the line second "=" first.
void ParseFEPairs(const QByteArray& Data, QList<QByteArray>& List);
// The password combined with our 16-byte table (taken modulo 16).
QByteArray RoastPassword(const QByteArray& Password);

// ---------------------------------------------------------------------------------------------------
// Frame builders: each starts a frame on the caller's sequence counter and finishes it.

void BuildLoginFrame(TRawPacket& Pkt, quint32 UIN, const QByteArray& Password, quint16& Seq, bool Secure);
void BuildCookieFrame(TRawPacket& Pkt, const QByteArray& Cookie, quint16& Seq);
void BuildHello(TRawPacket& Pkt, quint16& Seq);
void BuildSignOff(TRawPacket& Pkt, quint16& Seq);
void BuildKeepAlive(TRawPacket& Pkt, quint16& Seq);
void BuildFamilyVersions(TRawPacket& Pkt, quint16& Seq);
void BuildRateRequest(TRawPacket& Pkt, quint16& Seq);
void BuildRateAck(TRawPacket& Pkt, quint16& Seq);
void BuildSelfInfoRequest(TRawPacket& Pkt, quint16& Seq);
void BuildSSIRightsRequest(TRawPacket& Pkt, quint16& Seq);
void BuildLocationRightsRequest(TRawPacket& Pkt, quint16& Seq);
void BuildBuddyRightsRequest(TRawPacket& Pkt, quint16& Seq);
void BuildICBMParamsRequest(TRawPacket& Pkt, quint16& Seq);
void BuildPrivacyRightsRequest(TRawPacket& Pkt, quint16& Seq);
// Extra 1..35 appends that entry of the extra-capability table for this frame.
void BuildCapabilities(TRawPacket& Pkt, int Extra, quint16& Seq);
void BuildICBMParams(TRawPacket& Pkt, bool Typing, quint16 Channel, quint16& Seq);
void BuildAddContacts(TRawPacket& Pkt, const QList<quint32>& UINs, quint16& Seq);
void BuildVisibleList(TRawPacket& Pkt, const QStringList& List, quint16& Seq);
void BuildInvisibleList(TRawPacket& Pkt, const QStringList& List, quint16& Seq);
void BuildIdle(TRawPacket& Pkt, bool Idle, quint16& Seq);
void BuildSetStatus(TRawPacket& Pkt, quint32 Status, TProxyType ProxyKind, quint16& Seq);
void BuildClientReady(TRawPacket& Pkt, quint16& Seq);
void BuildClientReadyAvatar(TRawPacket& Pkt, quint16& Seq);
void BuildServiceRequest(TRawPacket& Pkt, quint16& Seq);
void BuildMetaRequest(TRawPacket& Pkt, quint32 UIN, quint16 Type, quint16& MetaSeq, const QByteArray& Data,
                      quint16& Seq);
void BuildOfflineRequest(TRawPacket& Pkt, quint32 UIN, quint16& MetaSeq, quint16& Seq);
void BuildMessage(TRawPacket& Pkt, quint32 CookieHi, quint32 CookieLo, quint32 UIN, const QByteArray& Text,
                  quint16& Seq);
void BuildSSIActivate(TRawPacket& Pkt, quint16& Seq);
void BuildMD5KeyRequest(TRawPacket& Pkt, const QByteArray& UINText, quint16& Seq);
void BuildNewUIN(TRawPacket& Pkt, const QByteArray& Password, quint16& Seq);

// The nine identifiers of the capability block (144 bytes) and the extra table's entry 1..35 (empty
// for any other index).
QByteArray CapabilityBlock();
QByteArray ExtraCapability(int Index);
// The connection-type byte of the direct-connection record: 4 without a proxy, 2 for SOCKS, 1 for
// the HTTP kinds.
quint8 DirectConnectionType(TProxyType ProxyKind);

// ---------------------------------------------------------------------------------------------------
// Frame reassembly

// Cuts a byte stream into FLAP frames. A header announcing more than 8192 bytes, or a frame whose
// marker is not 0x2A, stops it until Reset(); the caller closes the connection.
class TFlapReassembler {
public:
    enum TResult { NeedMore, Frame, Oversized, Malformed };

    void Reset();
    // Consumes bytes of Data (advancing it and Length) until a frame is complete or an error is met.
    // After Frame, Header(), Payload() and FrameBytes() stay valid until the next call.
    TResult Take(const char*& Data, int& Length);

    const TFlapHeader& Header() const { return FHeader; }
    const quint8* Payload() const { return FBuffer + FlapHeaderSize; }
    const quint8* FrameBytes() const { return FBuffer; }
    int FrameSize() const { return FlapHeaderSize + FHeader.Length; }
    bool Stopped() const { return FStopped; }

private:
    quint8 FBuffer[MaxPacketSize + FlapHeaderSize];
    int FFill = 0;
    bool FHeaderTaken = false;
    bool FStopped = false;
    bool FDelivered = false;
    TFlapHeader FHeader;
};

// ---------------------------------------------------------------------------------------------------
// Server connection

enum TErrorType {
    ERR_SOCKET,
    ERR_INTERNAL,
    ERR_WARNING,
    ERR_PROXY,
    ERR_PROTOCOL,
    ERR_CONNTIMEOUT,
    ERR_LOGIN,
    ERR_LOGIN_BAD_UINORPASSW
};

// One server connection: a socket of the proxy kind (two and a send queue for the HTTP gateway),
// frame reassembly and the dump callback. Runs on the GUI thread; every callback fires there. An event
// of a closed connection never reaches the next one.
//
// Failures: OnConnectError when the connection could not be made (ERR_SOCKET with text 12; ERR_PROXY
// with the proxy's refusal 15-20, or 2 when the gateway closes); OnError otherwise (ERR_SOCKET with
// 10, 11, 13, 14; ERR_PROTOCOL with 1 and 3). Both sockets are closed before either fires.
// OnDisconnect when the server closes.
class TICQNet : public QObject, public TProxySettings {
    Q_OBJECT
public:
    explicit TICQNet(QObject* Parent = nullptr);
    ~TICQNet() override;

    // Copied by the client before each Connect.
    QString Host;
    quint16 Port = 0;
    QString HTTPHost;
    quint16 HTTPPort = 80;
    TProxyType ProxyType = P_NONE;

    std::function<void(TErrorType Type, const QString& Text)> OnError;
    std::function<void(const TFlapHeader& Header, const quint8* Payload, int Length)> OnHandlePkt;
    std::function<void()> OnDisconnect;
    std::function<void(TErrorType Type, const QString& Text)> OnConnectError;
    std::function<void(const QString& Host, bool Incoming, int Length, const quint8* Buffer, quint16 Port)>
        OnPktDump;
    std::function<void(const QString& Text)> OnThreadException;

    // The error-text language, for the live sockets too.
    void SetLanguage(TICQLangType Language);
    TICQLangType Language() const { return FLanguage; }

    // Closes what is open, then connects by ProxyType.
    void Connect();
    void Send(const void* Data, int Length);
    void Send(const TRawPacket& Pkt) { Send(Pkt.Data, Pkt.Len); }
    // Closes both sockets; no event follows.
    void CloseSockets();
    // Closes and fires OnDisconnect.
    void Disconnect();

    bool Active() const;
    // Counts connections: bumped by Connect and CloseSockets.
    quint32 Connection() const { return FConnection; }

    // The receive path (also fed by the gateway's data frames).
    void HandleReceived(const char* Data, int Length);

private:
    TEventSocket* MakeSocket(TProxyType Kind);
    void HookSocket(TEventSocket* Socket);
    void Drop(QPointer<TEventSocket>& Socket);
    void ConnectFailed(TEventSocket* Socket);
    void StartGatewayRequest(QPointer<TEventSocket>& Slot, const QByteArray& Request);
    void GatewayBody(const char* Data, int Length);
    void GatewayMonitorDone();
    void GatewayDataDone();
    void StartGatewaySender();

    TICQLangType FLanguage = LANG_EN;
    QPointer<TEventSocket> FSocket;
    QPointer<TEventSocket> FSecondSocket;
    TNetBuffer FSendQueue;
    TGatewaySession FGateway;
    TFlapReassembler FReassembler;
    quint32 FConnection = 0;
    bool FGatewayMode = false;
};
