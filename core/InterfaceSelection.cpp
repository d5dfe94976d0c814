// Saving a host's interface selection: kept rows keep their ids (traf_p refers to them), the rest
// is replaced, all under one savepoint.
#include "core/InterfaceSelection.h"

#include "core/SQLiteDb.h"
#include "core/TextConversions.h"

#include <set>

namespace {

QString BoolText(bool Value) {
    return Value ? QStringLiteral("-1") : QStringLiteral("0");
}

} // namespace

QString StoredInterfaceSpeed(const QString& Speed) {
    return TextToInt64(Speed) != 0 ? Speed : QStringLiteral("100");
}

void SaveInterfaceSelection(TSQLiteDatabase& Database, const QString& HostId,
                            const std::vector<TListedInterface>& Interfaces) {
    std::set<qint64> selected;
    for (const TListedInterface& listed : Interfaces)
        if (listed.Selected)
            selected.insert(TextToInt64(listed.Index));

    Database.RunInSavepoint([&](TSQLiteBatch& Batch) {
        auto stored = Batch.OpenResultTable(
            QStringLiteral("select id, Nomer_p, Enabled_p from m_port where ID_h=? order by id"), {HostId});
        std::set<qint64> kept;
        std::vector<QString> dropped;
        for (; !stored->AtEnd(); stored->NextRow()) {
            const qint64 index = TextToInt64(stored->FieldTextOrEmpty(1));
            const bool enabled = stored->FieldTextOrEmpty(2) == QLatin1String("-1");
            // A second row of one interface (older saves could leave them) goes too.
            if (enabled && selected.count(index) && kept.insert(index).second)
                continue;
            dropped.push_back(stored->FieldTextOrEmpty(0));
        }
        for (const TListedInterface& listed : Interfaces) {
            if (listed.Selected && kept.count(TextToInt64(listed.Index)))
                continue;
            Batch.ExecuteStatement(
                QStringLiteral(
                    "insert into m_port (ID_h,Nomer_p,Name_p,Enabled_p,alarm_traf_in,alarm_traf_out,"
                    "in_value_pers,out_value_per, speed) values (?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                {HostId, listed.Index, listed.Name, BoolText(listed.Selected), QStringLiteral("0"),
                 QStringLiteral("0"), QStringLiteral("70"), QStringLiteral("70"),
                 StoredInterfaceSpeed(listed.Speed)});
        }
        // After the inserts, so no new row takes the id (and the traf_p history) of a dropped one.
        for (const QString& id : dropped)
            Batch.ExecuteStatement(QStringLiteral("Delete from m_port where id=?"), {id});
    });
}
