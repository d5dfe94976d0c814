// Figures of the grid view showing the host grid's 41 columns at 1920x1080: a full paint at
// 1,000 and 100,000 rows, one wheel step, 1,000 cell writes from a worker through Synchronize
// while shown, and a best fit over 100,000 rows.
#include "core/HostGrid.h"
#include "core/Synchronize.h"
#include "grid/GxGrid.h"
#include "grid/widgets/GxGridView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QStyle>
#include <QStyleFactory>
#include <QThread>
#include <QWheelEvent>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>
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

std::unique_ptr<TDataGrid> MakeHostTable(int rows) {
    auto grid = std::make_unique<TDataGrid>();
    grid->setObjectName(QStringLiteral("DataGrid1"));
    CreateHostGridColumns(*grid);
    grid->SetOptions(goHeader | goGrid | goSelectFullRow);
    for (int c = 0; c < grid->ColumnCount(); ++c)
        grid->Columns().GetColumn(c)->Header().SetCaption(grid->Columns().GetColumn(c)->Name());
    grid->BeginUpdate();
    grid->AddRow(rows);
    const int status = grid->ColumnIndex(u"Status");
    const int ip = grid->ColumnIndex(u"IP");
    const int name = grid->ColumnIndex(u"Host");
    for (int r = 0; r < rows; ++r) {
        grid->Cell(0, r).SetAsInteger(r + 1);
        if (ip >= 0)
            grid->Cell(ip, r).SetAsString(
                QStringLiteral("10.%1.%2.%3").arg(r / 65536).arg(r / 256 % 256).arg(r % 256));
        if (name >= 0)
            grid->Cell(name, r).SetAsString(QStringLiteral("host-%1.example.org").arg(r));
        if (status >= 0) {
            grid->Cell(status, r).SetAsString(r % 17 == 0 ? QStringLiteral("Down") : QStringLiteral("OK"));
            grid->Cell(status, r).SetCellColor(r % 17 == 0 ? 255 : 65280);
        }
    }
    grid->EndUpdate();
    return grid;
}

// Median time of a full paint of the view's client area.
double FullPaintMs(TGxGridView& view, int runs) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = Clock::now();
        view.viewport()->repaint();
        times.push_back(Ms(t0, Clock::now()));
    }
    return Median(times);
}

void PrintPaint(const char* label, int rows, bool themed) {
    SetVisualStylesAvailable(themed);
    auto grid = MakeHostTable(rows);
    TGxGridView view(grid.get());
    view.resize(1920, 1080);
    view.show();
    QApplication::processEvents();
    FullPaintMs(view, 3); // warm the glyph caches
    const double middle = FullPaintMs(view, 21);
    view.HandleScroll(sbVertical, scBottom);
    const double end = FullPaintMs(view, 21);
    std::printf(
        "full paint %-8s %7d rows: %6.2f ms at the top, %6.2f ms at the end (%d columns, %d rows in view)\n",
        label, rows, middle, end, grid->ColumnCount(), view.FittingRows());
    SetVisualStylesAvailable(true);
}

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    QApplication::setPalette(QApplication::style()->standardPalette());
    QApplication::setFont(QFont("DejaVu Sans", 9));
    std::printf("configuration: platform %s, style Fusion, font DejaVu Sans 9, 41 host columns, "
                "grid lines, full-row selection, 1920x1080 window\n",
                qPrintable(QGuiApplication::platformName()));

    // Full paints; the 1,000-row figure is the anchor of the 100,000-row one.
    for (bool themed : {true, false}) {
        PrintPaint(themed ? "themed" : "classic", 1000, themed);
        PrintPaint(themed ? "themed" : "classic", 100000, themed);
    }

    auto grid = MakeHostTable(100000);
    TGxGridView view(grid.get());
    view.resize(1920, 1080);
    view.show();
    QApplication::processEvents();

    // One wheel notch: the pixels move and the uncovered row is painted.
    {
        std::vector<double> times;
        const QPoint at(400, 300);
        for (int i = 0; i < 200; ++i) {
            QWheelEvent wheel(QPointF(at), QPointF(view.viewport()->mapToGlobal(at)), QPoint(),
                              QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            const auto t0 = Clock::now();
            QApplication::sendEvent(view.viewport(), &wheel);
            QApplication::processEvents();
            times.push_back(Ms(t0, Clock::now()));
        }
        std::printf("wheel step: median %.3f ms, worst %.3f ms over 200 steps (FirstRow %d)\n", Median(times),
                    *std::max_element(times.begin(), times.end()), grid->FirstRow());
        // Anchor: a full repaint of the same view.
        std::printf("wheel anchor: a full repaint of the same view %.2f ms\n", FullPaintMs(view, 11));
    }

    // 1,000 cell writes from a worker, each its own synchronous call, on rows in view.
    {
        view.HandleScroll(sbVertical, scTop);
        QApplication::processEvents();
        const int status = grid->ColumnIndex(u"Status");
        const int rowsInView = view.FittingRows();
        // 1,000 synchronous calls from a worker, each writing one cell in view; returns ms.
        auto runWrites = [&] {
            std::atomic<bool> done{false};
            const auto t0 = Clock::now();
            std::thread worker([&] {
                for (int i = 0; i < 1000; ++i)
                    Synchronize(
                        [&, i] { grid->Cell(status, i % rowsInView).SetAsString(i % 2 ? "Down" : "OK"); });
                done = true;
            });
            while (!done)
                QApplication::processEvents(QEventLoop::AllEvents, 5);
            worker.join();
            return Ms(t0, Clock::now());
        };
        const int paintsBefore = view.PaintCount();
        const auto t0 = Clock::now();
        const double written = runWrites();
        view.FlushPendingUpdates();
        QApplication::processEvents();
        const auto t1 = Clock::now();
        std::printf(
            "1,000 Synchronize cell writes while shown: %.2f ms until written, %.2f ms with the last paint, "
            "%d paints\n",
            written, Ms(t0, t1), view.PaintCount() - paintsBefore);
        // Anchor: the same calls writing a cell of a hidden column (no repaint asked).
        grid->Columns().GetColumn(status)->SetVisible(false);
        QApplication::processEvents();
        const double anchored = runWrites();
        std::printf("anchor: the same 1,000 calls on a hidden column: %.2f ms\n", anchored);
        grid->Columns().GetColumn(status)->SetVisible(true);
    }

    // Best fit over every row.
    {
        const int ip = grid->ColumnIndex(u"IP");
        std::vector<double> times;
        for (int i = 0; i < 5; ++i) {
            const auto t0 = Clock::now();
            view.AutoSizeColumn(ip);
            times.push_back(Ms(t0, Clock::now()));
        }
        std::printf("best fit of IP over 100,000 rows: median %.1f ms (width %d)\n", Median(times),
                    grid->Columns().GetColumn(ip)->Width());
        QElapsedTimer anchor;
        anchor.start();
        const QFontMetrics metrics(view.font());
        int widest = 0;
        for (int r = 0; r < grid->RowCount(); ++r)
            widest = std::max(widest, metrics.horizontalAdvance(grid->CellText(ip, r)));
        std::printf("anchor: measuring the same texts directly: %lld ms (widest %d)\n", anchor.elapsed(),
                    widest);
    }
    return 0;
}
