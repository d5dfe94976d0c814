// Test probe for the real-display tests: shows a top-level grid view on the display the
// environment names and writes "x y width height" of the view's client area in screen
// coordinates to the file given as its argument once it has been painted. The probe scene is
// the painting one; with --interactive the grid takes clicks, drags, keys and the wheel and
// writes one line per event to a log file, for a test that drives it with xdotool. With
// --popups it shows a combo box in the screen's bottom-right corner and a month calendar on
// March 2024 instead, and logs the drop-down's place, choices and the calendar's selection.
#include "grid/widgets/GxButtonEdit.h"
#include "grid/widgets/GxMonthCalendar.h"
#include "widget_helpers.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>
#include <cstdio>

namespace {

// Columns Name (type-ahead), Enabled (ticked by the mouse), Count (a number typed and pasted
// into), Status (typed into).
std::unique_ptr<TDataGrid> MakeInteractiveGrid(QFile& log) {
    auto grid = widgettest::MakeGrid(200);
    grid->SetOptions(goHeader | goGrid | goSelectFullRow | goMultiSelect | goCanHideColumn);
    grid->SetWantTabs(true);
    grid->Cell(0, 150).SetAsString("abacus");
    for (int c : {1, 2, 3}) {
        TGxCustomColumn* column = grid->Columns().GetColumn(c);
        column->SetOptions(column->Options() | coEditing);
    }
    TGxCustomColumn* name = grid->Columns().GetColumn(0);
    name->SetOptions(name->Options() | coSearchColumn);
    auto write = [&log](const QString& line) {
        log.write((line + u'\n').toUtf8());
        log.flush();
    };
    TDataGrid* g = grid.get();
    grid->OnHeaderClick = [write](QObject*, int col) {
        write(QStringLiteral("header %1").arg(col));
    };
    grid->OnSortColumn = [write](QObject*, int col, bool ascending) {
        write(QStringLiteral("sort %1 %2").arg(col).arg(ascending ? "asc" : "desc"));
    };
    grid->OnSelectCell = [write, g](QObject*, int col, int row) {
        QStringList rows;
        for (int r = 0; r < g->RowCount(); ++r)
            if (g->GetRowSelected(r))
                rows << QString::number(r);
        write(QStringLiteral("select %1 %2 [%3]").arg(col).arg(row).arg(rows.join(u',')));
    };
    grid->OnColumnResize = [write, g](QObject*, int col) {
        write(QStringLiteral("resize %1 %2").arg(col).arg(g->Columns().GetColumn(col)->Width()));
    };
    grid->OnColumnMove = [write](QObject*, int col, int from, int to) {
        write(QStringLiteral("move %1 %2 %3").arg(col).arg(from).arg(to));
    };
    grid->OnCellClick = [write, g](QObject*, int col, int row) {
        write(QStringLiteral("click %1 %2 %3").arg(col).arg(row).arg(g->CellText(col, row)));
    };
    grid->OnAfterEdit = [write](QObject*, int col, int row, const QString& value) {
        write(QStringLiteral("after %1 %2 %3").arg(col).arg(row).arg(value));
    };
    grid->OnEdit = [write](QObject*, int col, int row, const QString& value) {
        write(QStringLiteral("edit %1 %2 %3").arg(col).arg(row).arg(value));
    };
    return grid;
}

// The drop-down scene: writes "comboX comboY comboW comboH calendarX calendarY" (screen
// coordinates) to the ready file and one line per event to the log.
int RunPopups(QApplication& app, const QString& readyFile, QFile& log) {
    auto write = [&log](const QString& line) {
        log.write((line + u'\n').toUtf8());
        log.flush();
    };
    QWidget comboWindow;
    comboWindow.setWindowTitle(QStringLiteral("ZtComboProbe"));
    auto* combo = new TGxComboBox(&comboWindow);
    combo->setGeometry(5, 5, 190, 22);
    combo->SetItems(QStringList{"Alpha", "Beta", "Gamma", "Delta", "Echo"});
    // The window's bottom-right corner at the screen's.
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    comboWindow.setGeometry(screen.right() + 1 - 200, screen.bottom() + 1 - 32, 200, 32);
    combo->OnButtonDown = [&](TGxCustomButtonEdit*) {
        QTimer::singleShot(200, &app, [&] {
            const QRect list = combo->PopupList()->frameGeometry();
            write(QStringLiteral("list %1 %2 %3 %4 %5")
                      .arg(list.x())
                      .arg(list.y())
                      .arg(list.width())
                      .arg(list.height())
                      .arg(combo->DroppedDown() ? "open" : "closed"));
        });
    };
    combo->OnSelect = [&](TGxPopupEdit*) {
        write(QStringLiteral("select %1 %2").arg(combo->text()).arg(combo->ItemIndex()));
    };

    QWidget calendarWindow;
    calendarWindow.setWindowTitle(QStringLiteral("ZtCalendarProbe"));
    auto* calendar = new TGxMonthCalendar(&calendarWindow);
    calendar->setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    calendar->SetStartDay(dwSunday);
    calendar->SelectDate(DateTimeOfDate(QDate(2024, 3, 15)));
    calendarWindow.setGeometry(20, 30, CalendarWidth, CalendarHeight);
    auto dateText = [calendar] {
        return DateOfDateTime(calendar->SelectedDate()).toString(Qt::ISODate);
    };
    calendar->OnChange = [&](TGxMonthCalendar*) {
        write(QStringLiteral("change ") + dateText());
    };
    struct ReleaseLog : QObject {
        std::function<void(const QPoint&)> Logged;
        bool eventFilter(QObject* watched, QEvent* event) override {
            if (event->type() == QEvent::MouseButtonRelease)
                Logged(static_cast<QMouseEvent*>(event)->position().toPoint());
            return QObject::eventFilter(watched, event);
        }
    } releases;
    releases.Logged = [&](const QPoint& at) {
        write(QStringLiteral("release %1 %2 selected %3 month %4")
                  .arg(at.x())
                  .arg(at.y())
                  .arg(dateText())
                  .arg(calendar->Month()));
    };
    calendar->installEventFilter(&releases);

    comboWindow.show();
    calendarWindow.show();
    QTimer::singleShot(700, &app, [&] {
        const QPoint c = combo->mapToGlobal(QPoint(0, 0));
        const QPoint k = calendar->mapToGlobal(QPoint(0, 0));
        QFile out(readyFile + QStringLiteral(".part"));
        if (!out.open(QIODevice::WriteOnly))
            QCoreApplication::exit(3);
        out.write(QStringLiteral("%1 %2 %3 %4 %5 %6\n")
                      .arg(c.x())
                      .arg(c.y())
                      .arg(combo->width())
                      .arg(combo->height())
                      .arg(k.x())
                      .arg(k.y())
                      .toUtf8());
        out.close();
        QFile::rename(readyFile + QStringLiteral(".part"), readyFile);
    });
    QTimer::singleShot(60000, &app, [] { QCoreApplication::exit(0); }); // never outlives its test
    const int rc = app.exec();
    calendar->removeEventFilter(&releases);
    return rc;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 4 && QByteArray(argv[1]) == "--popups") {
        QApplication app(argc, argv);
        widgettest::UseTestLook();
        QFile log(QString::fromLocal8Bit(argv[3]));
        if (!log.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 3;
        return RunPopups(app, QString::fromLocal8Bit(argv[2]), log);
    }
    const bool interactive = argc >= 4 && QByteArray(argv[1]) == "--interactive";
    if (argc < 2 || (QByteArray(argv[1]) == "--interactive" && !interactive)) {
        std::fprintf(stderr, "usage: grid_view_probe <ready-file> | --interactive <ready-file> <log-file>\n");
        return 2;
    }
    QApplication app(argc, argv);
    widgettest::UseTestLook();
    QFile log;
    std::unique_ptr<TDataGrid> grid;
    if (interactive) {
        log.setFileName(QString::fromLocal8Bit(argv[3]));
        if (!log.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 3;
        grid = MakeInteractiveGrid(log);
    } else {
        grid = widgettest::MakeProbeGrid();
    }
    TGxGridView view(grid.get());
    view.setWindowTitle(QStringLiteral("ZtGridProbe"));
    view.setGeometry(20, 30, widgettest::ProbeWidth, widgettest::ProbeHeight);
    if (interactive)
        view.OnVerticalScroll = [&log, &grid](QObject*, int position) {
            log.write(QStringLiteral("scroll %1 first %2\n").arg(position).arg(grid->FirstRow()).toUtf8());
            log.flush();
        };
    view.show();
    // The X selection a middle click pastes, owned by the probe itself.
    if (interactive)
        QGuiApplication::clipboard()->setText(QStringLiteral("a1b2"), QClipboard::Selection);
    const QString readyFile = QString::fromLocal8Bit(argv[interactive ? 2 : 1]);
    // Reported once the first paints are on the screen.
    QTimer::singleShot(700, &app, [&] {
        const QPoint origin = view.viewport()->mapToGlobal(QPoint(0, 0));
        QFile out(readyFile + QStringLiteral(".part"));
        if (!out.open(QIODevice::WriteOnly))
            QCoreApplication::exit(3);
        out.write(QStringLiteral("%1 %2 %3 %4\n")
                      .arg(origin.x())
                      .arg(origin.y())
                      .arg(view.viewport()->width())
                      .arg(view.viewport()->height())
                      .toUtf8());
        out.close();
        QFile::rename(readyFile + QStringLiteral(".part"), readyFile);
    });
    QTimer::singleShot(interactive ? 60000 : 30000, &app,
                       [] { QCoreApplication::exit(0); }); // never outlives its test
    const int rc = app.exec();
    grid->OnSelectCell = nullptr; // the view goes first; nothing is logged on the way out
    return rc;
}
