// The real program on a private X server with a real notification area: hidden at start, a click
// on the docked icon shows the main window and a double click hides it, hovering shows the big
// hint 17 px above the pointer, the menu's last line ends the program, the icon docks again after
// the notification area restarts, and without one the main window is shown at start.
#include "tests/app/program_helpers.h"
#include "tests/support/TestSupport.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <sys/wait.h>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
namespace ztt = ::zt::test;
using namespace std::chrono_literals;
using zt::apptest::WaitUntil;

namespace {

struct TWindow {
    std::string Id;
    int X = 0, Y = 0, Width = 0, Height = 0;
};

class TrayProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* program : {"Xvfb", "trayer", "xdotool", "xwininfo"})
            if (!ztt::HaveProgram(program))
                GTEST_SKIP() << program << " is missing: install xvfb trayer xdotool x11-utils "
                             << "(scripts/install-deps.sh)";
        const fs::path built = zt::apptest::BuiltProgram();
        ASSERT_TRUE(fs::exists(built)) << built << " is not built";
        Program = fs::path(Dir.path()) / "zorvanite-tarnequill";
        fs::copy_file(built, Program);
        fs::create_directory(fs::path(Dir.path()) / "Data");
        // Not a first start, which shows the window whatever the notification area.
        ztt::WriteFile(Dir.file("Data/Settings.cnfg"), "2\r\n");
        Log = fs::path(Dir.path()) / "output.log";
        Server = ztt::PeerProcess({"sh", ztt::PeerScript("xvfb.sh"), Dir.file("x")});
        ASSERT_TRUE(WaitUntil([&] { return !ztt::ReadFile(Dir.file("x/display")).empty(); }, 10s))
            << ztt::ReadFile(Dir.file("x/xvfb.log"));
        Display = ":" + QString::fromStdString(ztt::ReadFile(Dir.file("x/display"))).trimmed().toStdString();
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

    std::string X(const std::string& Command, int* Rc = nullptr) {
        return ztt::RunCommand("DISPLAY=" + Display + " " + Command + " 2>/dev/null", Rc);
    }

    void StartTray() {
        Tray = ztt::PeerProcess({"env", "DISPLAY=" + Display, "sh", ztt::PeerScript("trayer.sh"), "bottom"});
        ASSERT_TRUE(WaitUntil([&] { return !X("xdotool search --classname '^trayer$'").empty(); }, 10s))
            << "the notification area did not come up";
    }

    void Launch() {
        Pid = zt::apptest::Launch(Program, Log,
                                  {"env", "-u", "DBUS_SESSION_BUS_ADDRESS", "-u", "QT_QPA_PLATFORMTHEME",
                                   "QT_QPA_PLATFORM=xcb", "DISPLAY=" + Display});
        ASSERT_GT(Pid, 0);
    }

    // The program's mapped windows with their places on the screen.
    std::vector<TWindow> ProgramWindows() {
        std::vector<TWindow> windows;
        const QStringList ids =
            QString::fromStdString(X("xdotool search --onlyvisible --pid " + std::to_string(Pid)))
                .split(u'\n', Qt::SkipEmptyParts);
        for (const QString& id : ids) {
            TWindow w;
            w.Id = id.trimmed().toStdString();
            const QStringList lines =
                QString::fromStdString(X("xdotool getwindowgeometry --shell " + w.Id)).split(u'\n');
            for (const QString& line : lines) {
                const QString value = line.section(u'=', 1);
                if (line.startsWith(u"X="))
                    w.X = value.toInt();
                else if (line.startsWith(u"Y="))
                    w.Y = value.toInt();
                else if (line.startsWith(u"WIDTH="))
                    w.Width = value.toInt();
                else if (line.startsWith(u"HEIGHT="))
                    w.Height = value.toInt();
            }
            if (w.Width > 0)
                windows.push_back(w);
        }
        return windows;
    }
    // The docked icon: a small square window of the program inside the notification area.
    std::optional<TWindow> Icon() {
        for (const TWindow& w : ProgramWindows())
            if (w.Width <= 24 && w.Height <= 24 && w.Width >= 16 && w.Y > 700)
                return w;
        return std::nullopt;
    }
    bool MainWindowShown() {
        for (const TWindow& w : ProgramWindows())
            if (w.Width >= 400 && w.Height >= 300)
                return true;
        return false;
    }
    std::optional<TWindow> HintWindow(const TWindow& Icon) {
        for (const TWindow& w : ProgramWindows())
            if (w.Id != Icon.Id && w.Width < 400 && w.Height < 300 && w.Width > 24)
                return w;
        return std::nullopt;
    }
    std::string At(const TWindow& W) {
        return std::to_string(W.X + W.Width / 2) + " " + std::to_string(W.Y + W.Height / 2);
    }
    TWindow WaitForIcon() {
        std::optional<TWindow> icon;
        EXPECT_TRUE(WaitUntil([&] { return (icon = Icon()).has_value(); }, 30s))
            << "the icon never docked:\n"
            << ztt::ReadFile(Log.string());
        return icon.value_or(TWindow{});
    }
    int EndWithSigterm() {
        kill(Pid, SIGTERM);
        bool ended = false;
        const int status = zt::apptest::Reap(Pid, &ended);
        Pid = -1;
        EXPECT_TRUE(ended);
        return status;
    }

    ztt::TempDir Dir;
    fs::path Program;
    fs::path Log;
    ztt::PeerProcess Server;
    ztt::PeerProcess Tray;
    std::string Display;
    pid_t Pid = -1;
};

} // namespace

TEST_F(TrayProgramTest, HiddenAtStartClickShowsDoubleClickHidesHoverHintsMenuExits) {
    StartTray();
    Launch();
    const TWindow icon = WaitForIcon();
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
    std::optional<TWindow> hint;
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
            for (const TWindow& w : ProgramWindows())
                if (w.Id != icon.Id && w.Height >= 50 && w.Height < 300)
                    return true;
            return false;
        },
        5s))
        << "no menu";
    std::this_thread::sleep_for(200ms);
    X("xdotool key Up Return");
    bool ended = false;
    const int status = zt::apptest::Reap(Pid, &ended, 20s);
    Pid = -1;
    ASSERT_TRUE(ended) << "Exit from the tray menu did not end the program";
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    const auto rows = zt::apptest::QueryRows(fs::path(Dir.path()) / "Data" / "dbm.db",
                                             "select Status from program_log order by rowid");
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.back(), "Zorvanite Tarnequill Pro has been closed");
}

TEST_F(TrayProgramTest, TheIconDocksAgainAfterTheNotificationAreaRestarts) {
    StartTray();
    Launch();
    ASSERT_GT(WaitForIcon().Width, 0);
    Tray = ztt::PeerProcess();
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
