// The alert and sound flags shared between windows and the check thread.
#include "core/AlertFlags.h"

std::atomic<bool> DownAlertVisible{false};
std::atomic<bool> UpAlertVisible{false};
std::atomic<bool> SoundMuted{false};
