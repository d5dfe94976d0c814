// Small routines shared by the socket layer and the protocol clients (tick, text, packing, streams, URLs).
#include "net/netutil.h"

#include "net/netip.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

uint32_t GetTick() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

uint32_t TickDelta(uint32_t Old, uint32_t New) {
    if (New >= Old)
        return New - Old;
    // A small step back counts as its size; a large one means the counter wrapped.
    if (Old - New < 0x80000000u)
        return Old - New;
    return New - Old; // modulo 2^32
}

void SleepMs(uint32_t Milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(Milliseconds));
}

std::string SeparateLeft(const std::string& Value, const std::string& Delimiter) {
    const auto at = Delimiter.empty() ? std::string::npos : Value.find(Delimiter);
    return at == std::string::npos ? Value : Value.substr(0, at);
}

std::string SeparateRight(const std::string& Value, const std::string& Delimiter) {
    const auto at = Delimiter.empty() ? std::string::npos : Value.find(Delimiter);
    return at == std::string::npos ? Value : Value.substr(at + Delimiter.size());
}

std::string FetchPart(std::string& Value, const std::string& Delimiter) {
    const auto at = Delimiter.empty() ? std::string::npos : Value.find(Delimiter);
    std::string head;
    if (at == std::string::npos) {
        head = Value;
        Value.clear();
    } else {
        head = Value.substr(0, at);
        Value = TrimSpace(Value.substr(at + Delimiter.size()));
    }
    return TrimSpace(head);
}

std::string TrimSpaceLeft(const std::string& Value) {
    const auto first = Value.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : Value.substr(first);
}

std::string TrimSpaceRight(const std::string& Value) {
    const auto last = Value.find_last_not_of(' ');
    return last == std::string::npos ? std::string() : Value.substr(0, last + 1);
}

std::string TrimSpace(const std::string& Value) {
    return TrimSpaceLeft(TrimSpaceRight(Value));
}

std::string ReplaceString(const std::string& Value, const std::string& Search,
                          const std::string& Replacement) {
    if (Search.empty())
        return Value;
    std::string out;
    out.reserve(Value.size());
    std::size_t from = 0;
    for (;;) {
        const auto at = Value.find(Search, from);
        if (at == std::string::npos)
            break;
        out.append(Value, from, at - from);
        out += Replacement;
        from = at + Search.size();
    }
    out.append(Value, from, std::string::npos);
    return out;
}

std::size_t PosCRLF(const std::string& Value, std::string& Terminator) {
    Terminator.clear();
    const auto at = Value.find_first_of("\r\n");
    if (at == std::string::npos)
        return at;
    Terminator = Value.substr(at, 1);
    if (at + 1 < Value.size() && (Value[at + 1] == '\r' || Value[at + 1] == '\n') &&
        Value[at + 1] != Value[at])
        Terminator += Value[at + 1];
    return at;
}

std::size_t CountOfChar(const std::string& Value, char Char) {
    std::size_t n = 0;
    for (char c : Value)
        n += c == Char ? 1 : 0;
    return n;
}

std::string UpperCase(const std::string& Value) {
    std::string out = Value;
    for (char& c : out)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return out;
}

bool StartsText(const std::string& Prefix, const std::string& Value) {
    if (Value.size() < Prefix.size())
        return false;
    return UpperCase(Value.substr(0, Prefix.size())) == UpperCase(Prefix);
}

namespace {

uint8_t ByteAt(const std::string& Value, std::size_t Index) {
    return Index < Value.size() ? static_cast<uint8_t>(Value[Index]) : 0;
}

} // namespace

std::string CodeInt(uint16_t Value) {
    return {static_cast<char>(Value >> 8), static_cast<char>(Value & 0xFF)};
}

uint16_t DecodeInt(const std::string& Value, std::size_t Index) {
    return static_cast<uint16_t>(ByteAt(Value, Index) << 8 | ByteAt(Value, Index + 1));
}

std::string CodeLongInt(uint32_t Value) {
    return {static_cast<char>(Value >> 24), static_cast<char>((Value >> 16) & 0xFF),
            static_cast<char>((Value >> 8) & 0xFF), static_cast<char>(Value & 0xFF)};
}

uint32_t DecodeLongInt(const std::string& Value, std::size_t Index) {
    return static_cast<uint32_t>(ByteAt(Value, Index)) << 24 |
           static_cast<uint32_t>(ByteAt(Value, Index + 1)) << 16 |
           static_cast<uint32_t>(ByteAt(Value, Index + 2)) << 8 | ByteAt(Value, Index + 3);
}

uint32_t SwapBytes(uint32_t Value) {
    return (Value >> 24) | ((Value >> 8) & 0xFF00u) | ((Value << 8) & 0xFF0000u) | (Value << 24);
}

void TMemoryStream::Write(const char* Buffer, std::size_t Count) {
    if (Count == 0)
        return;
    const std::size_t overlap = std::min(Count, Data.size() - Pos);
    Data.replace(Pos, overlap, Buffer, Count);
    Pos += Count;
}

std::size_t TMemoryStream::Read(char* Buffer, std::size_t Count) {
    const std::size_t n = std::min(Count, Data.size() - Pos);
    if (n > 0)
        std::memcpy(Buffer, Data.data() + Pos, n);
    Pos += n;
    return n;
}

void WriteStrToStream(TMemoryStream& Stream, const std::string& Value) {
    Stream.Write(Value);
}

std::string ReadStrFromStream(TMemoryStream& Stream, std::size_t Count) {
    std::string out(std::min(Count, Stream.Size() - Stream.Position()), '\0');
    out.resize(Stream.Read(out.data(), out.size()));
    return out;
}

std::string UnfoldHeaderLine(const std::vector<std::string>& Lines, std::size_t& Index) {
    if (Index >= Lines.size()) {
        Index = Lines.size();
        return {};
    }
    std::string result = Lines[Index++];
    while (Index + 1 < Lines.size()) { // the last line of the list is never a continuation
        std::string next = ReplaceString(Lines[Index], "\t", " ");
        if (next.empty() || (next[0] != ' ' && next[0] != '"' && next[0] != ':' && next[0] != '='))
            break;
        result += ' ';
        result += TrimSpace(next);
        ++Index;
    }
    return TrimSpaceRight(result);
}

TParsedURL ParseURL(const std::string& URL) {
    TParsedURL u;
    std::string rest = URL;
    const auto scheme = URL.find("://");
    if (scheme != std::string::npos) {
        u.Protocol = URL.substr(0, scheme);
        rest = URL.substr(scheme + 3);
    }
    const std::string proto = UpperCase(u.Protocol);
    if (proto == "HTTPS")
        u.Port = "443";
    else if (proto == "FTP")
        u.Port = "21";

    const auto slash = rest.find('/');
    const auto at = rest.find('@');
    if (at != std::string::npos && (slash == std::string::npos || at < slash)) {
        const std::string userInfo = rest.substr(0, at);
        rest = rest.substr(at + 1);
        u.User = SeparateLeft(userInfo, ":");
        if (userInfo.find(':') != std::string::npos)
            u.Password = SeparateRight(userInfo, ":");
    }

    const auto hostEnd = rest.find('/');
    std::string hostPart = rest.substr(0, hostEnd);
    const std::string pathPart = hostEnd == std::string::npos ? std::string() : rest.substr(hostEnd + 1);

    std::string portText;
    if (!hostPart.empty() && hostPart[0] == '[') {
        const auto close = hostPart.find(']');
        u.Host = hostPart.substr(1, close == std::string::npos ? std::string::npos : close - 1);
        if (close != std::string::npos && close + 1 < hostPart.size() && hostPart[close + 1] == ':')
            portText = hostPart.substr(close + 2);
    } else if (IsIP6(hostPart)) {
        // An unbracketed IPv6 literal has no room for a port; its colons are part of the address.
        u.Host = hostPart;
    } else {
        u.Host = SeparateLeft(hostPart, ":");
        if (hostPart.find(':') != std::string::npos)
            portText = SeparateRight(hostPart, ":");
    }
    if (!portText.empty())
        u.Port = portText;

    u.Target = "/" + pathPart;
    const auto question = pathPart.find('?');
    if (question != std::string::npos) {
        u.Path = "/" + pathPart.substr(0, question);
        u.Query = pathPart.substr(question + 1);
    } else {
        u.Path = u.Target;
    }
    if (u.Host.empty())
        u.Host = "localhost";
    return u;
}

int HexDigitValue(char C) {
    if (C >= '0' && C <= '9')
        return C - '0';
    if (C >= 'a' && C <= 'f')
        return C - 'a' + 10;
    if (C >= 'A' && C <= 'F')
        return C - 'A' + 10;
    return -1;
}

uint64_t LeadingDigitsValue(const std::string& Text) {
    uint64_t V = 0;
    for (char C : Text) {
        if (C < '0' || C > '9')
            break;
        V = V * 10 + static_cast<uint64_t>(C - '0');
    }
    return V;
}
