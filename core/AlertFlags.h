// Flags one window sets for another: whether the alert popups are showing, and whether alarm
// sounds are muted. GUI thread only: the dispatcher, the popups and the sound controls all run
// there (the check thread reaches the dispatcher through OnGuiThread).
#pragma once

extern bool DownAlertVisible;
extern bool UpAlertVisible;
extern bool SoundMuted;
