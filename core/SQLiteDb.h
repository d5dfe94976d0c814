// The program's only access to the SQLite database: a connection that runs statements and
// transactions, a result table holding a whole answer in memory, and the layer's exception.
#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVarLengthArray>
#include <QVariant>

#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <unordered_map>
#include <variant>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

// Every failure of the layer; carries only its message text.
class ESQLiteException : public std::runtime_error {
public:
    explicit ESQLiteException(const QString& Message);
    QString Message() const { return QString::fromUtf8(what()); }
};

// Values bound to the statement's "?" parameters in order. A null QVariant binds NULL, whole numbers
// bind as integers, doubles as floats, QByteArray as a blob, Booleans as the texts "-1"/"0" the
// database uses for them, anything else as its UTF-8 text.
using TSQLiteValues = QVariantList;

// Column kinds of a result table.
enum TSQLiteColumnKind { sckInteger = 1, sckFloat = 2, sckText = 3, sckBlob = 4, sckNull = 5 };

class TSQLiteTable {
public:
    ~TSQLiteTable();
    TSQLiteTable(const TSQLiteTable&) = delete;
    TSQLiteTable& operator=(const TSQLiteTable&) = delete;

    int RowCount() const { return FRowCount; }
    int ColumnCount() const { return FColumnCount; }
    bool AtEnd() const { return FCursor >= FRowCount; }
    // Advances the cursor; true also for the step past the last row, false once at the end.
    bool NextRow();
    bool FirstRow();

    int FieldIndexOf(const QString& Name) const;
    QString FieldText(int Index) const;
    QString FieldTextByName(const QString& Name) const;
    QString FieldTextOrEmpty(int Index) const;
    qint64 FieldInt64(int Index) const;
    double FieldFloat(int Index) const;
    // The blob as a stream owned by the table; nullptr for NULL.
    QBuffer* FieldStream(int Index);
    QString FieldStreamText(int Index) const;
    bool FieldIsNull(int Index) const;

    // Upper-cased column names and the kinds fixed at the first row (empty for an empty result).
    const QStringList& ColumnNames() const { return FColumnNames; }
    TSQLiteColumnKind ColumnKind(int Index) const;

private:
    friend class TSQLiteDatabase;
    using TCell = std::variant<std::monostate, qint64, double, QString, std::unique_ptr<QBuffer>>;

    TSQLiteTable() = default;
    void ReadRow(sqlite3_stmt* Statement);
    void FixColumns(sqlite3_stmt* Statement);
    const TCell& CellAt(int Index) const;

    std::vector<TCell> FCells;
    int FRowCount = 0;
    int FColumnCount = 0;
    QStringList FColumnNames;
    std::vector<TSQLiteColumnKind> FColumnKinds;
    int FCursor = 0;
};

class TSQLiteDatabase;

// The statements of one batch run by TSQLiteDatabase::RunInSavepoint: they run under the lock the
// batch already holds, so nothing of another thread comes between them.
class TSQLiteBatch {
public:
    void ExecuteStatement(const QString& SQL, const TSQLiteValues& Values = {});
    std::unique_ptr<TSQLiteTable> OpenResultTable(const QString& SQL, const TSQLiteValues& Values = {});

private:
    friend class TSQLiteDatabase;
    explicit TSQLiteBatch(TSQLiteDatabase& Database) : FDatabase(Database) {}
    TSQLiteDatabase& FDatabase;
};

class TSQLiteDatabase {
public:
    // A closed connection: every call raises until Open succeeds.
    TSQLiteDatabase() = default;
    explicit TSQLiteDatabase(const QString& FileName);
    ~TSQLiteDatabase();
    TSQLiteDatabase(const TSQLiteDatabase&) = delete;
    TSQLiteDatabase& operator=(const TSQLiteDatabase&) = delete;

    // Opens (or creates) the file, closing any earlier connection first; raises and stays closed on
    // failure.
    void Open(const QString& FileName);
    // Rolls back an open transaction, then closes.
    void Close();
    bool IsOpen() const;
    QString FileName() const;

    void ExecuteStatement(const QString& SQL, const TSQLiteValues& Values = {});
    std::unique_ptr<TSQLiteTable> OpenResultTable(const QString& SQL, const TSQLiteValues& Values = {});
    void StartTransaction();
    void CommitTransaction();
    bool HasTable(const QString& Name);
    bool InTransaction() const;

    // Commits the long transaction and opens the next under one hold of the lock when its page cache
    // holds more than CacheBytes beyond what the last such commit left (so clean pages kept by a
    // large cache_size do not commit every call). Other writers never see a moment outside the
    // transaction. True when it committed; false when there was nothing to do, when the engine had
    // rolled the transaction back by itself (left for TakeEngineRollback's caller) or when COMMIT
    // failed (the transaction stays open, as with CommitTransaction).
    bool CycleTransactionAbove(qint64 CacheBytes);
    // Bytes the connection's page cache holds now.
    qint64 PageCacheBytes() const;

    // True (once) when the engine rolled back the transaction opened by StartTransaction by itself
    // (disk full, I/O error); the flag is cleared so a new transaction can be started.
    bool TakeEngineRollback();

    // Runs one INSERT and returns the new row's id, read under the same hold of the lock as the
    // insert itself, so another thread's insert on this connection cannot be taken for it. Raises
    // when the statement inserted no row.
    qint64 ExecuteInsert(const QString& SQL, const TSQLiteValues& Values = {});
    // Runs one statement and returns how many rows it changed, read under the same hold of the
    // lock as the statement itself.
    int ExecuteCounted(const QString& SQL, const TSQLiteValues& Values = {});

    // Statements kept prepared for reuse (at most MaxCachedStatements).
    int CachedStatementCount() const;
    static constexpr int MaxCachedStatements = 64;

    // The engine's quick check of the open database: empty when it passes, else the engine's words.
    QString QuickCheck();

    // Writing that fails for the file's sake (read-only, I/O error, disk full, damaged file) is
    // reported once, when the first write fails, and once more at the first write that works again:
    // one line on standard error and one call of the hook, on the writing thread and outside the
    // connection's lock. Every failed write still raises as before.
    using TWriteStateHook = std::function<void(const QString& Line, bool Failing)>;
    void SetWriteStateHook(TWriteStateHook Hook);
    bool WritesFailing() const;

    // Runs Work with the layer's lock held and the raw handle (nullptr when closed). For work that
    // must not interleave with the connection's statements, such as one backup step.
    template <class TWork> auto RunLocked(TWork&& Work) {
        std::lock_guard<std::mutex> guard(FLock);
        return Work(FHandle);
    }

    // Runs Work as one unit: the layer's lock is held from start to end, inside a savepoint that is
    // released when Work returns and rolled back to when it raises (the exception goes on to the
    // caller). Inside the long transaction the savepoint nests in it; outside one it is its own
    // transaction. Work uses only the batch (the lock is not recursive) and never waits for
    // another thread.
    void RunInSavepoint(const std::function<void(TSQLiteBatch&)>& Work);

private:
    // What a write did to the reported state: the line to report, if any.
    struct TWriteTransition {
        QString Line;
        bool Failing = false;
    };
    friend class TSQLiteBatch;
    [[noreturn]] void RaiseSqlError(const QString& Context, const QString& SQL) const;
    // Under the lock: notes the outcome of a statement that writes; true when the state changed.
    bool NoteWriteLocked(bool Ok, TWriteTransition& Transition);
    void ReportWrite(const TWriteTransition& Transition);
    void RequireOpen() const;
    void ExecuteLocked(const QString& SQL, const TSQLiteValues& Values);
    std::unique_ptr<TSQLiteTable> OpenResultTableLocked(const QString& SQL, const TSQLiteValues& Values);
    // A statement kept prepared for its text; InUse while a lease holds it.
    struct TCachedStatement {
        sqlite3_stmt* Statement = nullptr;
        bool InUse = false;
    };
    struct TTextHash {
        std::size_t operator()(const QString& Text) const noexcept { return qHash(Text); }
    };
    // A statement in use; when the lease ends it goes back to the cache, reset and unbound (or is
    // finalized when it was prepared beside the kept one of its text). The bytes of the bound texts
    // and blobs live in the lease, so they are bound without a copy; the lease never moves.
    class TStatementLease {
    public:
        TStatementLease(TSQLiteDatabase& Database, TCachedStatement* Entry, sqlite3_stmt* Statement)
            : FDatabase(&Database), FEntry(Entry), FStatement(Statement) {}
        TStatementLease(const TStatementLease&) = delete;
        TStatementLease& operator=(const TStatementLease&) = delete;
        ~TStatementLease();
        sqlite3_stmt* Statement() const { return FStatement; }
        // Binds Value to the parameter at Position; an SQLite result code.
        int Bind(int Position, const QVariant& Value);

    private:
        TSQLiteDatabase* FDatabase;
        TCachedStatement* FEntry;
        sqlite3_stmt* FStatement;
        // Plain ASCII texts (dates, words, addresses) are copied here; others are converted apart.
        char FAscii[512];
        std::size_t FAsciiUsed = 0;
        QVarLengthArray<QByteArray, 4> FBound;
    };
    // The cached statement of this text (prepared on first use).
    TStatementLease PrepareLocked(const QString& SQL);
    // Binds Values to the lease's statement in order; raises naming SQL when one cannot be bound.
    void BindLocked(TStatementLease& Lease, const QString& SQL, const TSQLiteValues& Values) const;
    void ReleaseLocked(TCachedStatement* Entry, sqlite3_stmt* Statement) noexcept;
    // Finalizes every kept statement: at close and after any failure, so a statement never
    // outlives its connection and no failed step's state reaches the next call.
    void DropStatementsLocked() noexcept;
    void CloseLocked();

    mutable std::mutex FLock;
    sqlite3* FHandle = nullptr;
    // Prepared statements kept by their text, so the engine's repeated statements are prepared
    // once per connection instead of on every call. Its entries stay where they are while others
    // come and go, so a lease holds its entry.
    std::unordered_map<QString, TCachedStatement, TTextHash> FStatements;
    bool FInTransaction = false;
    // What the page cache held right after the last cap-driven commit.
    qint64 FCacheAfterCycle = 0;
    QString FFileName;
    bool FWritesFailing = false;
    // Set by ExecuteLocked: the last statement would have changed the file.
    bool FLastWasWrite = false;
    std::mutex FHookLock;
    TWriteStateHook FWriteStateHook;
};

// The engine's quick check of a database file opened read-only: empty when it passes, else the
// engine's words (its first findings, or why the file cannot be read).
QString QuickCheckDatabaseFile(const QString& Path);

// The program's one connection, used from the GUI thread and the worker threads.
extern TSQLiteDatabase MonitorDatabase;

// Writes "Error! <Step> failed: <What>" to the program log.
void ReportFailedStep(const char* Step, const char* What) noexcept;

// Runs one step that the caller goes on from when it fails (creating the tables at start, filling a
// log grid, storing a sample): a failure writes one program-log line and gives false.
template <class TWork> bool RunDatabaseStep(const char* Step, TWork&& Work) {
    try {
        Work();
        return true;
    } catch (const std::exception& e) {
        ReportFailedStep(Step, e.what());
        return false;
    }
}
