// The commands any messaging contact may send: "groups", "log|<date>", "log", "status" ("stat"),
// "status|<group>", and the help text for anything else. Replies are lines joined by "\r", sent in
// pieces of at most 2000 characters; commands are answered one at a time, in order of arrival.
#pragma once

#include "core/DatabaseLoader.h"
#include "core/LogPages.h"
#include "core/SQLiteDb.h"

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

class TDataGrid;

// The main window's parts the commands read and the calls they make. GUI thread only.
class IRemoteCommandHost {
public:
    virtual ~IRemoteCommandHost() = default;
    virtual const TGroupTree& GroupTree() = 0; // the nodes of TreeView1
    virtual TDataGrid& HostGrid() = 0;         // DataGrid1
    virtual TDataGrid& DownGrid() = 0;         // the online page's grid
    virtual void RefreshDownGrid() = 0;        // its "Refresh now" button (BitBtn35)
    virtual TDataGrid& LogsGrid() = 0;         // the event log page's grid (Logs_grid)
    virtual TSQLiteDatabase& Database() = 0;
    // A wait that keeps the GUI working, so other events (messages too) run meanwhile.
    virtual void PumpDelay(int Milliseconds) = 0;
    virtual double Now() = 0; // local date-time
    virtual bool SendMessage(qint64 UIN, const QString& Text) = 0;
    virtual void AddProgramLog(const QString& Text) = 0;
    // Runs Work on a thread of its own and returns when it is done, serving the GUI meanwhile (so
    // other events, messages too, run). Work touches no grid and no widget.
    virtual void RunOffGuiThread(const std::function<void()>& Work);
};

inline constexpr int RemoteReplyPiece = 2000;
// A log reply holds at most the newest this many events; its last line then says so (line 408).
inline constexpr int RemoteLogReplyEvents = 200;
// The wait between two pieces of one reply, so a long reply never floods the server.
inline constexpr int RemoteReplyPaceMs = 500;

enum class TRemoteCommandKind { Groups, LogOfDay, LogOfToday, Status, GroupStatus, Help };

struct TRemoteCommand {
    TRemoteCommandKind Kind = TRemoteCommandKind::Help;
    QString Argument; // the date text of "log|", the group of "status|" (lower-cased)
};

// The first rule that matches the lower-cased message: exactly "groups"; containing "log|"; exactly
// "log"; exactly "status" or "stat"; containing "status|"; else help.
TRemoteCommand ParseRemoteCommand(const QString& Message);

// Consecutive pieces of at most Piece characters; a surrogate pair is never split. An empty reply
// is one empty piece.
QStringList ReplyPieces(const QString& Reply, int Piece = RemoteReplyPiece);

// The group tree in tree order (each parent followed by its sub-groups), with each node's depth.
struct TTreeOrderNode {
    const TGroupTreeNode* Node = nullptr;
    int Level = 0;
};
std::vector<TTreeOrderNode> GroupTreeOrder(const TGroupTree& Tree);

// "Groups :" and "\r", then "\r" and each node's caption in tree order ("- " before a sub-group).
QString GroupsReply(const TGroupTree& Tree);
// The "Not Up hosts:" header, then per node whose caption equals Group (ignoring case) each host of
// its group whose Status is not OkWord: Host, IP, Status, Note_, Date_Pod, TimeDown.
QString GroupStatusReply(const TGroupTree& Tree, TDataGrid& Hosts, const QString& Group,
                         const QString& OkWord);
// The "Not Up hosts:" header, then per row of the online grid its columns 0, 1, 4, 5, 18, 12, 19.
QString StatusReply(TDataGrid& DownGrid);
// The "Log file :" header, then per row of the event log grid its columns 0 to 4. Date cells read in
// the one display form in every reply.
QString LogReply(TDataGrid& LogsGrid);
// Lines 350-354 each followed by "\r", then line 355, the short date of Yesterday and ")".
QString HelpReply(double Yesterday);
// The program-log line of a received message: line 348, the UIN, line 349 and the message.
QString ReceivedMessageLogLine(const QString& UIN, const QString& Message);

// The locale's short date of a date-time (the date part of the display text).
QString ShortDateText(double DateTime);
// The events whose display date-time begins with Prefix (ignoring case): "select * from log"
// restricted to their ids, which are bound as one value, so the prefix never reaches SQL. With
// Newest above 0 only the newest that many (by ID) are kept; Total, when given, receives how many
// matched. Safe on any thread.
TLogStatement EventsBeginningWith(TSQLiteDatabase& Database, const QString& Prefix, int Newest = 0,
                                  int* Total = nullptr);
// The last line of a log reply cut to its newest Shown of Total events.
QString LogReplyCutLine(int Shown, int Total);

class TRemoteCommands {
public:
    explicit TRemoteCommands(IRemoteCommandHost& Host) : FHost(Host) {}

    // Logs the message at once; answers it now, or after the command being answered (whose waits
    // let further messages arrive) has had its reply sent.
    void MessageReceived(const QString& Message, const QString& UIN);
    bool Busy() const { return FBusy; }

    // The reply to one command, with the waits and grid steps it takes.
    QString Reply(const TRemoteCommand& Command);

private:
    struct TPending {
        QString Message;
        QString UIN;
    };
    void Answer(const TPending& Pending);
    QString LogOfDayReply(const QString& DateText, bool Wait);
    QString StatusOfDownGridReply();

    IRemoteCommandHost& FHost;
    std::deque<TPending> FQueue;
    bool FBusy = false;
};
