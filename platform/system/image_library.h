#pragma once

#include <QString>
#include <memory>

// The image conversion library of the save commands: it loads a BMP file into an image held by a
// handle and writes that image as a GIF or PNG file. The four calls keep the names the save step
// uses for them; the handle owns its image, so a forgotten DeleteDIB still frees it.

struct DibImage;

// A loaded image, or none (invalid). Every call accepts an invalid handle and does nothing with it.
class DibHandle {
public:
    DibHandle();
    explicit DibHandle(std::unique_ptr<const DibImage> image);
    DibHandle(DibHandle&& other) noexcept;
    DibHandle& operator=(DibHandle&& other) noexcept;
    ~DibHandle();

    bool isValid() const { return m_image != nullptr; }
    const DibImage* image() const { return m_image.get(); }

private:
    std::unique_ptr<const DibImage> m_image;
};

// Loads an uncompressed 24- or 32-bit Windows BMP (bottom-up or top-down; 32-bit also with the
// standard BGR bit fields). Missing, unreadable, truncated or other kinds of BMP files, and
// files of an image without pixels, give an invalid handle.
DibHandle BMPtoDIB(const QString& bmpPath);

// Writes the image as a GIF89a file of at most 256 colours. False, with no file left at outPath,
// when the handle is invalid, the image exceeds the GIF limit of 65535 pixels a side, or the file
// cannot be created or written. reserved: callers pass 0; no other value has a meaning.
bool DIBtoGIF(const QString& outPath, const DibHandle& handle, int reserved);

// Writes the image as a PNG file: 8-bit RGB (colour type 2), not interlaced. False, with no file
// left at outPath, when the handle is invalid or the file cannot be created or written.
// reserved: callers pass 0; no other value has a meaning.
bool DIBtoPNG(const QString& outPath, const DibHandle& handle, int reserved);

// Releases the image now; the handle becomes invalid. Releasing an invalid handle does nothing.
void DeleteDIB(DibHandle& handle);
