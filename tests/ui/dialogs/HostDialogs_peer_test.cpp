// The add host dialog on a real X server: xdotool types an address into the shown dialog and
// presses Return, and the sqlite3 shell reads the stored host afterwards.
#include "tests/support/TestSupport.h"

#include <QFileInfo>
#include <QString>

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <thread>

namespace ztt = ::zt::test;

namespace {

bool WaitUntil(const std::function<bool()>& Done, std::chrono::milliseconds Limit) {
    return ztt::WaitUntil(Done, Limit);
}

std::string ProbePath() {
    return ztt::SiblingProgram("host_dialog_probe");
}

} // namespace

TEST(HostDialogXvfb, AHostTypedIntoTheDialogIsStored) {
    for (const char* program : {"Xvfb", "xdotool", "sqlite3"})
        if (!ztt::HaveProgram(program))
            GTEST_SKIP() << program
                         << " is missing: install xvfb, xdotool and sqlite3 (scripts/install-deps.sh)";
    ztt::TempDir dir;
    ztt::PeerProcess server({"sh", ztt::PeerScript("xvfb.sh"), dir.path()});
    ASSERT_TRUE(
        WaitUntil([&] { return !ztt::ReadFile(dir.file("display")).empty(); }, std::chrono::seconds(10)))
        << ztt::ReadFile(dir.file("xvfb.log"));
    const std::string display =
        ":" + QString::fromStdString(ztt::ReadFile(dir.file("display"))).trimmed().toStdString();
    const std::string data = dir.file("Data") + "/";
    ztt::RunCommand("mkdir -p '" + data + "Types'");
    const std::string ready = dir.file("ready");
    ztt::PeerProcess probe({"env", "-u", "QT_QPA_PLATFORMTHEME", "DISPLAY=" + display, "QT_QPA_PLATFORM=xcb",
                            "XDG_RUNTIME_DIR=" + dir.path(), ProbePath(), data, ready});
    ASSERT_TRUE(WaitUntil([&] { return !ztt::ReadFile(ready).empty(); }, std::chrono::seconds(15)))
        << "the dialog was not shown";

    int rc = -1;
    const std::string window =
        ztt::RunCommand("DISPLAY=" + display +
                            " xdotool search --sync --onlyvisible --limit 1 --name '^Add Host$' 2>/dev/null",
                        &rc);
    ASSERT_EQ(rc, 0) << window;
    const std::string id = QString::fromStdString(window).trimmed().toStdString();
    // A click into each field, then its text, as a person would; Return presses OK.
    std::istringstream fields(ztt::ReadFile(ready));
    int nameX = 0, nameY = 0, addressX = 0, addressY = 0;
    fields >> nameX >> nameY >> addressX >> addressY;
    const std::string xdotool = "DISPLAY=" + display + " xdotool ";
    ztt::RunCommand(xdotool + "windowfocus --sync " + id + " sleep 0.5 mousemove --sync " +
                        std::to_string(nameX) + " " + std::to_string(nameY) +
                        " click 1 sleep 0.3 key ctrl+a type --delay 20 'Typed host'",
                    &rc);
    ASSERT_EQ(rc, 0);
    ztt::RunCommand(xdotool + "mousemove --sync " + std::to_string(addressX) + " " +
                        std::to_string(addressY) + " click 1 sleep 0.3 type --delay 20 '127.0.0.42'",
                    &rc);
    ASSERT_EQ(rc, 0);
    // type takes every word after it as text: Return goes on its own.
    ztt::RunCommand(xdotool + "key Return", &rc);
    ASSERT_EQ(rc, 0);
    const bool closed = WaitUntil([&] { return !probe.running(); }, std::chrono::seconds(15));
    if (!closed && !qEnvironmentVariable("ZT_SCREENSHOT_DIR").isEmpty())
        ztt::RunCommand("import -display " + display + " -window root png:" +
                        qEnvironmentVariable("ZT_SCREENSHOT_DIR").toStdString() + "/host-dialog-xvfb.png");
    ASSERT_TRUE(closed) << "the dialog stayed open";

    const std::string stored = ztt::RunCommand(
        "sqlite3 -separator '|' '" + data + "dbm.db' 'select id, host, IP, N_group, Enabled from hosts'",
        &rc);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(stored, "1|Typed host|127.0.0.42|1|-1\n");
}
