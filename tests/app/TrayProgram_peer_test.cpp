// The real program on a private X server with a real notification area: hidden at start, a click
// on the docked icon shows the main window and a double click hides it, hovering shows the big
// hint 17 px above the pointer, the menu's last line ends the program, the icon docks again after
// the notification area restarts, and without one the main window is shown at start.
#include "tests/support/ProgramRun.h"
#include "tests/support/TestSupport.h"
#include "tests/support/XDisplay.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <sys/wait.h>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
namespace ztt = ::zt::test;
using namespace std::chrono_literals;
using ztt::WaitUntil;
using ztt::XWindow;

namespace {

class TrayProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const std::string missing = ztt::XDisplay::MissingPrograms(); !missing.empty())
            GTEST_SKIP() << missing << " missing: install xvfb trayer xdotool x11-utils imagemagick "
                         << "(scripts/install-deps.sh)";
        ASSERT_TRUE(fs::exists(ztt::BuiltProgram())) << ztt::BuiltProgram() << " is not built";
        Program = ztt::CopyProgram(Dir.path());
        fs::create_directory(fs::path(Dir.path()) / "Data");
        // Not a first start, which shows the window whatever the notification area.
        ztt::WriteFile(Dir.file("Data/Settings.cnfg"), "2\r\n");
        Log = fs::path(Dir.path()) / "output.log";
        Screen = std::make_unique<ztt::XDisplay>(Dir.file("x"));
        ASSERT_TRUE(Screen->Ready()) << Screen->ServerLog();
    }
    void TearDown() override {
        if (Pid > 0) {
            kill(Pid, SIGKILL);
            waitpid(Pid, nullptr, 0);
        }
        const std::string log = ztt::ReadFile(Log.string());
        for (const char* bad : {"AddressSanitizer", "LeakSanitizer", "runtime error:"})
            EXPECT_EQ(log.find(bad), std::string::npos) << "found \"" << bad << "\" in:\n" << log;
    }

    std::string X(const std::string& Command) { return Screen->Run(Command); }

    void StartTray() {
        ASSERT_TRUE(Screen->StartTray()) << "the notification area did not come up:\n" << Screen->TrayLog();
    }

    void Launch() {
        Pid = ztt::Launch(Program, Log, Screen->LaunchPrefix());
        ASSERT_GT(Pid, 0);
    }

    std::vector<XWindow> ProgramWindows() { return Screen->ProgramWindows(Pid); }
    std::optional<XWindow> Icon() { return Screen->TrayIcon(Pid); }
    bool MainWindowShown() { return Screen->MainWindow(Pid).has_value(); }
    std::optional<XWindow> HintWindow(const XWindow& Icon) {
        for (const XWindow& w : ProgramWindows())
            if (w.Id != Icon.Id && w.Width < 400 && w.Height < 300 && w.Width > 24)
                return w;
        return std::nullopt;
    }
    std::string At(const XWindow& W) { return ztt::XDisplay::Centre(W); }
    XWindow WaitForIcon() {
        const std::optional<XWindow> icon = Screen->WaitForTrayIcon(Pid, 30s);
        EXPECT_TRUE(icon.has_value()) << "the icon never docked:\n" << ztt::ReadFile(Log.string());
        return icon.value_or(XWindow{});
    }
    int EndWithSigterm() {
        kill(Pid, SIGTERM);
        bool ended = false;
        const int status = ztt::Reap(Pid, &ended);
        Pid = -1;
        EXPECT_TRUE(ended);
        return status;
    }

    ztt::TempDir Dir;
    fs::path Program;
    fs::path Log;
    std::unique_ptr<ztt::XDisplay> Screen;
    pid_t Pid = -1;
};

} // namespace

TEST_F(TrayProgramTest, HiddenAtStartClickShowsDoubleClickHidesHoverHintsMenuExits) {
    StartTray();
    Launch();
    const XWindow icon = WaitForIcon();
    ASSERT_GT(icon.Width, 0);
    EXPECT_EQ(icon.Width, 22);
    EXPECT_EQ(icon.Height, 22);
    // Hidden at start, and it stays so.
    std::this_thread::sleep_for(1s);
    EXPECT_FALSE(MainWindowShown());

    X("xdotool mousemove --sync " + At(icon) + " click 1");
    EXPECT_TRUE(WaitUntil([&] { return MainWindowShown(); }, 5s)) << "a click did not show the window";
    // The pointer is still on the icon (a synchronous move to where it is would wait for nothing).
    X("xdotool click --repeat 2 --delay 80 1");
    EXPECT_TRUE(WaitUntil([&] { return !MainWindowShown(); }, 5s)) << "a double click did not hide it";

    // Hovering: the hint's bottom edge 17 px above the pointer, its right edge at the pointer.
    const int px = icon.X + icon.Width / 2 - 3;
    const int py = icon.Y + icon.Height / 2 - 2;
    X("xdotool mousemove --sync 500 300");
    std::this_thread::sleep_for(200ms);
    X("xdotool mousemove --sync " + std::to_string(px) + " " + std::to_string(py));
    std::optional<XWindow> hint;
    ASSERT_TRUE(WaitUntil([&] { return (hint = HintWindow(icon)).has_value(); }, 5s)) << "no hint";
    EXPECT_EQ(hint->Y + hint->Height, py - 17);
    EXPECT_EQ(hint->X + hint->Width, px);
    // Away from the icon the hint goes.
    X("xdotool mousemove --sync 500 300");
    EXPECT_TRUE(WaitUntil([&] { return !HintWindow(icon).has_value(); }, 2s));

    // The menu's last line (Exit) by keyboard: code 0 and the closing line in the program log.
    X("xdotool mousemove --sync " + At(icon) + " click 3");
    // The menu: three lines, taller than the one-line hint that hovering may bring.
    EXPECT_TRUE(WaitUntil(
        [&] {
            for (const XWindow& w : ProgramWindows())
                if (w.Id != icon.Id && w.Height >= 50 && w.Height < 300)
                    return true;
            return false;
        },
        5s))
        << "no menu";
    std::this_thread::sleep_for(200ms);
    X("xdotool key Up Return");
    bool ended = false;
    const int status = ztt::Reap(Pid, &ended, 20s);
    Pid = -1;
    ASSERT_TRUE(ended) << "Exit from the tray menu did not end the program";
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    const auto rows = ztt::QueryRows(fs::path(Dir.path()) / "Data" / "dbm.db",
                                     "select Status from program_log order by rowid");
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.back(), "Zorvanite Tarnequill Pro has been closed");
}

TEST_F(TrayProgramTest, TheIconDocksAgainAfterTheNotificationAreaRestarts) {
    StartTray();
    Launch();
    ASSERT_GT(WaitForIcon().Width, 0);
    Screen->StopTray();
    ASSERT_TRUE(WaitUntil([&] { return !Icon().has_value(); }, 5s)) << "the icon outlived its tray";
    StartTray();
    const auto restarted = std::chrono::steady_clock::now();
    ASSERT_TRUE(WaitUntil([&] { return Icon().has_value(); }, 2s)) << "no icon within 2 s of the restart";
    const auto took =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - restarted);
    std::printf("the icon docked again %lld ms after the tray was up\n",
                static_cast<long long>(took.count()));
    EXPECT_FALSE(MainWindowShown());
    const int status = EndWithSigterm();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST_F(TrayProgramTest, WithoutANotificationAreaTheMainWindowIsShownAtStart) {
    Launch();
    EXPECT_TRUE(WaitUntil([&] { return MainWindowShown(); }, 30s)) << ztt::ReadFile(Log.string());
    EXPECT_FALSE(Icon().has_value());
    const int status = EndWithSigterm();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}
