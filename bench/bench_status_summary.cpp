// Figures of the status summary and the status bar: one summary tick over 10,000 hosts (all OK,
// and 5,000 of them down) against a bare walk reading every Status cell, and 1,000 paints of the
// main window's seven-panel bar against a plain Qt status bar with seven labels.
#include "core/HostGrid.h"
#include "core/LangTexts.h"
#include "core/StatusSummary.h"
#include "core/TextConversions.h"
#include "desktop/StatusBarEx.h"
#include "grid/GxGrid.h"

#include <QApplication>
#include <QFont>
#include <QImage>
#include <QLabel>
#include <QStatusBar>
#include <QStyleFactory>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

// Distinct: every down host went down at its own second (a text of its own to read), as after a
// restart; otherwise all went down at one moment and share one text.
void FillHosts(TDataGrid& Grid, int Rows, int Down, bool Distinct) {
    CreateHostGridColumns(Grid);
    Grid.BeginUpdate();
    Grid.AddRow(Rows);
    const double now = NowDateTime();
    QString since = DateTimeToDisplayText(now - 0.25);
    for (int r = 0; r < Rows; ++r) {
        const bool down = r < Down;
        if (Distinct)
            since = DateTimeToDisplayText(now - 0.25 - r / 86400.0);
        Grid.Cell("Host", r).SetAsString(QStringLiteral("host-%1").arg(r));
        Grid.Cell("IP", r).SetAsString(
            QStringLiteral("10.%1.%2.%3").arg(r >> 16).arg((r >> 8) & 255).arg(r & 255));
        Grid.Cell("Status", r).SetAsString(down ? QStringLiteral("Down") : QStringLiteral("OK"));
        Grid.Cell("Enabled", r).SetAsBoolean(true);
        Grid.Cell("Date_Pod", r).SetAsString(since);
    }
    Grid.EndUpdate();
}

double Median(std::vector<double> Values) {
    std::sort(Values.begin(), Values.end());
    return Values[Values.size() / 2];
}

void SummaryFigures(int Rows, int Down, bool Distinct) {
    TDataGrid grid;
    FillHosts(grid, Rows, Down, Distinct);
    const int rounds = 41;
    const int period = StatusSummaryInterval(Rows);
    TStatusSummary summary;
    // The ticks are one period apart as in the program, so every down host's TimeDown changes.
    double now = NowDateTime();
    auto t0 = Clock::now();
    int lines = int(summary.Tick(grid, true, now).TrayHintLines.size());
    const double first = Ms(t0, Clock::now()); // colours every cell and reads every Date_Pod text

    // Anchor: the least any tick must do, reading the Status text of every row. A tick and a walk
    // take turns, so a busy moment of the machine falls on both sides alike.
    const int status = grid.ColumnIndex(u"Status");
    qsizetype chars = 0;
    std::vector<double> ticks, walks;
    for (int i = 0; i < rounds; ++i) {
        now += period / 86400000.0;
        t0 = Clock::now();
        lines += int(summary.Tick(grid, true, now).TrayHintLines.size());
        ticks.push_back(Ms(t0, Clock::now()));
        t0 = Clock::now();
        for (int r = 0; r < grid.RowCount(); ++r)
            chars += grid.GetCellObject(status, r).GetAsString().size();
        walks.push_back(Ms(t0, Clock::now()));
    }
    const double tick = Median(ticks);
    const double walk = Median(walks);
    std::printf("summary tick, %d hosts, %d down (%s): first tick %.2f ms, then %.2f ms per tick = %.3f %% "
                "of its %d ms "
                "period (bare Status walk %.2f ms, x%.1f) [%d %lld]\n",
                Rows, Down, Distinct ? "each down since its own second" : "all down since one moment", first,
                tick, 100.0 * tick / period, period, walk, tick / walk, lines, (long long)chars);
}

void MainPanels(TStatusBarPro& Bar) {
    const int widths[] = {1, 220, 165, 150, 170, 155, 150};
    for (int i = 0; i < 7; ++i) {
        TStatusPanelPro& panel = Bar.Panels().Add();
        panel.SetWidth(widths[i]);
        panel.SetStyle(i == 0 ? psText : psOwnerDraw);
        if (i >= 1 && i <= 5)
            panel.SetAlignment(Qt::AlignHCenter);
    }
    Bar.SetPanel(1, QStringLiteral("Sound: on"), clWindowText);
    Bar.SetPanel(2, QStringLiteral("Monitoring is active"), clBlack);
    Bar.SetPanel(3, QStringLiteral("9995 hosts OK"), 0x008000);
    Bar.SetPanel(4, QStringLiteral("5 hosts down"), clRed);
    Bar.SetPanel(5, QStringLiteral("0 hosts disabled"), clWindowText);
    Bar.SetPanel(6, QStringLiteral("Next check in 2 s"), clWindowText);
}

void PaintFigures() {
    const int paints = 1000;
    const QSize size(1100, TStatusBarPro::BarHeight);
    QImage target(size, QImage::Format_ARGB32_Premultiplied);

    TStatusBarPro bar;
    bar.resize(size);
    MainPanels(bar);
    bar.render(&target);
    auto t0 = Clock::now();
    for (int i = 0; i < paints; ++i) {
        bar.SetPanel(6, QStringLiteral("Next check in %1 s").arg(i % 10), clWindowText);
        bar.render(&target);
    }
    auto t1 = Clock::now();
    const double ours = Ms(t0, t1);

    // Anchor: the plain Qt status bar with seven labels of the same widths and texts.
    QStatusBar plain;
    QLabel* labels[7];
    const int widths[] = {1, 220, 165, 150, 170, 155, 150};
    for (int i = 0; i < 7; ++i) {
        labels[i] = new QLabel(bar.Panels()[i].Text(), &plain);
        labels[i]->setFixedWidth(widths[i]);
        labels[i]->setAlignment(i >= 1 && i <= 5 ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignVCenter);
        plain.addWidget(labels[i]);
    }
    labels[3]->setStyleSheet(QStringLiteral("color: green"));
    labels[4]->setStyleSheet(QStringLiteral("color: red"));
    plain.resize(size);
    plain.render(&target);
    t0 = Clock::now();
    for (int i = 0; i < paints; ++i) {
        labels[6]->setText(QStringLiteral("Next check in %1 s").arg(i % 10));
        plain.render(&target);
    }
    t1 = Clock::now();
    const double anchor = Ms(t0, t1);
    std::printf("%d paints of the 7-panel bar at %dx%d: %.1f ms (%.1f us each); "
                "QStatusBar with 7 QLabels: %.1f ms (%.1f us each)\n",
                paints, size.width(), size.height(), ours, ours * 1000 / paints, anchor,
                anchor * 1000 / paints);
}

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), 9));
    LangTexts::UseBuiltInEnglish();
    std::printf("configuration: offscreen platform, Fusion style, DejaVu Sans 9; host grid of 41 columns; "
                "the paint figures are means of their repetitions in this run\n");
    std::printf("ours: TStatusSummary::Tick over the grid (colours, TimeDown, counts, tray lines), the first "
                "tick on fresh cells and then the median of 41 ticks one period apart (each down host's "
                "TimeDown text "
                "changes every tick); anchor: the same grid's Status cells read "
                "one by one, median of 41 walks, each taken right after a tick\n");
    SummaryFigures(10000, 0, false);
    SummaryFigures(10000, 5000, false);
    SummaryFigures(10000, 5000, true);
    PaintFigures();
    return 0;
}
