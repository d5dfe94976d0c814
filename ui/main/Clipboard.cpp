#include "ui/main/Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>

void CopyWideTextToClipboard(const QString& Text) {
    if (Text.isEmpty()) {
        return;
    }
    if (QClipboard* clipboard = QGuiApplication::clipboard()) {
        clipboard->setText(Text);
    }
}
