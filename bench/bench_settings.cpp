// Settings figures: TForm1.SaveSettings (it runs at every deactivation) as median and worst of many
// saves, and the start-up age clean-up over 1,000,000 aged Ping_data and 200,000 aged log rows,
// and over tables where nothing is aged. Usage: bench_settings [--saves N]
#include "core/DataFolder.h"
#include "core/DatabaseSchema.h"
#include "core/MonitorServices.h"
#include "core/SQLiteDb.h"
#include "core/SettingsFiles.h"
#include "core/SettingsModel.h"
#include "grid/GxGrid.h"
#include "platform/Autostart.h"
#include "ui/main/ProgramStart.h"
#include "ui/main/main_form.h"

#include <QApplication>
#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double MsOf(const std::function<void()>& Work) {
    const auto start = Clock::now();
    Work();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void PrintSeries(const char* Label, std::vector<double> Ms) {
    std::sort(Ms.begin(), Ms.end());
    std::printf("  %-58s median %7.3f ms  p90 %7.3f ms  worst %7.3f ms  (%zu runs)\n", Label,
                Ms[Ms.size() / 2], Ms[Ms.size() * 9 / 10], Ms.back(), Ms.size());
}

void SaveFigures(int Saves) {
    std::printf("SaveSettings: Settings.cnfg, GSettings.cnfg, autostart entry, win_pos.cnfg\n");
    std::printf(
        "  configuration: offscreen platform, Data folder and XDG_CONFIG_HOME in a temporary folder,\n"
        "  41-column host table with 2,000 rows, autostart on (entry already current after the first "
        "save)\n");
    Form1->DataGrid1->AddRow(2000);
    std::vector<double> saves;
    for (int i = 0; i < Saves; ++i) {
        saves.push_back(MsOf([] { Form1->SaveSettings(); }));
    }
    PrintSeries("SaveSettings, nothing changed since the last save", saves);
    // Every save with a changed option and a moved window: all three files are rewritten.
    std::vector<double> changed;
    for (int i = 0; i < Saves; ++i) {
        Form1->Services().Settings().Update([i](TSettings& s) { s.Delay_spin = 2 + i % 2; });
        Form1->move(i % 2, 0);
        changed.push_back(MsOf([] { Form1->SaveSettings(); }));
    }
    PrintSeries("SaveSettings, Settings.cnfg and win_pos.cnfg changed", changed);

    // Anchor: the same changed bytes into the same two files, plainly overwritten (no temporary,
    // no fsync, no rename), alternating as above.
    const QString data = DataFolder();
    QByteArray settings[2];
    QByteArray placement[2];
    for (int i = 0; i < 2; ++i) {
        TSettings values = *Form1->Services().Settings().Snapshot();
        values.Delay_spin = 2 + i;
        settings[i] = LinesToFileText(SettingsFileLinesOf(values));
        TWindowPlacement where = Form1->CurrentWindowPlacement();
        where.Left = i;
        placement[i] = WindowPlacementText(where);
    }
    auto plain = [](const QString& Name, const QByteArray& Bytes) {
        QFile file(Name);
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            file.write(Bytes);
        }
    };
    std::vector<double> anchor;
    for (int i = 0; i < Saves; ++i) {
        anchor.push_back(MsOf([&] {
            plain(data + "Settings.cnfg", settings[i % 2]);
            plain(data + "win_pos.cnfg", placement[i % 2]);
        }));
    }
    PrintSeries("anchor: the same two changed files, plain overwrite", anchor);
    std::vector<double> one;
    for (int i = 0; i < Saves; ++i) {
        one.push_back(MsOf([&] { WriteFileAtomic(data + "Settings.cnfg", settings[i % 2]); }));
    }
    PrintSeries("Settings.cnfg alone, changed, through WriteFileAtomic", one);
    // Where the time of a save goes.
    std::vector<double> layoutMs, autostartMs, placementMs;
    for (int i = 0; i < Saves; ++i) {
        layoutMs.push_back(MsOf([] { Form1->DataGrid1->LayoutToIniBytes(); }));
        autostartMs.push_back(MsOf([] { ApplyAutostart(true, RunningProgramPath()); }));
        placementMs.push_back(MsOf([] { Form1->SaveWindowPlacement(); })); // unchanged
    }
    PrintSeries("part: host table layout to INI bytes", layoutMs);
    PrintSeries("part: autostart entry (read and compare)", autostartMs);
    PrintSeries("part: window placement, unchanged", placementMs);
    std::printf("  sizes: Settings.cnfg %lld bytes, GSettings.cnfg %lld bytes, win_pos.cnfg %lld bytes\n",
                static_cast<long long>(settings[0].size()),
                static_cast<long long>(Form1->DataGrid1->LayoutToIniBytes().size()),
                static_cast<long long>(placement[0].size()));
}

// Fills Ping_data with Aged rows 20 days old and log with AgedLog rows 10 days old, plus 10,000
// recent rows in each (they stay).
void FillTables(TSQLiteDatabase& Database, qint64 Now, int AgedPing, int AgedLog) {
    Database.StartTransaction();
    const QString fill = QStringLiteral(
        "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < CAST(? AS INTEGER)) "
        "INSERT INTO %1 SELECT NULL, %2 FROM n");
    auto insert = [&](const char* Table, const char* Values, int Count, qint64 Time) {
        if (Count > 0) {
            Database.ExecuteStatement(fill.arg(QLatin1String(Table), QLatin1String(Values)),
                                      {QString::number(Count), QString::number(Time)});
        }
    };
    // Values per row: the time is bound as text, minus the row number so the times differ.
    insert("Ping_data", "x % 50, 2000, '12', CAST(?2 - x AS TEXT)", AgedPing, Now - 20 * 86400);
    insert("Ping_data", "x % 50, 2000, '12', CAST(?2 - x AS TEXT)", 10000, Now);
    insert("log", "CAST(?2 - x AS TEXT), 'Down', 'ID', x % 50", AgedLog, Now - 10 * 86400);
    insert("log", "CAST(?2 - x AS TEXT), 'Down', 'ID', x % 50", 10000, Now);
    Database.CommitTransaction();
}

void CleanUpFigures(const QString& Folder, bool Indexes) {
    const QString name = Folder + (Indexes ? "/clean.db" : "/clean_noindex.db");
    TSQLiteDatabase database(name);
    CreateMissingTables(database);
    if (Indexes) {
        CreateMissingIndexes(database);
    }
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    const TSettings defaults; // logs older than 5 days, traffic data older than 15 days
    const auto fillStart = Clock::now();
    FillTables(database, now, 1000000, 200000);
    std::printf("  %s: filled 1,000,000 + 10,000 Ping_data and 200,000 + 10,000 log rows in %.1f s\n",
                Indexes ? "with the date_time indexes of the schema"
                        : "anchor: the same tables without any index",
                std::chrono::duration<double>(Clock::now() - fillStart).count());
    const double aged = MsOf([&] { DeleteAgedRows(database, defaults, now); });
    std::printf("    clean-up of the aged rows:   %9.1f ms\n", aged);
    const double none = MsOf([&] { DeleteAgedRows(database, defaults, now); });
    std::printf("    clean-up with nothing aged:  %9.3f ms\n", none);
    auto count = [&](const char* Table) {
        auto table =
            database.OpenResultTable(QStringLiteral("select count(*) from %1").arg(QLatin1String(Table)));
        return table->FieldInt64(0);
    };
    std::printf("    left: Ping_data %lld, log %lld rows\n", static_cast<long long>(count("Ping_data")),
                static_cast<long long>(count("log")));
}

} // namespace

int main(int argc, char** argv) {
    int saves = 300;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--saves") == 0) {
            saves = std::max(10, std::atoi(argv[i + 1]));
        }
    }
    QTemporaryDir folder;
    // Never the operator's own autostart folder or display.
    setenv("XDG_CONFIG_HOME", (folder.path() + "/config").toLocal8Bit().constData(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    QApplication app(argc, argv);
    SetDataFolder(folder.path() + "/Data");
    EnsureDataFolder();
    CreateForms();
    SaveFigures(saves);
    DestroyForms();
    MonitorDatabase.Close();

    std::printf("Start-up age clean-up (DeleteAgedRows with the default 5 and 15 days)\n");
    CleanUpFigures(folder.path(), true);
    CleanUpFigures(folder.path(), false);
    return 0;
}
