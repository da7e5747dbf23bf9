#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

// One frame as the recorder stores it: bottom-up rows padded to 4 bytes, the buffer sized for the
// width rounded up to 4 pixels, padding zero. pixel(x, y, out) writes the bits / 8 bytes of
// picture pixel (x, y), top row 0.
Bytes dibSample(int width, int height, int bits,
                const std::function<void(int x, int y, std::uint8_t* out)>& pixel);

// An uncompressed AVI written with AviFileWriter: frames samples, sampleOf(i) giving frame i.
// False, with the test failed, when any step fails.
bool writeRawAvi(const QString& path, int width, int height, int bits, std::uint32_t rate, int frames,
                 const std::function<const Bytes&(int i)>& sampleOf);
