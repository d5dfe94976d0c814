// Figures of the grid view showing the host grid's 41 columns at 1920x1080: a full paint at
// 1,000 and 100,000 rows, one wheel step, 1,000 cell writes from a worker through Synchronize
// while shown, a best fit over 100,000 rows, and at 100,000 rows a type-ahead key, a header
// click sorting up to the paint, Shift+End and a double click on a header edge; the combo box's
// list of 10,000 strings opened and painted, one wheel step in it, and its typing search.
#include "core/HostGrid.h"
#include "core/Synchronize.h"
#include "grid/GxGrid.h"
#include "grid/widgets/GxButtonEdit.h"
#include "grid/widgets/GxGridView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMouseEvent>
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

void SendMouse(TGxGridView& view, QEvent::Type type, const QPoint& at, Qt::KeyboardModifiers modifiers = {}) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, at, view.viewport()->mapToGlobal(at), Qt::LeftButton, held, modifiers);
    QApplication::sendEvent(view.viewport(), &event);
}

void SendKey(TGxGridView& view, int key, Qt::KeyboardModifiers modifiers, const QString& text = QString()) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(&view, &press);
}

// The operator's actions on 100,000 rows, each measured up to the repaint it causes.
void PrintInteraction(TGxGridView& view, TDataGrid& grid) {
    grid.SetOptions(goHeader | goGrid | goSelectFullRow | goMultiSelect);
    const int host = grid.ColumnIndex(u"Host");
    TGxCustomColumn* hostColumn = grid.Columns().GetColumn(host);
    hostColumn->SetOptions(hostColumn->Options() | coSearchColumn);
    view.setFocus();
    QApplication::processEvents();
    auto paint = [&] {
        view.FlushPendingUpdates();
        view.viewport()->repaint();
    };
    // Type-ahead: each key a fresh search (the search text is cleared), once finding the last
    // row, once finding nothing, the key alone and up to its paint; the anchor reads the same
    // 100,000 texts directly.
    {
        std::vector<double> far;
        std::vector<double> farPainted;
        std::vector<double> none;
        grid.Cell(host, grid.RowCount() - 1).SetAsString("zz-last");
        for (int i = 0; i < 21; ++i) {
            grid.SetSelectedRow(0);
            paint();
            grid.ClearSearch();
            auto t0 = Clock::now();
            SendKey(view, Qt::Key_Z, Qt::NoModifier, "z");
            far.push_back(Ms(t0, Clock::now()));
            paint();
            farPainted.push_back(Ms(t0, Clock::now()));
            grid.ClearSearch();
            t0 = Clock::now();
            SendKey(view, Qt::Key_Q, Qt::NoModifier, "q");
            none.push_back(Ms(t0, Clock::now()));
        }
        const auto t0 = Clock::now();
        int found = 0;
        QString cell;
        for (int r = 0; r < grid.RowCount(); ++r) {
            grid.GetCellText(host, r, cell);
            found += cell.startsWith(u'q') ? 1 : 0;
        }
        std::printf("type-ahead key over 100,000 rows: median %.2f ms finding the last row (row %d), %.2f ms "
                    "with its paint, %.2f ms finding none; anchor: reading the 100,000 texts %.2f ms\n",
                    Median(far), grid.SelectedRow(), Median(farPainted), Median(none), Ms(t0, Clock::now()));
    }
    // A header click up to the paint: the first sorts, the second reverses.
    {
        view.HandleScroll(sbHorizontal, scTop);
        const QPoint header(hostColumn->ClientLeft() + 10, 8);
        std::vector<double> sorts;
        std::vector<double> flips;
        for (int i = 0; i < 5; ++i) {
            grid.Cell(host, 0).SetAsString(QStringLiteral("changed-%1").arg(i)); // a full sort again
            auto t0 = Clock::now();
            SendMouse(view, QEvent::MouseButtonPress, header);
            SendMouse(view, QEvent::MouseButtonRelease, header);
            paint();
            (i == 0 || hostColumn->SortKind() == skAscending ? sorts : flips).push_back(Ms(t0, Clock::now()));
            t0 = Clock::now();
            SendMouse(view, QEvent::MouseButtonPress, header);
            SendMouse(view, QEvent::MouseButtonRelease, header);
            paint();
            flips.push_back(Ms(t0, Clock::now()));
        }
        const auto t0 = Clock::now();
        paint();
        std::printf("header click to paint, 100,000 rows by Host: median %.1f ms sorting, %.1f ms reversing; "
                    "anchor: the paint alone %.1f ms\n",
                    Median(sorts), Median(flips), Ms(t0, Clock::now()));
    }
    // Shift+End from the first row, against End alone.
    {
        std::vector<double> shifted;
        std::vector<double> plain;
        int selected = 0;
        for (int i = 0; i < 11; ++i) {
            SendKey(view, Qt::Key_Home, Qt::NoModifier);
            grid.SelectCell(0, grid.FirstVisibleRow());
            paint();
            auto t0 = Clock::now();
            SendKey(view, Qt::Key_End, Qt::ShiftModifier);
            paint();
            shifted.push_back(Ms(t0, Clock::now()));
            selected = grid.SelectedCount();
            SendKey(view, Qt::Key_Home, Qt::NoModifier);
            paint();
            t0 = Clock::now();
            SendKey(view, Qt::Key_End, Qt::NoModifier);
            paint();
            plain.push_back(Ms(t0, Clock::now()));
        }
        std::printf("Shift+End over 100,000 rows: median %.2f ms (%d selected); anchor: End alone %.2f ms\n",
                    Median(shifted), selected, Median(plain));
    }
    // A double click on the IP header's edge fits the column over the rows.
    {
        const int ip = grid.ColumnIndex(u"IP");
        TGxCustomColumn* column = grid.Columns().GetColumn(ip);
        view.ScrollToColumn(ip);
        std::vector<double> fits;
        for (int i = 0; i < 5; ++i) {
            column->SetWidth(40);
            view.ScrollToColumn(ip);
            paint();
            const QPoint edge(column->ClientLeft() + column->Width(), 8);
            const auto t0 = Clock::now();
            SendMouse(view, QEvent::MouseButtonDblClick, edge);
            SendMouse(view, QEvent::MouseButtonRelease, edge);
            paint();
            fits.push_back(Ms(t0, Clock::now()));
        }
        std::printf("double click on the IP edge, 100,000 rows: median %.1f ms (width %d)\n", Median(fits),
                    column->Width());
    }
}

} // namespace

// Paints the whole window into an image, as the window system's first paint would.
void PaintPopup(QWidget& window) {
    static QImage canvas;
    if (canvas.size() != window.size())
        canvas = QImage(window.size(), QImage::Format_ARGB32_Premultiplied);
    window.render(&canvas);
}

// The drop-down list of a combo box holding 10,000 strings, and its typing search.
void PrintPopups() {
    constexpr int Items = 10000;
    QStringList items;
    for (int i = 0; i < Items; ++i)
        items << QStringLiteral("item %1").arg(i, 5, 10, QLatin1Char('0'));
    QWidget window;
    auto* combo = new TGxComboBox(&window);
    combo->setGeometry(10, 10, 200, 22);
    window.resize(240, 60);
    window.show();
    window.activateWindow();
    QApplication::processEvents();
    combo->setFocus();
    auto openAndPaint = [&](const QStringList& list, int index) {
        combo->SetItems(list);
        combo->SetItemIndex(index);
        std::vector<double> times;
        for (int i = 0; i < 21; ++i) {
            const auto t0 = Clock::now();
            combo->DropDown();
            PaintPopup(*combo->PopupList());
            times.push_back(Ms(t0, Clock::now()));
            if (!combo->DroppedDown())
                std::printf("the list did not open\n");
            combo->CloseUp();
        }
        return Median(times);
    };
    const double opened = openAndPaint(items, Items / 2);
    const double small = openAndPaint(items.mid(0, 8), 3);
    std::printf("combo list of 10,000 strings, row %d selected, 8 rows of 16 px shown, painted into an "
                "image: opening "
                "and first paint "
                "median %.3f ms; anchor: the same list holding 8 strings %.3f ms\n",
                Items / 2, opened, small);

    combo->SetItems(items);
    combo->SetItemIndex(0);
    combo->DropDown();
    TGxPopupList* list = combo->PopupList();
    std::vector<double> wheel, repaint;
    for (int i = 0; i < 200; ++i) {
        QWheelEvent event(QPointF(5, 5), QPointF(combo->mapToGlobal(QPoint(5, 5))), QPoint(), QPoint(0, -120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        const auto t0 = Clock::now();
        QApplication::sendEvent(combo, &event);
        PaintPopup(*list);
        wheel.push_back(Ms(t0, Clock::now()));
        const auto t1 = Clock::now();
        PaintPopup(*list);
        repaint.push_back(Ms(t1, Clock::now()));
    }
    std::printf(
        "one wheel step in the open list (10,000 strings) up to its paint: median %.3f ms, worst %.3f ms "
        "(position %d); anchor: a repaint alone %.3f ms\n",
        Median(wheel), *std::max_element(wheel.begin(), wheel.end()), list->VertScrollBar().Position(),
        Median(repaint));
    combo->CloseUp();

    // Typing search: each key of "item 09999" in a list-style box searches from the first item.
    combo->SetStyle(dsDropDownList);
    combo->SetAutoComplete(true);
    const QString typed = QStringLiteral("item 09999");
    std::vector<double> keys;
    for (int round = 0; round < 20; ++round) {
        combo->SetItemIndex(0);
        for (int k = 0; k < typed.size(); ++k) {
            // The first key of a round starts a new search, the others add to it.
            combo->SetAutoCompleteDelay(k == 0 ? 0 : 100000);
            if (k == 0)
                QThread::msleep(2);
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(typed[k]));
            const auto t0 = Clock::now();
            QApplication::sendEvent(combo, &press);
            keys.push_back(Ms(t0, Clock::now()));
        }
    }
    QElapsedTimer anchor;
    anchor.start();
    int found = -1;
    for (int i = 0; i < Items && found < 0; ++i)
        if (items[i].startsWith(typed, Qt::CaseInsensitive))
            found = i;
    const qint64 scan = anchor.nsecsElapsed();
    std::printf(
        "typing search over 10,000 items, %d keys of \"item 09999\": median %.4f ms, worst %.4f ms per key "
        "(chosen %d); anchor: one case-insensitive scan to the last item %.4f ms\n",
        int(keys.size()), Median(keys), *std::max_element(keys.begin(), keys.end()), combo->ItemIndex(),
        scan / 1e6);
}

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

    PrintInteraction(view, *grid);
    PrintPopups();
    return 0;
}
