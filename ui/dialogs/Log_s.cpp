// The per-host event log viewer.
#include "ui/dialogs/Log_s.h"

TLogs* Logs = nullptr;

TLogs::TLogs(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Logs"));
}

void TLogs::FormCreate(TMonitorServices&) {
    // The window's start-up work joins here.
}
