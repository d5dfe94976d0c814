// The column settings dialog; created last, it loads the start-up settings.
#pragma once

#include <QDialog>

class TMonitorServices;

class TColumn_Form : public QDialog {
    Q_OBJECT

public:
    explicit TColumn_Form(QWidget* parent = nullptr);

    // Creation handler: runs once, right after the window is created at start-up, in the fixed
    // creation order of the program's windows.
    void FormCreate(TMonitorServices& Services);

    // The start-up settings loader: language, settings lines, age clean-up of the log tables,
    // sound list, column visibility, syslog server and messaging sign-on. Runs from FormCreate.
    void LoadStartupSettings();

    // The twelve boxes' columns shown, every other host-table column hidden, the row height.
    void ApplyColumnVisibility();

private:
    TMonitorServices* FServices = nullptr;
};

extern TColumn_Form* Column_Form;
