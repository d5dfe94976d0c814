// The start-up load: opening (or first refreshing) the database, creating missing tables, building
// the group tree and loading every host into the main host grid. The windows take part only through
// the small interfaces below, which the main window, the group picker and the progress window
// implement.
#pragma once

#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

class TSQLiteDatabase;
class TDataGrid;

// What each node of both group trees carries; the two trees share one record per group.
struct TGroupNodeRecord {
    QString Name;        // as stored
    QString ParentGroup; // the parent's N_group as stored; empty for a top-level group
    QString Group;       // the group's own N_group
};

struct TGroupTreeNode {
    int ParentIndex = -1; // index of the parent node in the list; -1 at top level
    QString Caption;
    std::shared_ptr<TGroupNodeRecord> Record;
};

// Nodes in attach order: a parent always comes before its children, siblings in table order.
using TGroupTree = std::vector<TGroupTreeNode>;

// Reads list_group and attaches groups to their parents until nothing more attaches, so a group
// stored before its parent is still placed under it. A group whose parent is not stored at all
// (or that is part of a parent cycle) is placed at top level. Rows sharing an N_group are one group
// (the first row names it) and every group is placed once, under the node of its parent's number,
// so the tree never has more nodes than list_group has rows.
TGroupTree BuildGroupTree(TSQLiteDatabase& Database);

// Implemented by the windows holding the trees (main window and group picker).
class IGroupTreeSink {
public:
    virtual ~IGroupTreeSink() = default;
    // Replaces both trees' nodes by Nodes and selects the main tree's first node.
    virtual void ShowGroupTree(const TGroupTree& Nodes) = 0;
    // Applies the saved expansion state of the main tree.
    virtual void RestoreTreeExpansion() = 0;
};

// The progress window shown while more than 1500 hosts load.
class IHostLoadProgress {
public:
    virtual ~IHostLoadProgress() = default;
    virtual void SetMaximum(int Maximum) = 0;
    virtual void ShowProgress() = 0;
    virtual void SetPosition(int Position) = 0;
    // Called only when the caption text changes.
    virtual void SetCaption(const QString& Caption) = 0;
    // Lets pending window messages run.
    virtual void ProcessMessages() = 0;
    virtual void CloseProgress() = 0;
};

// The load's progress as the main window's start gate sees it: the first value is set to the number
// of host rows - 1 before filling, the second to each row as it fills. They agree once the load has
// finished, also after a failure at any step.
struct THostLoadCounters {
    std::atomic<int> LastRow{0};
    std::atomic<int> FilledRow{-1};
    bool Finished() const { return LastRow.load() == FilledRow.load(); }
    void Reset();
    void MarkFinished();
};
extern THostLoadCounters HostLoadCounters;

// Fetches Url into the file FilePath; ResultCode receives the HTTP status. False when no answer came.
using TDatabaseFetchFunction =
    std::function<bool(const QString& Url, const QString& FilePath, int& ResultCode, QString& Error)>;

// The fetch through the program's HTTP client. The body is held in memory until it is written, so
// an answer larger than MaxBytes is refused ("the answer is larger than N bytes").
inline constexpr qint64 DatabaseFetchBodyLimit = 512LL * 1024 * 1024;
bool FetchDatabaseOverHttp(const QString& Url, const QString& FilePath, int& ResultCode, QString& Error);
bool FetchDatabaseOverHttp(const QString& Url, const QString& FilePath, int& ResultCode, QString& Error,
                           qint64 MaxBytes);

struct TDatabaseLoadContext {
    QString DataFolder;   // ends with "/"
    QStringList Settings; // the settings buffer; lines 40 (source) and 41 (synchronise) are read
    TDataGrid* HostGrid = nullptr;
    IGroupTreeSink* GroupTree = nullptr;
    IHostLoadProgress* Progress = nullptr;
    QString ProgressText;         // the progress caption's word; empty: the language's load line
    TDatabaseFetchFunction Fetch; // empty: FetchDatabaseOverHttp
    // Tells the operator (a message box in the program); empty: the program log only.
    std::function<void(const QString& Text)> ShowMessage;
};

struct TDatabaseLoadResult {
    bool SynchronizeDb = false; // settings line 41, for Synchronize_db_Check
    QString EditDb;             // settings line 40, for Edit_db
    QString OpenedFile;         // empty when no database could be opened
    bool Refreshed = false;     // ndbm.db was fetched and opened
    bool HasGroups = false;
    int SelectedGroup = 0; // N_group of the first tree node
    QString FirstGroup;    // the same as stored text; rows of other groups are hidden
    int HostRows = 0;
};

// Texts the load writes to the program log.
QString StartMessageText();
QString LoadFailedText();

// The texts "-1"/"0" (and the other spellings a Boolean setting may hold); false when Text is none.
bool TextToBoolean(const QString& Text, bool& Value);

// Opens Database on ndbm.db after a successful refresh, else on dbm.db. The refresh goes to a
// temporary file and replaces ndbm.db only when it is a whole SQLite database; a failure is logged
// and dbm.db is opened instead. Returns the opened file (empty when none could be opened).
QString OpenStartDatabase(TSQLiteDatabase& Database, const TDatabaseLoadContext& Context, bool Synchronize,
                          const QString& Source, bool* Refreshed = nullptr);

// The whole start-up load on Database (MonitorDatabase in the program). Never raises; whatever
// fails, the host load counters end up agreeing.
TDatabaseLoadResult LoadDatabaseAtStart(TSQLiteDatabase& Database, const TDatabaseLoadContext& Context);
