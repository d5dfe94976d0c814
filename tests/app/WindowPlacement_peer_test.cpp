// The main window's place on a real X server with a window manager: activations and a restart
// leave its frame where it was, and win_pos.cnfg holds the frame's place.
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

namespace fs = std::filesystem;
namespace ztt = ::zt::test;
using namespace std::chrono_literals;
using ztt::XWindow;

namespace {

class PlacementOnXvfb : public ::testing::Test {
protected:
    void SetUp() override {
        if (const std::string missing = ztt::XDisplay::MissingPrograms(); !missing.empty())
            GTEST_SKIP() << missing << " missing";
        if (!ztt::HaveProgram("openbox") || !ztt::HaveProgram("xmessage"))
            GTEST_SKIP() << "needs openbox and xmessage";
        Program = ztt::CopyProgram(Dir.path());
        fs::create_directory(fs::path(Dir.path()) / "Data");
        ztt::WriteFile(Dir.file("Data/Settings.cnfg"), "2\r\n");
        ztt::WriteFile(Dir.file("Data/win_pos.cnfg"), "20\r\n40\r\n600\r\n960\r\n0\r\n");
        Screen = std::make_unique<ztt::XDisplay>(Dir.file("x"));
        ASSERT_TRUE(Screen->Ready()) << Screen->ServerLog();
        Manager = ztt::PeerProcess({"env", "DISPLAY=" + Screen->Name(), "openbox", "--sm-disable"});
        ASSERT_TRUE(ztt::WaitUntil(
            [&] { return X("xprop -root _NET_SUPPORTING_WM_CHECK").find("window id") != std::string::npos; },
            10s));
        Other = ztt::PeerProcess(
            {"env", "DISPLAY=" + Screen->Name(), "xmessage", "-geometry", "+700+600", "elsewhere"});
    }
    void TearDown() override {
        if (Pid > 0) {
            kill(Pid, SIGKILL);
            waitpid(Pid, nullptr, 0);
        }
    }

    std::string X(const std::string& Command) { return Screen->Run(Command); }

    XWindow Start() {
        Pid = ztt::Launch(Program, fs::path(Dir.path()) / "output.log", Screen->LaunchPrefix());
        std::optional<XWindow> main;
        EXPECT_TRUE(ztt::WaitUntil([&] { return (main = Screen->MainWindow(Pid)).has_value(); }, 30s));
        // The window manager has framed and placed it once the place holds still.
        XWindow last = main.value_or(XWindow{});
        ztt::WaitUntil(
            [&] {
                std::this_thread::sleep_for(300ms);
                const XWindow now = Screen->MainWindow(Pid).value_or(XWindow{});
                const bool still = now.X == last.X && now.Y == last.Y;
                last = now;
                return still;
            },
            10s);
        return last;
    }

    void Stop() {
        kill(Pid, SIGTERM);
        bool ended = false;
        ztt::Reap(Pid, &ended);
        Pid = -1;
        ASSERT_TRUE(ended);
    }

    ztt::TempDir Dir;
    fs::path Program;
    std::unique_ptr<ztt::XDisplay> Screen;
    ztt::PeerProcess Manager;
    ztt::PeerProcess Other;
    pid_t Pid = -1;
};

} // namespace

TEST_F(PlacementOnXvfb, TenActivationsAndARestartLeaveTheFrameWhereItWas) {
    const XWindow first = Start();
    ASSERT_EQ(first.Width, 960);
    const std::string other = X("xdotool search --onlyvisible --class Xmessage | head -1 | tr -d '\\n'");
    ASSERT_FALSE(other.empty());
    for (int i = 0; i < 10; ++i) {
        X("xdotool windowactivate --sync " + other);
        std::this_thread::sleep_for(150ms);
        X("xdotool windowactivate --sync " + first.Id);
        std::this_thread::sleep_for(150ms);
    }
    const XWindow after = Screen->MainWindow(Pid).value_or(XWindow{});
    EXPECT_EQ(after.X, first.X);
    EXPECT_EQ(after.Y, first.Y);
    // Deactivated, it saves the frame's corner it was given (the client area lies below it).
    X("xdotool windowactivate --sync " + other);
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(ztt::ReadFile(Dir.file("Data/win_pos.cnfg")), "20\r\n40\r\n600\r\n960\r\n0\r\n");
    EXPECT_GT(first.Y, 40);
    Stop();

    const XWindow restarted = Start();
    EXPECT_EQ(restarted.X, first.X);
    EXPECT_EQ(restarted.Y, first.Y);
    Stop();
}
