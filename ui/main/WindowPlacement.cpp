// The main window's placement in win_pos.cnfg: restored at every activation, saved at every
// deactivation (through SaveSettings).
#include "core/DataFolder.h"
#include "core/ExceptionGuard.h"
#include "core/SettingsFiles.h"
#include "ui/main/main_form.h"

#include <QEvent>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>

namespace {

// Turns the window's activation changes into FormActivate / FormDeactivate.
class TActivationFilter : public QObject {
public:
    explicit TActivationFilter(TForm1* Form) : QObject(Form), FForm(Form) {}

    bool eventFilter(QObject* Watched, QEvent* Event) override {
        if (Watched == FForm && !FBusy) {
            // Applying a placement may itself (de)activate the window; that must not recurse.
            FBusy = true;
            if (Event->type() == QEvent::WindowActivate) {
                Guarded("TForm1.FormActivate", [this] { FForm->FormActivate(); });
            } else if (Event->type() == QEvent::WindowDeactivate) {
                Guarded("TForm1.FormDeactivate", [this] { FForm->FormDeactivate(); });
            }
            FBusy = false;
        }
        return false;
    }

private:
    TForm1* FForm;
    bool FBusy = false;
};

} // namespace

void TForm1::InstallWindowPlacement() {
    FActivationFilter = new TActivationFilter(this);
    installEventFilter(FActivationFilter);
}

TWindowPlacement TForm1::CurrentWindowPlacement() const {
    TWindowPlacement placement;
    // A maximised window keeps the size it returns to.
    const QRect frame = isMaximized() ? normalGeometry() : geometry();
    placement.Left = frame.left();
    placement.Top = frame.top();
    placement.Height = frame.height();
    placement.Width = frame.width();
    placement.WindowStateCode = isMinimized()   ? QStringLiteral("1")
                                : isMaximized() ? QStringLiteral("2")
                                                : QStringLiteral("0");
    return placement;
}

void TForm1::SaveWindowPlacement() {
    const TWindowPlacement placement = CurrentWindowPlacement();
    WindowStateCode = placement.WindowStateCode;
    WriteFileAtomic(DataFolder() + QStringLiteral("win_pos.cnfg"), WindowPlacementText(placement));
}

void TForm1::FormActivate() {
    std::optional<TWindowPlacement> saved;
    if (const auto bytes = ReadSettingsFile(DataFolder() + QStringLiteral("win_pos.cnfg"))) {
        saved = ParseWindowPlacement(*bytes);
    }
    TWindowPlacement placement;
    if (saved) {
        placement = *saved;
    } else {
        // Unreadable: normal state at the top-left corner, size kept.
        placement.Height = height();
        placement.Width = width();
    }
    WindowStateCode = placement.WindowStateCode;
    if (placement.Height > 0 && placement.Width > 0) {
        resize(placement.Width, placement.Height);
    }
    // A saved minimised state comes back as normal: otherwise every activation would minimise
    // the window again.
    if (placement.WindowStateCode == QLatin1String("2")) {
        setWindowState(Qt::WindowMaximized);
        return;
    }
    setWindowState(Qt::WindowNoState);
    QPoint topLeft(placement.Left, placement.Top);
    bool onScreen = false;
    for (const QScreen* screen : QGuiApplication::screens()) {
        onScreen = onScreen || screen->availableGeometry().contains(topLeft);
    }
    if (!onScreen && QGuiApplication::primaryScreen()) {
        topLeft = QGuiApplication::primaryScreen()->availableGeometry().topLeft();
    }
    move(topLeft);
}

void TForm1::FormDeactivate() {
    SaveSettings();
}
