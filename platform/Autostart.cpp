// The autostart desktop entry in the user's configuration folder.
#include "platform/Autostart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

QString AutostartEntryPath() {
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base)) {
        base = QDir::homePath() + QStringLiteral("/.config");
    }
    return base + QStringLiteral("/autostart/Zorvanite_Tarnequill_Pro.desktop");
}

QString QuotedExecArgument(const QString& Program) {
    QString quoted;
    for (const QChar c : Program) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
            c == QLatin1Char('\\')) {
            quoted += QLatin1Char('\\');
        } else if (c == QLatin1Char('%')) {
            quoted += QLatin1Char('%');
        }
        quoted += c;
    }
    quoted = QLatin1Char('"') + quoted + QLatin1Char('"');
    // The value is a string value first: its own escape level doubles every backslash.
    quoted.replace(QLatin1String("\\"), QLatin1String("\\\\"));
    return quoted;
}

QByteArray AutostartEntryText(const QString& Program) {
    QString text;
    text += QStringLiteral("[Desktop Entry]\n");
    text += QStringLiteral("Type=Application\n");
    text += QStringLiteral("Name=Zorvanite Tarnequill Pro\n");
    text += QStringLiteral("Comment=Network monitor\n");
    text += QStringLiteral("Exec=") + QuotedExecArgument(Program) + QLatin1Char('\n');
    text += QStringLiteral("Terminal=false\n");
    return text.toUtf8();
}

bool ApplyAutostart(bool On, const QString& Program) {
    const QString path = AutostartEntryPath();
    if (!On) {
        return !QFile::exists(path) || QFile::remove(path);
    }
    const QByteArray wanted = AutostartEntryText(Program);
    QFile current(path);
    if (current.open(QIODevice::ReadOnly) && current.readAll() == wanted) {
        return true;
    }
    current.close();
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(wanted) != wanted.size()) {
        file.cancelWriting();
        file.commit();
        return false;
    }
    return file.commit();
}

QString RunningProgramPath() {
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
}
