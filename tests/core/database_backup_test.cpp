// The hourly backup (engine backup into a temporary file, renamed, with the source's date) and the
// long-transaction helpers, including a transaction the engine abandoned by itself.
#include "core/DatabaseBackup.h"
#include "core/DatabaseSchema.h"
#include "core/DatabaseTransaction.h"
#include "core/ProgramLog.h"
#include "core/SQLiteDb.h"

#include "tests/core/database_helpers.h"
#include "tests/support/TestSupport.h"

#include <QFileInfo>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

qint64 Count(TSQLiteDatabase& Db, const QString& Table) {
    return Db.OpenResultTable("select count(*) from " + Table)->FieldInt64(0);
}

QString IntegrityOf(const QString& Path) {
    TSQLiteDatabase copy(Path);
    return copy.OpenResultTable("PRAGMA integrity_check")->FieldText(0);
}

timespec ModificationTime(const std::string& Path) {
    struct stat info {};
    ::stat(Path.c_str(), &info);
    return info.st_mtim;
}

class BackupTest : public ::testing::Test {
protected:
    void SetUp() override {
        Live.Open(Q(Dir.file("dbm.db")));
        CreateMissingTables(Live);
        for (int i = 0; i < 50; ++i)
            Live.ExecuteStatement("insert into log (Date_time, L_Status, Stat_D, ID_h_d) values (?,?,?,?)",
                                  {QString::number(i), "committed", "ID", i});
    }
    void FillOpenTransaction(int Rows) {
        Live.StartTransaction();
        const QString payload(1024, QLatin1Char('x'));
        for (int i = 0; i < Rows; ++i)
            Live.ExecuteStatement("insert into syslog (Date_time, Status, IP) values (?,?,?)",
                                  {QString::number(i), payload, "127.0.0.1"});
    }

    zt::test::TempDir Dir;
    TSQLiteDatabase Live;
};

} // namespace

TEST_F(BackupTest, CopyHoldsTheLastCommitWhileALargeTransactionIsOpen) {
    FillOpenTransaction(3000); // about 3 MB of uncommitted pages
    const auto sourceTime = ModificationTime(Dir.file("dbm.db"));
    TBackupOptions options;
    options.PagesPerStep = 2;
    const TBackupResult result =
        BackupDatabaseFile(Q(Dir.file("dbm.db")), Q(Dir.file("backup.db")), &Live, options);
    ASSERT_TRUE(result.Ok) << result.Error.toStdString();
    EXPECT_GT(result.Steps, 1);
    EXPECT_EQ(IntegrityOf(Q(Dir.file("backup.db"))), "ok");
    {
        TSQLiteDatabase copy(Q(Dir.file("backup.db")));
        EXPECT_EQ(Count(copy, "log"), 50);
        EXPECT_EQ(Count(copy, "syslog"), 0);
    }
    const auto copyTime = ModificationTime(Dir.file("backup.db"));
    EXPECT_EQ(copyTime.tv_sec, sourceTime.tv_sec);
    EXPECT_EQ(copyTime.tv_nsec, sourceTime.tv_nsec);
    EXPECT_FALSE(QFileInfo::exists(Q(Dir.file("backup.db.tmp"))));
    // The live transaction was not disturbed and commits normally.
    EXPECT_TRUE(CommitLongTransaction(Live));
    EXPECT_EQ(Count(Live, "syslog"), 3000);
    ASSERT_TRUE(BackupDatabaseFile(Q(Dir.file("dbm.db")), Q(Dir.file("backup.db")), &Live).Ok);
    TSQLiteDatabase copy(Q(Dir.file("backup.db")));
    EXPECT_EQ(Count(copy, "syslog"), 3000);
}

TEST_F(BackupTest, FailedCopyLeavesTheOldBackupAlone) {
    zt::test::WriteFile(Dir.file("backup.db"), "old");
    const TBackupResult missing = BackupDatabaseFile(Q(Dir.file("none.db")), Q(Dir.file("backup.db")), &Live);
    EXPECT_FALSE(missing.Ok);
    EXPECT_FALSE(missing.Error.isEmpty());
    std::atomic<bool> cancel{true};
    EXPECT_FALSE(BackupDatabaseFile(Q(Dir.file("dbm.db")), Q(Dir.file("backup.db")), &Live, {}, &cancel).Ok);
    EXPECT_EQ(zt::test::ReadFile(Dir.file("backup.db")), "old");
    EXPECT_FALSE(QFileInfo::exists(Q(Dir.file("backup.db.tmp"))));
}

TEST_F(BackupTest, DamagedDatabaseNeverReplacesAGoodBackup) {
    ASSERT_TRUE(BackupDatabaseFile(Q(Dir.file("dbm.db")), Q(Dir.file("backup.db")), &Live).Ok);
    const std::string good = zt::test::ReadFile(Dir.file("backup.db"));
    Live.Close();
    zt::dbtest::DamageTablePage(Dir.file("dbm.db"), "log");
    Live.Open(Q(Dir.file("dbm.db")));

    TDatabaseBackup backup;
    ASSERT_TRUE(backup.Start(Q(Dir.path() + "/"), Live));
    const TBackupResult result = backup.Wait();
    EXPECT_FALSE(result.Ok);
    EXPECT_TRUE(result.Error.startsWith(
        QStringLiteral("the copy of \"%1\" fails its check: ").arg(Q(Dir.file("dbm.db")))))
        << result.Error.toStdString();
    EXPECT_TRUE(zt::test::ReadFile(Dir.file("backup.db")) == good) << "the good backup was replaced";
    EXPECT_EQ(IntegrityOf(Q(Dir.file("backup.db"))), "ok");
    EXPECT_FALSE(QFileInfo::exists(Q(Dir.file("backup.db.tmp"))));
    // One program-log line says why.
    auto log = Live.OpenResultTable("select Status from program_log");
    ASSERT_EQ(log->RowCount(), 1);
    EXPECT_EQ(log->FieldText(0), "Error! Database backup failed: " + result.Error);
}

TEST_F(BackupTest, WorkerCopiesDbmAndLogsFailures) {
    TDatabaseBackup backup;
    FillOpenTransaction(10);
    ASSERT_TRUE(backup.Start(Q(Dir.path() + "/"), Live));
    const TBackupResult result = backup.Wait();
    EXPECT_TRUE(result.Ok) << result.Error.toStdString();
    EXPECT_FALSE(backup.Running());
    EXPECT_EQ(IntegrityOf(Q(Dir.file("backup.db"))), "ok");
    Live.CommitTransaction();

    zt::test::TempDir empty;
    ASSERT_TRUE(backup.Start(Q(empty.path() + "/"), Live));
    EXPECT_FALSE(backup.Wait().Ok);
    auto log = Live.OpenResultTable("select Status from program_log");
    ASSERT_EQ(log->RowCount(), 1);
    EXPECT_TRUE(log->FieldText(0).startsWith("Error! Database backup failed: "));
}

TEST_F(BackupTest, LongTransactionCyclesAndSurvivesAnEngineRollback) {
    EXPECT_TRUE(OpenLongTransaction(Live));
    EXPECT_TRUE(OpenLongTransaction(Live)); // already open: kept
    Live.ExecuteStatement("insert into log (Date_time) values ('a')");
    EXPECT_TRUE(CycleLongTransaction(Live));
    EXPECT_TRUE(Live.InTransaction());
    Live.ExecuteStatement("insert into log (Date_time) values ('b')");
    // The engine gives the transaction up (as after an I/O error): 'b' is lost.
    Live.ExecuteStatement("ROLLBACK");
    EXPECT_FALSE(CycleLongTransaction(Live));
    EXPECT_TRUE(Live.InTransaction());
    Live.ExecuteStatement("insert into log (Date_time) values ('c')");
    EXPECT_TRUE(CommitLongTransaction(Live));
    EXPECT_FALSE(Live.InTransaction());
    EXPECT_EQ(
        Live.OpenResultTable("select count(*) from log where Date_time in ('a','b','c')")->FieldInt64(0), 2);
    auto log = Live.OpenResultTable("select Status from program_log");
    ASSERT_EQ(log->RowCount(), 1);
    EXPECT_EQ(log->FieldText(0), EngineRollbackLogText());
    // Without a database every helper fails quietly.
    TSQLiteDatabase closed;
    EXPECT_FALSE(OpenLongTransaction(closed));
    EXPECT_TRUE(CommitLongTransaction(closed));
}

TEST(ProgramLogTest, StoresAnyTextWithTheCurrentLocalTime) {
    zt::test::TempDir dir;
    TSQLiteDatabase db(Q(dir.file("dbm.db")));
    CreateMissingTables(db);
    const qint64 before = CurrentLocalUnixTime();
    const QString texts[] = {QString::fromUtf8("He said \"hi\""), "IP",
                             QString::fromUtf8("Ошибка отправки почты")};
    for (const QString& text : texts)
        AddProgramLog(db, text);
    auto rows = db.OpenResultTable("select Date_time, Status from program_log order by ID");
    ASSERT_EQ(rows->RowCount(), 3);
    for (const QString& text : texts) {
        EXPECT_EQ(rows->FieldText(1), text);
        const qint64 stamp = rows->FieldText(0).toLongLong();
        EXPECT_GE(stamp, before);
        EXPECT_LE(stamp, CurrentLocalUnixTime());
        rows->NextRow();
    }
    // Local time: UTC seconds shifted by the zone's offset.
    const QDateTime now = QDateTime::currentDateTime();
    EXPECT_NEAR(double(CurrentLocalUnixTime()), double(now.toSecsSinceEpoch() + now.offsetFromUtc()), 2.0);
    TSQLiteDatabase closed;
    AddProgramLog(closed, "nothing happens");
}
