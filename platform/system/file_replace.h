#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Replaces the content of the file at path with bytes, creating it when missing. Afterwards the
// file holds either all of bytes or, when this returns false, exactly what it held before: a full
// disk, a refused write or a failed flush never leaves it empty, cut short or mixed.
// - A link to an existing file is followed, so the link stays a link.
// - The new content goes to a temporary file beside the target, is flushed to the disk and then
//   renamed over it; the target keeps its permission bits, and its owner and group where the
//   system allows.
// - Where the folder admits no new file but the target may be written, the target is rewritten in
//   place, padded with spaces while it changes, so that a process killed at any moment leaves
//   the old or the new content as an INI reader sees it.
// False, with nothing changed, when the target exists but is not a regular file, or has no write
// permission bit at all (read-only even to a user whom the system would let write). False too,
// with the new content in place, when the folder's record of the rename cannot be flushed to the
// disk: it may then not survive a power cut.
bool replaceFile(const QString& path, QByteArrayView bytes);

// Removes what a failed write left at path (a file name in the system's encoding). Only a regular
// file: a failed write to a device or pipe name must never unlink that node.
void removePartialFile(const QByteArray& path);
