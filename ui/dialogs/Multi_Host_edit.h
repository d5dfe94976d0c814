// The dialog that edits several hosts at once.
#pragma once

#include <QDialog>

class TMonitorServices;

class TMultiple_hosts_edit_form : public QDialog {
    Q_OBJECT

public:
    explicit TMultiple_hosts_edit_form(QWidget* parent = nullptr);

    // Creation handler: runs once, right after the window is created at start-up, in the fixed
    // creation order of the program's windows.
    void FormCreate(TMonitorServices& Services);
};

extern TMultiple_hosts_edit_form* Multiple_hosts_edit_form;
