// IP address text tests and conversions between address text and bytes, for IPv4 and IPv6.
#pragma once

#include <array>
#include <cstdint>
#include <string>

using TIp6Bytes = std::array<uint8_t, 16>;

// Four dot-separated decimal parts of 0..255 (spaces around a part are allowed).
bool IsIP(const std::string& Text);
// "::", or hexadecimal groups of 0..FFFF separated by ":" (eight of them, or at most seven with one "::"),
// the last optionally followed by "%" and a hexadecimal zone of 0..FFFF.
bool IsIP6(const std::string& Text);

// Four bytes, each the decimal number of the next dot-separated part (missing or unreadable: 0).
std::string IPToID(const std::string& Text);
// Dotted text of a 32-bit value, most significant byte first.
std::string IPv4ToText(uint32_t Value);

// IPv6 text to 16 bytes; "::" expands to the missing zero groups; invalid text gives all zeros.
TIp6Bytes StrToIp6(const std::string& Text);
// The eight groups of an IPv6 text written out in full lower-case hexadecimal ("0000:...:0001");
// invalid text gives all zero groups.
std::string ExpandIP6(const std::string& Text);
// Shortest text of 16 bytes: leading zeros dropped, the longest run of zero groups written as "::".
std::string Ip6ToStr(const TIp6Bytes& Value);
