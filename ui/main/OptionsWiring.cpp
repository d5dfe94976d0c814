// The main window's side of the options page: what the page reaches through the window (the
// dialogs, the messaging client, the controller) and the window's handlers under their names.
#include "core/MonitorServices.h"
#include "messaging/ICQClient.h"
#include "ui/dialogs/Email_settings.h"
#include "ui/dialogs/types_of_host_form.h"
#include "ui/main/MessagingEvents.h"
#include "ui/main/OptionsPage.h"
#include "ui/main/alert_w.h"
#include "ui/main/column_options.h"
#include "ui/main/main_form.h"

TOptionsPageParts TForm1::OptionsPageParts() {
    TOptionsPageParts parts;
    parts.Settings = &FServices->Settings();
    parts.Controller = &FServices->Controller();
    parts.Database = &FServices->Database();
    parts.HostGrid = DataGrid1;
    parts.SaveSettings = [this] {
        SaveSettings();
    };
    parts.MessagingLoggedIn = [this] {
        return ICQClient1->LoggedIn();
    };
    parts.MessagingLogin = [this](qint64 UIN, const QString& Password) {
        FMessaging->Login(UIN, Password, ICQInitialStatus);
    };
    parts.ApplyLanguage = [](const QString& Name) {
        if (Column_Form) {
            Column_Form->ApplyLanguage(Name);
        }
    };
    parts.ShowAlertTest = [] {
        if (Alert_window) {
            Alert_window->SlideIn();
        }
    };
    parts.ShowColumnDialog = [] {
        if (Column_Form) {
            Column_Form->Execute();
        }
    };
    parts.ShowHostTypes = [] {
        if (Types_form) {
            Types_form->exec();
        }
    };
    parts.ShowNotifications = [](int Page) {
        if (Email_settings_form) {
            Email_settings_form->ShowOnPage(Page);
        }
    };
    parts.Notifications = [] {
        return Email_settings_form ? Email_settings_form->CurrentSettings() : TNotificationSettings{};
    };
    return parts;
}

void TForm1::BitBtn23Click() {
    FOptions->BitBtn23Click();
}
void TForm1::Grid_show_CheckBoxClick() {
    FOptions->Grid_show_CheckBoxClick();
}
void TForm1::Grid_Style_ComboBoxClick() {
    FOptions->Grid_Style_ComboBoxClick();
}
void TForm1::BitBtn30Click() {
    FOptions->BitBtn30Click();
}
void TForm1::BitBtn36Click() {
    FOptions->BitBtn36Click();
}
void TForm1::Button3Click() {
    FOptions->Button3Click();
}
