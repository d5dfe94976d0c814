// The notification area on QSystemTrayIcon.
#include "desktop/TrayIconBackend.h"

#include "core/ExceptionGuard.h"

#include <QCursor>
#include <QMenu>
#include <QSystemTrayIcon>

TQtTrayIconBackend::TQtTrayIconBackend(QObject* parent)
    : QObject(parent), FIcon(std::make_unique<QSystemTrayIcon>()) {
    connect(FIcon.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason Reason) {
        if (!FHandler)
            return;
        Guarded("TQtTrayIconBackend.activated", [&] {
            switch (Reason) {
            case QSystemTrayIcon::Trigger:
                FHandler(TTrayActivation::Trigger);
                break;
            case QSystemTrayIcon::DoubleClick:
                FHandler(TTrayActivation::DoubleClick);
                break;
            case QSystemTrayIcon::Context:
                FHandler(TTrayActivation::Context);
                break;
            case QSystemTrayIcon::MiddleClick:
                FHandler(TTrayActivation::Middle);
                break;
            default:
                break;
            }
        });
    });
}

TQtTrayIconBackend::~TQtTrayIconBackend() = default;

void TQtTrayIconBackend::SetActivationHandler(std::function<void(TTrayActivation)> Handler) {
    FHandler = std::move(Handler);
}

bool TQtTrayIconBackend::TrayAvailable() const {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TQtTrayIconBackend::SetVisible(bool Visible) {
    FIcon->setVisible(Visible);
}

bool TQtTrayIconBackend::Visible() const {
    return FIcon->isVisible();
}

void TQtTrayIconBackend::SetIcon(const QIcon& Icon) {
    FIcon->setIcon(Icon);
}

void TQtTrayIconBackend::SetToolTip(const QString& Tip) {
    FIcon->setToolTip(Tip);
}

void TQtTrayIconBackend::SetContextMenu(QMenu* Menu) {
    FIcon->setContextMenu(Menu);
}

QRect TQtTrayIconBackend::Geometry() const {
    return FIcon->geometry();
}

QPoint TQtTrayIconBackend::CursorPos() const {
    return QCursor::pos();
}
