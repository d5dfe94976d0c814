// Statements on hosts, m_port and list_group; texts keep the shapes the system gives them.
#include "core/HostStore.h"

#include "core/CheckRules.h"
#include "core/DatabaseSchema.h"
#include "core/HostGridColumns.h"

#include <vector>

namespace {

// The stored spelling of a hosts column; raises for anything else, so no caller's text becomes a
// column name in a statement.
QString StoredHostsColumn(const QString& Name) {
    for (const QString& column : HostsColumnNames()) {
        if (column.compare(Name, Qt::CaseInsensitive) == 0) {
            return column;
        }
    }
    throw ESQLiteException(QStringLiteral("No column of hosts: ") + Name);
}

// A statement text per column list, built once per list and thread: the bulk dialogs write the same
// columns for thousands of rows, and checking each name costs more than the write itself.
template <class TBuild> QString StatementFor(char Kind, const QStringList& Columns, TBuild&& Build) {
    struct TKnown {
        char Kind;
        QStringList Columns;
        QString Text;
    };
    thread_local std::vector<TKnown> known;
    // The dialogs pass their one shared list, which compares equal at once.
    for (const TKnown& entry : known)
        if (entry.Kind == Kind && entry.Columns == Columns)
            return entry.Text;
    QString text = Build();
    if (known.size() >= 16)
        known.erase(known.begin());
    known.push_back({Kind, Columns, text});
    return text;
}

THostWriteBack PaddedUpdate(const QStringList& Columns, int Width, const QString& Tail,
                            const QStringList& Values, const QString& HostId) {
    if (Values.size() != Columns.size()) {
        throw ESQLiteException(QStringLiteral("A host write-back needs one value per column"));
    }
    THostWriteBack write;
    write.SQL = QStringLiteral("UPDATE hosts SET ") + PaddedAssignments(Columns, Width) + Tail;
    write.Values = Values;
    write.Values << HostId;
    return write;
}

} // namespace

std::unique_ptr<TSQLiteTable> THostStore::SelectHosts() {
    return FDatabase.OpenResultTable(QStringLiteral("select * from hosts"));
}

std::unique_ptr<TSQLiteTable> THostStore::SelectHost(const QString& Id) {
    return FDatabase.OpenResultTable(QStringLiteral("select * from hosts where ID = ?"), {Id});
}

qint64 THostStore::InsertHost(const QStringList& Columns, const TSQLiteValues& Values) {
    if (Columns.isEmpty() || Columns.size() != Values.size()) {
        throw ESQLiteException(QStringLiteral("A host insert needs one value per column"));
    }
    const QString sql = StatementFor('i', Columns, [&] {
        QStringList names;
        QStringList marks;
        for (const QString& column : Columns) {
            names << StoredHostsColumn(column);
            marks << QStringLiteral("?");
        }
        return QStringLiteral("insert into hosts (") + names.join(QLatin1Char(',')) +
               QStringLiteral(") values (") + marks.join(QLatin1Char(',')) + QLatin1Char(')');
    });
    return FDatabase.ExecuteInsert(sql, Values);
}

void THostStore::UpdateHost(const QStringList& Columns, const TSQLiteValues& Values, const QString& Id) {
    if (Columns.isEmpty() || Columns.size() != Values.size()) {
        throw ESQLiteException(QStringLiteral("A host update needs one value per column"));
    }
    const QString sql = StatementFor('u', Columns, [&] {
        QStringList assignments;
        for (const QString& column : Columns) {
            assignments << StoredHostsColumn(column) + QStringLiteral("=?");
        }
        return QStringLiteral("UPDATE hosts SET ") + assignments.join(QStringLiteral(", ")) +
               QStringLiteral(" where ID=?");
    });
    TSQLiteValues values = Values;
    values << Id;
    // The count is read under the same hold of the lock: another thread's write cannot change it.
    // An update that found no row changed nothing, so there is nothing to undo.
    if (FDatabase.ExecuteCounted(sql, values) == 0)
        throw ESQLiteException(QStringLiteral("No host row with id ") + Id);
}

void THostStore::ShiftHostTypesDown(int Index) {
    // HType is declared TEXT: compared as text, "10" would sort before "2".
    FDatabase.ExecuteStatement(
        QStringLiteral("UPDATE hosts SET HType=CAST(HType AS INTEGER)-1 where CAST(HType AS INTEGER)>?"),
        {Index});
    FDatabase.ExecuteStatement(
        QStringLiteral("UPDATE hosts SET HType2=CAST(HType2 AS INTEGER)-1 where CAST(HType2 AS INTEGER)>?"),
        {Index});
}

std::unique_ptr<TSQLiteTable> THostStore::SelectGroups() {
    return FDatabase.OpenResultTable(QStringLiteral("select * from list_group"));
}

std::unique_ptr<TSQLiteTable> THostStore::SelectGroupByNumber(const QString& NGroup) {
    return FDatabase.OpenResultTable(QStringLiteral("select * from list_group where N_group=?"), {NGroup});
}

qint64 THostStore::MaxGroupNumber() {
    try {
        auto table = FDatabase.OpenResultTable(QStringLiteral("select max(N_group) from list_group"));
        return table->AtEnd() ? 0 : table->FieldTextOrEmpty(0).toLongLong();
    } catch (const std::exception& e) {
        ReportFailedStep("select max(N_group)", e.what());
        return 0;
    }
}

void THostStore::InsertGroup(const QString& Name, qint64 NGroup, const QString& Parent) {
    if (Parent.isEmpty()) {
        FDatabase.ExecuteStatement(QStringLiteral("INSERT INTO list_group (Name, N_group) VALUES (?,?)"),
                                   {Name, NGroup});
    } else {
        FDatabase.ExecuteStatement(
            QStringLiteral("INSERT INTO list_group (Name, N_group, parent_id) VALUES (?,?,?)"),
            {Name, NGroup, Parent});
    }
}

void THostStore::RenameGroup(const QString& NGroup, const QString& Name) {
    FDatabase.ExecuteStatement(QStringLiteral("Update list_group set Name=? where N_group=?"),
                               {Name, NGroup});
}

void THostStore::DeleteGroup(const QString& NGroup) {
    FDatabase.ExecuteStatement(QStringLiteral("Delete from list_group where N_group=?"), {NGroup});
}

void THostStore::SetGroupRow(qint64 Id, const QString& Name, const QString& NGroup, const QString& Parent) {
    // A top-level group keeps no parent_id, as a new one is stored.
    const QVariant parent = Parent.isEmpty() ? QVariant() : QVariant(Parent);
    FDatabase.ExecuteStatement(
        QStringLiteral("Update list_group set Name=?,N_group=?,parent_id=? where ID=?"),
        {Name, NGroup, parent, Id});
}

void THostStore::DeleteHost(const QString& Id) {
    FDatabase.ExecuteStatement(QStringLiteral("Delete from hosts where ID=?"), {Id});
    static const char* const Later[] = {"Delete from m_port where ID_h=?", "Delete from log where ID_h_d=?",
                                        "Delete from Ping_data where ID_h=?"};
    for (const char* sql : Later) {
        RunDatabaseStep(sql, [&] { FDatabase.ExecuteStatement(QString::fromLatin1(sql), {Id}); });
    }
}

qint64 THostStore::PageCacheKiB() {
    return FDatabase.OpenResultTable(QStringLiteral("PRAGMA cache_size"))->FieldInt64(0);
}

void THostStore::SetPageCacheKiB(qint64 KiB) {
    // A number of our own, never text from outside; the statement takes no bound value.
    FDatabase.ExecuteStatement(QStringLiteral("PRAGMA cache_size = %1").arg(KiB));
}

void THostStore::SetHostEnabled(const QString& Id, bool Enabled) {
    FDatabase.ExecuteStatement(QStringLiteral("UPDATE hosts SET Enabled= ?  where ID=?"),
                               {Enabled ? QStringLiteral("-1") : QStringLiteral("0"), Id});
}

void THostStore::SetHostGroup(const QString& Id, const QString& NGroup) {
    FDatabase.ExecuteStatement(QStringLiteral("UPDATE hosts SET N_group=? where ID=?"), {NGroup, Id});
}

std::unique_ptr<TSQLiteTable> THostStore::SelectHostPorts(const QString& HostId) {
    return FDatabase.OpenResultTable(QStringLiteral("Select * From m_port where ID_h=?"), {HostId});
}

std::unique_ptr<TSQLiteTable> THostStore::SelectSampledPorts(const QString& HostId) {
    return FDatabase.OpenResultTable(
        QStringLiteral("select ID,Nomer_p,Name_p,Enabled_p, speed from m_port where ID_h=?"), {HostId});
}

void THostStore::Run(const THostWriteBack& Write) {
    if (Write.SQL.isEmpty()) {
        return;
    }
    TSQLiteValues values;
    for (const QString& value : Write.Values) {
        values << value;
    }
    try {
        FDatabase.ExecuteStatement(Write.SQL, values);
    } catch (const ESQLiteException&) {
        // A failed write of one check is discarded; the pass goes on. A file that cannot be
        // written is reported by the database layer itself.
    }
}

const QStringList& THostStore::EventWriteBackColumns() {
    using namespace HostColumn;
    // The HTTP counter and status go with the others: left out, a restart would forget an HTTP
    // outage and record it again (and its up event could never follow).
    static const QStringList columns = {SNMP_kol_vo_p, Latency_kol_vo_p, P_lost_kol_vo_p, ICMP_kol_vo_p,
                                        ICMP_Status,   SNMP_Status,      Latency_Status,  P_lost_Status,
                                        Http_Kol_vo,   Http_Status};
    return columns;
}

const QStringList& THostStore::StatusWriteBackColumns() {
    using namespace HostColumn;
    static const QStringList columns = {Status, Log, Kol_vo_p, Date_Pod};
    return columns;
}

THostWriteBack THostStore::EventWriteBack(const QStringList& Values, const QString& HostId) {
    return PaddedUpdate(EventWriteBackColumns(), 26, QStringLiteral(" where ID=?"), Values, HostId);
}

THostWriteBack THostStore::StatusWriteBack(const QStringList& Values, const QString& HostId) {
    return PaddedUpdate(StatusWriteBackColumns(), 25, QStringLiteral("  where ID=?"), Values, HostId);
}

THostWriteBack THostStore::ColumnWriteBack(const QString& Column, const QString& Value,
                                           const QString& HostId) {
    return {QStringLiteral("UPDATE hosts SET ") + StoredHostsColumn(Column) +
                QStringLiteral("= ? where ID=?"),
            {Value, HostId}};
}

THostWriteBack THostStore::PortAlarmWriteBack(bool Inbound, const QString& Flag, const QString& PortId) {
    const QString column = Inbound ? QStringLiteral("in_notiffication") : QStringLiteral("out_notiffication");
    return {QStringLiteral("Update m_port set ") + column + QStringLiteral("=? where id=?"), {Flag, PortId}};
}

THostWriteBack THostStore::EventLogInsert(const QString& UnixTime, const QString& Text, const QString& Code,
                                          const QString& HostId) {
    return {QStringLiteral("insert into log (Date_time,L_Status,Stat_D,ID_h_d)values(?, ?, ?, ? )"),
            {UnixTime, Text, Code, HostId}};
}
