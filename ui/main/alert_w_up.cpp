// The up-alert popup: slides in when hosts come back.
#include "ui/main/alert_w_up.h"

#include "core/AlertFlags.h"

TAlert_window_up* Alert_window_up = nullptr;

TAlert_window_up::TAlert_window_up(QWidget* parent) : TSlidePopup(parent) {
    setObjectName(QStringLiteral("Alert_window_up"));
}

void TAlert_window_up::FormCreate() {
    // The window's start-up work joins here.
}

void TAlert_window_up::PopupHidden() { UpAlertVisible = false; }
