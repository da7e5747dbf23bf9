#pragma once

#include <QString>
#include <array>
#include <cstdint>

// The picture formats of the save commands. A format's value is its code, as the SaveType setting
// holds and the settings file stores it.
enum class SaveFormat : std::uint8_t { Jpeg = 1, Bmp = 2, Gif = 3, Png = 4 };

constexpr std::uint8_t saveTypeCode(SaveFormat format) { return static_cast<std::uint8_t>(format); }

// What the parts of the program use of one format; the writer stores the picture by the format.
struct SaveFormatRow {
    SaveFormat format;
    const char* extension;  // of the numbered names, with the dot
    // The save-as dialog's filter, 1-based in its order: all files, PNG, JPEG .jpg, JPEG .jpeg, bitmap, GIF.
    int filterIndex;

    // The save-as dialog's default suffix: the extension without its dot.
    QString suffix() const { return QString::fromLatin1(extension + 1); }
};

// Every format, in code order. The frame's format menu items (jpegItem, bmpItem, gifItem, pngItem) and the
// settings dialog's radio buttons (JPEG, BMP, GIF, PNG) are listed in this order.
inline constexpr std::array<SaveFormatRow, 4> kSaveFormats{{
    {SaveFormat::Jpeg, ".jpg", 3},
    {SaveFormat::Bmp, ".bmp", 5},
    {SaveFormat::Gif, ".gif", 6},
    {SaveFormat::Png, ".png", 2},
}};

// The row of a code; nothing for any other value.
const SaveFormatRow* findSaveFormat(int code);

// The format of the numbered saves: the code's own, PNG for any other value.
const SaveFormatRow& numberedSaveFormat(int code);
