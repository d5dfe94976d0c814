// The checking messaging server of the client's tests (see checking_server_helpers.h). Every expected
// frame is spelled out here byte for byte, apart from the client's own builders.
#include "tests/messaging/checking_server_helpers.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

#include "messaging/ICQWorks.h"

namespace zt::msgtest {

namespace {

QByteArray Bytes(const char* HexText) {
    return QByteArray::fromHex(QByteArray(HexText).replace(' ', ""));
}

QByteArray DefaultCookie() {
    QByteArray cookie(256, '\0');
    for (int i = 0; i < cookie.size(); ++i)
        cookie[i] = static_cast<char>(i * 7 + 3);
    return cookie;
}

QByteArray ByteStrings(const QStringList& List) {
    QByteArray out;
    for (const QString& entry : List)
        out += ByteString(entry.toLatin1());
    return out;
}

QString Hex(const QByteArray& Bytes) {
    return QString::fromLatin1(Bytes.toHex(' '));
}

// The server's TLV 0x0C-free user record of a sender: user class and status.
QByteArray SenderRecord(const QByteArray& UIN) {
    return ByteString(UIN) + BE16(0) + BE16(2) + TLV(1, BE16(0x0050)) + TLV(6, BE32(0x00000000));
}

QByteArray MetaReply(quint32 Owner, quint16 Type, const QByteArray& Data) {
    const QByteArray chunk = LE32(Owner) + LE16(Type) + LE16(2) + Data;
    return TLV(1, LE16(static_cast<quint16>(chunk.size())) + chunk);
}

const char* const FamilyVersionPairs = "0022 0001 0001 0004 0013 0004 0002 0001 0003 0001 0015 0001 0004 "
                                       "0001 0006 0001 0009 0001 000A 0001 000B 0001";
const char* const ClientReadyEntries =
    "0022 0001 0110 164F 0001 0004 0110 164F 0013 0004 0110 164F 0002 0001 0101 164F "
    "0003 0001 0110 164F 0015 0001 0110 164F 0004 0001 0110 164F 0006 0001 0110 164F "
    "0009 0001 0110 164F 000A 0001 0110 164F 000B 0001 0110 164F";
const char* const Capabilities = "0946134d4c7f11d18222444553540000 094600004c7f11d18222444553540000 "
                                 "094613494c7f11d18222444553540000 094613434c7f11d18222444553540000 "
                                 "094613444c7f11d18222444553540000 0946134e4c7f11d18222444553540000 "
                                 "0946134c4c7f11d18222444553540000 563fc8090b6f41bd9f79422609dfa2f3 "
                                 "1a093c6cd7fd4ec59d51a6474e34f5a0";
// The direct-connection record without a proxy: addresses 0, type 4, version 11, cookie 0, 0, 3,
// three time stamps 0, 0.
const char* const DirectRecord =
    "00000000 00000000 04 000B 00000000 00000000 00000003 00000000 00000000 00000000 0000";

} // namespace

QByteArray BE16(quint16 Value) {
    QByteArray out;
    out.append(char(Value >> 8)).append(char(Value & 0xFF));
    return out;
}

QByteArray BE32(quint32 Value) {
    return BE16(static_cast<quint16>(Value >> 16)) + BE16(static_cast<quint16>(Value & 0xFFFF));
}

QByteArray LE16(quint16 Value) {
    QByteArray out;
    out.append(char(Value & 0xFF)).append(char(Value >> 8));
    return out;
}

QByteArray LE32(quint32 Value) {
    return LE16(static_cast<quint16>(Value & 0xFFFF)) + LE16(static_cast<quint16>(Value >> 16));
}

QByteArray TLV(quint16 Type, const QByteArray& Value) {
    return BE16(Type) + BE16(static_cast<quint16>(Value.size())) + Value;
}

QByteArray ByteString(const QByteArray& Text) {
    return QByteArray(1, static_cast<char>(Text.size())) + Text;
}

QByteArray LEStringZ(const QByteArray& Text) {
    return LE16(static_cast<quint16>(Text.size() + 1)) + Text + QByteArray(1, '\0');
}

QByteArray Snac(quint16 Family, quint16 Subtype, quint32 RequestId, const QByteArray& Body) {
    return BE16(Family) + BE16(Subtype) + BE16(0) + BE32(RequestId) + Body;
}

QByteArray Flap(quint8 Channel, quint16 Seq, const QByteArray& Payload) {
    QByteArray out;
    out.append(char(0x2A)).append(char(Channel));
    return out + BE16(Seq) + BE16(static_cast<quint16>(Payload.size())) + Payload;
}

QByteArray MessageCookie() {
    return Bytes("A1 B2 C3 D4 E5 F6 07 18");
}

QByteArray Channel1Message(const QByteArray& UIN, quint16 Charset, const QByteArray& Text) {
    const QByteArray fragments = Bytes("0501 0001 01") + Bytes("0101") +
                                 BE16(static_cast<quint16>(Text.size() + 4)) + BE16(Charset) + BE16(0) + Text;
    return Snac(4, 7, 0,
                MessageCookie() + BE16(1) + SenderRecord(UIN) + TLV(2, fragments) + TLV(0x16, BE32(0)));
}

QByteArray RendezvousHeader(quint8 Type, quint8 Flags) {
    QByteArray header = Bytes("1B00 0800") + QByteArray(16, '\0') + Bytes("0000 03000000 00 FEFF");
    header += Bytes("0E00 FEFF") + QByteArray(12, '\0');
    header.append(char(Type)).append(char(Flags));
    return header;
}

QByteArray Channel2Message(const QByteArray& UIN, quint8 Type, quint8 Flags, const QByteArray& Text,
                           bool WantsAck) {
    const QByteArray block =
        RendezvousHeader(Type, Flags) + Bytes("0000 0100") + LEStringZ(Text) + Bytes("00000000 FFFFFF00");
    QByteArray inner = TLV(0x0A, BE16(1));
    if (!WantsAck)
        inner += TLV(0x0F, QByteArray());
    inner += TLV(0x2711, block);
    const QByteArray request =
        BE16(0) + MessageCookie() + Bytes("09461349 4C7F11D1 82224445 53540000") + inner;
    return Snac(4, 7, 0, MessageCookie() + BE16(2) + SenderRecord(UIN) + TLV(5, request));
}

QByteArray Channel4Message(const QByteArray& UIN, quint16 Type, const QByteArray& Text) {
    const QByteArray body = LE32(UIN.toUInt()) + LE16(Type) + LEStringZ(Text);
    return Snac(4, 7, 0, MessageCookie() + BE16(4) + ByteString(UIN) + TLV(5, body));
}

QByteArray OfflineMessage(quint32 Owner, quint32 Sender, int Year, int Month, int Day, int Hour, int Minute,
                          quint16 Type, const QByteArray& Text) {
    QByteArray data = LE32(Sender) + LE16(static_cast<quint16>(Year));
    data.append(char(Month)).append(char(Day)).append(char(Hour)).append(char(Minute));
    data += LE16(Type) + LEStringZ(Text);
    return Snac(0x15, 3, 0, MetaReply(Owner, 0x0041, data));
}

QByteArray OfflineEnd(quint32 Owner) {
    return Snac(0x15, 3, 0, MetaReply(Owner, 0x0042, QByteArray(1, '\0')));
}

QByteArray SMSAck(quint32 Owner, const QByteArray& Xml) {
    const QByteArray data = LE16(0x0096) + QByteArray(1, '\x0A') + QByteArray(12, '\0') +
                            LE16(static_cast<quint16>(Xml.size() + 1)) + Xml + QByteArray(1, '\0');
    return Snac(0x15, 3, 0, MetaReply(Owner, 0x07DA, data));
}

QByteArray ExpectedMessage(quint32 UIN, const QByteArray& Text, quint32 CookieLo) {
    const QByteArray fragments = TLV(0x0501, Bytes("01")) + TLV(0x0101, BE32(0) + Text);
    return Snac(4, 6, 0,
                BE32(0) + BE32(CookieLo) + BE16(1) + ByteString(QByteArray::number(UIN)) + TLV(2, fragments) +
                    TLV(6, QByteArray()));
}

quint32 MessageCookieLo(const QByteArray& Payload) {
    if (Payload.size() < 18)
        return 0;
    quint32 value = 0;
    for (int i = 14; i < 18; ++i)
        value = value << 8 | static_cast<quint8>(Payload[i]);
    return value;
}

QByteArray MessageText(const QByteArray& Payload) {
    // SNAC header 10, cookie 8, channel 2, UIN, TLV 2 header 4, fragment 0x0501 5, 0x0101 header 4,
    // charset words 4.
    if (Payload.size() < 21)
        return QByteArray();
    const int uinLength = static_cast<quint8>(Payload[20]);
    const int textAt = 21 + uinLength + 4 + 5 + 4 + 4;
    const int tlv6 = 4;
    return Payload.mid(textAt, Payload.size() - textAt - tlv6);
}

// ---------------------------------------------------------------------------------------------------
// TCheckingServer

TCheckingServer::TCheckingServer(TOptions Options) : FOptions(std::move(Options)) {
    if (FOptions.Cookie.isEmpty())
        FOptions.Cookie = DefaultCookie();
    FLogin = new QTcpServer(this);
    FBos = new QTcpServer(this);
    FLogin->listen(QHostAddress(QHostAddress::LocalHost), 0);
    FBos->listen(QHostAddress(QHostAddress::LocalHost), 0);
    connect(FLogin, &QTcpServer::newConnection, this, [this] { Accept(FLogin, false); });
    connect(FBos, &QTcpServer::newConnection, this, [this] { Accept(FBos, true); });
}

TCheckingServer::~TCheckingServer() {
    for (auto& peer : FPeers)
        if (peer->Socket) {
            peer->Socket->disconnect(this);
            peer->Socket->abort();
        }
}

quint16 TCheckingServer::LoginPort() const {
    return FLogin->serverPort();
}

quint16 TCheckingServer::BosPort() const {
    return FBos->serverPort();
}

void TCheckingServer::Fault(const QString& Text) {
    FFaults << Text;
}

void TCheckingServer::Accept(QTcpServer* Server, bool Bos) {
    while (QTcpSocket* socket = Server->nextPendingConnection()) {
        auto peer = std::make_unique<TPeer>();
        peer->Socket = socket;
        peer->Bos = Bos;
        TPeer* raw = peer.get();
        FPeers.push_back(std::move(peer));
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        connect(socket, &QTcpSocket::readyRead, this, [this, raw] { Receive(*raw); });
        connect(socket, &QTcpSocket::disconnected, this, [this, raw] { Closed(*raw); });
        ++(Bos ? FBosConnections : FLoginConnections);
        NextStep(*raw);
    }
}

void TCheckingServer::SendTo(TPeer& Peer, quint8 Channel, const QByteArray& Payload) {
    if (Peer.Socket)
        Peer.Socket->write(Flap(Channel, Peer.ServerSeq++, Payload));
}

QByteArray TCheckingServer::LoginReply() const {
    const QByteArray uin = TLV(1, QByteArray::number(FOptions.UIN));
    if (FOptions.LoginErrorCode >= 0)
        return uin + TLV(8, BE16(static_cast<quint16>(FOptions.LoginErrorCode)));
    const quint16 port = FOptions.RedirectPortZero ? 0 : BosPort();
    return uin + TLV(5, "127.0.0.1:" + QByteArray::number(port)) + TLV(6, FOptions.Cookie);
}

void TCheckingServer::NextStep(TPeer& Peer) {
    const int step = Peer.Step++;
    auto expect = [&](quint8 Channel, const QByteArray& Payload, const char* Name) {
        Peer.Expected.push_back({Channel, Payload, QString::fromLatin1(Name)});
    };
    if (!Peer.Bos) {
        if (step == 0) {
            SendTo(Peer, 1, BE32(1));
            expect(1, QByteArray(), "login frame");
        } else if (step == 1) {
            SendTo(Peer, 4, LoginReply());
            if (FOptions.LoginErrorCode < 0)
                expect(4, QByteArray(), "sign-off");
        }
        return;
    }
    switch (step) {
    case 0:
        SendTo(Peer, 1, BE32(1));
        expect(1, BE32(1) + TLV(6, FOptions.Cookie), "cookie frame");
        break;
    case 1:
        SendTo(Peer, 2, Snac(1, 3, 0, Bytes("0001 0002 0003 0004 0009 0013 0015")));
        expect(2, Snac(1, 0x17, 0x17, Bytes(FamilyVersionPairs)), "family versions");
        break;
    case 2:
        SendTo(Peer, 2, Snac(1, 0x18, 0x17, Bytes(FamilyVersionPairs)));
        SendTo(Peer, 2, Snac(1, 0x13, 0, TLV(2, "message of the day")));
        expect(2, Snac(1, 6, 6, QByteArray()), "rate request");
        break;
    case 3:
        SendTo(Peer, 2, Snac(1, 7, 6, Bytes("0001 0001 00000050")));
        expect(2, Snac(1, 8, 8, Bytes("0001 0002 0003 0004 0005")), "rate acknowledgement");
        expect(2, Snac(1, 0x0E, 0x0E, QByteArray()), "self information request");
        expect(2, Snac(0x13, 2, 2, TLV(0x0B, BE16(0x000F))), "list rights request");
        expect(2, Snac(2, 2, 0, QByteArray()), "location rights request");
        expect(2, Snac(3, 2, 0, TLV(5, BE16(3))), "buddy rights request");
        expect(2, Snac(4, 4, 0, QByteArray()), "message parameters request");
        expect(2, Snac(9, 2, 0, QByteArray()), "privacy rights request");
        break;
    case 4: {
        FStartUpSeen = true;
        if (FOptions.StallBeforePrivacy)
            break;
        SendTo(Peer, 2, Snac(9, 3, 0, TLV(1, BE16(0x00A0)) + TLV(2, BE16(0x00A0))));
        expect(2, Snac(2, 4, 0, TLV(5, Bytes(Capabilities))), "capabilities");
        for (const quint16 channel : {1, 2, 4}) {
            const quint32 flags = FOptions.Typing && channel == 1 ? 11 : 3;
            expect(2, Snac(4, 2, 0, BE16(channel) + BE32(flags) + Bytes("1F40 03E7 03E7 0000 0000")),
                   "message parameters");
        }
        if (!FOptions.Contacts.isEmpty())
            expect(2, Snac(3, 4, 0, ByteStrings(FOptions.Contacts)), "contacts");
        expect(2, Snac(9, 7, 0, ByteStrings(FOptions.Invisible)), "invisible list");
        expect(2, Snac(1, 0x11, 0, BE32(0)), "idle");
        expect(2,
               Snac(1, 0x1E, 0,
                    TLV(6, BE32(FOptions.Status)) + TLV(8, BE16(0)) + TLV(0x0C, Bytes(DirectRecord)) +
                        TLV(0x1F, BE16(0))),
               "status");
        expect(2, Snac(1, 2, 0, Bytes(ClientReadyEntries)), "client ready");
        expect(2, Snac(0x13, 7, 0, QByteArray()), "list activation");
        break;
    }
    case 5:
        ++FSignOns;
        break;
    default:
        break;
    }
}

void TCheckingServer::Receive(TPeer& Peer) {
    if (!Peer.Socket)
        return;
    Peer.Buffer += Peer.Socket->readAll();
    while (Peer.Buffer.size() >= 6) {
        if (static_cast<quint8>(Peer.Buffer[0]) != 0x2A) {
            Fault(QStringLiteral("frame marker %1")
                      .arg(static_cast<quint8>(Peer.Buffer[0]), 2, 16, QLatin1Char('0')));
            Peer.Buffer.clear();
            return;
        }
        const int length = static_cast<quint8>(Peer.Buffer[4]) << 8 | static_cast<quint8>(Peer.Buffer[5]);
        if (Peer.Buffer.size() < 6 + length)
            return;
        TClientFrame frame;
        frame.Channel = static_cast<quint8>(Peer.Buffer[1]);
        frame.Seq = static_cast<quint16>(static_cast<quint8>(Peer.Buffer[2]) << 8 |
                                         static_cast<quint8>(Peer.Buffer[3]));
        frame.Payload = Peer.Buffer.mid(6, length);
        frame.Bos = Peer.Bos;
        Peer.Buffer.remove(0, 6 + length);
        Frame(Peer, frame);
    }
}

void TCheckingServer::CheckLoginFrame(const TClientFrame& Frame) {
    // The password goes out combined with the client's table; combining again gives it back.
    const QByteArray uin = QByteArray::number(FOptions.UIN);
    const QByteArray expected = BE32(1) + TLV(1, uin) + TLV(2, RoastPassword(FOptions.Password)) +
                                TLV(3, "ICQ Client") + TLV(0x16, BE16(0x010A)) + TLV(0x17, BE16(6)) +
                                TLV(0x18, BE16(5)) + TLV(0x19, BE16(0)) + TLV(0x1A, BE16(104)) +
                                TLV(0x14, BE32(1875)) + TLV(0x0F, BE16(0x656E)) + TLV(0x0E, BE16(0x7573)) +
                                TLV(0x0F, "en") + TLV(0x0E, "us");
    if (Frame.Channel != 1 || Frame.Payload != expected) {
        Fault(QStringLiteral("login frame: channel %1, payload %2; expected %3")
                  .arg(Frame.Channel)
                  .arg(Hex(Frame.Payload), Hex(expected)));
        return;
    }
    const QByteArray password = Frame.Payload.mid(4 + 4 + uin.size() + 4, FOptions.Password.size());
    if (RoastPassword(password) != FOptions.Password)
        Fault(QStringLiteral("login frame: the password does not unroast"));
}

void TCheckingServer::Frame(TPeer& Peer, const TClientFrame& Frame) {
    if (FHaveSeq && Frame.Seq != static_cast<quint16>(FLastSeq + 1))
        Fault(QStringLiteral("sequence %1 after %2").arg(Frame.Seq).arg(FLastSeq));
    FHaveSeq = true;
    FLastSeq = Frame.Seq;
    FFrames.push_back(Frame);
    if (Peer.Expected.empty()) {
        if (Peer.Bos && Peer.Step > 5)
            AfterSignOn(Frame);
        else
            Fault(QStringLiteral("unexpected frame on the %1 connection: channel %2, %3")
                      .arg(Peer.Bos ? QStringLiteral("session") : QStringLiteral("login"))
                      .arg(Frame.Channel)
                      .arg(Hex(Frame.Payload)));
        return;
    }
    const TExpected expected = Peer.Expected.front();
    Peer.Expected.pop_front();
    if (!Peer.Bos && expected.Name == QLatin1String("login frame")) {
        CheckLoginFrame(Frame);
    } else if (Frame.Channel != expected.Channel || Frame.Payload != expected.Payload) {
        Fault(QStringLiteral("%1: channel %2, payload %3; expected channel %4, %5")
                  .arg(expected.Name)
                  .arg(Frame.Channel)
                  .arg(Hex(Frame.Payload))
                  .arg(expected.Channel)
                  .arg(Hex(expected.Payload)));
    }
    if (!Peer.Bos && expected.Name == QLatin1String("sign-off"))
        FLoginSignOff = true;
    if (Peer.Expected.empty())
        NextStep(Peer);
}

void TCheckingServer::AfterSignOn(const TClientFrame& Frame) {
    const auto family = [&] {
        return Frame.Payload.size() >= 4 ? Frame.Payload.left(4) : QByteArray();
    };
    if (Frame.Channel == 5 && Frame.Payload.isEmpty()) {
        ++FKeepAlives;
    } else if (Frame.Channel == 2 && family() == Bytes("0004 0006")) {
        FMessages.push_back(Frame.Payload);
    } else if (Frame.Channel == 2 && family() == Bytes("0004 000B")) {
        FAcks.push_back(Frame.Payload.mid(10));
    } else if (Frame.Channel == 2 && family() == Bytes("0015 0002")) {
        FMetaRequests.push_back(Frame.Payload.mid(10));
    } else {
        Fault(QStringLiteral("unexpected frame after the sign-on: channel %1, %2")
                  .arg(Frame.Channel)
                  .arg(Hex(Frame.Payload)));
    }
}

void TCheckingServer::Closed(TPeer& Peer) {
    ++(Peer.Bos ? FBosCloses : FLoginCloses);
    if (!Peer.Expected.empty() && !(Peer.Bos && FOptions.StallBeforePrivacy))
        Fault(QStringLiteral("closed while waiting for %1").arg(Peer.Expected.front().Name));
}

void TCheckingServer::SendSnac(quint16 Family, quint16 Subtype, const QByteArray& Body) {
    SendFrame(2, Snac(Family, Subtype, 0, Body));
}

void TCheckingServer::SendFrame(quint8 Channel, const QByteArray& Payload) {
    for (auto peer = FPeers.rbegin(); peer != FPeers.rend(); ++peer)
        if ((*peer)->Bos) {
            SendTo(**peer, Channel, Payload);
            return;
        }
}

void TCheckingServer::SendRaw(const QByteArray& Bytes) {
    for (auto peer = FPeers.rbegin(); peer != FPeers.rend(); ++peer)
        if ((*peer)->Bos && (*peer)->Socket) {
            (*peer)->Socket->write(Bytes);
            return;
        }
}

void TCheckingServer::CloseBos() {
    for (auto peer = FPeers.rbegin(); peer != FPeers.rend(); ++peer)
        if ((*peer)->Bos && (*peer)->Socket) {
            (*peer)->Socket->disconnectFromHost();
            return;
        }
}

} // namespace zt::msgtest
