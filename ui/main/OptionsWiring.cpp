// The main window's side of the options page: what the page reaches through the window (the
// dialogs, the messaging client, the controller) and the window's handlers under their names.
#include "core/MonitorServices.h"
#include "messaging/ICQClient.h"
#include "ui/main/OptionsPage.h"
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
    // The messaging client joins the services at the end of the start-up.
    parts.MessagingLoggedIn = [this] {
        return FServices->Channels().Messaging().LoggedIn();
    };
    parts.MessagingLogin = [this](qint64 UIN, const QString& Password) {
        FServices->Channels().Messaging().Login(UIN, Password, ICQInitialStatus);
    };
    // The other windows are looked up when asked for: they are created after this one.
    parts.ApplyLanguage = [this](const QString& Name) {
        if (IColumnDialog* columns = FServices->Roles().Columns()) {
            columns->ApplyLanguage(Name);
        }
    };
    parts.ShowAlertTest = [this] {
        if (IPopupTest* popup = FServices->Roles().PopupTest()) {
            popup->SlideInTest();
        }
    };
    parts.ShowColumnDialog = [this] {
        if (IColumnDialog* columns = FServices->Roles().Columns()) {
            columns->ExecColumns();
        }
    };
    parts.ShowHostTypes = [this] {
        if (IHostTypesDialog* types = FServices->Roles().HostTypes()) {
            types->ExecHostTypes();
        }
    };
    parts.ShowNotifications = [this](int Page) {
        if (INotificationDialog* notifications = FServices->Roles().Notifications()) {
            notifications->ShowOnPage(Page);
        }
    };
    parts.Notifications = [this] {
        INotificationDialog* notifications = FServices->Roles().Notifications();
        return notifications ? notifications->CurrentSettings() : TNotificationSettings{};
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
