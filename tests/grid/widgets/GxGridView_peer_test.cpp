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
    return QFileInfo(QStringLiteral("/proc/self/exe"))
               .canonicalFilePath()
               .section(u'/', 0, -2)
               .toStdString() +
           "/grid_view_probe";
}

bool WaitForFile(const std::string& path, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (!ztt::ReadFile(path).empty())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

} // namespace

TEST(GridViewXvfb, ScreenPixelsEqualTheOffscreenGrab) {
    for (const char* program : {"Xvfb", "xdotool", "import"})
        if (!ztt::HaveProgram(program))
            GTEST_SKIP() << program
                         << " is missing: install xvfb, xdotool and imagemagick (scripts/install-deps.sh)";
    ztt::TempDir dir;
    ztt::PeerProcess server({"sh", ztt::PeerScript("xvfb.sh"), dir.path()});
    ASSERT_TRUE(WaitForFile(dir.file("display"), std::chrono::milliseconds(10000)))
        << ztt::ReadFile(dir.file("xvfb.log"));
    const std::string display =
        ":" + QString::fromStdString(ztt::ReadFile(dir.file("display"))).trimmed().toStdString();

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
