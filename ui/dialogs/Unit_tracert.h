// The tools window (ping, traceroute, lookup, SNMP utility, charts); at creation it loads the database.
#pragma once

#include "core/DatabaseBackup.h"

#include <QDialog>
#include <QTimer>

class TMonitorServices;

class TPing_tracert_form : public QDialog {
    Q_OBJECT

public:
    explicit TPing_tracert_form(QWidget* parent = nullptr);
    ~TPing_tracert_form() override;

    // Creation handler: runs once, right after the window is created at start-up, in the fixed
    // creation order of the program's windows.
    void FormCreate(TMonitorServices& Services);

    // The database loader: opens the database, creates missing tables, builds both group trees
    // and loads the host table. Runs from FormCreate.
    void LoadDatabase();

    // The hourly copy of the database to backup.db (Timer6, 3600000 ms, on from creation).
    void Timer6Timer();
    QTimer Timer6;

    // One SNMPv1 query: the value text of the reply's first binding, empty on any failure.
    static void FormSnmpQuery(const QString& Host, const QString& Community, const QString& OID, int PDUType,
                              QString& Result);

private:
    TMonitorServices* FServices = nullptr;
    TDatabaseBackup FBackup;
};

extern TPing_tracert_form* Ping_tracert_form;
