// Tests of %-decoding, Base64 and the digests against published test vectors.
#include "net/netcode.h"

#include <gtest/gtest.h>

namespace {
std::string Hex(const std::string& Bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : Bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}
} // namespace

TEST(NetCode, DecodeURLRules) {
    EXPECT_EQ(DecodeURL("a%20b%3a"), "a b:");
    EXPECT_EQ(DecodeURL("100%zz"), "100%zz");
    EXPECT_EQ(DecodeURL("a%\r\nb"), "ab");
    EXPECT_EQ(DecodeURL("a%\n\rb"), "ab");
    EXPECT_EQ(DecodeURL("a%\nb"), "ab");
    EXPECT_EQ(DecodeURL("abc%4"), "abc");
    EXPECT_EQ(DecodeURL("abc%"), "abc");
    EXPECT_EQ(DecodeURL("%00x"), std::string("\0x", 2));
}

TEST(NetCode, Base64) {
    EXPECT_EQ(EncodeBase64(""), "");
    EXPECT_EQ(EncodeBase64("f"), "Zg==");
    EXPECT_EQ(EncodeBase64("fo"), "Zm8=");
    EXPECT_EQ(EncodeBase64("foo"), "Zm9v");
    EXPECT_EQ(EncodeBase64("user:pass"), "dXNlcjpwYXNz");
    EXPECT_EQ(EncodeBase64(std::string("\xFF\xFE\x00", 3)), "//4A");
}

TEST(NetCode, DigestsAndHmac) {
    EXPECT_EQ(Hex(MD5("abc")), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(Hex(SHA1("abc")), "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(Hex(MD5LongHash("ab", 5)), Hex(MD5("ababa")));
    // RFC 3414 A.3 password-to-key vectors.
    EXPECT_EQ(Hex(MD5LongHash("maplesyrup", 1048576)), "9faf3283884e92834ebc9847d8edd963");
    EXPECT_EQ(Hex(SHA1LongHash("maplesyrup", 1048576)), "9fb5cc0381497b3793528939ff788d5d79145211");
    EXPECT_EQ(Hex(MD5LongHash("", 1048576)), Hex(MD5("")));
    // RFC 2202 test case 2.
    EXPECT_EQ(Hex(HMAC_MD5("what do ya want for nothing?", "Jefe")), "750c783e6ab0b503eaa86e310a5db738");
    EXPECT_EQ(Hex(HMAC_SHA1("what do ya want for nothing?", "Jefe")),
              "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79");
}
