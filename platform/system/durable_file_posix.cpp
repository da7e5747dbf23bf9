#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>

#include "platform/system/durable_file.h"
#include "platform/system/unique_fd.h"

namespace {

std::optional<FileId> idOf(const struct stat& info) {
    if (!S_ISREG(info.st_mode)) return std::nullopt;
    return FileId{quint64(info.st_dev), quint64(info.st_ino)};
}

}  // namespace

bool flushFile(const QString& path) {
    UniqueFd file(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC));
    return file.isOpen() && ::fdatasync(file.get()) == 0 && file.close();
}

bool flushFolder(const QString& folder) {
    UniqueFd handle(::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return handle.isOpen() && (::fsync(handle.get()) == 0 || errno == EINVAL) && handle.close();
}

std::optional<FileId> fileIdOf(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) return std::nullopt;
    return idOf(info);
}

std::optional<FileId> fileIdOf(const QString& path) {
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0) return std::nullopt;
    return idOf(info);
}
