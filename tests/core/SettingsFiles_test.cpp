// Settings.cnfg lines, the atomic writer, win_pos.cnfg and the age clean-up.
#include "core/SettingsFiles.h"

#include "core/ProgramLogSink.h"
#include "core/SQLiteDb.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

TEST(SettingsFiles, DefaultsGiveTheFortyNineLinesExactly) {
    const QByteArray text = LinesToFileText(SettingsFileLinesOf(TSettings{}));
    EXPECT_EQ(
        text,
        QByteArray("2\r\n2000\r\n10\r\n-1\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n-1\r\nmagic-wand-1.mp3\r\n0\r\n"
                   "-1\r\n-1\r\n1\r\n-1\r\n-1\r\n-1\r\n-1\r\n0\r\n-1\r\n-1\r\n-1\r\n-1\r\n0\r\n0\r\n0\r\n"
                   "158\r\n0\r\n-1\r\n192\r\n168\r\n0\r\n\r\n\r\n0\r\n-1\r\n30\r\n3\r\n\r\n0\r\n0\r\n-1\r\n"
                   "-1\r\n5\r\n15\r\nEnglish\r\n0\r\n"));
    EXPECT_EQ(FileTextToLines(text).size(), 49);
}

TEST(SettingsFiles, SaveLoadSaveIsByteIdenticalWithCyrillicText) {
    TSettings values;
    values.Delay_spin = 7;
    values.CurrentGroupText = QString::fromUtf8("Группа 1");
    values.Edit_db = QStringLiteral("/srv/db file.db");
    values.ICQ_CheckBox = true;
    values.Grid_Style_ComboBox = 0;
    const QByteArray first = LinesToFileText(SettingsFileLinesOf(values));
    TSettings loaded;
    std::vector<int> all;
    for (int i = 0; i < 49; ++i) {
        all.push_back(i);
    }
    ApplySettingsLines(FileTextToLines(first), all, loaded);
    EXPECT_EQ(loaded, values);
    EXPECT_EQ(LinesToFileText(SettingsFileLinesOf(loaded)), first);
}

TEST(SettingsFiles, FortyLinesApplyWhatIsThereAndABadLineKeepsOnlyItsDefault) {
    TSettings written;
    written.check_spin = 9;
    written.Delete_logs_CheckBox1 = false; // line 43, beyond the file
    QStringList lines = SettingsFileLinesOf(written).mid(0, 40);
    lines[9] = QStringLiteral("yes");   // bad Boolean: SysLog_CheckBox keeps its default
    lines[1] = QStringLiteral("abc");   // bad number
    lines[2] = QStringLiteral("99999"); // clamped into 2-10000
    TSettings read;
    ApplySettingsLines(lines, StartupSettingsLines(), read);
    EXPECT_EQ(read.check_spin, 9);
    EXPECT_FALSE(read.SysLog_CheckBox);
    EXPECT_TRUE(read.Up_sound_CheckBox);
    EXPECT_EQ(read.Timeout_Spin, 2000);
    EXPECT_EQ(read.ploss_spin, 10000);
    EXPECT_TRUE(read.Delete_logs_CheckBox1);
    EXPECT_EQ(read.Lang_ComboBox_Index, 0);
}

TEST(SettingsFiles, EarlyReaderTakesOnlyItsLines) {
    TSettings written;
    written.Delay_spin = 5;
    written.GroupBox2_Width = 300;
    written.check_spin = 8;
    TSettings read;
    ApplySettingsLines(SettingsFileLinesOf(written), EarlySettingsLines(), read);
    EXPECT_EQ(read.Delay_spin, 5);
    EXPECT_EQ(read.GroupBox2_Width, 300);
    EXPECT_EQ(read.check_spin, 3);
}

TEST(SettingsFiles, AtomicWriteReplacesAndLeavesNoTemporary) {
    zt::test::TempDir dir;
    const QString name = QString::fromStdString(dir.file("Settings.cnfg"));
    ASSERT_TRUE(WriteFileAtomic(name, "old\r\n"));
    ASSERT_TRUE(WriteFileAtomic(name, "new\r\n"));
    EXPECT_EQ(zt::test::ReadFile(dir.file("Settings.cnfg")), "new\r\n");
    EXPECT_EQ(QDir(QString::fromStdString(dir.path())).entryList(QDir::Files).size(), 1);
    EXPECT_FALSE(WriteFileAtomic(QString::fromStdString(dir.file("missing/x")), "x"));
    // A temporary left by a save killed half-way goes with the next save, also when that save
    // finds the file unchanged and writes nothing.
    zt::test::WriteFile(AtomicTemporaryName(name).toStdString(), "ne");
    ASSERT_TRUE(WriteFileAtomic(name, "new\r\n"));
    EXPECT_EQ(QDir(QString::fromStdString(dir.path())).entryList(QDir::Files), QStringList{"Settings.cnfg"});
}

TEST(SettingsFiles, WindowPlacementTextAndReader) {
    TWindowPlacement placement{10, 20, 480, 640, QStringLiteral("2")};
    EXPECT_EQ(WindowPlacementText(placement), QByteArray("10\r\n20\r\n480\r\n640\r\n2\r\n"));
    EXPECT_EQ(ParseWindowPlacement(WindowPlacementText(placement)), placement);
    EXPECT_FALSE(ParseWindowPlacement("10\r\n20\r\n480\r\n"));
    EXPECT_FALSE(ParseWindowPlacement("10\r\nx\r\n480\r\n640\r\n0\r\n"));
    EXPECT_EQ(ParseWindowPlacement("1\n2\n3\n4\n7\n")->WindowStateCode, QStringLiteral("0"));
}

TEST(SettingsFiles, AgeCleanUpKeepsRowsAtTheLimitAndNewer) {
    zt::test::TempDir dir;
    TSQLiteDatabase db(QString::fromStdString(dir.file("t.db")));
    const qint64 now = 1700000000;
    const qint64 limit = now - 5 * 86400;
    for (const char* table : {"program_log", "syslog", "log", "traf_p", "ping_data"}) {
        db.ExecuteStatement(QStringLiteral("create table %1 (date_time TEXT)").arg(QLatin1String(table)));
        for (qint64 t : {limit - 1, limit, limit + 1}) {
            db.ExecuteStatement(QStringLiteral("insert into %1 values (?)").arg(QLatin1String(table)),
                                {QString::number(t)});
        }
    }
    TSettings values;
    values.traff_m_data_SpinEdit = 5;
    DeleteAgedRows(db, values, now);
    for (const char* table : {"program_log", "syslog", "log", "traf_p", "ping_data"}) {
        auto rows = db.OpenResultTable(QStringLiteral("select count(*) from %1").arg(QLatin1String(table)));
        EXPECT_EQ(rows->FieldText(0), QStringLiteral("2")) << table;
    }
}

TEST(SettingsFiles, FolderListHoldsRegularFilesOnlySortedByName) {
    zt::test::TempDir dir;
    const QString folder = QString::fromStdString(dir.path());
    for (const char* name : {"zeta.wav", "Alpha.mp3", "beep.wav", ".hidden.wav"}) {
        zt::test::WriteFile(dir.file(name), "x");
    }
    ASSERT_TRUE(QDir().mkpath(folder + "/sub folder"));
    ASSERT_TRUE(QFile::link(folder + "/sub folder", folder + "/link to folder"));
    ASSERT_TRUE(QFile::link(folder + "/beep.wav", folder + "/link to beep.wav"));
    ASSERT_TRUE(QFile::link(folder + "/gone.wav", folder + "/broken link"));
    EXPECT_EQ(ListFolderFiles(folder),
              (QStringList{".hidden.wav", "Alpha.mp3", "beep.wav", "link to beep.wav", "zeta.wav"}));
    EXPECT_EQ(ListFolderFiles(folder + "/missing"), QStringList{});
}

TEST(SettingsFiles, HugeOrDeviceFilesAreRefusedWithOneLineEach) {
    zt::test::TempDir dir;
    const QString big = QString::fromStdString(dir.file("Settings.cnfg"));
    const QString device = QString::fromStdString(dir.file("GSettings.cnfg"));
    zt::test::WriteFile(dir.file("Settings.cnfg"), "");
    ASSERT_EQ(::truncate(dir.file("Settings.cnfg").c_str(), 3LL << 30), 0) << "sparse, 3 GiB";
    ASSERT_TRUE(QFile::link("/dev/zero", device));
    QStringList log;
    SetProgramLogSink([&log](const QString& Line) { log << Line; });
    for (int round = 0; round < 2; ++round) { // every reader of a file asks; the log says it once
        EXPECT_FALSE(ReadSettingsFile(big));
        EXPECT_FALSE(ReadSettingsFile(device));
    }
    SetProgramLogSink(nullptr);
    EXPECT_EQ(log,
              (QStringList{"Settings file \"" + big +
                               "\" was not read (it is larger than 1048576 bytes); the defaults are used.",
                           "Settings file \"" + device +
                               "\" was not read (it is not a regular file); the defaults are used."}));
}

TEST(SettingsFiles, ASaveOverAPipeOrDeviceReplacesItWithoutReadingIt) {
    zt::test::TempDir dir;
    const std::string pipe = dir.file("tr_ex.cnfg");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const int writer = ::open(pipe.c_str(), O_RDWR | O_CLOEXEC); // a read of it would wait for ever
    const QString device = QString::fromStdString(dir.file("lg_2.cnfg"));
    ASSERT_TRUE(QFile::link("/dev/zero", device)); // size 0, endless
    EXPECT_TRUE(WriteFileAtomic(QString::fromStdString(pipe), ""));
    EXPECT_TRUE(WriteFileAtomic(device, ""));
    ::close(writer);
    EXPECT_TRUE(QFileInfo(QString::fromStdString(pipe)).isFile() && !QFileInfo(device).isSymLink());
}
