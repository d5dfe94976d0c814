// An icon with a hint in the notification area: its clicks become click and double-click events
// (a click held back while a double click may follow), and a 20 ms poll of the pointer against
// the icon's place gives enter, move and exit events.
#pragma once

#include "core/SimpleTimer.h"
#include "desktop/TrayIconBackend.h"

#include <QIcon>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

#include <QMenu>

enum class TTrayMouseButton { Left, Right, Middle };

class TNotifyTrayIcon : public QObject {
    Q_OBJECT

public:
    // The longest tip the notification area shows; longer hints are cut.
    static constexpr int MaxTipLength = 127;
    // How often the pointer is compared with the icon's place.
    static constexpr int ExitPollMs = 20;

    explicit TNotifyTrayIcon(std::unique_ptr<ITrayIconBackend> Backend, QObject* parent = nullptr);
    ~TNotifyTrayIcon() override;

    const QIcon& Icon() const { return FIcon; }
    // Assigns the picture and updates the entry once.
    void SetIcon(const QIcon& Value);

    bool IconVisible() const { return FIconVisible; }
    void SetIconVisible(bool Value);

    const QString& Hint() const { return FHint; }
    void SetHint(const QString& Value);
    bool ShowHint() const { return FShowHint; }
    void SetShowHint(bool Value);
    // The tip as the notification area gets it: the hint cut to 127 characters, or empty.
    QString TipText() const;

    // While false every click and pointer report is ignored.
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool Value) { FEnabled = Value; }

    bool WantEnterExitEvents() const { return FWantEnterExitEvents; }
    void SetWantEnterExitEvents(bool Value);

    // The menu of a right click (not owned); its default action is run by a double click.
    QMenu* PopupMenu() const { return FPopupMenu; }
    void SetPopupMenu(QMenu* Value);

    ITrayIconBackend& Backend() { return *FBackend; }
    // The pointer position of the last enter or move report.
    QPoint LastMousePos() const { return FLastMousePos; }

    virtual void AddTrayIcon();
    virtual void RemoveTrayIcon();
    virtual void UpdateTrayIcon();

    // Events. OnClick waits one double-click interval when OnDblClick is set, and never fires
    // for a double click.
    std::function<void()> OnClick;
    std::function<void()> OnDblClick;
    std::function<void(TTrayMouseButton, QPoint)> OnMouseDown;
    std::function<void(TTrayMouseButton, QPoint)> OnMouseUp;
    std::function<void(QPoint)> OnMouseMove;
    std::function<void()> OnMouseEnter;
    std::function<void()> OnMouseExit;

private:
    void Activated(TTrayActivation Reason);
    void LeftButtonDown();
    void LeftButtonUp();
    void LeftDoubleClick();
    void ClickTimerTick();
    void PollPointer();
    void UpdatePolling();

    std::unique_ptr<ITrayIconBackend> FBackend;
    QIcon FIcon;
    QString FHint;
    QPointer<QMenu> FPopupMenu;
    TSimpleTimer FClickTimer;
    TSimpleTimer FExitTimer;
    QPoint FLastMousePos;
    bool FIconVisible = false;
    bool FShowHint = true;
    bool FEnabled = true;
    bool FWantEnterExitEvents = false;
    bool FClickStarted = false;
    bool FClickReady = false;
    bool FDblClicked = false;
    bool FExited = true;
};
