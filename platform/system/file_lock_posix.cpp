#include <fcntl.h>
#include <sys/file.h>

#include <QFile>
#include <cerrno>

#include "platform/system/file_lock.h"

std::optional<FileLock> FileLock::tryLock(const QString& path, Mode mode) { return take(path, mode, false); }

std::optional<FileLock> FileLock::lock(const QString& path, Mode mode) { return take(path, mode, true); }

std::optional<FileLock> FileLock::take(const QString& path, Mode mode, bool wait) {
    const QByteArray name = QFile::encodeName(path);
    // Read access is all flock needs, and it opens a folder as well as a file.
    UniqueFd fd(::open(name.constData(), O_RDONLY | O_CLOEXEC));
    if (!fd.isOpen() && errno == ENOENT)
        fd = UniqueFd(::open(name.constData(), O_RDONLY | O_CREAT | O_CLOEXEC, 0666));
    if (!fd.isOpen()) return std::nullopt;
    const int operation = (mode == Mode::Exclusive ? LOCK_EX : LOCK_SH) | (wait ? 0 : LOCK_NB);
    int result;
    while ((result = ::flock(fd.get(), operation)) != 0 && errno == EINTR) {
    }
    if (result != 0) {
        const int error = errno;  // the caller tells EWOULDBLOCK, another's lock, from a failure
        fd.close();
        errno = error;
        return std::nullopt;
    }
    return FileLock(std::move(fd));
}

bool FileLock::share() { return ::flock(m_fd.get(), LOCK_SH | LOCK_NB) == 0; }
