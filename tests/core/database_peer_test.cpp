// The database files against real programs: the sqlite3 shell checks what the program writes and
// holds a write lock, lighttpd serves the refresh (a good database, a 404, a garbage body).
#include "core/DatabaseBackup.h"
#include "core/DatabaseLoader.h"
#include "core/DatabaseSchema.h"
#include "core/SQLiteDb.h"

#include "tests/support/TestSupport.h"

#include <QFileInfo>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <thread>

using namespace zt::test;

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

std::string Shell(const std::string& Db, const std::string& Sql, int* Rc = nullptr) {
    return RunCommand("sqlite3 '" + Db + "' \"" + Sql + "\" 2>&1", Rc);
}

std::string ExpectedTableInfo(const TTableSchema& Table) {
    std::string text;
    for (size_t i = 0; i < Table.Columns.size(); ++i) {
        const std::string type = i == 0 ? "INTEGER" : Table.Columns[i].second.toStdString();
        text += std::to_string(i) + "|" + Table.Columns[i].first.toStdString() + "|" + type + "|0||" +
                (i == 0 ? "1" : "0") + "\n";
    }
    return text;
}

QStringList LogLines(TSQLiteDatabase& Db) {
    QStringList lines;
    auto table = Db.OpenResultTable("select Status from program_log order by ID");
    for (int i = 0; i < table->RowCount(); ++i, table->NextRow())
        lines.append(table->FieldText(0));
    return lines;
}

class DatabasePeerTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveProgram("sqlite3"))
            GTEST_SKIP() << "sqlite3 shell not installed";
    }
    TDatabaseLoadContext Context() {
        TDatabaseLoadContext context;
        context.DataFolder = Q(Dir.path() + "/");
        return context;
    }
    TempDir Dir;
    TSQLiteDatabase Db;
};

} // namespace

TEST_F(DatabasePeerTest, NewDatabaseHasTheExactTables) {
    LoadDatabaseAtStart(Db, Context());
    Db.Close();
    const std::string path = Dir.file("dbm.db");
    for (const TTableSchema& table : DatabaseTables())
        EXPECT_EQ(Shell(path, "PRAGMA table_info(" + table.Name.toStdString() + ")"),
                  ExpectedTableInfo(table));
    EXPECT_EQ(Shell(path, "PRAGMA integrity_check"), "ok\n");
    EXPECT_EQ(Shell(path, "select Status from program_log"), "Zorvanite Tarnequill Pro has been started\n");
    EXPECT_THAT(Shell(path, "select name from sqlite_master where type='index' order by name"),
                ::testing::HasSubstr("idx_log_ID_h_d\n"));
}

TEST_F(DatabasePeerTest, ValuesWrittenByTheShellReadBackExactly) {
    const std::string path = Dir.file("dbm.db");
    LoadDatabaseAtStart(Db, Context());
    Db.Close();
    Shell(path,
          "insert into program_log (Date_time, Status) values ('5', 'He said \\\"hi\\\"'), ('6', 'IP'), "
          "('7', 'Сервер недоступен')");
    Db.Open(Q(path));
    EXPECT_EQ(LogLines(Db).mid(1),
              QStringList({"He said \"hi\"", "IP", QString::fromUtf8("Сервер недоступен")}));
    // And what the program writes, the shell reads as the same UTF-8 bytes.
    Db.ExecuteStatement("insert into syslog (Date_time, Status, IP) values (?,?,?)",
                        {"1", QString::fromUtf8("Ключ \"x\""), "Host"});
    Db.Close();
    EXPECT_EQ(Shell(path, "select Status || '|' || IP from syslog"), "Ключ \"x\"|Host\n");
}

TEST_F(DatabasePeerTest, AnotherProgramsWriteLockRaisesAtOnce) {
    const std::string path = Dir.file("dbm.db");
    LoadDatabaseAtStart(Db, Context());
    PeerProcess holder(
        {"sh", "-c",
         "(echo \"BEGIN EXCLUSIVE; insert into log (Date_time) values ('peer');\"; sleep 20) | "
         "sqlite3 '" +
             path + "'"});
    bool locked = false;
    for (int i = 0; i < 100 && !locked; ++i) {
        try {
            Db.OpenResultTable("select count(*) from log");
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        } catch (const ESQLiteException& e) {
            EXPECT_STREQ(e.what(), "Could not prepare SQL statement");
            locked = true;
        }
    }
    ASSERT_TRUE(locked);
    try {
        Db.ExecuteStatement("insert into log (Date_time) values ('me')");
        ADD_FAILURE() << "insert went through a foreign exclusive lock";
    } catch (const ESQLiteException& e) {
        EXPECT_EQ(std::string(e.what()), "Error executing SQL statement \"insert into log (Date_time) values "
                                         "('me')\" : database is locked");
    }
    TBackupOptions options;
    options.BusyLimitMs = 200;
    WriteFile(Dir.file("backup.db"), "previous");
    EXPECT_FALSE(BackupDatabaseFile(Q(path), Q(Dir.file("backup.db")), &Db, options).Ok);
    EXPECT_EQ(ReadFile(Dir.file("backup.db")), "previous");
    holder.stop();
    Db.ExecuteStatement("insert into log (Date_time) values ('me')");
    EXPECT_EQ(Db.OpenResultTable("select count(*) from log")->FieldInt64(0),
              1); // the peer's row was rolled back
}

TEST_F(DatabasePeerTest, BackupIsSoundWhileAnOpenTransactionExceedsTheCache) {
    const std::string path = Dir.file("dbm.db");
    LoadDatabaseAtStart(Db, Context());
    Db.StartTransaction();
    const QString payload(2048, QLatin1Char('p'));
    for (int i = 0; i < 2000; ++i) // about 4 MB, more than the default page cache
        Db.ExecuteStatement("insert into syslog (Date_time, Status, IP) values (?,?,?)",
                            {i, payload, "127.0.0.1"});
    TDatabaseBackup backup;
    ASSERT_TRUE(backup.Start(Q(Dir.path() + "/"), Db));
    const TBackupResult result = backup.Wait();
    ASSERT_TRUE(result.Ok) << result.Error.toStdString();
    EXPECT_EQ(Shell(Dir.file("backup.db"), "PRAGMA integrity_check"), "ok\n");
    EXPECT_EQ(Shell(Dir.file("backup.db"), "select count(*) from syslog"), "0\n");
    // The shell can still read the live file's committed state meanwhile.
    EXPECT_EQ(Shell(path, "select count(*) from program_log"), "1\n");
    Db.CommitTransaction();
    Db.Close();
    EXPECT_EQ(Shell(path, "PRAGMA integrity_check"), "ok\n");
    EXPECT_EQ(Shell(path, "select count(*) from syslog"), "2000\n");
}

class RefreshPeerTest : public DatabasePeerTest {
protected:
    void SetUp() override {
        DatabasePeerTest::SetUp();
        if (IsSkipped())
            return;
        if (!HaveProgram("lighttpd"))
            GTEST_SKIP() << "lighttpd not installed";
        Port = FreeTcpPort();
        RunCommand("mkdir -p '" + Web.path() + "/www'");
        const std::string good = Web.path() + "/www/good.db";
        Shell(good, "CREATE TABLE program_log (ID INTEGER PRIMARY KEY, Date_time TEXT, Status TEXT); "
                    "insert into program_log (Date_time, Status) values ('1', 'served');");
        WriteFile(Web.path() + "/www/garbage.db", "<html><body>Service unavailable</body></html>\n");
        Server = PeerProcess({PeerScript("lighttpd.sh"), Web.path(), std::to_string(Port)});
        ASSERT_TRUE(WaitForTcpPort("127.0.0.1", Port));
        Shell(Dir.file("dbm.db"),
              "CREATE TABLE program_log (ID INTEGER PRIMARY KEY, Date_time TEXT, Status TEXT); "
              "insert into program_log (Date_time, Status) values ('1', 'local');");
    }
    TDatabaseLoadResult LoadFrom(const std::string& Url) {
        TDatabaseLoadContext context = Context();
        for (int i = 0; i < 49; ++i)
            context.Settings.append("0");
        context.Settings[40] = Q(Url);
        context.Settings[41] = "-1";
        return LoadDatabaseAtStart(Db, context);
    }
    std::string Url(const std::string& Name) const {
        return "http://127.0.0.1:" + std::to_string(Port) + "/" + Name;
    }
    TempDir Web;
    PeerProcess Server;
    int Port = 0;
};

TEST_F(RefreshPeerTest, GoodDatabaseIsFetchedAndOpened) {
    const TDatabaseLoadResult result = LoadFrom(Url("good.db"));
    EXPECT_TRUE(result.Refreshed);
    EXPECT_EQ(result.OpenedFile, Q(Dir.file("ndbm.db")));
    EXPECT_EQ(LogLines(Db), QStringList({"served", "Zorvanite Tarnequill Pro has been started"}));
    Db.Close();
    EXPECT_EQ(Shell(Dir.file("ndbm.db"), "PRAGMA integrity_check"), "ok\n");
    EXPECT_EQ(Shell(Dir.file("dbm.db"), "select Status from program_log"), "local\n");
}

TEST_F(RefreshPeerTest, FailedFetchesKeepAWorkingDatabase) {
    const std::string unreachable = "http://127.0.0.1:" + std::to_string(FreeTcpPort()) + "/good.db";
    for (const std::string& url : {Url("missing.db"), Url("garbage.db"), unreachable}) {
        const TDatabaseLoadResult result = LoadFrom(url);
        EXPECT_FALSE(result.Refreshed) << url;
        EXPECT_EQ(result.OpenedFile, Q(Dir.file("dbm.db"))) << url;
        const QStringList log = LogLines(Db);
        ASSERT_GE(log.size(), 3);
        EXPECT_TRUE(
            log[log.size() - 2].startsWith(Q("Error! Failed to refresh the database from " + url + ": ")))
            << log[log.size() - 2].toStdString();
        EXPECT_EQ(log.last(), "Zorvanite Tarnequill Pro has been started");
        Db.ExecuteStatement("insert into hosts (host) values ('still works')");
        Db.Close();
        EXPECT_FALSE(QFileInfo::exists(Q(Dir.file("ndbm.db"))));
    }
    EXPECT_THAT(LoadFrom(Url("missing.db")).OpenedFile.toStdString(), ::testing::EndsWith("dbm.db"));
}

TEST_F(RefreshPeerTest, AnswerLargerThanTheLimitIsRefused) {
    const std::string served = ReadFile(Web.path() + "/www/good.db");
    ASSERT_GT(served.size(), 1024u);
    int code = 0;
    QString error;
    EXPECT_FALSE(FetchDatabaseOverHttp(Q(Url("good.db")), Q(Dir.file("fetched.db")), code, error, 1024));
    EXPECT_EQ(error, "the answer is larger than 1024 bytes");
    EXPECT_FALSE(QFileInfo::exists(Q(Dir.file("fetched.db"))));
    EXPECT_TRUE(FetchDatabaseOverHttp(Q(Url("good.db")), Q(Dir.file("fetched.db")), code, error,
                                      qint64(served.size())))
        << error.toStdString();
    EXPECT_EQ(code, 200);
    EXPECT_TRUE(ReadFile(Dir.file("fetched.db")) == served);
    EXPECT_EQ(DatabaseFetchBodyLimit, 512LL * 1024 * 1024);
}
