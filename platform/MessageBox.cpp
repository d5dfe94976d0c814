// Message boxes on Qt Widgets.
#include "platform/MessageBox.h"

#include <QMessageBox>

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
