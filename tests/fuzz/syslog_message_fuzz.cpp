// Fuzz target for the syslog decoder: any datagram decodes, reads stay inside it, and what comes
// out keeps the decoder's promises (UTF-8 text, a short printable host name, a priority in range).
#include "net/syslogmessage.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    const char* bytes = reinterpret_cast<const char*>(Data);
    TSyslogParser parser;
    const TSyslogMessage m = parser.Parse(bytes, Size);
    if (!IsValidUtf8(m.Text.data(), m.Text.size()))
        __builtin_trap();
    if (m.Priority < -1 || m.Priority > 191)
        __builtin_trap();
    if (m.HostName.size() > parser.MaxHostNameLength)
        __builtin_trap();
    for (const char c : m.HostName)
        if (c < 33 || c > 126)
            __builtin_trap();
    // The host name is a field of the datagram itself.
    if (!m.HostName.empty() && std::string(bytes, Size).find(m.HostName) == std::string::npos)
        __builtin_trap();
    // Valid UTF-8 is kept byte for byte (less trailing NUL, CR and LF).
    if (!m.Latin1 && (m.Text.size() > Size || std::memcmp(m.Text.data(), bytes, m.Text.size()) != 0))
        __builtin_trap();
    if (m.Format == sfNone && !m.HostName.empty())
        __builtin_trap();

    // A small parser on the same bytes never reads further than its limit either.
    TSyslogParser small;
    small.MaxDatagramSize = 64;
    small.MaxHostNameLength = 8;
    const TSyslogMessage cut = small.Parse(bytes, Size);
    if (cut.HostName.size() > 8 || cut.Text.size() > 128)
        __builtin_trap();
    return 0;
}
