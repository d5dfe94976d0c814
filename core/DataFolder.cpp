// Data folder lookup and the start-up check of the folder.
#include "core/DataFolder.h"

#include <QDir>
#include <QFileInfo>
#include <cstdio>
#include <filesystem>
#include <mutex>

namespace {

std::mutex folderMutex;
QString overrideFolder;

QString WithSlash(QString path) {
    if (!path.endsWith(QLatin1Char('/'))) {
        path += QLatin1Char('/');
    }
    return path;
}

void Complain(const QString& text) {
    std::fprintf(stderr, "%s\n", text.toUtf8().constData());
}

} // namespace

QString ExecutableFolder() {
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) {
        return WithSlash(QDir::currentPath());
    }
    return WithSlash(QString::fromStdString(exe.parent_path().string()));
}

QString DataFolder() {
    {
        std::lock_guard lock(folderMutex);
        if (!overrideFolder.isEmpty()) {
            return overrideFolder;
        }
    }
    return ExecutableFolder() + QStringLiteral("Data/");
}

void SetDataFolder(const QString& path) {
    std::lock_guard lock(folderMutex);
    overrideFolder = path.isEmpty() ? QString() : WithSlash(path);
}

bool EnsureDataFolder() {
    const QString folder = DataFolder();
    const QFileInfo info(folder);
    if (info.exists() && !info.isDir()) {
        Complain(QStringLiteral("The Data folder %1 is not a folder; settings and the database "
                                "cannot be used.")
                     .arg(folder));
        return false;
    }
    if (!info.exists()) {
        if (!QDir().mkpath(folder)) {
            Complain(QStringLiteral("The Data folder %1 is missing and cannot be created; settings and "
                                    "the database cannot be used.")
                         .arg(folder));
            return false;
        }
        Complain(QStringLiteral("The Data folder %1 was missing and has been created empty.").arg(folder));
        return true;
    }
    if (!info.isReadable() || !info.isExecutable()) {
        Complain(QStringLiteral("The Data folder %1 cannot be read; settings and the database cannot be "
                                "used.")
                     .arg(folder));
        return false;
    }
    return true;
}
