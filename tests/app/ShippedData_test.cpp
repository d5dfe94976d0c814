// The Data folder the build puts beside the program: the repository ships only defaults, and a
// rebuild copies a shipped file only where the build's Data folder lacks it, so the database and
// anything else the program or the operator wrote there survives.
#include "tests/support/TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>

namespace fs = std::filesystem;

namespace {

std::string Quoted(const fs::path& path) {
    return "'" + path.string() + "'";
}

// Configures (once) and builds the fixture project; true when both steps succeeded.
bool BuildFixture(const fs::path& source, const fs::path& build, std::string& output) {
    int rc = 0;
    if (!fs::exists(build / "build.ninja")) {
        output = zt::test::RunCommand(
            "cmake -S " + Quoted(source) + " -B " + Quoted(build) + " -G Ninja 2>&1", &rc);
        if (rc != 0) {
            return false;
        }
    }
    output = zt::test::RunCommand("cmake --build " + Quoted(build) + " 2>&1", &rc);
    return rc == 0;
}

} // namespace

TEST(ShippedData, RepositoryShipsNoDatabaseAndNoSettingsFile) {
    const fs::path data = zt::test::SourcePath("Data");
    ASSERT_TRUE(fs::is_directory(data));
    for (const auto& entry : fs::recursive_directory_iterator(data)) {
        const std::string name = entry.path().filename().string();
        const std::string extension = entry.path().extension().string();
        EXPECT_NE(extension, ".db") << entry.path();
        // The type list is shipped data, not a settings file the program writes for the operator.
        if (entry.path() != data / "Types" / "t_config.cnfg")
            EXPECT_NE(extension, ".cnfg") << entry.path();
        EXPECT_EQ(name.find("-journal"), std::string::npos) << entry.path();
    }
    EXPECT_TRUE(fs::is_regular_file(data / "lang_files" / "English"));
    EXPECT_TRUE(fs::is_regular_file(data / "Types" / "t_config.cnfg"));
}

TEST(ShippedData, RebuildKeepsWhatTheProgramWroteAndRestoresMissingDefaults) {
    if (!zt::test::HaveProgram("cmake") || !zt::test::HaveProgram("ninja") ||
        !zt::test::HaveProgram("sqlite3")) {
        GTEST_SKIP() << "needs cmake, ninja and sqlite3";
    }
    zt::test::TempDir dir;
    const fs::path source = fs::path(dir.path()) / "src";
    const fs::path build = fs::path(dir.path()) / "build";
    fs::create_directories(source / "Data" / "lang_files");
    fs::create_directories(source / "Data" / "Types");
    zt::test::WriteFile((source / "Data" / "lang_files" / "English").string(), "shipped text\n");
    zt::test::WriteFile((source / "Data" / "Types" / "server.png").string(), "picture");
    // The same helper the program's own build uses, on a target that is rebuilt every time.
    zt::test::WriteFile(
        (source / "CMakeLists.txt").string(),
        "cmake_minimum_required(VERSION 3.25)\n"
        "project(fixture LANGUAGES NONE)\n"
        "include(\"" +
            zt::test::SourcePath("cmake/ShippedData.cmake") +
            "\")\n"
            "add_custom_target(program ALL COMMAND ${CMAKE_COMMAND} -E true)\n"
            "zt_copy_shipped_data(program ${CMAKE_SOURCE_DIR}/Data ${CMAKE_BINARY_DIR}/Data)\n");
    std::string output;
    ASSERT_TRUE(BuildFixture(source, build, output)) << output;
    const fs::path data = build / "Data";
    EXPECT_EQ(zt::test::ReadFile((data / "lang_files" / "English").string()), "shipped text\n");
    EXPECT_EQ(zt::test::ReadFile((data / "Types" / "server.png").string()), "picture");

    // The program writes its database, the operator edits a language file and loses a picture.
    const fs::path db = data / "dbm.db";
    zt::test::RunCommand(
        "sqlite3 " + Quoted(db) +
        " \"create table program_log (ID INTEGER PRIMARY KEY, Date_time TEXT, Status TEXT);"
        "insert into program_log (Date_time, Status) values ('1700000000', 'written row')\"");
    zt::test::WriteFile((data / "lang_files" / "English").string(), "operator's text\n");
    fs::remove(data / "Types" / "server.png");
    zt::test::WriteFile((source / "Data" / "lang_files" / "English").string(), "newer shipped text\n");

    ASSERT_TRUE(BuildFixture(source, build, output)) << output;
    EXPECT_EQ(zt::test::RunCommand("sqlite3 " + Quoted(db) + " \"select Status from program_log\""),
              "written row\n");
    EXPECT_EQ(zt::test::ReadFile((data / "lang_files" / "English").string()), "operator's text\n");
    EXPECT_EQ(zt::test::ReadFile((data / "Types" / "server.png").string()), "picture");
    EXPECT_FALSE(fs::exists(source / "Data" / "dbm.db"));
}
