// Fuzz target for the URL reader and %-decoding: any text splits and decodes without reading past its
// end, the decoded text is never longer than the coded one, and the split parts keep their shape
// (a host always, a path and a target that start with "/").
#include "net/netcode.h"
#include "net/netutil.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    const std::string text(reinterpret_cast<const char*>(Data), Size);
    const std::string decoded = DecodeURL(text);
    if (decoded.size() > text.size())
        __builtin_trap();
    const TParsedURL url = ParseURL(text);
    if (url.Target.empty() || url.Target[0] != '/' || url.Path.empty() || url.Path[0] != '/')
        __builtin_trap();
    if (url.Host.empty())
        __builtin_trap();
    if (url.Target.compare(0, url.Path.size(), url.Path) != 0)
        __builtin_trap();
    (void)DecodeURL(url.User);
    (void)DecodeURL(url.Password);
    return 0;
}
