// The grid view on a real X server: the probe program shows 100,000 rows under xcb with the
// test look, and solid colours of its screen pixels (grid lines, the selection, the Office 2010
// header, a $F5FCFE row) equal those of the same scene grabbed offscreen.
#include "tests/support/TestSupport.h"
#include "widget_helpers.h"

#include <QApplication>
#include <QDir>
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

// Starts a private X server; returns its display (":N"), empty with the server's log in
// failure when it did not come up.
std::string StartDisplay(ztt::TempDir& dir, ztt::PeerProcess& server, std::string& failure) {
    server = ztt::PeerProcess({"sh", ztt::PeerScript("xvfb.sh"), dir.path()});
    if (!WaitForFile(dir.file("display"), std::chrono::milliseconds(10000))) {
        failure = ztt::ReadFile(dir.file("xvfb.log"));
        return std::string();
    }
    return ":" + QString::fromStdString(ztt::ReadFile(dir.file("display"))).trimmed().toStdString();
}

} // namespace

TEST(GridViewXvfb, ScreenPixelsEqualTheOffscreenGrab) {
    for (const char* program : {"Xvfb", "xdotool", "import"})
        if (!ztt::HaveProgram(program))
            GTEST_SKIP() << program
                         << " is missing: install xvfb, xdotool and imagemagick (scripts/install-deps.sh)";
    ztt::TempDir dir;
    ztt::PeerProcess server;
    std::string failure;
    const std::string display = StartDisplay(dir, server, failure);
    ASSERT_FALSE(display.empty()) << failure;

    const std::string ready = dir.file("ready");
    ztt::PeerProcess probe({"env", "-u", "QT_QPA_PLATFORMTHEME", "DISPLAY=" + display, "QT_QPA_PLATFORM=xcb",
                            "XDG_RUNTIME_DIR=" + dir.path(), ProbePath(), ready});
    ASSERT_TRUE(WaitForFile(ready, std::chrono::milliseconds(15000))) << "the probe did not show its window";
    std::istringstream geometry(ztt::ReadFile(ready));
    int x = 0, y = 0, width = 0, height = 0;
    geometry >> x >> y >> width >> height;

    // The window as the X server knows it.
    int rc = 0;
    const std::string found = ztt::RunCommand(
        "DISPLAY=" + display + " xdotool search --sync --limit 1 --name ZtGridProbe getwindowgeometry 2>&1",
        &rc);
    ASSERT_EQ(rc, 0) << found;
    EXPECT_NE(found.find("Geometry: " + std::to_string(ProbeWidth) + "x" + std::to_string(ProbeHeight)),
              std::string::npos)
        << found;

    const std::string shot = dir.file("screen.png");
    ztt::RunCommand("import -display " + display + " -window root png:" + shot + " 2>&1", &rc);
    ASSERT_EQ(rc, 0);
    const QImage screen = QImage(QString::fromStdString(shot)).convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(screen.isNull());
    const QImage onScreen = screen.copy(x, y, width, height);

    // The same scene offscreen.
    auto grid = MakeProbeGrid();
    TGxGridView view(grid.get());
    view.resize(ProbeWidth, ProbeHeight);
    view.show();
    QApplication::processEvents();
    ASSERT_EQ(view.viewport()->size(), QSize(width, height));
    const QImage offscreen = Grab(view);
    SaveShot(screen, "xvfb_screen");
    SaveShot(offscreen, "xvfb_offscreen");

    const QRect row0 = view.CellRect(0, 0);
    const QRect selected = view.CellRect(1, 3);
    const QRect tinted = view.CellRect(0, 5);
    struct Sample {
        const char* What;
        QPoint At;
        QRgb Expected;
    };
    const QRgb line = Expect(view.Rgb(clBtnFace));
    const Sample samples[] = {
        {"header top", {40, 0}, Rgb(255, 255, 255)},
        {"header bottom line", {120, 17}, Rgb(101, 147, 207)},
        {"header separator", {79, 8}, Rgb(154, 198, 255)},
        {"last header", {319, 8}, Rgb(101, 147, 207)},
        {"horizontal grid line", {40, row0.top() + row0.height()}, line},
        {"vertical grid line", {79, row0.top() + 5}, line},
        {"selection", {selected.left() + 40, selected.top() + 3}, Rgb(0x40, 0x80, 0xC0)},
        {"$F5FCFE row", {tinted.left() + 70, tinted.top() + 3}, Rgb(254, 252, 245)},
        {"right of the columns", {450, 150}, Expect(view.Rgb(clWindow))},
    };
    for (const Sample& s : samples) {
        EXPECT_EQ(At(offscreen, s.At.x(), s.At.y()), s.Expected) << s.What;
        EXPECT_EQ(At(onScreen, s.At.x(), s.At.y()), At(offscreen, s.At.x(), s.At.y())) << s.What;
    }
    int differing = 0;
    for (int py = 0; py < height; ++py)
        for (int px = 0; px < width; ++px)
            differing += At(onScreen, px, py) != At(offscreen, px, py) ? 1 : 0;
    std::printf("pixels that differ between the screen and the offscreen grab: %d of %d\n", differing,
                width * height);
}

namespace {

// The probe's event log, read as it grows.
class ProbeLog {
public:
    explicit ProbeLog(std::string path) : FPath(std::move(path)) {}
    // Waits until a line equal to expected arrives after the last one found.
    bool Expect(const std::string& expected,
                std::chrono::milliseconds limit = std::chrono::milliseconds(4000)) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < end) {
            std::istringstream lines(ztt::ReadFile(FPath));
            std::string line;
            for (size_t n = 0; std::getline(lines, line); ++n)
                if (n >= FNext && line == expected) {
                    FNext = n + 1;
                    return true;
                }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }
    std::string All() const { return ztt::ReadFile(FPath); }

private:
    std::string FPath;
    size_t FNext = 0;
};

} // namespace

TEST(GridViewXvfb, XdotoolDrivesTheMouseTheWheelAndTheKeys) {
    for (const char* program : {"Xvfb", "xdotool"})
        if (!ztt::HaveProgram(program))
            GTEST_SKIP() << program << " is missing: install xvfb and xdotool (scripts/install-deps.sh)";
    ztt::TempDir dir;
    ztt::PeerProcess server;
    std::string failure;
    const std::string display = StartDisplay(dir, server, failure);
    ASSERT_FALSE(display.empty()) << failure;
    const std::string ready = dir.file("ready");
    ProbeLog log(dir.file("events.log"));
    ztt::PeerProcess probe({"env", "-u", "QT_QPA_PLATFORMTHEME", "DISPLAY=" + display, "QT_QPA_PLATFORM=xcb",
                            "XDG_RUNTIME_DIR=" + dir.path(), ProbePath(), "--interactive", ready,
                            dir.file("events.log")});
    ASSERT_TRUE(WaitForFile(ready, std::chrono::milliseconds(15000))) << "the probe did not show its window";
    std::istringstream geometry(ztt::ReadFile(ready));
    int x0 = 0, y0 = 0, width = 0, height = 0;
    geometry >> x0 >> y0 >> width >> height;
    auto xdotool = [&](const std::string& args) {
        int rc = 0;
        const std::string out = ztt::RunCommand("DISPLAY=" + display + " xdotool " + args + " 2>&1", &rc);
        EXPECT_EQ(rc, 0) << args << ": " << out;
        return out;
    };
    // Client coordinates of the grid to the screen's.
    auto at = [&](int x, int y) {
        return std::to_string(x0 + x) + " " + std::to_string(y0 + y);
    };
    auto rowY = [](int visibleIndex) {
        return 18 + 17 * visibleIndex + 8;
    }; // grid lines: pitch 17

    xdotool("mousemove --sync " + at(200, 9) + " click 1");
    EXPECT_TRUE(log.Expect("header 2")) << log.All();
    EXPECT_TRUE(log.Expect("sort 2 asc")) << log.All();

    xdotool("mousemove --sync " + at(40, rowY(1)) + " click 1");
    EXPECT_TRUE(log.Expect("select 0 1 [1]")) << log.All();
    xdotool("mousemove --sync " + at(40, rowY(3)) + " keydown ctrl click 1 keyup ctrl");
    EXPECT_TRUE(log.Expect("select 0 3 [1,3]")) << log.All();
    xdotool("mousemove --sync " + at(40, rowY(5)) + " keydown shift click 1 keyup shift");
    EXPECT_TRUE(log.Expect("select 0 5 [3,4,5]")) << log.All();

    // The edge of Name (80) dragged to 120, then Enabled's edge double-clicked to fit its box.
    xdotool("mousemove --sync " + at(80, 9) + " mousedown 1 mousemove --sync " + at(120, 9) + " mouseup 1");
    EXPECT_TRUE(log.Expect("resize 0 120")) << log.All();
    xdotool("mousemove --sync " + at(200, 9) + " click --repeat 2 --delay 80 1");
    EXPECT_TRUE(log.Expect("resize 1 18")) << log.All();

    // Status (218..298) dragged onto the left half of Name: it becomes the first column.
    xdotool("mousemove --sync " + at(250, 9) + " mousedown 1 mousemove --sync " + at(256, 9) +
            " mousemove --sync " + at(10, 9) + " mouseup 1");
    EXPECT_TRUE(log.Expect("move 3 3 0")) << log.All();

    // Enabled now spans 200..218; its box of 13 starts 2 pixels in, centred in the row.
    xdotool("mousemove --sync " + at(208, 18 + 17 * 7 + 7) + " click 1");
    EXPECT_TRUE(log.Expect("after 1 7 True")) << log.All();
    EXPECT_TRUE(log.Expect("click 1 7 True")) << log.All();

    // Five wheel notches: five rows.
    xdotool("mousemove --sync " + at(120, 100) + " click --repeat 5 --delay 30 5");
    EXPECT_TRUE(log.Expect("scroll 5 first 5")) << log.All();

    // Typing into a Status cell (now at 0..80): "ab", End for the editor, Tab to the next cell.
    const std::string window = xdotool("search --sync --limit 1 --name ZtGridProbe");
    xdotool("windowfocus --sync " + QString::fromStdString(window).trimmed().toStdString());
    xdotool("mousemove --sync " + at(40, rowY(9 - 5)) + " click 1");
    EXPECT_TRUE(log.Expect("select 3 9 [9]")) << log.All();
    xdotool("type --delay 40 ab");
    EXPECT_TRUE(log.Expect("edit 3 9 ab")) << log.All();
    xdotool("key End Tab");
    EXPECT_TRUE(log.Expect("after 3 9 ab")) << log.All();
    EXPECT_TRUE(log.Expect("select 0 9 [9]")) << log.All();

    // A number typed into Count (now 218..298), then the X selection "a1b2" pasted by the middle
    // button left of it: the paste is cleaned to "12".
    xdotool("mousemove --sync " + at(240, rowY(11 - 5)) + " click 1");
    EXPECT_TRUE(log.Expect("select 2 11 [11]")) << log.All();
    xdotool("type 5");
    EXPECT_TRUE(log.Expect("edit 2 11 5")) << log.All();
    xdotool("mousemove --sync " + at(222, rowY(11 - 5)) + " click 2");
    EXPECT_TRUE(log.Expect("edit 2 11 125")) << log.All();
    xdotool("key Return");
    EXPECT_TRUE(log.Expect("after 2 11 125")) << log.All();
}
