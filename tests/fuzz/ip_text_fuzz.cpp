// Fuzz target for the IPv4 and IPv6 text routines: any text is judged and converted without reading
// past its end; a text taken for IPv6 survives the trip to bytes, to its shortest form and back, and
// every expansion has eight groups.
#include "net/netip.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    const std::string text(reinterpret_cast<const char*>(Data), Size);
    const bool v4 = IsIP(text);
    const std::string id = IPToID(text);
    if (id.size() != 4)
        __builtin_trap();
    if (v4 && !IsIP(IPv4ToText(static_cast<uint32_t>(static_cast<uint8_t>(id[0])) << 24 |
                               static_cast<uint32_t>(static_cast<uint8_t>(id[1])) << 16 |
                               static_cast<uint32_t>(static_cast<uint8_t>(id[2])) << 8 |
                               static_cast<uint32_t>(static_cast<uint8_t>(id[3])))))
        __builtin_trap();
    const TIp6Bytes bytes = StrToIp6(text);
    if (ExpandIP6(text).size() != 39)
        __builtin_trap();
    const std::string shortest = Ip6ToStr(bytes);
    if (!IsIP6(shortest) || StrToIp6(shortest) != bytes)
        __builtin_trap();
    if (IsIP6(text) && text.find('%') == std::string::npos && StrToIp6(ExpandIP6(text)) != bytes)
        __builtin_trap();
    return 0;
}
