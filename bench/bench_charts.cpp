// Figures of the tools window's charts: an hourly traffic and latency draw (query, scaling, paint)
// with 1M and 10M rows in traf_p and Ping_data, 60 of them in the hour drawn, against the bare
// indexed select of the same 60 rows; and the GUI thread's share of a real-time tick.
#include "core/DatabaseSchema.h"
#include "core/HostGrid.h"
#include "core/LangTexts.h"
#include "core/MonitorServices.h"
#include "core/SQLiteDb.h"
#include "core/ToolCharts.h"
#include "grid/GxGrid.h"
#include "ui/dialogs/ToolChartPages.h"
#include "ui/dialogs/ToolChartView.h"
#include "ui/dialogs/Unit_tracert.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QImage>
#include <QStackedWidget>
#include <QStyleFactory>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

const QDateTime EndTime(QDate(2026, 3, 10), QTime(12, 30));

// Rows spread over 1,000 interfaces (hosts) and one sample per minute going back in time; port
// (host) 5 has exactly 60 rows in the hour ending EndTime.
void Fill(TSQLiteDatabase& Db, qint64 Rows) {
    const qint64 end = ChartWallSeconds(EndTime);
    Db.StartTransaction();
    Db.ExecuteStatement(
        QStringLiteral("with recursive c(x) as (select 0 union all select x+1 from c where x<?) "
                       "insert into traf_p (ID_p,T_in,T_out,date_time,Curr_traf_out,Curr_traf_in) "
                       "select x%1000, '1', '1', ?-(x/1000)*60, '1000', '10' from c"),
        {Rows - 1, end});
    Db.ExecuteStatement(
        QStringLiteral("with recursive c(x) as (select 0 union all select x+1 from c where x<?) "
                       "insert into Ping_data (ID_h,Timeout,T_out,date_time) "
                       "select x%1000, '12', '0', ?-(x/1000)*60 from c"),
        {Rows - 1, end});
    Db.CommitTransaction();
    CreateMissingIndexes(Db);
}

void HourlyFigures(qint64 Rows) {
    QTemporaryDir dir;
    TSQLiteDatabase db(dir.filePath(QStringLiteral("bench.db")));
    CreateMissingTables(db);
    auto f0 = Clock::now();
    Fill(db, Rows);
    auto f1 = Clock::now();
    TToolChartView view;
    view.resize(800, 400);
    QImage target(view.size(), QImage::Format_RGB32);
    const int repeats = 50;
    size_t points = 0;

    auto t0 = Clock::now();
    for (int i = 0; i < repeats; ++i) {
        TTrafficChartData data = LoadTrafficChart(db, QStringLiteral("5"), EndTime);
        points += data.Out.size();
        view.Clear();
        view.SetTimeRange(data.EndSeconds - 3600, data.EndSeconds);
        view.SetValueUnit(data.Scale.Unit);
        view.SetSeries(0, std::move(data.Out), Qt::darkGreen);
        view.SetSeries(1, std::move(data.In), Qt::blue);
        view.SetAxisMaximum(double(data.AxisMax));
        view.render(&target);
    }
    auto t1 = Clock::now();
    const double traffic = Ms(t0, t1) / repeats;

    t0 = Clock::now();
    for (int i = 0; i < repeats; ++i) {
        TLatencyChartData data = LoadLatencyChart(db, QStringLiteral("5"), EndTime, 2000);
        points += data.Points.size();
        view.Clear();
        view.SetTimeRange(data.StartSeconds, data.EndSeconds);
        view.SetSeries(0, std::move(data.Points), Qt::darkGreen);
        view.SetAxisMaximum(double(data.AxisMax));
        view.render(&target);
    }
    t1 = Clock::now();
    const double latency = Ms(t0, t1) / repeats;

    // Anchor: the same 60 rows by the same index, read and nothing else.
    const qint64 end = ChartWallSeconds(EndTime);
    t0 = Clock::now();
    for (int i = 0; i < repeats; ++i) {
        auto table =
            db.OpenResultTable(QStringLiteral("select date_time, Curr_traf_out, Curr_traf_in from traf_p "
                                              "where ID_p=? and date_time>? and date_time<=?"),
                               {5, end - 3600, end});
        for (; !table->AtEnd(); table->NextRow())
            ++points;
    }
    t1 = Clock::now();
    const double anchor = Ms(t0, t1) / repeats;
    std::printf("%lld rows in traf_p and in Ping_data (filled in %.0f ms), 60 in the hour, 800x400 paint:\n"
                "  traffic chart draw %.2f ms, latency chart draw %.2f ms; "
                "anchor (bare indexed select of the 60 traf_p rows, no scaling, no paint) %.2f ms "
                "[%zu points]\n",
                static_cast<long long>(Rows), Ms(f0, f1), traffic, latency, anchor, points);
}

// The GUI thread's share of a real-time tick: starting the reads (against an agent that never
// answers, so only the start is timed), and the chart drawn when the reads are done.
void RealtimeFigures() {
    QTemporaryDir dir;
    TSQLiteDatabase db(dir.filePath(QStringLiteral("rt.db")));
    CreateMissingTables(db);
    CreateMissingIndexes(db);
    const qint64 now = ChartWallSeconds(QDateTime::currentDateTime());
    db.ExecuteStatement(QStringLiteral("insert into m_port (id,ID_h,Nomer_p,Name_p,Enabled_p,speed) "
                                       "values (41,7,2,'eth0','-1','0')"));
    db.ExecuteStatement(
        QStringLiteral("with recursive c(x) as (select 0 union all select x+1 from c where x<99999) "
                       "insert into realtime_traf_p (ID_p,T_in,T_out,date_time,curr_traf_in,"
                       "curr_traf_out) select 41+(x%100), x, x, ?-(x/100)*5, '1000', '10' from c"),
        {now});
    TDataGrid hosts;
    CreateHostGridColumns(hosts);
    hosts.AddRow(1);
    hosts.Cell(u"Kod_", 0).SetAsString(QStringLiteral("7"));
    hosts.Cell(u"IP", 0).SetAsString(QStringLiteral("127.0.0.1"));
    hosts.Cell(u"Comunity", 0).SetAsString(QStringLiteral("public"));
    hosts.Cell(u"Port_check", 0).SetAsBoolean(true);
    const int silent = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in sin{};
    sin.sin_family = AF_INET;
    sin.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(silent, reinterpret_cast<sockaddr*>(&sin), sizeof sin);
    socklen_t length = sizeof sin;
    getsockname(silent, reinterpret_cast<sockaddr*>(&sin), &length);

    TMonitorServices services(db, QString());
    TPing_tracert_form form(services);
    form.SetDatabase(&db);
    form.SetHostGrid(&hosts);
    form.SnmpPort = QString::number(ntohs(sin.sin_port));
    form.resize(800, 500);
    TToolChartPages& charts = form.Charts();
    charts.OpenTrafficMonitoring(QStringLiteral("7"), false);
    charts.PortChartId = QStringLiteral("41");
    form.PageControl1->setCurrentIndex(7);
    charts.Chart3->resize(800, 400);
    QImage target(charts.Chart3->size(), QImage::Format_RGB32);

    const int repeats = 50;
    auto d0 = Clock::now();
    for (int i = 0; i < repeats; ++i)
        charts.DrawRealtimeChart();
    auto d1 = Clock::now();
    const double draw = Ms(d0, d1) / repeats;
    d0 = Clock::now();
    for (int i = 0; i < repeats; ++i)
        charts.Chart3->render(&target);
    d1 = Clock::now();
    const double paint = Ms(d0, d1) / repeats;
    double start = 0;
    for (int i = 0; i < repeats; ++i) {
        auto t0 = Clock::now();
        charts.Realtime_TimerTimer();
        auto t1 = Clock::now();
        start += Ms(t0, t1);
        form.FormCloseQuery(); // ends the waiting reads at once (and empties the table)
        charts.WaitRealtimeIdle(2000);
    }
    ::close(silent);
    std::printf("real-time tick on the GUI thread (100,000 rows of 100 interfaces in realtime_traf_p, 13 in "
                "the last minute): starting the reads %.3f ms, reading and setting Chart3's series %.2f ms, "
                "together %.2f ms; Chart3's paint at 800x400 (when Qt repaints) %.2f ms\n",
                start / repeats, draw, start / repeats + draw, paint);
}

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), 9));
    LangTexts::UseBuiltInEnglish();
    std::printf("configuration: offscreen platform, Fusion style, DejaVu Sans 9; SQLite file in a temporary "
                "folder with the schema's indexes; every figure is the mean of 50 repetitions in this run\n");
    const bool large = argc < 2 || QString::fromLocal8Bit(argv[1]) != QStringLiteral("--small");
    HourlyFigures(1000000);
    if (large)
        HourlyFigures(10000000);
    RealtimeFigures();
    return 0;
}
