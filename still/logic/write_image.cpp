#include "still/logic/write_image.h"

#include <QFile>
#include <QFileInfo>

#include "core/logic/save_format.h"
#include "platform/system/image_library.h"
#include "still/logic/jpeg_bmp_writers.h"

QString temporaryBitmapPath(const QString& saveDirectory) {
    // Joined as it stands: the folder setting is never normalised.
    return saveDirectory + QStringLiteral("/kadrel.bmp");
}

WriteResult writeimage(const QImage& bitmap, const QString& path, std::uint8_t type, std::int32_t jpegQuality,
                       const QString& saveDirectory) {
    const SaveFormatRow* row = findSaveFormat(type);
    if (!row) return WriteResult::Written;
    const SaveFormat format = row->format;
    if (format == SaveFormat::Jpeg)
        return writeJpeg(bitmap, path, jpegQuality) ? WriteResult::Written : WriteResult::CannotCreate;
    if (format == SaveFormat::Bmp)
        return writeBmp(bitmap, path) ? WriteResult::Written : WriteResult::CannotCreate;

    const QString temporary = temporaryBitmapPath(saveDirectory);
    if (!writeBmp(bitmap, temporary)) return WriteResult::CannotCreate;
    // No event processing between the steps: a timer run here could start another capture that
    // writes the same temporary file under this one. A timer that falls due runs after the write.
    DibHandle handle = BMPtoDIB(temporary);
    const bool converted = format == SaveFormat::Gif ? DIBtoGIF(path, handle, 0) : DIBtoPNG(path, handle, 0);
    DeleteDIB(handle);
    // A picture saved under the temporary file's own name is the user's file now: keep it.
    if (QFileInfo(temporary) != QFileInfo(path)) QFile::remove(temporary);
    // A failed conversion (the disk filled up, the output folder is missing) is a failed save:
    // the library leaves no partial file, and the caller must not count the name as used.
    return converted ? WriteResult::Written : WriteResult::CannotCreate;
}
