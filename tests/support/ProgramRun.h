// Running the real executable from a temporary copy in the end-to-end tests and benchmarks:
// copying it with its Data folder, starting it (optionally under a prefix such as "ip netns exec
// NAME"), waiting until its termination handler is in place, reaping it, and reading its database.
#pragma once

#include "tests/support/TestSupport.h"

#include <chrono>
#include <filesystem>
#include <string>
#include <sys/types.h>
#include <vector>

namespace zt::test {

// The program as built: tests and benchmarks live in <build>/<folder>/, the program in <build>/.
std::filesystem::path BuiltProgram();

// Copies the built program into Folder; returns the copy's path.
std::filesystem::path CopyProgram(const std::filesystem::path& Folder);

// Creates Folder/Data with the shipped sub-folders of the source tree's Data folder (language
// files, sounds, type pictures) and no settings file or database; returns it.
std::filesystem::path CopyShippedData(const std::filesystem::path& Folder);

// Starts Program (after Prefix, when given) on the offscreen platform in English, with standard
// output and standard error going to Log; returns the child's pid. A Prefix of "env NAME=VALUE"
// overrides these settings.
pid_t Launch(const std::filesystem::path& Program, const std::filesystem::path& Log,
             const std::vector<std::string>& Prefix = {});

// True once the process catches SIGTERM, i.e. its handler is in place.
bool CatchesSigterm(pid_t Pid);

// A Data folder database with the nine tables, group 1 and one enabled host (id 5) in state Unknown
// with the echo check and, when asked, the HTTP check on.
void WriteHostDatabase(const std::filesystem::path& DataFolder, const std::string& IP, bool Http = false);

// The rows of a query on a database file, each row's columns joined by "|".
std::vector<std::string> QueryRows(const std::filesystem::path& Database, const std::string& SQL);

// Waits up to Limit for the child to end; kills it when it does not. Returns the wait status.
int Reap(pid_t Pid, bool* Ended, std::chrono::milliseconds Limit = std::chrono::seconds(30));

} // namespace zt::test
