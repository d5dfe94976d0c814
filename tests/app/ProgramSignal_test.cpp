// The real executable, run from a temporary copy on the offscreen platform: it starts, stays up
// and ends cleanly with exit code 0 on SIGTERM or SIGINT.
#include "net/pingsend.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/TestSupport.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

using zt::test::BuiltProgram;
using zt::test::CatchesSigterm;
using zt::test::Launch;
using zt::test::Reap;
using zt::test::WaitUntil;

void ExpectCleanLog(const std::string& log) {
    for (const char* bad :
         {"AddressSanitizer", "LeakSanitizer", "runtime error:", "QThread: Destroyed", "Error in "}) {
        EXPECT_EQ(log.find(bad), std::string::npos) << "found \"" << bad << "\" in:\n" << log;
    }
}

class ProgramSignalTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fs::exists(BuiltProgram())) << BuiltProgram() << " is not built";
        program_ = zt::test::CopyProgram(dir_.path());
        log_ = fs::path(dir_.path()) / "output.log";
    }

    // Runs the copy until it is up, then sends sig; returns the output.
    std::string RunAndSend(int sig, std::chrono::milliseconds upFor = 300ms) {
        const pid_t pid = Launch(program_, log_);
        EXPECT_GT(pid, 0);
        const bool ready = WaitUntil([&] { return CatchesSigterm(pid); }, 30s);
        EXPECT_TRUE(ready) << "the program never installed its termination handler";
        std::this_thread::sleep_for(upFor);
        int status = 0;
        EXPECT_EQ(waitpid(pid, &status, WNOHANG), 0) << "the program ended by itself";
        kill(pid, sig);
        bool ended = false;
        status = Reap(pid, &ended);
        EXPECT_TRUE(ended) << "the program did not end after the signal";
        EXPECT_TRUE(WIFEXITED(status)) << "wait status " << status;
        EXPECT_EQ(WEXITSTATUS(status), 0);
        return zt::test::ReadFile(log_.string());
    }

    zt::test::TempDir dir_;
    fs::path program_;
    fs::path log_;
};

} // namespace

TEST_F(ProgramSignalTest, SigtermEndsTheProgramWithExitCodeZero) {
    fs::create_directory(fs::path(dir_.path()) / "Data");
    const std::string log = RunAndSend(SIGTERM);
    ExpectCleanLog(log);
    EXPECT_EQ(log.find("Data folder"), std::string::npos) << log;
}

TEST_F(ProgramSignalTest, SigintEndsItTooAndAMissingDataFolderIsCreated) {
    const std::string log = RunAndSend(SIGINT);
    ExpectCleanLog(log);
    EXPECT_TRUE(fs::is_directory(fs::path(dir_.path()) / "Data"));
    EXPECT_NE(log.find("Data folder"), std::string::npos) << log;
}

namespace {

std::string Sql(const fs::path& db, const std::string& statement) {
    return zt::test::RunCommand("sqlite3 '" + db.string() + "' \"" + statement + "\"");
}

} // namespace

TEST_F(ProgramSignalTest, EmptyDataFolderGetsTheNineTablesAndTheStartAndCloseLines) {
    if (!zt::test::HaveProgram("sqlite3")) {
        GTEST_SKIP() << "sqlite3 is not installed";
    }
    fs::create_directory(fs::path(dir_.path()) / "Data");
    ExpectCleanLog(RunAndSend(SIGTERM));
    const fs::path db = fs::path(dir_.path()) / "Data" / "dbm.db";
    EXPECT_EQ(Sql(db, "select name from sqlite_master where type='table' order by name"),
              "Ping_data\nhosts\nlist_group\nlog\nm_port\nprogram_log\nrealtime_traf_p\nsyslog\ntraf_p\n");
    EXPECT_EQ(Sql(db, "select name||' '||type from pragma_table_info('log')"),
              "ID INTEGER\nDate_time TEXT\nL_Status TEXT\nStat_D TEXT\nID_h_d INTEGER\n");
    // An empty Data folder has no language file either: one line says so, the built-in English stays.
    const std::string lines = Sql(db, "select Status from program_log order by ID");
    const std::string missing = "Language file \"" + dir_.path() +
                                "/Data/lang_files/English\" could not be read "
                                "(the file does not exist); the current texts are kept.\n";
    EXPECT_EQ(lines, "Zorvanite Tarnequill Pro has been started\n" + missing +
                         "Zorvanite Tarnequill Pro has been closed\n");
    EXPECT_EQ(Sql(db, "pragma integrity_check"), "ok\n");
}

TEST_F(ProgramSignalTest, StartedOnADatabaseOfHostsItMonitorsThemByItself) {
    if (!zt::test::HaveProgram("sqlite3") || !IcmpEchoAvailable()) {
        GTEST_SKIP() << "needs sqlite3 and permission for ICMP echo";
    }
    const fs::path data = fs::path(dir_.path()) / "Data";
    fs::create_directory(data);
    const fs::path db = data / "dbm.db";
    // A first run creates the schema; then one host that answers echo, in state Unknown.
    ExpectCleanLog(RunAndSend(SIGTERM));
    Sql(db, "insert into list_group (Name,N_group,parent_id) values ('All',1,'');"
            "insert into hosts (id,host,IP,Status,Enabled,Ping_check,Alarm_en,N_group,Kol_vo_p,ICMP_kol_vo_p,"
            "Http_check,Http_Kol_vo,SNMP_check) values "
            "(5,'loopback','127.0.0.1','Unknown','-1','-1','0',1,'0','0',"
            "'0',0,'0')");
    // The first pass starts 5 s after start; give it time, then end the program.
    ExpectCleanLog(RunAndSend(SIGTERM, 8000ms));
    EXPECT_EQ(Sql(db, "select Status, Kol_vo_p from hosts where id=5"), "OK|0\n");
}

namespace {

// Whether the process holds SIGTERM blocked (its main has begun and no handler is in place yet).
bool HoldsSigterm(pid_t Pid) {
    std::ifstream status("/proc/" + std::to_string(Pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("SigBlk:", 0) == 0)
            return (std::stoull(line.substr(7), nullptr, 16) >> (SIGTERM - 1)) & 1;
    return false;
}

} // namespace

TEST_F(ProgramSignalTest, SigtermDuringTheStartWaitsForTheCloseSequence) {
    if (!zt::test::HaveProgram("sqlite3")) {
        GTEST_SKIP() << "sqlite3 is not installed";
    }
    fs::create_directory(fs::path(dir_.path()) / "Data");
    const pid_t pid = Launch(program_, log_);
    ASSERT_GT(pid, 0);
    // Sent as soon as main has begun, long before the windows exist.
    // Judged only once the child runs the program: before its exec it carries this test's mask and
    // handlers.
    const auto runsProgram = [&] {
        std::error_code error;
        return fs::read_symlink("/proc/" + std::to_string(pid) + "/exe", error) == fs::path(program_);
    };
    bool held = false;
    for (int i = 0; i < 30000 && !held; ++i) {
        held = runsProgram() && (HoldsSigterm(pid) || CatchesSigterm(pid));
        if (!held)
            std::this_thread::sleep_for(1ms);
    }
    const bool early = held && !CatchesSigterm(pid);
    kill(pid, SIGTERM);
    bool ended = false;
    const int status = Reap(pid, &ended);
    ASSERT_TRUE(ended);
    EXPECT_TRUE(early) << "the signal could not be held from the first line of main";
    ASSERT_TRUE(WIFEXITED(status)) << "ended by the signal itself: wait status " << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    const fs::path db = fs::path(dir_.path()) / "Data" / "dbm.db";
    EXPECT_EQ(Sql(db, "select Status from program_log order by ID desc limit 1"),
              "Zorvanite Tarnequill Pro has been closed\n");
    EXPECT_EQ(Sql(db, "pragma integrity_check"), "ok\n");
}
