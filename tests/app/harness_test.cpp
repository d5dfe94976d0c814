// Checks that the shared test harness itself works: temporary folders and loopback ports.
#include "tests/support/TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>

TEST(Harness, TempDirIsRemovedAndPortsAreUsable) {
    std::string kept;
    {
        zt::test::TempDir dir;
        kept = dir.path();
        zt::test::WriteFile(dir.file("a.txt"), "x\r\ny");
        EXPECT_EQ(zt::test::ReadFile(dir.file("a.txt")), "x\r\ny");
    }
    EXPECT_FALSE(std::filesystem::exists(kept));
    EXPECT_GT(zt::test::FreeTcpPort(), 0);
    EXPECT_GT(zt::test::FreeUdpPort(), 0);
}
