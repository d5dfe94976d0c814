// The private X server of the end-to-end window tests, its notification area and what a program
// shows on it, read through xdotool.
#include "tests/support/XDisplay.h"

#include <algorithm>
#include <sstream>

namespace zt::test {

namespace {

// The value after "NAME=" on the lines of xdotool's --shell output.
int ShellValue(const std::string& Output, const std::string& Name) {
    std::istringstream lines(Output);
    std::string line;
    while (std::getline(lines, line))
        if (line.rfind(Name + "=", 0) == 0)
            return std::atoi(line.c_str() + Name.size() + 1);
    return 0;
}

std::string Trimmed(std::string Text) {
    while (!Text.empty() && (Text.back() == '\n' || Text.back() == ' '))
        Text.pop_back();
    return Text;
}

} // namespace

std::string XDisplay::MissingPrograms() {
    std::string missing;
    for (const char* program : {"Xvfb", "trayer", "xdotool", "xwininfo", "import", "compare"})
        if (!HaveProgram(program))
            missing += std::string(missing.empty() ? "" : " ") + program;
    return missing;
}

XDisplay::XDisplay(const std::string& Folder, const std::string& Screen)
    : folder_(Folder), server_({"sh", PeerScript("xvfb.sh"), Folder, Screen}) {
    const std::string file = Folder + "/display";
    if (WaitUntil([&] { return !Trimmed(ReadFile(file)).empty(); }, std::chrono::seconds(10)))
        display_ = ":" + Trimmed(ReadFile(file));
}

std::string XDisplay::ServerLog() const {
    return ReadFile(folder_ + "/xvfb.log");
}

std::string XDisplay::TrayLog() const {
    return ReadFile(folder_ + "/trayer.log");
}

std::string XDisplay::Run(const std::string& Command, int* Rc) const {
    return RunCommand("DISPLAY=" + display_ + " " + Command + " 2>/dev/null", Rc);
}

std::vector<std::string> XDisplay::LaunchPrefix(const std::vector<std::string>& Environment) const {
    std::vector<std::string> prefix = {"env",
                                       "-u",
                                       "DBUS_SESSION_BUS_ADDRESS",
                                       "-u",
                                       "QT_QPA_PLATFORMTHEME",
                                       "QT_QPA_PLATFORM=xcb",
                                       "DISPLAY=" + display_};
    prefix.insert(prefix.end(), Environment.begin(), Environment.end());
    return prefix;
}

bool XDisplay::StartTray() {
    // A second try when the first one ended without docking: on a machine loaded by parallel
    // sanitizer runs the tray has once failed to open the display it was handed.
    for (int attempt = 0; attempt < 2; ++attempt) {
        tray_ = PeerProcess({"env", "DISPLAY=" + display_, "sh", "-c", "exec sh \"$0\" bottom >>\"$1\" 2>&1",
                             PeerScript("trayer.sh"), folder_ + "/trayer.log"});
        const bool up = WaitUntil(
            [&] { return !tray_.running() || !Run("xdotool search --classname '^trayer$'").empty(); },
            std::chrono::seconds(20));
        if (up && tray_.running())
            return true;
        tray_.stop();
    }
    return false;
}

void XDisplay::StopTray() {
    tray_.stop();
}

std::vector<XWindow> XDisplay::ProgramWindows(pid_t Pid) const {
    std::vector<XWindow> windows;
    std::istringstream ids(Run("xdotool search --onlyvisible --pid " + std::to_string(Pid)));
    std::string id;
    while (std::getline(ids, id)) {
        if (Trimmed(id).empty())
            continue;
        XWindow w;
        w.Id = Trimmed(id);
        const std::string geometry = Run("xdotool getwindowgeometry --shell " + w.Id);
        w.X = ShellValue(geometry, "X");
        w.Y = ShellValue(geometry, "Y");
        w.Width = ShellValue(geometry, "WIDTH");
        w.Height = ShellValue(geometry, "HEIGHT");
        if (w.Width > 0)
            windows.push_back(w);
    }
    return windows;
}

std::optional<XWindow> XDisplay::TrayIcon(pid_t Pid) const {
    for (const XWindow& w : ProgramWindows(Pid))
        if (w.Width <= 24 && w.Height <= 24 && w.Width >= 16 && w.Y > 700)
            return w;
    return std::nullopt;
}

std::optional<XWindow> XDisplay::MainWindow(pid_t Pid) const {
    std::optional<XWindow> largest;
    for (const XWindow& w : ProgramWindows(Pid))
        if (w.Width >= 400 && w.Height >= 300 &&
            (!largest || w.Width * w.Height > largest->Width * largest->Height))
            largest = w;
    return largest;
}

std::optional<XWindow> XDisplay::WaitForTrayIcon(pid_t Pid, std::chrono::milliseconds Limit) const {
    std::optional<XWindow> icon;
    WaitUntil([&] { return (icon = TrayIcon(Pid)).has_value(); }, Limit);
    return icon;
}

bool XDisplay::Screenshot(const std::string& Window, const std::string& File) const {
    int rc = -1;
    Run("import -window " + Window + " '" + File + "'", &rc);
    return rc == 0;
}

std::string XDisplay::Centre(const XWindow& Window) {
    return std::to_string(Window.X + Window.Width / 2) + " " + std::to_string(Window.Y + Window.Height / 2);
}

} // namespace zt::test
