// The alert popups as the alarm dispatcher's channel: the down popup's and the up popup's lists
// and their slide-in.
#pragma once

#include "core/AlarmChannels.h"

class TAlert_window;
class TAlert_window_up;

class TAlertPopups : public IAlertPopups {
public:
    TAlertPopups(TAlert_window& Down, TAlert_window_up& Up) : FDown(Down), FUp(Up) {}

    TDataGrid& DownPopupGrid() override;
    TDataGrid& UpPopupGrid() override;
    bool DownPopupShown() const override;
    void PopupRowsListed() override;
    bool ShowDownPopup() override;
    bool ShowUpPopup() override;

private:
    TAlert_window& FDown;
    TAlert_window_up& FUp;
};
