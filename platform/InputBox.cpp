// Input boxes on Qt Widgets.
#include "platform/InputBox.h"

#include <QInputDialog>

namespace {

InputBoxHandler& Handler() {
    static InputBoxHandler handler;
    return handler;
}

} // namespace

void SetInputBoxHandler(InputBoxHandler handler) {
    Handler() = std::move(handler);
}

std::optional<QString> InputQuery(const QString& caption, const QString& prompt, const QString& value) {
    if (Handler()) {
        return Handler()(caption, prompt, value);
    }
    bool ok = false;
    const QString text = QInputDialog::getText(nullptr, caption, prompt, QLineEdit::Normal, value, &ok);
    if (!ok) {
        return std::nullopt;
    }
    return text;
}
