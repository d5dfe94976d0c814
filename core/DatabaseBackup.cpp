// Backup through the engine from a read-only connection of its own: it sees the last committed state
// while the program's long transaction holds only the reserved lock (the live connection keeps its
// dirty pages in memory, see the cache_spill setting of TSQLiteDatabase::Open).
#include "core/DatabaseBackup.h"

#include "core/ProgramLog.h"
#include "core/SQLiteDb.h"

#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct TConnection {
    sqlite3* Handle = nullptr;
    ~TConnection() { sqlite3_close_v2(Handle); }
};

QString EngineText(sqlite3* Handle) {
    return QString::fromUtf8(sqlite3_errmsg(Handle));
}

bool OpenConnection(const QString& Path, int Flags, TConnection& Connection, QString& Error) {
    if (sqlite3_open_v2(Path.toUtf8().constData(), &Connection.Handle, Flags, nullptr) == SQLITE_OK)
        return true;
    Error =
        QStringLiteral("Cannot open \"%1\": %2")
            .arg(Path, Connection.Handle ? EngineText(Connection.Handle) : QStringLiteral("unknown error"));
    return false;
}

bool SyncFile(const QString& Path) {
    const int fd = ::open(Path.toUtf8().constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

bool CopyFileDate(const QString& Source, const QString& Destination) {
    struct stat info {};
    if (::stat(Source.toUtf8().constData(), &info) != 0)
        return false;
    const timespec times[2] = {info.st_atim, info.st_mtim};
    return ::utimensat(AT_FDCWD, Destination.toUtf8().constData(), times, 0) == 0;
}

// Runs the backup steps; returns the engine's final code of the step loop.
int RunSteps(sqlite3_backup* Backup, TSQLiteDatabase* Serialise, const TBackupOptions& Options,
             const std::atomic<bool>* Cancel, TBackupResult& Result) {
    using Clock = std::chrono::steady_clock;
    Clock::time_point busySince;
    bool waitingForLock = false;
    for (;;) {
        if (Cancel && Cancel->load())
            return SQLITE_INTERRUPT;
        const auto start = Clock::now();
        const int rc = Serialise ? Serialise->RunLocked([&](sqlite3*) {
            return sqlite3_backup_step(Backup, Options.PagesPerStep);
        })
                                 : sqlite3_backup_step(Backup, Options.PagesPerStep);
        const auto held = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start);
        Result.LongestStep = std::max(Result.LongestStep, held);
        ++Result.Steps;
        if (rc == SQLITE_DONE)
            return rc;
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
            if (!waitingForLock)
                busySince = Clock::now();
            waitingForLock = true;
            if (Clock::now() - busySince > std::chrono::milliseconds(Options.BusyLimitMs))
                return rc;
            ::usleep(50 * 1000);
            continue;
        }
        if (rc != SQLITE_OK)
            return rc;
        waitingForLock = false;
        if (Options.PauseMs > 0)
            ::usleep(static_cast<useconds_t>(Options.PauseMs) * 1000);
    }
}

} // namespace

TBackupResult BackupDatabaseFile(const QString& Source, const QString& Destination,
                                 TSQLiteDatabase* Serialise, const TBackupOptions& Options,
                                 const std::atomic<bool>* Cancel) {
    TBackupResult result;
    if (!QFileInfo(Source).isFile()) {
        result.Error = QStringLiteral("Cannot open \"%1\": no such file").arg(Source);
        return result;
    }
    const QString temporary = Destination + QStringLiteral(".tmp");
    QFile::remove(temporary);
    {
        TConnection source;
        TConnection destination;
        if (!OpenConnection(Source, SQLITE_OPEN_READONLY, source, result.Error) ||
            !OpenConnection(temporary, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, destination,
                            result.Error)) {
            QFile::remove(temporary);
            return result;
        }
        // The copy is synced once, after the last step and outside the connection's lock.
        sqlite3_exec(destination.Handle, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;", nullptr, nullptr,
                     nullptr);
        sqlite3_backup* backup = sqlite3_backup_init(destination.Handle, "main", source.Handle, "main");
        if (!backup) {
            result.Error = EngineText(destination.Handle);
            QFile::remove(temporary);
            return result;
        }
        const int rc = RunSteps(backup, Serialise, Options, Cancel, result);
        sqlite3_backup_finish(backup);
        if (rc != SQLITE_DONE) {
            result.Error =
                rc == SQLITE_INTERRUPT ? QStringLiteral("cancelled") : QString::fromUtf8(sqlite3_errstr(rc));
            QFile::remove(temporary);
            return result;
        }
    }
    // The engine copies pages as they are: a damaged source gives a damaged copy, which must never
    // take the place of a good one.
    const QString damage = QuickCheckDatabaseFile(temporary);
    if (!damage.isEmpty()) {
        result.Error = QStringLiteral("the copy of \"%1\" fails its check: %2").arg(Source, damage);
        QFile::remove(temporary);
        return result;
    }
    if (!SyncFile(temporary) || !CopyFileDate(Source, temporary) ||
        std::rename(temporary.toUtf8().constData(), Destination.toUtf8().constData()) != 0) {
        result.Error = QString::fromLocal8Bit(std::strerror(errno));
        QFile::remove(temporary);
        return result;
    }
    result.Ok = true;
    return result;
}

TDatabaseBackup::~TDatabaseBackup() {
    Cancel();
    Wait();
}

bool TDatabaseBackup::Start(const QString& DataFolder, TSQLiteDatabase& Live, const TBackupOptions& Options) {
    if (FRunning.exchange(true))
        return false;
    if (FThread.joinable())
        FThread.join();
    FCancel = false;
    const QString source = DataFolder + QStringLiteral("dbm.db");
    const QString destination = DataFolder + QStringLiteral("backup.db");
    FThread = std::thread([this, source, destination, &Live, Options] {
        TBackupResult result = BackupDatabaseFile(source, destination, &Live, Options, &FCancel);
        if (!result.Ok && !FCancel.load())
            AddProgramLog(Live, QStringLiteral("Error! Database backup failed: ") + result.Error);
        {
            std::lock_guard<std::mutex> guard(FResultLock);
            FResult = std::move(result);
        }
        FRunning = false;
    });
    return true;
}

TBackupResult TDatabaseBackup::Wait() {
    if (FThread.joinable())
        FThread.join();
    std::lock_guard<std::mutex> guard(FResultLock);
    return FResult;
}

void TDatabaseBackup::Cancel() {
    FCancel = true;
}
