// A small offscreen driver of the tools window for the tests that run it inside a network
// namespace (ip netns exec), so its look-ups, echoes and SNMP requests see that namespace:
//   tools_window_driver trace TARGET MAXHOPS NAMES(0|1)    the trace page's text, then "button=on|off"
//   tools_window_driver ping TARGET SECONDS                 the ping page's lines
//   tools_window_driver lookup IP NAME                      "name=" and "ip=" after both buttons
//   tools_window_driver close-trace TARGET DELAYMS          closes the window DELAYMS into a trace,
//                                                           "ended_ms=" until its worker ended
//   tools_window_driver port HOST PORT COMMUNITY INDEX enable|disable   "message=" of the box
#include "core/LangTexts.h"
#include "core/MonitorServices.h"
#include "grid/GxGrid.h"
#include "platform/MessageBox.h"
#include "ui/dialogs/Unit_tracert.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFont>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QStyleFactory>

#include <cstdio>
#include <cstdlib>
#include <functional>

namespace {

bool WaitFor(const std::function<bool()>& Done, int LimitMs) {
    QElapsedTimer clock;
    clock.start();
    while (!Done() && clock.elapsed() < LimitMs)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    return Done();
}

void Print(const QString& Text) {
    std::fputs(Text.toUtf8().constData(), stdout);
    std::fputs("\n", stdout);
}

int Usage() {
    std::fprintf(stderr, "usage: tools_window_driver trace|ping|lookup|close-trace|port ...\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    QApplication::setFont(QFont("DejaVu Sans", 9));
    LangTexts::UseBuiltInEnglish();
    const QStringList args = QApplication::arguments().mid(1);
    if (args.isEmpty())
        return Usage();
    TMonitorServices services(MonitorDatabase, QString());
    TPing_tracert_form form(services);
    const QString mode = args[0];
    if (mode == "trace" && args.size() == 4) {
        form.edAddr->setText(args[1]);
        form.sedCount->setValue(args[2].toInt());
        form.CheckBox1->setChecked(args[3] == "1");
        form.btnStart->click();
        WaitFor([&] { return form.btnStart->isEnabled(); }, 200000);
        Print(form.memShowTracert->toPlainText());
        Print(form.btnStart->isEnabled() ? "button=on" : "button=off");
    } else if (mode == "ping" && args.size() == 3) {
        form.Edit3->setText(args[1]);
        form.Button3->click();
        WaitFor([] { return false; }, args[2].toInt() * 1000);
        form.Button3->click();
        form.WaitForTools(5000);
        Print(form.Memo1->toPlainText());
    } else if (mode == "lookup" && args.size() == 3) {
        form.Edit1->setText(args[1]);
        form.Button1->click();
        WaitFor([&] { return form.Button1->isEnabled(); }, 20000);
        Print("name=" + form.Edit2->text());
        form.Edit2->setText(args[2]);
        form.Button2->click();
        WaitFor([&] { return form.Button2->isEnabled(); }, 20000);
        Print("ip=" + form.Edit1->text());
    } else if (mode == "close-trace" && args.size() == 3) {
        form.show();
        form.edAddr->setText(args[1]);
        form.btnStart->click();
        WaitFor([] { return false; }, args[2].toInt());
        Print(QStringLiteral("running=%1").arg(form.RunningTools()));
        QElapsedTimer clock;
        clock.start();
        form.close();
        Print(form.btnStart->isEnabled() ? "button=on" : "button=off");
        form.WaitForTools(10000);
        Print(QStringLiteral("ended_ms=%1").arg(clock.elapsed()));
        Print("text=" + form.memShowTracert->toPlainText().replace('\n', '|'));
    } else if (mode == "port" && args.size() == 6) {
        QString message;
        SetMessageBoxHandler([&](const QString&, const QString& Text) { message = Text; });
        form.Host_snmp_Edit->setText(args[1]);
        form.SnmpPort = args[2];
        form.com_snmp_Edit->setText(args[3]);
        const int row = form.DataGrid1->AddRow();
        form.DataGrid1->Cell(1, row).SetAsString(args[4]);
        form.DataGrid1->SetSelectedRow(row);
        if (args[5] == "enable")
            form.Enableport1Click();
        else
            form.Disableport1Click();
        WaitFor([&] { return !message.isEmpty(); }, 20000);
        Print("message=" + message);
    } else {
        return Usage();
    }
    std::fflush(stdout);
    return 0;
}
