// IP address text tests and conversions between address text and bytes.
#include "net/netip.h"

#include "net/netutil.h"

#include <cstdio>
#include <vector>

namespace {

std::vector<std::string> Split(const std::string& Text, char Delimiter) {
    std::vector<std::string> parts;
    std::size_t from = 0;
    for (;;) {
        const auto at = Text.find(Delimiter, from);
        parts.push_back(Text.substr(from, at == std::string::npos ? std::string::npos : at - from));
        if (at == std::string::npos)
            return parts;
        from = at + 1;
    }
}

// One to four hexadecimal digits; -1 otherwise.
int HexGroup(const std::string& Text) {
    if (Text.empty() || Text.size() > 4)
        return -1;
    int value = 0;
    for (char c : Text) {
        const int d = HexDigitValue(c);
        if (d < 0)
            return -1;
        value = value * 16 + d;
    }
    return value;
}

// The groups of an IPv6 text with "::" expanded; false when the text is not an IPv6 address.
bool ParseIp6Groups(const std::string& Text, std::vector<int>& Groups) {
    Groups.clear();
    std::string body = Text;
    const auto percent = body.find('%');
    if (percent != std::string::npos) {
        if (HexGroup(body.substr(percent + 1)) < 0)
            return false;
        body = body.substr(0, percent);
    }
    if (body == "::") {
        Groups.assign(8, 0);
        return true;
    }
    const auto gap = body.find("::");
    if (gap != std::string::npos && body.find("::", gap + 1) != std::string::npos)
        return false;
    auto parseSide = [](const std::string& side, std::vector<int>& out) {
        if (side.empty())
            return true;
        for (const auto& part : Split(side, ':')) {
            const int v = HexGroup(part);
            if (v < 0)
                return false;
            out.push_back(v);
        }
        return true;
    };
    if (gap == std::string::npos) {
        if (!parseSide(body, Groups) || body.empty())
            return false;
        return Groups.size() == 8;
    }
    std::vector<int> tail;
    if (!parseSide(body.substr(0, gap), Groups) || !parseSide(body.substr(gap + 2), tail))
        return false;
    if (Groups.size() + tail.size() > 7)
        return false;
    Groups.resize(8 - tail.size(), 0);
    Groups.insert(Groups.end(), tail.begin(), tail.end());
    return true;
}

} // namespace

bool IsIP(const std::string& Text) {
    const auto parts = Split(Text, '.');
    if (parts.size() != 4)
        return false;
    for (const auto& raw : parts) {
        const std::string part = TrimSpace(raw);
        if (part.empty() || part.size() > 3)
            return false;
        int value = 0;
        for (char c : part) {
            if (c < '0' || c > '9')
                return false;
            value = value * 10 + (c - '0');
        }
        if (value > 255)
            return false;
    }
    return true;
}

bool IsIP6(const std::string& Text) {
    std::vector<int> groups;
    return ParseIp6Groups(Text, groups);
}

std::string IPToID(const std::string& Text) {
    std::string out;
    std::string rest = Text;
    for (int i = 0; i < 4; ++i) {
        const std::string part = TrimSpace(SeparateLeft(rest, "."));
        rest = rest.find('.') == std::string::npos ? std::string() : SeparateRight(rest, ".");
        unsigned value = 0;
        for (char c : part) {
            if (c < '0' || c > '9') {
                value = 0;
                break;
            }
            value = (value * 10 + static_cast<unsigned>(c - '0')) & 0xFFFFu;
        }
        out += static_cast<char>(value & 0xFF);
    }
    return out;
}

std::string IPv4ToText(uint32_t Value) {
    return std::to_string(Value >> 24) + "." + std::to_string((Value >> 16) & 0xFF) + "." +
           std::to_string((Value >> 8) & 0xFF) + "." + std::to_string(Value & 0xFF);
}

TIp6Bytes StrToIp6(const std::string& Text) {
    TIp6Bytes out{};
    std::vector<int> groups;
    if (!ParseIp6Groups(Text, groups))
        return out;
    for (std::size_t i = 0; i < 8; ++i) {
        out[2 * i] = static_cast<uint8_t>(groups[i] >> 8);
        out[2 * i + 1] = static_cast<uint8_t>(groups[i] & 0xFF);
    }
    return out;
}

std::string ExpandIP6(const std::string& Text) {
    const TIp6Bytes bytes = StrToIp6(Text);
    std::string out;
    char buf[8];
    for (std::size_t i = 0; i < 8; ++i) {
        std::snprintf(buf, sizeof buf, "%04x", bytes[2 * i] << 8 | bytes[2 * i + 1]);
        if (i > 0)
            out += ':';
        out += buf;
    }
    return out;
}

std::string Ip6ToStr(const TIp6Bytes& Value) {
    int groups[8];
    for (int i = 0; i < 8; ++i)
        groups[i] = Value[2 * i] << 8 | Value[2 * i + 1];
    int bestStart = -1, bestLen = 0;
    for (int i = 0; i < 8;) {
        if (groups[i] != 0) {
            ++i;
            continue;
        }
        int j = i;
        while (j < 8 && groups[j] == 0)
            ++j;
        if (j - i > bestLen) {
            bestStart = i;
            bestLen = j - i;
        }
        i = j;
    }
    std::string out;
    char buf[8];
    for (int i = 0; i < 8; ++i) {
        if (i == bestStart) {
            out += "::";
            i += bestLen - 1;
            continue;
        }
        if (!out.empty() && out.back() != ':')
            out += ':';
        std::snprintf(buf, sizeof buf, "%x", groups[i]);
        out += buf;
    }
    return out;
}
