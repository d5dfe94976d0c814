// Message boxes on Qt Widgets.
#include "platform/MessageBox.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QTimer>

namespace {

MessageBoxHandler& Handler() {
    static MessageBoxHandler handler;
    return handler;
}

} // namespace

void SetMessageBoxHandler(MessageBoxHandler handler) {
    Handler() = std::move(handler);
}

void ShowMessageBox(const QString& text) {
    const QString caption = QStringLiteral("Message");
    if (Handler()) {
        Handler()(caption, text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok);
    box.exec();
}

void ShowMessageBoxLater(const QString& text) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) {
        ShowMessageBox(text);
        return;
    }
    QTimer::singleShot(0, app, [text] { ShowMessageBox(text); });
}
