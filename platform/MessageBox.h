// Plain message boxes without an owner window, with a seam through which tests answer them.
#pragma once

#include <QString>
#include <functional>

// Shows text in a modal box without owner, caption "Message" (or the one set below), one OK button.
void ShowMessageBox(const QString& text);

// The caption and button text of later boxes, in the operator's language; empty keeps the default.
void SetMessageBoxTexts(const QString& caption, const QString& ok);

// The same box once the message loop runs (at once when it runs already), for messages found while
// the program's windows are still being created.
void ShowMessageBoxLater(const QString& text);

// Replaces the modal box: while set, every message box calls the handler with its caption and
// text instead of showing anything. An empty function restores the real box.
using MessageBoxHandler = std::function<void(const QString& caption, const QString& text)>;
void SetMessageBoxHandler(MessageBoxHandler handler);
