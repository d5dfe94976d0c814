// Two real copies of the program on one Data folder: the second shows its message and ends within
// 5 s without touching the database, and the first goes on monitoring until it is closed.
#include "tests/support/ProgramRun.h"
#include "tests/support/TestSupport.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

TEST(SecondCopy, EndsWithItsMessageAndTheFirstKeepsRunning) {
    zt::test::TempDir dir;
    const fs::path program = zt::test::CopyProgram(dir.path());
    const fs::path data = fs::path(dir.path()) / "Data";
    fs::create_directory(data);
    const pid_t first = zt::test::Launch(program, fs::path(dir.path()) / "first.log");
    ASSERT_TRUE(zt::test::WaitUntil([&] { return zt::test::CatchesSigterm(first); }, 30s));
    const fs::path db = data / "dbm.db";
    // The start-up writes are over once the file stops changing (no hosts: nothing more is written).
    // Reading it meanwhile would take a lock that makes the program's own writes fail at once.
    struct stat seen {};
    auto lastChange = std::chrono::steady_clock::now();
    ASSERT_TRUE(zt::test::WaitUntil(
        [&] {
            struct stat now {};
            if (::stat(db.c_str(), &now) != 0 || now.st_size == 0)
                return false;
            if (now.st_size != seen.st_size || now.st_mtim.tv_nsec != seen.st_mtim.tv_nsec ||
                now.st_mtim.tv_sec != seen.st_mtim.tv_sec) {
                seen = now;
                lastChange = std::chrono::steady_clock::now();
            }
            return std::chrono::steady_clock::now() - lastChange > 1500ms;
        },
        30s));
    struct stat before {};
    ::stat(db.c_str(), &before);

    const fs::path secondLog = fs::path(dir.path()) / "second.log";
    const pid_t second = zt::test::Launch(program, secondLog);
    bool ended = false;
    const int status = zt::test::Reap(second, &ended, 5s);
    EXPECT_TRUE(ended) << "the second copy is still running";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    const std::string said = zt::test::ReadFile(secondLog.string());
    EXPECT_NE(said.find("Message: Zorvanite Tarnequill Pro is already running on the Data folder " +
                        data.string() + "/; this copy ends.\n"),
              std::string::npos)
        << said;
    struct stat after {};
    ::stat(db.c_str(), &after);
    EXPECT_EQ(after.st_size, before.st_size);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);

    // The first copy is still there and closes as usual.
    int firstStatus = 0;
    EXPECT_EQ(waitpid(first, &firstStatus, WNOHANG), 0);
    kill(first, SIGTERM);
    firstStatus = zt::test::Reap(first, &ended);
    EXPECT_TRUE(ended);
    EXPECT_TRUE(WIFEXITED(firstStatus) && WEXITSTATUS(firstStatus) == 0) << firstStatus;
    const auto lines = zt::test::QueryRows(db, "select Status from program_log order by ID");
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Zorvanite Tarnequill Pro has been started"), 1);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "Zorvanite Tarnequill Pro has been closed");
}
