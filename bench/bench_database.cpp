// Database figures: the start-up host load into the host grid (10,000 and 100,000 hosts), event
// inserts inside the long transaction (against a bare reused statement), and how long the hourly backup of a
// 200 MB database keeps a GUI-thread database call waiting.
#include "core/DatabaseBackup.h"
#include "core/DatabaseLoader.h"
#include "core/DatabaseSchema.h"
#include "core/HostGrid.h"
#include "core/SQLiteDb.h"
#include "grid/GxGrid.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point Start) {
    return std::chrono::duration<double>(Clock::now() - Start).count();
}

class TQuietProgress : public IHostLoadProgress {
public:
    void SetMaximum(int) override {}
    void ShowProgress() override { Shown = true; }
    void SetPosition(int) override {}
    void SetCaption(const QString&) override { ++Captions; }
    void ProcessMessages() override {}
    void CloseProgress() override {}
    bool Shown = false;
    int Captions = 0;
};

void FillHosts(TSQLiteDatabase& Db, int Count) {
    Db.StartTransaction();
    const QStringList names = HostsColumnNames();
    QStringList marks;
    for (int i = 1; i < names.size(); ++i)
        marks.append(QStringLiteral("?"));
    const QString sql =
        QStringLiteral("insert into hosts (") + names.mid(1).join(',') + ") values (" + marks.join(',') + ")";
    for (int i = 0; i < Count; ++i) {
        QVariantList values;
        for (int c = 1; c < names.size(); ++c) {
            const QString& name = names[c];
            if (name == "host")
                values.append(QStringLiteral("Host %1").arg(i));
            else if (name == "IP")
                values.append(QStringLiteral("127.0.%1.%2").arg(i / 250 % 250).arg(i % 250 + 1));
            else if (name == "N_group")
                values.append(i % 10);
            else if (name == "HType" || name == "HType2")
                values.append(QStringLiteral("3"));
            else if (name.endsWith("check") || name.endsWith("enabled") || name == "Enabled" ||
                     name == "Alarm_en" || name == "Loop_sound" || name == "SPing_alarm")
                values.append(QStringLiteral("-1"));
            else
                values.append(QStringLiteral("0"));
        }
        Db.ExecuteStatement(sql, values);
    }
    Db.CommitTransaction();
}

void BenchHostLoad(const QString& Folder, int Count) {
    const QString path = Folder + QStringLiteral("/hosts%1.db").arg(Count);
    TSQLiteDatabase db(path);
    CreateMissingTables(db);
    FillHosts(db, Count);
    TDataGrid grid;
    CreateHostGridColumns(grid);
    TQuietProgress progress;
    const auto start = Clock::now();
    const int rows = LoadHostsIntoGrid(db, grid, &progress, QStringLiteral("Loading"));
    ShowGroupHosts(grid, QStringLiteral("0"));
    const double seconds = SecondsSince(start);
    std::printf("host load %7d hosts: %.3f s (%d rows, progress window %s, %d captions)\n", Count, seconds,
                rows, progress.Shown ? "shown" : "not shown", progress.Captions);
}

const char* const EventInsert = "insert into log (Date_time,L_Status,Stat_D,ID_h_d)values(?, ?, ?, ?)";
constexpr int EventCount = 100000;
constexpr int EventRounds = 7;

// Our layer: the engine's call with its text and values as the engine passes them (the text is
// EventInsert, as a literal).
double LayerEventInserts(const QString& Path) {
    TSQLiteDatabase db(Path);
    CreateMissingTables(db);
    CreateMissingIndexes(db);
    db.StartTransaction();
    const auto start = Clock::now();
    for (int i = 0; i < EventCount; ++i)
        db.ExecuteStatement(
            QStringLiteral("insert into log (Date_time,L_Status,Stat_D,ID_h_d)values(?, ?, ?, ?)"),
            {QString::number(1700000000 + i), QStringLiteral("Host down"), QStringLiteral("ID"), i % 1000});
    const double inserted = SecondsSince(start);
    db.CommitTransaction();
    return inserted;
}

// The anchor: the same rows through one sqlite3_stmt prepared once and reset after each row, on a
// connection opened with the same pragmas, tables and indexes.
double BareEventInserts(const QString& Path) {
    {
        TSQLiteDatabase schema(Path);
        CreateMissingTables(schema);
        CreateMissingIndexes(schema);
    }
    sqlite3* handle = nullptr;
    sqlite3_open_v2(Path.toUtf8().constData(), &handle, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_exec(handle, "PRAGMA SYNCHRONOUS=NORMAL;", nullptr, nullptr, nullptr);
    sqlite3_exec(handle, "PRAGMA temp_store = MEMORY;", nullptr, nullptr, nullptr);
    sqlite3_exec(handle, "PRAGMA cache_spill = 32768;", nullptr, nullptr, nullptr);
    sqlite3_exec(handle, "BEGIN TRANSACTION;", nullptr, nullptr, nullptr);
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(handle, EventInsert, -1, &statement, nullptr);
    const auto start = Clock::now();
    for (int i = 0; i < EventCount; ++i) {
        const QByteArray time = QByteArray::number(1700000000 + i);
        sqlite3_bind_text(statement, 1, time.constData(), time.size(), SQLITE_TRANSIENT);
        sqlite3_bind_text(statement, 2, "Host down", -1, SQLITE_STATIC);
        sqlite3_bind_text(statement, 3, "ID", -1, SQLITE_STATIC);
        sqlite3_bind_int64(statement, 4, i % 1000);
        sqlite3_step(statement);
        sqlite3_reset(statement);
    }
    const double inserted = SecondsSince(start);
    sqlite3_finalize(statement);
    sqlite3_exec(handle, "COMMIT;", nullptr, nullptr, nullptr);
    sqlite3_close(handle);
    return inserted;
}

void BenchEventInserts(const QString& Folder) {
    // Each side seven times, alternating, on files of their own; the best run of each counts, as
    // a run on this machine swings with whatever else it schedules.
    double layer = 1e9, bare = 1e9;
    for (int round = 0; round < EventRounds; ++round) {
        layer = std::min(layer, LayerEventInserts(Folder + QStringLiteral("/events%1.db").arg(round)));
        bare = std::min(bare, BareEventInserts(Folder + QStringLiteral("/bare%1.db").arg(round)));
    }
    std::printf("event inserts inside the long transaction, %d rows each (best of %d):\n", EventCount,
                EventRounds);
    std::printf("  ours (ExecuteStatement, kept prepared statement, values as QVariant): %.0f per second\n",
                EventCount / layer);
    std::printf("  anchor (one sqlite3_stmt reused, bound and reset per row, same pragmas, tables and "
                "indexes): %.0f per second\n",
                EventCount / bare);
    std::printf("  ratio ours/anchor: %.2f\n", bare / layer);
}

void BenchBackup(const QString& Folder) {
    const QString data = Folder + QStringLiteral("/data/");
    QDir().mkpath(data);
    TSQLiteDatabase db(data + QStringLiteral("dbm.db"));
    CreateMissingTables(db);
    db.StartTransaction();
    const QString payload(950, QLatin1Char('s'));
    for (int i = 0; i < 200000; ++i)
        db.ExecuteStatement(QStringLiteral("insert into syslog (Date_time,Status,IP)values(?, ?, ?)"),
                            {QString::number(i), payload, QStringLiteral("127.0.0.1")});
    db.CommitTransaction();
    const double megabytes = QFileInfo(data + QStringLiteral("dbm.db")).size() / 1048576.0;
    // The long transaction stays open with fresh writes while the backup runs.
    db.StartTransaction();
    TDatabaseBackup backup;
    const auto start = Clock::now();
    backup.Start(data, db);
    std::vector<double> waits;
    int i = 0;
    while (backup.Running()) {
        const auto call = Clock::now();
        db.ExecuteStatement(
            QStringLiteral("insert into log (Date_time,L_Status,Stat_D,ID_h_d)values(?, ?, ?, ?)"),
            {QString::number(i++), QStringLiteral("x"), QStringLiteral("ID"), 1});
        waits.push_back(SecondsSince(call) * 1000);
        QThread::msleep(2);
    }
    const TBackupResult result = backup.Wait();
    const double total = SecondsSince(start);
    db.CommitTransaction();
    std::sort(waits.begin(), waits.end());
    std::printf("backup of %.0f MB: %s in %.2f s, %d steps, longest step under the lock %.2f ms; "
                "GUI-thread calls meanwhile: %zu, median %.3f ms, longest %.2f ms\n",
                megabytes, result.Ok ? "ok" : qPrintable(result.Error), total, result.Steps,
                result.LongestStep.count() / 1000.0, waits.size(),
                waits.empty() ? 0 : waits[waits.size() / 2], waits.empty() ? 0 : waits.back());
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir folder;
    BenchHostLoad(folder.path(), 10000);
    BenchHostLoad(folder.path(), 100000);
    BenchEventInserts(folder.path());
    BenchBackup(folder.path());
    return 0;
}
