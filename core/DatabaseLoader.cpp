// Start-up load of the database. Every step is guarded on its own: a failure ends that step only,
// and the host load counters are marked finished on every way out.
#include "core/DatabaseLoader.h"

#include "core/CopyFileKeepDate.h"
#include "core/DatabaseSchema.h"
#include "core/HostGrid.h"
#include "core/HostStore.h"
#include "core/LangLines.h"
#include "core/LangTexts.h"
#include "core/ProgramLog.h"
#include "core/ProgramLogSink.h"
#include "core/SQLiteDb.h"
#include "core/TextConversions.h"
#include "net/httpsend.h"

#include <QFile>
#include <QHash>

#include <algorithm>
#include <cstdio>
#include <map>

THostLoadCounters HostLoadCounters;

void THostLoadCounters::Reset() {
    LastRow = 0;
    FilledRow = -1;
}

void THostLoadCounters::MarkFinished() {
    FilledRow = LastRow.load();
}

QString StartMessageText() {
    return QStringLiteral("Zorvanite Tarnequill Pro has been started");
}
QString LoadFailedText() {
    return QStringLiteral("Error! Failed to load database!");
}

bool TextToBoolean(const QString& Text, bool& Value) {
    // The stored forms first: no float parse for the millions of cells a large load reads.
    if (Text.size() <= 2) {
        if (Text == QLatin1String("-1") || Text == QLatin1String("1")) {
            Value = true;
            return true;
        }
        if (Text == QLatin1String("0")) {
            Value = false;
            return true;
        }
    }
    const QString text = Text.trimmed();
    if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0) {
        Value = true;
        return true;
    }
    if (text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0) {
        Value = false;
        return true;
    }
    bool ok = false;
    const double number = text.toDouble(&ok);
    if (!ok)
        return false;
    Value = number != 0;
    return true;
}

namespace {

// A line for the program log; while no database is open it goes to the program-log sink instead.
void LogLine(TSQLiteDatabase& Database, const QString& Text) {
    if (Database.IsOpen()) {
        AddProgramLog(Database, Text);
        return;
    }
    WriteProgramLogSink(Text);
}

// ---------------------------------------------------------------------------------------------------
// Refresh of the database from a shared file or web address.

bool HasSqliteHeader(const QString& Path) {
    QFile file(Path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return file.read(16) == QByteArray("SQLite format 3\0", 16);
}

// Opens the candidate read-only and runs the engine's quick check.
bool PassesQuickCheck(const QString& Path, QString& Error) {
    const QString damage = QuickCheckDatabaseFile(Path);
    if (damage.isEmpty())
        return true;
    Error = QStringLiteral("not a sound database (%1)").arg(damage);
    return false;
}

// Fetches or copies Source into a temporary file; true when it holds a whole SQLite database.
bool FetchCandidate(const TDatabaseLoadContext& Context, const QString& Source, const QString& Temporary,
                    QString& Error) {
    if (Source.contains(QLatin1String("http"))) {
        const TDatabaseFetchFunction fetch =
            Context.Fetch ? Context.Fetch
                          : TDatabaseFetchFunction(
                                [](const QString& Url, const QString& Path, int& Code, QString& Error) {
                                    return FetchDatabaseOverHttp(Url, Path, Code, Error);
                                });
        int resultCode = 0;
        if (!fetch(Source, Temporary, resultCode, Error))
            return false;
        if (resultCode != 200) {
            Error = QStringLiteral("HTTP status %1").arg(resultCode);
            return false;
        }
    } else {
        try {
            CopyFileKeepDate(Source, Temporary);
        } catch (const std::exception& e) {
            Error = QString::fromUtf8(e.what());
            return false;
        }
    }
    if (!HasSqliteHeader(Temporary)) {
        Error = QStringLiteral("not an SQLite database");
        return false;
    }
    return PassesQuickCheck(Temporary, Error);
}

// Puts a checked candidate in place as ndbm.db. A journal left beside an older ndbm.db would be
// replayed into the new file, so it goes first.
bool InstallCandidate(const QString& Temporary, const QString& Target, QString& Error) {
    for (const char* suffix : {"-journal", "-wal", "-shm"})
        QFile::remove(Target + QLatin1String(suffix));
    if (std::rename(Temporary.toUtf8().constData(), Target.toUtf8().constData()) == 0)
        return true;
    Error = QStringLiteral("cannot replace %1").arg(Target);
    return false;
}

bool RefreshDatabase(const TDatabaseLoadContext& Context, const QString& Source, QString& Error) {
    const QString target = Context.DataFolder + QStringLiteral("ndbm.db");
    const QString temporary = target + QStringLiteral(".part");
    QFile::remove(temporary);
    const bool ok =
        FetchCandidate(Context, Source, temporary, Error) && InstallCandidate(temporary, target, Error);
    QFile::remove(temporary);
    return ok;
}

// Opens Path; Reason says why not.
bool TryOpen(TSQLiteDatabase& Database, const QString& Path, QString& Reason) {
    try {
        Database.Open(Path);
        return true;
    } catch (const ESQLiteException& e) {
        Reason = QStringLiteral("The database \"%1\" could not be opened: %2").arg(Path, e.Message());
        return false;
    }
}

QString DamagedDatabaseText(const QString& Path, const QString& Words) {
    return QStringLiteral("Error! The database \"%1\" is damaged: %2").arg(Path, Words);
}

// The operator hears of a damaged database before the program writes to it: one program-log line
// and a message.
void ReportDamage(TSQLiteDatabase& Database, const TDatabaseLoadContext& Context, const QString& Path) {
    QString words;
    RunDatabaseStep("checking the database", [&] { words = Database.QuickCheck(); });
    if (words.isEmpty())
        return;
    const QString text = DamagedDatabaseText(Path, words);
    AddProgramLog(Database, text);
    if (Context.ShowMessage)
        Context.ShowMessage(text);
    else
        std::fprintf(stderr, "%s\n", text.toUtf8().constData());
}

// ---------------------------------------------------------------------------------------------------
// Group tree.

struct TGroupRow {
    QString Name;
    QString Group;
    QString Parent;
    bool Placed = false;
    bool ParentLookedUp = false;
    bool ParentExists = false;
    QString ParentGroup; // N_group of the parent row found
};

std::vector<TGroupRow> ReadGroupRows(TSQLiteDatabase& Database) {
    std::vector<TGroupRow> rows;
    auto table = THostStore(Database).SelectGroups();
    for (int i = 0; i < table->RowCount(); ++i, table->NextRow())
        rows.push_back({table->FieldTextOrEmpty(1), table->FieldTextOrEmpty(2), table->FieldTextOrEmpty(3),
                        false, false, false, QString()});
    return rows;
}

// The N_group of the first group whose N_group matches the row's parent text, as the engine compares.
void LookUpParent(TSQLiteDatabase& Database, TGroupRow& Row) {
    if (Row.ParentLookedUp)
        return;
    Row.ParentLookedUp = true;
    try {
        auto parent = THostStore(Database).SelectGroupByNumber(Row.Parent);
        if (parent->RowCount() == 0)
            return;
        Row.ParentExists = true;
        Row.ParentGroup = parent->FieldTextOrEmpty(2);
    } catch (const ESQLiteException&) {
        // Silent as the start-up load asks: a row whose parent query fails is skipped.
    }
}

// The tree being built and, per group number, its node: rows sharing a number are one group, shown
// once, so every group has exactly one node.
struct TTreeBuild {
    TGroupTree Tree;
    QHash<QString, int> NodeOfGroup;
};

// Places the row under ParentIndex (-1: top level), unless its number already has a node.
void AddNode(TTreeBuild& Build, TGroupRow& Row, int ParentIndex) {
    Row.Placed = true;
    if (Build.NodeOfGroup.contains(Row.Group))
        return;
    Build.NodeOfGroup.insert(Row.Group, static_cast<int>(Build.Tree.size()));
    TGroupTreeNode node;
    node.ParentIndex = ParentIndex;
    node.Caption = Row.Name;
    node.Record = std::make_shared<TGroupNodeRecord>(TGroupNodeRecord{Row.Name, Row.Parent, Row.Group});
    Build.Tree.push_back(std::move(node));
}

// One walk over the unplaced child rows; a row goes under the node of its parent's number once that
// node exists. Returns how many rows were placed.
int AttachChildren(TSQLiteDatabase& Database, std::vector<TGroupRow>& Rows, TTreeBuild& Build) {
    int placed = 0;
    for (TGroupRow& row : Rows) {
        if (row.Placed)
            continue;
        LookUpParent(Database, row);
        if (!row.ParentExists)
            continue;
        const auto parent = Build.NodeOfGroup.constFind(row.ParentGroup);
        if (parent == Build.NodeOfGroup.constEnd())
            continue;
        AddNode(Build, row, parent.value());
        ++placed;
    }
    return placed;
}

// After attaching stalls: groups whose parent is not stored go to top level; failing those (a parent
// cycle), the first remaining group does, so every group is shown.
bool PlaceOrphans(std::vector<TGroupRow>& Rows, TTreeBuild& Build) {
    bool any = false;
    for (TGroupRow& row : Rows)
        if (!row.Placed && !row.ParentExists) {
            AddNode(Build, row, -1);
            any = true;
        }
    if (any)
        return true;
    for (TGroupRow& row : Rows)
        if (!row.Placed) {
            AddNode(Build, row, -1);
            return true;
        }
    return false;
}

// ---------------------------------------------------------------------------------------------------
// Steps of the load.

void ReadStartSettings(const QStringList& Settings, TDatabaseLoadResult& Result) {
    if (Settings.size() <= 41)
        return;
    bool synchronize = false;
    if (!TextToBoolean(Settings[41], synchronize))
        return;
    Result.SynchronizeDb = synchronize;
    Result.EditDb = Settings[40];
}

void CreateTablesStep(TSQLiteDatabase& Database) {
    try {
        Database.ExecuteStatement(QStringLiteral("PRAGMA auto_vacuum = 1"));
    } catch (const ESQLiteException&) {
        // Silent as the start-up load asks: the database works the same without it.
    }
    RunDatabaseStep("creating the missing tables", [&] { CreateMissingTables(Database); });
    CreateMissingIndexes(Database);
}

void GroupTreeStep(TSQLiteDatabase& Database, const TDatabaseLoadContext& Context,
                   TDatabaseLoadResult& Result) {
    TGroupTree tree;
    RunDatabaseStep("building the group tree", [&] { tree = BuildGroupTree(Database); });
    Result.HasGroups = !tree.empty();
    if (Result.HasGroups) {
        Result.FirstGroup = tree.front().Record->Group;
        Result.SelectedGroup = static_cast<int>(TextToInt64(Result.FirstGroup));
    }
    if (Context.GroupTree) {
        Context.GroupTree->ShowGroupTree(tree);
        Context.GroupTree->RestoreTreeExpansion();
    }
}

// Steps 8 and 9: each failure ends its own step only.
void HostStep(TSQLiteDatabase& Database, const TDatabaseLoadContext& Context, TDatabaseLoadResult& Result) {
    TDataGrid& grid = *Context.HostGrid;
    try {
        const QString text =
            Context.ProgressText.isEmpty() ? LangText(LangLine::HostLoadProgress) : Context.ProgressText;
        Result.HostRows = LoadHostsIntoGrid(Database, grid, Context.Progress, text);
    } catch (const std::exception& e) {
        LogLine(Database, QStringLiteral("Error! Failed to load the hosts: ") + QString::fromUtf8(e.what()));
    }
    HostLoadCounters.MarkFinished();
    RunDatabaseStep("showing the hosts of the first group", [&] {
        if (Result.HasGroups)
            ShowGroupHosts(grid, Result.FirstGroup);
        else
            ShowAllHosts(grid);
    });
}

} // namespace

bool FetchDatabaseOverHttp(const QString& Url, const QString& FilePath, int& ResultCode, QString& Error) {
    return FetchDatabaseOverHttp(Url, FilePath, ResultCode, Error, DatabaseFetchBodyLimit);
}

bool FetchDatabaseOverHttp(const QString& Url, const QString& FilePath, int& ResultCode, QString& Error,
                           qint64 MaxBytes) {
    THTTPSend http;
    http.MaxBodySize = static_cast<std::size_t>(std::max<qint64>(MaxBytes, 1));
    const bool answered = http.ExecuteMethod("GET", Url.toStdString());
    ResultCode = http.ResultCode;
    if (!answered && http.AnswerError() == WSAENOBUFS) {
        Error = QStringLiteral("the answer is larger than %1 bytes").arg(MaxBytes);
        return false;
    }
    if (!answered) {
        Error = QStringLiteral("no answer (socket error %1)").arg(http.Sock.LastError());
        return false;
    }
    QFile file(FilePath);
    const std::string& body = http.Document.Bytes();
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(body.data(), static_cast<qint64>(body.size())) != static_cast<qint64>(body.size()) ||
        !file.flush()) {
        Error = QStringLiteral("cannot write %1").arg(FilePath);
        return false;
    }
    return true;
}

TGroupTree BuildGroupTree(TSQLiteDatabase& Database) {
    std::vector<TGroupRow> rows = ReadGroupRows(Database);
    TTreeBuild build;
    for (TGroupRow& row : rows)
        if (row.Parent.isEmpty())
            AddNode(build, row, -1);
    for (size_t guard = 0; guard <= rows.size(); ++guard) {
        while (AttachChildren(Database, rows, build) > 0) {
        }
        if (!PlaceOrphans(rows, build))
            break;
    }
    return std::move(build.Tree);
}

QString OpenStartDatabase(TSQLiteDatabase& Database, const TDatabaseLoadContext& Context, bool Synchronize,
                          const QString& Source, bool* Refreshed) {
    if (Refreshed)
        *Refreshed = false;
    QString refreshError;
    if (Synchronize && !Source.isEmpty()) {
        if (RefreshDatabase(Context, Source, refreshError)) {
            const QString fresh = Context.DataFolder + QStringLiteral("ndbm.db");
            QString reason;
            if (TryOpen(Database, fresh, reason)) {
                if (Refreshed)
                    *Refreshed = true;
                return fresh;
            }
            refreshError = QStringLiteral("cannot open ndbm.db");
        }
    }
    const QString main = Context.DataFolder + QStringLiteral("dbm.db");
    QString reason;
    if (!TryOpen(Database, main, reason)) {
        LogLine(Database, LoadFailedText());
        LogLine(Database, reason);
        return QString();
    }
    ReportDamage(Database, Context, main);
    if (!refreshError.isEmpty())
        AddProgramLog(
            Database,
            QStringLiteral("Error! Failed to refresh the database from %1: %2").arg(Source, refreshError));
    return main;
}

TDatabaseLoadResult LoadDatabaseAtStart(TSQLiteDatabase& Database, const TDatabaseLoadContext& Context) {
    TDatabaseLoadResult result;
    HostLoadCounters.Reset();
    try {
        ReadStartSettings(Context.Settings, result);
        result.OpenedFile =
            OpenStartDatabase(Database, Context, result.SynchronizeDb, result.EditDb, &result.Refreshed);
        if (!result.OpenedFile.isEmpty()) {
            CreateTablesStep(Database);
            GroupTreeStep(Database, Context, result);
            if (Context.HostGrid)
                HostStep(Database, Context, result);
            AddProgramLog(Database, StartMessageText());
        }
    } catch (const std::exception& e) {
        LogLine(Database, QStringLiteral("Error! Database load failed: ") + QString::fromUtf8(e.what()));
    }
    HostLoadCounters.MarkFinished();
    return result;
}
