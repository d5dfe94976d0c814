// Saves killed at random: a child process (this test program again) saves Settings.cnfg over and
// over until SIGKILL; the file is always the old or the new 49 lines, and temporaries never pile up.
#include "core/SettingsFiles.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>

#include <csignal>
#include <cstdio>
#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>

namespace {

const char* const ChildVariable = "ZT_SAVING_CHILD";

QByteArray VersionA() {
    return LinesToFileText(SettingsFileLinesOf(TSettings{}));
}

QByteArray VersionB() {
    TSettings s;
    s.Delay_spin = 9999;
    s.Up_Sound_Edit = QStringLiteral("очень длинное имя звукового файла для сигнала.wav");
    s.Edit_db = QString(4000, QLatin1Char('x'));
    return LinesToFileText(SettingsFileLinesOf(s));
}

QByteArray ReadBytes(const QString& Name) {
    QFile file(Name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

// The child's part: runs only when started by the test below.
TEST(SettingsFilesKill, SavingChild) {
    const QByteArray target = qgetenv(ChildVariable);
    if (target.isEmpty()) {
        GTEST_SKIP() << "the child of KilledSavesLeaveTheOldOrTheNewFile";
    }
    const QByteArray versions[] = {VersionA(), VersionB()};
    std::fputs("ready\n", stdout);
    std::fflush(stdout);
    // Ends by SIGKILL; the bound only keeps a forgotten child from running for ever.
    for (int i = 0; i < 1000000; ++i) {
        WriteFileAtomic(QString::fromLocal8Bit(target), versions[i % 2]);
    }
}

TEST(SettingsFilesKill, KilledSavesLeaveTheOldOrTheNewFile) {
    zt::test::TempDir dir;
    const QString file = QString::fromStdString(dir.file("Settings.cnfg"));
    const QByteArray a = VersionA();
    const QByteArray b = VersionB();
    ASSERT_TRUE(WriteFileAtomic(file, a));
    std::mt19937 random(17);
    int sawA = 0;
    int sawB = 0;
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    // Each child starts and saves slowly under the sanitizer: fewer rounds, later kills, so some
    // still fall after the second version's first save.
    const int rounds = 50;
    std::uniform_int_distribution<int> delayUs(0, 200000);
#else
    const int rounds = 200;
    std::uniform_int_distribution<int> delayUs(0, 20000);
#endif
    for (int round = 0; round < rounds; ++round) {
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QString::fromLatin1(ChildVariable), file);
        child.setProcessEnvironment(environment);
        child.start(QStringLiteral("/proc/self/exe"),
                    {QStringLiteral("--gtest_filter=SettingsFilesKill.SavingChild")});
        ASSERT_TRUE(child.waitForStarted(10000));
        ASSERT_TRUE(child.waitForReadyRead(10000)) << "round " << round;
        ::usleep(useconds_t(delayUs(random)));
        ::kill(pid_t(child.processId()), SIGKILL);
        ASSERT_TRUE(child.waitForFinished(10000));
        const QByteArray now = ReadBytes(file);
        ASSERT_TRUE(now == a || now == b) << "round " << round << ": " << now.size() << " bytes";
        ASSERT_EQ(FileTextToLines(now).size(), 49);
        (now == a ? sawA : sawB)++;
        // At most the one temporary of the save that was cut off.
        const QStringList entries = QDir(QString::fromStdString(dir.path())).entryList(QDir::Files);
        for (const QString& entry : entries) {
            EXPECT_TRUE(entry == "Settings.cnfg" || entry == "Settings.cnfg.saving") << entry.toStdString();
        }
    }
    // The kills fell while the child was saving both versions.
    EXPECT_GT(sawA, 0);
    EXPECT_GT(sawB, 0);
    // The next save leaves the file alone in its folder.
    ASSERT_TRUE(WriteFileAtomic(file, a));
    EXPECT_EQ(QDir(QString::fromStdString(dir.path())).entryList(QDir::Files), QStringList{"Settings.cnfg"});
}

TEST(SettingsFilesKill, AFailedSaveLeavesTheOldFileAndNoTemporary) {
    zt::test::TempDir dir;
    const QString file = QString::fromStdString(dir.file("Settings.cnfg"));
    ASSERT_TRUE(WriteFileAtomic(file, "old\r\n"));
    // A folder in the file's place: the rename fails.
    const QString blocked = QString::fromStdString(dir.file("blocked"));
    ASSERT_TRUE(QDir().mkpath(blocked + QStringLiteral("/inside")));
    EXPECT_FALSE(WriteFileAtomic(blocked, "new\r\n"));
    EXPECT_FALSE(QFile::exists(AtomicTemporaryName(blocked)));
    EXPECT_EQ(ReadBytes(file), "old\r\n");
}

TEST(SettingsFilesKill, AnUnchangedFileIsNotRewritten) {
    zt::test::TempDir dir;
    const QString file = QString::fromStdString(dir.file("win_pos.cnfg"));
    auto inode = [&] {
        struct stat info {};
        ::stat(QFile::encodeName(file).constData(), &info);
        return info.st_ino;
    };
    ASSERT_TRUE(WriteFileAtomic(file, "0\r\n0\r\n600\r\n800\r\n0\r\n"));
    const auto first = inode();
    ASSERT_TRUE(WriteFileAtomic(file, "0\r\n0\r\n600\r\n800\r\n0\r\n"));
    EXPECT_EQ(inode(), first);
    // Same size, other bytes: a new file is renamed in.
    ASSERT_TRUE(WriteFileAtomic(file, "0\r\n0\r\n600\r\n800\r\n2\r\n"));
    EXPECT_NE(inode(), first);
    EXPECT_EQ(ReadBytes(file), "0\r\n0\r\n600\r\n800\r\n2\r\n");
}
