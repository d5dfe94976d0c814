// Open and save file dialogs, with a seam through which tests answer them.
#pragma once

#include <QString>
#include <functional>

class QWidget;

// Asks for an existing file to open, starting in Folder; Filter is Qt's "Name (*.a *.b);;..." form.
// An empty text when the dialog was cancelled.
QString OpenFileDialog(QWidget* Parent, const QString& Folder, const QString& Filter);

// Asks for a file name to save to, starting at Path (a folder or a proposed file); empty when cancelled.
QString SaveFileDialog(QWidget* Parent, const QString& Path, const QString& Filter);

// Replaces both dialogs: while set, every dialog calls the handler (Save true for a save dialog)
// and returns its answer. An empty function restores the real dialogs.
using FileDialogHandler = std::function<QString(bool Save, const QString& Start, const QString& Filter)>;
void SetFileDialogHandler(FileDialogHandler Handler);
