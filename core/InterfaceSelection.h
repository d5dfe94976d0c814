// A host's chosen interfaces for traffic monitoring (table m_port), saved from the interface list
// of the tools window as one unit.
#pragma once

#include <QString>

#include <vector>

class TSQLiteDatabase;

// One row of the interface list as it is saved.
struct TListedInterface {
    QString Index; // ifIndex (column p1)
    QString Name;  // display name (column i_n1)
    bool Selected = false;
    QString Speed; // Mbit/s (column sp1), possibly empty
};

// The speed stored for a listed interface: its own when it reads as a number other than 0,
// else "100".
QString StoredInterfaceSpeed(const QString& Speed);

// Saves the list for host HostId (hosts.id). Rows of m_port that are enabled and whose interface is
// still listed and selected stay as they are (id, traffic history, alarm settings, notification
// flags); every other row of the host is deleted, and each listed interface without a kept row is
// inserted with its BoolText, alarms "0"/"0", percentages "70"/"70" and StoredInterfaceSpeed. All of
// it runs in one savepoint under the database lock: on any failure the host's rows are as before
// and ESQLiteException goes on to the caller.
void SaveInterfaceSelection(TSQLiteDatabase& Database, const QString& HostId,
                            const std::vector<TListedInterface>& Interfaces);
