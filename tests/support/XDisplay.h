// A private X server (tests/peers/xvfb.sh) for end-to-end window tests and benchmarks, with an
// optional notification area (tests/peers/trayer.sh): X commands on it, the windows a program
// maps there, its docked tray icon, and screenshots. Everything it starts goes with it.
#pragma once

#include "tests/support/TestSupport.h"

#include <chrono>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace zt::test {

// One mapped window with its place on the screen.
struct XWindow {
    std::string Id;
    int X = 0, Y = 0, Width = 0, Height = 0;
};

class XDisplay {
public:
    // The programs these sessions need that are not on PATH, separated by blanks; empty when all
    // are there.
    static std::string MissingPrograms();

    // Starts the server with its files in Folder and a screen of Screen ("WIDTHxHEIGHTxDEPTH");
    // Ready() tells whether it came up.
    explicit XDisplay(const std::string& Folder, const std::string& Screen = "1024x768x24");
    XDisplay(const XDisplay&) = delete;
    XDisplay& operator=(const XDisplay&) = delete;

    bool Ready() const { return !display_.empty(); }
    // ":<n>".
    const std::string& Name() const { return display_; }
    // The server's own log, for failure messages.
    std::string ServerLog() const;

    // Runs a shell command with DISPLAY set to this server; its standard error is dropped.
    std::string Run(const std::string& Command, int* Rc = nullptr) const;

    // The words that run a program on this server's xcb platform with no session bus (so it
    // docks over XEmbed), for Launch's prefix; Environment adds "NAME=VALUE" words.
    std::vector<std::string> LaunchPrefix(const std::vector<std::string>& Environment = {}) const;

    // Starts the notification area at the bottom edge and waits until it is mapped (up to 20 s);
    // its output goes to TrayLog().
    bool StartTray();
    std::string TrayLog() const;
    void StopTray();

    // The program's mapped windows.
    std::vector<XWindow> ProgramWindows(pid_t Pid) const;
    // Its docked icon: a small square window inside the notification area at the bottom.
    std::optional<XWindow> TrayIcon(pid_t Pid) const;
    // Its main window: the largest of its windows of at least 400 x 300.
    std::optional<XWindow> MainWindow(pid_t Pid) const;
    // Waits up to Limit for the docked icon.
    std::optional<XWindow> WaitForTrayIcon(pid_t Pid, std::chrono::milliseconds Limit) const;

    // Writes a PNG of one window ("root" for the whole screen) to File; false when it failed.
    bool Screenshot(const std::string& Window, const std::string& File) const;

    // "x y" of the window's centre, for xdotool mousemove.
    static std::string Centre(const XWindow& Window);

private:
    std::string folder_;
    PeerProcess server_;
    PeerProcess tray_;
    std::string display_;
};

} // namespace zt::test
