// inotifywait watches the Data folder while the settings are saved twice and loaded: the only
// files made are private temporaries renamed onto ESettings.cnfg, never a deciphered temp.cnfg.
#include "core/NotificationSettings.h"
#include "tests/support/TestSupport.h"

#include <QStringList>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace {

bool WaitForText(const std::string& File, const std::string& Needle) {
    for (int i = 0; i < 100; ++i) {
        if (zt::test::ReadFile(File).find(Needle) != std::string::npos) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

TEST(NotificationSettingsPeerTest, InotifySeesOnlyRenamedPrivateTemporaries) {
    if (!zt::test::HaveProgram("inotifywait")) {
        GTEST_SKIP() << "inotify-tools is missing (scripts/install-deps.sh)";
    }
    zt::test::TempDir data;
    zt::test::TempDir logDir;
    const std::string events = logDir.file("events.txt");
    zt::test::PeerProcess watch({"stdbuf", "-oL", "inotifywait", "-m", "-q", "-e",
                                 "create,moved_to,moved_from,delete,close_write", "--format", "%e %f", "-o",
                                 events, data.path()});
    // The watch is in place once a marker file shows up in its output.
    bool ready = false;
    for (int i = 0; i < 5 && !ready; ++i) {
        const std::string marker = "ready" + std::to_string(i);
        zt::test::WriteFile(data.file(marker), "");
        ready = WaitForText(events, "CREATE " + marker);
    }
    ASSERT_TRUE(ready);

    const QString file = QString::fromStdString(data.file("ESettings.cnfg"));
    TNotificationSettings s;
    s.Password = "do-not-leak";
    ASSERT_TRUE(SaveNotificationSettingsFile(file, s));
    ASSERT_TRUE(SaveNotificationSettingsFile(file, s));
    TNotificationSettings read;
    EXPECT_EQ(LoadNotificationSettingsFile(file, read), 15);
    zt::test::WriteFile(data.file("done"), "");
    ASSERT_TRUE(WaitForText(events, "CREATE done"));
    watch.stop();

    const QStringList lines =
        QString::fromStdString(zt::test::ReadFile(events)).split('\n', Qt::SkipEmptyParts);
    int temporaries = 0, renamed = 0;
    for (const QString& line : lines) {
        SCOPED_TRACE(line.toStdString());
        EXPECT_FALSE(line.contains("temp.cnfg"));
        const QString name = line.section(' ', 1);
        if (name.startsWith("ready") || name == "done") {
            continue;
        }
        if (line.startsWith("CREATE ")) {
            EXPECT_TRUE(name.startsWith("ESettings.cnfg.")) << "unexpected file";
            ++temporaries;
        }
        if (line.startsWith("MOVED_TO ")) {
            EXPECT_EQ(name, "ESettings.cnfg");
            ++renamed;
        }
    }
    EXPECT_EQ(temporaries, 2);
    EXPECT_EQ(renamed, 2);
    // The load made no file: the second rename is the last event before the closing marker.
    const qsizetype done = lines.indexOf("CREATE done");
    ASSERT_GT(done, 0);
    EXPECT_EQ(lines[done - 1], "MOVED_TO ESettings.cnfg") << lines.join('|').toStdString();
    EXPECT_EQ(zt::test::ReadFile(data.file("ESettings.cnfg")).find("do-not-leak"), std::string::npos);
}

} // namespace
