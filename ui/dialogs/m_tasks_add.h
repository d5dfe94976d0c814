// The add-many-hosts dialog: hosts by address range or list.
#pragma once

#include <QDialog>

class TMonitorServices;

class TAdd_M_hosts : public QDialog {
    Q_OBJECT

public:
    explicit TAdd_M_hosts(QWidget* parent = nullptr);

    // Creation handler: runs once, right after the window is created at start-up, in the fixed
    // creation order of the program's windows.
    void FormCreate(TMonitorServices& Services);
};

extern TAdd_M_hosts* Add_M_hosts;
