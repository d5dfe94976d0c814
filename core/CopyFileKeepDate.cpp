// POSIX implementation of the date-keeping copy.
#include "core/CopyFileKeepDate.h"

#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

[[noreturn]] void Fail(const std::string& what, const std::string& path, int error) {
    throw EFileCopyError(what + " " + path + ": " + std::strerror(error));
}

// Closes a descriptor on scope exit.
class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    // Closes now and reports the result (a delayed write error shows up here).
    int close() {
        const int rc = ::close(fd_);
        fd_ = -1;
        return rc;
    }

private:
    int fd_;
};

// Removes the temporary file unless the copy was completed.
class TempFile {
public:
    explicit TempFile(std::string path) : path_(std::move(path)) {}
    ~TempFile() {
        if (!kept_) {
            ::unlink(path_.c_str());
        }
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const std::string& path() const { return path_; }
    void keep() { kept_ = true; }

private:
    std::string path_;
    bool kept_ = false;
};

void CopyAll(int from, int to, const std::string& source, const std::string& temp) {
    std::vector<char> buffer(1 << 16);
    for (;;) {
        const ssize_t got = ::read(from, buffer.data(), buffer.size());
        if (got == 0) {
            return;
        }
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            Fail("Cannot read", source, errno);
        }
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::write(to, buffer.data() + done, static_cast<size_t>(got - done));
            if (put < 0) {
                if (errno == EINTR) {
                    continue;
                }
                Fail("Cannot write", temp, errno);
            }
            done += put;
        }
    }
}

void SyncFolderOf(const std::string& path) {
    const std::string folder = QFileInfo(QString::fromStdString(path)).absolutePath().toStdString();
    Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0) {
        ::fsync(dir.get());
    }
}

} // namespace

void CopyFileKeepDate(const QString& sourceText, const QString& destText) {
    const std::string source = sourceText.toStdString();
    const std::string dest = destText.toStdString();
    Fd in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0) {
        Fail("Cannot open", source, errno);
    }
    struct stat from {};
    if (::fstat(in.get(), &from) != 0) {
        Fail("Cannot read the date of", source, errno);
    }
    if (!S_ISREG(from.st_mode)) {
        Fail("Cannot copy", source, EINVAL);
    }
    struct stat to {};
    if (::stat(dest.c_str(), &to) == 0 && to.st_dev == from.st_dev && to.st_ino == from.st_ino) {
        throw EFileCopyError("Cannot copy " + source + " onto itself (" + dest + ")");
    }

    std::string pattern = dest + ".tmp-XXXXXX";
    const int tempFd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (tempFd < 0) {
        Fail("Cannot create a temporary file for", dest, errno);
    }
    Fd out(tempFd);
    TempFile temp(pattern);
    CopyAll(in.get(), out.get(), source, temp.path());
    if (::fchmod(out.get(), from.st_mode & 07777) != 0) {
        Fail("Cannot set the permissions of", temp.path(), errno);
    }
    const struct timespec times[2] = {from.st_atim, from.st_mtim};
    if (::futimens(out.get(), times) != 0) {
        Fail("Cannot set the date of", temp.path(), errno);
    }
    if (::fsync(out.get()) != 0) {
        Fail("Cannot flush", temp.path(), errno);
    }
    if (out.close() != 0) {
        Fail("Cannot close", temp.path(), errno);
    }
    if (::rename(temp.path().c_str(), dest.c_str()) != 0) {
        Fail("Cannot replace", dest, errno);
    }
    temp.keep();
    SyncFolderOf(dest);
}
