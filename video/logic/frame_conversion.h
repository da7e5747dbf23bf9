// Conversion of a captured frame into the uncompressed sample of the recording's AVI stream: a
// bottom-up DIB of 16 bits (5-5-5 RGB) or 24 bits (B, G, R) per pixel, rows padded to 4 bytes.
#pragma once

#include <QImage>
#include <cstddef>
#include <cstdint>
#include <vector>

// Bytes of every sample: the width rounded up to a multiple of 4 pixels, times the height, times
// the bytes per pixel. Equals the DIB's size when the width is a multiple of 4 and exceeds it
// otherwise. A bitDepth other than 16 or 24 counts as 16.
std::size_t frameBufferSize(int width, int height, int bitDepth);

// frame stretched to width x height by nearest pixel (target pixel (x, y) is source pixel
// (x * sw / width, y * sh / height)) and laid out in buffer as the DIB above. buffer ends up with
// exactly frameBufferSize bytes (its capacity is reused from frame to frame); every byte past the
// DIB's own rows and row padding is zero. A null frame gives a black picture; a non-positive size
// gives an empty buffer.
void convertFrame(const QImage& frame, int width, int height, int bitDepth,
                  std::vector<std::uint8_t>& buffer);
