// Running the real executable from a temporary copy in the program tests: starting it (optionally
// under a prefix such as "ip netns exec NAME"), waiting until its termination handler is in place,
// and reaping it.
#pragma once

#include "tests/support/TestSupport.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace zt::apptest {

// The program as built: tests live in <build>/tests/, the program in <build>/.
std::filesystem::path BuiltProgram();

// Starts Program (after Prefix, when given) on the offscreen platform in English, with standard
// output and standard error going to Log; returns the child's pid.
pid_t Launch(const std::filesystem::path& Program, const std::filesystem::path& Log,
             const std::vector<std::string>& Prefix = {});

// True once the process catches SIGTERM, i.e. its handler is in place.
bool CatchesSigterm(pid_t Pid);

using zt::test::WaitUntil;

// A Data folder database with the nine tables, group 1 and one enabled host (id 5) in state Unknown
// with the echo check and, when asked, the HTTP check on.
void WriteHostDatabase(const std::filesystem::path& DataFolder, const std::string& IP, bool Http = false);

// The rows of a query on a database file, each row's columns joined by "|".
std::vector<std::string> QueryRows(const std::filesystem::path& Database, const std::string& SQL);

// Waits up to Limit for the child to end; kills it when it does not. Returns the wait status.
int Reap(pid_t Pid, bool* Ended, std::chrono::milliseconds Limit = std::chrono::seconds(30));

} // namespace zt::apptest
