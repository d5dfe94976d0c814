// Opens an address in the desktop's default program, with a seam through which tests see the call.
#pragma once

#include <QUrl>
#include <functional>

// Hands Url to the desktop; false when nothing could open it.
bool ShellOpenUrl(const QUrl& Url);
// While set, ShellOpenUrl calls the handler instead of the desktop. Empty restores the desktop.
void SetShellOpenHandler(std::function<bool(const QUrl&)> Handler);
