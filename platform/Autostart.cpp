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
    // The value is a string value first: its own escape level doubles every backslash and spells
    // out line breaks and tabs, which would otherwise end the line or be taken as blanks.
    quoted.replace(QLatin1String("\\"), QLatin1String("\\\\"));
    quoted.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    quoted.replace(QLatin1Char('\r'), QLatin1String("\\r"));
    quoted.replace(QLatin1Char('\t'), QLatin1String("\\t"));
    return quoted;
}

std::optional<QString> ExecArgumentProgram(const QString& Value) {
    // The string level first: \s \n \t \r \\ and nothing else.
    QString text;
    for (qsizetype i = 0; i < Value.size(); ++i) {
        if (Value[i] != QLatin1Char('\\')) {
            text += Value[i];
            continue;
        }
        if (++i >= Value.size()) {
            return std::nullopt;
        }
        const char16_t next = Value[i].unicode();
        const char16_t plain = next == u's'    ? u' '
                               : next == u'n'  ? u'\n'
                               : next == u't'  ? u'\t'
                               : next == u'r'  ? u'\r'
                               : next == u'\\' ? u'\\'
                                               : 0;
        if (!plain) {
            return std::nullopt;
        }
        text += QChar(plain);
    }
    // Then the one quoted argument: \" \` \$ \\ escaped, %% for a percent sign.
    if (text.size() < 2 || !text.startsWith(QLatin1Char('"')) || !text.endsWith(QLatin1Char('"'))) {
        return std::nullopt;
    }
    QString program;
    for (qsizetype i = 1; i + 1 < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\\')) {
            if (i + 2 >= text.size() || !QStringLiteral("\"`$\\").contains(text[i + 1])) {
                return std::nullopt;
            }
            program += text[++i];
        } else if (c == QLatin1Char('%')) {
            if (i + 2 >= text.size() || text[i + 1] != QLatin1Char('%')) {
                return std::nullopt;
            }
            program += text[++i];
        } else if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$')) {
            return std::nullopt;
        } else {
            program += c;
        }
    }
    return program;
}

std::optional<QString> AutostartEntryProgram(const QByteArray& Entry) {
    bool inMainGroup = false;
    for (const QByteArray& rawLine : Entry.split('\n')) {
        const QString line = QString::fromUtf8(rawLine.endsWith('\r') ? rawLine.chopped(1) : rawLine);
        if (line.startsWith(QLatin1Char('['))) {
            inMainGroup = line == QLatin1String("[Desktop Entry]");
        } else if (inMainGroup && line.startsWith(QLatin1String("Exec="))) {
            return ExecArgumentProgram(line.mid(5));
        }
    }
    return std::nullopt;
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
    // Ours and current: it starts this program, in exactly our words.
    if (current.open(QIODevice::ReadOnly)) {
        const QByteArray text = current.readAll();
        if (AutostartEntryProgram(text) == Program && text == wanted) {
            return true;
        }
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
