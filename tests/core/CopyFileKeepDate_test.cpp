// The date-keeping file copy: contents, date, atomic replacement, refusals.
#include "core/CopyFileKeepDate.h"

#include "tests/support/TestSupport.h"

#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using zt::test::ReadFile;
using zt::test::TempDir;
using zt::test::WriteFile;

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

void SetModificationTime(const std::string& path, time_t seconds, long nanoseconds) {
    const struct timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

struct stat StatOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
    return st;
}

int FilesIn(const std::string& folder) {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) {
        ++count;
    }
    return count;
}

} // namespace

TEST(CopyFileKeepDate, ReplacesTheDestinationAndKeepsTheSourceDate) {
    TempDir dir;
    std::string big(300000, '\0');
    for (size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<char>(i * 7);
    }
    WriteFile(dir.file("src.db"), big);
    SetModificationTime(dir.file("src.db"), 1600000000, 123456789);
    chmod(dir.file("src.db").c_str(), 0640);
    WriteFile(dir.file("dest.db"), "old contents that are longer than nothing");

    CopyFileKeepDate(Q(dir.file("src.db")), Q(dir.file("dest.db")));

    EXPECT_EQ(ReadFile(dir.file("dest.db")), big);
    const struct stat st = StatOf(dir.file("dest.db"));
    EXPECT_EQ(st.st_mtim.tv_sec, 1600000000);
    EXPECT_EQ(st.st_mtim.tv_nsec, 123456789);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(FilesIn(dir.path()), 2) << "no temporary file may stay behind";
}

TEST(CopyFileKeepDate, ReplacesByRenameSoOpenReadersKeepTheOldFile) {
    TempDir dir;
    WriteFile(dir.file("src"), "new");
    WriteFile(dir.file("dest"), "old");
    const ino_t oldInode = StatOf(dir.file("dest")).st_ino;
    CopyFileKeepDate(Q(dir.file("src")), Q(dir.file("dest")));
    EXPECT_NE(StatOf(dir.file("dest")).st_ino, oldInode);
    EXPECT_EQ(ReadFile(dir.file("dest")), "new");
}

TEST(CopyFileKeepDate, CreatesAMissingDestinationAndCopiesEmptyFiles) {
    TempDir dir;
    WriteFile(dir.file("empty"), "");
    CopyFileKeepDate(Q(dir.file("empty")), Q(dir.file("copy")));
    EXPECT_TRUE(std::filesystem::exists(dir.file("copy")));
    EXPECT_EQ(ReadFile(dir.file("copy")), "");
}

TEST(CopyFileKeepDate, RefusesToCopyAFileOntoItself) {
    TempDir dir;
    WriteFile(dir.file("a"), "keep me");
    std::filesystem::create_directory(dir.file("sub"));
    const std::string viaOtherPath = dir.path() + "/sub/../a";
    EXPECT_THROW(CopyFileKeepDate(Q(dir.file("a")), Q(dir.file("a"))), EFileCopyError);
    EXPECT_THROW(CopyFileKeepDate(Q(dir.file("a")), Q(viaOtherPath)), EFileCopyError);
    ASSERT_EQ(link(dir.file("a").c_str(), dir.file("hard").c_str()), 0);
    EXPECT_THROW(CopyFileKeepDate(Q(dir.file("hard")), Q(dir.file("a"))), EFileCopyError);
    std::filesystem::create_symlink(dir.file("a"), dir.file("soft"));
    EXPECT_THROW(CopyFileKeepDate(Q(dir.file("a")), Q(dir.file("soft"))), EFileCopyError);
    EXPECT_EQ(ReadFile(dir.file("a")), "keep me");
}

TEST(CopyFileKeepDate, MissingSourceRaisesAndLeavesTheDestinationAlone) {
    TempDir dir;
    WriteFile(dir.file("dest"), "precious");
    SetModificationTime(dir.file("dest"), 1500000000, 0);
    try {
        CopyFileKeepDate(Q(dir.file("missing")), Q(dir.file("dest")));
        FAIL() << "no exception";
    } catch (const EFileCopyError& e) {
        EXPECT_NE(std::string(e.what()).find("missing"), std::string::npos) << e.what();
    }
    EXPECT_EQ(ReadFile(dir.file("dest")), "precious");
    EXPECT_EQ(StatOf(dir.file("dest")).st_mtim.tv_sec, 1500000000);
    EXPECT_EQ(FilesIn(dir.path()), 1);
}

TEST(CopyFileKeepDate, UnwritableDestinationFolderRaises) {
    TempDir dir;
    WriteFile(dir.file("src"), "x");
    EXPECT_THROW(CopyFileKeepDate(Q(dir.file("src")), Q(dir.path() + "/no/such/folder/dest")),
                 EFileCopyError);
    // A folder is not a file to copy.
    EXPECT_THROW(CopyFileKeepDate(Q(dir.path()), Q(dir.file("dest"))), EFileCopyError);
}
