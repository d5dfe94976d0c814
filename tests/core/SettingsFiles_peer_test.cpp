// The start-up age clean-up as sqlite3 sees the file afterwards: rows older than now minus the days
// go, rows at exactly the limit and newer stay, in every one of the five tables.
#include "core/DatabaseSchema.h"
#include "core/SQLiteDb.h"
#include "core/SettingsFiles.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

TEST(AgeCleanUpOnDisk, Sqlite3SeesOlderRowsGoneAndTheLimitKept) {
    if (!zt::test::HaveProgram("sqlite3")) {
        GTEST_SKIP() << "sqlite3 is not installed";
    }
    zt::test::TempDir dir;
    const std::string file = dir.file("dbm.db");
    const qint64 now = 1765000000;
    const qint64 logLimit = now - 5 * 86400;
    const qint64 dataLimit = now - 15 * 86400;
    {
        TSQLiteDatabase db(QString::fromStdString(file));
        CreateMissingTables(db);
        CreateMissingIndexes(db);
        for (const char* table : {"program_log", "syslog", "log", "traf_p", "Ping_data"}) {
            const bool data = QLatin1String(table) == QLatin1String("traf_p") ||
                              QLatin1String(table) == QLatin1String("Ping_data");
            const qint64 limit = data ? dataLimit : logLimit;
            for (qint64 t : {limit - 86400, limit - 1, limit, limit + 1, now}) {
                db.ExecuteStatement(
                    QStringLiteral("insert into %1 (date_time) values (?)").arg(QLatin1String(table)),
                    {QString::number(t)});
            }
        }
        DeleteAgedRows(db, TSettings{}, now);
    }
    for (const char* table : {"program_log", "syslog", "log", "traf_p", "Ping_data"}) {
        const bool data = QLatin1String(table) == QLatin1String("traf_p") ||
                          QLatin1String(table) == QLatin1String("Ping_data");
        const qint64 limit = data ? dataLimit : logLimit;
        int rc = -1;
        const std::string out =
            zt::test::RunCommand("sqlite3 '" + file + "' 'select date_time, typeof(date_time) from " + table +
                                     " order by date_time'",
                                 &rc);
        ASSERT_EQ(rc, 0) << table;
        EXPECT_EQ(out, std::to_string(limit) + "|text\n" + std::to_string(limit + 1) + "|text\n" +
                           std::to_string(now) + "|text\n")
            << table;
    }
}
