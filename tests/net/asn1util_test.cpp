// BER encoder and item reader: the length, integer and OID forms, the value texts by tag, and
// readers that must stay inside short or lying buffers.
#include "net/asn1util.h"

#include <gtest/gtest.h>

namespace {

std::string B(std::initializer_list<int> Bytes) {
    std::string Out;
    for (int V : Bytes)
        Out += static_cast<char>(V);
    return Out;
}

// Value text and tag of the single item in Buffer; Pos checked to end after it.
std::string ReadOne(const std::string& Buffer, int& Tag, int* EndPos = nullptr) {
    int Pos = 1;
    const std::string Text = ReadBerItem(Buffer, Pos, Tag);
    if (EndPos)
        *EndPos = Pos;
    return Text;
}

} // namespace

TEST(Asn1Encode, Lengths) {
    EXPECT_EQ(EncodeBerLength(0), B({0x00}));
    EXPECT_EQ(EncodeBerLength(127), B({0x7F}));
    EXPECT_EQ(EncodeBerLength(128), B({0x81, 0x80}));
    EXPECT_EQ(EncodeBerLength(300), B({0x82, 0x01, 0x2C}));
    EXPECT_EQ(EncodeBerLength(65536), B({0x83, 0x01, 0x00, 0x00}));
    for (int Len : {0, 1, 127, 128, 255, 256, 300, 65535, 70000}) {
        const std::string Enc = EncodeBerLength(Len);
        int Pos = 1;
        EXPECT_EQ(DecodeBerLength(Enc, Pos), Len);
        EXPECT_EQ(Pos, static_cast<int>(Enc.size()) + 1);
    }
}

TEST(Asn1Encode, IntegersAndUnsigned) {
    EXPECT_EQ(EncodeBerInteger(0), B({0x00}));
    EXPECT_EQ(EncodeBerInteger(1), B({0x01}));
    EXPECT_EQ(EncodeBerInteger(127), B({0x7F}));
    EXPECT_EQ(EncodeBerInteger(200), B({0x00, 0xC8}));
    EXPECT_EQ(EncodeBerInteger(256), B({0x01, 0x00}));
    EXPECT_EQ(EncodeBerInteger(-1), B({0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(EncodeBerInteger(-200), B({0xFF, 0xFF, 0xFF, 0x38}));
    EXPECT_EQ(EncodeBerInteger(2147483647), B({0x7F, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(EncodeBerUnsigned(200), B({0xC8}));
    EXPECT_EQ(EncodeBerUnsigned(0), B({0x00}));
    EXPECT_EQ(EncodeBerUnsigned(65535), B({0xFF, 0xFF}));
    EXPECT_EQ(EncodeBerUnsigned(2147483647), B({0x7F, 0xFF, 0xFF, 0xFF}));
    // From 2^31 up a sign byte keeps the value non-negative for the agent.
    EXPECT_EQ(EncodeBerUnsigned(4294967295u), B({0x00, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(EncodeBerObject(B({0x01}), 2), B({0x02, 0x01, 0x01}));
    EXPECT_EQ(EncodeBerObject(std::string(200, 'x'), 4).substr(0, 3), B({0x04, 0x81, 0xC8}));
}

TEST(Asn1Encode, Oids) {
    EXPECT_EQ(OidTextToBer("1.3.6.1.2.1.1.1.0"), B({0x2B, 0x06, 0x01, 0x02, 0x01, 0x01, 0x01, 0x00}));
    EXPECT_EQ(EncodeOidSubId(127), B({0x7F}));
    EXPECT_EQ(EncodeOidSubId(128), B({0x81, 0x00}));
    EXPECT_EQ(EncodeOidSubId(4294967295u), B({0x8F, 0xFF, 0xFF, 0xFF, 0x7F}));
    // Unreadable components count as 0.
    EXPECT_EQ(OidTextToBer("1.3.x.5"), B({0x2B, 0x00, 0x05}));
    EXPECT_EQ(OidBerToText(B({0x2B, 0x06, 0x01})), "1.3.6.1");
    const std::string Big = "1.3.6.1.4.1.2021.4294967295.128.0";
    EXPECT_EQ(OidBerToText(OidTextToBer(Big)), Big);
    EXPECT_EQ(OidBerToText(OidTextToBer("2.999.3")), "2.999.3");
    int Pos = 1;
    EXPECT_EQ(DecodeOidSubId(B({0x81, 0x00, 0x05}), Pos), 128u);
    EXPECT_EQ(Pos, 3);
    // A sub-identifier cut off at the end of the buffer stops there.
    Pos = 1;
    EXPECT_EQ(DecodeOidSubId(B({0x81, 0x81}), Pos), 129u);
    EXPECT_EQ(Pos, 3);
}

TEST(Asn1Read, ValueTextsByTag) {
    int Tag = 0;
    EXPECT_EQ(ReadOne(B({0x02, 0x01, 0xFF}), Tag), "-1");
    EXPECT_EQ(Tag, 2);
    EXPECT_EQ(ReadOne(B({0x02, 0x02, 0x00, 0xFF}), Tag), "255");
    EXPECT_EQ(ReadOne(B({0x02, 0x04, 0x7F, 0xFF, 0xFF, 0xFF}), Tag), "2147483647");
    EXPECT_EQ(ReadOne(B({0x02, 0x04, 0x80, 0x00, 0x00, 0x00}), Tag), "-2147483648");
    EXPECT_EQ(ReadOne(B({0x0A, 0x01, 0x02}), Tag), "2");
    EXPECT_EQ(ReadOne(B({0x41, 0x05, 0x00, 0xFF, 0xFF, 0xFF, 0xFF}), Tag), "4294967295");
    EXPECT_EQ(Tag, 65);
    EXPECT_EQ(ReadOne(B({0x41, 0x04, 0x80, 0x00, 0x00, 0x00}), Tag), "2147483648");
    EXPECT_EQ(ReadOne(B({0x42, 0x04, 0xFF, 0xFF, 0xFF, 0xFF}), Tag), "4294967295");
    EXPECT_EQ(ReadOne(B({0x43, 0x02, 0x01, 0x00}), Tag), "256");
    // Counter64 is unsigned in 64 bits.
    EXPECT_EQ(ReadOne(B({0x46, 0x09, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}), Tag),
              "18446744073709551615");
    EXPECT_EQ(Tag, 70);
    EXPECT_EQ(ReadOne(B({0x46, 0x05, 0x01, 0x00, 0x00, 0x00, 0x00}), Tag), "4294967296");
    EXPECT_EQ(ReadOne(B({0x40, 0x04, 127, 0, 0, 1}), Tag), "127.0.0.1");
    EXPECT_EQ(ReadOne(B({0x06, 0x03, 0x2B, 0x06, 0x01}), Tag), "1.3.6.1");
    int End = 0;
    EXPECT_EQ(ReadOne(B({0x05, 0x00}), Tag, &End), "");
    EXPECT_EQ(Tag, 5);
    EXPECT_EQ(End, 3);
    // OCTET STRING and unknown tags keep their bytes, zero bytes included.
    EXPECT_EQ(ReadOne(B({0x04, 0x03, 'a', 0x00, 0xFF}), Tag), B({'a', 0x00, 0xFF}));
    EXPECT_EQ(ReadOne(B({0x44, 0x02, 0x01, 0x02}), Tag), B({0x01, 0x02}));
    EXPECT_EQ(ReadOne(B({0x81, 0x00}), Tag), "");
    EXPECT_EQ(Tag, 0x81);
}

TEST(Asn1Read, ConstructedItemsAreSteppedInto) {
    const std::string Seq = B({0x30, 0x06, 0x02, 0x01, 0x07, 0x04, 0x01, 'z'});
    int Pos = 1, Tag = 0;
    EXPECT_EQ(ReadBerItem(Seq, Pos, Tag), Seq.substr(2));
    EXPECT_EQ(Tag, 48);
    EXPECT_EQ(Pos, 3);
    EXPECT_EQ(ReadBerItem(Seq, Pos, Tag), "7");
    EXPECT_EQ(ReadBerItem(Seq, Pos, Tag), "z");
    EXPECT_EQ(Pos, 9);
    // Past the end: NULL with empty text.
    EXPECT_EQ(ReadBerItem(Seq, Pos, Tag), "");
    EXPECT_EQ(Tag, 5);
    EXPECT_EQ(Pos, 9);
}

TEST(Asn1Read, MalformedInputStaysInside) {
    int Tag = 0, End = 0;
    // Contents longer than the buffer: empty text, position after the length.
    EXPECT_EQ(ReadOne(B({0x04, 0x05, 'a', 'b'}), Tag, &End), "");
    EXPECT_EQ(End, 3);
    // Length bytes missing, indefinite length, and a length beyond 32 bits.
    EXPECT_EQ(ReadOne(B({0x04, 0x82, 0x01}), Tag), "");
    EXPECT_EQ(ReadOne(B({0x30, 0x80, 0x00, 0x00}), Tag), "");
    EXPECT_EQ(ReadOne(B({0x04, 0x89, 1, 0, 0, 0, 0, 0, 0, 0, 5, 'a'}), Tag), "");
    EXPECT_EQ(ReadOne(B({0x04, 0x84, 0xFF, 0xFF, 0xFF, 0xFF, 'a'}), Tag), "");
    int Pos = 2;
    EXPECT_EQ(DecodeBerLength(B({0x04, 0x84, 0x80, 0x00, 0x00, 0x00}), Pos), -1);
    // Numbers that do not fit in 64 bits give no text at all rather than a wrong one.
    EXPECT_EQ(ReadOne(B({0x02, 0x09, 0x01, 0, 0, 0, 0, 0, 0, 0, 0}), Tag), "");
    EXPECT_EQ(ReadOne(B({0x41, 0x09, 0x01, 0, 0, 0, 0, 0, 0, 0, 0}), Tag), "");
    // A lone tag byte, and a position before the start.
    EXPECT_EQ(ReadOne(B({0x02}), Tag), "");
    Pos = 0;
    EXPECT_EQ(ReadBerItem(B({0x02, 0x01, 0x01}), Pos, Tag), "");
    EXPECT_EQ(Tag, 5);
}
