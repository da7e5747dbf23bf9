// The frame files of a recording: plain Windows BMP files of 32 bits a pixel (BI_RGB, rows bottom-up),
// the layout of the grabbed screen image, so a frame is written and read back without conversion.
#pragma once

#include <QImage>
#include <QString>

// How an image's rows lie in memory: as the picture (top row first), or in the file's order (bottom
// row first, the picture upside down), as the frame writer's queue keeps them so that a frame whose
// rows are not whole disk blocks can still go to the disk in one piece.
enum class RowOrder { Picture, File };

// Writes image (Format_RGB32 or ARGB32; another format is converted) as a 32-bit BMP whose pixels
// are the image's words as they are. The rows go straight from the image to the file in one
// vectored write; unless throughPageCache is set, pixels in whole disk blocks in block-aligned
// memory (rows of whole blocks, or rows in file order that fill whole blocks together) go to the
// disk directly, past the page cache, and their file keeps its pixels 4096 bytes in.
// False when the image is empty or too large for the header, or the file cannot be created, written
// or closed; a partial file is removed then, and errno tells why the write failed.
bool writeFrameBmp(const QImage& image, const QString& path, bool throughPageCache = false,
                   RowOrder rows = RowOrder::Picture);

// Reads a 32-bit BI_RGB BMP (bottom-up or top-down) into image as Format_RGB32, reusing image's
// memory when it already has that size and format. The file is read once: its pages leave the
// system's cache. False, with image left null, when the file is missing, unreadable, truncated,
// another kind of BMP or has a side longer than an AVI file's frame may have: a header is never the
// reason for a larger picture than that.
bool readFrameBmp(const QString& path, QImage& image);

// What a file named as a frame holds, by its header and its length only.
enum class FrameFileCheck {
    Whole,     // a frame of the expected size (any size an AVI frame may have, when none is expected)
    CutShort,  // empty, or a frame header with fewer pixels after it: a write that a kill cut short
    Foreign,   // anything else: no frame of this run
};
// seen: the size the header gives, for Whole and CutShort.
FrameFileCheck checkFrameFile(const QString& path, QSize expected = {}, QSize* seen = nullptr);
