// Reads and writes of a whole byte range at a file offset, through short transfers and interrupted
// calls, which a single pread or pwrite may return.
#pragma once

#include <cstddef>
#include <cstdint>

// False on an error (errno from the failing call) or at the end of the file (errno ENODATA).
bool preadWhole(int fd, void* data, std::size_t size, std::uint64_t offset);
// False on an error (errno from the failing call; ENOSPC for a write that took nothing).
bool pwriteWhole(int fd, const void* data, std::size_t size, std::uint64_t offset);
