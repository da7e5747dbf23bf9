#pragma once

#include <QImage>
#include <QString>
#include <cstdint>

enum class WriteResult {
    Written,
    // The output file or the temporary bitmap (GIF, PNG) could not be created or written (a
    // missing folder, a full disk), or the image is empty. Nothing is left at either path.
    CannotCreate,
};

// The temporary bitmap of GIF and PNG writes: always in the save folder, whatever the output path.
QString temporaryBitmapPath(const QString& saveDirectory);

// Writes bitmap to path in the format of type (a SaveFormat code: 1 JPEG, 2 BMP, 3 GIF, 4 PNG), never
// by the extension of path; any other type writes nothing and gives Written. jpegQuality counts
// for JPEG only (see writeJpeg). GIF and PNG go through temporaryBitmapPath(saveDirectory), which
// is overwritten and always deleted again; when it cannot be created, no conversion is tried.
// An empty bitmap is stored in no format: CannotCreate, and no file is touched.
WriteResult writeimage(const QImage& bitmap, const QString& path, std::uint8_t type, std::int32_t jpegQuality,
                       const QString& saveDirectory);
