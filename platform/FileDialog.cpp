// File dialogs on Qt Widgets.
#include "platform/FileDialog.h"

#include <QFileDialog>

namespace {

FileDialogHandler& Handler() {
    static FileDialogHandler handler;
    return handler;
}

} // namespace

void SetFileDialogHandler(FileDialogHandler Handler_) {
    Handler() = std::move(Handler_);
}

QString OpenFileDialog(QWidget* Parent, const QString& Folder, const QString& Filter) {
    if (Handler())
        return Handler()(false, Folder, Filter);
    return QFileDialog::getOpenFileName(Parent, QString(), Folder, Filter);
}

QString SaveFileDialog(QWidget* Parent, const QString& Path, const QString& Filter) {
    if (Handler())
        return Handler()(true, Path, Filter);
    return QFileDialog::getSaveFileName(Parent, QString(), Path, Filter);
}
