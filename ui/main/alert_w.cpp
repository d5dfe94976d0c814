// The down-alert popup: slides in at the bottom right of the screen with the events of the last pass.
#include "ui/main/alert_w.h"

#include "core/AlertFlags.h"
#include "core/MonitorServices.h"

TAlert_window* Alert_window = nullptr;

TAlert_window::TAlert_window(TMonitorServices& Services, QWidget* parent)
    : TSlidePopup(true, parent), FServices(&Services) {
    setObjectName(QStringLiteral("Alert_window"));
    setWindowTitle(QStringLiteral("Alert_window"));
}

void TAlert_window::FormCreate() {
    TMonitorServices& Services = *FServices;
    HostTable = &Services.DataGrid1();
}

bool& TAlert_window::VisibleFlag() const {
    return DownAlertVisible;
}

void TAlert_window::PopupHidden() {
    DownAlertVisible = false;
    DownAlertStacked = false;
}
