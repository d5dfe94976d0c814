// Fuzz target for the HTTP answer reader: arbitrary bytes, fed whole and in pieces, then a close.
#include "net/httpsend.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    if (Size == 0)
        return 0;
    // The first byte picks the request kind and the piece size, so splits across packets get covered.
    const bool head = Data[0] & 1;
    const bool proxy = Data[0] & 2;
    const std::size_t piece = 1 + (Data[0] >> 2);
    const char* bytes = reinterpret_cast<const char*>(Data + 1);
    const std::size_t size = Size - 1;

    THTTPAnswer whole;
    whole.MaxBodySize = 4096;
    whole.MaxHeaderBytes = 8192;
    whole.MaxLineLength = 1024;
    whole.Start(head, proxy, false);
    const std::size_t used = whole.Feed(bytes, size);
    if (used > size)
        __builtin_trap();
    whole.FeedClose();

    THTTPAnswer split;
    split.MaxBodySize = 4096;
    split.MaxHeaderBytes = 8192;
    split.MaxLineLength = 1024;
    split.Start(head, proxy, false);
    std::size_t splitUsed = 0;
    for (std::size_t at = 0; at < size && !split.Finished(); at += piece) {
        const std::size_t n = std::min(piece, size - at);
        splitUsed += split.Feed(bytes + at, n);
    }
    split.FeedClose();
    // Packet boundaries must not change what was read.
    if (whole.Phase() != split.Phase() || whole.ResultCode != split.ResultCode ||
        whole.Document.Bytes() != split.Document.Bytes() || whole.Headers != split.Headers)
        __builtin_trap();
    std::vector<std::string> cookies;
    ParseCookies(whole.Headers, cookies);
    return 0;
}
