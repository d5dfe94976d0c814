// The Data folder's lock: one holder at a time, free again once the holder lets go, and a folder
// where no lock file can be made does not count as held.
#include "core/InstanceLock.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

TEST(InstanceLock, OneHolderPerFolderUntilItLetsGo) {
    zt::test::TempDir dir;
    const QString folder = QString::fromStdString(dir.path() + "/");
    TInstanceLock first;
    TInstanceLock second;
    EXPECT_EQ(first.Acquire(folder), TInstanceLock::Acquired);
    EXPECT_EQ(second.Acquire(folder), TInstanceLock::HeldElsewhere);
    first.Release();
    EXPECT_EQ(second.Acquire(folder), TInstanceLock::Acquired);
    EXPECT_EQ(first.Acquire(folder), TInstanceLock::HeldElsewhere);
    // Another folder is another lock.
    zt::test::TempDir other;
    EXPECT_EQ(first.Acquire(QString::fromStdString(other.path() + "/")), TInstanceLock::Acquired);
    EXPECT_EQ(TInstanceLock().Acquire(QString::fromStdString(dir.path() + "/missing/")),
              TInstanceLock::Unavailable);
    EXPECT_EQ(InstanceRunningText(folder),
              QString::fromStdString("Zorvanite Tarnequill Pro is already running on the Data folder " +
                                     dir.path() + "/; this copy ends."));
}
