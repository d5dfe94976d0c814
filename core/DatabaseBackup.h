// The hourly copy of the database file: the engine's backup interface into a temporary file that is
// renamed over the copy, so the copy is always a whole, consistent database with the source's date.
#pragma once

#include <QString>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

class TSQLiteDatabase;

struct TBackupOptions {
    // Pages copied per step; each step runs under the connection's lock, so this bounds how long
    // any other database call (the GUI thread's too) can wait for the backup.
    int PagesPerStep = 64;
    // Pause between steps, letting the other users of the connection in.
    int PauseMs = 1;
    // How long a locked source (another program writing) is waited for before giving up.
    int BusyLimitMs = 60000;
};

struct TBackupResult {
    bool Ok = false;
    QString Error;
    int Steps = 0;
    // The longest time one step held the connection's lock.
    std::chrono::microseconds LongestStep{0};
};

// Copies the database file Source to Destination; a copy that fails the engine's quick check is
// dropped and Destination stays as it was. Serialise, when given, is the live connection:
// each step runs under its lock so the copy never meets the program's own commit half-way. Reads the
// last committed state, also while the long transaction is open. Cancel stops it between steps.
TBackupResult BackupDatabaseFile(const QString& Source, const QString& Destination,
                                 TSQLiteDatabase* Serialise, const TBackupOptions& Options = {},
                                 const std::atomic<bool>* Cancel = nullptr);

// The hourly backup on a worker thread of its own, so the GUI thread's timer handler returns at once.
class TDatabaseBackup {
public:
    TDatabaseBackup() = default;
    // Cancels a backup under way and waits for its thread.
    ~TDatabaseBackup();
    TDatabaseBackup(const TDatabaseBackup&) = delete;
    TDatabaseBackup& operator=(const TDatabaseBackup&) = delete;

    // Starts copying <DataFolder>dbm.db to <DataFolder>backup.db unless a copy is still running
    // (false then). A failure is written to the program log.
    bool Start(const QString& DataFolder, TSQLiteDatabase& Live, const TBackupOptions& Options = {});
    bool Running() const { return FRunning.load(); }
    // Waits for the running copy to end; returns its result.
    TBackupResult Wait();
    void Cancel();

private:
    std::thread FThread;
    std::atomic<bool> FRunning{false};
    std::atomic<bool> FCancel{false};
    std::mutex FResultLock;
    TBackupResult FResult;
};
