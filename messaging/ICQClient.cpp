// The messaging client's sign-on, dispatcher and sending, and the decoders of what the server sends.
// Every decoder reads through the packet's bounded readers and never past the received frame.
#include "messaging/ICQClient.h"

#include "messaging/ICQDirect2.h"

#include <QDate>
#include <QRandomGenerator>
#include <algorithm>

#include "core/ExceptionGuard.h"
#include "core/TextConversions.h"

namespace {

// The service's own endpoints, used when a caller sets none.
const char* const DefaultLoginServer = "login.icq.com";
const char* const DefaultHTTPGateway = "http.proxy.icq.com";

// The largest message the client announces (BuildICBMParams), so a message always fits its frame.
constexpr int MaxMessageBytes = 8000;
// Bytes of a rendezvous request's header that the acknowledgement repeats.
constexpr int RendezvousHeaderSize = 47;

quint32 Random(quint32 Below) {
    return QRandomGenerator::global()->bounded(Below);
}

// Moves the cursor N bytes on, never past what was received.
void Skip(TRawPacket& Pkt, int N) {
    if (N > 0)
        Pkt.Len = static_cast<quint16>(std::min(Pkt.Len + N, static_cast<int>(Pkt.End)));
}

// The cursor after a TLV of Length bytes starting at the cursor, never past what was received.
int EndOf(const TRawPacket& Pkt, int Length) {
    return std::min(Pkt.Len + Length, static_cast<int>(Pkt.End));
}

void SeekTo(TRawPacket& Pkt, int At) {
    Pkt.Len = static_cast<quint16>(std::clamp(At, 0, static_cast<int>(Pkt.End)));
}

bool AtEnd(const TRawPacket& Pkt) {
    return Pkt.Len >= Pkt.End;
}

// Raw bytes that stop at Limit (a TLV's end) as well as at the frame.
QByteArray RawUpTo(TRawPacket& Pkt, int Count, int Limit) {
    return PktGetRaw(Pkt, std::min(Count, Limit - Pkt.Len));
}

// A little-endian length, that many bytes less one, and the terminator: within Limit.
QByteArray LEStringZUpTo(TRawPacket& Pkt, int Limit) {
    const int length = static_cast<int>(PktGetLE(Pkt, 2));
    if (length <= 0)
        return QByteArray();
    QByteArray text = RawUpTo(Pkt, length - 1, Limit);
    if (Pkt.Len < Limit)
        PktGetBE(Pkt, 1);
    return text;
}

QString UINText(const QByteArray& Bytes) {
    return QString::fromLatin1(Bytes);
}

bool IsLower(QChar C) {
    return C >= QLatin1Char('a') && C <= QLatin1Char('z');
}

bool IsDigit(QChar C) {
    return C >= QLatin1Char('0') && C <= QLatin1Char('9');
}

// The date-time of the fields of an offline message (seconds 0); 0 when they name no date.
double OfflineDateTime(int Year, int Month, int Day, int Hour, int Minute) {
    const QDate date(Year, Month, Day);
    if (!date.isValid() || Hour > 23 || Minute > 59)
        return 0;
    return static_cast<double>(QDate(1899, 12, 30).daysTo(date)) + (Hour * 60 + Minute) / 1440.0;
}

// A typed message's text by its type: 1 plain, 4 URL (description 0xFE URL), 13 web pager.
void TypedMessage(TReceivedMessage& Message, quint16 Type, const QByteArray& Bytes, bool ConvertToPlaintext) {
    Message.MessageType = Type;
    if (Bytes.isEmpty())
        return;
    if (Type == 1) {
        Message.Text = MessageBodyText(Bytes, 0, ConvertToPlaintext);
        if (!Message.Text.isEmpty())
            Message.Kind = TMessageKind::Plain;
    } else if (Type == 4) {
        const qsizetype split = Bytes.indexOf('\xFE');
        Message.Description = DecodeMessageText(split < 0 ? Bytes : Bytes.left(split));
        Message.URL = split < 0 ? QString() : DecodeMessageText(Bytes.mid(split + 1));
        Message.Kind = TMessageKind::URL;
    } else if (Type == 13) {
        // Name, two empty fields, e-mail, a flag, then the message whose first line names the sender's
        // address.
        const QList<QByteArray> fields = Bytes.split('\xFE');
        Message.Name = DecodeMessageText(fields.value(0));
        Message.Email = DecodeMessageText(fields.value(3));
        Message.Text = DecodeMessageText(fields.size() > 1 ? fields.last() : QByteArray());
        const qsizetype ip = Message.Text.indexOf(QLatin1String("IP:"));
        if (ip >= 0)
            Message.Address = Message.Text.mid(ip + 3)
                                  .section(QLatin1Char('\r'), 0, 0)
                                  .section(QLatin1Char('\n'), 0, 0)
                                  .trimmed();
        Message.Kind = TMessageKind::WebPager;
    }
}

// ---------------------------------------------------------------------------------------------------
// RTF reduction

class TRTFReducer {
public:
    explicit TRTFReducer(const QString& Text) : FText(Text) {}

    // False when the groups nest too deep.
    bool Reduce(QString& Out) {
        FPos = 1;
        Out = Group(1);
        return !FTooDeep;
    }

private:
    QChar At(int Pos) const { return Pos < FText.size() ? FText[Pos] : QChar(); }

    QString Group(int Depth) {
        QString out;
        if (Depth > RTFMaxDepth) {
            FTooDeep = true;
            return out;
        }
        while (FPos < FText.size() && !FTooDeep) {
            const QChar c = FText[FPos];
            if (c == QLatin1Char('{')) {
                ++FPos;
                out += Group(Depth + 1);
            } else if (c == QLatin1Char('}')) {
                ++FPos;
                return out;
            } else if (c == QLatin1Char('\\')) {
                ++FPos;
                if (Escape(out, Depth))
                    return out;
            } else {
                out += c;
                ++FPos;
            }
        }
        return out;
    }

    // After a backslash; true when the current group ended ("\*").
    bool Escape(QString& Out, int Depth) {
        if (FPos >= FText.size())
            return false;
        const QChar c = FText[FPos];
        if (c == QLatin1Char('\'')) {
            const qint64 code = HexTextToInt(FText.mid(FPos + 1, 2));
            FPos = std::min<int>(FPos + 3, FText.size());
            if (code > 0)
                Out += QChar(static_cast<char16_t>(code));
        } else if (c == QLatin1Char('*')) {
            SkipRestOfGroup();
            return true;
        } else if (c == QLatin1Char('~')) {
            Out += QLatin1Char(' ');
            ++FPos;
        } else if (IsLower(c)) {
            ControlWord(Out, Depth);
        } else {
            Out += c;
            ++FPos;
        }
        return false;
    }

    void SkipRestOfGroup() {
        int depth = 0;
        while (FPos < FText.size()) {
            const QChar c = FText[FPos++];
            if (c == QLatin1Char('\\'))
                ++FPos;
            else if (c == QLatin1Char('{'))
                ++depth;
            else if (c == QLatin1Char('}') && depth-- == 0)
                return;
        }
    }

    void ControlWord(QString& Out, int Depth) {
        const int start = FPos;
        while (IsLower(At(FPos)))
            ++FPos;
        const QString word = FText.mid(start, FPos - start);
        const int number = FPos;
        if (At(FPos) == QLatin1Char('-'))
            ++FPos;
        while (IsDigit(At(FPos)))
            ++FPos;
        const qint64 value = TextToInt64(FText.mid(number, FPos - number));

        QString collected;
        bool beforeClose = false;
        const QChar next = At(FPos);
        if (next == QLatin1Char('{')) {
            ++FPos;
            Group(Depth + 1);
        } else if (FPos < FText.size() && next != QLatin1Char('\\') && next != QLatin1Char('}') &&
                   !IsLower(next)) {
            ++FPos; // the delimiter
            const int from = FPos;
            while (FPos < FText.size() && FText[FPos] != QLatin1Char('\\') &&
                   FText[FPos] != QLatin1Char('{') && FText[FPos] != QLatin1Char('}'))
                ++FPos;
            collected = FText.mid(from, FPos - from);
            beforeClose = At(FPos) == QLatin1Char('}');
        }
        if (word == QLatin1String("line") || word == QLatin1String("par")) {
            Out += QLatin1String("\r\n");
        } else if (word == QLatin1String("tab")) {
            Out += QLatin1Char('\t');
        } else if (word == QLatin1String("u")) {
            const qint64 code = value < 0 ? value + 65536 : value;
            if (code > 0 && code <= 0xFFFF)
                Out += QChar(static_cast<char16_t>(code));
        } else if (word == QLatin1String("colortbl")) {
            collected.clear();
        }
        if (!(beforeClose && collected.endsWith(QLatin1Char(';'))))
            Out += collected;
    }

    const QString& FText;
    int FPos = 0;
    bool FTooDeep = false;
};

// Braces outside escapes are as many opening as closing.
bool BracesBalance(const QString& Text) {
    int depth = 0;
    for (qsizetype i = 0; i < Text.size(); ++i) {
        if (Text[i] == QLatin1Char('\\'))
            ++i;
        else if (Text[i] == QLatin1Char('{'))
            ++depth;
        else if (Text[i] == QLatin1Char('}'))
            --depth;
    }
    return depth == 0;
}

// ---------------------------------------------------------------------------------------------------
// Message channels

void DecodeChannel1(TRawPacket& Pkt, TReceivedMessage& Message, bool ConvertToPlaintext) {
    Message.UIN = UINText(PktGetByteString(Pkt));
    PktGetBE(Pkt, 2); // warning level
    const int skipped = static_cast<int>(PktGetBE(Pkt, 2));
    for (int i = 0; i < skipped && !AtEnd(Pkt); ++i) {
        PktGetBE(Pkt, 2);
        Skip(Pkt, static_cast<int>(PktGetBE(Pkt, 2)));
    }
    QByteArray body;
    quint16 charset = 0;
    bool found = false;
    while (!AtEnd(Pkt)) {
        const quint16 type = static_cast<quint16>(PktGetBE(Pkt, 2));
        if (type == 0)
            break;
        const int tlvEnd = EndOf(Pkt, static_cast<int>(PktGetBE(Pkt, 2)));
        if (type == 2 && !found) {
            PktGetBE(Pkt, 2); // fragment 0x0501
            Skip(Pkt, static_cast<int>(PktGetBE(Pkt, 2)));
            PktGetBE(Pkt, 2); // fragment 0x0101
            const int length = static_cast<int>(PktGetBE(Pkt, 2));
            charset = static_cast<quint16>(PktGetBE(Pkt, 2));
            PktGetBE(Pkt, 2); // subset
            body = RawUpTo(Pkt, length - 4, tlvEnd);
            found = true;
        }
        SeekTo(Pkt, tlvEnd);
    }
    Message.Text = MessageBodyText(body, charset, ConvertToPlaintext);
    if (!Message.Text.isEmpty())
        Message.Kind = TMessageKind::Plain;
}

// The acknowledgement body: cookie and channel, UIN, 3, the request header, 0, then the away message
// or an empty message with its colours.
QByteArray RendezvousAck(const QByteArray& CookieAndChannel, const QByteArray& UIN, const QByteArray& Header,
                         bool AutoMessage, const QByteArray& AutoAwayMessage) {
    auto pkt = std::make_unique<TRawPacket>();
    PktReset(*pkt);
    PktPutRaw(*pkt, CookieAndChannel.constData(), static_cast<int>(CookieAndChannel.size()));
    PktPutByteString(*pkt, UIN);
    PktPutBE(*pkt, 3, 2);
    PktPutRaw(*pkt, Header.constData(), static_cast<int>(Header.size()));
    PktPutBE(*pkt, 0, 4);
    if (AutoMessage) {
        PktPutLEStringZ(*pkt, AutoAwayMessage);
    } else {
        PktPutBE(*pkt, 1, 1);
        PktPutBE(*pkt, 0, 4);
        PktPutBE(*pkt, 0, 2);
        PktPutBE(*pkt, 0xFFFFFF00, 4);
    }
    return PktBytes(*pkt);
}

// The 0x2711 block of a rendezvous request, from the cursor to End.
void DecodeRendezvousBlock(TRawPacket& Pkt, int End, TReceivedMessage& Message,
                           const QByteArray& CookieAndChannel, const QByteArray& UIN, bool WantsAck,
                           bool ConvertToPlaintext, const QByteArray& AutoAwayMessage) {
    const QByteArray header = RawUpTo(Pkt, RendezvousHeaderSize, End);
    if (header.size() < RendezvousHeaderSize || header[0] != '\x1B' || header[1] != '\0')
        return;
    const quint8 type = static_cast<quint8>(header[45]);
    const quint8 flags = static_cast<quint8>(header[46]);
    Message.MessageType = type;
    Skip(Pkt, std::min(4, End - Pkt.Len)); // status, priority
    const QByteArray text = LEStringZUpTo(Pkt, End);
    const bool autoMessage = (type & 0xE0) == 0xE0 && flags == 3;
    if (WantsAck && CookieAndChannel.size() == 10)
        Message.Acknowledgement = RendezvousAck(CookieAndChannel, UIN, header, autoMessage, AutoAwayMessage);
    if (autoMessage) {
        Message.Kind = TMessageKind::AutoMessageRequest;
    } else if ((type == 1 || type == 0x93) && !text.isEmpty()) {
        Message.Text = MessageBodyText(text, 0, ConvertToPlaintext);
        if (!Message.Text.isEmpty())
            Message.Kind = TMessageKind::Plain;
    } else if (type == 4) {
        TypedMessage(Message, type, text, ConvertToPlaintext);
    }
}

void DecodeChannel2(TRawPacket& Pkt, TReceivedMessage& Message, const QByteArray& CookieAndChannel,
                    bool ConvertToPlaintext, const QByteArray& AutoAwayMessage) {
    const QByteArray uin = PktGetByteString(Pkt);
    Message.UIN = UINText(uin);
    PktGetBE(Pkt, 2); // warning level
    const int userTLVs = static_cast<int>(PktGetBE(Pkt, 2));
    for (int i = 0; i < userTLVs && !AtEnd(Pkt); ++i) {
        PktGetBE(Pkt, 2);
        Skip(Pkt, static_cast<int>(PktGetBE(Pkt, 2)));
    }
    for (int i = 0; i < 6 && !AtEnd(Pkt); ++i) {
        const quint16 type = static_cast<quint16>(PktGetBE(Pkt, 2));
        const int tlvEnd = EndOf(Pkt, static_cast<int>(PktGetBE(Pkt, 2)));
        if (type != 5) {
            SeekTo(Pkt, tlvEnd);
            continue;
        }
        if (PktGetBE(Pkt, 2) != 0) // not a request
            return;
        Skip(Pkt, 8 + 16); // cookie, capability
        bool wantsAck = true;
        for (int j = 0; j < 7 && Pkt.Len < tlvEnd; ++j) {
            const quint16 inner = static_cast<quint16>(PktGetBE(Pkt, 2));
            const int innerLength = static_cast<int>(PktGetBE(Pkt, 2));
            const int innerEnd = std::min(Pkt.Len + innerLength, tlvEnd);
            if (inner == 0x000F)
                wantsAck = false;
            if (inner == 0x2711) {
                DecodeRendezvousBlock(Pkt, innerEnd, Message, CookieAndChannel, uin, wantsAck,
                                      ConvertToPlaintext, AutoAwayMessage);
                return;
            }
            SeekTo(Pkt, innerEnd);
        }
        return;
    }
}

void DecodeChannel4(TRawPacket& Pkt, TReceivedMessage& Message, bool ConvertToPlaintext) {
    Message.UIN = UINText(PktGetByteString(Pkt));
    for (int i = 0; i < 5 && !AtEnd(Pkt); ++i) {
        const quint16 type = static_cast<quint16>(PktGetBE(Pkt, 2));
        const int tlvEnd = EndOf(Pkt, static_cast<int>(PktGetBE(Pkt, 2)));
        if (type != 5) {
            SeekTo(Pkt, tlvEnd);
            continue;
        }
        PktGetLE(Pkt, 4); // the sender's UIN
        const quint16 messageType = static_cast<quint16>(PktGetLE(Pkt, 2));
        const QByteArray text = LEStringZUpTo(Pkt, tlvEnd);
        Message.MessageType = messageType;
        if (messageType == 0x1A && text.contains("ICQSMS")) {
            Message.Source = DecodeMessageText(XmlValue(text, "source"));
            Message.Sender = DecodeMessageText(XmlValue(text, "sender"));
            Message.Text = DecodeMessageText(XmlValue(text, "text"));
            Message.Time = DecodeMessageText(XmlValue(text, "time"));
            Message.Kind = TMessageKind::SMSReply;
            return;
        }
        TypedMessage(Message, messageType, text, ConvertToPlaintext);
        return;
    }
}

} // namespace

// ---------------------------------------------------------------------------------------------------
// Text conversions

QString DecodeUCS2BE(const QByteArray& Bytes) {
    QString out;
    out.reserve(Bytes.size() / 2);
    for (qsizetype i = 0; i + 1 < Bytes.size(); i += 2)
        out += QChar(
            static_cast<char16_t>(static_cast<quint8>(Bytes[i]) << 8 | static_cast<quint8>(Bytes[i + 1])));
    return out;
}

QString DecodeMessageText(const QByteArray& Bytes) {
    QString out;
    out.reserve(Bytes.size());
    const qsizetype size = Bytes.size();
    const auto byte = [&](qsizetype At) {
        return static_cast<quint8>(Bytes[At]);
    };
    for (qsizetype i = 0; i < size;) {
        const quint8 lead = byte(i);
        int count = 0;
        char32_t code = 0;
        char32_t least = 0;
        if (lead >= 0xC2 && lead <= 0xDF)
            count = 1, code = lead & 0x1F, least = 0x80;
        else if (lead >= 0xE0 && lead <= 0xEF)
            count = 2, code = lead & 0x0F, least = 0x800;
        else if (lead >= 0xF0 && lead <= 0xF4)
            count = 3, code = lead & 0x07, least = 0x10000;
        bool valid = count > 0 && i + count < size;
        for (int k = 1; valid && k <= count; ++k) {
            valid = (byte(i + k) & 0xC0) == 0x80;
            code = code << 6 | (byte(i + k) & 0x3F);
        }
        valid = valid && code >= least && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF);
        if (!valid) {
            out += QChar(lead); // ASCII, or the Latin-1 character of a byte outside any sequence
            ++i;
            continue;
        }
        if (code > 0xFFFF) {
            out += QChar(QChar::highSurrogate(code));
            out += QChar(QChar::lowSurrogate(code));
        } else {
            out += QChar(static_cast<char16_t>(code));
        }
        i += count + 1;
    }
    return out;
}

QString RTFToPlainText(const QString& Text) {
    if (!Text.startsWith(QLatin1String("{\\rtf")))
        return Text;
    QString copy = Text;
    copy.remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
    if (!BracesBalance(copy))
        return Text;
    QString out;
    TRTFReducer reducer(copy);
    return reducer.Reduce(out) ? out : Text;
}

QByteArray XmlValue(const QByteArray& Xml, const QByteArray& Name) {
    const QByteArray open = '<' + Name + '>';
    const qsizetype opened = Xml.indexOf(open);
    if (opened < 0)
        return QByteArray();
    // The value ends at the next tag, which must be its own closing one: a tag left open never
    // takes in the values of the others.
    const qsizetype start = opened + open.size();
    const qsizetype next = Xml.indexOf('<', start);
    if (next < 0 || !Xml.mid(next).startsWith("</" + Name + '>'))
        return QByteArray();
    return Xml.mid(start, next - start);
}

QString MessageBodyText(const QByteArray& Bytes, quint16 Charset, bool ConvertToPlaintext) {
    const QString text = Charset == 2 ? DecodeUCS2BE(Bytes) : DecodeMessageText(Bytes);
    return ConvertToPlaintext ? RTFToPlainText(text) : text;
}

// ---------------------------------------------------------------------------------------------------
// Sign-on decoders

int StatusClass(quint32 Status) {
    const auto all = [Status](quint32 Bits) {
        return (Status & Bits) == Bits;
    };
    if (Status == 0xFFFFFFFF)
        return -1;
    if (all(0x13))
        return 19;
    if (all(0x11))
        return 17;
    if (all(0x05))
        return 5;
    if (Status & 0x10)
        return 17;
    if (all(0x12))
        return 19;
    if (Status & 0x01)
        return 1;
    if (Status & 0x100)
        return 256;
    if (Status & 0x20)
        return 32;
    if (Status & 0x04)
        return 5;
    return 0;
}

TLoginReply ParseLoginReply(TRawPacket& Pkt) {
    TLoginReply reply;
    for (int i = 0; i < 128; ++i) {
        quint16 type = 0;
        const QByteArray value = PktGetTLVText(Pkt, type);
        if (value.isEmpty())
            break;
        switch (type) {
        case 1:
            reply.UIN = value;
            break;
        case 5:
            reply.Address = value;
            break;
        case 6:
            reply.Cookie = value;
            break;
        case 8:
            reply.HasError = true;
            reply.ErrorCode = static_cast<quint8>(value.size() >= 2 ? value[1] : value[0]);
            break;
        default:
            break;
        }
    }
    return reply;
}

TLoginError LoginErrorText(int Code, const QByteArray& UIN) {
    const auto error = [](const char* Text) {
        return TLoginError{ERR_LOGIN, QString::fromLatin1(Text)};
    };
    switch (Code) {
    case 0:
        return TLoginError{ERR_LOGIN, QString()};
    case 1:
    case 4:
    case 5:
    case 6:
    case 7:
        return TLoginError{ERR_LOGIN_BAD_UINORPASSW,
                           QStringLiteral("Connection failed. Your ICQ number or password was rejected.")};
    case 2:
    case 16:
    case 20:
    case 21:
        return error("Connection failed. The server is temporally unavailable.");
    case 8:
    case 9:
    case 10:
    case 11:
    case 13:
    case 14:
    case 17:
    case 25:
    case 26:
    case 34:
    case 42:
        return error(
            "Connection failed.\r\nDeleted or expired account OR\r\nNo access to database or resolver "
            "OR\r\nBad database or resolver status OR\r\nSuspended account OR\r\nUser to heavily warned "
            "OR\r\nReservation timeout OR\r\nAccount suspended due to your age OR\r\nBlocked account");
    case 12:
        return error("Connection failed. Secure (MD5) login is not supported on this account.");
    case 22:
    case 23:
        return error("Connection failed. Server has too many connections from your IP.");
    case 24:
    case 29:
        return error(
            "Connection failed. You have connected too quickly, please wait and retry 10 to 20 minutes "
            "later.");
    case 27:
        return error("Connection failed. The server did not accept this client version.");
    case 28:
        return error("The server sent warning, this version is getting old. Try to look for a new one.");
    case 30:
        return error(
            "Connection failed. You were rejected by the server for an unknown reason. This can happen "
            "if the UIN is already connected.");
    default:
        return TLoginError{ERR_LOGIN, QStringLiteral("Connection failed. Unknown error during sign on: ") +
                                          UINText(UIN)};
    }
}

void SplitServerAddress(const QByteArray& Address, QString& Host, quint16& Port) {
    const qsizetype colon = Address.indexOf(':');
    Host = QString::fromLatin1(colon < 0 ? Address : Address.left(colon));
    const qint64 port = colon < 0 ? 0 : TextToInt64(QString::fromLatin1(Address.mid(colon + 1)));
    Port = port > 0 && port <= 65535 ? static_cast<quint16>(port) : 0;
}

// ---------------------------------------------------------------------------------------------------
// Message, presence and meta decoders

TReceivedMessage DecodeICBMMessage(TRawPacket& Pkt, bool ConvertToPlaintext,
                                   const QByteArray& AutoAwayMessage) {
    TReceivedMessage message;
    const QByteArray cookieAndChannel = PktGetRaw(Pkt, 10);
    message.Channel = cookieAndChannel.size() == 10
                          ? static_cast<quint16>(static_cast<quint8>(cookieAndChannel[8]) << 8 |
                                                 static_cast<quint8>(cookieAndChannel[9]))
                          : 0;
    switch (message.Channel) {
    case 1:
        DecodeChannel1(Pkt, message, ConvertToPlaintext);
        break;
    case 2:
        DecodeChannel2(Pkt, message, cookieAndChannel, ConvertToPlaintext, AutoAwayMessage);
        break;
    case 4:
        DecodeChannel4(Pkt, message, ConvertToPlaintext);
        break;
    default:
        break;
    }
    return message;
}

TOnlineInfo DecodeUserOnline(TRawPacket& Pkt) {
    TOnlineInfo info;
    info.UIN = UINText(PktGetByteString(Pkt));
    PktGetBE(Pkt, 2); // warning level
    for (int i = 0; i < 128 && !AtEnd(Pkt); ++i) {
        const quint16 type = static_cast<quint16>(PktGetBE(Pkt, 2));
        const int length = static_cast<int>(PktGetBE(Pkt, 2));
        const int end = EndOf(Pkt, length);
        switch (type) {
        case 3:
            info.OnlineSince =
                DateTimeFromUnixTime32(static_cast<qint32>(PktGetBE(Pkt, std::min(length, 4))));
            break;
        case 4:
            info.IdleMinutes = PktGetBE(Pkt, std::min(length, 4));
            break;
        case 6:
            info.Status = PktGetBE(Pkt, std::min(length, 4));
            break;
        case 0x0A:
            info.ExternalIP = PktGetBE(Pkt, std::min(length, 4));
            info.HasDirectInfo = true;
            break;
        case 0x0C:
            info.HasDirectInfo = true;
            info.InternalIP = PktGetBE(Pkt, 4);
            info.Port = PktGetBE(Pkt, 4);
            info.ConnectionType = static_cast<quint8>(PktGetBE(Pkt, 1));
            info.ProtocolVersion = static_cast<quint16>(PktGetBE(Pkt, 2));
            info.ConnectionCookie = PktGetBE(Pkt, 4);
            break;
        case 0x0D:
            info.Capabilities = RawUpTo(Pkt, length, end);
            break;
        case 0x1D: {
            const QByteArray status = RawUpTo(Pkt, length, end);
            const qsizetype mood = status.indexOf("icqmood");
            if (mood >= 0)
                info.Mood = DecodeMessageText(status.mid(mood + 7));
            break;
        }
        default:
            break;
        }
        SeekTo(Pkt, end);
    }
    return info;
}

TMetaReply DecodeMetaReply(TRawPacket& Pkt, bool ConvertToPlaintext) {
    TMetaReply reply;
    if (PktGetBE(Pkt, 2) != 1)
        return reply;
    Skip(Pkt, 8); // TLV length, chunk size, owner UIN
    reply.MetaType = static_cast<quint16>(PktGetLE(Pkt, 2));
    PktGetLE(Pkt, 2); // meta sequence
    switch (reply.MetaType) {
    case 0x0041: {
        const quint32 sender = PktGetLE(Pkt, 4);
        const int year = static_cast<int>(PktGetLE(Pkt, 2));
        const int month = static_cast<int>(PktGetBE(Pkt, 1));
        const int day = static_cast<int>(PktGetBE(Pkt, 1));
        const int hour = static_cast<int>(PktGetBE(Pkt, 1));
        const int minute = static_cast<int>(PktGetBE(Pkt, 1));
        const quint16 type = static_cast<quint16>(PktGetLE(Pkt, 2));
        const QByteArray text = LEStringZUpTo(Pkt, Pkt.End);
        reply.Kind = TMetaKind::OfflineMessage;
        reply.DateTime = OfflineDateTime(year, month, day, hour, minute);
        reply.Message.UIN = Int64ToText(sender);
        TypedMessage(reply.Message, type, text, ConvertToPlaintext);
        break;
    }
    case 0x0042:
        reply.Kind = TMetaKind::OfflineEnd;
        break;
    case 0x07DA: {
        reply.Subtype = static_cast<quint16>(PktGetLE(Pkt, 2));
        const quint8 result = static_cast<quint8>(PktGetBE(Pkt, 1));
        reply.Kind = TMetaKind::OtherInfo;
        if (reply.Subtype == 0x0001) {
            reply.Kind = TMetaKind::SMSRefused;
        } else if (reply.Subtype == 0x0096 && result == 10) {
            Skip(Pkt, 12);
            QByteArray xml = PktGetRaw(Pkt, static_cast<int>(PktGetLE(Pkt, 2)));
            if (xml.endsWith('\0'))
                xml.chop(1);
            reply.Kind = TMetaKind::SMSAck;
            reply.Source = DecodeMessageText(XmlValue(xml, "source"));
            reply.Network = DecodeMessageText(XmlValue(xml, "network"));
            reply.MessageId = DecodeMessageText(XmlValue(xml, "message_id"));
            reply.Deliverable = XmlValue(xml, "deliverable") == "Yes";
        }
        break;
    }
    default:
        break;
    }
    return reply;
}

// ---------------------------------------------------------------------------------------------------
// TICQClient

template <class F, class... A> void TICQClient::Fire(const char* Where, const F& Event, A&&... Args) {
    const F event = Event; // a handler may reassign its own event
    if (event)
        Guarded(Where, [&] { event(std::forward<A>(Args)...); });
}

TICQClient::TICQClient(QObject* Parent) : QObject(Parent) {
    ICQServer = QString::fromLatin1(DefaultLoginServer);
    ICQServerViaHTTP = QString::fromLatin1(DefaultHTTPGateway);
    FNet = new TICQNet(this);
    FNet->OnHandlePkt = [this](const TFlapHeader& Header, const quint8* Payload, int Length) {
        HandlePacket(Header, Payload, Length);
    };
    FNet->OnError = [this](TErrorType Type, const QString& Text) {
        ReportError(Type, Text);
        // A frame error closed the connection too: the client is offline either way.
        if (Type == ERR_SOCKET)
            ConnectionFailed();
        else
            ConnectionClosed();
    };
    FNet->OnConnectError = [this](TErrorType Type, const QString& Text) {
        ReportError(Type, Text);
        ConnectionFailed();
    };
    FNet->OnDisconnect = [this] {
        ConnectionClosed();
    };
    FNet->OnPktDump = [this](const QString& Host, bool Incoming, int Length, const quint8* Buffer,
                             quint16 Port) {
        Fire("TICQClient.OnPktParse", OnPktParse, Host, Port, Buffer, Length, Incoming);
    };
    FNet->OnThreadException = [this](const QString& Text) {
        Fire("TICQClient.OnSocketThreadException", OnSocketThreadException, Text);
        ConnectionClosed();
    };
    FTimeoutTimer = new TMyTimer(this);
    FTimeoutTimer->SetOnTimer([this] { TimeoutFired(); });
    FTimeoutTimer->SetEnabled(false);
    FConnectTimer = new QTimer(this);
    FConnectTimer->setSingleShot(true);
    FConnectTimer->setInterval(0);
    connect(FConnectTimer, &QTimer::timeout, this,
            [this] { Guarded("TICQClient.Connect", [this] { ConnectNow(); }); });
    FSeq = static_cast<quint16>(Random(43690));
}

TICQClient::~TICQClient() {
    ReleaseDirectControl();
    // Nothing fires while the connection goes.
    FNet->OnError = nullptr;
    FNet->OnConnectError = nullptr;
    FNet->OnDisconnect = nullptr;
    FNet->OnHandlePkt = nullptr;
    FNet->OnPktDump = nullptr;
    FNet->OnThreadException = nullptr;
    FNet->CloseSockets();
}

void TICQClient::SetErrorLanguage(TICQLangType Language) {
    FErrorLanguage = Language;
    FNet->SetLanguage(Language);
}

bool TICQClient::Connecting() const {
    return FConnectTimer->isActive() || FNet->Active();
}

void TICQClient::CopySettings() {
    FNet->HTTPHost = ICQServerViaHTTP;
    FNet->HTTPPort = static_cast<quint16>(ICQPortViaHTTP);
    FNet->ProxyType = ProxyType;
    static_cast<TProxySettings&>(*FNet) = *this;
    FNet->SetLanguage(FErrorLanguage);
}

void TICQClient::ScheduleConnect() {
    FConnectTimer->start();
}

void TICQClient::ConnectNow() {
    FNet->Host = FHost;
    FNet->Port = FPort;
    FNet->Connect();
}

void TICQClient::Login(quint32 Status, bool Flag) {
    FAvatarSeq1 = static_cast<quint16>(Random(65535));
    FAvatarSeq2 = static_cast<quint16>(Random(65535));
    FMetaSeq = 2;
    FCookie.clear();
    FFirstStage = true;
    FStatus = Flag ? Status | ICQStatusFlagBit : Status;
    const bool wasLoggedIn = FLoggedIn;
    FLoggedIn = false;
    FRegistering = false;
    // A Login while connected starts over; nothing of the old connection arrives any more.
    FNet->CloseSockets();
    if (wasLoggedIn)
        Fire("TICQClient.OnLogOff", OnLogOff);
    RenewDirectControl();
    CopySettings();
    FHost = ICQServer;
    FPort = ICQPort != 0 ? ICQPort : 5190;
    FTimeoutTimer->SetInterval(ConnectionTimeout * 1000);
    FTimeoutTimer->SetEnabled(ConnectionTimeout != 0);
    ScheduleConnect();
}

void TICQClient::ReleaseDirectControl() {
    if (!FDirect)
        return;
    TDirectControl* old = FDirect;
    FDirect = nullptr;
    old->Unhook();
    old->Shutdown();
    // A Login from inside one of its events must not free it under that event.
    old->deleteLater();
}

void TICQClient::RenewDirectControl() {
    ReleaseDirectControl();
    if (DisableDirectConnections)
        return;
    TDCSettings settings;
    settings.UIN = UIN;
    settings.ProxyType = ProxyType;
    settings.Proxy = *this;
    settings.Language = FErrorLanguage;
    FDirect = new TDirectControl(settings, this);
    FDirect->AutoAwayMessage = AutoAwayMessage;
    FDirect->ConvertToPlaintext = ConvertToPlaintext;
    FDirect->ConnectionCookie = FConnectionCookie;
    FDirect->OnError = [this](TErrorType Type, const QString& Text) {
        ReportError(Type, Text);
    };
    FDirect->OnPktDump = [this](const QString& Host, quint16 Port, const quint8* Buffer, int Length,
                                bool Incoming) {
        Fire("TICQClient.OnPktParse", OnPktParse, Host, Port, Buffer, Length, Incoming);
    };
    FDirect->OnMessageRecv = [this](const QString& Msg, const QString& PeerUIN) {
        Fire("TICQClient.OnDirectMessageRecv", OnDirectMessageRecv, Msg, PeerUIN);
    };
    if (!FDirect->StartError().isEmpty())
        ReportError(ERR_SOCKET, FDirect->StartError());
}

void TICQClient::HandleDirectInfo(const TOnlineInfo& Info) {
    if (!FDirect || !Info.HasDirectInfo)
        return;
    if (Info.ConnectionType != 2 && Info.ConnectionType != 4) {
        ReportError(ERR_WARNING, GetICQErrorText(FDirect->Language(), 8));
        return;
    }
    bool number = false;
    const quint32 peer = Info.UIN.toUInt(&number);
    // Only numbered accounts take direct connections.
    if (number)
        FDirect->AddOrUpdatePeer(peer, Info.ExternalIP, Info.InternalIP, static_cast<quint16>(Info.Port),
                                 Info.ProtocolVersion);
}

void TICQClient::LogOff() {
    FTimeoutTimer->SetEnabled(false);
    FConnectTimer->stop();
    FNet->Disconnect();
}

template <class F> bool TICQClient::SendSignedOn(F&& Build) {
    if (!FLoggedIn)
        return false;
    TRawPacket pkt;
    Build(pkt);
    Send(pkt);
    return true;
}

bool TICQClient::SendMessage(quint32 UIN, const QString& Text) {
    QByteArray bytes = Text.toUtf8();
    if (bytes.size() > MaxMessageBytes) {
        qsizetype cut = MaxMessageBytes;
        while (cut > 0 && (static_cast<quint8>(bytes[cut]) & 0xC0) == 0x80)
            --cut;
        bytes.truncate(cut);
    }
    return SendSignedOn([&](TRawPacket& Pkt) { BuildMessage(Pkt, 0, Random(0xFFFFAA), UIN, bytes, FSeq); });
}

bool TICQClient::SendKeepAlive() {
    return SendSignedOn([&](TRawPacket& Pkt) { BuildKeepAlive(Pkt, FSeq); });
}

bool TICQClient::RequestOfflineMessages() {
    return SendSignedOn([&](TRawPacket& Pkt) { BuildOfflineRequest(Pkt, UIN, FMetaSeq, FSeq); });
}

void TICQClient::ReportError(TErrorType Type, const QString& Text) {
    FLastError = Text;
    Fire("TICQClient.OnError", OnError, Type, Text);
}

void TICQClient::GoOffline() {
    FLoggedIn = false;
    Fire("TICQClient.OnConnectionFailed", OnConnectionFailed);
    Fire("TICQClient.OnLogOff", OnLogOff);
}

void TICQClient::ConnectionFailed() {
    FTimeoutTimer->SetEnabled(false);
    FConnectTimer->stop();
    if (FLoggedIn) {
        GoOffline();
        return;
    }
    Fire("TICQClient.OnConnectionFailed", OnConnectionFailed);
}

void TICQClient::ConnectionClosed() {
    FTimeoutTimer->SetEnabled(false);
    if (FLoggedIn)
        GoOffline();
}

void TICQClient::TimeoutFired() {
    FTimeoutTimer->SetEnabled(false);
    FConnectTimer->stop();
    FNet->Disconnect();
    ReportError(ERR_CONNTIMEOUT, GetICQErrorText(FErrorLanguage, 9));
    Fire("TICQClient.OnConnectionFailed", OnConnectionFailed);
}

// ---------------------------------------------------------------------------------------------------
// Dispatcher

void TICQClient::HandlePacket(const TFlapHeader& Header, const quint8* Payload, int Length) {
    TRawPacket pkt;
    PktLoad(pkt, Payload, Length);
    switch (Header.Channel) {
    case 1:
        HandleSignOnChannel(pkt.End);
        break;
    case 2:
        HandleSNAC(pkt);
        break;
    case 4:
        if (pkt.End > 0)
            HandleChannel4(pkt);
        break;
    default:
        break;
    }
}

void TICQClient::HandleSignOnChannel(int Length) {
    if (Length != 4) {
        FFirstStage = false;
        return;
    }
    TRawPacket pkt;
    // The secure (MD5) sign-on is not built: the plain login frame goes out either way.
    if (FFirstStage)
        BuildLoginFrame(pkt, UIN, Password.toUtf8(), FSeq, false);
    else
        BuildCookieFrame(pkt, FCookie, FSeq);
    FFirstStage = false;
    Send(pkt);
}

void TICQClient::HandleChannel4(TRawPacket& Pkt) {
    if (!FLoggedIn && !FRegistering) {
        HandleLoginReply(Pkt);
        return;
    }
    if (FLoggedIn && OnServerDisconnect) {
        quint16 type = 0;
        const quint32 value = PktGetTLVInt(Pkt, type);
        if (type == 9 && value == 1)
            Fire("TICQClient.OnServerDisconnect", OnServerDisconnect, 9, GetICQErrorText(FErrorLanguage, 26));
        else
            Fire("TICQClient.OnServerDisconnect", OnServerDisconnect, static_cast<int>(type),
                 Int64ToText(value));
    }
    FNet->CloseSockets();
    ConnectionClosed();
}

void TICQClient::HandleLoginReply(TRawPacket& Pkt) {
    const TLoginReply reply = ParseLoginReply(Pkt);
    if (reply.HasError) {
        const TLoginError error = LoginErrorText(reply.ErrorCode, reply.UIN);
        if (!error.Text.isEmpty())
            ReportError(error.Type, error.Text);
        FNet->CloseSockets();
        ConnectionFailed();
        return;
    }
    quint16 port = 0;
    QString host;
    SplitServerAddress(reply.Address, host, port);
    const bool complete = !reply.UIN.isEmpty() && !reply.Address.isEmpty() && !reply.Cookie.isEmpty();
    if (complete) {
        TRawPacket pkt;
        BuildSignOff(pkt, FSeq);
        Send(pkt);
    }
    // Closed without the disconnect handling, so the time-out stays armed for the BOS stage.
    FNet->CloseSockets();
    if (!complete || port == 0) {
        ReportError(ERR_PROTOCOL, GetICQErrorText(FErrorLanguage, 5));
        ConnectionFailed();
        return;
    }
    FCookie = reply.Cookie;
    CopySettings();
    FHost = host;
    FPort = port;
    ScheduleConnect();
}

void TICQClient::HandleSNAC(TRawPacket& Pkt) {
    const TSNACHeader snac = PktGetSNAC(Pkt);
    TRawPacket out;
    switch (snac.Family << 16 | snac.Subtype) {
    case 0x00010003:
        BuildFamilyVersions(out, FSeq);
        Send(out);
        break;
    case 0x00010007:
        StartUpRequests();
        break;
    case 0x00010013:
        BuildRateRequest(out, FSeq);
        Send(out);
        break;
    case 0x0003000B: {
        const TOnlineInfo info = DecodeUserOnline(Pkt);
        HandleDirectInfo(info);
        Fire("TICQClient.OnStatusChange", OnStatusChange, info.UIN, info.Status);
        Fire("TICQClient.OnOnlineInfo", OnOnlineInfo, info);
        break;
    }
    case 0x0003000C:
        Fire("TICQClient.OnUserOffline", OnUserOffline, UINText(PktGetByteString(Pkt)));
        break;
    case 0x00040001:
        Fire("TICQClient.OnICBMError", OnICBMError, static_cast<quint16>(PktGetBE(Pkt, 2)));
        break;
    case 0x00040007:
        HandleIncomingMessage(Pkt);
        break;
    case 0x0004000B:
    case 0x0004000C: {
        PktGetBE(Pkt, 4);
        const quint16 id = static_cast<quint16>(PktGetBE(Pkt, 4));
        PktGetBE(Pkt, 2); // channel
        const QString uin = UINText(PktGetByteString(Pkt));
        if (snac.Subtype == 0x0C)
            Fire("TICQClient.OnMsgAck", OnMsgAck, uin, id);
        else
            Fire("TICQClient.OnAdvancedMsgAck", OnAdvancedMsgAck, uin, id);
        break;
    }
    case 0x00040014: {
        Skip(Pkt, 8 + 2); // cookie, channel
        const QString uin = UINText(PktGetByteString(Pkt));
        Fire("TICQClient.OnTypingNotification", OnTypingNotification, uin,
             static_cast<quint16>(PktGetBE(Pkt, 2)));
        break;
    }
    case 0x00090003:
        CompleteSignOn();
        break;
    case 0x00150003:
        HandleMetaReply(Pkt);
        break;
    case 0x00170003:
        HandleLoginReply(Pkt);
        break;
    default:
        break;
    }
}

void TICQClient::StartUpRequests() {
    TRawPacket pkt;
    for (auto build : {BuildRateAck, BuildSelfInfoRequest, BuildSSIRightsRequest, BuildLocationRightsRequest,
                       BuildBuddyRightsRequest, BuildICBMParamsRequest, BuildPrivacyRightsRequest}) {
        build(pkt, FSeq);
        Send(pkt);
    }
}

void TICQClient::CompleteSignOn() {
    TRawPacket pkt;
    BuildCapabilities(pkt, 0, FSeq);
    Send(pkt);
    for (const quint16 channel : {1, 2, 4}) {
        BuildICBMParams(pkt, TypingNotifications, channel, FSeq);
        Send(pkt);
    }
    if (!ContactList.isEmpty()) {
        QList<quint32> uins;
        for (const QString& entry : ContactList)
            uins.append(static_cast<quint32>(TextToInt64(entry)));
        BuildAddContacts(pkt, uins, FSeq);
        Send(pkt);
    }
    const int statusClass = StatusClass(FStatus);
    if (statusClass == 256)
        BuildVisibleList(pkt, VisibleList, FSeq);
    else
        BuildInvisibleList(pkt, InvisibleList, FSeq);
    Send(pkt);
    BuildIdle(pkt, statusClass == 1 || statusClass == 5, FSeq);
    Send(pkt);
    FConnectionCookie = Random(0x7FFFFFFF);
    if (FDirect) {
        FDirect->ConnectionCookie = FConnectionCookie;
        FDirect->RefreshLocalAddress();
    }
    BuildSetStatus(pkt, FStatus, ProxyType, FSeq);
    Send(pkt);
    BuildClientReady(pkt, FSeq);
    Send(pkt);
    FLoggedIn = true;
    FTimeoutTimer->SetEnabled(false);
    Fire("TICQClient.OnLogin", OnLogin);
    BuildSSIActivate(pkt, FSeq);
    Send(pkt);
}

void TICQClient::HandleIncomingMessage(TRawPacket& Pkt) {
    const TReceivedMessage message = DecodeICBMMessage(Pkt, ConvertToPlaintext, AutoAwayMessage.toUtf8());
    if (!message.Acknowledgement.isEmpty()) {
        TRawPacket pkt;
        PktStartFLAP(pkt, 2, FSeq);
        PktPutSNAC(pkt, 4, 0x0B, 0, 0);
        PktPutText(pkt, message.Acknowledgement);
        Send(PktFinishFLAP(pkt));
    }
    DeliverMessage(message);
}

void TICQClient::DeliverMessage(const TReceivedMessage& Message) {
    switch (Message.Kind) {
    case TMessageKind::Plain:
        Fire("TICQClient.OnMessageRecv", OnMessageRecv, Message.Text, Message.UIN);
        break;
    case TMessageKind::URL:
        Fire("TICQClient.OnURLRecv", OnURLRecv, Message.Description, Message.URL, Message.UIN);
        break;
    case TMessageKind::WebPager:
        Fire("TICQClient.OnWPagerRecv", OnWPagerRecv, Message.Name, Message.Text, Message.Address,
             Message.Email);
        break;
    case TMessageKind::SMSReply:
        Fire("TICQClient.OnSMSReply", OnSMSReply, Message.Source, Message.Sender, Message.Time, Message.Text);
        break;
    case TMessageKind::AutoMessageRequest:
        Fire("TICQClient.OnAutoMsgResponse", OnAutoMsgResponse, Message.UIN, Message.MessageType);
        break;
    case TMessageKind::None:
        break;
    }
}

void TICQClient::HandleMetaReply(TRawPacket& Pkt) {
    const TMetaReply reply = DecodeMetaReply(Pkt, ConvertToPlaintext);
    switch (reply.Kind) {
    case TMetaKind::OfflineMessage:
        if (reply.Message.Kind == TMessageKind::Plain)
            Fire("TICQClient.OnOfflineMsgRecv", OnOfflineMsgRecv, reply.DateTime, reply.Message.Text,
                 reply.Message.UIN);
        else if (reply.Message.Kind == TMessageKind::URL)
            Fire("TICQClient.OnOfflineURLRecv", OnOfflineURLRecv, reply.DateTime, reply.Message.Description,
                 reply.Message.URL, reply.Message.UIN);
        else
            DeliverMessage(reply.Message);
        break;
    case TMetaKind::OfflineEnd: {
        FMetaSeq = 2;
        TRawPacket pkt;
        BuildMetaRequest(pkt, UIN, 62, FMetaSeq, QByteArray(), FSeq);
        Send(pkt);
        break;
    }
    case TMetaKind::SMSAck:
        Fire("TICQClient.OnSMSAck", OnSMSAck, reply.Source, reply.Network, reply.MessageId,
             reply.Deliverable);
        break;
    case TMetaKind::SMSRefused:
        Fire("TICQClient.OnSMSRefused", OnSMSRefused);
        break;
    case TMetaKind::OtherInfo:
    case TMetaKind::None:
        break;
    }
}
