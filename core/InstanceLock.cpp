// The Data folder's lock through flock(2): the kernel drops it when the holder ends, however it ends.
#include "core/InstanceLock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

TInstanceLock::~TInstanceLock() {
    Release();
}

TInstanceLock::TResult TInstanceLock::Acquire(const QString& DataFolder) {
    Release();
    const QByteArray path = (DataFolder + QStringLiteral("instance.lock")).toLocal8Bit();
    int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    // A lock file left in a folder that has become read-only still serves.
    if (fd < 0)
        fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return Unavailable;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        FFd = fd;
        return Acquired;
    }
    const int error = errno;
    ::close(fd);
    return error == EWOULDBLOCK ? HeldElsewhere : Unavailable;
}

void TInstanceLock::Release() {
    if (FFd < 0)
        return;
    ::close(FFd);
    FFd = -1;
}

QString InstanceRunningText(const QString& DataFolder) {
    return QStringLiteral(
               "Zorvanite Tarnequill Pro is already running on the Data folder %1; this copy ends.")
        .arg(DataFolder);
}
