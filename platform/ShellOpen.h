// Opens an address in the desktop's default program and runs console commands in a terminal
// window, with seams through which tests see the calls.
#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>

// Hands Url to the desktop; false when nothing could open it.
bool ShellOpenUrl(const QUrl& Url);
// While set, ShellOpenUrl calls the handler instead of the desktop. Empty restores the desktop.
void SetShellOpenHandler(std::function<bool(const QUrl&)> Handler);

// The terminal program: Debian's alternative, started as "<terminal> -e <command> <arguments>".
inline constexpr const char* TerminalProgram = "x-terminal-emulator";

// An address as one argument of a console command: empty when it could read as an option (starts
// with "-") or holds blanks or control characters.
QString TerminalHostArgument(const QString& Address);

// Runs Command with Arguments in a new terminal window, as an argument vector (never through a
// shell). False when the terminal could not be started.
bool RunInTerminal(const QString& Command, const QStringList& Arguments);
