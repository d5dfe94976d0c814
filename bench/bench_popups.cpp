// Figures of the alert popups and the online page: 5,000 events dispatched into a resting down popup
// (the list update, then the repaint) against the same 5,000 rows put into a bare grid model; and an
// online refresh at 10,000 hosts with 1,000 not OK, on the model and on the page with its view,
// against a bare walk reading every host's Status cell.
#include "core/AlertFlags.h"
#include "core/AlertPopupLogic.h"
#include "core/CheckRules.h"
#include "core/DatabaseLoader.h"
#include "core/DatabaseSchema.h"
#include "core/HostGrid.h"
#include "core/LangTexts.h"
#include "core/MonitorServices.h"
#include "core/OnlineMonitor.h"
#include "core/SQLiteDb.h"
#include "core/SettingsModel.h"
#include "core/TextConversions.h"
#include "grid/GxGrid.h"
#include "ui/main/AlertPopups.h"
#include "ui/main/OnlinePage.h"
#include "ui/main/alert_w.h"
#include "ui/main/alert_w_up.h"

#include <QApplication>
#include <QFont>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

void QueueEvents(TDataGrid& Queue, int Count) {
    Queue.BeginUpdate();
    for (int i = 0; i < Count; ++i) {
        const int r = Queue.AddRow();
        Queue.Cell("Host_name", r).SetAsString(QStringLiteral("host-%1").arg(i));
        Queue.Cell("State", r).SetAsString(QStringLiteral("Down"));
        Queue.Cell("State", r).SetCellColor(EventColourRed);
        Queue.Cell("ID_", r).SetAsString(QString::number(i % 100));
        Queue.Cell("Time_d", r).SetAsString(QStringLiteral("09.12.2026 07:30:00"));
    }
    Queue.EndUpdate();
}

void PopupFigures(int Events) {
    QTemporaryDir dir;
    TSQLiteDatabase database(dir.filePath(QStringLiteral("p.db")));
    CreateMissingTables(database);
    TMonitorServices services(database, dir.path());
    services.Settings().Update([](TSettings& S) {
        S.Email_checkbox = false;
        S.ICQ_CheckBox = false;
    });
    services.DataGrid1().AddRow(100);
    for (int r = 0; r < 100; ++r)
        services.DataGrid1().Cell(u"Kod_", r).SetAsString(QString::number(r + 1));
    TAlert_window down(services);
    TAlert_window_up up(services);
    down.FormCreate();
    up.FormCreate();
    TAlertPopups popups(down, up);
    services.Channels().SetPopups(&popups);
    // One event first: the popup slides in and comes to rest.
    QueueEvents(services.DownHostGrid(), 1);
    services.Dispatcher().DispatchAlarms();
    for (int i = 0; i < 2000 && (!down.isVisible() || down.Timer2.isActive()); ++i)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    QueueEvents(services.DownHostGrid(), Events);
    auto t0 = Clock::now();
    services.Dispatcher().DispatchAlarms();
    auto t1 = Clock::now();
    QApplication::processEvents();
    auto t2 = Clock::now();
    const int listed = down.ShowGrid->RowCount();
    services.Channels().SetPopups(nullptr);

    // Anchor: the same rows put at the top of a bare list model, one by one.
    TDataGrid bare;
    CreateAlertGridColumns(bare, true);
    auto a0 = Clock::now();
    for (int i = 0; i < Events; ++i) {
        bare.InsertRow(0);
        bare.Cell(AlertColumn::Host, 0).SetAsString(QStringLiteral("host-%1").arg(i));
        bare.Cell(AlertColumn::ID_, 0).SetAsString(QString::number(i % 100));
        bare.Cell(AlertColumn::Time_d, 0).SetAsString(QStringLiteral("09.12.2026 07:30:00"));
        bare.Cell(AlertColumn::State_, 0).SetAsString(QStringLiteral("Down"));
    }
    auto a1 = Clock::now();
    std::printf("%d events dispatched into the resting down popup (%d rows listed, 100 hosts): list update "
                "%.1f ms, repaint after it %.1f ms; anchor (the same rows inserted at the top of a bare list "
                "model, no view, no dispatcher) %.1f ms\n",
                Events, listed, Ms(t0, t1), Ms(t1, t2), Ms(a0, a1));
    DownAlertVisible = false;
    UpAlertVisible = false;
}

void FillHosts(TDataGrid& Hosts, int Rows, int NotOk) {
    CreateHostGridColumns(Hosts);
    Hosts.BeginUpdate();
    Hosts.AddRow(Rows);
    for (int r = 0; r < Rows; ++r) {
        const bool bad = r % (Rows / NotOk) == 0;
        Hosts.Cell(u"Kod_", r).SetAsString(QString::number(r + 1));
        Hosts.Cell(u"Host", r).SetAsString(QStringLiteral("host-%1").arg(r));
        Hosts.Cell(u"IP", r).SetAsString(
            QStringLiteral("10.%1.%2.%3").arg(r >> 16).arg((r >> 8) & 255).arg(r & 255));
        Hosts.Cell(u"Status", r)
            .SetAsString(bad ? (r % 3 ? QStringLiteral("Down") : QStringLiteral("Packet loss"))
                             : QStringLiteral("OK"));
        Hosts.Cell(u"N_group", r).SetAsString(QString::number(r % 50));
        Hosts.Cell(u"Date_Pod", r)
            .SetAsString(DateTimeToDisplayText(
                QDateTimeToDateTime(QDateTime(QDate(2026, 3, 1 + r % 28), QTime(9, 0).addSecs(r)))));
    }
    Hosts.EndUpdate();
}

void OnlineFigures(int Rows, int NotOk) {
    TDataGrid hosts;
    FillHosts(hosts, Rows, NotOk);
    TGroupTree tree;
    for (int g = 0; g < 50; ++g) {
        auto record = std::make_shared<TGroupNodeRecord>();
        record->Group = QString::number(g);
        tree.push_back({-1, QStringLiteral("group %1").arg(g), record});
    }
    const TOnlineStatusWords words = CurrentOnlineStatusWords();
    const int repeats = 20;
    TDataGrid down;
    CreateDownGridColumns(down);
    // The first refresh parses every listed host's last-down text; later ones find them parsed.
    auto t0 = Clock::now();
    RefreshOnlineGrid(hosts, down, tree, words);
    auto t1 = Clock::now();
    const double first = Ms(t0, t1);
    t0 = Clock::now();
    for (int i = 0; i < repeats; ++i)
        RefreshOnlineGrid(hosts, down, tree, words);
    t1 = Clock::now();
    const double model = Ms(t0, t1) / repeats;

    QWidget page;
    QTreeWidget treeView;
    for (int g = 0; g < 50; ++g) {
        auto* item = new QTreeWidgetItem(&treeView, {QStringLiteral("group %1").arg(g)});
        item->setData(0, Qt::UserRole, g);
    }
    TOnlinePage online(page, {&hosts, [&]() -> const TGroupTree& { return tree; }, &treeView, {}});
    page.resize(1000, 600);
    page.show();
    QApplication::processEvents();
    t0 = Clock::now();
    for (int i = 0; i < repeats; ++i) {
        online.Timer7Timer();
        QApplication::processEvents();
    }
    t1 = Clock::now();
    const double withView = Ms(t0, t1) / repeats;

    // Anchor: a bare walk over the hosts reading every Status cell.
    int bad = 0;
    t0 = Clock::now();
    const int status = hosts.ColumnIndex(u"Status");
    for (int i = 0; i < repeats; ++i)
        for (int r = 0; r < hosts.RowCount(); ++r)
            bad += hosts.CellText(status, r) != words.Ok;
    t1 = Clock::now();
    std::printf(
        "online refresh at %d hosts with %d not OK (%d listed, every last-down text its own, 50 groups): "
        "first refresh %.2f ms, later ones: model %.2f ms, page with its "
        "view and tree icons, repaint included %.2f ms; anchor (bare walk reading every Status cell) "
        "%.2f ms\n",
        Rows, NotOk, down.RowCount(), first, model, withView, Ms(t0, t1) / repeats);
    (void)bad;
}

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), 9));
    LangTexts::UseBuiltInEnglish();
    std::printf("configuration: offscreen platform, Fusion style, DejaVu Sans 9; host grid of 41 columns; "
                "each figure is one run (popups) or the mean of 20 repetitions (online) in this run\n");
    PopupFigures(5000);
    OnlineFigures(10000, 1000);
    return 0;
}
