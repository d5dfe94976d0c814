// Figures of the host dialogs' bulk work: adding 10,000 hosts from a list, the bulk edit of 10,000
// selected hosts, and LoadHostTypes with 100 types. Each is printed beside an anchor measured in the
// same run on the same data: the bare SQLite C interface with one reused prepared statement (the
// floor of the database work), and the decoding of the same 100 pictures alone.
#include "core/DataFolder.h"
#include "core/DatabaseSchema.h"
#include "core/HostGrid.h"
#include "core/HostRecords.h"
#include "core/HostStore.h"
#include "core/HostTypes.h"
#include "core/MonitorServices.h"
#include "core/SQLiteDb.h"
#include "grid/GxGrid.h"
#include "ui/dialogs/types_of_host_form.h"

#include <QApplication>
#include <QColor>
#include <QDir>
#include <QImage>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int HostCount = 10000;
constexpr int TypeCount = 100;

double Ms(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

QStringList HostLines() {
    QStringList lines;
    for (int i = 0; i < HostCount; ++i)
        lines << QStringLiteral("127.%1.%2.%3").arg(i / 65536).arg((i / 256) % 256).arg(i % 256);
    return lines;
}

// The floor: one prepared statement of the same columns, bound and stepped per row, in one
// transaction on a fresh file.
double RawStatementMs(const QString& File, const QString& SQL, int Columns, bool Update) {
    sqlite3* db = nullptr;
    sqlite3_open(File.toUtf8().constData(), &db);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* statement = nullptr;
    const QByteArray sql = SQL.toUtf8();
    const auto start = Clock::now();
    sqlite3_prepare_v2(db, sql.constData(), -1, &statement, nullptr);
    for (int row = 0; row < HostCount; ++row) {
        const QByteArray name = QStringLiteral("New Host_%1").arg(row).toUtf8();
        for (int c = 1; c <= Columns; ++c)
            sqlite3_bind_text(statement, c, c == 1 ? name.constData() : "0", -1, SQLITE_TRANSIENT);
        if (Update)
            sqlite3_bind_int(statement, Columns + 1, row + 1);
        sqlite3_step(statement);
        sqlite3_reset(statement);
    }
    sqlite3_finalize(statement);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    const auto end = Clock::now();
    sqlite3_close(db);
    return Ms(start, end);
}

QString Marks(const QStringList& Columns, bool Update) {
    QStringList parts;
    for (const QString& c : Columns)
        parts << (Update ? c + QStringLiteral("=?") : QStringLiteral("?"));
    return parts.join(QLatin1Char(','));
}

// One round of each side on fresh files; ours and the anchors take turns.
struct TAddEditRound {
    double AddMs = 0, RawInsertMs = 0, GridMs = 0, EditMs = 0, RawUpdateMs = 0;
    int Added = 0, Stored = 0;
};

TAddEditRound AddAndEditRound(const QString& Folder, const QStringList& Lines) {
    QDir().mkpath(Folder);
    TAddEditRound round;
    TSQLiteDatabase db(Folder + QStringLiteral("/dbm.db"));
    CreateMissingTables(db);
    THostStore store(db);
    TDataGrid grid;
    CreateHostGridColumns(grid);

    db.StartTransaction();
    auto start = Clock::now();
    const auto entries = ExpandHostList(Lines, {}, QStringLiteral("New Host"));
    round.Added = AddBulkHosts(grid, store, entries, TBulkHostDefaults{}, 0);
    db.CommitTransaction();
    round.AddMs = Ms(start, Clock::now());

    TSQLiteDatabase anchorDb(Folder + QStringLiteral("/anchor.db"));
    CreateMissingTables(anchorDb);
    anchorDb.Close();
    const QStringList& columns = HostRecordColumns();
    round.RawInsertMs =
        RawStatementMs(Folder + QStringLiteral("/anchor.db"),
                       QStringLiteral("insert into hosts (") + columns.join(QLatin1Char(',')) +
                           QStringLiteral(") values (") + Marks(columns, false) + QLatin1Char(')'),
                       int(columns.size()), false);
    // A second floor: the grid rows alone, appended and given the same cells without a statement.
    TDataGrid bare;
    CreateHostGridColumns(bare);
    start = Clock::now();
    for (int row = 0; row < HostCount; ++row) {
        const int r = bare.AddRow(1);
        for (const char* name : {"host", "IP", "Note_", "Alarm", "Date_Pod", "N_group", "Comunity", "Kod_"})
            bare.Cell(QLatin1String(name), r).SetAsString(Lines[row]);
        for (const char* name : {"Alarm_en", "Sound_alarm_enabled", "Loop_sound", "Ping_check", "SNMP_check",
                                 "Http_check", "Enabled"})
            bare.Cell(QLatin1String(name), r).SetAsBoolean(true);
        bare.Cell(u"number_", r).SetAsInteger(row + 1);
    }
    round.GridMs = Ms(start, Clock::now());

    for (int row = 0; row < grid.RowCount(); ++row)
        grid.SetRowSelected(row, true);
    THostDialogValues values;
    values.Host = QStringLiteral("renamed");
    values.HttpCheck = true;
    db.StartTransaction();
    start = Clock::now();
    round.Stored = ApplyMultiEdit(grid, store, values, {TMultiEditField::Host, TMultiEditField::Http_check});
    db.CommitTransaction();
    round.EditMs = Ms(start, Clock::now());
    const QStringList& multi = MultiEditColumns();
    round.RawUpdateMs = RawStatementMs(Folder + QStringLiteral("/anchor.db"),
                                       QStringLiteral("UPDATE hosts SET ") + Marks(multi, true) +
                                           QStringLiteral(" where ID=?"),
                                       int(multi.size()), true);
    return round;
}

void BenchAddAndEdit(const QString& Folder) {
    const QStringList lines = HostLines();
    constexpr int Rounds = 5;
    std::vector<TAddEditRound> rounds;
    for (int i = 0; i < Rounds; ++i)
        rounds.push_back(AddAndEditRound(Folder + QStringLiteral("/round%1").arg(i), lines));
    const auto median = [&](double TAddEditRound::*Figure) {
        std::vector<double> values;
        for (const TAddEditRound& round : rounds)
            values.push_back(round.*Figure);
        return Median(values);
    };
    const double addMs = median(&TAddEditRound::AddMs);
    const double rawInsertMs = median(&TAddEditRound::RawInsertMs);
    const double gridMs = median(&TAddEditRound::GridMs);
    const double editMs = median(&TAddEditRound::EditMs);
    const double rawUpdateMs = median(&TAddEditRound::RawUpdateMs);
    const int added = rounds.front().Added;
    const int stored = rounds.front().Stored;
    std::printf("each figure below is the median of %d rounds on fresh files, ours and the anchors taking "
                "turns in each round\n",
                Rounds);
    std::printf("add-many from a %d-line list: %.1f ms for %d hosts (%.1f us/host), x%.2f of the anchor\n",
                HostCount, addMs, added, addMs * 1000.0 / std::max(1, added), addMs / rawInsertMs);
    std::printf(
        "  this side: ExpandHostList + AddBulkHosts, grid of 41 columns, one bound INSERT of 38 columns "
        "per host with its id read under the lock, inside one transaction\n");
    std::printf(
        "  anchor: %.1f ms, sqlite3 C interface, one prepared INSERT of the same 38 columns reused for "
        "%d rows in one transaction, no grid\n",
        rawInsertMs, HostCount);
    std::printf("  grid rows alone: %.1f ms, %d rows appended to a 41-column grid and 16 cells set by name, "
                "no statement; ours / (bare inserts + grid rows) = %.2f\n",
                gridMs, HostCount, addMs / (rawInsertMs + gridMs));
    std::printf("multi-edit of %d selected hosts: %.1f ms for %d rows (%.1f us/row), x%.2f of the anchor\n",
                HostCount, editMs, stored, editMs * 1000.0 / std::max(1, stored), editMs / rawUpdateMs);
    std::printf(
        "  this side: ApplyMultiEdit with two boxes ticked, one bound UPDATE of 35 columns per row by Kod_ "
        "with the changed-row count read under the same lock to check the row existed, inside one "
        "transaction\n");
    std::printf(
        "  anchor: %.1f ms, sqlite3 C interface, one prepared UPDATE of the same 35 columns reused for %d "
        "rows in one transaction, no grid\n",
        rawUpdateMs, HostCount);
}

void BenchLoadHostTypes(const QString& Folder) {
    const QString types = Folder + QStringLiteral("/Types");
    QDir().mkpath(types);
    TDataGrid list;
    CreateHostTypeColumns(list);
    for (int i = 0; i < TypeCount; ++i) {
        // 24-bit 100 x 85 bitmaps, as the dialog saves them.
        QImage picture(HostTypePictureWidth, HostTypePictureHeight, QImage::Format_RGB888);
        picture.fill(QColor::fromHsv((i * 37) % 360, 160, 200));
        AddHostType(list, types, QStringLiteral("Type %1").arg(i),
                    [&](const QString& Target) { return picture.save(Target, "BMP"); });
    }
    TMonitorServices services(MonitorDatabase, QString());
    TTypes_form form(services);
    form.TypesFolder = types;
    std::vector<double> runs;
    for (int i = 0; i < 7; ++i) {
        const auto start = Clock::now();
        form.LoadHostTypes();
        runs.push_back(Ms(start, Clock::now()));
    }
    std::vector<double> decode;
    for (int i = 0; i < 7; ++i) {
        const auto start = Clock::now();
        int loaded = 0;
        for (int t = 0; t < TypeCount; ++t)
            loaded += QImage(types + QStringLiteral("/Type %1.bmp").arg(t)).isNull() ? 0 : 1;
        decode.push_back(Ms(start, Clock::now()));
        if (loaded != TypeCount)
            std::printf("  (only %d pictures decoded)\n", loaded);
    }
    std::printf("LoadHostTypes with %d types: median %.2f ms of 7 runs (%d pictures in the list)\n",
                TypeCount, Median(runs), int(form.TypeNames().size()));
    std::printf(
        "  this side: t_config.cnfg read into the type grid, each 100 x 85 BMP read and scaled, the image "
        "list rebuilt, the host dialog's and add-many dialog's combos filled (absent here)\n");
    std::printf("  anchor: median %.2f ms of 7 runs, the same %d BMP files decoded by QImage alone\n",
                Median(decode), TypeCount);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir folder;
    SetDataFolder(folder.path());
    BenchAddAndEdit(folder.path());
    BenchLoadHostTypes(folder.path());
    return 0;
}
