// The drop-downs on a real X server driven by xdotool: a combo box in the screen's bottom-right
// corner opens its list inside the screen and a click on an item chooses it; a click on the
// month calendar's grey next-month day selects it, and the strip right of the cells selects
// nothing.
#include "tests/support/TestSupport.h"
#include "widget_helpers.h"

#include <QFileInfo>
#include <QImage>
#include <chrono>
#include <gtest/gtest.h>
#include <sstream>
#include <thread>

using namespace widgettest;
namespace ztt = ::zt::test;

namespace {

std::string ProbePath() {
    return ztt::SiblingProgram("grid_view_probe");
}

bool WaitForFile(const std::string& path, std::chrono::milliseconds limit) {
    return ztt::WaitUntil([&] { return !ztt::ReadFile(path).empty(); }, limit);
}

// The first line of the log after the ones already taken that starts with prefix.
class EventLog {
public:
    explicit EventLog(std::string path) : FPath(std::move(path)) {}
    std::string Next(const std::string& prefix,
                     std::chrono::milliseconds limit = std::chrono::milliseconds(4000)) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < end) {
            std::istringstream lines(ztt::ReadFile(FPath));
            std::string line;
            for (size_t n = 0; std::getline(lines, line); ++n)
                if (n >= FNext && line.rfind(prefix, 0) == 0) {
                    FNext = n + 1;
                    return line;
                }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return std::string();
    }
    std::string All() const { return ztt::ReadFile(FPath); }

private:
    std::string FPath;
    size_t FNext = 0;
};

} // namespace

TEST(PopupsXvfb, ComboInTheCornerAndTheCalendarsGreyDay) {
    for (const char* program : {"Xvfb", "xdotool"})
        if (!ztt::HaveProgram(program))
            GTEST_SKIP() << program << " is missing: install xvfb and xdotool (scripts/install-deps.sh)";
    ztt::TempDir dir;
    ztt::PeerProcess server({"sh", ztt::PeerScript("xvfb.sh"), dir.path()});
    ASSERT_TRUE(WaitForFile(dir.file("display"), std::chrono::milliseconds(10000)))
        << ztt::ReadFile(dir.file("xvfb.log"));
    const std::string display =
        ":" + QString::fromStdString(ztt::ReadFile(dir.file("display"))).trimmed().toStdString();
    const std::string ready = dir.file("ready");
    EventLog log(dir.file("events.log"));
    ztt::PeerProcess probe({"env", "-u", "QT_QPA_PLATFORMTHEME", "DISPLAY=" + display, "QT_QPA_PLATFORM=xcb",
                            "XDG_RUNTIME_DIR=" + dir.path(), ProbePath(), "--popups", ready,
                            dir.file("events.log")});
    ASSERT_TRUE(WaitForFile(ready, std::chrono::milliseconds(15000))) << "the probe did not show its windows";
    std::istringstream geometry(ztt::ReadFile(ready));
    int cx = 0, cy = 0, cw = 0, ch = 0, kx = 0, ky = 0;
    geometry >> cx >> cy >> cw >> ch >> kx >> ky;
    auto xdotool = [&](const std::string& args) {
        int rc = 0;
        const std::string out = ztt::RunCommand("DISPLAY=" + display + " xdotool " + args + " 2>&1", &rc);
        EXPECT_EQ(rc, 0) << args << ": " << out;
        return QString::fromStdString(out).trimmed().toStdString();
    };
    auto at = [](int x, int y) {
        return std::to_string(x) + " " + std::to_string(y);
    };

    // The combo's window is focused (no window manager does it), then its button pressed.
    xdotool("windowfocus --sync " + xdotool("search --sync --limit 1 --name ZtComboProbe"));
    xdotool("mousemove --sync " + at(cx + cw - 10, cy + ch / 2) + " click 1");
    const std::string list = log.Next("list ");
    ASSERT_FALSE(list.empty()) << log.All();
    std::istringstream fields(list.substr(5));
    int lx = 0, ly = 0, lw = 0, lh = 0;
    std::string state;
    fields >> lx >> ly >> lw >> lh >> state;
    EXPECT_EQ(state, "open") << list;
    EXPECT_EQ(lw, cw);
    EXPECT_EQ(lh, 5 * 16 + 4);
    // Inside the 1024 x 768 screen: pushed up and left from below the edit.
    EXPECT_GE(lx, 0);
    EXPECT_GE(ly, 0);
    EXPECT_LE(lx + lw, 1024) << list;
    EXPECT_LE(ly + lh, 768) << list;
    EXPECT_EQ(ly, 768 - lh) << list;
    int rc = 0;
    const std::string shot = dir.file("screen.png");
    ztt::RunCommand("import -display " + display + " -window root png:" + shot + " 2>&1", &rc);
    if (rc == 0)
        SaveShot(QImage(QString::fromStdString(shot)), "xvfb_combo_list");

    // The second row is Beta.
    xdotool("mousemove --sync " + at(lx + 20, ly + 2 + 16 + 8) + " click 1");
    EXPECT_EQ(log.Next("select "), "select Beta 1") << log.All();

    // March 2024 under the Sunday rule: cell 36 (row 5, column 1) is the grey 1 April.
    xdotool("mousemove --sync " + at(kx + 15 + 17 + 8, ky + 38 + 75 + 7) + " click 1");
    EXPECT_EQ(log.Next("change "), "change 2024-04-01") << log.All();
    EXPECT_EQ(log.Next("release "), "release 40 120 selected 2024-04-01 month 3") << log.All();
    // The strip right of the painted cells selects nothing.
    xdotool("mousemove --sync " + at(kx + 135, ky + 60) + " click 1");
    EXPECT_EQ(log.Next("release "), "release 135 60 selected 2024-04-01 month 3") << log.All();
    EXPECT_EQ(log.Next("change ", std::chrono::milliseconds(300)), "") << log.All();
}
