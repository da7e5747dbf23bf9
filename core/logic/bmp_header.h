// The header of the plain Windows BMP files the program writes: BI_RGB, rows bottom-up.
#pragma once

#include <cstddef>
#include <cstdint>

// File header and info header together.
constexpr std::size_t kBmpHeaderBytes = 14 + 40;

// Fills the kBmpHeaderBytes at header for a picture of width × height pixels at bitsPerPixel whose
// imageBytes of rows start pixelOffset bytes into the file (kBmpHeaderBytes or more).
void fillBmpHeader(std::uint8_t* header, int width, int height, int bitsPerPixel, std::uint32_t pixelOffset,
                   std::uint32_t imageBytes);
