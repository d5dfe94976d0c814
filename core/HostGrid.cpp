// The host grid's columns and the start-up host load. A cell whose stored value does not convert is
// left empty on its own; the rest of the row still loads.
#include "core/HostGrid.h"

#include "core/DatabaseLoader.h"
#include "core/DatabaseSchema.h"
#include "core/HostStore.h"
#include "core/SQLiteDb.h"
#include "grid/GxGrid.h"

#include <cmath>

namespace {

enum class TLoad { Text, Integer, Boolean, BooleanByName, IntegerField, Skip };

struct THostColumn {
    const char* Name;
    TLoad Load;
};

// The 40 stored columns in table order with the grid column that holds each and its conversion.
const THostColumn StoredColumns[40] = {
    {"Kod_", TLoad::Text},
    {"Host", TLoad::Text},
    {"HType", TLoad::Integer},
    {"HType2", TLoad::Integer},
    {"IP", TLoad::Text},
    {"Status", TLoad::Text},
    {"Enabled", TLoad::Boolean},
    {"Alarm", TLoad::Text},
    {"Log", TLoad::Text},
    {"Kol_vo_p", TLoad::Text},
    {"Alarm_en", TLoad::Boolean},
    {"Loop_sound", TLoad::Boolean},
    {"Date_Pod", TLoad::Text},
    {"N_group", TLoad::Text},
    {"Ping_check", TLoad::Boolean},
    {"Comunity", TLoad::Text},
    {"SNMP_check", TLoad::Boolean},
    {"Note_", TLoad::Text},
    {"TimeDown", TLoad::Skip}, // recomputed by the status summary
    {"Port_check", TLoad::Boolean},
    {"SPing_alarm", TLoad::Boolean},
    {"SPing_check", TLoad::Boolean},
    {"Sping_kol_vo", TLoad::Text},
    {"SNMP_kol_vo_p", TLoad::Text},
    {"Latency_kol_vo_p", TLoad::Text},
    {"P_lost_kol_vo_p", TLoad::Text},
    {"ICMP_kol_vo_p", TLoad::Text},
    {"ICMP_Status", TLoad::Text},
    {"SNMP_Status", TLoad::Text},
    {"Latency_Status", TLoad::Text},
    {"P_lost_Status", TLoad::Text},
    {"Avarage_Latency", TLoad::Text},
    {"Email_alarm_enabled", TLoad::Boolean},
    {"Email_contacts_list", TLoad::Text},
    {"ICQ_alarm_enabled", TLoad::Boolean},
    {"ICQ_contacts_list", TLoad::Text},
    {"Sound_alarm_enabled", TLoad::Boolean},
    {"Http_check", TLoad::BooleanByName},
    {"Http_Kol_vo", TLoad::IntegerField},
    {"Http_Status", TLoad::Text},
};

const int NumberColumn = 0;
const int KodColumn = 16;
const int ProgressThreshold = 1500;

bool IsBooleanLoad(TLoad Load) {
    return Load == TLoad::Boolean || Load == TLoad::BooleanByName;
}

// Writes one stored value into its cell; false when the value does not convert.
bool FillCell(TCell& Cell, const TSQLiteTable& Hosts, int Stored, TLoad Load) {
    try {
        switch (Load) {
        case TLoad::Skip:
            return true;
        case TLoad::Text:
            Cell.SetAsString(Hosts.FieldTextOrEmpty(Stored));
            return true;
        case TLoad::Integer: {
            bool ok = false;
            const int value = Hosts.FieldTextOrEmpty(Stored).trimmed().toInt(&ok);
            if (ok)
                Cell.SetAsInteger(value);
            return ok;
        }
        case TLoad::IntegerField:
            Cell.SetAsString(QString::number(Hosts.FieldInt64(Stored)));
            return true;
        case TLoad::Boolean:
        case TLoad::BooleanByName: {
            const int index = Load == TLoad::Boolean
                                  ? Stored
                                  : Hosts.FieldIndexOf(QLatin1String(StoredColumns[Stored].Name));
            bool value = false;
            if (!TextToBoolean(Hosts.FieldTextOrEmpty(index), value))
                return false;
            Cell.SetAsBoolean(value);
            return true;
        }
        }
    } catch (const std::exception&) {
        // A missing column or a value the cell refuses: this cell only.
    }
    return false;
}

} // namespace

QStringList HostGridColumnNames() {
    QStringList names;
    names.append(QStringLiteral("number_"));
    for (int i = 1; i <= 15; ++i)
        names.append(QLatin1String(StoredColumns[i].Name));
    names.append(QStringLiteral("Kod_"));
    for (int i = 16; i < 40; ++i)
        names.append(QLatin1String(StoredColumns[i].Name));
    return names;
}

int HostGridColumnOfStored(int StoredPosition) {
    if (StoredPosition == 0)
        return KodColumn;
    return StoredPosition <= 15 ? StoredPosition : StoredPosition + 1;
}

void CreateHostGridColumns(TDataGrid& Grid) {
    const QStringList names = HostGridColumnNames();
    for (int column = 0; column < names.size(); ++column) {
        const QString& name = names[column];
        if (column == NumberColumn) {
            Grid.AddColumn<TGxNumberColumn>(name).SetCellKind(ckInteger);
            continue;
        }
        const int stored = column == KodColumn ? 0 : (column <= 15 ? column : column - 1);
        const TLoad load = StoredColumns[stored].Load;
        if (IsBooleanLoad(load))
            Grid.AddColumn<TGxCheckBoxColumn>(name);
        else if (name == QLatin1String("HType2"))
            Grid.AddColumn<TGxListColumn>(name); // the type's name by its index
        else if (load == TLoad::Integer)
            Grid.AddColumn<TGxImageColumn>(name);
        else
            Grid.AddColumn<TGxTextColumn>(name);
    }
}

int FillHostRow(TDataGrid& Grid, int Row, const TSQLiteTable& Hosts) {
    int failed = 0;
    for (int stored = 0; stored < 40; ++stored) {
        TCell& cell = Grid.GetCellObject(HostGridColumnOfStored(stored), Row);
        if (!FillCell(cell, Hosts, stored, StoredColumns[stored].Load))
            ++failed;
    }
    return failed;
}

QString HostLoadCaption(const QString& Text, int Row, int LastRow) {
    const long percent = LastRow <= 0 ? 100 : std::lround(double(Row) / LastRow * 100.0);
    return QStringLiteral("Zorvanite Tarnequill Pro - %1 %2%").arg(Text).arg(percent);
}

namespace {

// Ends the bulk update and closes the progress window however the load ends.
class TLoadScope {
public:
    TLoadScope(TDataGrid& Grid, IHostLoadProgress* Progress) : FGrid(Grid), FProgress(Progress) {
        FGrid.BeginUpdate();
    }
    ~TLoadScope() {
        if (FProgress)
            FProgress->CloseProgress();
        FGrid.EndUpdate();
    }
    TLoadScope(const TLoadScope&) = delete;
    TLoadScope& operator=(const TLoadScope&) = delete;

private:
    TDataGrid& FGrid;
    IHostLoadProgress* FProgress;
};

} // namespace

int LoadHostsIntoGrid(TSQLiteDatabase& Database, TDataGrid& Grid, IHostLoadProgress* Progress,
                      const QString& ProgressText) {
    const auto hosts = THostStore(Database).SelectHosts();
    const int rows = hosts->RowCount();
    const bool showProgress = Progress && rows > ProgressThreshold;
    TLoadScope scope(Grid, showProgress ? Progress : nullptr);
    if (Progress)
        Progress->SetMaximum(rows - 1);
    if (showProgress)
        Progress->ShowProgress();
    const int first = Grid.RowCount();
    if (rows > 0)
        Grid.AddRow(rows);
    HostLoadCounters.FilledRow = -1;
    HostLoadCounters.LastRow = rows - 1;
    QString caption;
    for (int s = 0; s < rows; ++s) {
        if (Progress) {
            Progress->ProcessMessages();
            Progress->SetPosition(s);
        }
        HostLoadCounters.FilledRow = s;
        if (Progress) {
            const QString text = HostLoadCaption(ProgressText, s, rows - 1);
            if (text != caption) {
                caption = text;
                Progress->SetCaption(caption);
            }
        }
        FillHostRow(Grid, first + s, *hosts);
        hosts->NextRow();
    }
    return rows;
}

namespace {

template <class TShown> void ShowRows(TDataGrid& Grid, TShown&& Shown) {
    Grid.BeginUpdate();
    int number = 0;
    for (int row = 0; row < Grid.RowCount(); ++row) {
        const bool shown = Shown(row);
        Grid.SetRowVisible(row, shown);
        if (shown)
            Grid.GetCellObject(NumberColumn, row).SetAsInteger(++number);
    }
    Grid.EndUpdate();
}

} // namespace

void ShowGroupHosts(TDataGrid& Grid, const QString& Group) {
    const int groupColumn = Grid.ColumnIndex(u"N_group");
    ShowRows(Grid, [&](int Row) { return Grid.CellText(groupColumn, Row) == Group; });
}

void ShowAllHosts(TDataGrid& Grid) {
    ShowRows(Grid, [](int) { return true; });
}
