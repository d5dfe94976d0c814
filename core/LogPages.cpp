// Log page statements keep the system's tables, conditions and order; the times are bound values,
// and a day is [midnight, next midnight) so an entry stamped at midnight belongs to exactly one day.
#include "core/LogPages.h"

#include "core/LogGrids.h"
#include "core/TextConversions.h"
#include "grid/GxGrid.h"

#include <cmath>

TLogKind CalendarMode = lkEvents;
TSyslogPaging SyslogPaging;

namespace {

// The table name as each page's selects write it.
QString SelectTable(TLogKind Kind) {
    switch (Kind) {
    case lkSyslog:
        return QStringLiteral("syslog");
    case lkProgramLog:
        return QStringLiteral("Program_log");
    default:
        return QStringLiteral("log");
    }
}

// ... and as its deletes write it.
QString DeleteTable(TLogKind Kind) {
    return Kind == lkProgramLog ? QStringLiteral("program_log") : SelectTable(Kind);
}

QString TimeText(qint64 UnixTime) {
    return Int64ToText(UnixTime);
}

bool Run(const TLogStatement& Statement, TSQLiteDatabase& Database) {
    try {
        Database.ExecuteStatement(Statement.SQL, Statement.Values);
        return true;
    } catch (const ESQLiteException&) {
        return false;
    }
}

} // namespace

TDayBounds DayBoundsOf(qint64 UnixTime) {
    qint64 intoDay = UnixTime % SecondsPerDay;
    if (intoDay < 0)
        intoDay += SecondsPerDay;
    const qint64 first = UnixTime - intoDay;
    return {first, first + SecondsPerDay};
}

TLogStatement Last24HoursStatement(TLogKind Kind, qint64 Now) {
    return {QStringLiteral("select * from %1 where Date_time > ? and Date_time <= ? order by ID DESC")
                .arg(SelectTable(Kind)),
            {TimeText(Now - SecondsPerDay), TimeText(Now)}};
}

TLogStatement DayStatement(TLogKind Kind, const TDayBounds& Day) {
    return {QStringLiteral("select * from %1 where Date_time < ? and Date_time >= ? order by ID DESC")
                .arg(SelectTable(Kind)),
            {TimeText(Day.Next), TimeText(Day.First)}};
}

TLogStatement ClearCurrentLogStatement(TLogKind Kind, qint64 Now) {
    const TDayBounds today = DayBoundsOf(Now);
    return {QStringLiteral("Delete from %1 where Date_time >= ? and Date_time < ?").arg(DeleteTable(Kind)),
            {TimeText(today.First), TimeText(today.Next)}};
}

TLogStatement ClearAllLogsStatement(TLogKind Kind) {
    return {QStringLiteral("Delete from %1").arg(DeleteTable(Kind)), {}};
}

TLogStatement SyslogShowAllStatement() {
    return {QStringLiteral("select * from syslog order by ID DESC"), {}};
}

TLogStatement HostSyslogStatement(const QString& Address) {
    return {QStringLiteral("select * from syslog where IP = ? order by ID DESC"), {Address}};
}

TLogStatement HostEventsStatement(const QString& HostId) {
    return {QStringLiteral("select * from log where ID_h_D = ? order by ID desc"), {HostId}};
}

TLogStatement DeleteHostEventsStatement(const QString& HostId) {
    return {QStringLiteral("Delete from log where ID_H_D=?"), {HostId}};
}

TLogStatement TEventLogDays::Window(qint64 Now) const {
    const qint64 upper = Now + qint64(LogDayOffset) * SecondsPerDay;
    return {QStringLiteral("select * from log where Date_time <= ? and Date_time > ? order by ID DESC"),
            {TimeText(upper), TimeText(upper - SecondsPerDay)}};
}

TLogStatement TEventLogDays::Back(qint64 Now) {
    --LogDayOffset;
    return Window(Now);
}

TLogStatement TEventLogDays::Forward(qint64 Now) {
    ++LogDayOffset;
    return Window(Now);
}

TLogStatement NewestRows(const TLogStatement& Statement, int Rows) {
    TLogStatement cut = Statement;
    cut.SQL += QStringLiteral(" limit ?");
    cut.Values << Rows;
    return cut;
}

bool LoadMoreSyslogRows(TDataGrid& Grid, TSQLiteDatabase& Database) {
    if (SyslogPaging.Grid != &Grid)
        return false;
    SyslogPaging.Rows += SyslogPageRows;
    const TLogStatement page = NewestRows(SyslogPaging.Statement, SyslogPaging.Rows);
    LoadSyslogGrid(page.SQL, Grid, page.Values, Database);
    return true;
}

bool SyslogRowsHeldBack(const TDataGrid& Grid) {
    return SyslogPaging.Grid == &Grid && Grid.RowCount() >= SyslogPaging.Rows;
}

void LoadLogGrid(TLogKind Kind, const TLogStatement& Statement, TDataGrid& Grid, TSQLiteDatabase& Database) {
    switch (Kind) {
    case lkSyslog: {
        SyslogPaging = {&Grid, Statement, SyslogPageRows};
        const TLogStatement page = NewestRows(Statement, SyslogPageRows);
        LoadSyslogGrid(page.SQL, Grid, page.Values, Database);
        break;
    }
    case lkProgramLog:
        LoadProgramLogGrid(Statement.SQL, Grid, Statement.Values, Database);
        break;
    default:
        LoadEventLogGrid(Statement.SQL, Grid, Statement.Values, Database);
        break;
    }
}

void ShowLogDay(TLogKind Kind, double Day, TDataGrid& Grid, TSQLiteDatabase& Database) {
    LoadLogGrid(Kind, DayStatement(Kind, DayBoundsOf(UnixTimeFromDateTime(std::floor(Day)))), Grid, Database);
}

bool ClearCurrentLog(TLogKind Kind, TDataGrid& Grid, qint64 Now, TSQLiteDatabase& Database) {
    Grid.ClearRows();
    return Run(ClearCurrentLogStatement(Kind, Now), Database);
}

bool ClearAllLogs(TLogKind Kind, TDataGrid& Grid, TSQLiteDatabase& Database) {
    Grid.ClearRows();
    return Run(ClearAllLogsStatement(Kind), Database);
}

bool ClearHostEvents(const QString& HostId, TDataGrid& LogsGrid, TDataGrid* HostGrid,
                     TSQLiteDatabase& Database) {
    LogsGrid.ClearRows();
    const int idColumn = HostGrid ? HostGrid->ColumnIndex(u"Kod_") : -1;
    const int logColumn = HostGrid ? HostGrid->ColumnIndex(u"Log") : -1;
    if (idColumn >= 0 && logColumn >= 0) {
        for (int row = 0; row < HostGrid->RowCount(); ++row) {
            if (HostGrid->CellText(idColumn, row) == HostId) {
                HostGrid->SetCellText(logColumn, row, QString());
                break;
            }
        }
    }
    return Run(DeleteHostEventsStatement(HostId), Database);
}
