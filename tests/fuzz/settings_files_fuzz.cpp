// Fuzz target for the Settings.cnfg, win_pos.cnfg and autostart entry readers: any bytes read
// without crashing, every number stays in its range, a read set writes back as 49 lines, and any
// program path survives the autostart entry's quoting on one line.
#include "core/SettingsFiles.h"
#include "platform/Autostart.h"

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
    AutostartEntryProgram(bytes);
    const QString program = QString::fromUtf8(bytes);
    const QByteArray entry = AutostartEntryText(program);
    if (AutostartEntryProgram(entry) != program || entry.count('\n') != 6) {
        std::abort();
    }
    return 0;
}
