// Tests of the IP address text tests and conversions.
#include "net/netip.h"

#include <gtest/gtest.h>

TEST(NetIp, IsIPAcceptsDottedQuadsOnly) {
    EXPECT_TRUE(IsIP("127.0.0.1"));
    EXPECT_TRUE(IsIP("255.255.255.255"));
    EXPECT_TRUE(IsIP(" 10 . 0 .0. 1 "));
    EXPECT_FALSE(IsIP("1.2.3.256"));
    EXPECT_FALSE(IsIP("1.2.3"));
    EXPECT_FALSE(IsIP("1.2.3.4.5"));
    EXPECT_FALSE(IsIP("1..3.4"));
    EXPECT_FALSE(IsIP("1.2.3.x"));
    EXPECT_FALSE(IsIP("1.2.3.0004"));
    EXPECT_FALSE(IsIP(""));
}

TEST(NetIp, IsIP6Forms) {
    EXPECT_TRUE(IsIP6("::"));
    EXPECT_TRUE(IsIP6("::1"));
    EXPECT_TRUE(IsIP6("fe80::1%3"));
    EXPECT_TRUE(IsIP6("2001:db8:0:0:0:0:0:1"));
    EXPECT_TRUE(IsIP6("2001:db8::"));
    EXPECT_FALSE(IsIP6("1::2::3"));
    EXPECT_FALSE(IsIP6("2001:db8:0:0:0:0:0:1:2"));
    EXPECT_FALSE(IsIP6("12345::1"));
    EXPECT_FALSE(IsIP6("fe80::1%eth0"));
    EXPECT_FALSE(IsIP6("g::1"));
    EXPECT_FALSE(IsIP6(":1:2:3:4:5:6:7"));
    EXPECT_FALSE(IsIP6("cafe:8080"));
    EXPECT_FALSE(IsIP6("127.0.0.1"));
    EXPECT_FALSE(IsIP6(""));
}

TEST(NetIp, IPv4Conversions) {
    EXPECT_EQ(IPToID("192.168.1.2"), std::string("\xC0\xA8\x01\x02", 4));
    EXPECT_EQ(IPToID("1.x"), std::string("\x01\x00\x00\x00", 4));
    EXPECT_EQ(IPv4ToText(0x7F000001u), "127.0.0.1");
}

TEST(NetIp, IPv6BytesAndShortestText) {
    const TIp6Bytes loop = StrToIp6("::1");
    EXPECT_EQ(loop[15], 1);
    EXPECT_EQ(Ip6ToStr(loop), "::1");
    EXPECT_EQ(Ip6ToStr(StrToIp6("::")), "::");
    EXPECT_EQ(Ip6ToStr(StrToIp6("2001:0DB8:0:0:1:0:0:0")), "2001:db8:0:0:1::");
    EXPECT_EQ(Ip6ToStr(StrToIp6("1:0:0:2:0:0:0:3")), "1:0:0:2::3");
    EXPECT_EQ(Ip6ToStr(StrToIp6("fe80::1%5")), "fe80::1");
    EXPECT_EQ(ExpandIP6("fe80::1"), "fe80:0000:0000:0000:0000:0000:0000:0001");
    EXPECT_EQ(Ip6ToStr(StrToIp6("not an address")), "::");
}
