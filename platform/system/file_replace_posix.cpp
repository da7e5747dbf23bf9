#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>

#include "platform/system/durable_file.h"
#include "platform/system/file_replace.h"
#include "platform/system/unique_fd.h"
#include "platform/system/whole_transfer.h"

namespace {

bool writeAll(int fd, QByteArrayView bytes, off_t offset) {
    return pwriteWhole(fd, bytes.data(), std::size_t(bytes.size()), std::uint64_t(offset));
}

bool readAll(int fd, QByteArray& bytes, off_t size) {
    bytes.resize(qsizetype(size));
    return preadWhole(fd, bytes.data(), std::size_t(size), 0);
}

// The folder refuses new entries, though an existing file in it may still be writable.
bool folderRefusesNewFiles(int error) { return error == EACCES || error == EPERM || error == EROFS; }

// Rewrites the file in place, ordered so that a process killed at any moment leaves a file that
// reads as the old content or as the new one, never as a mix. The padding is spaces, which an INI
// reader trims from the end of a line (or reads as an empty line), so padded content reads as it
// would unpadded:
// 1. A new content longer than the old: the old one is first padded to the new length. It still
//    reads as the old content, and the disk's room for the new one is taken by a real write.
// 2. The new content, padded to the old length when shorter, goes over the file in one write;
//    from then on the file reads as the new content. A write within one page is never split by a
//    kill, and a settings file is far smaller than a page.
// 3. It is flushed, cut to the new length (which drops only padding) and flushed again.
// A failure puts the old content back, padded to the same length, and cuts it to its own.
bool rewriteInPlace(const QByteArray& target, QByteArrayView bytes) {
    UniqueFd file(::open(target.constData(), O_RDWR | O_CLOEXEC));
    struct stat status {};
    if (!file.isOpen() || ::fstat(file.get(), &status) != 0) return false;
    QByteArray old;
    if (!readAll(file.get(), old, status.st_size)) return false;
    const qsizetype length = std::max(old.size(), bytes.size());
    if (length > old.size() &&
        (!writeAll(file.get(), QByteArray(length - old.size(), ' '), off_t(old.size())) ||
         ::fdatasync(file.get()) != 0)) {
        // The failure is what gets reported; cutting the padding off again is all that is left to try.
        [[maybe_unused]] const int cut = ::ftruncate(file.get(), off_t(old.size()));
        return false;
    }
    const auto padded = [length](QByteArrayView content) {
        return content.toByteArray() + QByteArray(length - content.size(), ' ');
    };
    const bool ok = writeAll(file.get(), padded(bytes), 0) && ::fdatasync(file.get()) == 0 &&
                    (length == bytes.size() ||
                     (::ftruncate(file.get(), off_t(bytes.size())) == 0 && ::fdatasync(file.get()) == 0));
    if (!ok) {
        writeAll(file.get(), padded(old), 0);
        [[maybe_unused]] const int cut = ::ftruncate(file.get(), off_t(old.size()));
        file.close();
        return false;
    }
    return file.close();
}

// Gives the new file the old one's owner and group where the system allows it: root keeps a
// user's file the user's; an ordinary user may not give a file away, and keeps at most the group.
bool takeOwner(int fd, const struct stat& old) {
    if (::fchown(fd, old.st_uid, old.st_gid) == 0) return true;
    if (errno != EPERM && errno != EINVAL) return false;
    return ::fchown(fd, uid_t(-1), old.st_gid) == 0 || errno == EPERM || errno == EINVAL;
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
    // The owner first: a change of owner clears the set-id bits that the mode then restores.
    const bool ok = writeAll(file.get(), bytes, 0) && (!exists || takeOwner(file.get(), status)) &&
                    ::fchmod(file.get(), mode) == 0 && ::fdatasync(file.get()) == 0 && file.close() &&
                    ::rename(temporary.constData(), target.constData()) == 0;
    if (!ok) {
        ::unlink(temporary.constData());
        return false;
    }
    // The rename itself reaches the disk with the folder's entry.
    return flushFolder(QFileInfo(resolved).absolutePath());
}

void removePartialFile(const QByteArray& path) {
    struct stat info {};
    if (::lstat(path.constData(), &info) == 0 && S_ISREG(info.st_mode)) ::unlink(path.constData());
}
