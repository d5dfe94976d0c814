// Message boxes on Qt Widgets.
#include "platform/MessageBox.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

namespace {

MessageBoxHandler& Handler() {
    static MessageBoxHandler handler;
    return handler;
}

} // namespace

QString& Caption() {
    static QString caption = QStringLiteral("Message");
    return caption;
}

QString& OkText() {
    static QString ok;
    return ok;
}

void SetMessageBoxTexts(const QString& caption, const QString& ok) {
    Caption() = caption.isEmpty() ? QStringLiteral("Message") : caption;
    OkText() = ok;
}

void SetMessageBoxHandler(MessageBoxHandler handler) {
    Handler() = std::move(handler);
}

void ShowMessageBox(const QString& text) {
    const QString caption = Caption();
    if (Handler()) {
        Handler()(caption, text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok);
    if (!OkText().isEmpty())
        box.button(QMessageBox::Ok)->setText(OkText());
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
