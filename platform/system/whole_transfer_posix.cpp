#include <unistd.h>

#include <cerrno>

#include "platform/system/whole_transfer.h"

namespace {

template <typename Byte, typename Call>
bool transferWhole(Byte* data, std::size_t size, std::uint64_t offset, int nothingDone, Call call) {
    while (size > 0) {
        const ssize_t done = call(data, size, off_t(offset));
        if (done < 0 && errno == EINTR) continue;
        if (done == 0) errno = nothingDone;
        if (done <= 0) return false;
        data += done;
        size -= std::size_t(done);
        offset += std::uint64_t(done);
    }
    return true;
}

}  // namespace

bool preadWhole(int fd, void* data, std::size_t size, std::uint64_t offset) {
    return transferWhole(static_cast<char*>(data), size, offset, ENODATA,
                         [fd](char* d, std::size_t n, off_t at) { return ::pread(fd, d, n, at); });
}

bool pwriteWhole(int fd, const void* data, std::size_t size, std::uint64_t offset) {
    return transferWhole(static_cast<const char*>(data), size, offset, ENOSPC,
                         [fd](const char* d, std::size_t n, off_t at) { return ::pwrite(fd, d, n, at); });
}
