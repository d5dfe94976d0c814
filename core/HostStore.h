// The statements on the host tables: hosts, m_port (a host's monitored interfaces) and list_group,
// plus the event rows of log that the state machine writes for a host. Every value is bound;
// column names come only from the fixed schema. The loader, the check engine and the sampler use
// it today; the host dialogs, the host page and the tools window add their statements here.
#pragma once

#include "core/SQLiteDb.h"

#include <QString>
#include <QStringList>

#include <memory>

// One statement to run later, with the values to bind in order: the grid half of a check builds
// it on the GUI thread, the worker runs it afterwards, so no lock spans both threads.
struct THostWriteBack {
    QString SQL;
    QStringList Values;
};

class THostStore {
public:
    explicit THostStore(TSQLiteDatabase& Database) : FDatabase(Database) {}
    TSQLiteDatabase& Database() { return FDatabase; }

    // hosts. Results of "select *" keep the table's column order, which is part of the format.
    std::unique_ptr<TSQLiteTable> SelectHosts();
    std::unique_ptr<TSQLiteTable> SelectHost(const QString& Id);
    // Inserts one host row with the given stored columns (names of table hosts, any case) and
    // returns its new id. Raises ESQLiteException for a name that is no hosts column, for
    // differing counts, and for a failed insert.
    qint64 InsertHost(const QStringList& Columns, const TSQLiteValues& Values);
    // Stores the given columns of the host row Id; raises as InsertHost does, and when no row of
    // that id exists.
    void UpdateHost(const QStringList& Columns, const TSQLiteValues& Values, const QString& Id);
    // After the type at Index was deleted: hosts of later types move down one index (HType and
    // HType2 compared as numbers).
    void ShiftHostTypesDown(int Index);

    // list_group.
    std::unique_ptr<TSQLiteTable> SelectGroups();
    std::unique_ptr<TSQLiteTable> SelectGroupByNumber(const QString& NGroup);
    // The highest stored N_group; 0 when none is stored or the query fails.
    qint64 MaxGroupNumber();
    // A new group; an empty Parent stores a top-level group (no parent_id).
    void InsertGroup(const QString& Name, qint64 NGroup, const QString& Parent = QString());
    void RenameGroup(const QString& NGroup, const QString& Name);
    void DeleteGroup(const QString& NGroup);
    // Gives the list_group row Id the name, number and parent.
    void SetGroupRow(qint64 Id, const QString& Name, const QString& NGroup, const QString& Parent);

    // The host page's host statements.
    // Deletes a host's rows of hosts, m_port, log and Ping_data (traf_p stays). Raises when the
    // hosts row could not be deleted; a failure of the later tables is logged and passed over.
    void DeleteHost(const QString& Id);
    // The connection's page cache setting as SQLite states it (negative: KiB, positive: pages),
    // read and set around a batch of deletes, whose scattered sample rows would otherwise be read
    // from disk again and again.
    qint64 PageCacheKiB();
    void SetPageCacheKiB(qint64 KiB);
    void SetHostEnabled(const QString& Id, bool Enabled);
    void SetHostGroup(const QString& Id, const QString& NGroup);

    // m_port: every column of a host's interfaces (the traffic rule), and the columns the
    // sampler reads: ID, Nomer_p, Name_p, Enabled_p, speed.
    std::unique_ptr<TSQLiteTable> SelectHostPorts(const QString& HostId);
    std::unique_ptr<TSQLiteTable> SelectSampledPorts(const QString& HostId);

    // Runs a write-back; a failing statement is discarded, as every check's SQL is.
    void Run(const THostWriteBack& Write);

    // The counters and statuses an event writes back, in statement order.
    static const QStringList& EventWriteBackColumns();
    // The overall state's columns, in statement order.
    static const QStringList& StatusWriteBackColumns();
    // "UPDATE hosts SET <col>=<blanks>?, ... where ID=?" for the event columns (each assignment
    // padded to 26 characters), Values in EventWriteBackColumns() order.
    static THostWriteBack EventWriteBack(const QStringList& Values, const QString& HostId);
    // The same for the overall state (padded to 25, two blanks before "where").
    static THostWriteBack StatusWriteBack(const QStringList& Values, const QString& HostId);
    // One column of hosts; raises ESQLiteException when Column is no hosts column.
    static THostWriteBack ColumnWriteBack(const QString& Column, const QString& Value, const QString& HostId);
    // in_notiffication (inbound) or out_notiffication of one interface.
    static THostWriteBack PortAlarmWriteBack(bool Inbound, const QString& Flag, const QString& PortId);
    // The event's row of log.
    static THostWriteBack EventLogInsert(const QString& UnixTime, const QString& Text, const QString& Code,
                                         const QString& HostId);

private:
    TSQLiteDatabase& FDatabase;
};
