#pragma once

#include <QString>
#include <optional>

#include "platform/system/unique_fd.h"

// An advisory lock (flock) on a folder or a file, held for the life of the object. The system drops
// it when the process ends in any way, a kill included, so a lock never outlives its holder.
class FileLock {
public:
    enum class Mode { Shared, Exclusive };

    // Locks path without waiting: an existing folder or file, or a new empty file made there.
    // Nothing when another open holds a lock that conflicts (errno EWOULDBLOCK), or path cannot be
    // opened or made (errno says why).
    static std::optional<FileLock> tryLock(const QString& path, Mode mode);
    // As tryLock, but waits while another holds a conflicting lock.
    static std::optional<FileLock> lock(const QString& path, Mode mode);

    // An exclusive lock becomes shared (others may then take shared ones too); false when the
    // system refuses.
    bool share();

private:
    explicit FileLock(UniqueFd fd) : m_fd(std::move(fd)) {}
    static std::optional<FileLock> take(const QString& path, Mode mode, bool wait);

    UniqueFd m_fd;
};
