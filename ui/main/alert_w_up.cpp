// The up-alert popup: slides in when hosts come back.
#include "ui/main/alert_w_up.h"

#include "core/AlertFlags.h"
#include "core/MonitorServices.h"
#include "ui/main/AlertPopups.h"
#include "ui/main/alert_w.h"

TAlert_window_up* Alert_window_up = nullptr;

TAlert_window_up::TAlert_window_up(TMonitorServices& Services, QWidget* parent)
    : TSlidePopup(false, parent), FServices(&Services) {
    setObjectName(QStringLiteral("Alert_window_up"));
    setWindowTitle(QStringLiteral("Alert_window_up"));
}

TAlert_window_up::~TAlert_window_up() {
    FServices->Channels().SetPopups(nullptr);
    if (FDown) {
        FDown->SetOtherPopup(nullptr);
    }
}

void TAlert_window_up::SetDownPopup(TAlert_window* Down) {
    FDown = Down;
}

void TAlert_window_up::FormCreate() {
    TMonitorServices& Services = *FServices;
    HostTable = &Services.DataGrid1();
    if (!FDown) {
        return;
    }
    FServices = &Services;
    SetOtherPopup(FDown);
    FDown->SetOtherPopup(this);
    FPopups = std::make_unique<TAlertPopups>(*FDown, *this);
    Services.Channels().SetPopups(FPopups.get());
}

bool& TAlert_window_up::VisibleFlag() const {
    return UpAlertVisible;
}

void TAlert_window_up::PopupHidden() {
    UpAlertVisible = false;
    UpAlertStacked = false;
}
