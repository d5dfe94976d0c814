// The per-host event log viewer.
#pragma once

#include <QDialog>

class TMonitorServices;

class TLogs : public QDialog {
    Q_OBJECT

public:
    explicit TLogs(QWidget* parent = nullptr);

    // Creation handler: runs once, right after the window is created at start-up, in the fixed
    // creation order of the program's windows.
    void FormCreate(TMonitorServices& Services);
};

extern TLogs* Logs;
