// Syslog datagrams: a bounded decoder of the RFC 3164 and RFC 5424 headers (priority, time stamp,
// host name) that never reads past the datagram, and the RFC 3164 datagram the test sender writes.
#pragma once

#include <cstddef>
#include <string>

enum TSyslogFormat { sfNone, sfRfc3164, sfRfc5424 };

// The header's time stamp as written; RFC 3164 gives no year and no offset.
struct TSyslogTimeStamp {
    bool Present = false;
    int Year = 0;
    int Month = 0;
    int Day = 0;
    int Hour = 0;
    int Minute = 0;
    int Second = 0;
    int Microsecond = 0;
    bool HasOffset = false;
    int OffsetMinutes = 0; // east of UTC; 0 with "Z"
};

struct TSyslogMessage {
    // sfNone: no header was recognised (no valid PRI, or a header that breaks its format).
    TSyslogFormat Format = sfNone;
    // 0 to 191; -1 without a valid PRI.
    int Priority = -1;
    int Facility() const { return Priority < 0 ? -1 : Priority / 8; }
    int Severity() const { return Priority < 0 ? -1 : Priority % 8; }
    int Version = 0; // RFC 5424 only
    TSyslogTimeStamp TimeStamp;
    // The header's host-name field; empty when the header has none (or the RFC 5424 nil value).
    std::string HostName;
    // The whole datagram as UTF-8 (priority and header included), without trailing NUL, CR and LF.
    std::string Text;
    // The datagram was not valid UTF-8 and was read byte for byte as Latin-1.
    bool Latin1 = false;
    // The datagram was longer than MaxDatagramSize and was cut there.
    bool Truncated = false;
};

// Decodes one datagram. Holds only limits, so one parser may serve any number of threads.
class TSyslogParser {
public:
    // The largest UDP payload over IPv6 without jumbograms; an IPv4 datagram holds at most 65,507.
    std::size_t MaxDatagramSize = 65527;
    std::size_t MaxHostNameLength = 255;

    TSyslogMessage Parse(const char* Data, std::size_t Size) const;
    TSyslogMessage Parse(const std::string& Datagram) const {
        return Parse(Datagram.data(), Datagram.size());
    }
};

// What the syslog table's IP column holds: the header's host name, or the sender's address when the
// header has none.
std::string SyslogSenderName(const TSyslogMessage& Message, const std::string& SenderAddress);

// True for text that is well-formed UTF-8 (no overlong forms, no surrogates, nothing past U+10FFFF).
bool IsValidUtf8(const char* Data, std::size_t Size);
// Each byte as the code point of the same number, in UTF-8.
std::string Latin1ToUtf8(const char* Data, std::size_t Size);

// "<PRI>Mmm dd hh:mm:ss HOST TEXT" with PRI = Facility * 8 + Severity and the time stamp of Stamp
// (month, day and time; a day below 10 is padded with a blank). An empty host name is left out.
std::string BuildSyslog3164(int Facility, int Severity, const TSyslogTimeStamp& Stamp,
                            const std::string& HostName, const std::string& Text);
