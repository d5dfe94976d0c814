// The alert popups on a real X display for the popups' Xvfb test: alert_popup_probe <dir>.
// Each step writes a file of <dir> (the popup's X window id, or "done") and waits for the test's
// "go<N>" file, so the test reads places and the clipboard while the popups stay put:
//   down    the down popup at rest with two events, its list copied to the clipboard
//   up      the up popup at rest above it
//   explore "Explore the host" on the down popup's first event (a host at fe80::1)
//   closed  the down popup slid out; the up popup stays
#include "core/AlertFlags.h"
#include "core/CheckRules.h"
#include "core/DatabaseSchema.h"
#include "core/LangTexts.h"
#include "core/MonitorServices.h"
#include "core/SQLiteDb.h"
#include "grid/GxGrid.h"
#include "ui/main/AlertPopups.h"
#include "ui/main/HostActions.h"
#include "ui/main/alert_w.h"
#include "ui/main/alert_w_up.h"

#include <QApplication>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QFile>
#include <QFont>
#include <QStyleFactory>
#include <QThread>
#include <QUrl>

#include <cstdio>

namespace {

QString Dir;

bool WaitFor(const std::function<bool()>& Done, int LimitMs) {
    QElapsedTimer clock;
    clock.start();
    while (!Done() && clock.elapsed() < LimitMs) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
    return Done();
}

void Report(const char* Step, const QString& Text) {
    QFile file(Dir + QLatin1Char('/') + QLatin1String(Step) + QStringLiteral(".tmp"));
    file.open(QIODevice::WriteOnly);
    file.write(Text.toUtf8());
    file.close();
    file.rename(Dir + QLatin1Char('/') + QLatin1String(Step));
}

// Waits for the test's go file while serving the display (and the clipboard).
bool Go(int Step) {
    const QString name = Dir + QStringLiteral("/go%1").arg(Step);
    return WaitFor([&] { return QFile::exists(name); }, 30000);
}

bool Resting(TSlidePopup& Popup) {
    return WaitFor([&] { return Popup.isVisible() && !Popup.Timer2.isActive(); }, 10000);
}

void Queue(TDataGrid& Queue, const QString& Name, const QString& Time) {
    const int r = Queue.AddRow();
    Queue.Cell("Host_name", r).SetAsString(Name);
    Queue.Cell("State", r).SetAsString(QStringLiteral("Down"));
    Queue.Cell("State", r).SetCellColor(EventColourRed);
    Queue.Cell("ID_", r).SetAsString(QStringLiteral("0"));
    Queue.Cell("Time_d", r).SetAsString(Time);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), 9));
    QApplication::setQuitOnLastWindowClosed(false);
    if (argc < 2) {
        std::fprintf(stderr, "usage: alert_popup_probe DIR\n");
        return 2;
    }
    Dir = QString::fromLocal8Bit(argv[1]);
    LangTexts::UseBuiltInEnglish();
    TSQLiteDatabase database(Dir + QStringLiteral("/probe.db"));
    CreateMissingTables(database);
    TMonitorServices services(database, Dir);
    TDataGrid& hosts = services.DataGrid1();
    hosts.AddRow();
    hosts.Cell(u"Kod_", 0).SetAsString(QStringLiteral("5"));
    hosts.Cell(u"Host", 0).SetAsString(QStringLiteral("v6-router"));
    hosts.Cell(u"IP", 0).SetAsString(QStringLiteral("fe80::1"));
    // The shell's open, as the main window installs it.
    HostActions().OpenUrl = [](const QString& Url) {
        QDesktopServices::openUrl(QUrl(Url));
    };

    TAlert_window down(services);
    TAlert_window_up up(services);
    Alert_window = &down;
    Alert_window_up = &up;
    down.FormCreate();
    up.SetDownPopup(&down);
    up.FormCreate();
    down.SetOtherPopup(&up);
    up.SetOtherPopup(&down);
    TAlertPopups popups(down, up);
    services.Channels().SetPopups(&popups);

    Queue(services.DownHostGrid(), QStringLiteral("v6-router"), QStringLiteral("09.12.2026 07:30:00"));
    Queue(services.DownHostGrid(), QStringLiteral("Сервер \"web\""), QStringLiteral("09.12.2026 07:30:05"));
    services.Dispatcher().DispatchAlarms();
    if (!Resting(down))
        return 3;
    down.BitBtn2Click();
    Report("down", QString::number(down.winId()));
    if (!Go(1))
        return 4;

    const int row = up.ShowGrid->AddRow();
    up.ShowGrid->Cell(u"Host", row).SetAsString(QStringLiteral("printer"));
    up.ShowGrid->Cell(u"ID_", row).SetAsString(QStringLiteral("0"));
    popups.PopupRowsListed();
    popups.ShowUpPopup();
    if (!Resting(up))
        return 5;
    Report("up", QString::number(up.winId()));
    if (!Go(2))
        return 6;

    down.ShowGrid->SelectCell(1, 1); // the event of "v6-router", listed first
    down.Explorehost1Click();
    Report("explore", QStringLiteral("done"));
    if (!Go(3))
        return 7;

    down.Label3Click();
    if (!WaitFor([&] { return !down.isVisible(); }, 10000))
        return 8;
    Report("closed", QStringLiteral("done"));
    Go(4);
    services.Channels().SetPopups(nullptr);
    return 0;
}
