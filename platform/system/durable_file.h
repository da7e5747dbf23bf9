// What makes a file's content and its name survive a power cut, and what tells one file from
// another that later took its name.
#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

// Flushes the data of the file at path to the disk. False when it cannot be opened or flushed.
bool flushFile(const QString& path);

// Flushes the folder's own record: the files created, renamed or removed in it. A file system that
// keeps no such record refuses the flush with EINVAL, which counts as done.
bool flushFolder(const QString& folder);

// A file as the system knows it, whatever its name: the same name with another identity is another
// file.
struct FileId {
    quint64 device = 0;
    quint64 inode = 0;
    friend bool operator==(const FileId&, const FileId&) = default;
};
std::optional<FileId> fileIdOf(int fd);
// The regular file at path; nothing for a link, a folder or a missing name.
std::optional<FileId> fileIdOf(const QString& path);
