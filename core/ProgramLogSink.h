// Where the program's own error and status lines go before (and besides) the program log table:
// a replaceable sink, so the core can report without knowing about the database.
#pragma once

#include <QString>
#include <functional>

// Receives one line of program-log text. Must not throw; it may be called from any thread.
using ProgramLogSinkFunction = std::function<void(const QString& line)>;

// Replaces the sink; an empty function restores the default (one line on stderr).
void SetProgramLogSink(ProgramLogSinkFunction sink);

// Hands one line to the current sink. Exceptions thrown by the sink are swallowed after a line
// on stderr, so reporting an error never raises another one.
void WriteProgramLogSink(const QString& line);

// True while a sink other than the default one is set.
bool HasProgramLogSink();
