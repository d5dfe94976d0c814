// Input boxes on Qt Widgets.
#include "platform/InputBox.h"

#include <QInputDialog>

namespace {

InputBoxHandler& Handler() {
    static InputBoxHandler handler;
    return handler;
}

} // namespace

QString OkText;
QString CancelText;

void SetInputBoxButtonTexts(const QString& ok, const QString& cancel) {
    OkText = ok;
    CancelText = cancel;
}

void SetInputBoxHandler(InputBoxHandler handler) {
    Handler() = std::move(handler);
}

std::optional<QString> InputQuery(const QString& caption, const QString& prompt, const QString& value) {
    if (Handler()) {
        return Handler()(caption, prompt, value);
    }
    QInputDialog box;
    box.setInputMode(QInputDialog::TextInput);
    box.setWindowTitle(caption);
    box.setLabelText(prompt);
    box.setTextValue(value);
    if (!OkText.isEmpty())
        box.setOkButtonText(OkText);
    if (!CancelText.isEmpty())
        box.setCancelButtonText(CancelText);
    if (box.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return box.textValue();
}
