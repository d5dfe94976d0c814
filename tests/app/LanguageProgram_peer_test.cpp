// The real program in the system's language on a private X server: a first start under a German
// locale shows the window and saves "German"; later starts in a notification area stay hidden, come
// back where the first run left the window, and end by the tray menu or SIGTERM with the closing
// line in German; a language name changed between runs takes effect. Screenshots go to the build
// folder for review.
#include "tests/support/ProgramRun.h"
#include "tests/support/TestSupport.h"
#include "tests/support/XDisplay.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
namespace ztt = ::zt::test;
using namespace std::chrono_literals;
using ztt::WaitUntil;
using ztt::XWindow;

namespace {

std::vector<std::string> FileLines(const fs::path& File) {
    std::ifstream in(File);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

void WriteLines(const fs::path& File, const std::vector<std::string>& Lines) {
    std::string text;
    for (const std::string& line : Lines)
        text += line + "\r\n";
    ztt::WriteFile(File.string(), text);
}

// Where the screenshots are kept for review: ZT_SCREENSHOT_DIR, else the build folder.
fs::path ScreenshotFolder() {
    const char* chosen = std::getenv("ZT_SCREENSHOT_DIR");
    const fs::path folder =
        chosen && *chosen ? fs::path(chosen) : ztt::BuiltProgram().parent_path() / "screenshots";
    fs::create_directories(folder / "language-program");
    return folder / "language-program";
}

class LanguageProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const std::string missing = ztt::XDisplay::MissingPrograms(); !missing.empty())
            GTEST_SKIP() << missing << " missing: install xvfb trayer xdotool x11-utils imagemagick "
                         << "(scripts/install-deps.sh)";
        ASSERT_TRUE(fs::exists(ztt::BuiltProgram())) << ztt::BuiltProgram() << " is not built";
        Program = ztt::CopyProgram(Dir.path());
        Data = ztt::CopyShippedData(Dir.path());
        ASSERT_EQ(FileLines(Data / "lang_files" / "German").size(), 409u);
        // Room for the whole main window at its default size.
        Screen = std::make_unique<ztt::XDisplay>(Dir.file("x"), "1280x1024x24");
        ASSERT_TRUE(Screen->Ready()) << Screen->ServerLog();
    }
    void TearDown() override {
        if (Pid > 0) {
            kill(Pid, SIGKILL);
            waitpid(Pid, nullptr, 0);
        }
        for (const std::string& log : Logs) {
            const std::string text = ztt::ReadFile(log);
            for (const char* bad : {"AddressSanitizer", "LeakSanitizer", "runtime error:"})
                EXPECT_EQ(text.find(bad), std::string::npos) << "found \"" << bad << "\" in:\n" << text;
        }
    }

    // Starts the program under the given locale; each run writes its own log.
    void Launch(const std::string& Lang = "de_DE.UTF-8") {
        Logs.push_back(Dir.file("run" + std::to_string(Logs.size() + 1) + ".log"));
        Pid = ztt::Launch(Program, Logs.back(), Screen->LaunchPrefix({"LANG=" + Lang}));
        ASSERT_GT(Pid, 0);
    }
    std::string Output() const { return Logs.empty() ? std::string() : ztt::ReadFile(Logs.back()); }

    std::optional<XWindow> WaitForMainWindow() {
        std::optional<XWindow> window;
        WaitUntil([&] { return (window = Screen->MainWindow(Pid)).has_value(); }, 30s);
        return window;
    }
    // A pop-up menu: a window of the program beside the given one, narrower than the main window.
    bool MenuShown(const XWindow& Except) {
        for (const XWindow& w : Screen->ProgramWindows(Pid))
            if (w.Id != Except.Id && w.Width > 24 && w.Height >= 20 && w.Height < 300)
                return true;
        return false;
    }

    void Screenshot(const std::string& Window, const std::string& Name) {
        const fs::path file = ScreenshotFolder() / Name;
        EXPECT_TRUE(Screen->Screenshot(Window, file.string())) << "no screenshot " << file;
        std::printf("screenshot: %s\n", file.c_str());
    }

    // Ends the run and expects exit code 0.
    void ExpectEndsWithCodeZero(std::chrono::milliseconds Limit = 30s) {
        bool ended = false;
        const int status = ztt::Reap(Pid, &ended, Limit);
        Pid = -1;
        ASSERT_TRUE(ended) << "the program did not end:\n" << Output();
        EXPECT_TRUE(WIFEXITED(status)) << "wait status " << status;
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }

    // File > Exit with the mouse and the keyboard, as the operator would.
    void ExitByFileMenu(const XWindow& Window) {
        Screen->Run("xdotool mousemove --sync " + std::to_string(Window.X + 18) + " " +
                    std::to_string(Window.Y + 9) + " click 1");
        ASSERT_TRUE(WaitUntil([&] { return MenuShown(Window); }, 5s)) << "the File menu did not open";
        std::this_thread::sleep_for(200ms);
        Screen->Run("xdotool key Down Return");
        ExpectEndsWithCodeZero();
    }

    // The first start: empty Data folder, German locale, no notification area. The window shows
    // at once; it is moved and resized so the saved placement is the first run's own, then Exit.
    // Shot, when given, names a screenshot of the window as it first shows.
    void FirstRun(const std::string& Shot = "") {
        Launch();
        const std::optional<XWindow> window = WaitForMainWindow();
        ASSERT_TRUE(window.has_value()) << "the first start did not show the window:\n"
                                        << Output() << "X server " << Screen->Name() << ":\n"
                                        << Screen->ServerLog();
        if (!Shot.empty()) {
            std::this_thread::sleep_for(300ms);
            Screenshot(window->Id, Shot);
        }
        // Larger than the window's least size in every language, so it keeps exactly this place.
        Screen->Run("xdotool windowsize --sync " + window->Id + " 1150 700 windowmove --sync " + window->Id +
                    " 37 29");
        std::optional<XWindow> moved;
        ASSERT_TRUE(WaitUntil(
            [&] {
                moved = Screen->MainWindow(Pid);
                return moved && moved->X == 37 && moved->Y == 29 && moved->Width == 1150 &&
                       moved->Height == 700;
            },
            5s))
            << "the window was not moved";
        std::this_thread::sleep_for(200ms);
        ExitByFileMenu(*moved);
    }

    // A start without a notification area after line 47 was set to Language: the window shows
    // (Shot is its screenshot) and File > Exit ends it.
    void RunWithLanguage(const std::string& Language, const std::string& Shot) {
        std::vector<std::string> settings = FileLines(Data / "Settings.cnfg");
        ASSERT_EQ(settings.size(), 49u);
        settings[47] = Language;
        WriteLines(Data / "Settings.cnfg", settings);
        Launch();
        const std::optional<XWindow> window = WaitForMainWindow();
        ASSERT_TRUE(window.has_value()) << "without a notification area the window shows:\n" << Output();
        std::this_thread::sleep_for(300ms);
        Screenshot(window->Id, Shot);
        ExitByFileMenu(*window);
    }

    // Whether the menu bar and the page tabs of two window screenshots differ.
    static bool CaptionsDiffer(const std::string& A, const std::string& B) {
        int rc = -1;
        const std::string strip = "[420x46+0+0]";
        ztt::RunCommand("compare -metric AE '" + (ScreenshotFolder() / A).string() + strip + "' '" +
                            (ScreenshotFolder() / B).string() + strip + "' null: 2>/dev/null",
                        &rc);
        return rc == 1;
    }

    // Groups for the tree, so its expansion file has lines to write.
    void AddGroups() {
        ztt::RunCommand("sqlite3 '" + (Data / "dbm.db").string() +
                        "' \"insert into list_group (Name,N_group,parent_id) values "
                        "('Office',1,''),('Printers',2,'1'),('Servers',3,'')\"");
        ASSERT_EQ(ztt::QueryRows(Data / "dbm.db", "select count(*) from list_group"),
                  std::vector<std::string>{"3"});
    }

    // A later start in the notification area: hidden until the icon is clicked, then shown where
    // the first run left it.
    XWindow ShowFromTheTray() {
        EXPECT_TRUE(Screen->StartTray()) << "the notification area did not come up:\n" << Screen->TrayLog();
        Launch();
        const std::optional<XWindow> icon = Screen->WaitForTrayIcon(Pid, 30s);
        EXPECT_TRUE(icon.has_value()) << "the icon never docked:\n" << Output();
        if (!icon)
            return {};
        std::this_thread::sleep_for(500ms);
        EXPECT_FALSE(Screen->MainWindow(Pid).has_value()) << "a second start showed the window";
        const std::vector<std::string> placement = FileLines(Data / "win_pos.cnfg");
        EXPECT_EQ(placement, (std::vector<std::string>{"37", "29", "700", "1150", "0"}));
        Screen->Run("xdotool mousemove --sync " + ztt::XDisplay::Centre(*icon) + " click 1");
        std::optional<XWindow> window;
        const bool placed = WaitUntil(
            [&] {
                window = Screen->MainWindow(Pid);
                return window && placement.size() == 5 && std::to_string(window->X) == placement[0] &&
                       std::to_string(window->Y) == placement[1] &&
                       std::to_string(window->Height) == placement[2] &&
                       std::to_string(window->Width) == placement[3];
            },
            10s);
        EXPECT_TRUE(window.has_value()) << "a click on the icon did not show the window";
        if (window)
            EXPECT_TRUE(placed) << "shown at " << window->X << "," << window->Y << " " << window->Width << "x"
                                << window->Height;
        return window.value_or(XWindow{});
    }

    // What every orderly end leaves: the closing line in German last in the program log, one
    // tree line per group, all 49 settings lines with the language on line 47.
    void ExpectClosedInGerman() {
        const std::vector<std::string> german = FileLines(Data / "lang_files" / "German");
        const auto rows = ztt::QueryRows(Data / "dbm.db", "select Status from program_log order by ID");
        ASSERT_FALSE(rows.empty());
        EXPECT_EQ(rows.back(), german.at(334));
        const std::vector<std::string> tree = FileLines(Data / "tr_ex.cnfg");
        EXPECT_EQ(tree.size(), 3u);
        for (const std::string& line : tree)
            EXPECT_TRUE(line == "-1" || line == "0") << line;
        const std::vector<std::string> settings = FileLines(Data / "Settings.cnfg");
        ASSERT_EQ(settings.size(), 49u);
        EXPECT_EQ(settings[47], "German");
    }

    ztt::TempDir Dir;
    fs::path Program;
    fs::path Data;
    std::unique_ptr<ztt::XDisplay> Screen;
    std::vector<std::string> Logs;
    pid_t Pid = -1;
};

} // namespace

TEST_F(LanguageProgramTest, FirstStartUnderAGermanLocaleShowsGermanCaptionsAndExitSavesGerman) {
    ASSERT_FALSE(fs::exists(Data / "Settings.cnfg"));
    ASSERT_FALSE(fs::exists(Data / "dbm.db"));
    FirstRun("first-start-german.png");
    const std::vector<std::string> settings = FileLines(Data / "Settings.cnfg");
    ASSERT_EQ(settings.size(), 49u);
    EXPECT_EQ(settings[47], "German");
    const auto rows = ztt::QueryRows(Data / "dbm.db", "select Status from program_log order by ID");
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.back(), FileLines(Data / "lang_files" / "German").at(334));
    // The same window in English, for the captions to compare with.
    ASSERT_NO_FATAL_FAILURE(RunWithLanguage("English", "second-start-english.png"));
    EXPECT_TRUE(CaptionsDiffer("first-start-german.png", "second-start-english.png"))
        << "the German captions look like the English ones";
}

TEST_F(LanguageProgramTest, SecondStartInTheTrayIsHiddenComesBackInPlaceAndEndsByTheTrayMenu) {
    ASSERT_NO_FATAL_FAILURE(FirstRun());
    ASSERT_NO_FATAL_FAILURE(AddGroups());
    const XWindow window = ShowFromTheTray();
    ASSERT_FALSE(window.Id.empty());
    Screenshot(window.Id, "tray-start-german.png");
    const std::optional<XWindow> icon = Screen->TrayIcon(Pid);
    ASSERT_TRUE(icon.has_value());
    // Away and back: the pointer still rests on the icon, where a synchronous move would wait.
    Screen->Run("xdotool mousemove --sync 1200 600 mousemove --sync " + ztt::XDisplay::Centre(*icon) +
                " click 3");
    ASSERT_TRUE(WaitUntil(
        [&] {
            for (const XWindow& w : Screen->ProgramWindows(Pid))
                if (w.Id != icon->Id && w.Id != window.Id && w.Height >= 50 && w.Height < 300)
                    return true;
            return false;
        },
        5s))
        << "no tray menu";
    std::this_thread::sleep_for(200ms);
    Screenshot("root", "tray-menu-german.png");
    Screen->Run("xdotool key Up Return");
    ASSERT_NO_FATAL_FAILURE(ExpectEndsWithCodeZero());
    ExpectClosedInGerman();
}

TEST_F(LanguageProgramTest, SigtermWithTheWindowShownEndsLikeExit) {
    ASSERT_NO_FATAL_FAILURE(FirstRun());
    ASSERT_NO_FATAL_FAILURE(AddGroups());
    ASSERT_FALSE(ShowFromTheTray().Id.empty());
    kill(Pid, SIGTERM);
    ASSERT_NO_FATAL_FAILURE(ExpectEndsWithCodeZero());
    ExpectClosedInGerman();
}

TEST_F(LanguageProgramTest, RussianOnLineFortySevenBetweenRunsGivesRussian) {
    ASSERT_NO_FATAL_FAILURE(FirstRun("before-russian-german.png"));
    // The locale stays German: the saved name decides.
    ASSERT_NO_FATAL_FAILURE(RunWithLanguage("Russian", "second-start-russian.png"));
    EXPECT_TRUE(CaptionsDiffer("before-russian-german.png", "second-start-russian.png"))
        << "the German and the Russian captions look alike";
    const auto rows = ztt::QueryRows(Data / "dbm.db", "select Status from program_log order by ID");
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.back(), FileLines(Data / "lang_files" / "Russian").at(334));
    // Line 48 still held German's index at the start: the name chose the file and is saved again.
    EXPECT_EQ(FileLines(Data / "Settings.cnfg").at(47), "Russian");
}
