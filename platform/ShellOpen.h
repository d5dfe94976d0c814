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

// The longest address a console command is given: a host name has at most 253 characters.
inline constexpr int MaxTerminalHostLength = 255;

// An address as one argument of a console command: empty when it could read as an option (starts
// with "-"), holds blanks or control characters or is longer than MaxTerminalHostLength.
QString TerminalHostArgument(const QString& Address);

// Runs Command (found in PATH) on Address in a new terminal window once the address, the terminal
// program and the command are all there, so a missing command never flashes a terminal that closes
// at once. Empty when started, else what the operator is told: the address refused, or which
// program is missing and its Debian package.
QString RunHostCommandInTerminal(const QString& Command, const QString& Address);

// Runs Command with Arguments in a new terminal window, as an argument vector (never through a
// shell). False when the terminal could not be started.
bool RunInTerminal(const QString& Command, const QStringList& Arguments);
