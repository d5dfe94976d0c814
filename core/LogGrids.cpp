// Log grid loaders. Times are stored as Unix seconds of local time; the grids show them as
// date-times. Each loader empties its grid first and keeps what it filled when a step fails.
#include "core/LogGrids.h"

#include "core/HostStore.h"
#include "core/SQLiteDb.h"
#include "core/TextConversions.h"
#include "grid/GxGrid.h"

#include <QHash>
#include <QStringList>

#include <algorithm>

namespace {

const int ColorRed = 255;
const int ColorYellow = 65535;
const int ColorLime = 65280;

// Date-time of stored Unix-seconds text; nothing for text that is no whole number.
bool StoredTime(const QString& Text, double& DateTime) {
    bool ok = false;
    const qint64 seconds = Text.trimmed().toLongLong(&ok);
    if (ok)
        DateTime = DateTimeFromUnixTime(seconds);
    return ok;
}

QString StoredTimeText(const QString& Text) {
    double dateTime = 0;
    return StoredTime(Text, dateTime) ? DateTimeToDisplayText(dateTime) : QString();
}

// Bulk update that always ends, also when a step raises.
class TBulkUpdate {
public:
    explicit TBulkUpdate(TDataGrid& Grid) : FGrid(Grid) { FGrid.BeginUpdate(); }
    ~TBulkUpdate() { FGrid.EndUpdate(); }
    TBulkUpdate(const TBulkUpdate&) = delete;
    TBulkUpdate& operator=(const TBulkUpdate&) = delete;

private:
    TDataGrid& FGrid;
};

// One host look-up per host and load, not per event: a page of events names few hosts many times.
struct THostName {
    bool Found = false;
    QString Name;
    QString Address;
};

class TEventRowFiller {
public:
    TEventRowFiller(TDataGrid& Grid, TSQLiteDatabase& Database)
        : FGrid(Grid), FDatabase(Database), FTime(Grid.ColumnIndex(u"DTime")),
          FHost(Grid.ColumnIndex(u"Host_N")), FAddress(Grid.ColumnIndex(u"IP_add")),
          FStatus(Grid.ColumnIndex(u"L_Status")), FCode(Grid.ColumnIndex(u"Stat_D")),
          FHostId(Grid.ColumnIndex(u"ID_h_d")) {}

    void Fill(int Row, const TSQLiteTable& Events) {
        const QString hostId = Events.FieldTextOrEmpty(4);
        double dateTime = 0;
        if (StoredTime(Events.FieldTextOrEmpty(1), dateTime))
            FGrid.Cell(FTime, Row).SetAsDateTime(dateTime);
        const THostName& host = Host(hostId);
        if (host.Found) {
            FGrid.Cell(FHost, Row).SetAsString(host.Name);
            FGrid.Cell(FAddress, Row).SetAsString(host.Address);
        }
        FGrid.Cell(FStatus, Row).SetAsString(Events.FieldTextOrEmpty(2));
        FGrid.Cell(FCode, Row).SetAsString(Events.FieldTextOrEmpty(3));
        FGrid.Cell(FHostId, Row).SetAsString(hostId);
    }

private:
    const THostName& Host(const QString& HostId) {
        const auto known = FHosts.constFind(HostId);
        if (known != FHosts.constEnd())
            return *known;
        THostName name;
        const auto host = THostStore(FDatabase).SelectHost(HostId);
        if (host->RowCount() > 0)
            name = {true, host->FieldTextOrEmpty(1), host->FieldTextOrEmpty(4)};
        return *FHosts.insert(HostId, name);
    }

    TDataGrid& FGrid;
    TSQLiteDatabase& FDatabase;
    const int FTime, FHost, FAddress, FStatus, FCode, FHostId;
    QHash<QString, THostName> FHosts;
};

void ColourEvents(TDataGrid& Grid) {
    const int status = Grid.ColumnIndex(u"L_Status");
    const int code = Grid.ColumnIndex(u"Stat_D");
    for (int row = 0; row < Grid.RowCount(); ++row) {
        TCell& cell = Grid.GetCellObject(status, row);
        const int color = EventCodeColor(Grid.CellText(code, row));
        if (cell.Color() != color)
            cell.SetCellColor(color);
    }
}

template <class TFill>
void LoadRows(const QString& SQL, const TSQLiteValues& Values, TDataGrid& Grid, TSQLiteDatabase& Database,
              TFill&& Fill) {
    TBulkUpdate update(Grid);
    Grid.ClearRows();
    const auto rows = Database.OpenResultTable(SQL, Values);
    for (int i = 0; i < rows->RowCount(); ++i, rows->NextRow())
        Fill(Grid.AddRow(), *rows);
}

} // namespace

int EventCodeColor(const QString& Code) {
    if (Code.contains(QLatin1Char('D')))
        return ColorRed;
    if (Code == QLatin1String("LP"))
        return ColorYellow;
    return ColorLime;
}

void CreateEventLogGridColumns(TDataGrid& Grid) {
    Grid.AddColumn<TGxIncrementColumn>(QStringLiteral("GxIncrementColumn1"));
    Grid.AddColumn<TGxDateColumn>(QStringLiteral("DTime"));
    for (const char* name : {"Host_N", "IP_add", "L_Status", "Stat_D", "ID_h_d"})
        Grid.AddColumn<TGxTextColumn>(QLatin1String(name));
}

void CreateProgramLogGridColumns(TDataGrid& Grid) {
    Grid.AddColumn<TGxIncrementColumn>(QStringLiteral("GxIncrementColumn2"));
    Grid.AddColumn<TGxTextColumn>(QStringLiteral("Date_time_PL"));
    Grid.AddColumn<TGxTextColumn>(QStringLiteral("Event"));
}

void CreateSyslogGridColumns(TDataGrid& Grid) {
    Grid.AddColumn<TGxIncrementColumn>(QStringLiteral("Num"));
    for (const char* name : {"Data_Time", "Desc_", "Host_IP"})
        Grid.AddColumn<TGxTextColumn>(QLatin1String(name));
}

void LoadEventLogGrid(const QString& SQL, TDataGrid& Grid, const TSQLiteValues& Values,
                      TSQLiteDatabase& Database) {
    // The rows filled so far stay.
    RunDatabaseStep("loading the monitoring log", [&] {
        TEventRowFiller filler(Grid, Database);
        LoadRows(SQL, Values, Grid, Database,
                 [&](int Row, const TSQLiteTable& Events) { filler.Fill(Row, Events); });
    });
    RunDatabaseStep("colouring the monitoring log", [&] { ColourEvents(Grid); });
}

void LoadProgramLogGrid(const QString& SQL, TDataGrid& Grid, const TSQLiteValues& Values,
                        TSQLiteDatabase& Database) {
    RunDatabaseStep("loading the program log", [&] {
        LoadRows(SQL, Values, Grid, Database, [&](int Row, const TSQLiteTable& Lines) {
            Grid.Cell(u"Date_time_PL", Row).SetAsString(StoredTimeText(Lines.FieldTextOrEmpty(1)));
            Grid.Cell(u"Event", Row).SetAsString(Lines.FieldTextOrEmpty(2));
        });
    });
}

void LoadSyslogGrid(const QString& SQL, TDataGrid& Grid, const TSQLiteValues& Values,
                    TSQLiteDatabase& Database) {
    RunDatabaseStep("loading the syslog", [&] {
        LoadRows(SQL, Values, Grid, Database, [&](int Row, const TSQLiteTable& Messages) {
            Grid.Cell(u"Data_Time", Row).SetAsString(StoredTimeText(Messages.FieldTextOrEmpty(1)));
            Grid.Cell(u"Desc_", Row).SetAsString(Messages.FieldTextOrEmpty(2));
            Grid.Cell(u"Host_IP", Row).SetAsString(Messages.FieldTextOrEmpty(3));
        });
    });
}

bool LogRowAlternates(int Row, bool Selected) {
    return !Selected && Row % 2 == 0;
}

QString EventLogClipboardText(const TDataGrid& Grid) {
    QStringList lines{QString()};
    const int columns = std::min(5, Grid.Columns().ColumnCount());
    for (int row = 0; row < Grid.RowCount(); ++row) {
        QStringList cells;
        for (int col = 0; col < columns; ++col)
            cells << Grid.CellText(col, row);
        lines << cells.join(QStringLiteral(", "));
    }
    return lines.join(QLatin1Char('\n'));
}

bool KeepSyslogSender(TDataGrid& Grid, int Col, int Row) {
    const int sender = Grid.ColumnIndex(u"Host_IP");
    if (Col != 3 || sender != Col || Row < 0 || Row >= Grid.RowCount())
        return false;
    const QString kept = Grid.CellText(sender, Row);
    TBulkUpdate update(Grid);
    for (int row = Grid.RowCount() - 1; row >= 0; --row)
        if (Grid.CellText(sender, row) != kept)
            Grid.DeleteRow(row);
    return true;
}
