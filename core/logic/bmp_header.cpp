#include "core/logic/bmp_header.h"

#include <cstring>

namespace {

void put16(std::uint8_t* at, std::uint32_t value) {
    at[0] = static_cast<std::uint8_t>(value);
    at[1] = static_cast<std::uint8_t>(value >> 8);
}
void put32(std::uint8_t* at, std::uint32_t value) {
    put16(at, value);
    put16(at + 2, value >> 16);
}

}  // namespace

void fillBmpHeader(std::uint8_t* header, int width, int height, int bitsPerPixel, std::uint32_t pixelOffset,
                   std::uint32_t imageBytes) {
    // Reserved fields, resolution and colour counts stay 0: none given.
    std::memset(header, 0, kBmpHeaderBytes);
    put16(header, 0x4d42);  // "BM"
    put32(header + 2, pixelOffset + imageBytes);
    put32(header + 10, pixelOffset);
    put32(header + 14, 40);
    put32(header + 18, static_cast<std::uint32_t>(width));
    put32(header + 22, static_cast<std::uint32_t>(height));  // positive: bottom-up
    put16(header + 26, 1);                                   // planes
    put16(header + 28, static_cast<std::uint32_t>(bitsPerPixel));
    put32(header + 30, 0);  // BI_RGB
    put32(header + 34, imageBytes);
}
