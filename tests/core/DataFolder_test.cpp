// The Data folder beside the executable and its start-up check.
#include "core/DataFolder.h"

#include "tests/support/TestSupport.h"

#include <QFileInfo>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

TEST(DataFolder, DefaultsToDataBesideTheExecutable) {
    SetDataFolder(QString());
    const QString exe = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    EXPECT_EQ(ExecutableFolder(), QFileInfo(exe).absolutePath() + QStringLiteral("/"));
    EXPECT_EQ(DataFolder(), ExecutableFolder() + QStringLiteral("Data/"));
}

TEST(DataFolder, OverrideGetsATrailingSlashAndCanBeCleared) {
    SetDataFolder(QStringLiteral("/tmp/somewhere"));
    EXPECT_EQ(DataFolder(), QStringLiteral("/tmp/somewhere/"));
    SetDataFolder(QStringLiteral("/tmp/other/"));
    EXPECT_EQ(DataFolder(), QStringLiteral("/tmp/other/"));
    SetDataFolder(QString());
    EXPECT_TRUE(DataFolder().endsWith(QStringLiteral("/Data/")));
}

TEST(DataFolder, EnsureCreatesAMissingFolderAndReportsAFileInTheWay) {
    zt::test::TempDir dir;
    SetDataFolder(QString::fromStdString(dir.path() + "/Data"));
    EXPECT_TRUE(EnsureDataFolder());
    EXPECT_TRUE(std::filesystem::is_directory(dir.path() + "/Data"));
    EXPECT_TRUE(EnsureDataFolder());

    zt::test::WriteFile(dir.file("plain"), "x");
    SetDataFolder(QString::fromStdString(dir.file("plain")));
    EXPECT_FALSE(EnsureDataFolder());

    if (geteuid() != 0) { // root reads and creates everything
        std::filesystem::create_directory(dir.file("locked"));
        chmod(dir.file("locked").c_str(), 0);
        SetDataFolder(QString::fromStdString(dir.file("locked")));
        EXPECT_FALSE(EnsureDataFolder());
        chmod(dir.file("locked").c_str(), 0700);
    }
    SetDataFolder(QString());
}
