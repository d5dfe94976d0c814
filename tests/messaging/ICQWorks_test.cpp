// The packet buffer's bounds, readers that stop at the received payload, the frame builders byte for
// byte, the small conversions, and frame reassembly with its two protocol errors.
#include "messaging/ICQWorks.h"

#include <gtest/gtest.h>
#include <memory>

#include "tests/messaging/messaging_helpers.h"

using zt::msgtest::Hex;
using zt::msgtest::HexOf;

namespace {

// Packets are large; tests keep them on the heap.
std::unique_ptr<TRawPacket> NewPacket() {
    auto pkt = std::make_unique<TRawPacket>();
    PktReset(*pkt);
    return pkt;
}

// A packet holding Count received bytes 0, 1, 2, ... (mod 251).
std::unique_ptr<TRawPacket> Received(int Count) {
    QByteArray bytes(Count, '\0');
    for (int i = 0; i < Count; ++i)
        bytes[i] = static_cast<char>(i % 251);
    auto pkt = NewPacket();
    PktLoad(*pkt, bytes.constData(), Count);
    return pkt;
}

} // namespace

TEST(PacketBuffer, WritesClipAtTheEnd) {
    auto pkt = NewPacket();
    pkt->Len = 8190;
    PktPutBE(*pkt, 0xA1B2C3D4, 4);
    EXPECT_EQ(pkt->Len, 8192);
    EXPECT_EQ(pkt->Data[8190], 0xC3);
    EXPECT_EQ(pkt->Data[8191], 0xD4);
    const QByteArray before(reinterpret_cast<const char*>(pkt->Data), MaxPacketSize);
    PktPutBE(*pkt, 0xFF, 1);
    PktPutLE(*pkt, 0xFFFF, 2);
    PktPutRaw(*pkt, "xyz", 3);
    PktPutTLVText(*pkt, 1, "abc");
    EXPECT_EQ(pkt->Len, 8192);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(pkt->Data), MaxPacketSize), before);

    // Raw and little-endian writes keep what fits.
    pkt->Len = 8189;
    PktPutRaw(*pkt, "ABCDE", 5);
    EXPECT_EQ(pkt->Len, 8192);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(pkt->Data + 8189), 3), "ABC");
    pkt->Len = 8191;
    PktPutLE(*pkt, 0x1122, 2);
    EXPECT_EQ(pkt->Data[8191], 0x22);
    // N = 0 writes nothing.
    pkt->Len = 10;
    PktPutBE(*pkt, 0x1234, 0);
    EXPECT_EQ(pkt->Len, 10);
}

TEST(PacketBuffer, ReadsStopAtTheLimit) {
    auto pkt = Received(MaxPacketSize);
    pkt->Len = 8100;
    EXPECT_EQ(PktGetBE(*pkt, 2), (8100u % 251) << 8 | (8101u % 251));
    EXPECT_EQ(pkt->Len, 8102);
    pkt->Len = 8101;
    EXPECT_EQ(PktGetBE(*pkt, 4), 0u);
    EXPECT_EQ(pkt->Len, 8101);
    EXPECT_EQ(PktGetLE(*pkt, 2), 0u);
    EXPECT_EQ(pkt->Len, 8101);

    pkt->Len = 8000;
    const QByteArray raw = PktGetRaw(*pkt, 200);
    EXPECT_EQ(raw.size(), 101);
    EXPECT_EQ(pkt->Len, 8101);
    EXPECT_EQ(static_cast<quint8>(raw[0]), 8000 % 251);
    // A raw read starting past the limit still yields its first byte; at the end nothing.
    pkt->Len = 8150;
    EXPECT_EQ(PktGetRaw(*pkt, 10).size(), 1);
    pkt->Len = 8192;
    EXPECT_TRUE(PktGetRaw(*pkt, 10).isEmpty());
    pkt->Len = 0;
    EXPECT_TRUE(PktGetRaw(*pkt, 0).isEmpty());
    EXPECT_TRUE(PktGetRaw(*pkt, -5).isEmpty());
    EXPECT_EQ(pkt->Len, 0);
}

TEST(PacketBuffer, ReadsStopAtTheReceivedPayload) {
    auto pkt = Received(10);
    EXPECT_EQ(PktGetRaw(*pkt, 200).size(), 10);
    EXPECT_EQ(pkt->Len, 10);

    // A TLV claiming 300 bytes in a 20-byte payload gives the 16 that are there.
    const QByteArray tlv = Hex("00 05 01 2C") + QByteArray(16, 'v');
    PktLoad(*pkt, tlv.constData(), static_cast<int>(tlv.size()));
    quint16 type = 0;
    EXPECT_EQ(PktGetTLVText(*pkt, type), QByteArray(16, 'v'));
    EXPECT_EQ(type, 5);

    // Bytes past the payload read as zeros, never as what an earlier frame left in the buffer.
    auto reused = NewPacket();
    QByteArray stale(MaxPacketSize, '\xFF');
    PktLoad(*reused, stale.constData(), MaxPacketSize);
    PktLoad(*reused, "\x01\x02", 2);
    EXPECT_EQ(PktGetBE(*reused, 4), 0x01020000u);
    EXPECT_EQ(PktGetBE(*reused, 2), 0u);
    EXPECT_EQ(PktGetByteString(*reused), QByteArray());
    quint16 none = 7;
    EXPECT_EQ(PktGetTLVInt(*reused, none), 0u);
    EXPECT_EQ(none, 0);
    // Huge lengths end at the payload too.
    PktLoad(*reused,
            "\xFF\xFF\xFF\x7F"
            "abc",
            7);
    EXPECT_EQ(PktGetLEDwordString(*reused), "abc");
}

TEST(PacketBuffer, ReadersReadWhatTheWritersWrote) {
    auto pkt = NewPacket();
    PktPutBE(*pkt, 0x0102, 2);
    PktPutLE(*pkt, 0x03040506, 4);
    PktPutByteString(*pkt, "byte");
    PktPutWordString(*pkt, "word");
    PktPutWordString(*pkt, "");
    PktPutLEStringZ(*pkt, "");
    PktPutLEStringZ(*pkt, "ab");
    PktPutTLVInt(*pkt, 0x0A, 2, 0xBEEF);
    PktPutTLVText(*pkt, 0x0B, "tlv");
    PktPutTLVInt(*pkt, 0x0C, 0, 99);
    PktPutSNAC(*pkt, 0x15, 3, 0x8000, 0x00010002);
    PktPutUINText(*pkt, 4294967295u);
    PktPutLE(*pkt, 2, 4);
    PktPutText(*pkt, "dw");
    EXPECT_EQ(HexOf(*pkt), HexOf(Hex("01 02 06 05 04 03 04 62 79 74 65 00 04 77 6F 72 64 00 00 00 00 "
                                     "03 00 61 62 00 00 0A 00 02 BE EF 00 0B 00 03 74 6C 76 00 0C 00 00 "
                                     "00 15 00 03 80 00 00 01 00 02 0A 34 32 39 34 39 36 37 32 39 35 "
                                     "02 00 00 00 64 77")));
    pkt->Len = 0;
    quint16 type = 0;
    EXPECT_EQ(PktGetBE(*pkt, 2), 0x0102u);
    EXPECT_EQ(PktGetLE(*pkt, 4), 0x03040506u);
    EXPECT_EQ(PktGetByteString(*pkt), "byte");
    EXPECT_EQ(PktGetWordString(*pkt), "word");
    EXPECT_EQ(PktGetWordString(*pkt), "");
    // The empty form is two bytes without a terminator.
    EXPECT_EQ(PktGetLEStringZ(*pkt), "");
    EXPECT_EQ(PktGetLEStringZ(*pkt), "ab");
    EXPECT_EQ(PktGetTLVInt(*pkt, type), 0xBEEFu);
    EXPECT_EQ(type, 0x0A);
    EXPECT_EQ(PktGetTLVText(*pkt, type), "tlv");
    EXPECT_EQ(type, 0x0B);
    EXPECT_EQ(PktGetTLVInt(*pkt, type), 0u);
    EXPECT_EQ(type, 0x0C);
    const TSNACHeader snac = PktGetSNAC(*pkt);
    EXPECT_EQ(snac.Family, 0x15);
    EXPECT_EQ(snac.Subtype, 3);
    EXPECT_EQ(snac.Flags, 0x8000);
    EXPECT_EQ(snac.RequestId, 0x00010002u);
    EXPECT_EQ(PktGetByteString(*pkt), "4294967295");
    EXPECT_EQ(PktGetLEDwordString(*pkt), "dw");

    // A long read skips bytes: shifts wrap at 32.
    pkt->Len = 0;
    PktGetBE(*pkt, 17);
    EXPECT_EQ(pkt->Len, 17);
}

TEST(PacketBuffer, ByteStringLengthMatchesItsText) {
    auto pkt = NewPacket();
    PktPutByteString(*pkt, QByteArray(300, 'x'));
    EXPECT_EQ(pkt->Len, 256);
    EXPECT_EQ(pkt->Data[0], 255);
}

TEST(PacketBuffer, FlapHeaderAndSequence) {
    auto pkt = NewPacket();
    quint16 seq = 65535;
    BuildKeepAlive(*pkt, seq);
    EXPECT_EQ(HexOf(*pkt), "2a 05 ff ff 00 00");
    EXPECT_EQ(seq, 0);
    seq = 0x1234;
    BuildKeepAlive(*pkt, seq);
    EXPECT_EQ(HexOf(*pkt), "2a 05 12 34 00 00");
    EXPECT_EQ(seq, 0x1235);
    BuildSignOff(*pkt, seq);
    EXPECT_EQ(HexOf(*pkt), "2a 04 12 35 00 00");
    BuildHello(*pkt, seq);
    EXPECT_EQ(HexOf(*pkt), "2a 01 12 36 00 04 00 00 00 01");
    EXPECT_EQ(seq, 0x1237);
}

TEST(FrameBuilders, PlainLoginFrame) {
    auto pkt = NewPacket();
    quint16 seq = 0x1234;
    BuildLoginFrame(*pkt, 123456789, "secret", seq, false);
    EXPECT_EQ(HexOf(*pkt),
              HexOf(Hex("2A 01 12 34 00 67 00 00 00 01 "
                        "00 01 00 09 31 32 33 34 35 36 37 38 39 "
                        "00 02 00 06 29 59 F2 75 81 5F "
                        "00 03 00 0A 49 43 51 20 43 6C 69 65 6E 74 "
                        "00 16 00 02 01 0A 00 17 00 02 00 06 00 18 00 02 00 05 "
                        "00 19 00 02 00 00 00 1A 00 02 00 68 00 14 00 04 00 00 07 53 "
                        "00 0F 00 02 65 6E 00 0E 00 02 75 73 00 0F 00 02 65 6E 00 0E 00 02 75 73")));
    EXPECT_EQ(seq, 0x1235);
}

TEST(FrameBuilders, SecureLoginFrame) {
    auto pkt = NewPacket();
    quint16 seq = 1;
    const QByteArray digest(16, '\x11');
    BuildLoginFrame(*pkt, 42, digest, seq, true);
    const QByteArray bytes = PktBytes(*pkt);
    EXPECT_EQ(HexOf(bytes.left(6 + 10 + 6 + 20 + 4)),
              HexOf(Hex("2A 02 00 01 00 74 00 17 00 02 00 00 00 00 00 00 00 01 00 02 34 32 00 25 00 10") +
                    digest + Hex("00 4C 00 00")));
    EXPECT_EQ(HexOf(bytes.mid(46, 14)), HexOf(Hex("00 03 00 0A") + "ICQ Client"));
    EXPECT_EQ(bytes.size(), 6 + 0x74);
}

TEST(FrameBuilders, Message) {
    auto pkt = NewPacket();
    quint16 seq = 7;
    BuildMessage(*pkt, 0x11223344, 0x55667788, 42, "Hi", seq);
    EXPECT_EQ(HexOf(*pkt), HexOf(Hex("2A 02 00 07 00 2E 00 04 00 06 00 00 00 00 00 00 "
                                     "11 22 33 44 55 66 77 88 00 01 02 34 32 "
                                     "00 02 00 0F 05 01 00 01 01 01 01 00 06 00 00 00 00 48 69 "
                                     "00 06 00 00")));
}

TEST(FrameBuilders, Capabilities) {
    auto pkt = NewPacket();
    quint16 seq = 0;
    BuildCapabilities(*pkt, 0, seq);
    const QByteArray bytes = PktBytes(*pkt);
    EXPECT_EQ(HexOf(bytes.left(20)), "2a 02 00 00 00 9e 00 02 00 04 00 00 00 00 00 00 00 05 00 90");
    ASSERT_EQ(bytes.size(), 20 + 144);
    EXPECT_EQ(bytes.mid(20).toHex(), "0946134d4c7f11d18222444553540000"
                                     "094600004c7f11d18222444553540000"
                                     "094613494c7f11d18222444553540000"
                                     "094613434c7f11d18222444553540000"
                                     "094613444c7f11d18222444553540000"
                                     "0946134e4c7f11d18222444553540000"
                                     "0946134c4c7f11d18222444553540000"
                                     "563fc8090b6f41bd9f79422609dfa2f3"
                                     "1a093c6cd7fd4ec59d51a6474e34f5a0");
    // An extra entry goes into this one frame only.
    BuildCapabilities(*pkt, 35, seq);
    EXPECT_EQ(pkt->Len, 20 + 160);
    EXPECT_EQ(HexOf(PktBytes(*pkt).mid(18, 2)), "00 a0");
    EXPECT_EQ(PktBytes(*pkt).right(16), "Zorvanite Tq 035");
    for (const int index : {1, 17, 35})
        EXPECT_EQ(ExtraCapability(index).size(), 16) << index;
    EXPECT_TRUE(ExtraCapability(36).isEmpty());
    BuildCapabilities(*pkt, 36, seq);
    EXPECT_EQ(pkt->Len, 20 + 144);
}

TEST(FrameBuilders, SetStatusRecordKeepsItsTypeByte) {
    auto pkt = NewPacket();
    const auto expected = [](const char* Type) {
        return HexOf(Hex("2A 02 00 00 00 47 00 01 00 1E 00 00 00 00 00 00 "
                         "00 06 00 04 10 00 60 00 00 08 00 02 00 00 "
                         "00 0C 00 25 00 00 00 00 00 00 00 00") +
                     Hex(Type) +
                     Hex("00 0B 00 00 00 00 00 00 00 00 00 00 00 03 "
                         "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 1F 00 02 00 00"));
    };
    const std::pair<TProxyType, const char*> kinds[] = {
        {P_NONE, "04"}, {P_SOCKS4, "02"}, {P_SOCKS5, "02"}, {P_HTTP, "01"}, {P_HTTPS, "01"}};
    for (const auto& [kind, type] : kinds) {
        quint16 seq = 0;
        BuildSetStatus(*pkt, 0x10006000, kind, seq);
        EXPECT_EQ(HexOf(*pkt), expected(type)) << kind;
    }
}

TEST(FrameBuilders, SignOnRequests) {
    auto pkt = NewPacket();
    quint16 seq = 0x0100;
    BuildFamilyVersions(*pkt, seq);
    EXPECT_EQ(HexOf(*pkt),
              HexOf(Hex("2A 02 01 00 00 36 00 01 00 17 00 00 00 00 00 17 "
                        "00 22 00 01 00 01 00 04 00 13 00 04 00 02 00 01 00 03 00 01 "
                        "00 15 00 01 00 04 00 01 00 06 00 01 00 09 00 01 00 0A 00 01 00 0B 00 01")));
    BuildRateRequest(*pkt, seq);
    EXPECT_EQ(HexOf(*pkt), "2a 02 01 01 00 0a 00 01 00 06 00 00 00 00 00 06");
    BuildRateAck(*pkt, seq);
    EXPECT_EQ(HexOf(*pkt), "2a 02 01 02 00 14 00 01 00 08 00 00 00 00 00 08 00 01 00 02 00 03 00 04 00 05");
    BuildSelfInfoRequest(*pkt, seq);
    EXPECT_EQ(HexOf(*pkt), "2a 02 01 03 00 0a 00 01 00 0e 00 00 00 00 00 0e");
    BuildSSIRightsRequest(*pkt, seq);
    EXPECT_EQ(HexOf(*pkt), "2a 02 01 04 00 10 00 13 00 02 00 00 00 00 00 02 00 0b 00 02 00 0f");
    BuildLocationRightsRequest(*pkt, seq);
    EXPECT_EQ(HexOf(*pkt), "2a 02 01 05 00 0a 00 02 00 02 00 00 00 00 00 00");
    BuildBuddyRightsRequest(*pkt, seq);
    EXPECT_EQ(HexOf(*pkt), "2a 02 01 06 00 10 00 03 00 02 00 00 00 00 00 00 00 05 00 02 00 03");
    BuildICBMParamsRequest(*pkt, seq);
    EXPECT_EQ(HexOf(*pkt), "2a 02 01 07 00 0a 00 04 00 04 00 00 00 00 00 00");
    BuildPrivacyRightsRequest(*pkt, seq);
    EXPECT_EQ(HexOf(*pkt), "2a 02 01 08 00 0a 00 09 00 02 00 00 00 00 00 00");
    BuildSSIActivate(*pkt, seq);
    EXPECT_EQ(HexOf(*pkt), "2a 02 01 09 00 0a 00 13 00 07 00 00 00 00 00 00");
    BuildServiceRequest(*pkt, seq);
    EXPECT_EQ(HexOf(*pkt), "2a 02 01 0a 00 0c 00 01 00 04 00 00 00 00 00 00 00 10");
    BuildCookieFrame(*pkt, "\x01\x02\x03", seq);
    EXPECT_EQ(HexOf(*pkt), "2a 01 01 0b 00 0b 00 00 00 01 00 06 00 03 01 02 03");
}

TEST(FrameBuilders, ClientReady) {
    auto pkt = NewPacket();
    quint16 seq = 0;
    BuildClientReady(*pkt, seq);
    QByteArray expected = Hex("2A 02 00 00 00 62 00 01 00 02 00 00 00 00 00 00");
    for (const char* entry :
         {"0022 0001 0110 164F", "0001 0004 0110 164F", "0013 0004 0110 164F", "0002 0001 0101 164F",
          "0003 0001 0110 164F", "0015 0001 0110 164F", "0004 0001 0110 164F", "0006 0001 0110 164F",
          "0009 0001 0110 164F", "000A 0001 0110 164F", "000B 0001 0110 164F"})
        expected += Hex(entry);
    EXPECT_EQ(HexOf(*pkt), HexOf(expected));
    BuildClientReadyAvatar(*pkt, seq);
    EXPECT_EQ(HexOf(*pkt), "2a 02 00 01 00 1a 00 01 00 02 00 00 00 00 00 00 00 01 00 04 00 10 08 e4 "
                           "00 10 00 01 00 10 08 e4");
}

TEST(FrameBuilders, SessionSettings) {
    auto pkt = NewPacket();
    quint16 seq = 0;
    BuildICBMParams(*pkt, true, 1, seq);
    EXPECT_EQ(HexOf(*pkt), "2a 02 00 00 00 1a 00 04 00 02 00 00 00 00 00 00 00 01 00 00 00 0b 1f 40 03 e7 "
                           "03 e7 00 00 00 00");
    BuildICBMParams(*pkt, true, 2, seq);
    EXPECT_EQ(HexOf(PktBytes(*pkt).mid(16, 6)), "00 02 00 00 00 03");
    BuildICBMParams(*pkt, false, 1, seq);
    EXPECT_EQ(HexOf(PktBytes(*pkt).mid(16, 6)), "00 01 00 00 00 03");
    BuildAddContacts(*pkt, {7, 123456}, seq);
    EXPECT_EQ(HexOf(*pkt), "2a 02 00 03 00 13 00 03 00 04 00 00 00 00 00 00 01 37 06 31 32 33 34 35 36");
    BuildVisibleList(*pkt, {"11", "22"}, seq);
    EXPECT_EQ(HexOf(*pkt), "2a 02 00 04 00 10 00 09 00 05 00 00 00 00 00 00 02 31 31 02 32 32");
    BuildInvisibleList(*pkt, {}, seq);
    EXPECT_EQ(HexOf(*pkt), "2a 02 00 05 00 0a 00 09 00 07 00 00 00 00 00 00");
    BuildIdle(*pkt, true, seq);
    EXPECT_EQ(HexOf(*pkt), "2a 02 00 06 00 0e 00 01 00 11 00 00 00 00 00 00 00 00 00 3c");
    BuildIdle(*pkt, false, seq);
    EXPECT_EQ(HexOf(PktBytes(*pkt).right(4)), "00 00 00 00");
}

TEST(FrameBuilders, MetaAndAccountRequests) {
    auto pkt = NewPacket();
    quint16 seq = 0;
    quint16 meta = 2;
    BuildOfflineRequest(*pkt, 123456789, meta, seq);
    EXPECT_EQ(HexOf(*pkt), "2a 02 00 00 00 18 00 15 00 02 00 00 00 01 00 02 00 01 00 0a 08 00 15 cd 5b 07 "
                           "3c 00 02 00");
    EXPECT_EQ(meta, 3);
    BuildMetaRequest(*pkt, 1, 0x07D0, meta, "\xAA\xBB", seq);
    EXPECT_EQ(HexOf(PktBytes(*pkt).mid(16)), "00 01 00 0c 0a 00 01 00 00 00 d0 07 03 00 aa bb");
    EXPECT_EQ(meta, 4);
    BuildMD5KeyRequest(*pkt, "123", seq);
    EXPECT_EQ(HexOf(*pkt),
              "2a 02 00 02 00 15 00 17 00 06 00 00 00 00 00 00 00 01 00 03 31 32 33 00 4b 00 00");
    BuildNewUIN(*pkt, "pw", seq);
    EXPECT_EQ(HexOf(PktBytes(*pkt).mid(6)),
              HexOf(Hex("0017 0004 0000 00000000 0001 0035 00000000 28000300 00000000 00000000 9E270000 "
                        "9E270000 00000000 00000000 00000000 00000000 0300 7077 00 9E270000 0000 0302")));
}

TEST(Conversions, SwapsAndHexDigits) {
    EXPECT_EQ(Swap16(0x1234), 0x3412);
    EXPECT_EQ(Swap32(0x11223344u), 0x44332211u);
    EXPECT_EQ(IntToHexDigits(0x1A2B, 6), "001A2B");
    EXPECT_EQ(IntToHexDigits(-1, 4), "FFFF");
    EXPECT_EQ(IntToHexDigits(0x123, 2), "23");
    EXPECT_EQ(IntToHexDigits(5, 20), QString(19, '0') + "5");
    EXPECT_EQ(IntToHexDigits(5, 0), "");
    EXPECT_EQ(HexTextToInt("1a2B"), 0x1A2B);
    EXPECT_EQ(HexTextToInt("ff"), 255);
    EXPECT_EQ(HexTextToInt("FF"), 255);
    EXPECT_EQ(HexTextToInt(""), 0);
    // The first non-digit ends the number.
    EXPECT_EQ(HexTextToInt("12z4"), 0x12);
    EXPECT_EQ(HexTextToInt("z"), 0);
}

TEST(Conversions, FEPairs) {
    QList<QByteArray> list;
    ParseFEPairs("head\xFEvalue1\xFEkey1\xFE\xFEkey2\xFEv3\xFEk3", list);
    EXPECT_EQ(list, (QList<QByteArray>{"key1=value1", "k3=v3"}));
    list.clear();
    ParseFEPairs("x\xFE"
                 "a\xFE"
                 "b\xFE"
                 "c",
                 list);
    EXPECT_EQ(list, QList<QByteArray>{"b=a"});
    list.clear();
    ParseFEPairs("no separator", list);
    EXPECT_TRUE(list.isEmpty());
}

TEST(Conversions, RoastPassword) {
    EXPECT_EQ(HexOf(RoastPassword("secret")), "29 59 f2 75 81 5f");
    // Longer passwords wrap around the 16-byte table.
    const QByteArray longer(40, 'p');
    const QByteArray roasted = RoastPassword(longer);
    ASSERT_EQ(roasted.size(), 40);
    EXPECT_EQ(roasted[0], roasted[16]);
    EXPECT_EQ(roasted[5], roasted[37]);
    EXPECT_EQ(RoastPassword(roasted), longer);
    EXPECT_TRUE(RoastPassword("").isEmpty());
}

TEST(Reassembly, FramesInAnyChunks) {
    const QByteArray first = Hex("2A 01 00 01 00 04 00 00 00 01");
    const QByteArray second = Hex("2A 02 00 02 00 03 AA BB CC");
    const QByteArray stream = first + second + Hex("2A 05 00 03 00 00");
    for (const int chunk : {1, 2, 5, 7, static_cast<int>(stream.size())}) {
        TFlapReassembler r;
        std::vector<QByteArray> frames;
        for (int at = 0; at < stream.size(); at += chunk) {
            const char* data = stream.constData() + at;
            int length = std::min<int>(chunk, static_cast<int>(stream.size()) - at);
            while (r.Take(data, length) == TFlapReassembler::Frame)
                frames.emplace_back(reinterpret_cast<const char*>(r.FrameBytes()), r.FrameSize());
            EXPECT_EQ(length, 0);
        }
        ASSERT_EQ(frames.size(), 3u) << chunk;
        EXPECT_EQ(frames[0], first);
        EXPECT_EQ(frames[1], second);
        EXPECT_EQ(HexOf(frames[2]), "2a 05 00 03 00 00");
    }
}

TEST(Reassembly, LengthLimitAndMarker) {
    TFlapReassembler r;
    QByteArray largest = Hex("2A 02 00 09 20 00") + QByteArray(8192, 'x');
    const char* data = largest.constData();
    int length = static_cast<int>(largest.size());
    ASSERT_EQ(r.Take(data, length), TFlapReassembler::Frame);
    EXPECT_EQ(r.Header().Length, 8192);
    EXPECT_EQ(r.Header().Seq, 9);
    EXPECT_EQ(r.Payload()[8191], 'x');

    const QByteArray oversized = Hex("2A 02 00 01 20 01") + Hex("2A 05 00 00 00 00");
    data = oversized.constData();
    length = static_cast<int>(oversized.size());
    EXPECT_EQ(r.Take(data, length), TFlapReassembler::Oversized);
    EXPECT_EQ(length, 0);
    EXPECT_TRUE(r.Stopped());
    const QByteArray later = Hex("2A 05 00 00 00 00");
    data = later.constData();
    length = 6;
    EXPECT_EQ(r.Take(data, length), TFlapReassembler::NeedMore);

    r.Reset();
    const QByteArray marked = Hex("2B 02 00 01 00 00");
    data = marked.constData();
    length = 6;
    EXPECT_EQ(r.Take(data, length), TFlapReassembler::Malformed);
}

TEST(Reassembly, ServerConnectionReportsAndCloses) {
    TICQNet net;
    zt::msgtest::TNetRecorder rec(net);
    const quint32 before = net.Connection();
    const QByteArray oversized = Hex("2A 02 00 01 20 01") + QByteArray(20, 'y');
    net.HandleReceived(oversized.constData(), static_cast<int>(oversized.size()));
    ASSERT_EQ(rec.Errors.size(), 1u);
    EXPECT_EQ(rec.Errors[0].first, ERR_PROTOCOL);
    EXPECT_EQ(rec.Errors[0].second, "Length of incoming packet exceeds maximum supported by protocol");
    EXPECT_GT(net.Connection(), before);
    EXPECT_TRUE(rec.Frames.empty());

    // After the close the reassembly starts afresh.
    const QByteArray largest = Hex("2A 02 00 02 20 00") + QByteArray(8192, 'z');
    net.HandleReceived(largest.constData(), static_cast<int>(largest.size()));
    ASSERT_EQ(rec.Frames.size(), 1u);
    EXPECT_EQ(rec.Frames[0].Payload.size(), 8192);
    ASSERT_EQ(rec.DumpsIn.size(), 1u);
    EXPECT_EQ(rec.DumpsIn[0], largest);

    net.SetLanguage(LANG_DE);
    const QByteArray marked = Hex("2B 02 00 03 00 00 2A 05 00 04 00 00");
    net.HandleReceived(marked.constData(), static_cast<int>(marked.size()));
    ASSERT_EQ(rec.Errors.size(), 2u);
    EXPECT_EQ(rec.Errors[1].first, ERR_PROTOCOL);
    EXPECT_EQ(rec.Errors[1].second, "Fehlerhaftes Paket empfangen");
    EXPECT_EQ(rec.Frames.size(), 1u);
}

TEST(Reassembly, FramesOfAClosedConnectionStop) {
    TICQNet net;
    zt::msgtest::TNetRecorder rec(net);
    int handled = 0;
    net.OnHandlePkt = [&](const TFlapHeader&, const quint8*, int) {
        ++handled;
        net.CloseSockets();
    };
    const QByteArray two = Hex("2A 05 00 01 00 00 2A 05 00 02 00 00");
    net.HandleReceived(two.constData(), static_cast<int>(two.size()));
    EXPECT_EQ(handled, 1);
    // The next connection's first frame is whole again.
    const QByteArray one = Hex("2A 05 00 03 00 00");
    net.HandleReceived(one.constData(), 6);
    EXPECT_EQ(handled, 2);
}
