// One frame of a screen-cast stream copied into a QImage: the pixel orders the stream may send, its
// row stride, and the part of the buffer that holds the picture. Free of PipeWire, so it is tested and
// measured on its own.
#pragma once

#include <QImage>
#include <QRect>

// Byte order of a 32-bit pixel in memory; x is a byte to ignore.
enum class CastPixelOrder { BGRx, BGRA, RGBx, RGBA };

// Copies region (in the buffer's pixels) of the frame at bits, whose rows are stride bytes apart, into
// target as Format_RGB32, opaque: alpha is dropped, as the screen has none. target is reused when it
// has region's size and nobody else holds its pixels, else replaced. False, and target untouched,
// when the region does not fit into bytes bytes at bits or the picture cannot be allocated.
bool copyCastFrame(const uchar* bits, qsizetype bytes, qsizetype stride, CastPixelOrder order,
                   const QRect& region, QImage& target);
