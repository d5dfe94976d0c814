// Packet buffer, frame builders, reassembly and the server connection of the messaging client.
#include "messaging/ICQWorks.h"

#include <algorithm>
#include <cstring>

#include "core/TextConversions.h"

// ---------------------------------------------------------------------------------------------------
// Writers

namespace {

void Touch(TRawPacket& Pkt) {
    Pkt.End = std::max(Pkt.End, Pkt.Len);
}

// Writes a TLV's type and a length placeholder; EndTLV fills the length in.
int BeginTLV(TRawPacket& Pkt, quint16 Type) {
    PktPutBE(Pkt, Type, 2);
    const int at = Pkt.Len;
    PktPutBE(Pkt, 0, 2);
    return at;
}

void EndTLV(TRawPacket& Pkt, int LengthAt) {
    if (LengthAt + 2 > MaxPacketSize || Pkt.Len < LengthAt + 2)
        return;
    const int length = Pkt.Len - LengthAt - 2;
    Pkt.Data[LengthAt] = static_cast<quint8>(length >> 8);
    Pkt.Data[LengthAt + 1] = static_cast<quint8>(length & 0xFF);
}

quint8 ByteOf(quint32 Value, int Index) {
    return Index < 4 ? static_cast<quint8>(Value >> (8 * Index)) : 0;
}

// A reader's byte: zero past what arrived.
quint8 ReadByte(const TRawPacket& Pkt, int At) {
    return At < Pkt.End ? Pkt.Data[At] : 0;
}

void Advance(TRawPacket& Pkt, int N) {
    Pkt.Len = static_cast<quint16>(std::min(Pkt.Len + N, MaxPacketSize));
}

} // namespace

void PktReset(TRawPacket& Pkt) {
    Pkt.Len = 0;
    Pkt.End = 0;
}

void PktPutBE(TRawPacket& Pkt, quint32 Value, int N) {
    if (N <= 0)
        return;
    if (Pkt.Len + N > MaxPacketSize - 1) {
        if (Pkt.Len >= MaxPacketSize)
            return;
        N = MaxPacketSize - Pkt.Len;
    }
    for (int i = N - 1; i >= 0; --i)
        Pkt.Data[Pkt.Len++] = ByteOf(Value, i);
    Touch(Pkt);
}

void PktPutLE(TRawPacket& Pkt, quint32 Value, int N) {
    if (N <= 0 || Pkt.Len > MaxPacketSize - 1)
        return;
    if (Pkt.Len + N > MaxPacketSize - 1)
        N = MaxPacketSize - Pkt.Len;
    for (int i = 0; i < N; ++i)
        Pkt.Data[Pkt.Len++] = ByteOf(Value, i);
    Touch(Pkt);
}

void PktPutRaw(TRawPacket& Pkt, const void* Data, int Count) {
    if (!Data || Count <= 0 || Pkt.Len > MaxPacketSize - 1)
        return;
    if (Pkt.Len + Count > MaxPacketSize - 1)
        Count = MaxPacketSize - Pkt.Len;
    std::memcpy(Pkt.Data + Pkt.Len, Data, static_cast<std::size_t>(Count));
    Pkt.Len = static_cast<quint16>(Pkt.Len + Count);
    Touch(Pkt);
}

void PktPutText(TRawPacket& Pkt, const QByteArray& Text) {
    PktPutRaw(Pkt, Text.constData(), static_cast<int>(Text.size()));
}

void PktPutByteString(TRawPacket& Pkt, const QByteArray& Text) {
    // The length byte and the text agree even for a longer text.
    const QByteArray text = Text.left(255);
    PktPutBE(Pkt, static_cast<quint32>(text.size()), 1);
    PktPutText(Pkt, text);
}

void PktPutUINText(TRawPacket& Pkt, quint32 UIN) {
    PktPutByteString(Pkt, Int64ToText(UIN).toLatin1());
}

void PktPutWordString(TRawPacket& Pkt, const QByteArray& Text) {
    PktPutBE(Pkt, static_cast<quint32>(Text.size()), 2);
    PktPutText(Pkt, Text);
}

void PktPutLEStringZ(TRawPacket& Pkt, const QByteArray& Text) {
    if (Text.isEmpty()) {
        PktPutLE(Pkt, 0, 2);
        return;
    }
    PktPutLE(Pkt, static_cast<quint32>(Text.size() + 1), 2);
    PktPutText(Pkt, Text);
    PktPutBE(Pkt, 0, 1);
}

void PktPutTLVInt(TRawPacket& Pkt, quint16 Type, quint16 Len, quint32 Value) {
    PktPutBE(Pkt, Type, 2);
    PktPutBE(Pkt, Len, 2);
    PktPutBE(Pkt, Value, Len);
}

void PktPutTLVText(TRawPacket& Pkt, quint16 Type, const QByteArray& Text) {
    PktPutBE(Pkt, Type, 2);
    PktPutWordString(Pkt, Text);
}

void PktPutTLVRaw(TRawPacket& Pkt, quint16 Type, quint16 Len, const void* Data) {
    PktPutBE(Pkt, Type, 2);
    PktPutBE(Pkt, Len, 2);
    PktPutRaw(Pkt, Data, Len);
}

void PktPutSNAC(TRawPacket& Pkt, quint16 Family, quint16 Subtype, quint16 Flags, quint32 RequestId) {
    PktPutBE(Pkt, Family, 2);
    PktPutBE(Pkt, Subtype, 2);
    PktPutBE(Pkt, Flags, 2);
    PktPutBE(Pkt, RequestId, 4);
}

void PktStartFLAP(TRawPacket& Pkt, quint8 Channel, quint16& Seq) {
    PktReset(Pkt);
    PktPutBE(Pkt, FlapMarker, 1);
    PktPutBE(Pkt, Channel, 1);
    PktPutBE(Pkt, Seq, 2);
    ++Seq;
    PktPutBE(Pkt, 0, 2);
}

TRawPacket& PktFinishFLAP(TRawPacket& Pkt) {
    if (Pkt.Len >= FlapHeaderSize) {
        const int length = Pkt.Len - FlapHeaderSize;
        Pkt.Data[4] = static_cast<quint8>(length >> 8);
        Pkt.Data[5] = static_cast<quint8>(length & 0xFF);
    }
    return Pkt;
}

void PktLoad(TRawPacket& Pkt, const void* Data, int Count) {
    Count = Data ? std::clamp(Count, 0, MaxPacketSize) : 0;
    if (Count > 0)
        std::memcpy(Pkt.Data, Data, static_cast<std::size_t>(Count));
    Pkt.Len = 0;
    Pkt.End = static_cast<quint16>(Count);
}

QByteArray PktBytes(const TRawPacket& Pkt) {
    return QByteArray(reinterpret_cast<const char*>(Pkt.Data), Pkt.Len);
}

// ---------------------------------------------------------------------------------------------------
// Readers

quint32 PktGetBE(TRawPacket& Pkt, int N) {
    if (Pkt.Len > PacketReadLimit || N <= 0)
        return 0;
    quint32 value = 0;
    // Shifts wrap at 32, so a longer read only skips bytes.
    for (int i = 0; i < N; ++i)
        value |= static_cast<quint32>(ReadByte(Pkt, Pkt.Len + i)) << ((8 * (N - 1 - i)) % 32);
    Advance(Pkt, N);
    return value;
}

quint32 PktGetLE(TRawPacket& Pkt, int N) {
    if (Pkt.Len > PacketReadLimit || N <= 0)
        return 0;
    quint32 value = 0;
    for (int i = 0; i < N; ++i)
        value |= static_cast<quint32>(ReadByte(Pkt, Pkt.Len + i)) << ((8 * i) % 32);
    Advance(Pkt, N);
    return value;
}

QByteArray PktGetRaw(TRawPacket& Pkt, int Count) {
    QByteArray out;
    for (int i = 0; i < Count && Pkt.Len < Pkt.End; ++i) {
        out.append(static_cast<char>(Pkt.Data[Pkt.Len]));
        ++Pkt.Len;
        if (Pkt.Len > PacketReadLimit)
            break;
    }
    return out;
}

QByteArray PktGetByteString(TRawPacket& Pkt) {
    return PktGetRaw(Pkt, static_cast<int>(PktGetBE(Pkt, 1)));
}

QByteArray PktGetWordString(TRawPacket& Pkt) {
    return PktGetRaw(Pkt, static_cast<int>(PktGetBE(Pkt, 2)));
}

QByteArray PktGetLEDwordString(TRawPacket& Pkt) {
    const quint32 length = PktGetLE(Pkt, 4);
    return PktGetRaw(Pkt, static_cast<int>(std::min<quint32>(length, MaxPacketSize)));
}

QByteArray PktGetLEStringZ(TRawPacket& Pkt) {
    const int length = static_cast<int>(PktGetLE(Pkt, 2));
    if (length <= 0)
        return QByteArray(); // the empty form has no terminator
    QByteArray text = PktGetRaw(Pkt, length - 1);
    PktGetBE(Pkt, 1);
    return text;
}

QByteArray PktGetTLVText(TRawPacket& Pkt, quint16& Type) {
    Type = static_cast<quint16>(PktGetBE(Pkt, 2));
    return PktGetRaw(Pkt, static_cast<int>(PktGetBE(Pkt, 2)));
}

quint32 PktGetTLVInt(TRawPacket& Pkt, quint16& Type) {
    Type = static_cast<quint16>(PktGetBE(Pkt, 2));
    return PktGetBE(Pkt, static_cast<int>(PktGetBE(Pkt, 2)));
}

TSNACHeader PktGetSNAC(TRawPacket& Pkt) {
    TSNACHeader header;
    header.Family = static_cast<quint16>(PktGetBE(Pkt, 2));
    header.Subtype = static_cast<quint16>(PktGetBE(Pkt, 2));
    header.Flags = static_cast<quint16>(PktGetBE(Pkt, 2));
    header.RequestId = PktGetBE(Pkt, 4);
    return header;
}

// ---------------------------------------------------------------------------------------------------
// Conversions

quint16 Swap16(quint16 Value) {
    return static_cast<quint16>(Value << 8 | Value >> 8);
}

quint32 Swap32(quint32 Value) {
    return (Value & 0xFF) << 24 | (Value & 0xFF00) << 8 | (Value >> 8 & 0xFF00) | Value >> 24;
}

QString IntToHexDigits(qint64 Value, int Digits) {
    static const char Table[] = "0123456789ABCDEF";
    QString out(std::max(Digits, 0), QLatin1Char('0'));
    const quint64 value = static_cast<quint64>(Value);
    for (int i = 0; i < Digits && i < 16; ++i)
        out[Digits - 1 - i] = QLatin1Char(Table[(value >> (4 * i)) & 0xF]);
    return out;
}

qint64 HexTextToInt(const QString& Text) {
    quint64 value = 0;
    for (const QChar c : Text) {
        const int digit = QStringView(u"0123456789abcdef").indexOf(c.toLower());
        if (digit < 0)
            break;
        value = value << 4 | static_cast<quint64>(digit);
    }
    return static_cast<qint64>(value);
}

void ParseFEPairs(const QByteArray& Data, QList<QByteArray>& List) {
    const qsizetype first = Data.indexOf('\xFE');
    if (first < 0)
        return;
    const QList<QByteArray> fields = Data.mid(first + 1).split('\xFE');
    for (qsizetype i = 0; i + 1 < fields.size(); i += 2)
        if (!fields[i].isEmpty() && !fields[i + 1].isEmpty())
            List.append(fields[i + 1] + '=' + fields[i]);
}

QByteArray RoastPassword(const QByteArray& Password) {
    static const quint8 Table[16] = {0x5A, 0x3C, 0x91, 0x07, 0xE4, 0x2B, 0x6D, 0xB8,
                                     0x13, 0xF0, 0x7E, 0x49, 0xA6, 0xD2, 0x35, 0x8C};
    QByteArray out = Password;
    for (qsizetype i = 0; i < out.size(); ++i)
        out[i] = static_cast<char>(static_cast<quint8>(out[i]) ^ Table[i % 16]);
    return out;
}

// ---------------------------------------------------------------------------------------------------
// Builders

namespace {

// Starts a channel-2 frame with its SNAC header (flags 0).
void StartSNAC(TRawPacket& Pkt, quint16& Seq, quint16 Family, quint16 Subtype, quint32 RequestId = 0) {
    PktStartFLAP(Pkt, 2, Seq);
    PktPutSNAC(Pkt, Family, Subtype, 0, RequestId);
}

void BuildBareSNAC(TRawPacket& Pkt, quint16& Seq, quint16 Family, quint16 Subtype, quint32 RequestId = 0) {
    StartSNAC(Pkt, Seq, Family, Subtype, RequestId);
    PktFinishFLAP(Pkt);
}

void BuildList(TRawPacket& Pkt, quint16& Seq, quint16 Subtype, const QStringList& List) {
    StartSNAC(Pkt, Seq, 9, Subtype);
    for (const QString& entry : List)
        PktPutByteString(Pkt, entry.toUtf8());
    PktFinishFLAP(Pkt);
}

struct TFamilyTool {
    quint16 Family, Version, ToolId, ToolVersion;
};

void PutFamilyTools(TRawPacket& Pkt, std::initializer_list<TFamilyTool> Entries) {
    for (const TFamilyTool& e : Entries) {
        PktPutBE(Pkt, e.Family, 2);
        PktPutBE(Pkt, e.Version, 2);
        PktPutBE(Pkt, e.ToolId, 2);
        PktPutBE(Pkt, e.ToolVersion, 2);
    }
}

} // namespace

void BuildLoginFrame(TRawPacket& Pkt, quint32 UIN, const QByteArray& Password, quint16& Seq, bool Secure) {
    const QByteArray uin = Int64ToText(UIN).toLatin1();
    if (Secure) {
        // Password carries the MD5 digest here.
        StartSNAC(Pkt, Seq, 0x17, 2);
        PktPutTLVText(Pkt, 1, uin);
        PktPutTLVText(Pkt, 0x25, Password);
        PktPutBE(Pkt, 0x004C0000, 4);
    } else {
        PktStartFLAP(Pkt, 1, Seq);
        PktPutBE(Pkt, 1, 4);
        PktPutTLVText(Pkt, 1, uin);
        PktPutTLVText(Pkt, 2, RoastPassword(Password));
    }
    PktPutTLVText(Pkt, 3, "ICQ Client");
    PktPutTLVInt(Pkt, 0x16, 2, 0x010A);
    PktPutTLVInt(Pkt, 0x17, 2, 6);
    PktPutTLVInt(Pkt, 0x18, 2, 5);
    PktPutTLVInt(Pkt, 0x19, 2, 0);
    PktPutTLVInt(Pkt, 0x1A, 2, 104);
    PktPutTLVInt(Pkt, 0x14, 4, 1875);
    PktPutTLVInt(Pkt, 0x0F, 2, 0x656E);
    PktPutTLVInt(Pkt, 0x0E, 2, 0x7573);
    PktPutTLVText(Pkt, 0x0F, "en");
    PktPutTLVText(Pkt, 0x0E, "us");
    PktFinishFLAP(Pkt);
}

void BuildCookieFrame(TRawPacket& Pkt, const QByteArray& Cookie, quint16& Seq) {
    PktStartFLAP(Pkt, 1, Seq);
    PktPutBE(Pkt, 1, 4);
    PktPutTLVRaw(Pkt, 6, static_cast<quint16>(std::min<qsizetype>(Cookie.size(), 0xFFFF)),
                 Cookie.constData());
    PktFinishFLAP(Pkt);
}

void BuildHello(TRawPacket& Pkt, quint16& Seq) {
    PktStartFLAP(Pkt, 1, Seq);
    PktPutBE(Pkt, 1, 4);
    PktFinishFLAP(Pkt);
}

void BuildSignOff(TRawPacket& Pkt, quint16& Seq) {
    PktStartFLAP(Pkt, 4, Seq);
    PktFinishFLAP(Pkt);
}

void BuildKeepAlive(TRawPacket& Pkt, quint16& Seq) {
    PktStartFLAP(Pkt, 5, Seq);
    PktFinishFLAP(Pkt);
}

void BuildFamilyVersions(TRawPacket& Pkt, quint16& Seq) {
    StartSNAC(Pkt, Seq, 1, 0x17, 0x17);
    static const quint16 Pairs[][2] = {{0x22, 1}, {1, 4}, {0x13, 4}, {2, 1},    {3, 1},   {0x15, 1},
                                       {4, 1},    {6, 1}, {9, 1},    {0x0A, 1}, {0x0B, 1}};
    for (const auto& pair : Pairs) {
        PktPutBE(Pkt, pair[0], 2);
        PktPutBE(Pkt, pair[1], 2);
    }
    PktFinishFLAP(Pkt);
}

void BuildRateRequest(TRawPacket& Pkt, quint16& Seq) {
    BuildBareSNAC(Pkt, Seq, 1, 6, 6);
}

void BuildRateAck(TRawPacket& Pkt, quint16& Seq) {
    StartSNAC(Pkt, Seq, 1, 8, 8);
    for (quint32 id = 1; id <= 5; ++id)
        PktPutBE(Pkt, id, 2);
    PktFinishFLAP(Pkt);
}

void BuildSelfInfoRequest(TRawPacket& Pkt, quint16& Seq) {
    BuildBareSNAC(Pkt, Seq, 1, 0x0E, 0x0E);
}

void BuildSSIRightsRequest(TRawPacket& Pkt, quint16& Seq) {
    StartSNAC(Pkt, Seq, 0x13, 2, 2);
    PktPutTLVInt(Pkt, 0x0B, 2, 0x000F);
    PktFinishFLAP(Pkt);
}

void BuildLocationRightsRequest(TRawPacket& Pkt, quint16& Seq) {
    BuildBareSNAC(Pkt, Seq, 2, 2);
}

void BuildBuddyRightsRequest(TRawPacket& Pkt, quint16& Seq) {
    StartSNAC(Pkt, Seq, 3, 2);
    PktPutTLVInt(Pkt, 5, 2, 3);
    PktFinishFLAP(Pkt);
}

void BuildICBMParamsRequest(TRawPacket& Pkt, quint16& Seq) {
    BuildBareSNAC(Pkt, Seq, 4, 4);
}

void BuildPrivacyRightsRequest(TRawPacket& Pkt, quint16& Seq) {
    BuildBareSNAC(Pkt, Seq, 9, 2);
}

QByteArray CapabilityBlock() {
    return QByteArray::fromHex("0946134d4c7f11d18222444553540000"
                               "094600004c7f11d18222444553540000"
                               "094613494c7f11d18222444553540000"
                               "094613434c7f11d18222444553540000"
                               "094613444c7f11d18222444553540000"
                               "0946134e4c7f11d18222444553540000"
                               "0946134c4c7f11d18222444553540000"
                               "563fc8090b6f41bd9f79422609dfa2f3"
                               "1a093c6cd7fd4ec59d51a6474e34f5a0");
}

QByteArray ExtraCapability(int Index) {
    // Our own identifiers: a fixed 13-byte prefix and the entry's three-digit number.
    if (Index < 1 || Index > 35)
        return QByteArray();
    return "Zorvanite Tq " + QByteArray::number(Index).rightJustified(3, '0');
}

void BuildCapabilities(TRawPacket& Pkt, int Extra, quint16& Seq) {
    StartSNAC(Pkt, Seq, 2, 4);
    const QByteArray block = CapabilityBlock() + ExtraCapability(Extra);
    PktPutTLVRaw(Pkt, 5, static_cast<quint16>(block.size()), block.constData());
    PktFinishFLAP(Pkt);
}

void BuildICBMParams(TRawPacket& Pkt, bool Typing, quint16 Channel, quint16& Seq) {
    StartSNAC(Pkt, Seq, 4, 2);
    PktPutBE(Pkt, Channel, 2);
    PktPutBE(Pkt, Typing && Channel == 1 ? 11 : 3, 4);
    PktPutBE(Pkt, 8000, 2);
    PktPutBE(Pkt, 999, 2);
    PktPutBE(Pkt, 999, 2);
    PktPutBE(Pkt, 0, 2);
    PktPutBE(Pkt, 0, 2);
    PktFinishFLAP(Pkt);
}

void BuildAddContacts(TRawPacket& Pkt, const QList<quint32>& UINs, quint16& Seq) {
    StartSNAC(Pkt, Seq, 3, 4);
    for (const quint32 uin : UINs)
        PktPutUINText(Pkt, uin);
    PktFinishFLAP(Pkt);
}

void BuildVisibleList(TRawPacket& Pkt, const QStringList& List, quint16& Seq) {
    BuildList(Pkt, Seq, 5, List);
}

void BuildInvisibleList(TRawPacket& Pkt, const QStringList& List, quint16& Seq) {
    BuildList(Pkt, Seq, 7, List);
}

void BuildIdle(TRawPacket& Pkt, bool Idle, quint16& Seq) {
    StartSNAC(Pkt, Seq, 1, 0x11);
    PktPutBE(Pkt, Idle ? 60 : 0, 4);
    PktFinishFLAP(Pkt);
}

quint8 DirectConnectionType(TProxyType ProxyKind) {
    switch (ProxyKind) {
    case P_NONE:
        return 4;
    case P_SOCKS4:
    case P_SOCKS5:
        return 2;
    default:
        return 1;
    }
}

void BuildSetStatus(TRawPacket& Pkt, quint32 Status, TProxyType ProxyKind, quint16& Seq) {
    StartSNAC(Pkt, Seq, 1, 0x1E);
    PktPutTLVInt(Pkt, 6, 4, Status);
    PktPutTLVInt(Pkt, 8, 2, 0);
    // The direct-connection record always carries its type byte, so the TLV stays 37 bytes.
    const int at = BeginTLV(Pkt, 0x0C);
    PktPutBE(Pkt, 0, 4); // internal address
    PktPutBE(Pkt, 0, 4); // port
    PktPutBE(Pkt, DirectConnectionType(ProxyKind), 1);
    PktPutBE(Pkt, 11, 2); // protocol version
    PktPutBE(Pkt, 0, 4);  // connection cookie
    PktPutBE(Pkt, 0, 4);
    PktPutBE(Pkt, 3, 4);
    for (int i = 0; i < 3; ++i)
        PktPutBE(Pkt, 0, 4); // time stamps
    PktPutBE(Pkt, 0, 2);
    EndTLV(Pkt, at);
    PktPutTLVInt(Pkt, 0x1F, 2, 0);
    PktFinishFLAP(Pkt);
}

void BuildClientReady(TRawPacket& Pkt, quint16& Seq) {
    StartSNAC(Pkt, Seq, 1, 2);
    PutFamilyTools(Pkt, {{0x22, 1, 0x0110, 0x164F},
                         {1, 4, 0x0110, 0x164F},
                         {0x13, 4, 0x0110, 0x164F},
                         {2, 1, 0x0101, 0x164F},
                         {3, 1, 0x0110, 0x164F},
                         {0x15, 1, 0x0110, 0x164F},
                         {4, 1, 0x0110, 0x164F},
                         {6, 1, 0x0110, 0x164F},
                         {9, 1, 0x0110, 0x164F},
                         {0x0A, 1, 0x0110, 0x164F},
                         {0x0B, 1, 0x0110, 0x164F}});
    PktFinishFLAP(Pkt);
}

void BuildClientReadyAvatar(TRawPacket& Pkt, quint16& Seq) {
    StartSNAC(Pkt, Seq, 1, 2);
    PutFamilyTools(Pkt, {{1, 4, 0x0010, 0x08E4}, {0x10, 1, 0x0010, 0x08E4}});
    PktFinishFLAP(Pkt);
}

void BuildServiceRequest(TRawPacket& Pkt, quint16& Seq) {
    StartSNAC(Pkt, Seq, 1, 4);
    PktPutBE(Pkt, 0x10, 2);
    PktFinishFLAP(Pkt);
}

void BuildMetaRequest(TRawPacket& Pkt, quint32 UIN, quint16 Type, quint16& MetaSeq, const QByteArray& Data,
                      quint16& Seq) {
    StartSNAC(Pkt, Seq, 0x15, 2, 0x00010002);
    const int at = BeginTLV(Pkt, 1);
    PktPutLE(Pkt, static_cast<quint32>(4 + 2 + 2 + Data.size()), 2);
    PktPutLE(Pkt, UIN, 4);
    PktPutLE(Pkt, Type, 2);
    PktPutLE(Pkt, MetaSeq, 2);
    PktPutText(Pkt, Data);
    EndTLV(Pkt, at);
    ++MetaSeq;
    PktFinishFLAP(Pkt);
}

void BuildOfflineRequest(TRawPacket& Pkt, quint32 UIN, quint16& MetaSeq, quint16& Seq) {
    BuildMetaRequest(Pkt, UIN, 60, MetaSeq, QByteArray(), Seq);
}

void BuildMessage(TRawPacket& Pkt, quint32 CookieHi, quint32 CookieLo, quint32 UIN, const QByteArray& Text,
                  quint16& Seq) {
    StartSNAC(Pkt, Seq, 4, 6);
    PktPutBE(Pkt, CookieHi, 4);
    PktPutBE(Pkt, CookieLo, 4);
    PktPutBE(Pkt, 1, 2);
    PktPutUINText(Pkt, UIN);
    const int outer = BeginTLV(Pkt, 2);
    PktPutTLVInt(Pkt, 0x0501, 1, 1);
    const int inner = BeginTLV(Pkt, 0x0101);
    PktPutBE(Pkt, 0, 4);
    PktPutText(Pkt, Text);
    EndTLV(Pkt, inner);
    EndTLV(Pkt, outer);
    PktPutTLVInt(Pkt, 6, 0, 0);
    PktFinishFLAP(Pkt);
}

void BuildSSIActivate(TRawPacket& Pkt, quint16& Seq) {
    BuildBareSNAC(Pkt, Seq, 0x13, 7);
}

void BuildMD5KeyRequest(TRawPacket& Pkt, const QByteArray& UINText, quint16& Seq) {
    StartSNAC(Pkt, Seq, 0x17, 6);
    PktPutTLVText(Pkt, 1, UINText);
    PktPutBE(Pkt, 0x004B0000, 4);
    PktFinishFLAP(Pkt);
}

void BuildNewUIN(TRawPacket& Pkt, const QByteArray& Password, quint16& Seq) {
    StartSNAC(Pkt, Seq, 0x17, 4);
    const int at = BeginTLV(Pkt, 1);
    for (const quint32 word : {0u, 0x28000300u, 0u, 0u, 0x9E270000u, 0x9E270000u, 0u, 0u, 0u, 0u})
        PktPutBE(Pkt, word, 4);
    PktPutLEStringZ(Pkt, Password);
    PktPutBE(Pkt, 0x9E270000, 4);
    PktPutBE(Pkt, 0, 2);
    PktPutBE(Pkt, 0x0302, 2);
    EndTLV(Pkt, at);
    PktFinishFLAP(Pkt);
}

// ---------------------------------------------------------------------------------------------------
// TFlapReassembler

void TFlapReassembler::Reset() {
    FFill = 0;
    FHeaderTaken = false;
    FStopped = false;
    FDelivered = false;
    FHeader = TFlapHeader();
}

TFlapReassembler::TResult TFlapReassembler::Take(const char*& Data, int& Length) {
    if (FDelivered) {
        FFill = 0;
        FHeaderTaken = false;
        FDelivered = false;
    }
    auto copy = [&](int Want) {
        const int count = std::min(Want, Length);
        std::memcpy(FBuffer + FFill, Data, static_cast<std::size_t>(count));
        FFill += count;
        Data += count;
        Length -= count;
    };
    auto stop = [&](TResult Result) {
        // The rest of the chunk goes with the connection.
        FStopped = true;
        Data += Length;
        Length = 0;
        return Result;
    };
    if (FStopped || !Data || Length < 0) {
        if (Data)
            Data += std::max(Length, 0);
        Length = 0;
        return NeedMore;
    }
    if (!FHeaderTaken) {
        copy(FlapHeaderSize - FFill);
        if (FFill < FlapHeaderSize)
            return NeedMore;
        FHeader.Marker = FBuffer[0];
        FHeader.Channel = FBuffer[1];
        FHeader.Seq = static_cast<quint16>(FBuffer[2] << 8 | FBuffer[3]);
        FHeader.Length = static_cast<quint16>(FBuffer[4] << 8 | FBuffer[5]);
        FHeaderTaken = true;
        if (FHeader.Length > MaxPacketSize)
            return stop(Oversized);
    }
    copy(FrameSize() - FFill);
    if (FFill < FrameSize())
        return NeedMore;
    if (FHeader.Marker != FlapMarker)
        return stop(Malformed);
    FDelivered = true;
    return Frame;
}

// ---------------------------------------------------------------------------------------------------
// TICQNet

TICQNet::TICQNet(QObject* Parent) : QObject(Parent) {}

TICQNet::~TICQNet() {
    // No callback runs while the sockets go.
    OnError = nullptr;
    OnDisconnect = nullptr;
    OnConnectError = nullptr;
    CloseSockets();
}

void TICQNet::SetLanguage(TICQLangType Language) {
    FLanguage = Language;
    for (TEventSocket* socket : {FSocket.data(), FSecondSocket.data()})
        if (socket)
            socket->Language = Language;
}

bool TICQNet::Active() const {
    // The gateway always has its monitor request (or the hello) under way.
    return (FSocket && FSocket->Active()) || (FSecondSocket && FSecondSocket->Active());
}

TEventSocket* TICQNet::MakeSocket(TProxyType Kind) {
    switch (Kind) {
    case P_SOCKS4:
        return new TSOCKS4Socket(this);
    case P_SOCKS5:
        return new TSOCKS5Socket(this);
    case P_HTTPS:
        return new THTTPSSocket(this);
    case P_HTTP:
        return new THTTPSocket(this);
    default:
        return new TEventSocket(this);
    }
}

void TICQNet::HookSocket(TEventSocket* Socket) {
    const quint32 connection = FConnection;
    Socket->Language = FLanguage;
    Socket->OnDataAvailable = [this, connection](const char* Data, int Length) {
        if (connection == FConnection)
            HandleReceived(Data, Length);
    };
    Socket->OnDisconnect = [this, connection] {
        if (connection == FConnection)
            Disconnect();
    };
    Socket->OnError = [this, connection](int, const QString& Text) {
        if (connection != FConnection)
            return;
        CloseSockets();
        if (OnError)
            OnError(ERR_SOCKET, Text);
    };
    Socket->OnConnectError = [this, connection, Socket] {
        if (connection == FConnection)
            ConnectFailed(Socket);
    };
    Socket->OnThreadException = [this, connection](const QString& Text) {
        if (connection != FConnection)
            return;
        CloseSockets();
        if (OnThreadException)
            OnThreadException(Text);
    };
}

void TICQNet::ConnectFailed(TEventSocket* Socket) {
    // A refusal by the proxy or the gateway has no socket error number.
    const TErrorType type = Socket->LastError() == 0 ? ERR_PROXY : ERR_SOCKET;
    const QString text = Socket->LastErrorText();
    CloseSockets();
    if (OnConnectError)
        OnConnectError(type, text);
}

void TICQNet::Drop(QPointer<TEventSocket>& Socket) {
    if (!Socket)
        return;
    TEventSocket* socket = Socket.data();
    Socket = nullptr;
    socket->Disconnect();
    socket->deleteLater();
}

void TICQNet::CloseSockets() {
    ++FConnection;
    FReassembler.Reset();
    Drop(FSocket);
    Drop(FSecondSocket);
    FSendQueue.Clear();
    FGatewayMode = false;
}

void TICQNet::Disconnect() {
    CloseSockets();
    if (OnDisconnect)
        OnDisconnect();
}

void TICQNet::Connect() {
    CloseSockets();
    FGatewayMode = ProxyType == P_HTTP;
    if (FGatewayMode) {
        TGatewaySession::TSettings settings;
        settings.GatewayHost = HTTPHost.toUtf8();
        settings.GatewayPort = HTTPPort;
        settings.Destination = Host.toUtf8();
        settings.DestinationPort = Port;
        settings.UserID = ProxyUserID.toUtf8();
        settings.Password = ProxyPass.toUtf8();
        settings.Auth = ProxyAuth;
        FGateway.Reset(settings);
        StartGatewayRequest(FSocket, FGateway.HelloRequest());
        return;
    }
    TEventSocket* socket = MakeSocket(ProxyType);
    socket->Host = Host;
    socket->Port = Port;
    if (ProxyType != P_NONE)
        socket->SetProxy(*this);
    HookSocket(socket);
    FSocket = socket;
    socket->Connect();
}

void TICQNet::Send(const void* Data, int Length) {
    if (!Data || Length <= 0)
        return;
    if (OnPktDump)
        OnPktDump(Host, false, Length, static_cast<const quint8*>(Data), Port);
    if (FGatewayMode) {
        FSendQueue.Append(static_cast<const char*>(Data), Length);
        StartGatewaySender();
        return;
    }
    if (FSocket)
        FSocket->Send(static_cast<const char*>(Data), Length);
}

void TICQNet::HandleReceived(const char* Data, int Length) {
    const quint32 connection = FConnection;
    while (connection == FConnection) {
        const TFlapReassembler::TResult result = FReassembler.Take(Data, Length);
        if (result == TFlapReassembler::NeedMore)
            return;
        if (result != TFlapReassembler::Frame) {
            const QString text = GetICQErrorText(FLanguage, result == TFlapReassembler::Oversized ? 1 : 3);
            CloseSockets();
            if (OnError)
                OnError(ERR_PROTOCOL, text);
            return;
        }
        if (OnPktDump)
            OnPktDump(Host, true, FReassembler.FrameSize(), FReassembler.FrameBytes(), Port);
        if (connection == FConnection && OnHandlePkt)
            OnHandlePkt(FReassembler.Header(), FReassembler.Payload(), FReassembler.Header().Length);
    }
}

// ---------------------------------------------------------------------------------------------------
// HTTP gateway: the first socket carries hello and monitor requests, the second the data requests.

void TICQNet::StartGatewayRequest(QPointer<TEventSocket>& Slot, const QByteArray& Request) {
    Drop(Slot);
    auto* socket = new THTTPSocket(this);
    socket->Host = QString::fromUtf8(FGateway.Host());
    socket->Port = FGateway.HostPort();
    socket->SetProxy(*this);
    socket->Request = Request;
    HookSocket(socket);
    const quint32 connection = FConnection;
    const bool monitor = &Slot == &FSocket;
    socket->OnDataAvailable = [this, connection](const char* Data, int Length) {
        if (connection == FConnection)
            GatewayBody(Data, Length);
    };
    socket->OnDisconnect = [this, connection, monitor] {
        if (connection != FConnection)
            return;
        if (monitor)
            GatewayMonitorDone();
        else
            GatewayDataDone();
    };
    Slot = socket;
    socket->Connect();
}

void TICQNet::GatewayBody(const char* Data, int Length) {
    const quint32 connection = FConnection;
    const TGatewaySession::TOutcome outcome = FGateway.HandleBody(QByteArray(Data, Length));
    if (!outcome.FlapData.isEmpty())
        HandleReceived(outcome.FlapData.constData(), static_cast<int>(outcome.FlapData.size()));
    if (connection != FConnection)
        return;
    if (outcome.Closed) {
        const QString text = GetICQErrorText(FLanguage, 2);
        CloseSockets();
        if (OnConnectError)
            OnConnectError(ERR_PROXY, text);
        return;
    }
    if (outcome.Started)
        StartGatewaySender();
}

void TICQNet::GatewayMonitorDone() {
    if (!FGateway.HasSid()) {
        // The hello reply named no session.
        const QString text = GetICQErrorText(FLanguage, 2);
        CloseSockets();
        if (OnConnectError)
            OnConnectError(ERR_PROXY, text);
        return;
    }
    StartGatewayRequest(FSocket, FGateway.MonitorRequest());
}

void TICQNet::GatewayDataDone() {
    Drop(FSecondSocket);
    StartGatewaySender();
}

void TICQNet::StartGatewaySender() {
    if (!FGatewayMode || !FGateway.HasSid() || (FSecondSocket && FSecondSocket->Active()))
        return;
    if (!FGateway.LoginPending() && FSendQueue.ChunkCount() == 0)
        return;
    const QByteArray queued = FGateway.LoginPending() ? QByteArray() : FSendQueue.Take(GatewayDataMax);
    StartGatewayRequest(FSecondSocket, FGateway.DataRequest(queued));
}
