// The dispatcher's popup channel on the two popup windows.
#include "ui/main/AlertPopups.h"

#include "ui/main/alert_w.h"
#include "ui/main/alert_w_up.h"

TDataGrid& TAlertPopups::DownPopupGrid() {
    return *FDown.ShowGrid;
}
TDataGrid& TAlertPopups::UpPopupGrid() {
    return *FUp.ShowGrid;
}
bool TAlertPopups::DownPopupShown() const {
    // A popup sliding out is not shown any more: new events slide it in again.
    return FDown.Resting();
}

void TAlertPopups::PopupRowsListed() {
    FDown.ListChanged();
    FUp.ListChanged();
}

bool TAlertPopups::ShowDownPopup() {
    FDown.SlideIn();
    return true;
}

bool TAlertPopups::ShowUpPopup() {
    FUp.SlideIn();
    return true;
}
