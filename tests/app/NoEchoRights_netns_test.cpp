// The real program without the right to send ICMP echo (no CAP_NET_RAW, and unprivileged echo closed
// in a namespace of tests/peers/netns-noecho.sh): the operator is told once at start, and the echo
// checks are skipped, so no host counts as failing. Needs root, setpriv and sysctl.
#include "tests/support/ProgramRun.h"
#include "tests/support/TestSupport.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

const std::string kRefused = "ICMP echo is not permitted: neither ICMP datagram sockets nor raw sockets can "
                             "be opened. Echo checks are "
                             "skipped until echo requests can be sent (give the program cap_net_raw, or open "
                             "net.ipv4.ping_group_range "
                             "to its group).";

// The namespace of netns-noecho.sh for the lifetime of the object.
class NoEchoNetns {
public:
    NoEchoNetns() : name_("zt-noecho-" + std::to_string(::getpid())) {
        int rc = -1;
        output_ =
            zt::test::RunCommand(zt::test::PeerScript("netns-noecho.sh") + " setup " + name_ + " 2>&1", &rc);
        ready_ = rc == 0;
    }
    ~NoEchoNetns() {
        zt::test::RunCommand(zt::test::PeerScript("netns-noecho.sh") + " teardown " + name_ + " 2>&1");
    }
    bool ready_ = false;
    std::string name_;
    std::string output_;
};

} // namespace

TEST(NoEchoRights, OperatorIsToldAndNoHostCountsAsFailing) {
    if (!zt::test::IsRoot() || !zt::test::HaveProgram("setpriv") || !zt::test::HaveProgram("sysctl"))
        GTEST_SKIP() << "needs root, setpriv and sysctl";
    NoEchoNetns netns;
    ASSERT_TRUE(netns.ready_) << netns.output_;
    zt::test::TempDir dir;
    const fs::path program = zt::test::CopyProgram(dir.path());
    const fs::path data = fs::path(dir.path()) / "Data";
    zt::test::WriteHostDatabase(data, "127.0.0.1");
    const fs::path log = fs::path(dir.path()) / "output.log";
    const pid_t pid = zt::test::Launch(
        program, log,
        {"ip", "netns", "exec", netns.name_, "setpriv", "--inh-caps=-net_raw", "--bounding-set=-net_raw"});
    ASSERT_TRUE(zt::test::WaitUntil([&] { return zt::test::CatchesSigterm(pid); }, 30s));
    // Two passes: the first starts 5 s after the start, the next 2 s after it.
    std::this_thread::sleep_for(9000ms);
    kill(pid, SIGTERM);
    bool ended = false;
    const int status = zt::test::Reap(pid, &ended);
    ASSERT_TRUE(ended);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    const std::string output = zt::test::ReadFile(log.string());
    // Offscreen, the message box's text goes to standard error.
    EXPECT_NE(output.find("Message: " + kRefused + "\n"), std::string::npos) << output;
    const fs::path db = data / "dbm.db";
    const auto lines = zt::test::QueryRows(db, "select Status from program_log order by ID");
    EXPECT_EQ(std::count(lines.begin(), lines.end(), kRefused), 1);
    EXPECT_EQ(zt::test::QueryRows(db, "select Status, Kol_vo_p, ICMP_kol_vo_p, ICMP_Status from hosts"),
              std::vector<std::string>{"Unknown|0|0|"});
    EXPECT_TRUE(zt::test::QueryRows(db, "select Stat_D from log").empty());
}
