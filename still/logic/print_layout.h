#pragma once

#include <QImage>
#include <QRect>
#include <QSize>
#include <cstdint>
#include <vector>

// Where the printed picture goes: a rectangle at (0, 0) of the printable area, page given in printer
// pixels. The picture is printed at printPercent of its pixel size (the factor held as a 32-bit float,
// products taken in long double and rounded up) while that is strictly smaller than the page on both
// sides; otherwise it is fitted to the page keeping its aspect ratio. An empty image gives an empty
// rectangle.
QRect printRectangle(QSize image, std::int32_t printPercent, QSize page);

// The device-independent copy a picture reaches the printer through: bottom-up rows of 24-bit pixels
// in blue, green, red order, each row padded with zero bytes to a multiple of 4.
struct TransferBuffer {
    int width = 0;
    int height = 0;
    int rowBytes = 0;
    std::vector<std::uint8_t> bits;
};

// ((width * 24 + 31) div 32) * 4.
int transferRowBytes(int width);

// The picture as a transfer buffer; empty (no bits) for a null image.
TransferBuffer toTransferBuffer(const QImage& image);

// Rows [firstRow, firstRow + rowCount) of the buffer stretched to target by nearest pixel: target
// pixel (dx, dy) is picture pixel (floor(dx * w / tw), floor(dy * h / th)), counted from the top.
// Format_RGB32, rowCount rows high; null when the buffer, target or row range is empty or the image
// cannot be allocated. Drawing in bands keeps a page-sized stretch out of memory.
QImage stretchTransferRows(const TransferBuffer& buffer, QSize target, int firstRow, int rowCount);
inline QImage stretchTransfer(const TransferBuffer& buffer, QSize target) {
    return stretchTransferRows(buffer, target, 0, target.height());
}
