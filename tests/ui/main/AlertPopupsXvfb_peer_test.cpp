// The alert popups on a real X server (Xvfb 1280 x 1024, no window manager) under xcb: xdotool reads
// where they rest alone, stacked and after the lower one closed, xclip reads the copied list, and a
// stub xdg-open on PATH records the web address "Explore the host" opens.
#include "tests/support/TestSupport.h"

#include <QFileInfo>
#include <QString>
#include <QStringList>

#include <chrono>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>

namespace ztt = ::zt::test;

namespace {

std::string ProbePath() {
    return ztt::SiblingProgram("alert_popup_probe");
}

bool WaitForFile(const std::string& Path, std::chrono::milliseconds Limit) {
    return ztt::WaitUntil([&] { return !ztt::ReadFile(Path).empty(); }, Limit);
}

class PopupsOnXvfb : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* program : {"Xvfb", "xdotool", "xclip"})
            if (!ztt::HaveProgram(program))
                GTEST_SKIP() << program
                             << " is missing: install xvfb, xdotool and xclip (scripts/install-deps.sh)";
        Server = ztt::PeerProcess({"sh", ztt::PeerScript("xvfb.sh"), Dir.path(), "1280x1024x24"});
        ASSERT_TRUE(WaitForFile(Dir.file("display"), std::chrono::milliseconds(10000)))
            << ztt::ReadFile(Dir.file("xvfb.log"));
        Display = ":" + QString::fromStdString(ztt::ReadFile(Dir.file("display"))).trimmed().toStdString();
        // xdg-open and the terminal record their arguments instead of opening anything.
        ztt::RunCommand("mkdir -p '" + Dir.file("bin") + "'");
        for (const char* stub : {"xdg-open", "x-terminal-emulator"}) {
            const std::string path = Dir.file(std::string("bin/") + stub);
            ztt::WriteFile(path, "#!/bin/sh\nprintf '%s\\n' \"$*\" >> '" +
                                     Dir.file(std::string(stub) + ".log") + "'\n");
            chmod(path.c_str(), 0755);
        }
    }
    std::string X(const std::string& Command) {
        int rc = 0;
        std::string out = ztt::RunCommand("DISPLAY=" + Display + " " + Command + " 2>&1", &rc);
        EXPECT_EQ(rc, 0) << Command << ": " << out;
        return out;
    }
    // "WIDTHxHEIGHT+X+Y" of an X window, as xdotool reports it.
    std::string Place(const std::string& Window) {
        const QString out = QString::fromStdString(X("xdotool getwindowgeometry " + Window));
        const QString position = out.section(QStringLiteral("Position: "), 1).section(QLatin1Char(' '), 0, 0);
        const QString size = out.section(QStringLiteral("Geometry: "), 1).trimmed();
        return (size + QLatin1Char('+') + QString(position).replace(QLatin1Char(','), QLatin1Char('+')))
            .toStdString();
    }
    void Go(int Step) { ztt::WriteFile(Dir.file("go" + std::to_string(Step)), "go"); }

    ztt::TempDir Dir;
    ztt::PeerProcess Server;
    std::string Display;
};

} // namespace

TEST_F(PopupsOnXvfb, RestingPlacesClipboardAndExplore) {
    ztt::PeerProcess probe({"env", "-u", "QT_QPA_PLATFORMTHEME", "-u", "WAYLAND_DISPLAY",
                            "DISPLAY=" + Display, "QT_QPA_PLATFORM=xcb", "XDG_RUNTIME_DIR=" + Dir.path(),
                            "PATH=" + Dir.file("bin") + ":/usr/bin:/bin", ProbePath(), Dir.path()});
    ASSERT_TRUE(WaitForFile(Dir.file("down"), std::chrono::milliseconds(20000)))
        << "the down popup did not rest";
    const std::string down = ztt::ReadFile(Dir.file("down"));
    // Wider than its default 292 px, to the host and state texts, its right edge kept.
    EXPECT_EQ(Place(down), "380x152+897+874");
    // Two events: the heading and one line each, newest first.
    EXPECT_EQ(X("xclip -o -selection clipboard"), "Warning!\n"
                                                  "Сервер \"web\", 09.12.2026 07:30:05 - Down\n"
                                                  "v6-router, 09.12.2026 07:30:00 - Down");
    Go(1);

    ASSERT_TRUE(WaitForFile(Dir.file("up"), std::chrono::milliseconds(20000))) << "the up popup did not rest";
    const std::string up = ztt::ReadFile(Dir.file("up"));
    EXPECT_EQ(Place(up), "292x152+985+724");
    EXPECT_EQ(Place(down), "380x152+897+874");
    Go(2);

    ASSERT_TRUE(WaitForFile(Dir.file("explore"), std::chrono::milliseconds(10000)));
    ASSERT_TRUE(WaitForFile(Dir.file("xdg-open.log"), std::chrono::milliseconds(10000)));
    EXPECT_EQ(ztt::ReadFile(Dir.file("xdg-open.log")), "http://[fe80::1]\n");
    Go(3);

    ASSERT_TRUE(WaitForFile(Dir.file("closed"), std::chrono::milliseconds(20000)));
    // The lower one slid out; the upper one stays where it came to rest.
    EXPECT_EQ(Place(up), "292x152+985+724");
    Go(4);
}
