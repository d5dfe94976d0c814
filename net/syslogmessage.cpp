// Syslog header decoder and RFC 3164 writer. Every read is checked against the datagram's end, so
// any bytes at all give a message: at worst one without a header, whose text is the datagram.
#include "net/syslogmessage.h"

#include <algorithm>
#include <cstdio>

namespace {

const char* const MonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                    "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

bool IsDigit(char C) {
    return C >= '0' && C <= '9';
}

// The bytes of one datagram with a read position; nothing reads at or past End.
struct TReader {
    const char* Data;
    std::size_t End;
    std::size_t At = 0;

    bool AtEnd() const { return At >= End; }
    bool Take(char C) {
        if (AtEnd() || Data[At] != C)
            return false;
        ++At;
        return true;
    }
    // Exactly Count digits as a number.
    bool Number(int Count, int& Value) {
        if (End - At < static_cast<std::size_t>(Count))
            return false;
        Value = 0;
        for (int i = 0; i < Count; ++i) {
            if (!IsDigit(Data[At + i]))
                return false;
            Value = Value * 10 + (Data[At + i] - '0');
        }
        At += Count;
        return true;
    }
    // Up to MaxCount digits as a number; how many were read.
    int Digits(int MaxCount, int& Value) {
        int count = 0;
        Value = 0;
        while (!AtEnd() && IsDigit(Data[At]) && count < MaxCount) {
            Value = Value * 10 + (Data[At++] - '0');
            ++count;
        }
        return count;
    }
    // The bytes up to the next blank or the end (not consumed: the blank itself).
    std::string Token() {
        const std::size_t from = At;
        while (!AtEnd() && Data[At] != ' ')
            ++At;
        return std::string(Data + from, At - from);
    }
};

int DaysInMonth(int Year, int Month) {
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (Year % 4 == 0 && Year % 100 != 0) || Year % 400 == 0;
    return Month == 2 && leap ? 29 : days[Month - 1];
}

bool ValidTime(const TSyslogTimeStamp& T, bool LeapSecond) {
    return T.Hour <= 23 && T.Minute <= 59 && T.Second <= (LeapSecond ? 60 : 59);
}

// "<" 1*3DIGIT ">" with a value of at most 191.
bool ReadPriority(TReader& R, int& Priority) {
    if (!R.Take('<'))
        return false;
    int value = 0;
    if (R.Digits(3, value) == 0 || value > 191 || !R.Take('>'))
        return false;
    Priority = value;
    return true;
}

// hh:mm:ss
bool ReadClock(TReader& R, TSyslogTimeStamp& T) {
    return R.Number(2, T.Hour) && R.Take(':') && R.Number(2, T.Minute) && R.Take(':') &&
           R.Number(2, T.Second);
}

// "Mmm dd hh:mm:ss"; the day may be padded with a blank or a zero.
bool Read3164Stamp(TReader& R, TSyslogTimeStamp& T) {
    if (R.End - R.At < 15)
        return false;
    const std::string month(R.Data + R.At, 3);
    const auto* found = std::find(std::begin(MonthNames), std::end(MonthNames), month);
    if (found == std::end(MonthNames))
        return false;
    T.Month = static_cast<int>(found - std::begin(MonthNames)) + 1;
    R.At += 3;
    if (!R.Take(' '))
        return false;
    if (R.Take(' ')) {
        if (!R.Number(1, T.Day))
            return false;
    } else if (!R.Number(2, T.Day)) {
        return false;
    }
    if (T.Day < 1 || T.Day > DaysInMonth(2000, T.Month) || !R.Take(' ') || !ReadClock(R, T) ||
        !ValidTime(T, true))
        return false;
    T.Present = true;
    return true;
}

// FULL-DATE "T" FULL-TIME of RFC 5424, the whole of Text.
bool Read5424Stamp(const std::string& Text, TSyslogTimeStamp& T) {
    TReader r{Text.data(), Text.size()};
    if (!r.Number(4, T.Year) || !r.Take('-') || !r.Number(2, T.Month) || !r.Take('-') ||
        !r.Number(2, T.Day) || !r.Take('T') || !ReadClock(r, T))
        return false;
    if (T.Month < 1 || T.Month > 12 || T.Day < 1 || T.Day > DaysInMonth(T.Year, T.Month) ||
        !ValidTime(T, false))
        return false;
    if (r.Take('.')) {
        const int digits = r.Digits(6, T.Microsecond);
        if (digits == 0)
            return false;
        for (int i = digits; i < 6; ++i)
            T.Microsecond *= 10;
    }
    if (r.Take('Z')) {
        T.HasOffset = true;
    } else {
        const bool east = r.Take('+');
        if (!east && !r.Take('-'))
            return false;
        int hours = 0;
        int minutes = 0;
        if (!r.Number(2, hours) || !r.Take(':') || !r.Number(2, minutes) || hours > 23 || minutes > 59)
            return false;
        T.HasOffset = true;
        T.OffsetMinutes = (east ? 1 : -1) * (hours * 60 + minutes);
    }
    if (!r.AtEnd())
        return false;
    T.Present = true;
    return true;
}

bool PrintableAscii(const std::string& Text) {
    return std::all_of(Text.begin(), Text.end(), [](char C) { return C >= 33 && C <= 126; });
}

// An RFC 3164 host field: a name or an address. A word ending in ":" or holding "[" is the tag of a
// sender that wrote no host name.
bool Looks3164HostName(const std::string& Word, std::size_t MaxLength) {
    if (Word.empty() || Word.size() > MaxLength || Word.back() == ':')
        return false;
    return std::all_of(Word.begin(), Word.end(), [](char C) {
        return (C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z') || IsDigit(C) || C == '.' || C == '-' ||
               C == '_' || C == ':';
    });
}

// After the PRI: VERSION SP TIMESTAMP SP HOSTNAME (SP or end).
bool Read5424Header(TReader& R, TSyslogMessage& M, std::size_t MaxHostName) {
    if (R.AtEnd() || R.Data[R.At] < '1' || R.Data[R.At] > '9')
        return false;
    int version = 0;
    R.Digits(3, version);
    if (!R.Take(' '))
        return false;
    const std::string stamp = R.Token();
    TSyslogTimeStamp time;
    if (stamp != "-" && !Read5424Stamp(stamp, time))
        return false;
    if (!R.Take(' '))
        return false;
    const std::string host = R.Token();
    if (host.empty() || host.size() > MaxHostName || !PrintableAscii(host))
        return false;
    M.Version = version;
    M.TimeStamp = time;
    M.HostName = host == "-" ? std::string() : host;
    return true;
}

// After the PRI: TIMESTAMP [SP HOSTNAME].
bool Read3164Header(TReader& R, TSyslogMessage& M, std::size_t MaxHostName) {
    TSyslogTimeStamp time;
    if (!Read3164Stamp(R, time))
        return false;
    M.TimeStamp = time;
    if (R.Take(' ')) {
        const std::string word = R.Token();
        if (Looks3164HostName(word, MaxHostName))
            M.HostName = word;
    }
    return true;
}

// Length of the well-formed UTF-8 sequence at Data (Size bytes left), 0 when it is not one.
std::size_t Utf8SequenceLength(const unsigned char* Data, std::size_t Size) {
    const unsigned char lead = Data[0];
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0; // overlong below U+0800
        if (lead == 0xED)
            high = 0x9F; // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90; // overlong below U+10000
        if (lead == 0xF4)
            high = 0x8F; // past U+10FFFF
    } else {
        return 0;
    }
    if (Size < length || Data[1] < low || Data[1] > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (Data[i] < 0x80 || Data[i] > 0xBF)
            return 0;
    return length;
}

} // namespace

bool IsValidUtf8(const char* Data, std::size_t Size) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(Data);
    for (std::size_t at = 0; at < Size;) {
        const std::size_t length = Utf8SequenceLength(bytes + at, Size - at);
        if (length == 0)
            return false;
        at += length;
    }
    return true;
}

std::string Latin1ToUtf8(const char* Data, std::size_t Size) {
    std::string text;
    text.reserve(Size * 2);
    for (std::size_t i = 0; i < Size; ++i) {
        const auto byte = static_cast<unsigned char>(Data[i]);
        if (byte < 0x80) {
            text.push_back(static_cast<char>(byte));
            continue;
        }
        text.push_back(static_cast<char>(0xC0 | (byte >> 6)));
        text.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
    }
    return text;
}

TSyslogMessage TSyslogParser::Parse(const char* Data, std::size_t Size) const {
    TSyslogMessage message;
    if (!Data)
        Size = 0;
    if (Size > MaxDatagramSize) {
        Size = MaxDatagramSize;
        message.Truncated = true;
    }
    while (Size > 0 && (Data[Size - 1] == '\0' || Data[Size - 1] == '\r' || Data[Size - 1] == '\n'))
        --Size;

    TReader reader{Data, Size};
    int priority = -1;
    if (ReadPriority(reader, priority)) {
        message.Priority = priority;
        TReader header = reader;
        TSyslogMessage parsed = message;
        if (Read5424Header(header, parsed, MaxHostNameLength)) {
            parsed.Format = sfRfc5424;
            message = parsed;
        } else {
            header = reader;
            parsed = message;
            if (Read3164Header(header, parsed, MaxHostNameLength)) {
                parsed.Format = sfRfc3164;
                message = parsed;
            }
        }
    }

    if (Size == 0)
        return message;
    if (IsValidUtf8(Data, Size)) {
        message.Text.assign(Data, Size);
    } else {
        message.Text = Latin1ToUtf8(Data, Size);
        message.Latin1 = true;
    }
    return message;
}

std::string SyslogSenderName(const TSyslogMessage& Message, const std::string& SenderAddress) {
    return Message.HostName.empty() ? SenderAddress : Message.HostName;
}

std::string BuildSyslog3164(int Facility, int Severity, const TSyslogTimeStamp& Stamp,
                            const std::string& HostName, const std::string& Text) {
    const int priority = std::clamp(Facility, 0, 23) * 8 + std::clamp(Severity, 0, 7);
    const int month = std::clamp(Stamp.Month, 1, 12);
    char header[48];
    std::snprintf(header, sizeof header, "<%d>%s %2d %02d:%02d:%02d ", priority, MonthNames[month - 1],
                  std::clamp(Stamp.Day, 1, 31), std::clamp(Stamp.Hour, 0, 23),
                  std::clamp(Stamp.Minute, 0, 59), std::clamp(Stamp.Second, 0, 60));
    std::string datagram(header);
    if (!HostName.empty())
        datagram += HostName + ' ';
    return datagram + Text;
}
