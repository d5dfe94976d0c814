// The replaceable program-log sink: a mutex-guarded function, stderr by default.
#include "core/ProgramLogSink.h"

#include <cstdio>
#include <mutex>

namespace {

std::mutex sinkMutex;
ProgramLogSinkFunction currentSink;

void WriteToStderr(const QString& line) {
    const QByteArray bytes = line.toUtf8();
    std::fprintf(stderr, "%s\n", bytes.constData());
}

} // namespace

void SetProgramLogSink(ProgramLogSinkFunction sink) {
    std::lock_guard lock(sinkMutex);
    currentSink = std::move(sink);
}

void WriteProgramLogSink(const QString& line) {
    ProgramLogSinkFunction sink;
    {
        // The sink runs outside the lock: it may take locks of its own (the database).
        std::lock_guard lock(sinkMutex);
        sink = currentSink;
    }
    if (!sink) {
        WriteToStderr(line);
        return;
    }
    try {
        sink(line);
    } catch (...) {
        WriteToStderr(QStringLiteral("Program log sink failed for: ") + line);
    }
}

bool HasProgramLogSink() {
    std::lock_guard lock(sinkMutex);
    return static_cast<bool>(currentSink);
}
