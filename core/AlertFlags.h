// Flags one window sets for another: whether the alert popups are showing, and whether alarm
// sounds are muted. Read by the check thread, so they are atomic.
#pragma once

#include <atomic>

extern std::atomic<bool> DownAlertVisible;
extern std::atomic<bool> UpAlertVisible;
extern std::atomic<bool> SoundMuted;
