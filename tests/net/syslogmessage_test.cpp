// Syslog decoder: the headers real senders write (RFC 3164 and 5424), broken headers, text that is
// not UTF-8, trailing line ends, size limits, and reads that stay inside the datagram.
#include "net/syslogmessage.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

using namespace std::string_literals;

TSyslogMessage Parse(const std::string& Datagram) {
    return TSyslogParser().Parse(Datagram);
}

// A copy on the heap of exactly Size bytes, so a read past the end is caught by AddressSanitizer.
TSyslogMessage ParseExact(const std::string& Bytes, std::size_t Size) {
    auto copy = std::make_unique<char[]>(Size == 0 ? 1 : Size);
    std::copy_n(Bytes.data(), Size, copy.get());
    return TSyslogParser().Parse(Size == 0 ? nullptr : copy.get(), Size);
}

void ExpectStamp(const TSyslogTimeStamp& T, int Year, int Month, int Day, int Hour, int Minute, int Second) {
    EXPECT_TRUE(T.Present);
    EXPECT_EQ(T.Year, Year);
    EXPECT_EQ(T.Month, Month);
    EXPECT_EQ(T.Day, Day);
    EXPECT_EQ(T.Hour, Hour);
    EXPECT_EQ(T.Minute, Minute);
    EXPECT_EQ(T.Second, Second);
}

} // namespace

TEST(SyslogMessage, Rfc3164HeadersAsSendersWriteThem) {
    const std::string logger = "<13>Dec  9 01:12:00 vm zt: He said \"hi\"";
    const TSyslogMessage m = Parse(logger);
    EXPECT_EQ(m.Format, sfRfc3164);
    EXPECT_EQ(m.Priority, 13);
    EXPECT_EQ(m.Facility(), 1);
    EXPECT_EQ(m.Severity(), 5);
    ExpectStamp(m.TimeStamp, 0, 12, 9, 1, 12, 0);
    EXPECT_FALSE(m.TimeStamp.HasOffset);
    EXPECT_EQ(m.HostName, "vm");
    EXPECT_EQ(m.Text, logger);
    EXPECT_FALSE(m.Latin1);

    const TSyslogMessage address = Parse("<34>Oct 11 22:14:15 10.0.0.5 su: 'su root' failed");
    EXPECT_EQ(address.HostName, "10.0.0.5");
    ExpectStamp(address.TimeStamp, 0, 10, 11, 22, 14, 15);
    EXPECT_EQ(Parse("<0>Feb 29 00:00:60 gw-1.example.org x").HostName, "gw-1.example.org");
    EXPECT_EQ(Parse("<191>Jan 01 23:59:59 fe80::1 kernel: up").HostName, "fe80::1");
    EXPECT_EQ(Parse("<191>Jan 01 23:59:59 fe80::1 kernel: up").Priority, 191);
    // A header with a time stamp and nothing after it.
    const TSyslogMessage bare = Parse("<13>Dec  9 01:12:00");
    EXPECT_EQ(bare.Format, sfRfc3164);
    EXPECT_EQ(bare.HostName, "");

    // Senders that write the tag where the host name belongs: the sender's address stands in.
    for (const char* tagged : {"<13>Dec  9 01:12:00 zt: hi", "<13>Dec  9 01:12:00 cron[123]: job",
                               "<13>Dec  9 01:12:00 ", "<13>Dec  9 01:12:00 caf\xc3\xa9 x"}) {
        const TSyslogMessage t = Parse(tagged);
        EXPECT_EQ(t.Format, sfRfc3164) << tagged;
        EXPECT_EQ(t.HostName, "") << tagged;
        EXPECT_EQ(SyslogSenderName(t, "192.0.2.7"), "192.0.2.7") << tagged;
    }
    EXPECT_EQ(SyslogSenderName(m, "192.0.2.7"), "vm");
}

TEST(SyslogMessage, Rfc5424HeadersAsSendersWriteThem) {
    const std::string logger =
        "<155>1 2026-12-09T01:12:00.197573+00:00 vm zt - M1 [timeQuality tzKnown=\"1\" "
        "isSynced=\"0\"] \xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82 \xd0\xbc\xd0\xb8\xd1\x80";
    const TSyslogMessage m = Parse(logger);
    EXPECT_EQ(m.Format, sfRfc5424);
    EXPECT_EQ(m.Priority, 155);
    EXPECT_EQ(m.Facility(), 19);
    EXPECT_EQ(m.Severity(), 3);
    EXPECT_EQ(m.Version, 1);
    ExpectStamp(m.TimeStamp, 2026, 12, 9, 1, 12, 0);
    EXPECT_EQ(m.TimeStamp.Microsecond, 197573);
    EXPECT_TRUE(m.TimeStamp.HasOffset);
    EXPECT_EQ(m.TimeStamp.OffsetMinutes, 0);
    EXPECT_EQ(m.HostName, "vm");
    EXPECT_EQ(m.Text, logger);
    EXPECT_FALSE(m.Latin1);

    const TSyslogMessage utc = Parse(
        "<34>1 2003-10-11T22:14:15.003Z mymachine.example.com su - ID47 - \xef\xbb\xbf'su root' failed");
    EXPECT_EQ(utc.HostName, "mymachine.example.com");
    EXPECT_EQ(utc.TimeStamp.Microsecond, 3000);
    EXPECT_TRUE(utc.TimeStamp.HasOffset);
    const TSyslogMessage west =
        Parse("<165>1 2003-08-24T05:14:15.000003-07:00 192.0.2.1 myproc 8710 - - %% late");
    EXPECT_EQ(west.HostName, "192.0.2.1");
    EXPECT_EQ(west.TimeStamp.Microsecond, 3);
    EXPECT_EQ(west.TimeStamp.OffsetMinutes, -420);
    EXPECT_EQ(Parse("<13>1 2024-02-29T23:59:59+05:30 leap x").TimeStamp.OffsetMinutes, 330);
    EXPECT_EQ(Parse("<13>12 2024-02-29T23:59:59Z h").Version, 12);

    // Nil values: no time stamp, no host name.
    const TSyslogMessage nil = Parse("<14>1 - - app - - - text");
    EXPECT_EQ(nil.Format, sfRfc5424);
    EXPECT_FALSE(nil.TimeStamp.Present);
    EXPECT_EQ(nil.HostName, "");
    EXPECT_EQ(SyslogSenderName(nil, "::1"), "::1");
    // The header may end right after the host name.
    EXPECT_EQ(Parse("<14>1 - host").HostName, "host");
}

TEST(SyslogMessage, BrokenHeadersGiveNoHostName) {
    const char* const broken[] = {
        "hello world",
        "<192>Dec  9 01:12:00 vm x", // priority out of range
        "<1a>Dec  9 01:12:00 vm x",
        "<>Dec  9 01:12:00 vm x",
        "<1234>Dec  9 01:12:00 vm x",
        "<13",
        "<",
        "<13>Foo  9 01:12:00 vm x",
        "<13>Dec 32 01:12:00 vm x",
        "<13>Feb 30 01:12:00 vm x",
        "<13>Dec  9 24:00:00 vm x",
        "<13>Dec  9 01:60:00 vm x",
        "<13>Dec  9 01:12",
        "<13>dec  9 01:12:00 vm x",
        "<13>Dec 9 01:12:00 vm x",
        "<13>1 2023-02-29T00:00:00Z vm x", // not a leap year
        "<13>1 2024-13-01T00:00:00Z vm x",
        "<13>1 2024-01-01T00:00:60Z vm x", // no leap seconds in RFC 5424
        "<13>1 2024-01-01T00:00:00.1234567Z vm x",
        "<13>1 2024-01-01T00:00:00. vm x",
        "<13>1 2024-01-01T00:00:00 vm x", // no offset
        "<13>1 2024-01-01T00:00:00+24:00 vm x",
        "<13>1 2024-01-01T00:00:00Zjunk vm x",
        "<13>1 2024-01-01 vm x",
        "<13>0 - vm x", // version 0
        "<13>1",
        "<13>1 -",
        "<13>1 - ",
        "<13>1000 - vm x",
    };
    for (const char* datagram : broken) {
        const TSyslogMessage m = Parse(datagram);
        EXPECT_EQ(m.HostName, "") << datagram;
        EXPECT_NE(m.Format, sfRfc5424) << datagram;
        EXPECT_EQ(m.Text, datagram);
        EXPECT_EQ(SyslogSenderName(m, "127.0.0.1"), "127.0.0.1") << datagram;
    }
    EXPECT_EQ(Parse("hello").Priority, -1);
    EXPECT_EQ(Parse("hello").Facility(), -1);
    EXPECT_EQ(Parse("<192>x").Priority, -1);
    // A valid priority stays known when the rest of the header is broken.
    EXPECT_EQ(Parse("<13>junk").Priority, 13);
    EXPECT_EQ(Parse("<13>junk").Format, sfNone);
    EXPECT_EQ(Parse("<007>Dec  9 01:12:00 vm x").Priority, 7);

    // Host names: printable ASCII of at most 255 bytes.
    const std::string longest(255, 'h');
    EXPECT_EQ(Parse("<13>1 - " + longest + " x").HostName, longest);
    EXPECT_EQ(Parse("<13>1 - " + longest + "h x").HostName, "");
    EXPECT_EQ(Parse("<13>Dec  9 01:12:00 " + longest + " x").HostName, longest);
    EXPECT_EQ(Parse("<13>Dec  9 01:12:00 " + longest + "h x").HostName, "");
    EXPECT_EQ(Parse("<13>1 - h\x7fst x").HostName, "");
}

TEST(SyslogMessage, TextIsTheWholeDatagramInUtf8) {
    // Trailing NUL, CR and LF go, in any mix; inside the text they stay.
    EXPECT_EQ(Parse("<13>Dec  9 01:12:00 vm a\r\nb\r\n\0\n\r"s).Text, "<13>Dec  9 01:12:00 vm a\r\nb");
    EXPECT_EQ(Parse("<13>Dec  9 01:12:00 vm\n").HostName, "vm");
    EXPECT_EQ(Parse("a\0b\0"s).Text, "a\0b"s);
    EXPECT_EQ(Parse("\r\n\0"s).Text, "");
    EXPECT_EQ(Parse("").Text, "");
    EXPECT_EQ(Parse("").Format, sfNone);

    // Not UTF-8: every byte is its Latin-1 character.
    const TSyslogMessage latin = Parse("<13>Dec  9 01:12:00 vm caf\xe9 \xff\x80");
    EXPECT_TRUE(latin.Latin1);
    EXPECT_EQ(latin.Text, "<13>Dec  9 01:12:00 vm caf\xc3\xa9 \xc3\xbf\xc2\x80");
    EXPECT_EQ(latin.HostName, "vm");
    for (const std::string& bad : {"\xc0\xaf"s, "\xe0\x80\xaf"s, "\xed\xa0\x80"s, "\xf4\x90\x80\x80"s,
                                   "\xf5\x80\x80\x80"s, "\xc3"s, "\xe2\x82"s, "\x80"s, "\xc3\x28"s}) {
        EXPECT_FALSE(IsValidUtf8(bad.data(), bad.size())) << bad;
        EXPECT_TRUE(Parse("<13>x " + bad).Latin1);
        EXPECT_EQ(Parse(bad).Text, Latin1ToUtf8(bad.data(), bad.size()));
    }
    for (const std::string& good : {"\xc3\xa9"s, "\xe2\x82\xac"s, "\xf0\x9f\x98\x80"s, "\xf4\x8f\xbf\xbf"s,
                                    "\xed\x9f\xbf"s, "\xef\xbb\xbf"s, "\x7f"s}) {
        EXPECT_TRUE(IsValidUtf8(good.data(), good.size())) << good;
        EXPECT_EQ(Parse(good).Text, good);
        EXPECT_FALSE(Parse(good).Latin1);
    }
    EXPECT_EQ(Latin1ToUtf8("A\xe9\x00\xff", 4), "A\xc3\xa9\0\xc3\xbf"s);
}

TEST(SyslogMessage, LargestDatagramsAreKeptWholeAndLongerOnesCut) {
    for (const std::size_t size : {std::size_t(65507), std::size_t(65527)}) {
        std::string datagram = "<13>Dec  9 01:12:00 vm big: ";
        datagram.resize(size, 'x');
        const TSyslogMessage m = ParseExact(datagram, datagram.size());
        EXPECT_EQ(m.Text.size(), size);
        EXPECT_EQ(m.Text, datagram);
        EXPECT_FALSE(m.Truncated);
        EXPECT_EQ(m.HostName, "vm");
    }
    const std::string longer(70000, '\xe9');
    const TSyslogMessage cut = Parse(longer);
    EXPECT_TRUE(cut.Truncated);
    EXPECT_EQ(cut.Text.size(), 2 * std::size_t(65527));

    TSyslogParser small;
    small.MaxDatagramSize = 8;
    EXPECT_EQ(small.Parse("0123456789", 10).Text, "01234567");
    EXPECT_TRUE(small.Parse("0123456789", 10).Truncated);
    TSyslogParser shortNames;
    shortNames.MaxHostNameLength = 2;
    EXPECT_EQ(shortNames.Parse("<13>1 - vm x").HostName, "vm");
    EXPECT_EQ(shortNames.Parse("<13>1 - vmx x").HostName, "");
}

TEST(SyslogMessage, EveryPrefixIsReadInsideItsBytes) {
    const std::string samples[] = {
        "<155>1 2026-12-09T01:12:00.197573+00:00 vm zt - M1 [x] \xd0\x9f",
        "<13>Dec  9 01:12:00 vm zt: He said \"hi\"\r\n",
        "<13>1 2024-01-01T00:00:00.1-01:30 h",
        "<7>Jan  1 00:00:00 h\xe9",
    };
    for (const std::string& sample : samples) {
        for (std::size_t size = 0; size <= sample.size(); ++size) {
            const TSyslogMessage m = ParseExact(sample, size);
            if (!m.HostName.empty()) {
                EXPECT_NE(sample.substr(0, size).find(" " + m.HostName), std::string::npos) << size;
            }
            EXPECT_LE(m.Text.size(), 2 * size);
        }
    }
}

TEST(SyslogMessage, Rfc3164DatagramOfTheTestSender) {
    TSyslogTimeStamp stamp;
    stamp.Month = 12;
    stamp.Day = 9;
    stamp.Hour = 1;
    stamp.Minute = 2;
    stamp.Second = 3;
    EXPECT_EQ(BuildSyslog3164(1, 7, stamp, "vm", "hello world"), "<15>Dec  9 01:02:03 vm hello world");
    stamp.Month = 1;
    stamp.Day = 31;
    EXPECT_EQ(BuildSyslog3164(23, 0, stamp, "", "x"), "<184>Jan 31 01:02:03 x");
    const TSyslogMessage back = Parse(BuildSyslog3164(1, 7, stamp, "gw.example.org", "hello world"));
    EXPECT_EQ(back.Priority, 15);
    EXPECT_EQ(back.HostName, "gw.example.org");
    ExpectStamp(back.TimeStamp, 0, 1, 31, 1, 2, 3);
}
