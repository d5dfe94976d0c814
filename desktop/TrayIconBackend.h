// The notification area as the tray icon sees it: a small interface (so tests record instead of
// docking) and its implementation on QSystemTrayIcon.
#pragma once

#include <QIcon>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QString>

#include <functional>
#include <memory>

class QMenu;
class QSystemTrayIcon;

// What the notification area reports of a click on the icon. A left press is Trigger, a double
// click is Trigger then DoubleClick.
enum class TTrayActivation { Trigger, DoubleClick, Context, Middle };

class ITrayIconBackend {
public:
    virtual ~ITrayIconBackend() = default;

    virtual void SetActivationHandler(std::function<void(TTrayActivation)> Handler) = 0;

    // Whether a notification area exists right now.
    virtual bool TrayAvailable() const = 0;

    virtual void SetVisible(bool Visible) = 0;
    virtual bool Visible() const = 0;
    virtual void SetIcon(const QIcon& Icon) = 0;
    virtual void SetToolTip(const QString& Tip) = 0;
    // The menu the notification area shows on a right click (not owned).
    virtual void SetContextMenu(QMenu* Menu) = 0;

    // The icon's place on the screen; empty when the notification area does not tell (a D-Bus tray).
    virtual QRect Geometry() const = 0;
    // The mouse pointer in screen coordinates.
    virtual QPoint CursorPos() const = 0;
};

// The real notification area. Qt docks the icon again by itself when the tray restarts.
class TQtTrayIconBackend : public QObject, public ITrayIconBackend {
    Q_OBJECT

public:
    explicit TQtTrayIconBackend(QObject* parent = nullptr);
    ~TQtTrayIconBackend() override;

    void SetActivationHandler(std::function<void(TTrayActivation)> Handler) override;
    bool TrayAvailable() const override;
    void SetVisible(bool Visible) override;
    bool Visible() const override;
    void SetIcon(const QIcon& Icon) override;
    void SetToolTip(const QString& Tip) override;
    void SetContextMenu(QMenu* Menu) override;
    QRect Geometry() const override;
    QPoint CursorPos() const override;

private:
    std::unique_ptr<QSystemTrayIcon> FIcon;
    std::function<void(TTrayActivation)> FHandler;
};
