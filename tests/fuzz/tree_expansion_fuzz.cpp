// Fuzz target for the tree file tr_ex.cnfg: any bytes give at most one flag per line, and the flags
// written back read as the same flags.
#include "core/HostPage.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    const QByteArray text(reinterpret_cast<const char*>(Data), qsizetype(Size));
    const std::vector<bool> flags = ParseTreeExpansion(text);
    if (flags.size() > static_cast<size_t>(text.count('\n')) + 1)
        __builtin_trap();
    const QByteArray written = TreeExpansionText(flags);
    if (ParseTreeExpansion(written) != flags)
        __builtin_trap();
    return 0;
}
