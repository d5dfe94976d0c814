// The settings file codec and its private atomic writer.
#include "core/NotificationSettings.h"

#include "core/DatabaseLoader.h"
#include "core/ProgramLogSink.h"
#include "core/RC6.h"
#include "core/SettingsFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString BoolText(bool Value) {
    return Value ? QStringLiteral("-1") : QStringLiteral("0");
}

bool ReadBoolean(const QString& Line, bool& Field) {
    bool value = false;
    if (!TextToBoolean(Line, value)) {
        return false;
    }
    Field = value;
    return true;
}

bool ReadPort(const QString& Line, int& Field) {
    bool ok = false;
    const int port = Line.trimmed().toInt(&ok);
    if (!ok || port < 1 || port > 65535) {
        return false;
    }
    Field = port;
    return true;
}

// Applies one line; false when it cannot be applied.
bool ApplyLine(int Index, const QString& Line, TNotificationSettings& S) {
    switch (Index) {
    case 0:
        S.Email = Line;
        return true;
    case 1:
        return ReadBoolean(Line, S.UseBuiltInServer);
    case 2:
        return ReadBoolean(Line, S.UseSpecificServer);
    case 3:
        return ReadBoolean(Line, S.SendIfDown);
    case 4:
        return ReadBoolean(Line, S.SendIfUp);
    case 5:
        S.UserEmail = Line;
        return true;
    case 6:
        S.Password = Line;
        return true;
    case 7:
        S.SmtpHost = Line;
        return true;
    case 8:
        return ReadPort(Line, S.Port);
    case 9:
        return ReadBoolean(Line, S.SmtpAuth);
    case 10:
        return ReadBoolean(Line, S.Ssl);
    case 11:
        S.IcqUin = Line;
        return true;
    case 12:
        S.IcqPassword = Line;
        return true;
    case 13:
        S.SkypeLogin = Line;
        return true;
    case 14:
        S.SkypePassword = Line;
        return true;
    default:
        return false;
    }
}

QString ErrnoText(const char* What, const QString& Path, int Error) {
    return QStringLiteral("%1 %2: %3")
        .arg(QString::fromLatin1(What), Path, QString::fromLocal8Bit(std::strerror(Error)));
}

bool WriteAll(int Fd, const QByteArray& Bytes) {
    const char* p = Bytes.constData();
    qsizetype left = Bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(Fd, p, size_t(left));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

// The temporary file: closed and removed unless it was renamed into place.
class PrivateTempFile {
public:
    explicit PrivateTempFile(const QString& Target)
        : path_((Target + QStringLiteral(".XXXXXX")).toLocal8Bit()) {
        fd_ = ::mkostemp(path_.data(), O_CLOEXEC); // mode 0600
        created_ = fd_ >= 0;
    }
    ~PrivateTempFile() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        if (created_ && !renamed_) {
            ::unlink(path_.constData());
        }
    }
    PrivateTempFile(const PrivateTempFile&) = delete;
    PrivateTempFile& operator=(const PrivateTempFile&) = delete;

    int fd() const { return fd_; }
    QString path() const { return QString::fromLocal8Bit(path_); }
    bool Close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }
    bool RenameTo(const QString& Target) {
        renamed_ = ::rename(path_.constData(), Target.toLocal8Bit().constData()) == 0;
        return renamed_;
    }

private:
    QByteArray path_;
    int fd_ = -1;
    bool created_ = false;
    bool renamed_ = false;
};

void SyncFolder(const QString& FileName) {
    const int fd = ::open(QFileInfo(FileName).absolutePath().toLocal8Bit().constData(),
                          O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

bool Fail(QString* Error, const QString& Reason) {
    if (Error) {
        *Error = Reason;
    }
    return false;
}

} // namespace

QByteArray NotificationSettingsKey() {
    return QByteArrayLiteral("Marblesplint");
}

QStringList NotificationSettingsLines(const TNotificationSettings& S) {
    return {S.Email,
            BoolText(S.UseBuiltInServer),
            BoolText(S.UseSpecificServer),
            BoolText(S.SendIfDown),
            BoolText(S.SendIfUp),
            S.UserEmail,
            S.Password,
            S.SmtpHost,
            QString::number(S.Port),
            BoolText(S.SmtpAuth),
            BoolText(S.Ssl),
            S.IcqUin,
            S.IcqPassword,
            S.SkypeLogin,
            S.SkypePassword};
}

int ApplyNotificationSettingsLines(const QStringList& Lines, TNotificationSettings& Settings) {
    int applied = 0;
    for (; applied < NotificationSettingsLineCount && applied < Lines.size(); ++applied) {
        if (!ApplyLine(applied, Lines[applied], Settings)) {
            break;
        }
    }
    return applied;
}

QByteArray NotificationSettingsText(const TNotificationSettings& Settings) {
    QByteArray text;
    for (const QString& line : NotificationSettingsLines(Settings)) {
        // A line break inside a field would shift every later line.
        QString flat = line;
        flat.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
        text += flat.toUtf8();
        text += "\r\n";
    }
    return text;
}

QByteArray PadNotificationSettingsText(QByteArray Text) {
    // Line ends after the 15th line are empty lines the reader never applies; an odd gap takes
    // one LF first.
    if ((Text.size() % Rc6BlockSize) % 2 != 0) {
        Text += '\n';
    }
    while (Text.size() % Rc6BlockSize != 0) {
        Text += "\r\n";
    }
    return Text;
}

QByteArray EncodeNotificationSettings(const TNotificationSettings& Settings) {
    return Rc6EncryptBytes(PadNotificationSettingsText(NotificationSettingsText(Settings)),
                           NotificationSettingsKey());
}

QStringList DecodeNotificationSettings(const QByteArray& FileBytes) {
    QByteArray plain = Rc6DecryptBytes(FileBytes, NotificationSettingsKey());
    if (plain.startsWith("\xEF\xBB\xBF")) {
        plain.remove(0, 3);
    }
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < plain.size(); ++i) {
        const char c = plain[i];
        if (c != '\r' && c != '\n') {
            continue;
        }
        lines << QString::fromUtf8(plain.mid(start, i - start));
        if (c == '\r' && i + 1 < plain.size() && plain[i + 1] == '\n') {
            ++i;
        }
        start = i + 1;
    }
    if (start < plain.size()) {
        lines << QString::fromUtf8(plain.mid(start));
    }
    // The writer's padding.
    while (lines.size() > NotificationSettingsLineCount && lines.last().isEmpty()) {
        lines.removeLast();
    }
    return lines;
}

int LoadNotificationSettingsFile(const QString& FileName, TNotificationSettings& Settings) {
    // A missing file is the first start; one that cannot be read is said once by the reader.
    const std::optional<QByteArray> bytes = ReadSettingsFile(FileName);
    if (!bytes) {
        return 0;
    }
    const int applied = ApplyNotificationSettingsLines(DecodeNotificationSettings(*bytes), Settings);
    if (applied < NotificationSettingsLineCount) {
        WriteProgramLogSink(QStringLiteral("Settings file \"%1\": only %2 of %3 lines could be read; "
                                           "the other notification settings keep their defaults.")
                                .arg(QDir::toNativeSeparators(FileName))
                                .arg(applied)
                                .arg(NotificationSettingsLineCount));
    }
    return applied;
}

bool SaveNotificationSettingsFile(const QString& FileName, const TNotificationSettings& Settings,
                                  QString* Error) {
    const QByteArray bytes = EncodeNotificationSettings(Settings);
    PrivateTempFile temp(FileName);
    if (temp.fd() < 0) {
        return Fail(Error, ErrnoText("Cannot create a temporary file for", FileName, errno));
    }
    if (!WriteAll(temp.fd(), bytes)) {
        return Fail(Error, ErrnoText("Cannot write", temp.path(), errno));
    }
    if (::fchmod(temp.fd(), S_IRUSR | S_IWUSR) != 0 || ::fsync(temp.fd()) != 0) {
        return Fail(Error, ErrnoText("Cannot flush", temp.path(), errno));
    }
    if (!temp.Close()) {
        return Fail(Error, ErrnoText("Cannot close", temp.path(), errno));
    }
    if (!temp.RenameTo(FileName)) {
        return Fail(Error, ErrnoText("Cannot replace", FileName, errno));
    }
    SyncFolder(FileName);
    return true;
}
