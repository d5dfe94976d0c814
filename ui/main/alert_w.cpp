// The down-alert popup: slides in at the bottom right of the desktop with the events of the last pass.
#include "ui/main/alert_w.h"

#include "core/AlertFlags.h"

TAlert_window* Alert_window = nullptr;

TAlert_window::TAlert_window(QWidget* parent) : TSlidePopup(parent) {
    setObjectName(QStringLiteral("Alert_window"));
}

void TAlert_window::FormCreate(TMonitorServices&) {
    // The window's start-up work joins here.
}

void TAlert_window::PopupHidden() {
    DownAlertVisible = false;
}
