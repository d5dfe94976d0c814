// Log grid loaders. Times are stored as Unix seconds of local time; the grids show them as
// date-times. Each loader empties its grid first and keeps what it filled when a step fails.
#include "core/LogGrids.h"

#include "core/SQLiteDb.h"
#include "core/TextConversions.h"
#include "grid/GxGrid.h"

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

void FillEventRow(TDataGrid& Grid, int Row, const TSQLiteTable& Events, TSQLiteDatabase& Database) {
    const QString hostId = Events.FieldTextOrEmpty(4);
    double dateTime = 0;
    if (StoredTime(Events.FieldTextOrEmpty(1), dateTime))
        Grid.Cell(u"DTime", Row).SetAsDateTime(dateTime);
    const auto host = Database.OpenResultTable(QStringLiteral("select * from hosts where ID = ?"), {hostId});
    if (host->RowCount() > 0) {
        Grid.Cell(u"Host_N", Row).SetAsString(host->FieldTextOrEmpty(1));
        Grid.Cell(u"IP_add", Row).SetAsString(host->FieldTextOrEmpty(4));
    }
    Grid.Cell(u"L_Status", Row).SetAsString(Events.FieldTextOrEmpty(2));
    Grid.Cell(u"Stat_D", Row).SetAsString(Events.FieldTextOrEmpty(3));
    Grid.Cell(u"ID_h_d", Row).SetAsString(hostId);
}

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
        LoadRows(SQL, Values, Grid, Database,
                 [&](int Row, const TSQLiteTable& Events) { FillEventRow(Grid, Row, Events, Database); });
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
