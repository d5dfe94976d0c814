// Direct connections: the peer wire (frames, initialisation, our scrambling, normal packets), the
// housekeeping timer, the peer connection and the manager.
#include "messaging/ICQDirect2.h"

#include "core/Synchronize.h"
#include "net/netsock.h"

#include <QPointer>
#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <exception>

#include "messaging/ICQClient.h"

// ---------------------------------------------------------------------------------------------------
// Peer wire

namespace {

void PutLE(QByteArray& Out, quint32 Value, int N) {
    for (int i = 0; i < N; ++i)
        Out.append(static_cast<char>((Value >> (8 * i)) & 0xFF));
}

void PutBE(QByteArray& Out, quint32 Value, int N) {
    for (int i = N - 1; i >= 0; --i)
        Out.append(static_cast<char>((Value >> (8 * i)) & 0xFF));
}

// A packet holding the frame for the bounded readers; a frame longer than the packet is cut.
void LoadFrame(TRawPacket& Pkt, const quint8* Frame, int Length) {
    PktLoad(Pkt, Frame, std::min(Length, MaxPacketSize));
}

// Our keystream table: 256 bytes of a fixed linear congruential sequence.
constexpr std::array<quint8, 256> MakeScrambleTable() {
    std::array<quint8, 256> table{};
    quint32 state = 0x6D2B79F5u;
    for (auto& entry : table) {
        state = state * 1103515245u + 12345u;
        entry = static_cast<quint8>(state >> 16);
    }
    return table;
}
constexpr std::array<quint8, 256> ScrambleTable = MakeScrambleTable();

// The check of the plain bytes from 5 on: FNV-1a seeded with the version and the length, each step
// folded through the table.
quint32 PacketCheck(const quint8* Data, int Length, quint16 Version) {
    quint32 h = 0x811C9DC5u ^ Version ^ (static_cast<quint32>(Length) << 16);
    for (int i = 5; i < Length; ++i) {
        h = (h ^ Data[i]) * 0x01000193u;
        h ^= ScrambleTable[h >> 24];
    }
    return h;
}

void Scramble(quint8* Data, int Length, quint32 Check, quint16 Version) {
    for (int i = 5; i < Length; ++i) {
        const quint8 key = ScrambleTable[(i + Check) & 0xFF] ^ static_cast<quint8>(Check >> (8 * (i & 3))) ^
                           static_cast<quint8>(Version);
        Data[i] ^= key;
    }
}

quint32 LoadLE32(const quint8* Data) {
    return quint32(Data[0]) | quint32(Data[1]) << 8 | quint32(Data[2]) << 16 | quint32(Data[3]) << 24;
}

} // namespace

QByteArray DCFramed(const QByteArray& Frame) {
    QByteArray out;
    PutLE(out, static_cast<quint32>(Frame.size()), 2);
    out.append(Frame);
    return out;
}

QByteArray DCInitAck() {
    return QByteArray("\x01\x00\x00\x00", 4);
}

QByteArray BuildDCInit(const TDCInit& Init) {
    QByteArray out;
    out.append(static_cast<char>(DC_INIT));
    PutLE(out, Init.Version, 2);
    PutLE(out, 43, 2);
    PutLE(out, Init.RemoteUIN, 4);
    PutLE(out, 0, 2);
    PutLE(out, Init.Port, 4);
    PutLE(out, Init.UIN, 4);
    PutBE(out, Init.ExternalIP, 4);
    PutBE(out, Init.InternalIP, 4);
    out.append(static_cast<char>(Init.Flags));
    PutLE(out, Init.Port, 4);
    PutLE(out, Init.Cookie, 4);
    PutLE(out, 0x50, 4);
    PutLE(out, 3, 4);
    PutLE(out, 0, 4);
    return out;
}

bool ParseDCInit(const quint8* Frame, int Length, TDCInit& Init) {
    if (Length < DCInitMinimum || Frame[0] != DC_INIT)
        return false;
    TRawPacket pkt;
    LoadFrame(pkt, Frame, Length);
    PktGetBE(pkt, 1);
    Init.Version = static_cast<quint16>(PktGetLE(pkt, 2));
    PktGetLE(pkt, 2); // length of the rest
    Init.RemoteUIN = PktGetLE(pkt, 4);
    PktGetLE(pkt, 2);
    Init.Port = PktGetLE(pkt, 4);
    Init.UIN = PktGetLE(pkt, 4);
    Init.ExternalIP = PktGetBE(pkt, 4);
    Init.InternalIP = PktGetBE(pkt, 4);
    Init.Flags = static_cast<quint8>(PktGetBE(pkt, 1));
    PktGetLE(pkt, 4); // the port again
    Init.Cookie = PktGetLE(pkt, 4);
    return true;
}

void DCEncrypt(quint8* Data, int Length, quint16 Version) {
    if (Length < 5)
        return;
    const quint32 check = PacketCheck(Data, Length, Version);
    for (int i = 0; i < 4; ++i)
        Data[1 + i] = static_cast<quint8>(check >> (8 * i));
    Scramble(Data, Length, check, Version);
}

bool DCDecrypt(quint8* Data, int Length, quint16 Version) {
    if (Length < 5)
        return false;
    const quint32 check = LoadLE32(Data + 1);
    Scramble(Data, Length, check, Version);
    return PacketCheck(Data, Length, Version) == check;
}

QByteArray BuildDCNormalPacket(const TDCNormalPacket& Packet) {
    QByteArray out;
    out.append(static_cast<char>(DC_NORMAL));
    PutLE(out, 0, 4);
    PutLE(out, Packet.Command, 2);
    PutLE(out, 0x0E, 2);
    PutLE(out, Packet.Seq, 2);
    out.append(QByteArray(12, '\0'));
    PutLE(out, Packet.MessageType, 2);
    PutLE(out, Packet.Status, 2);
    PutLE(out, Packet.Flags, 2);
    PutLE(out, static_cast<quint32>(Packet.Text.size() + 1), 2);
    out.append(Packet.Text);
    out.append('\0');
    return out;
}

bool ParseDCNormalPacket(const quint8* Data, int Length, TDCNormalPacket& Packet) {
    if (Length < DCNormalHeaderSize || Data[0] != DC_NORMAL)
        return false;
    // Words past the end read as zeros; the text may run to the frame's last byte (8192 of them, more
    // than the server packet's readers take).
    auto word = [&](int At) -> quint16 {
        const quint16 low = At < Length ? Data[At] : 0;
        const quint16 high = At + 1 < Length ? Data[At + 1] : 0;
        return static_cast<quint16>(low | high << 8);
    };
    Packet.Command = word(5);
    Packet.Seq = word(9);
    Packet.MessageType = word(23);
    Packet.Status = word(25);
    Packet.Flags = word(27);
    const int textLength = word(29);
    constexpr int textAt = 31;
    const int available = std::max(0, std::min(textLength - 1, Length - textAt));
    Packet.Text = QByteArray(reinterpret_cast<const char*>(Data) + std::min(textAt, Length), available);
    // A text holding a NUL ends there.
    const qsizetype nul = Packet.Text.indexOf('\0');
    if (nul >= 0)
        Packet.Text.truncate(nul);
    return true;
}

// ---------------------------------------------------------------------------------------------------
// TicqBaseDC and TicqDCnormal

void TicqBaseDC::Error(const QString& Text) {
    if (FOwner.OnError)
        FOwner.OnError(ERR_PROTOCOL, Text);
}

TicqDCnormal::TicqDCnormal(TicqDCM& Owner, TPeerRecord* Peer, int Handle, std::unique_ptr<TMySocket> Socket)
    : TicqBaseDC(Owner, Peer, Handle), FSocket(std::move(Socket)) {
    if (!FSocket)
        return;
    TEventSocket& socket = FSocket->Socket();
    TicqDCM* owner = &FOwner;
    const int handle = FHandle;
    socket.OnDataAvailable = [this](const char* Data, int Length) {
        Receive(Data, Length);
    };
    socket.OnDisconnect = [owner, handle] {
        owner->CloseConnection(handle);
    };
    socket.OnError = [owner, handle](int, const QString&) {
        owner->CloseConnection(handle);
    };
    socket.OnThreadException = [owner, handle](const QString&) {
        owner->CloseConnection(handle);
    };
}

TicqDCnormal::~TicqDCnormal() = default;

void TicqDCnormal::Disconnect() {
    FState = TDCState::Closed;
    if (FSocket)
        FSocket->Socket().Disconnect();
}

void TicqDCnormal::SendPacket(const QByteArray& Frame) {
    if (FState == TDCState::Closed)
        return;
    if (!FSocket) {
        Dump(reinterpret_cast<const quint8*>(Frame.constData()), static_cast<int>(Frame.size()), false);
        return;
    }
    if (!FSocket->Connected()) {
        FOwner.CloseConnection(FHandle);
        return;
    }
    const QByteArray framed = DCFramed(Frame);
    FSocket->Send(framed.constData(), static_cast<int>(framed.size()));
    if (FPeer)
        FPeer->LastActivity = FOwner.Now();
    Dump(reinterpret_cast<const quint8*>(Frame.constData()), static_cast<int>(Frame.size()), false);
}

void TicqDCnormal::Receive(const char* Data, int Length) {
    int at = 0;
    while (at < Length && FState != TDCState::Closed) {
        if (FExpected < 0) {
            if (FFill == 0)
                FPartialSince = FOwner.Now();
            FBuffer[FFill++] = static_cast<quint8>(Data[at++]);
            if (FFill < 2)
                continue;
            FExpected = FBuffer[0] | FBuffer[1] << 8;
            if (FExpected > DCMaxFrame) {
                Error(QStringLiteral("Buffer Overrun Error"));
                FOwner.CloseConnection(FHandle);
                return;
            }
        }
        const int take = std::min(Length - at, 2 + FExpected - FFill);
        std::memcpy(FBuffer + FFill, Data + at, static_cast<size_t>(take));
        FFill += take;
        at += take;
        if (FFill < 2 + FExpected)
            continue;
        const int frameLength = FExpected;
        FFill = 0;
        FExpected = -1;
        ParsePacket(FBuffer + 2, frameLength);
    }
}

void TicqDCnormal::Dump(const quint8* Buffer, int Length, bool Incoming) {
    if (!FOwner.OnPktDump)
        return;
    const quint32 address = FSocket ? FSocket->PeerAddress() : 0;
    const quint16 port = FSocket ? FSocket->PeerPort() : 0;
    FOwner.OnPktDump(IPToText(address), port, Buffer, Length, Incoming);
}

void TicqDCnormal::ParsePacket(const quint8* Frame, int Length) {
    if (FPeer)
        FPeer->LastActivity = FOwner.Now();
    Dump(Frame, Length, true);
    if (Length <= 0 || FState == TDCState::Closed)
        return;
    switch (Frame[0]) {
    case DC_INIT:
        HandleInit(Frame, Length);
        break;
    case DC_INIT_REPLY:
        FState = TDCState::Initialised;
        break;
    case DC_NORMAL:
        HandleNormal(Frame, Length);
        break;
    default:
        break;
    }
}

void TicqDCnormal::HandleInit(const quint8* Frame, int Length) {
    TDCInit theirs;
    if (!ParseDCInit(Frame, Length, theirs))
        return;
    if (FPeer) {
        FPeer->UIN = theirs.UIN;
        FPeer->Version = theirs.Version;
        FPeer->Port = static_cast<quint16>(theirs.Port);
        FPeer->ExternalIP = theirs.ExternalIP;
        FPeer->InternalIP = theirs.InternalIP;
        FPeer->Connected = true;
    }
    FState = TDCState::Initialised;
    SendPacket(DCInitAck());
    TDCInit ours;
    ours.Version = DCProtocolVersion;
    ours.RemoteUIN = theirs.UIN;
    ours.Port = FOwner.Port();
    ours.UIN = FOwner.UIN();
    ours.ExternalIP = FOwner.OwnRecord().ExternalIP;
    ours.InternalIP = FOwner.OwnRecord().InternalIP;
    ours.Flags = 4;
    ours.Cookie = FOwner.ConnectionCookie;
    SendPacket(BuildDCInit(ours));
}

void TicqDCnormal::HandleNormal(const quint8* Frame, int Length) {
    const quint16 version = FPeer && FPeer->Version != 0 ? FPeer->Version : DCProtocolVersion;
    QByteArray plain(reinterpret_cast<const char*>(Frame), Length);
    auto* bytes = reinterpret_cast<quint8*>(plain.data());
    TDCNormalPacket packet;
    if (!DCDecrypt(bytes, Length, version) || !ParseDCNormalPacket(bytes, Length, packet))
        return;
    const quint32 peerUIN = FPeer ? FPeer->UIN : 0;
    if (packet.Command == DC_CMD_ACK) {
        if (FOwner.OnDirectPacketAck)
            FOwner.OnDirectPacketAck(peerUIN, packet.Seq);
        return;
    }
    if (packet.Command != DC_CMD_MESSAGE)
        return;
    if ((packet.MessageType & DCAwayRequestBits) == DCAwayRequestBits) {
        TDCNormalPacket reply;
        reply.Command = DC_CMD_ACK;
        reply.Seq = packet.Seq;
        reply.MessageType = packet.MessageType;
        reply.Text = FOwner.AutoAwayMessage.toUtf8();
        QByteArray frame = BuildDCNormalPacket(reply);
        DCEncrypt(reinterpret_cast<quint8*>(frame.data()), static_cast<int>(frame.size()), version);
        SendPacket(frame);
        return;
    }
    if ((packet.MessageType & 0xFF) != DCPlainMessage)
        return;
    QString text = DecodeMessageText(packet.Text);
    if (FOwner.ConvertToPlaintext)
        text = RTFToPlainText(text);
    if (!text.isEmpty() && FOwner.OnMessageRecv)
        FOwner.OnMessageRecv(text, QString::number(peerUIN));
}

// ---------------------------------------------------------------------------------------------------
// TicqDCM

namespace {
constexpr int PortAttempts = 4;
}

TicqDCM::TicqDCM(const TDCSettings& Settings, QObject* Parent) : QObject(Parent), FSettings(Settings) {
    FOwn.UIN = FSettings.UIN;
    FOwn.Created = Now();
    FOwn.LastActivity = FOwn.Created;
    if (FSettings.Listen) {
        RefreshLocalAddress();
        FPort = FindFreePort();
        FServer = std::make_unique<TSrvSocket>();
        FServer->OnClientConnected = [this](std::unique_ptr<TMySocket> Socket) {
            AddConnection(std::move(Socket));
        };
        FServer->OnError = [this](int, const QString& Text) {
            if (OnError)
                OnError(ERR_SOCKET, Text);
        };
        // Nobody has hooked the error event yet: the owner reads StartError() instead. The probe
        // lets its port go before the server binds it, so another process may take it in between:
        // a port found taken gives way to the next free one, a few times at most.
        for (int attempt = 1; FPort != 0; ++attempt) {
            if (FServer->Start(FPort, FSettings.Language))
                break;
            if (FServer->Server().LastError() != WSAEADDRINUSE || attempt == PortAttempts) {
                FStartError = FServer->Server().LastErrorText();
                break;
            }
            FPort = FindFreePort();
        }
        if (FPort == 0)
            FStartError = GetICQErrorText(FSettings.Language, 22);
        FOwn.Port = FPort;
    }
    FTimer = new TTHreadTimer(this);
    FTimer->SetOnTimer([this] { Housekeeping(); });
    FTimer->SetInterval(1000);
    FTimer->SetEnabled(true);
}

TicqDCM::~TicqDCM() {
    Unhook();
    Shutdown();
    FClosed.clear();
}

qint64 TicqDCM::Now() const {
    if (Clock)
        return Clock();
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void TicqDCM::Unhook() {
    OnError = nullptr;
    OnPktDump = nullptr;
    OnDirectPacketAck = nullptr;
    OnMessageRecv = nullptr;
}

void TicqDCM::RefreshLocalAddress() {
    const qint64 address = GetLocalIP();
    const quint32 value = address < 0 ? 0 : static_cast<quint32>(address);
    FOwn.InternalIP = value;
    FOwn.ExternalIP = value;
}

TPeerRecord* TicqDCM::FindPeer(quint32 PeerUIN) {
    for (const auto& peer : FPeers)
        if (peer->UIN == PeerUIN)
            return peer.get();
    return nullptr;
}

void TicqDCM::AddOrUpdatePeer(quint32 PeerUIN, quint32 ExternalIP, quint32 InternalIP, quint16 PeerPort,
                              quint16 Version) {
    if (FShutDown)
        return;
    TPeerRecord* peer = FindPeer(PeerUIN);
    if (peer) {
        for (const int handle : peer->Slots)
            if (handle >= 0)
                CloseConnection(handle);
    } else {
        FPeers.push_back(std::make_unique<TPeerRecord>());
        peer = FPeers.back().get();
        peer->UIN = PeerUIN;
        peer->Created = Now();
        peer->LastActivity = peer->Created;
    }
    peer->ExternalIP = ExternalIP;
    peer->InternalIP = InternalIP;
    peer->Port = PeerPort;
    peer->Version = Version;
    peer->Connected = false;
}

std::vector<int> TicqDCM::ConnectionHandles() const {
    std::vector<int> handles;
    handles.reserve(FConnections.size());
    for (const auto& entry : FConnections)
        handles.push_back(entry.first);
    return handles;
}

TicqDCnormal* TicqDCM::Connection(int Handle) const {
    const auto found = FConnections.find(Handle);
    return found == FConnections.end() ? nullptr : found->second.get();
}

int TicqDCM::AddConnection(std::unique_ptr<TMySocket> Socket) {
    if (FShutDown)
        return -1;
    if (static_cast<int>(FConnections.size()) >= DCMaxConnections) {
        int oldest = -1;
        qint64 oldestActivity = 0;
        for (const auto& [handle, connection] : FConnections) {
            const qint64 activity = connection->Peer() ? connection->Peer()->LastActivity : 0;
            if (oldest < 0 || activity < oldestActivity) {
                oldest = handle;
                oldestActivity = activity;
            }
        }
        CloseConnection(oldest);
    }
    const int handle = FNextHandle++;
    FAccepted.push_back(std::make_unique<TPeerRecord>());
    TPeerRecord* peer = FAccepted.back().get();
    peer->Created = Now();
    peer->LastActivity = peer->Created;
    peer->Slots[DCS_NORMAL] = handle;
    if (Socket)
        Socket->Socket().SetProxy(FSettings.Proxy);
    FConnections.emplace(handle, std::make_unique<TicqDCnormal>(*this, peer, handle, std::move(Socket)));
    FOwn.Slots[DCS_NORMAL] = handle;
    return handle;
}

void TicqDCM::ClearSlots(int Handle) {
    auto clear = [Handle](TPeerRecord& Record) {
        for (int& slot : Record.Slots)
            if (slot == Handle)
                slot = -1;
    };
    clear(FOwn);
    for (const auto& peer : FPeers)
        clear(*peer);
}

void TicqDCM::CloseConnection(int Handle) {
    const auto found = FConnections.find(Handle);
    if (found == FConnections.end())
        return;
    std::unique_ptr<TicqDCnormal> connection = std::move(found->second);
    FConnections.erase(found);
    ClearSlots(Handle);
    if (TPeerRecord* peer = connection->Peer()) {
        connection->Detach();
        std::erase_if(FAccepted,
                      [peer](const std::unique_ptr<TPeerRecord>& Record) { return Record.get() == peer; });
    }
    connection->Disconnect();
    // Its socket may be inside one of its own events: freed from the event loop.
    FClosed.push_back(std::move(connection));
    if (!FReleasePending) {
        FReleasePending = true;
        PostToGui(this, "TicqDCM.ReleaseClosed", [this] { ReleaseClosed(); });
    }
}

void TicqDCM::ReleaseClosed() {
    FReleasePending = false;
    FClosed.clear();
}

void TicqDCM::ClosePeer(quint32 PeerUIN) {
    const auto found =
        std::find_if(FPeers.begin(), FPeers.end(),
                     [PeerUIN](const std::unique_ptr<TPeerRecord>& Peer) { return Peer->UIN == PeerUIN; });
    if (found == FPeers.end())
        return;
    const std::unique_ptr<TPeerRecord> peer = std::move(*found);
    FPeers.erase(found);
    for (const int handle : peer->Slots)
        if (handle >= 0)
            CloseConnection(handle);
}

void TicqDCM::Housekeeping() {
    const qint64 now = Now();
    std::vector<int> idle;
    auto check = [&](const TPeerRecord& Record) {
        const int handle = Record.Slots[DCS_NORMAL];
        if (handle >= 0 && now - Record.LastActivity > DCIdleLimitMs)
            idle.push_back(handle);
    };
    for (const auto& peer : FPeers)
        check(*peer);
    for (const auto& peer : FAccepted)
        check(*peer);
    for (const auto& [handle, connection] : FConnections) {
        const TPeerRecord* peer = connection->Peer();
        const qint64 partial = connection->PartialSince();
        if ((partial >= 0 && now - partial > DCStallLimitMs) ||
            (connection->State() == TDCState::Waiting && peer && now - peer->Created > DCStallLimitMs))
            idle.push_back(handle);
    }
    std::sort(idle.begin(), idle.end());
    idle.erase(std::unique(idle.begin(), idle.end()), idle.end());
    for (const int handle : idle)
        CloseConnection(handle);
}

void TicqDCM::Shutdown() {
    FShutDown = true;
    if (FTimer)
        FTimer->SetEnabled(false);
    if (FServer) {
        FServer->OnClientConnected = nullptr;
        FServer->OnError = nullptr;
        FServer->Stop();
    }
    while (!FPeers.empty())
        ClosePeer(FPeers.front()->UIN);
    for (const int handle : ConnectionHandles())
        CloseConnection(handle);
}
