// The program's globals as a fresh start has them, for the tests that build its windows.
#pragma once

#include "core/AlertFlags.h"
#include "core/LangTexts.h"
#include "core/MonitorState.h"
#include "platform/MessageBox.h"

#include <QString>

namespace zt::test {

// No message box waits for a click, no shut-down is asked for, monitoring is stopped, sound is not
// muted, and the texts are the built-in English ones.
inline void ResetProgramGlobals() {
    SetMessageBoxHandler([](const QString&, const QString&) {});
    ResetShutdownRequest();
    MonitoringActive = false;
    SoundMuted = false;
    LangTexts::UseBuiltInEnglish();
}

} // namespace zt::test
