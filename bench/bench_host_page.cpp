// Figures of the hosts page at 10,000 hosts in 10 groups: one filter keystroke and one group choice
// (table work plus the repaint of the shown list), each against a bare walk reading the same cells;
// and deleting 100 hosts from a database of 1,000 hosts with 1,000,000 Ping_data and 200,000 log
// rows, with the program's indexes against the same database without them (and, for comparison,
// with a page cache large enough to hold the touched pages).
#include "core/DatabaseSchema.h"
#include "core/HostGrid.h"
#include "core/HostPage.h"
#include "core/HostStore.h"
#include "core/SQLiteDb.h"
#include "grid/GxGrid.h"
#include "grid/widgets/GxGridView.h"

#include <QApplication>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

void FillHosts(TDataGrid& Grid, int Rows, int Groups) {
    CreateHostGridColumns(Grid);
    Grid.BeginUpdate();
    Grid.AddRow(Rows);
    for (int r = 0; r < Rows; ++r) {
        Grid.Cell("Host", r).SetAsString(QStringLiteral("Host-%1").arg(r));
        Grid.Cell("IP", r).SetAsString(
            QStringLiteral("10.%1.%2.%3").arg(r >> 16).arg((r >> 8) & 255).arg(r & 255));
        Grid.Cell("N_group", r).SetAsString(QString::number(r % Groups + 1));
        Grid.Cell("Status", r).SetAsString(QStringLiteral("OK"));
        Grid.Cell("Kod_", r).SetAsString(QString::number(r + 1));
    }
    Grid.EndUpdate();
    for (const char* name : {"number_", "Host", "IP", "Status"}) {
        Grid.Columns().ColumnByName(name)->SetVisible(true);
    }
}

struct TFigure {
    double Best = 1e9;
    double Sum = 0;
    int Runs = 0;
    void Add(double Value) {
        Best = std::min(Best, Value);
        Sum += Value;
        ++Runs;
    }
    void Print(const char* What) const {
        std::printf("  %-58s mean %8.3f ms   best %8.3f ms   (%d runs)\n", What, Sum / Runs, Best, Runs);
    }
};

void PageFigures() {
    const int rows = 10000;
    TDataGrid grid;
    FillHosts(grid, rows, 10);
    TGxGridView view(&grid);
    view.resize(900, 600);
    view.show();
    ShowGroupHosts(grid, QStringLiteral("1"));
    QApplication::processEvents();

    std::printf("Hosts page, %d hosts in 10 groups, list view 900 x 600 shown (offscreen):\n", rows);
    TFigure keystroke, group, walkName, walkGroup;
    const QString filters[] = {QStringLiteral("h"), QStringLiteral("ho"), QStringLiteral("host-1"),
                               QStringLiteral("host-12"), QString()};
    for (int run = 0; run < 20; ++run) {
        const auto a = Clock::now();
        ApplyTextFilter(grid, QStringLiteral("Host"), filters[run % 5], QStringLiteral("1"));
        QApplication::processEvents();
        keystroke.Add(Ms(a, Clock::now()));
    }
    for (int run = 0; run < 20; ++run) {
        const auto a = Clock::now();
        ShowGroupHosts(grid, QString::number(run % 10 + 1));
        grid.SetSelectedRow(-1);
        view.ScrollToRow(run % 10);
        QApplication::processEvents();
        group.Add(Ms(a, Clock::now()));
    }
    // Anchors: the least the same work reads, no flags set and nothing painted.
    const int host = grid.ColumnIndex(u"Host");
    const int nGroup = grid.ColumnIndex(u"N_group");
    int hits = 0;
    for (int run = 0; run < 20; ++run) {
        const auto a = Clock::now();
        for (int r = 0; r < rows; ++r) {
            hits += LowerCaseCyr(grid.CellText(host, r)).contains(filters[run % 5]);
        }
        walkName.Add(Ms(a, Clock::now()));
        const auto b = Clock::now();
        const QString wanted = QString::number(run % 10 + 1);
        for (int r = 0; r < rows; ++r) {
            hits += grid.CellText(nGroup, r) == wanted;
        }
        walkGroup.Add(Ms(b, Clock::now()));
    }
    keystroke.Print("name filter keystroke (ApplyTextFilter + repaint)");
    walkName.Print("anchor: walk reading Host, LowerCaseCyr + contains");
    group.Print("group choice (ShowGroupHosts + scroll + repaint)");
    walkGroup.Print("anchor: walk reading N_group, compare");
    std::printf("  (matches counted by the anchors: %d)\n", hits);
}

// 1,000 hosts, each with 1,000 Ping_data and 200 log rows, one m_port and traf_p row.
void FillDatabase(TSQLiteDatabase& Db, bool Indexes) {
    CreateMissingTables(Db);
    if (Indexes) {
        CreateMissingIndexes(Db);
    }
    Db.StartTransaction();
    for (int h = 1; h <= 1000; ++h) {
        Db.ExecuteStatement(QStringLiteral("insert into hosts (ID, Host, N_group) values (?,?,?)"),
                            {h, QStringLiteral("host-%1").arg(h), QStringLiteral("1")});
        Db.ExecuteStatement(QStringLiteral("insert into m_port (ID_h) values (?)"), {h});
    }
    Db.ExecuteStatement(
        QStringLiteral("with recursive n(i) as (select 0 union all select i + 1 from n where "
                       "i < 999999) insert into Ping_data (ID_h, date_time, Timeout) select i % "
                       "1000 + 1, 1700000000 + i, 5 from n"));
    Db.ExecuteStatement(QStringLiteral("with recursive n(i) as (select 0 union all select i + 1 from n where "
                                       "i < 199999) insert into log (Date_time, L_Status, Stat_D, ID_h_d) "
                                       "select 1700000000 + i, 'down', 'ID', i % 1000 + 1 from n"));
    Db.CommitTransaction();
}

// CacheKiB 0 keeps the connection's page cache as the database layer sets it.
double DeleteFigure(const QString& Folder, bool Indexes, int CacheKiB = 0) {
    TSQLiteDatabase db(Folder + QStringLiteral("/%1-%2.db").arg(Indexes ? "indexed" : "plain").arg(CacheKiB));
    FillDatabase(db, Indexes);
    if (CacheKiB > 0) {
        db.ExecuteStatement(QStringLiteral("PRAGMA cache_size=-%1").arg(CacheKiB));
    }
    THostStore store(db);
    TDataGrid grid;
    CreateHostGridColumns(grid);
    grid.AddRow(1000);
    std::vector<int> rows;
    for (int r = 0; r < 1000; ++r) {
        grid.Cell("Kod_", r).SetAsString(QString::number(r + 1));
        if (r % 10 == 0) {
            rows.push_back(r);
        }
    }
    db.StartTransaction(); // as in the program: inside the long transaction
    const auto a = Clock::now();
    const int deleted = DeleteHostRows(grid, store, rows);
    RenumberShownRows(grid);
    const double ms = Ms(a, Clock::now());
    db.CommitTransaction();
    if (deleted != 100) {
        std::printf("  (only %d hosts were deleted)\n", deleted);
    }
    return ms;
}

} // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication app(argc, argv);
    PageFigures();
    QTemporaryDir dir;
    std::printf("\nDeleting 100 of 1,000 hosts (four statements each, grid rows, renumbering), with\n"
                "1,000,000 Ping_data and 200,000 log rows, inside one transaction:\n");
    std::printf("  %-58s %8.1f ms\n", "with the program's indexes (Ping_data, log, m_port by host)",
                DeleteFigure(dir.path(), true));
    std::printf("  %-58s %8.1f ms\n", "anchor: the same database without any index",
                DeleteFigure(dir.path(), false));
    std::printf("  %-58s %8.1f ms\n", "with the indexes and a 128 MiB page cache (cache_size)",
                DeleteFigure(dir.path(), true, 131072));
    return 0;
}
