// The tools window's name look-ups on this machine's own names and the address text.
#include "core/HostLookup.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>

TEST(HostLookup, ForwardLookupGivesTheFirstIPv4Address) {
    QString ip = "untouched";
    EXPECT_TRUE(ResolveHostToIp("127.0.0.1", ip));
    EXPECT_EQ(ip, "127.0.0.1");
    ip.clear();
    EXPECT_TRUE(ResolveHostToIp("localhost", ip));
    EXPECT_EQ(ip, "127.0.0.1");
    ip = "untouched";
    EXPECT_FALSE(ResolveHostToIp("", ip));
    EXPECT_FALSE(ResolveHostToIp("   ", ip));
    EXPECT_EQ(ip, "untouched");
}

TEST(HostLookup, ReverseLookupGivesTheNameOrNothing) {
    QString name = "stale";
    ReverseLookup("127.0.0.1", name);
    EXPECT_EQ(name, "localhost");
    name = "stale";
    ReverseLookup("not an address", name);
    EXPECT_EQ(name, "");
    name = "stale";
    ReverseLookup("", name);
    EXPECT_EQ(name, "");
}

TEST(HostLookup, AddressTextTakesTheBytesInMemoryOrder) {
    in_addr address{};
    inet_pton(AF_INET, "198.18.41.2", &address);
    EXPECT_EQ(AddressToText(address.s_addr), "198.18.41.2");
    EXPECT_EQ(AddressToText(0), "0.0.0.0");
    EXPECT_EQ(AddressToText(0xFFFFFFFFu), "255.255.255.255");
}
