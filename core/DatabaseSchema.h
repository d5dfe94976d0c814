// The database's nine tables (names, column order and declared types are a fixed format) and the
// indexes that keep queries on the growing tables from scanning them.
#pragma once

#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

class TSQLiteDatabase;

struct TTableSchema {
    QString Name;
    // (column name, declared type) in order; the first is the INTEGER PRIMARY KEY.
    std::vector<std::pair<QString, QString>> Columns;
};

// The tables in the order the loader creates them: m_port, traf_p, Ping_data, list_group, log,
// program_log, syslog, hosts, realtime_traf_p.
const std::vector<TTableSchema>& DatabaseTables();
const TTableSchema& DatabaseTable(const QString& Name);

// "CREATE TABLE <name> (<column> <type>, ...)".
QString CreateTableStatement(const TTableSchema& Table);

// Creates every missing table in order; the first failure raises and ends the step. Existing
// tables are never altered.
void CreateMissingTables(TSQLiteDatabase& Database);

// Adds the indexes on the sample, event and log tables when missing; each failure is skipped.
void CreateMissingIndexes(TSQLiteDatabase& Database);

// The 40 columns of hosts in stored order.
QStringList HostsColumnNames();
