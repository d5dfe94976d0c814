// Reporting half of the exception guard.
#include "core/ExceptionGuard.h"

#include "core/ProgramLogSink.h"

#include <QString>
#include <cstdio>
#include <stdexcept>

void ReportException(const char* where, const char* what) noexcept {
    try {
        const QString line =
            QStringLiteral("Error in %1: %2")
                .arg(QString::fromUtf8(where ? where : "?"), QString::fromUtf8(what ? what : "?"));
        std::fprintf(stderr, "%s\n", line.toUtf8().constData());
        // The default sink is stderr as well; the line goes there only once.
        if (HasProgramLogSink()) {
            WriteProgramLogSink(line);
        }
    } catch (...) {
        std::fprintf(stderr, "Error in %s (report failed)\n", where ? where : "?");
    }
}

void ReportCurrentException(const char* where) noexcept {
    try {
        throw;
    } catch (const std::exception& e) {
        ReportException(where, e.what());
    } catch (...) {
        ReportException(where, "unknown exception");
    }
}
