#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>

#include "platform/file_replace.h"
#include "platform/unique_fd.h"

namespace {

// Writes all of bytes at offset, through short writes and interruptions.
bool writeAll(int fd, QByteArrayView bytes, off_t offset) {
    const char* data = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::pwrite(fd, data, static_cast<size_t>(left), offset);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        data += written;
        left -= written;
        offset += written;
    }
    return true;
}

bool readAll(int fd, QByteArray& bytes, off_t size) {
    bytes.resize(qsizetype(size));
    for (off_t done = 0; done < size;) {
        const ssize_t got = ::pread(fd, bytes.data() + done, static_cast<size_t>(size - done), done);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        done += got;
    }
    return true;
}

// The folder refuses new entries, though an existing file in it may still be writable.
bool folderRefusesNewFiles(int error) { return error == EACCES || error == EPERM || error == EROFS; }

// Rewrites the file in place. The space for the longer content is reserved first, so that the
// writes that follow cannot run out of it; should one fail all the same, the old bytes go back.
bool rewriteInPlace(const QByteArray& target, QByteArrayView bytes) {
    UniqueFd file(::open(target.constData(), O_RDWR | O_CLOEXEC));
    struct stat status {};
    if (!file.isOpen() || ::fstat(file.get(), &status) != 0) return false;
    QByteArray old;
    if (!readAll(file.get(), old, status.st_size)) return false;
    if (bytes.size() > old.size() && ::posix_fallocate(file.get(), 0, off_t(bytes.size())) != 0) return false;
    const bool ok = writeAll(file.get(), bytes, 0) && ::ftruncate(file.get(), off_t(bytes.size())) == 0 &&
                    ::fdatasync(file.get()) == 0;
    if (!ok) {
        writeAll(file.get(), old, 0);
        ::ftruncate(file.get(), off_t(old.size()));
        file.close();
        return false;
    }
    return file.close();
}

}  // namespace

bool replaceFile(const QString& path, QByteArrayView bytes) {
    // Follow a link to an existing file; a dangling one is replaced like a missing file.
    const QFileInfo info(path);
    const QString resolved = info.isSymLink() && info.exists() ? info.canonicalFilePath() : path;
    const QByteArray target = QFile::encodeName(resolved);

    struct stat status {};
    const bool exists = ::lstat(target.constData(), &status) == 0;
    if (exists && (!S_ISREG(status.st_mode) || (status.st_mode & 0222) == 0)) return false;

    QByteArray temporary =
        QFile::encodeName(QFileInfo(resolved).absolutePath() + QDir::separator() + QStringLiteral(".") +
                          QFileInfo(resolved).fileName() + QStringLiteral(".XXXXXX"));
    UniqueFd file(::mkostemp(temporary.data(), O_CLOEXEC));
    if (!file.isOpen()) return exists && folderRefusesNewFiles(errno) && rewriteInPlace(target, bytes);

    // A new file gets the usual permissions (0666 less the umask); a replaced one keeps its own.
    mode_t mode = status.st_mode & 07777;
    if (!exists) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    const bool ok = writeAll(file.get(), bytes, 0) && ::fchmod(file.get(), mode) == 0 &&
                    ::fdatasync(file.get()) == 0 && file.close() &&
                    ::rename(temporary.constData(), target.constData()) == 0;
    if (!ok) {
        ::unlink(temporary.constData());
        return false;
    }
    // The rename itself reaches the disk with the folder's entry.
    UniqueFd folder(::open(QFile::encodeName(QFileInfo(resolved).absolutePath()).constData(),
                           O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.isOpen()) ::fsync(folder.get());
    return true;
}

void removePartialFile(const QByteArray& path) {
    struct stat info {};
    if (::lstat(path.constData(), &info) == 0 && S_ISREG(info.st_mode)) ::unlink(path.constData());
}
