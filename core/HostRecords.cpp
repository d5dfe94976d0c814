// Host rows of the host dialogs and their statements on hosts; see HostRecords.h.
#include "core/HostRecords.h"

#include "core/DatabaseSchema.h"
#include "core/HostGridColumns.h"
#include "core/HostStore.h"
#include "core/LangLines.h"
#include "core/LangTexts.h"
#include "grid/GxColumns.h"
#include "grid/GxGrid.h"

#include <iterator>

namespace {

// A new host shows a state before its first pass: Unknown (the language's word) so the check rules
// take it from there, Disabled when it is added switched off.
QString NewHostStatus(bool Enabled) {
    return LangText(Enabled ? LangLine::StatusUnknown : LangLine::StatusDisabled);
}

bool IsBooleanColumn(const TDataGrid& Grid, int GridColumn) {
    return Grid.Columns().GetColumn(GridColumn)->CellKind() == ckBoolean;
}

// Kod_ of a stored row, the key of its UPDATE.
QString KodOf(const TDataGrid& Grid, const THostColumnIndexes& Columns, int Row) {
    return Grid.CellText(Columns.Kod_, Row);
}

// The grid positions of a list of stored columns and whether each holds a Boolean, resolved once
// for all the rows of a write.
struct TResolvedColumns {
    TResolvedColumns(const TDataGrid& Grid, const QStringList& Columns) {
        for (const QString& name : Columns) {
            const int column = Grid.ColumnIndex(name);
            Index.push_back(column);
            Boolean.push_back(IsBooleanColumn(Grid, column));
        }
    }
    TSQLiteValues Values(TDataGrid& Grid, int Row) const {
        TSQLiteValues values;
        Fill(Grid, Row, values);
        return values;
    }
    // Into a list kept across rows: one allocation for the batch rather than one per row.
    const TSQLiteValues& Fill(TDataGrid& Grid, int Row, TSQLiteValues& Values) const {
        Values.clear();
        Values.reserve(qsizetype(Index.size()));
        for (size_t i = 0; i < Index.size(); ++i) {
            if (Boolean[i])
                Values << QVariant(Grid.GetCellObject(Index[i], Row).GetAsBoolean());
            else
                Values << QVariant(Grid.CellText(Index[i], Row));
        }
        return Values;
    }
    std::vector<int> Index;
    std::vector<bool> Boolean;
};

qint64 InsertRow(TDataGrid& Grid, THostStore& Store, int Row, const TResolvedColumns& Resolved,
                 TSQLiteValues& Values) {
    return Store.InsertHost(HostRecordColumns(), Resolved.Fill(Grid, Row, Values));
}

qint64 InsertRow(TDataGrid& Grid, THostStore& Store, int Row) {
    TSQLiteValues values;
    return InsertRow(Grid, Store, Row, TResolvedColumns(Grid, HostRecordColumns()), values);
}

} // namespace

const QStringList& HostRecordColumns() {
    static const QStringList columns = [] {
        QStringList names = HostsColumnNames();
        names.removeAll(QStringLiteral("id"));
        names.removeAll(QStringLiteral("Avarage_Latency"));
        return names;
    }();
    return columns;
}

const QStringList& MultiEditColumns() {
    static const QStringList columns = {
        QStringLiteral("host"),
        QStringLiteral("HType"),
        QStringLiteral("HType2"),
        QStringLiteral("IP"),
        QStringLiteral("Status"),
        QStringLiteral("Enabled"),
        QStringLiteral("Alarm"),
        QStringLiteral("Log"),
        QStringLiteral("Kol_vo_p"),
        QStringLiteral("Alarm_en"),
        QStringLiteral("Loop_sound"),
        QStringLiteral("Date_Pod"),
        QStringLiteral("N_group"),
        QStringLiteral("Ping_check"),
        QStringLiteral("Comunity"),
        QStringLiteral("SNMP_check"),
        QStringLiteral("Note_"),
        QStringLiteral("TimeDown"),
        QStringLiteral("Port_check"),
        QStringLiteral("SPing_alarm"),
        QStringLiteral("SPing_check"),
        QStringLiteral("Sping_kol_vo"),
        QStringLiteral("SNMP_kol_vo_p"),
        QStringLiteral("Latency_kol_vo_p"),
        QStringLiteral("P_lost_kol_vo_p"),
        QStringLiteral("ICMP_kol_vo_p"),
        QStringLiteral("ICMP_Status"),
        QStringLiteral("SNMP_Status"),
        QStringLiteral("Latency_Status"),
        QStringLiteral("Email_alarm_enabled"),
        QStringLiteral("Email_contacts_list"),
        QStringLiteral("ICQ_alarm_enabled"),
        QStringLiteral("ICQ_contacts_list"),
        QStringLiteral("Sound_alarm_enabled"),
        QStringLiteral("Http_check"),
    };
    return columns;
}

TSQLiteValues HostRowValues(TDataGrid& Grid, int Row, const QStringList& Columns) {
    return TResolvedColumns(Grid, Columns).Values(Grid, Row);
}

int AddHostRow(TDataGrid& Grid, THostStore& Store, const THostDialogValues& Values) {
    namespace F = HostField;
    const THostColumnIndexes columns(Grid);
    const int row = Grid.AddRow(1);
    THostRecord record = Values;
    record.Status = NewHostStatus(Values.Enabled);
    record.Date_Pod = QString();
    record.Number = row > 0 ? Grid.GetCellObject(columns.Number_, row - 1).GetAsInteger() + 1 : 1;
    // The Alerts tab is stored from the first save on, not only after an edit.
    WriteHostRecord(Grid, columns, row, record, F::Dialog | F::Status | F::Date_Pod | F::Number);
    qint64 id = 0;
    try {
        id = InsertRow(Grid, Store, row);
    } catch (...) {
        Grid.DeleteRow(row);
        throw;
    }
    // The id SQLite gave this insert: a guess from the previous row collides after a sort or after
    // the last host was deleted.
    record.Kod = QString::number(id);
    WriteHostRecord(Grid, columns, row, record, F::Kod);
    return row;
}

bool EditHostRow(TDataGrid& Grid, THostStore& Store, int Row, const THostDialogValues& Values) {
    const THostColumnIndexes columns(Grid);
    WriteHostRecord(Grid, columns, Row, Values, HostField::Dialog);
    const QStringList& stored = HostRecordColumns();
    const QString id = KodOf(Grid, columns, Row);
    return RunDatabaseStep("Store the edited host",
                           [&] { Store.UpdateHost(stored, HostRowValues(Grid, Row, stored), id); });
}

std::vector<int> ShownSelectedRows(const TDataGrid& Grid) {
    std::vector<int> rows;
    for (int row = 0; row < Grid.RowCount(); ++row) {
        if (Grid.GetRowVisible(row) && Grid.GetRowSelected(row)) {
            rows.push_back(row);
        }
    }
    return rows;
}

int ShownRowCount(const TDataGrid& Grid) {
    int count = 0;
    for (int row = 0; row < Grid.RowCount(); ++row) {
        count += Grid.GetRowVisible(row) ? 1 : 0;
    }
    return count;
}

namespace {

// The record's field behind each of the bulk edit's boxes, in TMultiEditField's order.
constexpr THostFields TickedField[] = {HostField::Host,
                                       HostField::IP,
                                       HostField::Note,
                                       HostField::Group,
                                       HostField::Type,
                                       HostField::PingCheck,
                                       HostField::SnmpCheck,
                                       HostField::Enabled,
                                       HostField::Comunity,
                                       HostField::Alarm_en,
                                       HostField::Alarm,
                                       HostField::Loop_sound,
                                       HostField::Sound_alarm_enabled,
                                       HostField::ICQ_alarm_enabled,
                                       HostField::ICQ_contacts_list,
                                       HostField::Email_contacts_list,
                                       HostField::Email_alarm_enabled,
                                       HostField::SPingCheck,
                                       HostField::HttpCheck};
static_assert(std::size(TickedField) == size_t(TMultiEditField::Http_check) + 1);

THostFields TickedFields(const std::set<TMultiEditField>& Ticked) {
    THostFields fields = 0;
    for (TMultiEditField field : Ticked) {
        fields |= TickedField[size_t(field)];
    }
    return fields;
}

} // namespace

int ApplyMultiEdit(TDataGrid& Grid, THostStore& Store, const THostDialogValues& Values,
                   const std::set<TMultiEditField>& Ticked, const std::function<void(int Row)>& Step) {
    const QStringList& columns = MultiEditColumns();
    const TResolvedColumns resolved(Grid, columns);
    const THostColumnIndexes hostColumns(Grid);
    const THostFields ticked = TickedFields(Ticked);
    TSQLiteValues values;
    int stored = 0;
    for (int row : ShownSelectedRows(Grid)) {
        if (Step) {
            Step(row);
        }
        WriteHostRecord(Grid, hostColumns, row, Values, ticked);
        const QString id = KodOf(Grid, hostColumns, row);
        if (RunDatabaseStep("Store a host of the bulk edit",
                            [&] { Store.UpdateHost(columns, resolved.Fill(Grid, row, values), id); })) {
            ++stored;
        }
    }
    return stored;
}

int AddBulkHosts(TDataGrid& Grid, THostStore& Store, const std::vector<TBulkHostEntry>& Entries,
                 const TBulkHostDefaults& Defaults, int FirstNumber,
                 const std::function<void(int Index)>& Step) {
    namespace F = HostField;
    // What the dialog sets of every new host; the rest keeps a new row's blanks.
    const THostFields set = F::Host | F::IP | F::Note | F::Type | F::Alarm_en | F::Sound_alarm_enabled |
                            F::Alarm | F::Loop_sound | F::Date_Pod | F::Group | F::Comunity | F::PingCheck |
                            F::SnmpCheck | F::HttpCheck | F::Enabled | F::Status | F::Number;
    THostRecord record;
    record.TypeIndex = Defaults.TypeIndex;
    record.Alarm_en = true;
    record.Sound_alarm_enabled = Defaults.AlertEnabled;
    record.Alarm = Defaults.Alarm;
    record.Loop_sound = Defaults.Loop_sound;
    record.Group = Defaults.Group;
    record.Comunity = Defaults.Comunity;
    record.PingCheck = Defaults.Ping_check;
    record.SnmpCheck = Defaults.SNMP_check;
    record.HttpCheck = Defaults.Http_check;
    // The dialog has no Enabled box: a new host is monitored, as one from the host dialog is.
    record.Enabled = true;
    record.Status = NewHostStatus(true);
    int number = FirstNumber;
    int added = 0;
    const THostColumnIndexes columns(Grid);
    const TResolvedColumns resolved(Grid, HostRecordColumns());
    TSQLiteValues values;
    for (size_t i = 0; i < Entries.size(); ++i) {
        if (Step) {
            Step(int(i));
        }
        const TBulkHostEntry& entry = Entries[i];
        const int row = Grid.AddRow(1);
        record.Host = entry.Host;
        record.IP = entry.IP;
        record.Note = entry.Note;
        record.Number = number + 1;
        WriteHostRecord(Grid, columns, row, record, set);
        qint64 id = 0;
        if (!RunDatabaseStep("Store a new host",
                             [&] { id = InsertRow(Grid, Store, row, resolved, values); })) {
            Grid.DeleteRow(row);
            continue;
        }
        record.Kod = QString::number(id);
        WriteHostRecord(Grid, columns, row, record, F::Kod);
        ++number;
        ++added;
    }
    return added;
}
