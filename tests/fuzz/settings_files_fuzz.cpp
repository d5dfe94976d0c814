// Fuzz target for the Settings.cnfg and win_pos.cnfg readers: any bytes read without crashing,
// every number stays in its range and a read set writes back as 49 lines.
#include "core/SettingsFiles.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    TSettings values;
    ApplySettingsLines(FileTextToLines(bytes), StartupSettingsLines(), values);
    ApplySettingsLines(FileTextToLines(bytes), EarlySettingsLines(), values);
    if (!(ClampedSettings(values) == values) || SettingsFileLinesOf(values).size() != 49) {
        std::abort();
    }
    if (const auto placement = ParseWindowPlacement(bytes)) {
        if (ParseWindowPlacement(WindowPlacementText(*placement)) != placement) {
            std::abort();
        }
    }
    return 0;
}
