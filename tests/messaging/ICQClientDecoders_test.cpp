// The client's decoders without a connection: text conversions, the RTF reduction and its limits,
// XML values, status classes, login replies and their error texts, and every incoming message form
// read from hand-built frames (including truncated ones, which must stay inside the frame).
#include "messaging/ICQClient.h"

#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>

#include "core/TextConversions.h"
#include "tests/messaging/checking_server_helpers.h"
#include "tests/messaging/messaging_helpers.h"

using namespace zt::msgtest;

namespace {

std::unique_ptr<TRawPacket> Loaded(const QByteArray& Bytes) {
    auto pkt = std::make_unique<TRawPacket>();
    PktLoad(*pkt, Bytes.constData(), static_cast<int>(Bytes.size()));
    return pkt;
}

// A SNAC payload with the cursor after its header.
std::unique_ptr<TRawPacket> AfterSnac(const QByteArray& Payload) {
    auto pkt = Loaded(Payload);
    PktGetSNAC(*pkt);
    return pkt;
}

TReceivedMessage Decode(const QByteArray& Payload, bool Convert = true, const QByteArray& Away = "away") {
    return DecodeICBMMessage(*AfterSnac(Payload), Convert, Away);
}

QString U(const char* Utf8) {
    return QString::fromUtf8(Utf8);
}

} // namespace

TEST(MessageText, CharsetsAndFallbacks) {
    EXPECT_EQ(DecodeUCS2BE(Hex("00 48 00 69")), "Hi");
    EXPECT_EQ(DecodeUCS2BE(Hex("04 1F 04 40 00")), U("Пр")); // odd last byte dropped
    EXPECT_EQ(DecodeMessageText("Gr\xC3\xBC\xC3\x9F"
                                "e"),
              U("Grüße"));
    EXPECT_EQ(DecodeMessageText("\xF0\x9F\x98\x80"), U("😀"));
    // Bytes that start no valid sequence are Latin-1, the rest stays UTF-8.
    EXPECT_EQ(DecodeMessageText("\xE9t\xE9 \xC3\xA9"), U("été é"));
    EXPECT_EQ(DecodeMessageText("\xC0\x80 \xED\xA0\x80 \xC3"), U("À\u0080 í\u00A0\u0080 Ã"));
    EXPECT_EQ(MessageBodyText(Hex("00 48 00 69"), 2, true), "Hi");
    EXPECT_EQ(MessageBodyText("Hi", 0, true), "Hi");
}

TEST(RTFReduction, ParagraphsControlWordsAndGroups) {
    EXPECT_EQ(RTFToPlainText("{\\rtf1 Hello\\par World}"), "Hello\r\nWorld");
    EXPECT_EQ(
        RTFToPlainText(
            "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}\r\n{\\colortbl ;\\red0\\green0\\blue0;}"
            "\\f0\\fs20 Hello\\par World\\line again\\tab end}"),
        "Hello\r\nWorld\r\nagain\tend");
    // Escapes: a hex character, a non-breaking blank, escaped braces and backslash.
    EXPECT_EQ(RTFToPlainText("{\\rtf1 caf\\'e9\\~\\{x\\}\\\\}"), U("café {x}\\"));
    // "\*" skips its whole group; "\u" adds 65536 to a negative number and skips its delimiter.
    EXPECT_EQ(RTFToPlainText("{\\rtf1{\\*\\generator Writer {nested} 1;}A\\u1055?B\\u-3937?}"),
              U("AПB\uF09F"));
    // Plain nested groups keep their text.
    EXPECT_EQ(RTFToPlainText("{\\rtf1 a{b{c}d}e}"), "abcde");
    // Texts that do not qualify come back as they are.
    EXPECT_EQ(RTFToPlainText("plain \\par text"), "plain \\par text");
    EXPECT_EQ(RTFToPlainText("{\\rtf1 open"), "{\\rtf1 open");
    EXPECT_EQ(RTFToPlainText("{\\rtf1 a}}"), "{\\rtf1 a}}");
    EXPECT_EQ(RTFToPlainText(""), "");
}

TEST(RTFReduction, NestingIsCapped) {
    const auto nested = [](int Depth) {
        return QStringLiteral("{\\rtf1 ") + QString(Depth - 1, QLatin1Char('{')) + QStringLiteral("x") +
               QString(Depth, QLatin1Char('}'));
    };
    EXPECT_EQ(RTFToPlainText(nested(RTFMaxDepth)), "x");
    // One group deeper is returned unreduced, and a very deep one does not exhaust the stack.
    EXPECT_EQ(RTFToPlainText(nested(RTFMaxDepth + 1)), nested(RTFMaxDepth + 1));
    EXPECT_EQ(RTFToPlainText(nested(100000)), nested(100000));
}

TEST(XmlValues, AnUnclosedTagNeverTakesInTheOtherFields) {
    const QByteArray xml = "<ack><source>ICQ<network>Net</network><message_id>7</message_id></source></ack>";
    EXPECT_EQ(XmlValue(xml, "source"), "");
    EXPECT_EQ(XmlValue(xml, "network"), "Net");
    EXPECT_EQ(XmlValue(xml, "message_id"), "7");
}

TEST(XmlValues, FirstTagsAndMisorderedTags) {
    EXPECT_EQ(XmlValue("<a><source>ICQ</source><source>x</source></a>", "source"), "ICQ");
    EXPECT_EQ(XmlValue("<deliverable>No</deliverable>", "deliverable"), "No");
    EXPECT_EQ(XmlValue("<x></x>", "x"), "");
    EXPECT_EQ(XmlValue("<x>no end", "x"), "");
    EXPECT_EQ(XmlValue("no start</x>", "x"), "");
    // A closing tag before the opening one gives empty text.
    EXPECT_EQ(XmlValue("</x>late<x>value", "x"), "");
}

TEST(SignOnDecoders, StatusClasses) {
    EXPECT_EQ(StatusClass(0xFFFFFFFF), -1);
    EXPECT_EQ(StatusClass(0x10006000), 0);
    EXPECT_EQ(StatusClass(0x13), 19);
    EXPECT_EQ(StatusClass(0x11), 17);
    EXPECT_EQ(StatusClass(0x05), 5);
    EXPECT_EQ(StatusClass(0x10), 17);
    EXPECT_EQ(StatusClass(0x01), 1);
    EXPECT_EQ(StatusClass(0x100), 256);
    EXPECT_EQ(StatusClass(0x20), 32);
    EXPECT_EQ(StatusClass(0x04), 5);
    EXPECT_EQ(StatusClass(0x02), 0);
}

TEST(SignOnDecoders, LoginReplyAndAddress) {
    auto pkt = Loaded(TLV(1, "123") + TLV(5, "127.0.0.1:5191") + TLV(6, "cookie") + TLV(0x0E, "x") +
                      TLV(2, "") + TLV(8, BE16(5)));
    const TLoginReply reply = ParseLoginReply(*pkt);
    EXPECT_EQ(reply.UIN, "123");
    EXPECT_EQ(reply.Address, "127.0.0.1:5191");
    EXPECT_EQ(reply.Cookie, "cookie");
    EXPECT_FALSE(reply.HasError); // reading stopped at the empty value
    auto error = Loaded(TLV(1, "123") + TLV(8, BE16(0x0118)));
    const TLoginReply failed = ParseLoginReply(*error);
    EXPECT_TRUE(failed.HasError);
    EXPECT_EQ(failed.ErrorCode, 0x18);

    QString host;
    quint16 port = 1;
    SplitServerAddress("127.0.0.1:5191", host, port);
    EXPECT_EQ(host, "127.0.0.1");
    EXPECT_EQ(port, 5191);
    for (const char* bad : {"127.0.0.1:0", "127.0.0.1", "127.0.0.1:70000", "127.0.0.1:x"}) {
        SplitServerAddress(bad, host, port);
        EXPECT_EQ(port, 0) << bad;
    }
}

TEST(SignOnDecoders, LoginErrorTexts) {
    for (const int code : {1, 4, 5, 6, 7}) {
        const TLoginError error = LoginErrorText(code, "1");
        EXPECT_EQ(error.Type, ERR_LOGIN_BAD_UINORPASSW) << code;
        EXPECT_EQ(error.Text, "Connection failed. Your ICQ number or password was rejected.");
    }
    EXPECT_TRUE(LoginErrorText(0, "1").Text.isEmpty());
    const auto text = [](int Code) {
        return LoginErrorText(Code, "4242").Text;
    };
    for (const int code : {2, 16, 20, 21})
        EXPECT_EQ(text(code), "Connection failed. The server is temporally unavailable.");
    for (const int code : {8, 9, 10, 11, 13, 14, 17, 25, 26, 34, 42})
        EXPECT_EQ(text(code),
                  "Connection failed.\r\nDeleted or expired account OR\r\nNo access to database or "
                  "resolver OR\r\nBad database or resolver status OR\r\nSuspended account OR\r\nUser to "
                  "heavily warned OR\r\nReservation timeout OR\r\nAccount suspended due to your age "
                  "OR\r\nBlocked account");
    EXPECT_EQ(text(12), "Connection failed. Secure (MD5) login is not supported on this account.");
    EXPECT_EQ(text(22), "Connection failed. Server has too many connections from your IP.");
    EXPECT_EQ(
        text(29),
        "Connection failed. You have connected too quickly, please wait and retry 10 to 20 minutes later.");
    EXPECT_EQ(text(27), "Connection failed. The server did not accept this client version.");
    EXPECT_EQ(text(28), "The server sent warning, this version is getting old. Try to look for a new one.");
    EXPECT_EQ(text(30), "Connection failed. You were rejected by the server for an unknown reason. This can "
                        "happen if the UIN is already connected.");
    EXPECT_EQ(text(99), "Connection failed. Unknown error during sign on: 4242");
    for (const int code : {2, 12, 28, 99})
        EXPECT_EQ(LoginErrorText(code, "1").Type, ERR_LOGIN);
}

TEST(MessageDecoders, ChannelOne) {
    TReceivedMessage m = Decode(Channel1Message("4242", 2, Hex("00 48 00 69")));
    EXPECT_EQ(m.Kind, TMessageKind::Plain);
    EXPECT_EQ(m.Channel, 1);
    EXPECT_EQ(m.UIN, "4242");
    EXPECT_EQ(m.Text, "Hi");
    EXPECT_TRUE(m.Acknowledgement.isEmpty());
    EXPECT_EQ(Decode(Channel1Message("1", 0, "{\\rtf1 Hello\\par World}")).Text, "Hello\r\nWorld");
    EXPECT_EQ(Decode(Channel1Message("1", 0, "{\\rtf1 Hello\\par World}"), false).Text,
              "{\\rtf1 Hello\\par World}");
    EXPECT_EQ(Decode(Channel1Message("1", 3, "caf\xE9")).Text, U("café"));
    // An empty text is no message.
    EXPECT_EQ(Decode(Channel1Message("1", 0, "")).Kind, TMessageKind::None);
}

TEST(MessageDecoders, ChannelTwoAndItsAcknowledgement) {
    const TReceivedMessage m = Decode(Channel2Message("777", 1, 0, "status"));
    EXPECT_EQ(m.Kind, TMessageKind::Plain);
    EXPECT_EQ(m.UIN, "777");
    EXPECT_EQ(m.Text, "status");
    const QByteArray ack = MessageCookie() + BE16(2) + ByteString("777") + BE16(3) + RendezvousHeader(1, 0) +
                           BE32(0) + Hex("01 00000000 0000 FFFFFF00");
    EXPECT_EQ(HexOf(m.Acknowledgement), HexOf(ack));

    // An auto-message request is answered with the away message.
    const TReceivedMessage away = Decode(Channel2Message("777", 0xE8, 3, ""), true, "out");
    EXPECT_EQ(away.Kind, TMessageKind::AutoMessageRequest);
    EXPECT_EQ(HexOf(away.Acknowledgement), HexOf(MessageCookie() + BE16(2) + ByteString("777") + BE16(3) +
                                                 RendezvousHeader(0xE8, 3) + BE32(0) + LEStringZ("out")));
    // The inner TLV 0x000F asks for no automatic reply.
    EXPECT_TRUE(Decode(Channel2Message("777", 1, 0, "x", false)).Acknowledgement.isEmpty());
    // A URL: description before 0xFE, address after.
    const TReceivedMessage url = Decode(Channel2Message("777", 4, 0, "site\xFEhttp://example.org/"));
    EXPECT_EQ(url.Kind, TMessageKind::URL);
    EXPECT_EQ(url.Description, "site");
    EXPECT_EQ(url.URL, "http://example.org/");
    // Text messages are UTF-8 here too.
    EXPECT_EQ(Decode(Channel2Message("777", 0x93, 0, "\xD0\x9F")).Text, U("П"));
}

TEST(MessageDecoders, ChannelFour) {
    TReceivedMessage m = Decode(Channel4Message("555", 1, "{\\rtf1 a\\par b}"));
    EXPECT_EQ(m.Kind, TMessageKind::Plain);
    EXPECT_EQ(m.UIN, "555");
    EXPECT_EQ(m.Text, "a\r\nb");
    m = Decode(Channel4Message("555", 4, "d\xFEu"));
    EXPECT_EQ(m.Kind, TMessageKind::URL);
    EXPECT_EQ(m.URL, "u");
    m = Decode(Channel4Message("555", 13,
                               "Ann\xFE\xFE\xFE"
                               "ann@example.org\xFE"
                               "3\xFESender IP: 10.1.2.3\r\n\r\nhello"));
    EXPECT_EQ(m.Kind, TMessageKind::WebPager);
    EXPECT_EQ(m.Name, "Ann");
    EXPECT_EQ(m.Email, "ann@example.org");
    EXPECT_EQ(m.Address, "10.1.2.3");
    m = Decode(Channel4Message("555", 0x1A,
                               "ICQSMS<source>net</source><sender>+49</sender><text>gr\xC3\xBC\xC3\x9F</text>"
                               "<time>now</time>"));
    EXPECT_EQ(m.Kind, TMessageKind::SMSReply);
    EXPECT_EQ(m.Source, "net");
    EXPECT_EQ(m.Sender, "+49");
    EXPECT_EQ(m.Text, U("grüß"));
    EXPECT_EQ(m.Time, "now");
}

TEST(MessageDecoders, TruncatedFramesStayInside) {
    // Every prefix of every message form decodes from its own bytes only: the packet still holds the
    // whole frame behind the prefix, and no text may take anything from there.
    const QByteArray text = "hello world";
    const QByteArray forms[] = {Channel1Message("4242", 0, text), Channel2Message("777", 1, 0, text),
                                Channel4Message("555", 1, text),
                                OfflineMessage(1, 2, 2024, 5, 6, 7, 8, 1, text)};
    for (const QByteArray& form : forms) {
        const int textAt = static_cast<int>(form.indexOf(text));
        for (int size = 0; size <= form.size(); ++size) {
            auto pkt = Loaded(form);
            PktLoad(*pkt, form.constData(), size);
            PktGetSNAC(*pkt);
            const bool meta = form.startsWith(BE16(0x15));
            const QString decoded =
                meta ? DecodeMetaReply(*pkt, true).Message.Text : DecodeICBMMessage(*pkt, true, "away").Text;
            EXPECT_TRUE(QString::fromLatin1(text).startsWith(decoded)) << size;
            EXPECT_LE(decoded.size(), std::max(0, size - textAt)) << size;
        }
    }
    for (int size = 0; size < 40; ++size)
        DecodeMetaReply(*AfterSnac(SMSAck(1, "<source>abcdefgh</source>").left(size)), true);
}

TEST(PresenceAndMeta, UserOnlineRecord) {
    const QByteArray body = ByteString("31337") + BE16(0) + TLV(3, BE32(86400)) + TLV(4, BE16(15)) +
                            TLV(6, BE32(0x00010001)) + TLV(0x0A, BE32(0x0A000001)) +
                            TLV(0x0C, Hex("C0A80102 00001389 04 0009 12345678 00000000")) +
                            TLV(0x0D, QByteArray(16, 'c')) + TLV(0x1D, "xxicqmoodhappy");
    auto pkt = Loaded(body);
    const TOnlineInfo info = DecodeUserOnline(*pkt);
    EXPECT_EQ(info.UIN, "31337");
    EXPECT_DOUBLE_EQ(info.OnlineSince, 25570.0);
    EXPECT_EQ(info.IdleMinutes, 15u);
    EXPECT_EQ(info.Status, 0x00010001u);
    EXPECT_EQ(info.ExternalIP, 0x0A000001u);
    EXPECT_EQ(info.InternalIP, 0xC0A80102u);
    EXPECT_EQ(info.Port, 5001u);
    EXPECT_EQ(info.ConnectionType, 4);
    EXPECT_EQ(info.ProtocolVersion, 9);
    EXPECT_EQ(info.ConnectionCookie, 0x12345678u);
    EXPECT_EQ(info.Capabilities, QByteArray(16, 'c'));
    EXPECT_EQ(info.Mood, "happy");
}

TEST(PresenceAndMeta, OfflineMessagesAndSMSAcknowledgements) {
    TMetaReply reply =
        DecodeMetaReply(*AfterSnac(OfflineMessage(123, 456, 2024, 2, 29, 23, 59, 1, "late")), true);
    EXPECT_EQ(reply.Kind, TMetaKind::OfflineMessage);
    EXPECT_EQ(reply.Message.Kind, TMessageKind::Plain);
    EXPECT_EQ(reply.Message.UIN, "456");
    EXPECT_EQ(reply.Message.Text, "late");
    EXPECT_EQ(DateTimeToQDateTime(reply.DateTime), QDateTime(QDate(2024, 2, 29), QTime(23, 59, 0)));
    reply = DecodeMetaReply(*AfterSnac(OfflineMessage(1, 2, 2024, 13, 1, 0, 0, 4, "d\xFEu")), true);
    EXPECT_EQ(reply.Message.Kind, TMessageKind::URL);
    EXPECT_EQ(reply.DateTime, 0); // no such date

    EXPECT_EQ(DecodeMetaReply(*AfterSnac(OfflineEnd(1)), true).Kind, TMetaKind::OfflineEnd);

    reply = DecodeMetaReply(
        *AfterSnac(SMSAck(1, "<sms_response><source>airbornww.com</source><deliverable>Yes"
                             "</deliverable><network>Net</network><message_id>id-7</message_id>"
                             "</sms_response>")),
        true);
    EXPECT_EQ(reply.Kind, TMetaKind::SMSAck);
    EXPECT_EQ(reply.Source, "airbornww.com");
    EXPECT_EQ(reply.Network, "Net");
    EXPECT_EQ(reply.MessageId, "id-7");
    EXPECT_TRUE(reply.Deliverable);
    reply = DecodeMetaReply(*AfterSnac(SMSAck(1, "<deliverable>No</deliverable>")), true);
    EXPECT_FALSE(reply.Deliverable);
    reply = DecodeMetaReply(*AfterSnac(SMSAck(1, "</source><source>x")), true);
    EXPECT_EQ(reply.Source, "");
}

TEST(MyTimer, IntervalEnabledAndHandler) {
    TMyTimer timer;
    EXPECT_EQ(timer.Interval(), 1000);
    EXPECT_TRUE(timer.Enabled());
    EXPECT_FALSE(timer.Running()); // no handler yet
    int fired = 0;
    timer.SetOnTimer([&] {
        ++fired;
        throw std::runtime_error("handler failure");
    });
    timer.SetInterval(20);
    EXPECT_TRUE(timer.Running());
    EXPECT_TRUE(WaitFor([&] { return fired >= 2; }, 2000)); // the exception was swallowed
    timer.SetEnabled(false);
    EXPECT_FALSE(timer.Running());
    timer.SetEnabled(true);
    timer.SetInterval(0);
    EXPECT_FALSE(timer.Running());
}
