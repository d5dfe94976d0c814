// The host drag on a real X server: xdotool presses a row of the probe's host grid, drags it
// over Qt's own drag onto a group node (or off every node, or cancels with Esc), and the probe
// reports the text the tree received, the node, the drag's result and the effect the target
// wrote back into the source's data object.
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QString>
#include <QStringList>

#include <chrono>
#include <gtest/gtest.h>
#include <sstream>
#include <thread>

namespace ztt = ::zt::test;

namespace {

std::string ProbePath() {
    return ztt::SiblingProgram("drag_drop_probe");
}

bool WaitFor(const std::function<bool()>& Done, std::chrono::milliseconds Limit) {
    return ztt::WaitUntil(Done, Limit);
}

QStringList Lines(const std::string& Path) {
    return QString::fromStdString(ztt::ReadFile(Path)).split(u'\n', Qt::SkipEmptyParts);
}

struct TPoint {
    int X = 0, Y = 0;
};

class DragXvfb : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* program : {"Xvfb", "xdotool"})
            if (!ztt::HaveProgram(program))
                GTEST_SKIP() << program << " is missing: install xvfb and xdotool (scripts/install-deps.sh)";
        server = ztt::PeerProcess({"sh", ztt::PeerScript("xvfb.sh"), dir.path()});
        ASSERT_TRUE(
            WaitFor([&] { return !ztt::ReadFile(dir.file("display")).empty(); }, std::chrono::seconds(10)))
            << ztt::ReadFile(dir.file("xvfb.log"));
        display = ":" + QString::fromStdString(ztt::ReadFile(dir.file("display"))).trimmed().toStdString();
        probe = ztt::PeerProcess({"env", "-u", "QT_QPA_PLATFORMTHEME", "DISPLAY=" + display,
                                  "QT_QPA_PLATFORM=xcb", "XDG_RUNTIME_DIR=" + dir.path(), ProbePath(),
                                  dir.path()});
        ASSERT_TRUE(
            WaitFor([&] { return !ztt::ReadFile(dir.file("ready")).empty(); }, std::chrono::seconds(15)))
            << "the probe did not show its window";
        std::istringstream in(ztt::ReadFile(dir.file("ready")));
        in >> row1.X >> row1.Y >> row3.X >> row3.Y >> group5.X >> group5.Y >> empty.X >> empty.Y;
    }

    void Xdotool(const std::string& Arguments) {
        int rc = 0;
        const std::string output =
            ztt::RunCommand("DISPLAY=" + display + " xdotool " + Arguments + " 2>&1", &rc);
        ASSERT_EQ(rc, 0) << Arguments << ": " << output;
    }

    // Presses at From, waits past the drag delay, then moves to To in steps; Esc cancels there.
    void Drag(TPoint From, TPoint To, bool Escape = false) {
        Xdotool("mousemove " + std::to_string(From.X) + " " + std::to_string(From.Y));
        Xdotool("sleep 0.2 mousedown 1 sleep 0.3");
        const int steps = 12;
        for (int i = 1; i <= steps; ++i) {
            const int x = From.X + (To.X - From.X) * i / steps;
            const int y = From.Y + (To.Y - From.Y) * i / steps;
            Xdotool("mousemove " + std::to_string(x) + " " + std::to_string(y) + " sleep 0.05");
        }
        Xdotool("sleep 0.3");
        if (Escape)
            Xdotool("key Escape sleep 0.3");
        Xdotool("mouseup 1");
    }

    QStringList WaitForResult(int Results) {
        WaitFor([&] { return Lines(dir.file("events")).filter("result").size() >= Results; },
                std::chrono::seconds(10));
        return Lines(dir.file("events"));
    }

    ztt::TempDir dir;
    ztt::PeerProcess server;
    ztt::PeerProcess probe;
    std::string display;
    TPoint row1, row3, group5, empty;
};

} // namespace

TEST_F(DragXvfb, AHostRowDraggedOntoAGroupNode) {
    Drag(row3, group5);
    // Copy (0), and the COPY (1) the target wrote back reached our own data object.
    EXPECT_EQ(WaitForResult(1), (QStringList{"drop 13|3 5", "result 0 1"}));
}

TEST_F(DragXvfb, ADropOffEveryNodeFindsNoNode) {
    Drag(row1, empty);
    EXPECT_EQ(WaitForResult(1), (QStringList{"drop 11|1 -", "result 0 1"}));
}

TEST_F(DragXvfb, EscCancelsTheDrag) {
    Drag(row1, group5, true);
    EXPECT_EQ(WaitForResult(1), (QStringList{"result 3 0"}));
    // The next drag works as before.
    Drag(row3, group5);
    EXPECT_EQ(WaitForResult(2), (QStringList{"result 3 0", "drop 13|3 5", "result 0 1"}));
}
