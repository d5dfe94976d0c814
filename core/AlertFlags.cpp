// The alert and sound flags shared between windows on the GUI thread.
#include "core/AlertFlags.h"

bool DownAlertVisible = false;
bool UpAlertVisible = false;
bool SoundMuted = false;
