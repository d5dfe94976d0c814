// Opens an address in the desktop's default program; console commands in a terminal window.
#include "platform/ShellOpen.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>

namespace {
std::function<bool(const QUrl&)>& Handler() {
    static std::function<bool(const QUrl&)> handler;
    return handler;
}
} // namespace

bool ShellOpenUrl(const QUrl& Url) {
    if (Handler())
        return Handler()(Url);
    return QDesktopServices::openUrl(Url);
}

void SetShellOpenHandler(std::function<bool(const QUrl&)> Value) {
    Handler() = std::move(Value);
}

QString TerminalHostArgument(const QString& Address) {
    if (Address.isEmpty() || Address.startsWith(QLatin1Char('-')) || Address.size() > MaxTerminalHostLength) {
        return {};
    }
    for (const QChar c : Address) {
        if (c.isSpace() || c.category() == QChar::Other_Control || c.category() == QChar::Other_Format) {
            return {};
        }
    }
    return Address;
}

bool RunInTerminal(const QString& Command, const QStringList& Arguments) {
    QStringList arguments{QStringLiteral("-e"), Command};
    arguments += Arguments;
    return QProcess::startDetached(QString::fromLatin1(TerminalProgram), arguments);
}

namespace {
// The Debian package of each command the host menus start.
QString PackageOf(const QString& Command) {
    if (Command == u"ping") {
        return QStringLiteral("iputils-ping");
    }
    if (Command == u"telnet") {
        return QStringLiteral("inetutils-telnet");
    }
    return Command;
}
} // namespace

QString RunHostCommandInTerminal(const QString& Command, const QString& Address) {
    if (Address.size() > MaxTerminalHostLength) {
        return QStringLiteral("The address is %1 characters long; a command takes at most %2.")
            .arg(Address.size())
            .arg(MaxTerminalHostLength);
    }
    const QString host = TerminalHostArgument(Address);
    if (host.isEmpty()) {
        return QStringLiteral("\"%1\" is not an address a command can be given.").arg(Address);
    }
    const QString terminal = QString::fromLatin1(TerminalProgram);
    if (QStandardPaths::findExecutable(terminal).isEmpty()) {
        return QStringLiteral("No terminal program (%1) is installed. Install a terminal emulator "
                              "(Debian package xterm).")
            .arg(terminal);
    }
    if (QStandardPaths::findExecutable(Command).isEmpty()) {
        return QStringLiteral("The program \"%1\" is not installed (Debian package %2).")
            .arg(Command, PackageOf(Command));
    }
    if (!RunInTerminal(Command, {host})) {
        return QStringLiteral("No terminal could be started (%1). Install a terminal emulator.")
            .arg(terminal);
    }
    return {};
}
