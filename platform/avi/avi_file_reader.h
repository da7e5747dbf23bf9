// readAviContents: what a finished AVI file holds, read back from its headers and its index, and
// whether the file is whole. It checks what AviFileWriter wrote; it is no general AVI reader.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// What the AVI file at path holds, read back from its headers and its index. Only files as
// AviFileWriter writes them (one uncompressed video stream, first part 'AVI ' with idx1, OpenDML
// 'AVIX' parts with a super index and ix00 standard indexes) are understood.
struct AviContents {
    std::uint32_t frames = 0;  // frames the index lists (may be 0 for a file closed without frames)
    std::uint32_t width = 0;   // from the stream format ('strf' BITMAPINFOHEADER)
    std::uint32_t height = 0;  // absolute value
    std::uint16_t bitCount = 0;
};

// nullopt when the file is missing or unreadable, not a RIFF 'AVI ' file, or not whole: the headers'
// frame counts (avih total frames / dmlh total frames for OpenDML, strh length) disagree with the
// index, the index is missing or cut short, an index entry points outside the file or at anything
// but a '00db' chunk header of the size the entry gives, or the samples are not all the same size.
std::optional<AviContents> readAviContents(const std::string& path);
