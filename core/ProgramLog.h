// The program's own log: one row in table program_log per operator-visible message.
#pragma once

#include <QString>

class TSQLiteDatabase;

// Current local time as Unix seconds (the database's time stamps).
qint64 CurrentLocalUnixTime();

// Appends one row (current local Unix time, the text) to program_log of MonitorDatabase. Any failure
// is ignored, so nothing is written while no database is open.
void AddProgramLog(const QString& Text);
void AddProgramLog(TSQLiteDatabase& Database, const QString& Text);

// Routes the core's program-log sink into AddProgramLog (and on to stderr while no database is open).
void InstallProgramLogSink();
