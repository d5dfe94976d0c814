// Direct (peer-to-peer) connections of the messaging client: the manager that listens for peers, keeps
// the peer table learnt from presence notices and closes idle connections, and the peer connection
// with its frame reception, our scrambling of normal packets and their parser.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QtGlobal>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "core/SimpleTimer.h"
#include "messaging/ICQLang.h"
#include "messaging/ICQSock.h"
#include "messaging/ICQWorks.h"

// ---------------------------------------------------------------------------------------------------
// Peer wire without I/O

// Largest peer frame (after its 2-byte length); the receive area holds one whole frame and its length.
constexpr int DCMaxFrame = 8192;
constexpr int DCReceiveArea = DCMaxFrame + 2;
constexpr quint16 DCProtocolVersion = 8;
// A normal connection silent for longer than this is closed.
constexpr qint64 DCIdleLimitMs = 324000;
// A connection that has not sent its initialisation, or holds part of a frame, for longer than this
// is closed: a stalled peer must not keep a descriptor for the whole idle limit.
constexpr qint64 DCStallLimitMs = 30000;
// Connections held at once; one more drops the connection that has been quiet longest.
constexpr int DCMaxConnections = 32;

enum TDCFrameType : quint8 { DC_NORMAL = 2, DC_INIT_REPLY = 3, DC_ACK = 1, DC_INIT = 0xFF };
enum TDCCommand : quint16 { DC_CMD_ACK = 2010, DC_CMD_MESSAGE = 2030 };
// Message types whose bits include all of these ask for the away message.
constexpr quint16 DCAwayRequestBits = 0x3E0;
constexpr quint16 DCPlainMessage = 1;
// The normal packet's header up to and including the message type.
constexpr int DCNormalHeaderSize = 25;
// The leading fields of an initialisation frame that must be there (up to the sender's UIN).
constexpr int DCInitMinimum = 19;

// A frame as sent: its little-endian length, then its bytes.
QByteArray DCFramed(const QByteArray& Frame);
// The acknowledgement of a peer's initialisation: 01 00 00 00.
QByteArray DCInitAck();

struct TDCInit {
    quint16 Version = 0;
    quint32 RemoteUIN = 0; // the UIN the frame is meant for
    quint32 Port = 0;
    quint32 UIN = 0; // the sender's
    quint32 ExternalIP = 0;
    quint32 InternalIP = 0;
    quint8 Flags = 0;
    quint32 Cookie = 0;
};
// Initialisation frame (48 bytes): FF, LE version, LE 43, LE remote UIN, LE 0, LE port, LE UIN, BE
// external and internal address, flags 4, LE port, LE cookie, LE 0x50, LE 3, LE 0.
QByteArray BuildDCInit(const TDCInit& Init);
// False when the frame is not 0xFF or shorter than DCInitMinimum; fields past its end read as 0.
bool ParseDCInit(const quint8* Frame, int Length, TDCInit& Init);

// Our scrambling of a normal packet, in place. Bytes 1-4 carry the check of the plain bytes from 5 on;
// those bytes are mixed with a keystream of our fixed table, the check and the protocol version.
// Packets shorter than 5 bytes are left alone.
void DCEncrypt(quint8* Data, int Length, quint16 Version);
// Undoes DCEncrypt; false (the bytes then undefined) when the check fails or the packet is too short.
bool DCDecrypt(quint8* Data, int Length, quint16 Version);

struct TDCNormalPacket {
    quint16 Command = 0;
    quint16 Seq = 0;
    quint16 MessageType = 0;
    quint16 Status = 0;
    quint16 Flags = 0;
    QByteArray Text; // without its terminator
};
// A plain normal packet: 02, LE 0 check, LE command, LE 0x0E, LE seq, 12 zero bytes, LE message
// type, LE status, LE flags, the text as an LE string with terminator.
QByteArray BuildDCNormalPacket(const TDCNormalPacket& Packet);
// Reads a plain normal packet; false when it is not type 2 or shorter than its header. A text that
// is not all there is cut at the packet's end.
bool ParseDCNormalPacket(const quint8* Data, int Length, TDCNormalPacket& Packet);

// ---------------------------------------------------------------------------------------------------
// TTHreadTimer

// The housekeeping timer: the program's timer with Interval 100 ms, not enabled at the start.
class TTHreadTimer : public TSimpleTimer {
    Q_OBJECT
public:
    explicit TTHreadTimer(QObject* Parent = nullptr) : TSimpleTimer(100, false, Parent) {}
};

// ---------------------------------------------------------------------------------------------------
// Peer records and connections

enum TDCSlot { DCS_NORMAL = 0, DCS_FILE = 1, DCS_CHAT = 2, DCS_OTHER = 3 };
constexpr int DCSlotCount = 4;

struct TPeerRecord {
    quint32 UIN = 0;
    quint32 ExternalIP = 0;
    quint32 InternalIP = 0;
    quint16 Port = 0;
    quint16 Version = 0;
    bool Connected = false;
    qint64 Created = 0;      // ms of the manager's clock
    qint64 LastActivity = 0; // ms of the manager's clock
    // Connection handles by slot; -1 when empty. A handle names one connection for its whole life.
    int Slots[DCSlotCount] = {-1, -1, -1, -1};
};

class TicqDCM;

// One peer connection. The operations in their fixed order: error report, connect, disconnect, send
// packet, parse packet.
class TicqBaseDC {
public:
    TicqBaseDC(TicqDCM& Owner, TPeerRecord* Peer, int Handle) : FOwner(Owner), FPeer(Peer), FHandle(Handle) {}
    virtual ~TicqBaseDC() = default;
    TicqBaseDC(const TicqBaseDC&) = delete;
    TicqBaseDC& operator=(const TicqBaseDC&) = delete;

    virtual void Error(const QString& Text);
    virtual void Connect() {}
    virtual void Disconnect() = 0;
    // Writes the length and the frame; a connection no longer connected is closed instead.
    virtual void SendPacket(const QByteArray& Frame) = 0;
    virtual void ParsePacket(const quint8* Frame, int Length) = 0;

    int Handle() const { return FHandle; }
    TPeerRecord* Peer() const { return FPeer; }
    void Detach() { FPeer = nullptr; }

protected:
    TicqDCM& FOwner;
    TPeerRecord* FPeer;
    int FHandle;
};

enum class TDCState { Waiting, Initialised, Closed };

// A normal connection: frames of at most DCMaxFrame bytes, the initialisation exchange and normal
// packets. The socket may be null (the fuzz target feeds Receive directly; its sends are dropped).
class TicqDCnormal : public TicqBaseDC {
public:
    TicqDCnormal(TicqDCM& Owner, TPeerRecord* Peer, int Handle, std::unique_ptr<TMySocket> Socket);
    ~TicqDCnormal() override;

    void Disconnect() override;
    void SendPacket(const QByteArray& Frame) override;
    void ParsePacket(const quint8* Frame, int Length) override;

    // Bytes as the socket delivers them.
    void Receive(const char* Data, int Length);
    TDCState State() const { return FState; }
    TMySocket* Socket() const { return FSocket.get(); }
    // When the first byte of a frame still incomplete came (manager's clock); -1 with none pending.
    qint64 PartialSince() const { return FFill > 0 ? FPartialSince : -1; }

private:
    void HandleInit(const quint8* Frame, int Length);
    void HandleNormal(const quint8* Frame, int Length);
    void Dump(const quint8* Buffer, int Length, bool Incoming);

    std::unique_ptr<TMySocket> FSocket;
    quint8 FBuffer[DCReceiveArea];
    int FFill = 0;
    int FExpected = -1; // the frame's length once its two bytes came
    qint64 FPartialSince = 0;
    TDCState FState = TDCState::Waiting;
};

// ---------------------------------------------------------------------------------------------------
// TicqDCM

struct TDCSettings {
    quint32 UIN = 0;
    TProxyType ProxyType = P_NONE;
    TProxySettings Proxy; // handed to each connection
    TICQLangType Language = LANG_EN;
    bool Listen = true; // false: no listening server and no address lookup (the fuzz target)
};

// The direct-connection manager. Everything runs on the GUI thread; it takes no lock. Connections are
// freed from the event loop after they close, so a connection may be closed from inside its own event.
class TicqDCM : public QObject {
    Q_OBJECT
public:
    explicit TicqDCM(const TDCSettings& Settings, QObject* Parent = nullptr);
    ~TicqDCM() override;

    quint32 UIN() const { return FSettings.UIN; }
    quint16 Port() const { return FPort; }
    bool Listening() const { return FServer && FServer->Active(); }
    TICQLangType Language() const { return FSettings.Language; }
    const TDCSettings& Settings() const { return FSettings; }
    TPeerRecord& OwnRecord() { return FOwn; }
    TTHreadTimer& Timer() { return *FTimer; }

    // Filled by the client: the cookie our initialisation frame carries, the away message, the RTF
    // reduction of received messages.
    quint32 ConnectionCookie = 0;
    QString AutoAwayMessage;
    bool ConvertToPlaintext = true;
    // Milliseconds of a monotonic clock; tests move it.
    std::function<qint64()> Clock;

    // A presence notice of a peer that takes direct connections: adds its record, or closes the
    // connections of the one there and updates it.
    void AddOrUpdatePeer(quint32 PeerUIN, quint32 ExternalIP, quint32 InternalIP, quint16 PeerPort,
                         quint16 Version);
    TPeerRecord* FindPeer(quint32 PeerUIN);
    const std::vector<std::unique_ptr<TPeerRecord>>& Peers() const { return FPeers; }
    // Records of accepted connections, one each, until the connection closes.
    const std::vector<std::unique_ptr<TPeerRecord>>& AcceptedPeers() const { return FAccepted; }

    int ConnectionCount() const { return static_cast<int>(FConnections.size()); }
    std::vector<int> ConnectionHandles() const;
    TicqDCnormal* Connection(int Handle) const;
    // Takes an accepted socket as a new normal connection with a fresh peer record; its handle. With
    // DCMaxConnections held, the one whose last activity is oldest is closed first.
    int AddConnection(std::unique_ptr<TMySocket> Socket);
    // Removes the connection, clears every slot naming it, closes its socket; freed later.
    void CloseConnection(int Handle);
    // Closes the four slots of a peer and removes its record.
    void ClosePeer(quint32 PeerUIN);
    // One pass of the 1000 ms timer: closes every normal connection idle for over DCIdleLimitMs, and
    // every one stalled for over DCStallLimitMs before its initialisation or inside a frame.
    void Housekeeping();
    // The own record's addresses from GetLocalIP (0 when the lookup fails).
    void RefreshLocalAddress();
    // Stops the timer and the server and closes every peer; nothing fires afterwards.
    void Shutdown();
    // Clears every callback.
    void Unhook();
    // Why the listener did not start (text 22 when no port of the range was free); empty when it did
    // or none was asked for.
    const QString& StartError() const { return FStartError; }

    qint64 Now() const;

    // Callbacks to the client.
    std::function<void(TErrorType Type, const QString& Text)> OnError;
    std::function<void(const QString& Host, quint16 Port, const quint8* Buffer, int Length, bool Incoming)>
        OnPktDump;
    std::function<void(quint32 PeerUIN, quint16 Seq)> OnDirectPacketAck;
    std::function<void(const QString& Msg, const QString& UIN)> OnMessageRecv;

private:
    void ReleaseClosed();
    void ClearSlots(int Handle);

    TDCSettings FSettings;
    QString FStartError;
    quint16 FPort = 0;
    TPeerRecord FOwn;
    std::unique_ptr<TSrvSocket> FServer;
    TTHreadTimer* FTimer = nullptr;
    std::vector<std::unique_ptr<TPeerRecord>> FPeers;
    std::vector<std::unique_ptr<TPeerRecord>> FAccepted;
    std::map<int, std::unique_ptr<TicqDCnormal>> FConnections;
    std::vector<std::unique_ptr<TicqDCnormal>> FClosed;
    bool FReleasePending = false;
    bool FShutDown = false;
    int FNextHandle = 0;
};

class TDirectControl : public TicqDCM {
    Q_OBJECT
public:
    using TicqDCM::TicqDCM;
};
