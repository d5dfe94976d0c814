// Figures of the start-up load at 10,000 and 100,000 hosts: the whole load up to the start message
// (open, tables, group tree, every host into the grid with the progress window, the first group
// shown) beside a bare "select * from hosts" stepped through the SQLite C interface on the same
// file, with the resident memory each leaves.
#include "core/DataFolder.h"
#include "core/DatabaseLoader.h"
#include "core/DatabaseSchema.h"
#include "core/HostGrid.h"
#include "core/LangTexts.h"
#include "core/MonitorServices.h"
#include "core/SQLiteDb.h"
#include "core/TextConversions.h"
#include "grid/GxGrid.h"
#include "ui/main/Progress_form.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// A line of /proc/self/status in MB (VmRSS now, VmHWM the peak).
double StatusMb(const char* Key) {
    QFile file(QStringLiteral("/proc/self/status"));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : file.readAll().split('\n'))
        if (line.startsWith(Key))
            return line.mid(int(std::strlen(Key))).trimmed().split(' ').first().toDouble() / 1024.0;
    return 0;
}

// Hosts as the program stores them: Booleans "-1"/"0", counters, status words, a change time,
// three groups, 5 % down.
void WriteHosts(const QString& File, int Count) {
    {
        TSQLiteDatabase db(File);
        CreateMissingTables(db);
        db.ExecuteStatement(QStringLiteral("insert into list_group (Name, N_group, parent_id) values "
                                           "('First', 1, ''), ('Second', 2, ''), ('Third', 3, '')"));
    }
    sqlite3* db = nullptr;
    sqlite3_open(File.toUtf8().constData(), &db);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    const QStringList columns = HostsColumnNames().mid(1);
    QStringList marks;
    for (int i = 0; i < columns.size(); ++i)
        marks << QStringLiteral("?");
    const QByteArray sql = (QStringLiteral("insert into hosts (") + columns.join(',') +
                            QStringLiteral(") values (") + marks.join(',') + ')')
                               .toUtf8();
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, sql.constData(), -1, &statement, nullptr);
    const QString since = DateTimeToDisplayText(NowDateTime() - 0.5);
    for (int r = 0; r < Count; ++r) {
        const bool down = r % 20 == 7;
        for (int c = 0; c < columns.size(); ++c) {
            const QString& name = columns[c];
            QString value = QStringLiteral("0");
            if (name == QLatin1String("host"))
                value = QStringLiteral("host-%1").arg(r);
            else if (name == QLatin1String("IP"))
                value = QStringLiteral("10.%1.%2.%3").arg(r >> 16).arg((r >> 8) & 255).arg(r & 255);
            else if (name == QLatin1String("Status"))
                value = down ? QStringLiteral("Down") : QStringLiteral("OK");
            else if (name == QLatin1String("Date_Pod"))
                value = down ? since : QString();
            else if (name == QLatin1String("N_group"))
                value = QString::number(1 + r % 3);
            else if (name.endsWith(QLatin1String("_Status")))
                value = QStringLiteral("ICMP check ok");
            else if (name == QLatin1String("Enabled") || name.endsWith(QLatin1String("_check")) ||
                     name == QLatin1String("Alarm_en"))
                value = QStringLiteral("-1");
            else if (name == QLatin1String("Alarm"))
                value = QStringLiteral("magic-wand-1.mp3");
            else if (name == QLatin1String("Comunity"))
                value = QStringLiteral("public");
            const QByteArray bytes = value.toUtf8();
            sqlite3_bind_text(statement, c + 1, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
        }
        sqlite3_step(statement);
        sqlite3_reset(statement);
    }
    sqlite3_finalize(statement);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

// The floor: every row of "select * from hosts" stepped and every column's text read.
double BareSelectMs(const QString& File, int& Rows) {
    sqlite3* db = nullptr;
    const auto start = Clock::now();
    sqlite3_open(File.toUtf8().constData(), &db);
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, "select * from hosts", -1, &statement, nullptr);
    Rows = 0;
    std::size_t bytes = 0;
    while (sqlite3_step(statement) == SQLITE_ROW) {
        ++Rows;
        for (int c = 0; c < sqlite3_column_count(statement); ++c) {
            sqlite3_column_text(statement, c);
            bytes += std::size_t(sqlite3_column_bytes(statement, c));
        }
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    const auto end = Clock::now();
    if (bytes == 0)
        std::printf("  (no bytes read)\n");
    return Ms(start, end);
}

void LoadFigures(const QString& Folder, int Count) {
    const QString file = Folder + QStringLiteral("/dbm.db");
    QFile::remove(file);
    WriteHosts(file, Count);
    std::vector<double> bare;
    int rows = 0;
    for (int i = 0; i < 5; ++i)
        bare.push_back(BareSelectMs(file, rows));
    std::vector<double> ours;
    double rssGrowth = 0;
    int loaded = 0;
    for (int i = 0; i < 3; ++i) {
        TSQLiteDatabase db;
        TDataGrid grid;
        CreateHostGridColumns(grid);
        TMonitorServices services(db, QString());
        TProgress_Form progress(services);
        TDatabaseLoadContext context;
        context.DataFolder = Folder + QLatin1Char('/');
        context.HostGrid = &grid;
        context.Progress = &progress;
        context.ProgressText = QStringLiteral("Loading hosts");
        const double before = StatusMb("VmRSS:");
        const auto start = Clock::now();
        const TDatabaseLoadResult result = LoadDatabaseAtStart(db, context);
        ours.push_back(Ms(start, Clock::now()));
        // The first run's growth: later runs reuse the memory the earlier grid gave back.
        if (i == 0)
            rssGrowth = StatusMb("VmRSS:") - before;
        loaded = result.HostRows;
    }
    std::printf(
        "start-up load, %d hosts: median %.1f ms of 3 runs to the start message; bare select "
        "median %.1f ms of 5 runs (%d rows); ours beyond the select %.1f ms; RSS growth of the first load "
        "(grid and progress window) %.0f MB, peak RSS of the process %.0f MB [%d loaded]\n",
        Count, Median(ours), Median(bare), rows, Median(ours) - Median(bare), rssGrowth, StatusMb("VmHWM:"),
        loaded);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    LangTexts::UseBuiltInEnglish();
    QTemporaryDir folder;
    SetDataFolder(folder.path());
    std::printf("ours: LoadDatabaseAtStart on a fresh connection: open with the layer's pragmas, missing "
                "tables and indexes, a three-group tree, every host stepped into a 41-column grid with the "
                "program's progress window (offscreen, shown above 1500 hosts), the first group shown, the "
                "start message written\n");
    std::printf("anchor: sqlite3 C interface on the same file, open, \"select * from hosts\" prepared and "
                "stepped to the end with every column's text read, close; same machine, same run, warm "
                "page cache for both\n");
    for (int count : {10000, 100000})
        LoadFigures(folder.path(), count);
    return 0;
}
