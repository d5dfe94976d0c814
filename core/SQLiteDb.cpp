// The database access layer on the system's SQLite library. Every call holds the connection's own
// mutex from prepare to finalize, error text included, so any thread may use the one connection.
#include "core/SQLiteDb.h"

#include "core/ProgramLogSink.h"

#include <sqlite3.h>

#include <cstdio>
#include <utility>

TSQLiteDatabase MonitorDatabase;

namespace {

const char* const NotOpenText = "Database is not open";

// Finalizes the statement whichever way the caller leaves.
struct TStatementGuard {
    sqlite3_stmt* Statement = nullptr;
    ~TStatementGuard() { sqlite3_finalize(Statement); }
};

TSQLiteColumnKind KindOfDeclaredType(const char* Declared) {
    const QByteArray type(Declared);
    if (type == "INTEGER" || type == "BOOLEAN")
        return sckInteger;
    if (type == "NUMERIC" || type == "FLOAT" || type == "DOUBLE" || type == "REAL")
        return sckFloat;
    if (type == "BLOB")
        return sckBlob;
    return sckText;
}

TSQLiteColumnKind KindOfStorageClass(int Type) {
    switch (Type) {
    case SQLITE_INTEGER:
        return sckInteger;
    case SQLITE_FLOAT:
        return sckFloat;
    case SQLITE_BLOB:
        return sckBlob;
    case SQLITE_NULL:
        return sckNull;
    default:
        return sckText;
    }
}

// Primary result codes that say the file cannot take writes, whatever the statement.
bool IsStorageFailure(int Code) {
    switch (Code & 0xff) {
    case SQLITE_PERM:
    case SQLITE_READONLY:
    case SQLITE_IOERR:
    case SQLITE_CORRUPT:
    case SQLITE_FULL:
    case SQLITE_CANTOPEN:
    case SQLITE_PROTOCOL:
    case SQLITE_NOLFS:
    case SQLITE_NOTADB:
        return true;
    default:
        return false;
    }
}

QString QuickCheckOn(sqlite3* Handle) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(Handle, "PRAGMA quick_check(3)", -1, &statement, nullptr) != SQLITE_OK)
        return QString::fromUtf8(sqlite3_errmsg(Handle));
    TStatementGuard guard{statement};
    QStringList findings;
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW)
        findings.append(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0))));
    if (rc != SQLITE_DONE)
        findings.append(QString::fromUtf8(sqlite3_errmsg(Handle)));
    if (findings == QStringList{QStringLiteral("ok")})
        return QString();
    return findings.isEmpty() ? QStringLiteral("no answer") : findings.join(QStringLiteral("; "));
}

// Lower-cases only A-Z, as the engine's own lower() does for table names.
QString AsciiLower(const QString& Name) {
    QString lower = Name;
    for (QChar& c : lower)
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() + 32);
    return lower;
}

} // namespace

ESQLiteException::ESQLiteException(const QString& Message) : std::runtime_error(Message.toStdString()) {}

// ---------------------------------------------------------------------------------------------------
// TSQLiteTable

TSQLiteTable::~TSQLiteTable() = default;

void TSQLiteTable::FixColumns(sqlite3_stmt* Statement) {
    FColumnCount = sqlite3_column_count(Statement);
    for (int i = 0; i < FColumnCount; ++i) {
        FColumnNames.append(QString::fromUtf8(sqlite3_column_name(Statement, i)).toUpper());
        const char* declared = sqlite3_column_decltype(Statement, i);
        FColumnKinds.push_back(declared ? KindOfDeclaredType(declared)
                                        : KindOfStorageClass(sqlite3_column_type(Statement, i)));
    }
}

void TSQLiteTable::ReadRow(sqlite3_stmt* Statement) {
    if (FRowCount == 0)
        FixColumns(Statement);
    ++FRowCount;
    for (int i = 0; i < FColumnCount; ++i) {
        if (sqlite3_column_type(Statement, i) == SQLITE_NULL) {
            FCells.emplace_back(std::monostate{});
            continue;
        }
        switch (FColumnKinds[i]) {
        case sckInteger:
            FCells.emplace_back(static_cast<qint64>(sqlite3_column_int64(Statement, i)));
            break;
        case sckFloat:
            FCells.emplace_back(sqlite3_column_double(Statement, i));
            break;
        case sckBlob: {
            const void* data = sqlite3_column_blob(Statement, i);
            const int size = sqlite3_column_bytes(Statement, i);
            if (size <= 0) {
                FCells.emplace_back(std::monostate{});
                break;
            }
            auto stream = std::make_unique<QBuffer>();
            stream->setData(static_cast<const char*>(data), size);
            stream->open(QIODevice::ReadOnly);
            FCells.emplace_back(std::move(stream));
            break;
        }
        default: {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(Statement, i));
            FCells.emplace_back(QString::fromUtf8(text, sqlite3_column_bytes(Statement, i)));
            break;
        }
        }
    }
}

bool TSQLiteTable::NextRow() {
    if (AtEnd())
        return false;
    ++FCursor;
    return true;
}

bool TSQLiteTable::FirstRow() {
    if (FRowCount == 0)
        return false;
    FCursor = 0;
    return true;
}

const TSQLiteTable::TCell& TSQLiteTable::CellAt(int Index) const {
    if (AtEnd())
        throw ESQLiteException(QStringLiteral("Table is at End of File"));
    if (Index < 0 || Index >= FColumnCount)
        throw ESQLiteException(QStringLiteral("Field index out of range: %1").arg(Index));
    return FCells[static_cast<size_t>(FCursor) * FColumnCount + Index];
}

TSQLiteColumnKind TSQLiteTable::ColumnKind(int Index) const {
    if (Index < 0 || Index >= static_cast<int>(FColumnKinds.size()))
        throw ESQLiteException(QStringLiteral("Field index out of range: %1").arg(Index));
    return FColumnKinds[Index];
}

int TSQLiteTable::FieldIndexOf(const QString& Name) const {
    if (FColumnNames.isEmpty())
        throw ESQLiteException(QStringLiteral("Field ") + Name + QStringLiteral(" Not found. Empty dataset"));
    const int index = FColumnNames.indexOf(Name.toUpper());
    if (index < 0)
        throw ESQLiteException(QStringLiteral("Field not found in dataset: ") + Name);
    return index;
}

bool TSQLiteTable::FieldIsNull(int Index) const {
    return std::holds_alternative<std::monostate>(CellAt(Index));
}

QString TSQLiteTable::FieldText(int Index) const {
    const TCell& cell = CellAt(Index);
    switch (FColumnKinds[Index]) {
    case sckInteger:
        return QString::number(FieldInt64(Index));
    case sckFloat:
        return QString::number(FieldFloat(Index), 'g', 15);
    case sckBlob:
        return FieldStreamText(Index);
    case sckNull:
        return QString();
    default:
        if (const auto* text = std::get_if<QString>(&cell))
            return *text;
        return QString();
    }
}

QString TSQLiteTable::FieldTextByName(const QString& Name) const {
    return FieldText(FieldIndexOf(Name));
}

QString TSQLiteTable::FieldTextOrEmpty(int Index) const {
    if (std::holds_alternative<std::monostate>(CellAt(Index)))
        return QString();
    return FieldText(Index);
}

qint64 TSQLiteTable::FieldInt64(int Index) const {
    const TCell& cell = CellAt(Index);
    if (std::holds_alternative<std::monostate>(cell))
        return 0;
    if (const auto* value = std::get_if<qint64>(&cell))
        return *value;
    if (const auto* value = std::get_if<double>(&cell))
        return static_cast<qint64>(*value);
    throw ESQLiteException(QStringLiteral("Not an integer or numeric field"));
}

double TSQLiteTable::FieldFloat(int Index) const {
    const TCell& cell = CellAt(Index);
    if (std::holds_alternative<std::monostate>(cell))
        return 0;
    if (const auto* value = std::get_if<qint64>(&cell))
        return static_cast<double>(*value);
    if (const auto* value = std::get_if<double>(&cell))
        return *value;
    throw ESQLiteException(QStringLiteral("Not an integer or numeric field"));
}

QBuffer* TSQLiteTable::FieldStream(int Index) {
    const TCell& cell = CellAt(Index);
    if (std::holds_alternative<std::monostate>(cell))
        return nullptr;
    if (const auto* stream = std::get_if<std::unique_ptr<QBuffer>>(&cell))
        return stream->get();
    throw ESQLiteException(QStringLiteral("Not a Blob field"));
}

QString TSQLiteTable::FieldStreamText(int Index) const {
    const TCell& cell = CellAt(Index);
    if (const auto* stream = std::get_if<std::unique_ptr<QBuffer>>(&cell))
        return QString::fromUtf8((*stream)->data());
    return QString();
}

// ---------------------------------------------------------------------------------------------------
// TSQLiteDatabase

TSQLiteDatabase::TSQLiteDatabase(const QString& FileName) {
    Open(FileName);
}

TSQLiteDatabase::~TSQLiteDatabase() {
    std::lock_guard<std::mutex> guard(FLock);
    CloseLocked();
}

void TSQLiteDatabase::Open(const QString& FileName) {
    {
        std::lock_guard<std::mutex> guard(FLock);
        CloseLocked();
        sqlite3* handle = nullptr;
        const QByteArray path = FileName.toUtf8();
        const int rc =
            sqlite3_open_v2(path.constData(), &handle, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        if (rc != SQLITE_OK) {
            if (!handle)
                throw ESQLiteException(
                    QStringLiteral("Failed to open database \"%1\" : unknown error").arg(FileName));
            const QString message = QString::fromUtf8(sqlite3_errmsg(handle));
            sqlite3_close(handle);
            throw ESQLiteException(
                QStringLiteral("Failed to open database \"%1\" : %2").arg(FileName, message));
        }
        FHandle = handle;
        FFileName = FileName;
    }
    try {
        ExecuteStatement(QStringLiteral("PRAGMA SYNCHRONOUS=NORMAL;"));
        ExecuteStatement(QStringLiteral("PRAGMA temp_store = MEMORY;"));
        // Keeps the long transaction's dirty pages in memory (up to this many pages) instead of taking
        // the exclusive lock early, so a reader such as the hourly backup can go on reading meanwhile.
        // This is no bound: past it a spill that cannot take the lock lets the cache grow; writers of
        // floods bound it with CycleTransactionAbove.
        ExecuteStatement(QStringLiteral("PRAGMA cache_spill = 32768;"));
    } catch (const ESQLiteException&) {
        Close();
        throw;
    }
}

void TSQLiteDatabase::CloseLocked() {
    if (!FHandle)
        return;
    DropStatementsLocked();
    if (FInTransaction)
        sqlite3_exec(FHandle, "ROLLBACK;", nullptr, nullptr, nullptr);
    FInTransaction = false;
    sqlite3_close_v2(FHandle);
    FHandle = nullptr;
}

void TSQLiteDatabase::Close() {
    std::lock_guard<std::mutex> guard(FLock);
    CloseLocked();
}

bool TSQLiteDatabase::IsOpen() const {
    std::lock_guard<std::mutex> guard(FLock);
    return FHandle != nullptr;
}

QString TSQLiteDatabase::FileName() const {
    std::lock_guard<std::mutex> guard(FLock);
    return FFileName;
}

bool TSQLiteDatabase::InTransaction() const {
    std::lock_guard<std::mutex> guard(FLock);
    return FInTransaction;
}

void TSQLiteDatabase::RequireOpen() const {
    if (!FHandle)
        throw ESQLiteException(QString::fromLatin1(NotOpenText));
}

void TSQLiteDatabase::RaiseSqlError(const QString& Context, const QString& SQL) const {
    if (FHandle && sqlite3_errcode(FHandle) != SQLITE_OK)
        throw ESQLiteException(
            Context + QStringLiteral(" \"%1\" : %2").arg(SQL, QString::fromUtf8(sqlite3_errmsg(FHandle))));
    throw ESQLiteException(Context);
}

TSQLiteDatabase::TStatementLease::~TStatementLease() {
    if (FStatement)
        FDatabase->ReleaseLocked(FEntry, FStatement);
}

int TSQLiteDatabase::TStatementLease::Bind(int Position, const QVariant& Value) {
    if (Value.isNull())
        return sqlite3_bind_null(FStatement, Position);
    switch (Value.typeId()) {
    case QMetaType::Bool:
        return sqlite3_bind_text(FStatement, Position, Value.toBool() ? "-1" : "0", -1, SQLITE_STATIC);
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return sqlite3_bind_int64(FStatement, Position, Value.toLongLong());
    case QMetaType::ULongLong:
    case QMetaType::ULong:
        return sqlite3_bind_int64(FStatement, Position, static_cast<sqlite3_int64>(Value.toULongLong()));
    case QMetaType::Double:
    case QMetaType::Float:
        return sqlite3_bind_double(FStatement, Position, Value.toDouble());
    case QMetaType::QByteArray: {
        // Kept until the lease ends, after the bindings are cleared.
        const QByteArray& bytes = FBound.emplace_back(Value.toByteArray());
        return sqlite3_bind_blob64(FStatement, Position, bytes.constData(), bytes.size(), SQLITE_STATIC);
    }
    default: {
        const QString text = Value.toString();
        const auto length = static_cast<std::size_t>(text.size());
        if (length <= sizeof FAscii - FAsciiUsed) {
            char* out = FAscii + FAsciiUsed;
            const QChar* in = text.constData();
            std::size_t i = 0;
            while (i < length && in[i].unicode() < 0x80) {
                out[i] = static_cast<char>(in[i].unicode());
                ++i;
            }
            if (i == length) {
                FAsciiUsed += length;
                return sqlite3_bind_text64(FStatement, Position, out, length, SQLITE_STATIC, SQLITE_UTF8);
            }
        }
        const QByteArray& bytes = FBound.emplace_back(text.toUtf8());
        return sqlite3_bind_text64(FStatement, Position, bytes.constData(), bytes.size(), SQLITE_STATIC,
                                   SQLITE_UTF8);
    }
    }
}

TSQLiteDatabase::TStatementLease TSQLiteDatabase::PrepareLocked(const QString& SQL) {
    RequireOpen();
    TCachedStatement* entry = nullptr;
    sqlite3_stmt* statement = nullptr;
    auto kept = FStatements.find(SQL);
    if (kept != FStatements.end() && !kept->second.InUse) {
        entry = &kept->second;
        statement = entry->Statement;
    } else {
        const QByteArray text = SQL.toUtf8();
        if (sqlite3_prepare_v2(FHandle, text.constData(), -1, &statement, nullptr) != SQLITE_OK)
            RaiseSqlError(QStringLiteral("Error executing SQL"), SQL);
        if (!statement)
            RaiseSqlError(QStringLiteral("Could not prepare SQL statement"), SQL);
        // A second use of a text while its kept statement is in use gets one of its own.
        if (kept == FStatements.end()) {
            // Texts built from changing parts would fill the cache for good: a full cache starts
            // over, and the statements in steady use come back at their next call.
            if (FStatements.size() >= MaxCachedStatements)
                DropStatementsLocked();
            entry = &FStatements.emplace(SQL, TCachedStatement{statement, false}).first->second;
        }
    }
    if (entry)
        entry->InUse = true;
    return TStatementLease(*this, entry, statement);
}

void TSQLiteDatabase::BindLocked(TStatementLease& Lease, const QString& SQL,
                                 const TSQLiteValues& Values) const {
    for (int i = 0; i < Values.size(); ++i)
        if (Lease.Bind(i + 1, Values[i]) != SQLITE_OK)
            RaiseSqlError(QStringLiteral("Error executing SQL"), SQL);
}

void TSQLiteDatabase::ReleaseLocked(TCachedStatement* Entry, sqlite3_stmt* Statement) noexcept {
    sqlite3_reset(Statement);
    // The bound bytes go with the lease.
    sqlite3_clear_bindings(Statement);
    if (Entry)
        Entry->InUse = false;
    else
        sqlite3_finalize(Statement);
}

void TSQLiteDatabase::DropStatementsLocked() noexcept {
    // A statement in use stays until its lease ends; the calls that drop run after it.
    for (auto it = FStatements.begin(); it != FStatements.end();) {
        if (it->second.InUse) {
            ++it;
            continue;
        }
        sqlite3_finalize(it->second.Statement);
        it = FStatements.erase(it);
    }
}

int TSQLiteDatabase::CachedStatementCount() const {
    std::lock_guard<std::mutex> guard(FLock);
    return int(FStatements.size());
}

void TSQLiteDatabase::ExecuteLocked(const QString& SQL, const TSQLiteValues& Values) {
    // A statement that cannot even be prepared may be a write that meets a damaged file.
    FLastWasWrite = true;
    try {
        TStatementLease lease = PrepareLocked(SQL);
        BindLocked(lease, SQL, Values);
        FLastWasWrite = sqlite3_stmt_readonly(lease.Statement()) == 0;
        if (sqlite3_step(lease.Statement()) != SQLITE_DONE)
            RaiseSqlError(QStringLiteral("Error executing SQL statement"), SQL);
    } catch (...) {
        DropStatementsLocked();
        throw;
    }
}

bool TSQLiteDatabase::NoteWriteLocked(bool Ok, TWriteTransition& Transition) {
    if (Ok) {
        if (!FWritesFailing)
            return false;
        FWritesFailing = false;
        Transition = {QStringLiteral("The database \"%1\" can be written again.").arg(FFileName), false};
        return true;
    }
    if (FWritesFailing || !FHandle || !IsStorageFailure(sqlite3_extended_errcode(FHandle)))
        return false;
    FWritesFailing = true;
    Transition = {QStringLiteral("Error! The database \"%1\" cannot be written: %2")
                      .arg(FFileName, QString::fromUtf8(sqlite3_errmsg(FHandle))),
                  true};
    return true;
}

void TSQLiteDatabase::ReportWrite(const TWriteTransition& Transition) {
    std::fprintf(stderr, "%s\n", Transition.Line.toUtf8().constData());
    TWriteStateHook hook;
    {
        std::lock_guard<std::mutex> guard(FHookLock);
        hook = FWriteStateHook;
    }
    if (hook)
        hook(Transition.Line, Transition.Failing);
}

void TSQLiteDatabase::SetWriteStateHook(TWriteStateHook Hook) {
    std::lock_guard<std::mutex> guard(FHookLock);
    FWriteStateHook = std::move(Hook);
}

bool TSQLiteDatabase::WritesFailing() const {
    std::lock_guard<std::mutex> guard(FLock);
    return FWritesFailing;
}

void TSQLiteDatabase::ExecuteStatement(const QString& SQL, const TSQLiteValues& Values) {
    TWriteTransition transition;
    bool changed = false;
    try {
        std::lock_guard<std::mutex> guard(FLock);
        try {
            ExecuteLocked(SQL, Values);
        } catch (const ESQLiteException&) {
            changed = FLastWasWrite && NoteWriteLocked(false, transition);
            throw;
        }
        changed = FLastWasWrite && NoteWriteLocked(true, transition);
    } catch (const ESQLiteException&) {
        // The lock is left by now: the report may take locks of its own.
        if (changed)
            ReportWrite(transition);
        throw;
    }
    if (changed)
        ReportWrite(transition);
}

QString TSQLiteDatabase::QuickCheck() {
    std::lock_guard<std::mutex> guard(FLock);
    RequireOpen();
    return QuickCheckOn(FHandle);
}

QString QuickCheckDatabaseFile(const QString& Path) {
    sqlite3* handle = nullptr;
    QString words;
    if (sqlite3_open_v2(Path.toUtf8().constData(), &handle, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        words = QStringLiteral("cannot be opened: ") +
                (handle ? QString::fromUtf8(sqlite3_errmsg(handle)) : QStringLiteral("unknown error"));
    else
        words = QuickCheckOn(handle);
    sqlite3_close_v2(handle);
    return words;
}

void ReportFailedStep(const char* Step, const char* What) noexcept {
    try {
        WriteProgramLogSink(
            QStringLiteral("Error! %1 failed: %2").arg(QString::fromUtf8(Step), QString::fromUtf8(What)));
    } catch (...) {
        std::fprintf(stderr, "Error! %s failed\n", Step);
    }
}

std::unique_ptr<TSQLiteTable> TSQLiteDatabase::OpenResultTableLocked(const QString& SQL,
                                                                     const TSQLiteValues& Values) {
    try {
        TStatementLease lease = PrepareLocked(SQL);
        BindLocked(lease, SQL, Values);
        std::unique_ptr<TSQLiteTable> table(new TSQLiteTable);
        for (;;) {
            const int rc = sqlite3_step(lease.Statement());
            if (rc == SQLITE_DONE)
                break;
            if (rc == SQLITE_BUSY)
                throw ESQLiteException(QStringLiteral("Could not prepare SQL statement"));
            if (rc != SQLITE_ROW)
                RaiseSqlError(QStringLiteral("Could not retrieve data"), SQL);
            table->ReadRow(lease.Statement());
        }
        table->FCursor = 0;
        return table;
    } catch (...) {
        DropStatementsLocked();
        throw;
    }
}

std::unique_ptr<TSQLiteTable> TSQLiteDatabase::OpenResultTable(const QString& SQL,
                                                               const TSQLiteValues& Values) {
    std::lock_guard<std::mutex> guard(FLock);
    return OpenResultTableLocked(SQL, Values);
}

void TSQLiteDatabase::StartTransaction() {
    std::lock_guard<std::mutex> guard(FLock);
    RequireOpen();
    if (FInTransaction)
        throw ESQLiteException(QStringLiteral("Transaction already open"));
    ExecuteLocked(QStringLiteral("BEGIN TRANSACTION;"), {});
    FInTransaction = true;
}

void TSQLiteDatabase::CommitTransaction() {
    TWriteTransition transition;
    bool changed = false;
    try {
        std::lock_guard<std::mutex> guard(FLock);
        try {
            ExecuteLocked(QStringLiteral("COMMIT;"), {});
        } catch (const ESQLiteException&) {
            // Writing the transaction's pages is a write, although the engine calls COMMIT read-only.
            changed = NoteWriteLocked(false, transition);
            throw;
        }
        FInTransaction = false;
    } catch (const ESQLiteException&) {
        if (changed)
            ReportWrite(transition);
        throw;
    }
}

bool TSQLiteDatabase::HasTable(const QString& Name) {
    std::lock_guard<std::mutex> guard(FLock);
    const auto table = OpenResultTableLocked(
        QStringLiteral("select [sql] from sqlite_master where [type] = 'table' and lower(name) = ? "),
        {AsciiLower(Name)});
    return table->RowCount() > 0;
}

namespace {

qint64 CacheUsedLocked(sqlite3* Handle) {
    int current = 0;
    int highest = 0;
    if (!Handle || sqlite3_db_status(Handle, SQLITE_DBSTATUS_CACHE_USED, &current, &highest, 0) != SQLITE_OK)
        return 0;
    return current;
}

} // namespace

qint64 TSQLiteDatabase::PageCacheBytes() const {
    std::lock_guard<std::mutex> guard(FLock);
    return CacheUsedLocked(FHandle);
}

bool TSQLiteDatabase::CycleTransactionAbove(qint64 CacheBytes) {
    TWriteTransition transition;
    bool changed = false;
    {
        std::lock_guard<std::mutex> guard(FLock);
        if (!FHandle || !FInTransaction || sqlite3_get_autocommit(FHandle))
            return false;
        if (CacheUsedLocked(FHandle) <= FCacheAfterCycle + CacheBytes)
            return false;
        bool committed = true;
        try {
            ExecuteLocked(QStringLiteral("COMMIT;"), {});
        } catch (const ESQLiteException&) {
            // As in CommitTransaction; an engine rollback inside it is left for the commit timer.
            committed = false;
            changed = NoteWriteLocked(false, transition);
        }
        if (committed) {
            // Committed: the next transaction opens before the lock is let go.
            FInTransaction = false;
            try {
                ExecuteLocked(QStringLiteral("BEGIN TRANSACTION;"), {});
                FInTransaction = true;
            } catch (const ESQLiteException&) {
                // The commit timer opens it at its next turn, as after any failed open.
            }
            FCacheAfterCycle = CacheUsedLocked(FHandle);
            return true;
        }
    }
    if (changed)
        ReportWrite(transition);
    return false;
}

bool TSQLiteDatabase::TakeEngineRollback() {
    std::lock_guard<std::mutex> guard(FLock);
    if (!FHandle || !FInTransaction || !sqlite3_get_autocommit(FHandle))
        return false;
    FInTransaction = false;
    return true;
}

qint64 TSQLiteDatabase::ExecuteInsert(const QString& SQL, const TSQLiteValues& Values) {
    std::lock_guard<std::mutex> guard(FLock);
    ExecuteLocked(SQL, Values);
    if (sqlite3_changes(FHandle) < 1)
        throw ESQLiteException(QStringLiteral("No row was inserted: ") + SQL);
    return static_cast<qint64>(sqlite3_last_insert_rowid(FHandle));
}

int TSQLiteDatabase::ExecuteCounted(const QString& SQL, const TSQLiteValues& Values) {
    std::lock_guard<std::mutex> guard(FLock);
    ExecuteLocked(SQL, Values);
    return sqlite3_changes(FHandle);
}

void TSQLiteDatabase::RunInSavepoint(const std::function<void(TSQLiteBatch&)>& Work) {
    std::lock_guard<std::mutex> guard(FLock);
    ExecuteLocked(QStringLiteral("SAVEPOINT zt_batch;"), {});
    TSQLiteBatch batch(*this);
    try {
        Work(batch);
        ExecuteLocked(QStringLiteral("RELEASE zt_batch;"), {});
    } catch (...) {
        // When the engine already dropped the whole transaction (disk full) there is no savepoint
        // left to go back to; the batch is undone either way.
        sqlite3_exec(FHandle, "ROLLBACK TO zt_batch;", nullptr, nullptr, nullptr);
        sqlite3_exec(FHandle, "RELEASE zt_batch;", nullptr, nullptr, nullptr);
        throw;
    }
}

// ---------------------------------------------------------------------------------------------------
// TSQLiteBatch

void TSQLiteBatch::ExecuteStatement(const QString& SQL, const TSQLiteValues& Values) {
    FDatabase.ExecuteLocked(SQL, Values);
}

std::unique_ptr<TSQLiteTable> TSQLiteBatch::OpenResultTable(const QString& SQL, const TSQLiteValues& Values) {
    return FDatabase.OpenResultTableLocked(SQL, Values);
}
