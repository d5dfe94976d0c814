#include "ui/main/HostActions.h"

#include "core/AlertPopupLogic.h"
#include "core/MonitorServices.h"
#include "platform/MessageBox.h"
#include "platform/ShellOpen.h"
#include "ui/main/main_form.h"

#include <QPushButton>
#include <QTabWidget>
#include <QUrl>

THostActions& HostActions() {
    static THostActions actions;
    return actions;
}

void InstallDefaultHostActions(TForm1& Form) {
    THostActions& a = HostActions();
    TForm1* form = &Form;
    a.SoundOff = [form] {
        if (form->BitBtn6) {
            form->BitBtn6->click();
        }
    };
    a.ShowHost = [form](const QString& Kod, bool SelectGroup) {
        if (!form->DataGrid1) {
            return false;
        }
        const std::optional<int> group = ShowOnlyHost(*form->DataGrid1, Kod);
        if (!group) {
            return false;
        }
        form->show();
        form->raise();
        form->activateWindow();
        if (form->PageControl1) {
            form->PageControl1->setCurrentIndex(0);
        }
        if (SelectGroup && HostActions().SetSelectedGroup) {
            HostActions().SetSelectedGroup(*group);
        }
        return true;
    };
    a.PingHost = [form](const QString& Address, const QString& HostName) {
        if (IToolsWindow* tools = form->Services().Roles().Tools()) {
            tools->OpenPing(Address, HostName);
        }
    };
    a.TraceRoute = [form](const QString& Address, const QString& HostName) {
        if (IToolsWindow* tools = form->Services().Roles().Tools()) {
            tools->OpenTraceRoute(Address, HostName);
        }
    };
    a.SnmpCheck = [form](const QString& Address, const QString& Community) {
        if (IToolsWindow* tools = form->Services().Roles().Tools()) {
            tools->OpenSnmpCheck(Address, Community);
        }
    };
    a.OpenUrl = [](const QString& Url) {
        if (!Url.isEmpty()) {
            ShellOpenUrl(QUrl(Url));
        }
    };
    a.Telnet = [](const QString& Address) {
        if (const QString refused = RunHostCommandInTerminal(QStringLiteral("telnet"), Address);
            !refused.isEmpty()) {
            ShowMessageBox(refused);
        }
    };
}
