// The long transaction that holds all writes between two commits: opened at start, committed and
// reopened by the commit timer, committed at Stop and shut-down. The timers belong to the windows.
#pragma once

#include <QString>

class TSQLiteDatabase;

// The program-log line written when the engine abandoned the open transaction by itself.
QString EngineRollbackLogText();

// Opens the long transaction unless one is open. False when it could not be opened.
bool OpenLongTransaction(TSQLiteDatabase& Database);
// Commits the open transaction. When the engine rolled it back by itself (disk full, I/O error),
// logs that instead and clears the flag, so the next cycle opens a new one. False on failure; a
// failed COMMIT (another process holding a lock) keeps the transaction for the next cycle.
bool CommitLongTransaction(TSQLiteDatabase& Database);
// One cycle of the commit timer: commit, then open a new transaction once none is open.
bool CycleLongTransaction(TSQLiteDatabase& Database);
