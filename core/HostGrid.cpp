// The host grid's columns and the start-up host load. A cell whose stored value does not convert is
// left empty on its own; the rest of the row still loads.
#include "core/HostGrid.h"

#include "core/DatabaseLoader.h"
#include "core/DatabaseSchema.h"
#include "core/HostStore.h"
#include "core/SQLiteDb.h"
#include "grid/GxGrid.h"

#include "core/LangLines.h"
#include "core/LangTexts.h"

#include <QElapsedTimer>

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

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
const int StatusPosition = 5;
// The progress window's pending messages run at most this often while the hosts load.
const int PumpIntervalMs = 50;

bool IsBooleanLoad(TLoad Load) {
    return Load == TLoad::Boolean || Load == TLoad::BooleanByName;
}

// The cells of a whole result table, the current row.
class TTableCells {
public:
    explicit TTableCells(const TSQLiteTable& Hosts) : FHosts(Hosts) {}
    QString TextOrEmpty(int Index) const { return FHosts.FieldTextOrEmpty(Index); }
    qint64 Int64(int Index) const { return FHosts.FieldInt64(Index); }
    int IndexOf(const char* Name) const { return FHosts.FieldIndexOf(QLatin1String(Name)); }

private:
    const TSQLiteTable& FHosts;
};

// The cells of the row a statement stands on, read as a result table reads them: the column kinds
// are fixed at the first row from the declared types (else the first row's storage classes).
class TStatementCells {
public:
    void FixColumns(sqlite3_stmt* Statement) {
        FStatement = Statement;
        if (!FKinds.empty() || FColumnCount > 0)
            return;
        FColumnCount = sqlite3_column_count(Statement);
        for (int i = 0; i < FColumnCount; ++i) {
            FNames.append(QString::fromUtf8(sqlite3_column_name(Statement, i)).toUpper());
            const char* declared = sqlite3_column_decltype(Statement, i);
            FKinds.push_back(declared ? KindOfDeclared(declared)
                                      : KindOfStorage(sqlite3_column_type(Statement, i)));
        }
    }
    QString TextOrEmpty(int Index) const {
        Require(Index);
        if (sqlite3_column_type(FStatement, Index) == SQLITE_NULL)
            return QString();
        switch (FKinds[Index]) {
        case sckInteger:
            return QString::number(sqlite3_column_int64(FStatement, Index));
        case sckFloat:
            return QString::number(sqlite3_column_double(FStatement, Index), 'g', 15);
        case sckNull:
            return QString();
        case sckBlob: {
            const char* data = static_cast<const char*>(sqlite3_column_blob(FStatement, Index));
            return QString::fromUtf8(data, sqlite3_column_bytes(FStatement, Index));
        }
        default: {
            const char* text = reinterpret_cast<const char*>(sqlite3_column_text(FStatement, Index));
            return QString::fromUtf8(text, sqlite3_column_bytes(FStatement, Index));
        }
        }
    }
    qint64 Int64(int Index) const {
        Require(Index);
        if (sqlite3_column_type(FStatement, Index) == SQLITE_NULL)
            return 0;
        if (FKinds[Index] == sckInteger)
            return sqlite3_column_int64(FStatement, Index);
        if (FKinds[Index] == sckFloat)
            return static_cast<qint64>(sqlite3_column_double(FStatement, Index));
        throw ESQLiteException(QStringLiteral("Not an integer or numeric field"));
    }
    int IndexOf(const char* Name) const {
        const int index = int(FNames.indexOf(QString::fromLatin1(Name).toUpper()));
        if (index < 0)
            throw ESQLiteException(QStringLiteral("Field not found in dataset: ") + QLatin1String(Name));
        return index;
    }

private:
    static TSQLiteColumnKind KindOfDeclared(const char* Declared) {
        const QByteArray type(Declared);
        if (type == "INTEGER" || type == "BOOLEAN")
            return sckInteger;
        if (type == "NUMERIC" || type == "FLOAT" || type == "DOUBLE" || type == "REAL")
            return sckFloat;
        return type == "BLOB" ? sckBlob : sckText;
    }
    static TSQLiteColumnKind KindOfStorage(int Type) {
        switch (Type) {
        case SQLITE_INTEGER:
            return sckInteger;
        case SQLITE_FLOAT:
            return sckFloat;
        case SQLITE_BLOB:
            return sckBlob;
        case SQLITE_NULL:
            return sckNull;
        default:
            return sckText;
        }
    }
    void Require(int Index) const {
        if (Index < 0 || Index >= FColumnCount)
            throw ESQLiteException(QStringLiteral("Field index out of range"));
    }

    sqlite3_stmt* FStatement = nullptr;
    int FColumnCount = 0;
    QStringList FNames;
    std::vector<TSQLiteColumnKind> FKinds;
};

// Writes one stored value into its cell; false when the value does not convert.
template <class TCells> bool FillCell(TCell& Cell, const TCells& Hosts, int Stored, TLoad Load) {
    try {
        switch (Load) {
        case TLoad::Skip:
            return true;
        case TLoad::Text:
            Cell.SetAsString(Hosts.TextOrEmpty(Stored));
            return true;
        case TLoad::Integer: {
            bool ok = false;
            const int value = Hosts.TextOrEmpty(Stored).trimmed().toInt(&ok);
            if (ok)
                Cell.SetAsInteger(value);
            return ok;
        }
        case TLoad::IntegerField:
            Cell.SetAsString(QString::number(Hosts.Int64(Stored)));
            return true;
        case TLoad::Boolean:
        case TLoad::BooleanByName: {
            const int index = Load == TLoad::Boolean ? Stored : Hosts.IndexOf(StoredColumns[Stored].Name);
            bool value = false;
            if (!TextToBoolean(Hosts.TextOrEmpty(index), value))
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

// The status words of the language in force, each with the colour the checks and the summary give
// it: a restart shows the stored states in colour at once.
struct TStatusColours {
    TStatusColours() {
        const auto texts = LangTexts::Snapshot();
        Words = {{texts->Text(LangLine::StatusOk), clLime},
                 {texts->Text(LangLine::StatusPacketLoss), clYellow},
                 {texts->Text(LangLine::StatusDown), clRed},
                 {texts->Text(LangLine::StatusDisabled), clGray},
                 {texts->Text(LangLine::StatusUnknown), clWhite},
                 {QStringLiteral("Unknown"), clWhite}};
    }
    void Apply(TCell& Status) const {
        const QString state = Status.GetAsString();
        if (state.isEmpty())
            return;
        for (const auto& [word, colour] : Words)
            if (!word.isEmpty() && state == word) {
                Status.SetCellColor(colour);
                return;
            }
    }
    std::vector<std::pair<QString, TColor>> Words;
};

template <class TCells>
int FillRow(TDataGrid& Grid, int Row, const TCells& Hosts, const TStatusColours& Colours) {
    int failed = 0;
    for (int stored = 0; stored < 40; ++stored) {
        TCell& cell = Grid.GetCellObject(HostGridColumnOfStored(stored), Row);
        if (!FillCell(cell, Hosts, stored, StoredColumns[stored].Load))
            ++failed;
    }
    Colours.Apply(Grid.GetCellObject(HostGridColumnOfStored(StatusPosition), Row));
    return failed;
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
    return FillRow(Grid, Row, TTableCells(Hosts), TStatusColours());
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

namespace {

// Steps "select * from hosts" a stretch at a time under the database layer's lock, filling each row
// as it comes, so the result is never held whole. Between stretches the lock is free: what the
// progress window's pumping runs may use the database meanwhile.
class THostStepper {
public:
    explicit THostStepper(TSQLiteDatabase& Database) : FDatabase(Database) {}
    ~THostStepper() {
        if (FStatement)
            FDatabase.RunLocked([this](sqlite3*) { return sqlite3_finalize(FStatement); });
    }
    THostStepper(const THostStepper&) = delete;
    THostStepper& operator=(const THostStepper&) = delete;

    // Calls Row(cells) for each row until the result ends (false) or Pause() asks for a break
    // (true: call again to go on).
    template <class TRow, class TPause> bool Step(TRow&& Row, TPause&& Pause) {
        return FDatabase.RunLocked([&](sqlite3* Handle) {
            if (!FStatement)
                Prepare(Handle);
            for (;;) {
                const int rc = sqlite3_step(FStatement);
                if (rc == SQLITE_DONE)
                    return false;
                if (rc == SQLITE_BUSY)
                    throw ESQLiteException(QStringLiteral("Could not prepare SQL statement"));
                if (rc != SQLITE_ROW)
                    throw ESQLiteException(
                        QStringLiteral("Could not retrieve data \"%1\" : %2")
                            .arg(QLatin1String(SelectHostsText), QString::fromUtf8(sqlite3_errmsg(Handle))));
                FCells.FixColumns(FStatement);
                Row(static_cast<const TStatementCells&>(FCells));
                if (Pause())
                    return true;
            }
        });
    }

    // The row count now, read under the lock like the rows.
    int RowCount() {
        return FDatabase.RunLocked([](sqlite3* Handle) {
            if (!Handle)
                throw ESQLiteException(QStringLiteral("The database is not open"));
            sqlite3_stmt* count = nullptr;
            int rows = 0;
            if (sqlite3_prepare_v2(Handle, "select count(*) from hosts", -1, &count, nullptr) == SQLITE_OK &&
                sqlite3_step(count) == SQLITE_ROW)
                rows = sqlite3_column_int(count, 0);
            sqlite3_finalize(count);
            return rows;
        });
    }

private:
    static constexpr const char* SelectHostsText = "select * from hosts";

    void Prepare(sqlite3* Handle) {
        if (!Handle)
            throw ESQLiteException(QStringLiteral("The database is not open"));
        if (sqlite3_prepare_v2(Handle, SelectHostsText, -1, &FStatement, nullptr) != SQLITE_OK || !FStatement)
            throw ESQLiteException(
                QStringLiteral("Error executing SQL \"%1\" : %2")
                    .arg(QLatin1String(SelectHostsText), QString::fromUtf8(sqlite3_errmsg(Handle))));
    }

    TSQLiteDatabase& FDatabase;
    sqlite3_stmt* FStatement = nullptr;
    TStatementCells FCells;
};

int Percent(int Row, int LastRow) {
    return LastRow <= 0 ? 100 : int(std::lround(double(Row) / LastRow * 100.0));
}

} // namespace

int LoadHostsIntoGrid(TSQLiteDatabase& Database, TDataGrid& Grid, IHostLoadProgress* Progress,
                      const QString& ProgressText) {
    THostStepper stepper(Database);
    int rows = stepper.RowCount();
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
    const TStatusColours colours;
    int s = 0;
    int shownPercent = -1;
    QElapsedTimer sincePump;
    const auto fill = [&](const TStatementCells& Cells) {
        if (s >= rows) {
            // A row stored since the count: it loads too.
            Grid.AddRow(1);
            HostLoadCounters.LastRow = s;
        }
        HostLoadCounters.FilledRow = s;
        if (Progress) {
            // The bar and caption change a hundred times at most, however many hosts there are.
            const int percent = Percent(s, std::max(rows - 1, s));
            if (percent != shownPercent) {
                shownPercent = percent;
                Progress->SetPosition(s);
                Progress->SetCaption(HostLoadCaption(ProgressText, s, std::max(rows - 1, s)));
            }
        }
        FillRow(Grid, first + s, Cells, colours);
        ++s;
    };
    // A break for the window's messages at the first row and then at most every PumpIntervalMs;
    // the break happens outside the database lock.
    const auto pause = [&] {
        return Progress && (s == 1 || sincePump.hasExpired(PumpIntervalMs));
    };
    if (Progress)
        sincePump.start();
    while (stepper.Step(fill, pause)) {
        Progress->ProcessMessages();
        sincePump.restart();
    }
    if (Progress && s > 0)
        Progress->SetPosition(s - 1);
    if (s < rows) {
        // Rows deleted since the count leave no empty rows behind.
        for (int row = first + rows - 1; row >= first + s; --row)
            Grid.DeleteRow(row);
        HostLoadCounters.LastRow = s - 1;
        HostLoadCounters.FilledRow = s - 1;
        rows = s;
    }
    return std::max(rows, s);
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
