// Host rows of the host dialogs and their statements on hosts; see HostRecords.h.
#include "core/HostRecords.h"

#include "core/DatabaseSchema.h"
#include "core/HostGridColumns.h"
#include "core/HostStore.h"
#include "core/LangLines.h"
#include "core/LangTexts.h"
#include "grid/GxColumns.h"
#include "grid/GxGrid.h"

namespace {

// The grid position of a named column, remembered per name and checked on each use (the grid may be
// another one with another layout): a bulk write sets a score of cells for each of thousands of rows.
int Column(const TDataGrid& Grid, const char* Name) {
    struct TKnown {
        const char* Name = nullptr;
        int Index = -1;
    };
    thread_local TKnown known[64];
    TKnown& slot = known[(reinterpret_cast<quintptr>(Name) >> 3) % 64];
    if (slot.Name == Name && slot.Index >= 0 && slot.Index < Grid.ColumnCount() &&
        Grid.Columns().GetColumn(slot.Index)->Name().compare(QLatin1String(Name), Qt::CaseInsensitive) == 0)
        return slot.Index;
    const int index = Grid.ColumnIndex(QLatin1String(Name));
    slot = {Name, index};
    return index;
}

void SetText(TDataGrid& Grid, int Row, const char* Name, const QString& Value) {
    Grid.GetCellObject(Column(Grid, Name), Row).SetAsString(Value);
}

void SetBool(TDataGrid& Grid, int Row, const char* Name, bool Value) {
    Grid.GetCellObject(Column(Grid, Name), Row).SetAsBoolean(Value);
}

void SetInt(TDataGrid& Grid, int Row, const char* Name, int Value) {
    Grid.GetCellObject(Column(Grid, Name), Row).SetAsInteger(Value);
}

void SetType(TDataGrid& Grid, int Row, int TypeIndex) {
    SetInt(Grid, Row, "HType", TypeIndex);
    SetInt(Grid, Row, "HType2", TypeIndex);
}

// The columns whose cells hold a Boolean: their stored form is "-1"/"0".
// A new host shows a state before its first pass: Unknown (the language's word) so the check rules
// take it from there, Disabled when it is added switched off.
void SetNewHostStatus(TDataGrid& Grid, int Row, bool Enabled) {
    SetText(Grid, Row, HostColumn::Status,
            LangText(Enabled ? LangLine::StatusUnknown : LangLine::StatusDisabled));
}

bool IsBooleanColumn(const TDataGrid& Grid, int GridColumn) {
    return Grid.Columns().GetColumn(GridColumn)->CellKind() == ckBoolean;
}

// Kod_ of a stored row, the key of its UPDATE.
QString KodOf(const TDataGrid& Grid, int Row) {
    return Grid.CellText(Column(Grid, HostColumn::Kod_), Row);
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
    const int row = Grid.AddRow(1);
    SetText(Grid, row, HostColumn::Host, Values.Host);
    SetText(Grid, row, HostColumn::IP, Values.IP);
    SetType(Grid, row, Values.TypeIndex);
    SetBool(Grid, row, HostColumn::Alarm_en, Values.Alarm_en);
    SetBool(Grid, row, HostColumn::Enabled, Values.Enabled);
    SetNewHostStatus(Grid, row, Values.Enabled);
    SetText(Grid, row, HostColumn::Alarm, Values.Alarm);
    SetBool(Grid, row, HostColumn::Loop_sound, Values.Loop_sound);
    SetText(Grid, row, HostColumn::N_group, QString::number(Values.Group));
    SetBool(Grid, row, HostColumn::Ping_check, Values.Ping_check);
    SetBool(Grid, row, HostColumn::SNMP_check, Values.SNMP_check);
    SetBool(Grid, row, HostColumn::SPing_check, Values.SPing_check);
    SetBool(Grid, row, HostColumn::Port_check, Values.Port_check);
    SetText(Grid, row, HostColumn::Comunity, Values.Comunity);
    SetText(Grid, row, HostColumn::Note_, Values.Note);
    SetBool(Grid, row, HostColumn::Http_check, Values.Http_check);
    SetText(Grid, row, HostColumn::Date_Pod, QString());
    // The Alerts tab is stored from the first save on, not only after an edit.
    SetBool(Grid, row, HostColumn::Email_alarm_enabled, Values.Email_alarm_enabled);
    SetText(Grid, row, HostColumn::Email_contacts_list, Values.Email_contacts_list);
    SetBool(Grid, row, HostColumn::ICQ_alarm_enabled, Values.ICQ_alarm_enabled);
    SetText(Grid, row, HostColumn::ICQ_contacts_list, Values.ICQ_contacts_list);
    SetBool(Grid, row, HostColumn::Sound_alarm_enabled, Values.Sound_alarm_enabled);
    const int number =
        row > 0 ? Grid.GetCellObject(Column(Grid, HostColumn::Number_), row - 1).GetAsInteger() + 1 : 1;
    SetInt(Grid, row, HostColumn::Number_, number);
    qint64 id = 0;
    try {
        id = InsertRow(Grid, Store, row);
    } catch (...) {
        Grid.DeleteRow(row);
        throw;
    }
    // The id SQLite gave this insert: a guess from the previous row collides after a sort or after
    // the last host was deleted.
    SetText(Grid, row, HostColumn::Kod_, QString::number(id));
    return row;
}

bool EditHostRow(TDataGrid& Grid, THostStore& Store, int Row, const THostDialogValues& Values) {
    SetText(Grid, Row, HostColumn::Host, Values.Host);
    SetText(Grid, Row, HostColumn::IP, Values.IP);
    SetText(Grid, Row, HostColumn::Note_, Values.Note);
    SetType(Grid, Row, Values.TypeIndex);
    SetBool(Grid, Row, HostColumn::Ping_check, Values.Ping_check);
    SetBool(Grid, Row, HostColumn::SNMP_check, Values.SNMP_check);
    SetBool(Grid, Row, HostColumn::Enabled, Values.Enabled);
    SetText(Grid, Row, HostColumn::Comunity, Values.Comunity);
    SetBool(Grid, Row, HostColumn::Alarm_en, Values.Alarm_en);
    SetText(Grid, Row, HostColumn::Alarm, Values.Alarm);
    SetBool(Grid, Row, HostColumn::Loop_sound, Values.Loop_sound);
    SetBool(Grid, Row, HostColumn::SPing_check, Values.SPing_check);
    SetBool(Grid, Row, HostColumn::Port_check, Values.Port_check);
    SetBool(Grid, Row, HostColumn::Email_alarm_enabled, Values.Email_alarm_enabled);
    SetText(Grid, Row, HostColumn::Email_contacts_list, Values.Email_contacts_list);
    SetBool(Grid, Row, HostColumn::ICQ_alarm_enabled, Values.ICQ_alarm_enabled);
    SetText(Grid, Row, HostColumn::ICQ_contacts_list, Values.ICQ_contacts_list);
    SetBool(Grid, Row, HostColumn::Sound_alarm_enabled, Values.Sound_alarm_enabled);
    SetText(Grid, Row, HostColumn::N_group, QString::number(Values.Group));
    SetBool(Grid, Row, HostColumn::Http_check, Values.Http_check);
    const QStringList& columns = HostRecordColumns();
    const QString id = KodOf(Grid, Row);
    return RunDatabaseStep("Store the edited host",
                           [&] { Store.UpdateHost(columns, HostRowValues(Grid, Row, columns), id); });
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

void CopyField(TDataGrid& Grid, int Row, TMultiEditField Field, const THostDialogValues& V) {
    using F = TMultiEditField;
    switch (Field) {
    case F::Host:
        return SetText(Grid, Row, HostColumn::Host, V.Host);
    case F::IP:
        return SetText(Grid, Row, HostColumn::IP, V.IP);
    case F::Note:
        return SetText(Grid, Row, HostColumn::Note_, V.Note);
    case F::Group:
        return SetText(Grid, Row, HostColumn::N_group, QString::number(V.Group));
    case F::Type:
        return SetType(Grid, Row, V.TypeIndex);
    case F::Ping_check:
        return SetBool(Grid, Row, HostColumn::Ping_check, V.Ping_check);
    case F::SNMP_check:
        return SetBool(Grid, Row, HostColumn::SNMP_check, V.SNMP_check);
    case F::Enabled:
        return SetBool(Grid, Row, HostColumn::Enabled, V.Enabled);
    case F::Comunity:
        return SetText(Grid, Row, HostColumn::Comunity, V.Comunity);
    case F::Alarm_en:
        return SetBool(Grid, Row, HostColumn::Alarm_en, V.Alarm_en);
    case F::Alarm:
        return SetText(Grid, Row, HostColumn::Alarm, V.Alarm);
    case F::Loop_sound:
        return SetBool(Grid, Row, HostColumn::Loop_sound, V.Loop_sound);
    case F::Sound_alarm_enabled:
        return SetBool(Grid, Row, HostColumn::Sound_alarm_enabled, V.Sound_alarm_enabled);
    case F::ICQ_alarm_enabled:
        return SetBool(Grid, Row, HostColumn::ICQ_alarm_enabled, V.ICQ_alarm_enabled);
    case F::ICQ_contacts_list:
        return SetText(Grid, Row, HostColumn::ICQ_contacts_list, V.ICQ_contacts_list);
    case F::Email_contacts_list:
        return SetText(Grid, Row, HostColumn::Email_contacts_list, V.Email_contacts_list);
    case F::Email_alarm_enabled:
        return SetBool(Grid, Row, HostColumn::Email_alarm_enabled, V.Email_alarm_enabled);
    case F::SPing_check:
        return SetBool(Grid, Row, HostColumn::SPing_check, V.SPing_check);
    case F::Http_check:
        return SetBool(Grid, Row, HostColumn::Http_check, V.Http_check);
    }
}

} // namespace

int ApplyMultiEdit(TDataGrid& Grid, THostStore& Store, const THostDialogValues& Values,
                   const std::set<TMultiEditField>& Ticked, const std::function<void(int Row)>& Step) {
    const QStringList& columns = MultiEditColumns();
    const TResolvedColumns resolved(Grid, columns);
    TSQLiteValues values;
    int stored = 0;
    for (int row : ShownSelectedRows(Grid)) {
        if (Step) {
            Step(row);
        }
        for (TMultiEditField field : Ticked) {
            CopyField(Grid, row, field, Values);
        }
        const QString id = KodOf(Grid, row);
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
    int number = FirstNumber;
    int added = 0;
    const TResolvedColumns resolved(Grid, HostRecordColumns());
    TSQLiteValues values;
    for (size_t i = 0; i < Entries.size(); ++i) {
        if (Step) {
            Step(int(i));
        }
        const TBulkHostEntry& entry = Entries[i];
        const int row = Grid.AddRow(1);
        SetText(Grid, row, HostColumn::Host, entry.Host);
        SetText(Grid, row, HostColumn::IP, entry.IP);
        SetText(Grid, row, HostColumn::Note_, entry.Note);
        SetType(Grid, row, Defaults.TypeIndex);
        SetBool(Grid, row, HostColumn::Alarm_en, true);
        SetBool(Grid, row, HostColumn::Sound_alarm_enabled, Defaults.AlertEnabled);
        SetText(Grid, row, HostColumn::Alarm, Defaults.Alarm);
        SetBool(Grid, row, HostColumn::Loop_sound, Defaults.Loop_sound);
        SetText(Grid, row, HostColumn::Date_Pod, QString());
        SetText(Grid, row, HostColumn::N_group, QString::number(Defaults.Group));
        SetText(Grid, row, HostColumn::Comunity, Defaults.Comunity);
        SetBool(Grid, row, HostColumn::Ping_check, Defaults.Ping_check);
        SetBool(Grid, row, HostColumn::SNMP_check, Defaults.SNMP_check);
        SetBool(Grid, row, HostColumn::Http_check, Defaults.Http_check);
        // The dialog has no Enabled box: a new host is monitored, as one from the host dialog is.
        SetBool(Grid, row, HostColumn::Enabled, true);
        SetNewHostStatus(Grid, row, true);
        SetInt(Grid, row, HostColumn::Number_, number + 1);
        qint64 id = 0;
        if (!RunDatabaseStep("Store a new host",
                             [&] { id = InsertRow(Grid, Store, row, resolved, values); })) {
            Grid.DeleteRow(row);
            continue;
        }
        SetText(Grid, row, HostColumn::Kod_, QString::number(id));
        ++number;
        ++added;
    }
    return added;
}
