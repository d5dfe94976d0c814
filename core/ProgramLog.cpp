// Writes program-log rows with bound values, so any text (quotes included) is stored as given.
#include "core/ProgramLog.h"

#include "core/ProgramLogSink.h"
#include "core/SQLiteDb.h"
#include "core/TextConversions.h"

#include <cstdio>

qint64 CurrentLocalUnixTime() {
    return UnixTimeFromDateTime(NowDateTime());
}

void AddProgramLog(TSQLiteDatabase& Database, const QString& Text) {
    try {
        Database.ExecuteStatement(QStringLiteral("insert into program_log (date_time,status)values(?, ?)"),
                                  {QString::number(CurrentLocalUnixTime()), Text});
    } catch (const ESQLiteException& e) {
        // A log line must never become an error of its own: it goes to stderr instead.
        std::fprintf(stderr, "Program log line not stored (%s): %s\n", e.what(), Text.toUtf8().constData());
    }
}

void AddProgramLog(const QString& Text) {
    AddProgramLog(MonitorDatabase, Text);
}

void InstallProgramLogSink() {
    SetProgramLogSink([](const QString& line) {
        if (!MonitorDatabase.IsOpen()) {
            std::fprintf(stderr, "%s\n", line.toUtf8().constData());
            return;
        }
        AddProgramLog(line);
    });
}
