// Tests of the shared network routines: tick arithmetic, text splitting, packing, streams, header
// unfolding and the URL parser.
#include "net/netutil.h"

#include <gtest/gtest.h>

TEST(NetUtilTick, DeltaHandlesEqualForwardBackAndWrap) {
    EXPECT_EQ(TickDelta(100, 100), 0u);
    EXPECT_EQ(TickDelta(100, 350), 250u);
    EXPECT_EQ(TickDelta(350, 100), 250u);             // a small step back counts as its size
    EXPECT_EQ(TickDelta(0xFFFFFF00u, 0x10u), 0x110u); // the counter wrapped
    const uint32_t a = GetTick();
    SleepMs(20);
    EXPECT_GE(TickDelta(a, GetTick()), 20u);
}

TEST(NetUtilText, SeparateFetchTrimReplace) {
    EXPECT_EQ(SeparateLeft("HTTP/1.0 200 OK", " "), "HTTP/1.0");
    EXPECT_EQ(SeparateRight("HTTP/1.0 200 OK", " "), "200 OK");
    EXPECT_EQ(SeparateLeft("abc", "::"), "abc");
    EXPECT_EQ(SeparateRight("abc", "::"), "abc"); // absent delimiter: the whole text
    std::string v = "  name = value ; more";
    EXPECT_EQ(FetchPart(v, "="), "name");
    EXPECT_EQ(v, "value ; more");
    std::string w = " single ";
    EXPECT_EQ(FetchPart(w, ";"), "single");
    EXPECT_EQ(w, "");
    EXPECT_EQ(TrimSpace("\t a b \t"), "\t a b \t");
    EXPECT_EQ(TrimSpace("  a b  "), "a b");
    EXPECT_EQ(TrimSpaceLeft("  a "), "a ");
    EXPECT_EQ(TrimSpaceRight("  a "), "  a");
    EXPECT_EQ(ReplaceString("aaa", "aa", "b"), "ba");
    EXPECT_EQ(ReplaceString("a\tb\t", "\t", " "), "a b ");
    EXPECT_EQ(CountOfChar("a:b::c", ':'), 3u);
    EXPECT_TRUE(StartsText("http/", "HTTP/1.1 200"));
    EXPECT_FALSE(StartsText("http/", "HTT"));
}

TEST(NetUtilText, PosCRLFFindsEveryLineEndForm) {
    std::string t;
    EXPECT_EQ(PosCRLF("ab\r\ncd", t), 2u);
    EXPECT_EQ(t, "\r\n");
    EXPECT_EQ(PosCRLF("ab\n\rcd", t), 2u);
    EXPECT_EQ(t, "\n\r");
    EXPECT_EQ(PosCRLF("a\r\rb", t), 1u);
    EXPECT_EQ(t, "\r");
    EXPECT_EQ(PosCRLF("a\n\nb", t), 1u);
    EXPECT_EQ(t, "\n");
    EXPECT_EQ(PosCRLF("none", t), std::string::npos);
    EXPECT_EQ(t, "");
}

TEST(NetUtilPacking, BigEndianAndMissingBytes) {
    EXPECT_EQ(CodeInt(0x1234), std::string("\x12\x34", 2));
    EXPECT_EQ(DecodeInt(std::string("\x12\x34", 2), 0), 0x1234);
    EXPECT_EQ(DecodeInt(std::string("\x12", 1), 0), 0x1200);
    EXPECT_EQ(CodeLongInt(0x01020304u), std::string("\x01\x02\x03\x04", 4));
    EXPECT_EQ(DecodeLongInt(std::string("\x00\x01\x02\x03\x04", 5), 1), 0x01020304u);
    EXPECT_EQ(DecodeLongInt(std::string("\xAA\xBB", 2), 0), 0xAABB0000u);
    EXPECT_EQ(DecodeLongInt("", 7), 0u);
    EXPECT_EQ(SwapBytes(0x11223344u), 0x44332211u);
}

TEST(NetUtilStream, WriteReadAndPosition) {
    TMemoryStream s;
    WriteStrToStream(s, "hello world");
    EXPECT_EQ(s.Position(), 11u);
    s.Seek(6);
    WriteStrToStream(s, "there!");
    EXPECT_EQ(s.Bytes(), "hello there!");
    s.Seek(0);
    EXPECT_EQ(ReadStrFromStream(s, 5), "hello");
    EXPECT_EQ(ReadStrFromStream(s, 100), " there!");
    EXPECT_EQ(ReadStrFromStream(s, 3), "");
    s.Seek(999);
    EXPECT_EQ(s.Position(), s.Size());
}

TEST(NetUtilHeaders, UnfoldJoinsContinuationLinesButNeverTheLast) {
    const std::vector<std::string> lines = {"Content-Type: text/html;", "\tcharset=utf-8", "  =x", "X-A: 1  ",
                                            " last"};
    std::size_t i = 0;
    EXPECT_EQ(UnfoldHeaderLine(lines, i), "Content-Type: text/html; charset=utf-8 =x");
    EXPECT_EQ(i, 3u);
    EXPECT_EQ(UnfoldHeaderLine(lines, i), "X-A: 1");
    EXPECT_EQ(i, 4u);
    EXPECT_EQ(UnfoldHeaderLine(lines, i), " last");
    EXPECT_EQ(i, 5u);
    EXPECT_EQ(UnfoldHeaderLine(lines, i), "");
}

TEST(NetUtilURL, DefaultsSchemesAndPorts) {
    auto u = ParseURL("example.org");
    EXPECT_EQ(u.Protocol, "http");
    EXPECT_EQ(u.Host, "example.org");
    EXPECT_EQ(u.Port, "80");
    EXPECT_EQ(u.Target, "/");
    EXPECT_EQ(u.Path, "/");
    EXPECT_EQ(u.Query, "");
    u = ParseURL("HTTPS://secure.example/");
    EXPECT_EQ(u.Protocol, "HTTPS");
    EXPECT_EQ(u.Port, "443");
    EXPECT_EQ(ParseURL("ftp://files.example/a").Port, "21");
    u = ParseURL("http://h:8080/a?b=1");
    EXPECT_EQ(u.Host, "h");
    EXPECT_EQ(u.Port, "8080");
    EXPECT_EQ(u.Target, "/a?b=1");
    EXPECT_EQ(u.Path, "/a");
    EXPECT_EQ(u.Query, "b=1");
    EXPECT_EQ(ParseURL("http:///x").Host, "localhost");
    EXPECT_EQ(ParseURL("h:").Port, "80");
}

TEST(NetUtilURL, UserInformationOnlyBeforeThePath) {
    auto u = ParseURL("http://bob:s%3Acret@h/p@q");
    EXPECT_EQ(u.User, "bob");
    EXPECT_EQ(u.Password, "s%3Acret");
    EXPECT_EQ(u.Host, "h");
    EXPECT_EQ(u.Target, "/p@q");
    u = ParseURL("http://h/p@q");
    EXPECT_EQ(u.User, "");
    EXPECT_EQ(u.Host, "h");
    u = ParseURL("alice@h");
    EXPECT_EQ(u.User, "alice");
    EXPECT_EQ(u.Password, "");
    EXPECT_EQ(u.Host, "h");
}

TEST(NetUtilURL, IPv6HostsBracketedAndBare) {
    auto u = ParseURL("http://[::1]:8080/x");
    EXPECT_EQ(u.Host, "::1");
    EXPECT_EQ(u.Port, "8080");
    EXPECT_EQ(u.Target, "/x");
    u = ParseURL("[fe80::1]");
    EXPECT_EQ(u.Host, "fe80::1");
    EXPECT_EQ(u.Port, "80");
    u = ParseURL("::1");
    EXPECT_EQ(u.Host, "::1");
    EXPECT_EQ(u.Port, "80");
    u = ParseURL("2001:db8::5/status");
    EXPECT_EQ(u.Host, "2001:db8::5");
    EXPECT_EQ(u.Port, "80");
    EXPECT_EQ(u.Target, "/status");
    u = ParseURL("cafe:8080"); // a name and a port, not an address
    EXPECT_EQ(u.Host, "cafe");
    EXPECT_EQ(u.Port, "8080");
}
