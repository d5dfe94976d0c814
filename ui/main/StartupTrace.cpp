// The step record; only the GUI thread writes it, the mutex keeps stray readers safe.
#include "ui/main/StartupTrace.h"

#include <mutex>

namespace {

std::mutex traceMutex;

QStringList& Steps() {
    static QStringList steps;
    return steps;
}

} // namespace

void TraceStartupStep(const QString& step) {
    std::lock_guard lock(traceMutex);
    Steps().append(step);
}

QStringList StartupTraceSteps() {
    std::lock_guard lock(traceMutex);
    return Steps();
}

void ClearStartupTrace() {
    std::lock_guard lock(traceMutex);
    Steps().clear();
}
