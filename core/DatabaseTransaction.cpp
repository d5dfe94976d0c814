// Long-transaction helpers. Every database failure here is discarded after the steps that can
// still run, as the timer handlers that call them expect.
#include "core/DatabaseTransaction.h"

#include "core/ProgramLog.h"
#include "core/SQLiteDb.h"

QString EngineRollbackLogText() {
    return QStringLiteral("Error! The database rolled back the open transaction; changes since the last "
                          "commit were lost.");
}

namespace {

// Logs (once) a transaction that the engine rolled back by itself; true when it had.
bool NoticeEngineRollback(TSQLiteDatabase& Database) {
    if (!Database.TakeEngineRollback())
        return false;
    AddProgramLog(Database, EngineRollbackLogText());
    return true;
}

} // namespace

bool OpenLongTransaction(TSQLiteDatabase& Database) {
    NoticeEngineRollback(Database);
    try {
        if (!Database.InTransaction())
            Database.StartTransaction();
        return true;
    } catch (const ESQLiteException&) {
        // Ignored as the commit timer asks; the database layer reports a file that cannot be written.
        return false;
    }
}

bool CommitLongTransaction(TSQLiteDatabase& Database) {
    if (NoticeEngineRollback(Database))
        return false;
    try {
        if (Database.InTransaction())
            Database.CommitTransaction();
        return true;
    } catch (const ESQLiteException&) {
        // The engine may have given the transaction up inside the failing COMMIT itself.
        NoticeEngineRollback(Database);
        return false;
    }
}

bool CycleLongTransaction(TSQLiteDatabase& Database) {
    const bool committed = CommitLongTransaction(Database);
    if (Database.InTransaction())
        return false;
    return OpenLongTransaction(Database) && committed;
}
