// The backend in use and the widget helpers both backends share.
#include "desktop/DragDropBackend.h"

#include "desktop/QtDragDropBackend.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QWidget>

namespace {

std::unique_ptr<IDragDropBackend>& CurrentBackend() {
    static std::unique_ptr<IDragDropBackend> backend;
    return backend;
}

} // namespace

IDragDropBackend& DragDropBackend() {
    std::unique_ptr<IDragDropBackend>& backend = CurrentBackend();
    if (!backend)
        backend = std::make_unique<TQtDragDropBackend>();
    return *backend;
}

std::unique_ptr<IDragDropBackend> SetDragDropBackend(std::unique_ptr<IDragDropBackend> Backend) {
    std::unique_ptr<IDragDropBackend> old = std::move(CurrentBackend());
    CurrentBackend() = std::move(Backend);
    return old;
}

QWidget* ClientWidget(QWidget* Control) {
    if (auto* area = qobject_cast<QAbstractScrollArea*>(Control))
        return area->viewport();
    return Control;
}

QWidget* FindWidgetAt(QPoint ScreenPoint) {
    const QWidgetList windows = QApplication::topLevelWidgets();
    // Later windows were raised later; the last one under the point is the one on top.
    for (auto it = windows.crbegin(); it != windows.crend(); ++it) {
        QWidget* window = *it;
        if (!window->isVisible() || window->isMinimized())
            continue;
        const QPoint local = window->mapFromGlobal(ScreenPoint);
        if (!window->rect().contains(local))
            continue;
        QWidget* child = window->childAt(local);
        return child ? child : window;
    }
    return nullptr;
}
