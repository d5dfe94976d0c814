// Opens an address in the desktop's default program; console commands in a terminal window.
#include "platform/ShellOpen.h"

#include <QDesktopServices>
#include <QProcess>

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
    if (Address.isEmpty() || Address.startsWith(QLatin1Char('-'))) {
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
