// The real executable, run from a temporary copy on the offscreen platform: it starts, stays up
// and ends cleanly with exit code 0 on SIGTERM or SIGINT.
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

// Tests live in <build>/tests/, the program in <build>/.
fs::path BuiltProgram() {
    return fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "zorvanite-tarnequill";
}

pid_t Launch(const fs::path& program, const fs::path& log) {
    const pid_t pid = fork();
    if (pid != 0) {
        return pid;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(out, STDOUT_FILENO);
    dup2(out, STDERR_FILENO);
    chdir("/");
    execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
    _exit(127);
}

// True once the process catches SIGTERM, i.e. its handler is in place.
bool CatchesSigterm(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("SigCgt:", 0) == 0) {
            const unsigned long long mask = std::stoull(line.substr(7), nullptr, 16);
            return (mask >> (SIGTERM - 1)) & 1;
        }
    }
    return false;
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (condition()) {
            return true;
        }
        std::this_thread::sleep_for(20ms);
    }
    return condition();
}

// Waits for the child to end; kills it when it does not end in time. Returns the wait status.
int Reap(pid_t pid, bool* ended) {
    int status = 0;
    *ended = WaitUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; }, 30s);
    if (!*ended) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    return status;
}

void ExpectCleanLog(const std::string& log) {
    for (const char* bad :
         {"AddressSanitizer", "LeakSanitizer", "runtime error:", "QThread: Destroyed", "Error in "}) {
        EXPECT_EQ(log.find(bad), std::string::npos) << "found \"" << bad << "\" in:\n" << log;
    }
}

class ProgramSignalTest : public ::testing::Test {
protected:
    void SetUp() override {
        const fs::path built = BuiltProgram();
        ASSERT_TRUE(fs::exists(built)) << built << " is not built";
        program_ = fs::path(dir_.path()) / "zorvanite-tarnequill";
        fs::copy_file(built, program_);
        log_ = fs::path(dir_.path()) / "output.log";
    }

    // Runs the copy until it is up, then sends sig; returns the output.
    std::string RunAndSend(int sig) {
        const pid_t pid = Launch(program_, log_);
        EXPECT_GT(pid, 0);
        const bool ready = WaitUntil([&] { return CatchesSigterm(pid); }, 30s);
        EXPECT_TRUE(ready) << "the program never installed its termination handler";
        std::this_thread::sleep_for(300ms);
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
