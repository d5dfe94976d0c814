// Fuzz target for the notification settings file: any bytes decipher and parse without crashing,
// the applied line count stays within the file's lines, and the cipher round-trips the input.
#include "core/NotificationSettings.h"
#include "core/RC6.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QStringList lines = DecodeNotificationSettings(bytes);
    TNotificationSettings settings;
    const int applied = ApplyNotificationSettingsLines(lines, settings);
    if (applied < 0 || applied > NotificationSettingsLineCount || applied > lines.size()) {
        std::abort();
    }
    if (settings.Port < 1 || settings.Port > 65535) {
        std::abort();
    }
    const QByteArray key = NotificationSettingsKey();
    if (Rc6DecryptBytes(Rc6EncryptBytes(bytes, key), key) != bytes) {
        std::abort();
    }
    (void)EncodeNotificationSettings(settings);
    return 0;
}
