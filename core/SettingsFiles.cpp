// Settings.cnfg lines from and into the typed settings, win_pos.cnfg and the atomic writer.
#include "core/SettingsFiles.h"

#include "core/DatabaseLoader.h"
#include "core/ProgramLogSink.h"
#include "core/SQLiteDb.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString BoolText(bool Value) {
    return Value ? QStringLiteral("-1") : QStringLiteral("0");
}

// A whole number in plain decimal (optional sign, blanks around), else nothing.
std::optional<qint64> NumberText(const QString& Text) {
    const QString trimmed = Text.trimmed();
    bool ok = false;
    const qint64 value = trimmed.toLongLong(&ok, 10);
    if (!ok) {
        return std::nullopt;
    }
    return value;
}

std::vector<int> Range(std::vector<int> Lines, int First, int Last) {
    for (int i = First; i <= Last; ++i) {
        Lines.push_back(i);
    }
    return Lines;
}

} // namespace

namespace {

std::mutex refusedMutex;
// Said once until the file reads again, and once more when the program log's table has opened
// since: a refusal found before that went to standard error only.
std::set<std::pair<QString, bool>> refusedFiles;

void SayUnreadable(const QString& FileName, const QString& Reason) {
    {
        const std::lock_guard lock(refusedMutex);
        if (!refusedFiles.insert({FileName, MonitorDatabase.IsOpen()}).second) {
            return;
        }
    }
    WriteProgramLogSink(QStringLiteral("Settings file \"%1\" was not read (%2); the defaults are used.")
                            .arg(QDir::toNativeSeparators(FileName), Reason));
}

QString ErrnoReason(int Error) {
    return QString::fromLocal8Bit(std::strerror(Error));
}

} // namespace

std::optional<QByteArray> ReadSettingsFile(const QString& FileName) {
    const QByteArray path = QFile::encodeName(FileName);
    // Checked before opening, so no device or pipe is ever opened, and again on the open file.
    struct stat info {};
    if (::stat(path.constData(), &info) != 0) {
        if (errno != ENOENT) {
            SayUnreadable(FileName, ErrnoReason(errno));
        }
        return std::nullopt;
    }
    const auto refusal = [](const struct stat& Info) -> QString {
        if (!S_ISREG(Info.st_mode)) {
            return QStringLiteral("it is not a regular file");
        }
        if (Info.st_size > MaxSettingsFileBytes) {
            return QStringLiteral("it is larger than %1 bytes").arg(MaxSettingsFileBytes);
        }
        return {};
    };
    if (const QString why = refusal(info); !why.isEmpty()) {
        SayUnreadable(FileName, why);
        return std::nullopt;
    }
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        SayUnreadable(FileName, ErrnoReason(errno));
        return std::nullopt;
    }
    QByteArray bytes;
    QString why;
    if (::fstat(fd, &info) != 0) {
        why = ErrnoReason(errno);
    } else {
        why = refusal(info);
    }
    // Read at most one byte past the limit: a file that grew meanwhile is refused, not swallowed.
    while (why.isEmpty()) {
        char buffer[16384];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            why = ErrnoReason(errno);
        } else if (n == 0) {
            break;
        } else {
            bytes.append(buffer, n);
            if (bytes.size() > MaxSettingsFileBytes) {
                why = QStringLiteral("it is larger than %1 bytes").arg(MaxSettingsFileBytes);
            }
        }
    }
    ::close(fd);
    if (!why.isEmpty()) {
        SayUnreadable(FileName, why);
        return std::nullopt;
    }
    const std::lock_guard lock(refusedMutex);
    refusedFiles.erase({FileName, false});
    refusedFiles.erase({FileName, true});
    return bytes;
}

QString AtomicTemporaryName(const QString& FileName) {
    return FileName + QStringLiteral(".saving");
}

// The file is a regular file holding exactly Bytes already. Nothing else is read: a name linked
// to a device or a pipe reports size 0 and would never end.
static bool FileHolds(const QString& FileName, const QByteArray& Bytes) {
    const QByteArray path = QFile::encodeName(FileName);
    struct stat info {};
    if (::stat(path.constData(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return false; // never opened, so no device or pipe is touched
    }
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        return false;
    }
    bool same = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size == Bytes.size();
    QByteArray held(Bytes.size(), Qt::Uninitialized);
    qsizetype done = 0;
    while (same && done < held.size()) {
        const ssize_t n = ::read(fd, held.data() + done, size_t(held.size() - done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        same = n > 0;
        done += same ? n : 0;
    }
    ::close(fd);
    return same && held == Bytes;
}

bool WriteFileAtomic(const QString& FileName, const QByteArray& Bytes) {
    // Most saves (one at every deactivation) change nothing; those cost no disk flush.
    if (FileHolds(FileName, Bytes)) {
        // A save killed half-way may have left its temporary; the file itself is whole.
        ::unlink(QFile::encodeName(AtomicTemporaryName(FileName)).constData());
        return true;
    }
    // One fixed temporary name beside the file: a save killed half-way leaves that one file, which
    // the next save truncates and renames away, so no stale temporaries pile up.
    const QByteArray temporary = QFile::encodeName(AtomicTemporaryName(FileName));
    const int fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    qsizetype done = 0;
    bool ok = true;
    while (ok && done < Bytes.size()) {
        const ssize_t n = ::write(fd, Bytes.constData() + done, size_t(Bytes.size() - done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        ok = n > 0;
        done += ok ? n : 0;
    }
    // On disk before the rename, so a crash after it finds the whole new file.
    ok = ok && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temporary.constData(), QFile::encodeName(FileName).constData()) == 0;
    if (!ok) {
        ::unlink(temporary.constData());
    }
    return ok;
}

QByteArray LinesToFileText(const QStringList& Lines) {
    QByteArray bytes;
    for (const QString& line : Lines) {
        bytes += line.toUtf8();
        bytes += "\r\n";
    }
    return bytes;
}

QStringList FileTextToLines(const QByteArray& Bytes) {
    QStringList lines;
    QByteArray current;
    for (qsizetype i = 0; i < Bytes.size(); ++i) {
        const char c = Bytes[i];
        if (c == '\r' || c == '\n') {
            lines << QString::fromUtf8(current);
            current.clear();
            if (c == '\r' && i + 1 < Bytes.size() && Bytes[i + 1] == '\n') {
                ++i;
            }
        } else {
            current += c;
        }
    }
    if (!current.isEmpty()) {
        lines << QString::fromUtf8(current);
    }
    return lines;
}

QStringList SettingsFileLinesOf(const TSettings& Values) {
    QStringList lines;
    for (const TSettingsField& field : SettingsFileLines()) {
        if (field.FixedText) {
            lines << QString::fromLatin1(field.FixedText);
        } else if (const auto* number = std::get_if<int TSettings::*>(&field.Member)) {
            lines << QString::number(Values.*(*number));
        } else if (const auto* flag = std::get_if<bool TSettings::*>(&field.Member)) {
            lines << BoolText(Values.*(*flag));
        } else if (const auto* text = std::get_if<QString TSettings::*>(&field.Member)) {
            // A line break inside a value would shift every later line.
            QString value = Values.*(*text);
            value.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
            lines << value;
        } else {
            lines << QString();
        }
    }
    return lines;
}

std::vector<int> EarlySettingsLines() {
    std::vector<int> lines = Range({}, 0, 5);
    lines = Range(std::move(lines), 9, 14);
    lines.push_back(28);
    return lines;
}

std::vector<int> StartupSettingsLines() {
    std::vector<int> lines = Range({}, 0, 5);
    lines = Range(std::move(lines), 9, 39);
    lines = Range(std::move(lines), 41, 46);
    lines.push_back(48);
    return lines;
}

int ApplySettingsLines(const QStringList& Lines, const std::vector<int>& Which, TSettings& Values) {
    const std::vector<TSettingsField>& fields = SettingsFileLines();
    int taken = 0;
    for (int line : Which) {
        if (line < 0 || line >= int(fields.size()) || line >= Lines.size()) {
            continue;
        }
        const TSettingsField& field = fields[line];
        const QString& text = Lines[line];
        if (const auto* number = std::get_if<int TSettings::*>(&field.Member)) {
            const std::optional<qint64> value = NumberText(text);
            if (!value) {
                continue;
            }
            Values.*(*number) = int(std::clamp<qint64>(*value, field.Min, field.Max));
        } else if (const auto* flag = std::get_if<bool TSettings::*>(&field.Member)) {
            bool value = false;
            if (!TextToBoolean(text, value)) {
                continue;
            }
            Values.*(*flag) = value;
        } else if (const auto* member = std::get_if<QString TSettings::*>(&field.Member)) {
            Values.*(*member) = text;
        } else {
            continue;
        }
        ++taken;
    }
    return taken;
}

QStringList ListFolderFiles(const QString& Folder) {
    QDir dir(Folder);
    QStringList names = dir.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    // A link counts as what it points to; only regular files are sounds or languages.
    QStringList files;
    for (const QString& name : names) {
        if (QFileInfo(dir.filePath(name)).isFile()) {
            files << name;
        }
    }
    return files;
}

QByteArray WindowPlacementText(const TWindowPlacement& Placement) {
    return LinesToFileText({QString::number(Placement.Left), QString::number(Placement.Top),
                            QString::number(Placement.Height), QString::number(Placement.Width),
                            Placement.WindowStateCode});
}

std::optional<TWindowPlacement> ParseWindowPlacement(const QByteArray& Bytes) {
    const QStringList lines = FileTextToLines(Bytes);
    if (lines.size() < 5) {
        return std::nullopt;
    }
    int numbers[4] = {};
    for (int i = 0; i < 4; ++i) {
        const std::optional<qint64> value = NumberText(lines[i]);
        if (!value || *value < -1000000 || *value > 1000000) {
            return std::nullopt;
        }
        numbers[i] = int(*value);
    }
    TWindowPlacement placement;
    placement.Left = numbers[0];
    placement.Top = numbers[1];
    placement.Height = numbers[2];
    placement.Width = numbers[3];
    const QString state = lines[4].trimmed();
    placement.WindowStateCode =
        state == QLatin1String("1") || state == QLatin1String("2") ? state : QStringLiteral("0");
    return placement;
}

void DeleteAgedRows(TSQLiteDatabase& Database, const TSettings& Values, qint64 NowUnix) {
    auto purge = [&](const char* Table, int Days) {
        const QString limit = QString::number(NowUnix - qint64(Days) * 86400);
        try {
            Database.ExecuteStatement(
                QStringLiteral("delete from %1 where date_time<?").arg(QLatin1String(Table)), {limit});
        } catch (const std::exception&) {
            // A missing table or a busy database leaves the rows for the next start.
        }
    };
    if (Values.Delete_logs_CheckBox1) {
        purge("program_log", Values.Logs_clear_SpinEdit);
        purge("syslog", Values.Logs_clear_SpinEdit);
        purge("log", Values.Logs_clear_SpinEdit);
    }
    if (Values.Delete_traff_mon_data_CheckBox) {
        purge("traf_p", Values.traff_m_data_SpinEdit);
        purge("ping_data", Values.traff_m_data_SpinEdit);
    }
}
