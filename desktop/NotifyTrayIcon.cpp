// The tray icon's state and the translation of the notification area's reports into events.
#include "desktop/NotifyTrayIcon.h"

#include "core/ExceptionGuard.h"

#include <QAction>
#include <QGuiApplication>
#include <QMenu>
#include <QStyleHints>

namespace {

template <class F, class... A> void Fire(const char* Where, const F& Handler, A... Args) {
    if (Handler)
        Guarded(Where, [&] { Handler(Args...); });
}

} // namespace

TNotifyTrayIcon::TNotifyTrayIcon(std::unique_ptr<ITrayIconBackend> Backend, QObject* parent)
    : QObject(parent), FBackend(std::move(Backend)) {
    FClickTimer.SetAutoDisable(true);
    FClickTimer.SetOnTimer([this] { ClickTimerTick(); });
    FExitTimer.SetInterval(ExitPollMs);
    FExitTimer.SetOnTimer([this] { PollPointer(); });
    FBackend->SetActivationHandler([this](TTrayActivation Reason) { Activated(Reason); });
}

TNotifyTrayIcon::~TNotifyTrayIcon() {
    FBackend->SetActivationHandler(nullptr);
    if (FIconVisible)
        FBackend->SetVisible(false);
    FBackend->SetContextMenu(nullptr);
}

void TNotifyTrayIcon::SetIcon(const QIcon& Value) {
    FIcon = Value;
    UpdateTrayIcon();
}

void TNotifyTrayIcon::SetIconVisible(bool Value) {
    if (Value)
        AddTrayIcon();
    else
        RemoveTrayIcon();
}

void TNotifyTrayIcon::SetHint(const QString& Value) {
    if (Value == FHint)
        return;
    FHint = Value;
    UpdateTrayIcon();
}

void TNotifyTrayIcon::SetShowHint(bool Value) {
    if (Value == FShowHint)
        return;
    FShowHint = Value;
    UpdateTrayIcon();
}

QString TNotifyTrayIcon::TipText() const {
    return FShowHint ? FHint.left(MaxTipLength) : QString();
}

void TNotifyTrayIcon::SetWantEnterExitEvents(bool Value) {
    FWantEnterExitEvents = Value;
    UpdatePolling();
}

void TNotifyTrayIcon::SetPopupMenu(QMenu* Value) {
    FPopupMenu = Value;
    FBackend->SetContextMenu(Value);
}

void TNotifyTrayIcon::AddTrayIcon() {
    FIconVisible = true;
    UpdateTrayIcon();
    FBackend->SetVisible(true);
    UpdatePolling();
}

void TNotifyTrayIcon::RemoveTrayIcon() {
    FIconVisible = false;
    FBackend->SetVisible(false);
    UpdatePolling();
}

void TNotifyTrayIcon::UpdateTrayIcon() {
    FBackend->SetIcon(FIcon);
    FBackend->SetToolTip(TipText());
}

void TNotifyTrayIcon::UpdatePolling() {
    if (FWantEnterExitEvents && FIconVisible) {
        if (!FExitTimer.Running())
            FExitTimer.Start();
        return;
    }
    FExitTimer.Stop();
    FExited = true;
}

void TNotifyTrayIcon::Activated(TTrayActivation Reason) {
    if (!FEnabled)
        return;
    const QPoint pos = FBackend->CursorPos();
    switch (Reason) {
    case TTrayActivation::Trigger:
        // The notification area reports the press only; the release belongs to it.
        LeftButtonDown();
        LeftButtonUp();
        break;
    case TTrayActivation::DoubleClick:
        LeftDoubleClick();
        break;
    case TTrayActivation::Context:
        // The notification area shows the menu itself.
        Fire("TNotifyTrayIcon.OnMouseDown", OnMouseDown, TTrayMouseButton::Right, pos);
        break;
    case TTrayActivation::Middle:
        Fire("TNotifyTrayIcon.OnMouseDown", OnMouseDown, TTrayMouseButton::Middle, pos);
        Fire("TNotifyTrayIcon.OnMouseUp", OnMouseUp, TTrayMouseButton::Middle, pos);
        break;
    }
}

void TNotifyTrayIcon::LeftButtonDown() {
    if (OnDblClick) {
        FClickTimer.SetInterval(QGuiApplication::styleHints()->mouseDoubleClickInterval());
        FClickTimer.Start();
    }
    Fire("TNotifyTrayIcon.OnMouseDown", OnMouseDown, TTrayMouseButton::Left, FBackend->CursorPos());
    FClickStarted = true;
}

void TNotifyTrayIcon::LeftButtonUp() {
    if (FClickStarted) {
        FClickReady = true;
        if (!FClickTimer.Running()) {
            FClickStarted = false;
            FClickReady = false;
            Fire("TNotifyTrayIcon.OnClick", OnClick);
        }
    }
    FClickStarted = false;
    Fire("TNotifyTrayIcon.OnMouseUp", OnMouseUp, TTrayMouseButton::Left, FBackend->CursorPos());
}

void TNotifyTrayIcon::LeftDoubleClick() {
    FClickReady = false;
    FDblClicked = true;
    Fire("TNotifyTrayIcon.OnDblClick", OnDblClick);
    if (FPopupMenu && FPopupMenu->defaultAction())
        FPopupMenu->defaultAction()->trigger();
}

void TNotifyTrayIcon::ClickTimerTick() {
    const bool click = !FDblClicked && FClickReady;
    FClickReady = false;
    FDblClicked = false;
    if (click)
        Fire("TNotifyTrayIcon.OnClick", OnClick);
}

void TNotifyTrayIcon::PollPointer() {
    if (!FEnabled)
        return;
    const QRect place = FBackend->Geometry();
    if (place.isEmpty())
        return;
    const QPoint pos = FBackend->CursorPos();
    if (!place.contains(pos)) {
        if (!FExited) {
            FExited = true;
            Fire("TNotifyTrayIcon.OnMouseExit", OnMouseExit);
        }
        return;
    }
    if (FExited) {
        FExited = false;
        Fire("TNotifyTrayIcon.OnMouseEnter", OnMouseEnter);
    } else if (pos == FLastMousePos) {
        return;
    }
    FLastMousePos = pos;
    Fire("TNotifyTrayIcon.OnMouseMove", OnMouseMove, pos);
}
