// The real program on a Data folder mounted read-only (a mount namespace of its own, so root too
// meets the read-only file system): the first write that fails says so in one clear line on
// standard error, naming the file and the error, and the program runs on. Needs root and unshare.
#include "tests/support/ProgramRun.h"
#include "tests/support/TestSupport.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

TEST(ReadOnlyData, FirstFailedWriteIsOneLineOnStandardError) {
    if (!zt::test::IsRoot() || !zt::test::HaveProgram("unshare"))
        GTEST_SKIP() << "needs root and unshare";
    zt::test::TempDir dir;
    const fs::path program = zt::test::CopyProgram(dir.path());
    const fs::path data = fs::path(dir.path()) / "Data";
    zt::test::WriteHostDatabase(data, "127.0.0.1");
    const std::string mount = "mount --bind '" + data.string() + "' '" + data.string() +
                              "' && mount -o remount,bind,ro '" + data.string() + "' '" + data.string() +
                              "' && exec \"$0\"";
    const fs::path log = fs::path(dir.path()) / "output.log";
    const pid_t pid =
        zt::test::Launch(program, log, {"unshare", "-m", "--propagation", "private", "sh", "-c", mount});
    ASSERT_TRUE(zt::test::WaitUntil([&] { return zt::test::CatchesSigterm(pid); }, 30s));
    std::this_thread::sleep_for(1500ms);
    int status = 0;
    EXPECT_EQ(waitpid(pid, &status, WNOHANG), 0) << "the program did not run on";
    kill(pid, SIGTERM);
    bool ended = false;
    status = zt::test::Reap(pid, &ended);
    ASSERT_TRUE(ended);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    const std::string output = zt::test::ReadFile(log.string());
    const std::string line = "Error! The database \"" + (data / "dbm.db").string() +
                             "\" cannot be written: attempt to write a readonly database";
    std::istringstream lines(output);
    int found = 0;
    int mentions = 0;
    for (std::string text; std::getline(lines, text);) {
        found += text == line;
        mentions += text.find("cannot be written") != std::string::npos;
    }
    EXPECT_EQ(found, 1) << output;
    EXPECT_EQ(mentions, 1) << output;
    // Nothing was written.
    EXPECT_TRUE(zt::test::QueryRows(data / "dbm.db", "select Status from program_log").empty());
}
