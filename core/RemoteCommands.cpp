// Answers to the remote commands. The replies read the grids as the GUI holds them; the "log" commands
// pick their events in code and bind the ids, so no text of a message ever becomes SQL.
#include "core/RemoteCommands.h"

#include "core/ExceptionGuard.h"
#include "core/LangTexts.h"
#include "core/LogGrids.h"
#include "core/TextConversions.h"
#include "grid/GxColumnClasses.h"
#include "grid/GxGrid.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QHash>
#include <QThread>
#include <thread>

namespace {

const QString NotUpHeader =
    QStringLiteral("Not Up hosts:\rHost name, IP address, Status, Description, Last down state, Down time");
const QString LogHeader = QStringLiteral("Log file :\rDate/Time, Host name, IP address, Status");

// The waits of the Part's steps: after loading the log of a day, after refreshing the online grid,
// and before sorting it back.
constexpr int LogLoadWaitMs = 300;
constexpr int DownGridRefreshWaitMs = 150;
constexpr int DownGridSortBackWaitMs = 250;
constexpr int DownGridLastDownColumn = 12;

// A cell as the reply shows it: a date cell in the one display form (the form "log|" matches), any
// other cell as its text.
QString ReplyCellText(TDataGrid& Grid, int Col, int Row) {
    if (Col < 0 || Col >= Grid.Columns().ColumnCount())
        return QString();
    const QString text = Grid.CellText(Col, Row);
    if (text.isEmpty() || !dynamic_cast<const TGxDateColumn*>(Grid.Columns().GetColumn(Col)))
        return text;
    return DateTimeToDisplayText(Grid.GetCellObject(Col, Row).GetAsDateTime());
}

QString JoinedRow(TDataGrid& Grid, int Row, const std::vector<int>& Columns) {
    QStringList cells;
    for (const int col : Columns)
        cells << ReplyCellText(Grid, col, Row);
    return cells.join(QStringLiteral(", "));
}

QString GridRowsReply(const QString& Header, TDataGrid& Grid, const std::vector<int>& Columns) {
    QString reply = Header;
    for (int row = 0; row < Grid.RowCount(); ++row)
        reply += QLatin1Char('\r') + JoinedRow(Grid, row, Columns);
    return reply;
}

void SortByLastDown(TDataGrid& Grid, bool Ascending) {
    if (Grid.Columns().IsValidIndex(DownGridLastDownColumn))
        Grid.SortColumn(Grid.Columns().GetColumn(DownGridLastDownColumn), Ascending);
}

// Whether the display text of each stored time begins with a prefix. The date part is worked out
// once per day; the whole text only when the prefix reaches into the time.
class TDisplayPrefix {
public:
    explicit TDisplayPrefix(const QString& Prefix) : FPrefix(Prefix) {}

    bool Matches(qint64 UnixTime) {
        const qint64 day = DayBoundsOf(UnixTime).First;
        auto known = FDays.constFind(day);
        if (known == FDays.constEnd())
            known = FDays.insert(day, ShortDateText(DateTimeFromUnixTime(day)));
        const QString& date = *known;
        if (FPrefix.size() <= date.size())
            return date.startsWith(FPrefix, Qt::CaseInsensitive);
        return DateTimeToDisplayText(DateTimeFromUnixTime(UnixTime)).startsWith(FPrefix, Qt::CaseInsensitive);
    }

private:
    QString FPrefix;
    QHash<qint64, QString> FDays;
};

// A pending-command flag that is cleared however the answers end.
class TBusyScope {
public:
    explicit TBusyScope(bool& Busy) : FBusy(Busy) { FBusy = true; }
    ~TBusyScope() { FBusy = false; }
    TBusyScope(const TBusyScope&) = delete;
    TBusyScope& operator=(const TBusyScope&) = delete;

private:
    bool& FBusy;
};

} // namespace

TRemoteCommand ParseRemoteCommand(const QString& Message) {
    const QString command = Message.toLower();
    const auto after = [&](const QString& Marker) {
        return command.mid(command.indexOf(Marker) + Marker.size());
    };
    if (command == QLatin1String("groups"))
        return {TRemoteCommandKind::Groups, QString()};
    if (command.contains(QLatin1String("log|")))
        return {TRemoteCommandKind::LogOfDay, after(QStringLiteral("log|"))};
    if (command == QLatin1String("log"))
        return {TRemoteCommandKind::LogOfToday, QString()};
    if (command == QLatin1String("status") || command == QLatin1String("stat"))
        return {TRemoteCommandKind::Status, QString()};
    if (command.contains(QLatin1String("status|")))
        return {TRemoteCommandKind::GroupStatus, after(QStringLiteral("status|"))};
    return {TRemoteCommandKind::Help, QString()};
}

QStringList ReplyPieces(const QString& Reply, int Piece) {
    QStringList pieces;
    qsizetype at = 0;
    do {
        qsizetype length = std::min<qsizetype>(Piece, Reply.size() - at);
        if (length > 1 && at + length < Reply.size() && Reply[at + length - 1].isHighSurrogate())
            --length;
        pieces << Reply.mid(at, length);
        at += length;
    } while (at < Reply.size());
    return pieces;
}

std::vector<TTreeOrderNode> GroupTreeOrder(const TGroupTree& Tree) {
    const int count = static_cast<int>(Tree.size());
    std::vector<std::vector<int>> children(count);
    std::vector<int> roots;
    for (int i = 0; i < count; ++i) {
        const int parent = Tree[i].ParentIndex;
        // A parent always comes first; anything else is shown at top level.
        if (parent >= 0 && parent < i)
            children[parent].push_back(i);
        else
            roots.push_back(i);
    }
    std::vector<TTreeOrderNode> order;
    order.reserve(Tree.size());
    std::vector<std::pair<int, int>> stack; // node, level
    for (auto root = roots.rbegin(); root != roots.rend(); ++root)
        stack.emplace_back(*root, 0);
    while (!stack.empty()) {
        const auto [node, level] = stack.back();
        stack.pop_back();
        order.push_back({&Tree[node], level});
        for (auto child = children[node].rbegin(); child != children[node].rend(); ++child)
            stack.emplace_back(*child, level + 1);
    }
    return order;
}

QString GroupsReply(const TGroupTree& Tree) {
    QString reply = QStringLiteral("Groups :\r");
    for (const TTreeOrderNode& entry : GroupTreeOrder(Tree))
        reply +=
            QLatin1Char('\r') + (entry.Level > 0 ? QStringLiteral("- ") : QString()) + entry.Node->Caption;
    return reply;
}

QString GroupStatusReply(const TGroupTree& Tree, TDataGrid& Hosts, const QString& Group,
                         const QString& OkWord) {
    QString reply = NotUpHeader;
    const int groupColumn = Hosts.ColumnIndex(u"N_group");
    const int statusColumn = Hosts.ColumnIndex(u"Status");
    if (groupColumn < 0 || statusColumn < 0)
        return reply;
    std::vector<int> columns;
    for (const char* name : {"Host", "IP", "Status", "Note_", "Date_Pod", "TimeDown"})
        columns.push_back(Hosts.ColumnIndex(QLatin1String(name)));
    for (const TTreeOrderNode& entry : GroupTreeOrder(Tree)) {
        if (entry.Node->Caption.compare(Group, Qt::CaseInsensitive) != 0 || !entry.Node->Record)
            continue;
        const QString& group = entry.Node->Record->Group;
        for (int row = 0; row < Hosts.RowCount(); ++row)
            if (Hosts.CellText(groupColumn, row) == group && Hosts.CellText(statusColumn, row) != OkWord)
                reply += QLatin1Char('\r') + JoinedRow(Hosts, row, columns);
    }
    return reply;
}

QString StatusReply(TDataGrid& DownGrid) {
    return GridRowsReply(NotUpHeader, DownGrid, {0, 1, 4, 5, 18, 12, 19});
}

QString LogReply(TDataGrid& LogsGrid) {
    return GridRowsReply(LogHeader, LogsGrid, {0, 1, 2, 3, 4});
}

QString HelpReply(double Yesterday) {
    QString reply;
    for (int line = 350; line <= 354; ++line)
        reply += LangText(line) + QLatin1Char('\r');
    return reply + LangText(355) + ShortDateText(Yesterday) + QLatin1Char(')');
}

QString ReceivedMessageLogLine(const QString& UIN, const QString& Message) {
    return LangText(348) + QLatin1Char(' ') + UIN + QLatin1Char(' ') + LangText(349) + QLatin1Char(' ') +
           Message;
}

QString ShortDateText(double DateTime) {
    const QString text = DateTimeToDisplayText(DateTime);
    const qsizetype blank = text.lastIndexOf(QLatin1Char(' '));
    return blank < 0 ? text : text.left(blank);
}

TLogStatement EventsBeginningWith(TSQLiteDatabase& Database, const QString& Prefix, int Newest, int* Total) {
    std::deque<qint64> ids;
    int matched = 0;
    try {
        TDisplayPrefix prefix(Prefix);
        const auto events =
            Database.OpenResultTable(QStringLiteral("select ID, Date_time from log order by ID"));
        for (int i = 0; i < events->RowCount(); ++i, events->NextRow()) {
            bool isTime = false;
            const qint64 time = events->FieldTextOrEmpty(1).trimmed().toLongLong(&isTime);
            bool isId = false;
            const qint64 id = events->FieldTextOrEmpty(0).toLongLong(&isId);
            if (!isTime || !isId || !prefix.Matches(time))
                continue;
            ++matched;
            ids.push_back(id);
            if (Newest > 0 && static_cast<int>(ids.size()) > Newest)
                ids.pop_front();
        }
    } catch (const std::exception&) {
        // No events: the reply is the header alone.
        ReportCurrentException("EventsBeginningWith");
    }
    if (Total)
        *Total = matched;
    QStringList texts;
    for (const qint64 id : ids)
        texts << QString::number(id);
    return {QStringLiteral("select * from log where ID in (select value from json_each(?)) order by ID"),
            {QLatin1Char('[') + texts.join(QLatin1Char(',')) + QLatin1Char(']')}};
}

QString LogReplyCutLine(int Shown, int Total) {
    return LangText(408).arg(Shown).arg(Total);
}

void IRemoteCommandHost::RunOffGuiThread(const std::function<void()>& Work) {
    QCoreApplication* application = QCoreApplication::instance();
    if (!application || QThread::currentThread() != application->thread()) {
        Work();
        return;
    }
    QEventLoop loop;
    std::thread worker([&] {
        Guarded("IRemoteCommandHost.RunOffGuiThread", Work);
        // Quit is queued to the loop's thread, so it cannot be lost before exec() starts.
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    // The queued quit may still be pending when an outer event ended the loop: drop it with the loop.
    QCoreApplication::removePostedEvents(&loop);
}

// ---------------------------------------------------------------------------------------------------
// TRemoteCommands

void TRemoteCommands::MessageReceived(const QString& Message, const QString& UIN) {
    FHost.AddProgramLog(ReceivedMessageLogLine(UIN, Message));
    FQueue.push_back({Message, UIN});
    if (FBusy)
        return; // the running answer's loop takes it next
    TBusyScope busy(FBusy);
    while (!FQueue.empty()) {
        const TPending pending = FQueue.front();
        FQueue.pop_front();
        Guarded("TRemoteCommands.MessageReceived", [&] { Answer(pending); });
    }
}

void TRemoteCommands::Answer(const TPending& Pending) {
    const QString reply = Reply(ParseRemoteCommand(Pending.Message));
    const qint64 uin = TextToInt64(Pending.UIN);
    const QStringList pieces = ReplyPieces(reply);
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        if (i > 0)
            FHost.PumpDelay(RemoteReplyPaceMs);
        FHost.SendMessage(uin, pieces[i]);
    }
}

QString TRemoteCommands::Reply(const TRemoteCommand& Command) {
    switch (Command.Kind) {
    case TRemoteCommandKind::Groups:
        return GroupsReply(FHost.GroupTree());
    case TRemoteCommandKind::LogOfDay:
        return LogOfDayReply(Command.Argument, true);
    case TRemoteCommandKind::LogOfToday:
        return LogOfDayReply(ShortDateText(FHost.Now()), false);
    case TRemoteCommandKind::Status:
        return StatusOfDownGridReply();
    case TRemoteCommandKind::GroupStatus:
        return GroupStatusReply(FHost.GroupTree(), FHost.HostGrid(), Command.Argument, LangText(277));
    case TRemoteCommandKind::Help:
        break;
    }
    return HelpReply(FHost.Now() - 1);
}

QString TRemoteCommands::LogOfDayReply(const QString& DateText, bool Wait) {
    // Picking the events reads every stored time: done off the GUI thread, and only the newest
    // RemoteLogReplyEvents reach the grid and the reply.
    TSQLiteDatabase& database = FHost.Database();
    TLogStatement statement;
    int total = 0;
    FHost.RunOffGuiThread(
        [&] { statement = EventsBeginningWith(database, DateText, RemoteLogReplyEvents, &total); });
    LoadEventLogGrid(statement.SQL, FHost.LogsGrid(), statement.Values, database);
    if (Wait)
        FHost.PumpDelay(LogLoadWaitMs);
    QString reply = LogReply(FHost.LogsGrid());
    if (total > RemoteLogReplyEvents)
        reply += QLatin1Char('\r') + LogReplyCutLine(RemoteLogReplyEvents, total);
    return reply;
}

QString TRemoteCommands::StatusOfDownGridReply() {
    FHost.RefreshDownGrid();
    FHost.PumpDelay(DownGridRefreshWaitMs);
    TDataGrid& grid = FHost.DownGrid();
    Guarded("TRemoteCommands.SortDownGrid", [&] { SortByLastDown(grid, true); });
    const QString reply = StatusReply(grid);
    FHost.PumpDelay(DownGridSortBackWaitMs);
    Guarded("TRemoteCommands.SortDownGrid", [&] { SortByLastDown(FHost.DownGrid(), false); });
    return reply;
}
