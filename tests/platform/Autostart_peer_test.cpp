// The autostart desktop entry, checked by the desktop-file-validate program.
#include "platform/Autostart.h"

#include "tests/support/TestSupport.h"

#include <QFile>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {

class AutostartEntry : public ::testing::Test {
protected:
    void SetUp() override { setenv("XDG_CONFIG_HOME", FDir.path().c_str(), 1); }
    void TearDown() override { unsetenv("XDG_CONFIG_HOME"); }
    zt::test::TempDir FDir;
};

int Validate(const QString& Path) {
    const std::string command = "desktop-file-validate '" + Path.toStdString() + "' >/dev/null 2>&1";
    return std::system(command.c_str());
}

} // namespace

TEST_F(AutostartEntry, OnWritesAValidEntryAlsoWithABlankInThePath) {
    const QString path = AutostartEntryPath();
    EXPECT_EQ(path, QString::fromStdString(FDir.path()) +
                        QStringLiteral("/autostart/Zorvanite_Tarnequill_Pro.desktop"));
    ASSERT_TRUE(ApplyAutostart(true, QStringLiteral("/opt/my tools/zt$1\"x\\y%")));
    EXPECT_EQ(Validate(path), 0);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains("Exec=\"/opt/my tools/zt\\\\$1\\\\\"x\\\\\\\\y%%\"\n"));
    ASSERT_TRUE(ApplyAutostart(true, QStringLiteral("/usr/bin/zt")));
    EXPECT_EQ(Validate(path), 0);
}

TEST_F(AutostartEntry, OffRemovesOursAndCreatesNothingWhenNoneExists) {
    ASSERT_TRUE(ApplyAutostart(false, QStringLiteral("/usr/bin/zt")));
    EXPECT_FALSE(QFile::exists(AutostartEntryPath()));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(FDir.path()) + QStringLiteral("/autostart")));
    ASSERT_TRUE(ApplyAutostart(true, QStringLiteral("/usr/bin/zt")));
    EXPECT_TRUE(QFile::exists(AutostartEntryPath()));
    ASSERT_TRUE(ApplyAutostart(false, QStringLiteral("/usr/bin/zt")));
    EXPECT_FALSE(QFile::exists(AutostartEntryPath()));
}
