// The tools window (ping, traceroute, lookup, SNMP utility, charts); at creation it loads the database.
#pragma once

#include <QDialog>

class TPing_tracert_form : public QDialog {
    Q_OBJECT

public:
    explicit TPing_tracert_form(QWidget* parent = nullptr);

    // Creation handler: runs once, right after the window is created at start-up, in the fixed
    // creation order of the program's windows.
    void FormCreate();

    // The database loader: opens the database, creates missing tables, builds both group trees
    // and loads the host table. Runs from FormCreate.
    void LoadDatabase();
};

extern TPing_tracert_form* Ping_tracert_form;
