// The real program monitoring a host by a name whose DNS server never answers (in a namespace of
// tests/peers/netns-dns.sh): Exit (SIGTERM) while the check waits on the name still ends the program
// within 2 s, cleanly. Needs root.
#include "tests/support/ProgramRun.h"
#include "tests/support/TestSupport.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <thread>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

TEST(ExitDuringResolve, ExitWhileTheCheckWaitsOnAnUnansweredNameTakesUnderTwoSeconds) {
    if (!zt::test::IsRoot())
        GTEST_SKIP() << "needs root";
    zt::test::SilentDnsNetns netns;
    ASSERT_TRUE(netns.Ready()) << netns.Output();
    zt::test::TempDir dir;
    const fs::path program = zt::test::CopyProgram(dir.path());
    zt::test::WriteHostDatabase(fs::path(dir.path()) / "Data", "never-answered.example", true);
    const fs::path log = fs::path(dir.path()) / "output.log";
    const pid_t pid = zt::test::Launch(program, log, {"ip", "netns", "exec", netns.Name()});
    ASSERT_TRUE(zt::test::WaitUntil([&] { return zt::test::CatchesSigterm(pid); }, 30s));
    // The first pass starts 5 s after the start; its echo check then waits on the name.
    std::this_thread::sleep_for(6500ms);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, WNOHANG), 0) << zt::test::ReadFile(log.string());
    const auto signalled = std::chrono::steady_clock::now();
    kill(pid, SIGTERM);
    bool ended = false;
    status = zt::test::Reap(pid, &ended, 30s);
    const auto took =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - signalled);
    ASSERT_TRUE(ended);
    std::printf("Exit took %lld ms\n", static_cast<long long>(took.count()));
    EXPECT_LT(took.count(), 2000) << "Exit took " << took.count() << " ms";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    const auto lines = zt::test::QueryRows(fs::path(dir.path()) / "Data" / "dbm.db",
                                           "select Status from program_log order by ID");
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "Zorvanite Tarnequill Pro has been closed") << zt::test::ReadFile(log.string());
}
