// The up-alert popup: slides in when hosts come back.
#include "ui/main/alert_w_up.h"

#include "core/AlertFlags.h"
#include "core/MonitorServices.h"
#include "ui/main/AlertPopups.h"
#include "ui/main/alert_w.h"

TAlert_window_up* Alert_window_up = nullptr;

TAlert_window_up::TAlert_window_up(QWidget* parent) : TSlidePopup(parent) {
    setObjectName(QStringLiteral("Alert_window_up"));
}

TAlert_window_up::~TAlert_window_up() {
    if (FServices) {
        FServices->Channels().SetPopups(nullptr);
    }
}

void TAlert_window_up::FormCreate(TMonitorServices& Services) {
    if (!Alert_window) {
        return;
    }
    FServices = &Services;
    FPopups = std::make_unique<TAlertPopups>(*Alert_window, *this);
    Services.Channels().SetPopups(FPopups.get());
}

void TAlert_window_up::PopupHidden() {
    UpAlertVisible = false;
}
