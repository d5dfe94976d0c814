// What the three log pages, the day picker and the per-host log viewer do without a display: their
// statements (every value bound), the day and 24-hour windows, the event page's day offset, and the
// clear and load actions on a grid.
#pragma once

#include "core/SQLiteDb.h"

#include <QString>
#include <cstdint>

class TDataGrid;

// Which log a page or the day picker works on; the numbers are those of CalendarMode.
enum TLogKind : std::uint8_t { lkEvents = 0, lkSyslog = 1, lkProgramLog = 2 };

// Set by the main window before it shows the day picker (GUI thread only).
extern TLogKind CalendarMode;

inline constexpr qint64 SecondsPerDay = 86400;

// A statement and the values bound to its "?" marks.
struct TLogStatement {
    QString SQL;
    TSQLiteValues Values;
};

// The local day holding a stored time: [First, Next), midnight to the next midnight. Stored times
// count local wall-clock seconds, so a day is always 86400 of them.
struct TDayBounds {
    qint64 First = 0;
    qint64 Next = 0;
};
TDayBounds DayBoundsOf(qint64 UnixTime);

// The page-show window (now - 24 h, now], newest first; the current second is included.
TLogStatement Last24HoursStatement(TLogKind Kind, qint64 Now);
// One day [First, Next) of a log, newest first: the day picker's statement.
TLogStatement DayStatement(TLogKind Kind, const TDayBounds& Day);
// Today's rows of a log, midnight included: "Clear current log".
TLogStatement ClearCurrentLogStatement(TLogKind Kind, qint64 Now);
// "Delete from log", "Delete from syslog" or "Delete from program_log".
TLogStatement ClearAllLogsStatement(TLogKind Kind);
// "Show all" of the syslog page.
TLogStatement SyslogShowAllStatement();
// The syslog of one host ("View Syslog"): rows whose IP is exactly Address.
TLogStatement HostSyslogStatement(const QString& Address);
// The events of one host ("View Log"), newest first, and their deletion (the viewer's "Clear").
TLogStatement HostEventsStatement(const QString& HostId);
TLogStatement DeleteHostEventsStatement(const QString& HostId);

// The event page's window, moved by whole days with "<<" and ">>". Offset 0 is the last 24 hours;
// showing the page again shows them without changing the offset.
class TEventLogDays {
public:
    int LogDayOffset = 0;

    // (Now + (LogDayOffset - 1) days, Now + LogDayOffset days].
    TLogStatement Window(qint64 Now) const;
    // Page show: the last 24 hours.
    TLogStatement Shown(qint64 Now) const { return Last24HoursStatement(lkEvents, Now); }
    TLogStatement Back(qint64 Now);
    TLogStatement Forward(qint64 Now);
};

// A syslog grid holds at most the newest SyslogPageRows rows of its statement at first; each "more"
// step reloads it with one page more, so a busy day never loads whole.
inline constexpr int SyslogPageRows = 5000;
// Statement (newest first) cut to its first Rows rows.
TLogStatement NewestRows(const TLogStatement& Statement, int Rows);
// The syslog grid's last statement and how many of its rows it may hold (GUI thread only).
struct TSyslogPaging {
    const TDataGrid* Grid = nullptr;
    TLogStatement Statement;
    int Rows = 0;
};
extern TSyslogPaging SyslogPaging;
// The next page of the statement that last filled Grid (Grid reloaded with it); false when Grid
// was not filled by a syslog load.
bool LoadMoreSyslogRows(TDataGrid& Grid, TSQLiteDatabase& Database = MonitorDatabase);
// True when Grid holds as many rows as its syslog load allowed, so older rows may be held back.
bool SyslogRowsHeldBack(const TDataGrid& Grid);

// Runs Statement through the loader of Kind into Grid (LoadEventLogGrid, LoadSyslogGrid or
// LoadProgramLogGrid); a syslog load takes its first page only. Never raises.
void LoadLogGrid(TLogKind Kind, const TLogStatement& Statement, TDataGrid& Grid,
                 TSQLiteDatabase& Database = MonitorDatabase);
// The day picker's "OK": the day holding the date-time Day (a calendar date at midnight) into Grid.
void ShowLogDay(TLogKind Kind, double Day, TDataGrid& Grid, TSQLiteDatabase& Database = MonitorDatabase);

// Each empties Grid, then runs its delete; false when the statement failed (the failure is
// swallowed, as on every log page).
bool ClearCurrentLog(TLogKind Kind, TDataGrid& Grid, qint64 Now, TSQLiteDatabase& Database = MonitorDatabase);
bool ClearAllLogs(TLogKind Kind, TDataGrid& Grid, TSQLiteDatabase& Database = MonitorDatabase);
// The log viewer's "Clear" for the host it shows (HostId = its Kod_): empties the viewer's grid,
// empties that host's Log cell in HostGrid (when given and the host is there) and deletes its events.
bool ClearHostEvents(const QString& HostId, TDataGrid& LogsGrid, TDataGrid* HostGrid,
                     TSQLiteDatabase& Database = MonitorDatabase);
