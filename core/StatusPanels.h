// The main window's status bar panels by name, and the text colours the monitor writes into them.
#pragma once

enum class TStatusPanel : int {
    Spacer = 0,          // width 1, carries nothing
    SoundState = 1,      // sounds on or muted
    MonitoringState = 2, // monitoring on or off
    OkCount = 3,         // hosts OK
    DownCount = 4,       // hosts down
    DisabledCount = 5,   // hosts disabled
    Progress = 6,        // check progress and the countdown to the next pass
};
inline constexpr int StatusPanelCount = 7;

// Panel text colours (blue-green-red values, as the system stores colours).
inline constexpr int PanelColourBlack = 0;
inline constexpr int PanelColourRed = 255;
inline constexpr int PanelColourGreen = 0x8000;
