// Loaders of the three log views (monitoring events, program log, syslog) from a statement the
// page builds, the columns of their grids and the grid-side steps of their pages.
#pragma once

#include "core/SQLiteDb.h"

#include <QString>

class TDataGrid;

// The event colours of the L_Status cell by event code: red for a code holding "D", yellow for
// "LP", lime for every other code.
int EventCodeColor(const QString& Code);

// Columns: GxIncrementColumn1, DTime, Host_N, IP_add, L_Status, Stat_D, ID_h_d.
void CreateEventLogGridColumns(TDataGrid& Grid);
// Columns: GxIncrementColumn2, Date_time_PL, Event.
void CreateProgramLogGridColumns(TDataGrid& Grid);
// Columns: Num, Data_Time, Desc_, Host_IP.
void CreateSyslogGridColumns(TDataGrid& Grid);

// SQL selects rows of log (all columns in table order), Values are bound to its "?" marks. The grid
// is emptied and filled; an event whose host no longer exists keeps empty host fields. A failure
// leaves the rows filled so far. Exceptions never leave these loaders.
void LoadEventLogGrid(const QString& SQL, TDataGrid& Grid, const TSQLiteValues& Values = {},
                      TSQLiteDatabase& Database = MonitorDatabase);
// SQL selects rows of program_log.
void LoadProgramLogGrid(const QString& SQL, TDataGrid& Grid, const TSQLiteValues& Values = {},
                        TSQLiteDatabase& Database = MonitorDatabase);
// SQL selects rows of syslog.
void LoadSyslogGrid(const QString& SQL, TDataGrid& Grid, const TSQLiteValues& Values = {},
                    TSQLiteDatabase& Database = MonitorDatabase);

// Background of an even, unselected row (0, 2, 4, ...) of the syslog and program-log grids.
inline constexpr int LogAlternateRowColor = 0xF5FCFE;
bool LogRowAlternates(int Row, bool Selected);

// The event page's clipboard text: an empty first line, then one line per row of its columns 0 to 4
// joined by ", ", lines joined by "\n".
QString EventLogClipboardText(const TDataGrid& Grid);

// The syslog page's sender filter: a double click in column 3 (Host_IP) keeps only the rows of that
// row's sender, numbered 1, 2, ... in Num. Any other column, or a row outside the grid, does nothing
// and gives false.
bool KeepSyslogSender(TDataGrid& Grid, int Col, int Row);
