#include "video/logic/frame_conversion.h"

namespace {

int effectiveDepth(int bitDepth) { return bitDepth == 24 ? 24 : 16; }

// Each channel keeps its top 5 bits; bit 15 stays clear.
inline void put555(QRgb p, std::uint8_t* out) {
    const std::uint16_t v = std::uint16_t((qRed(p) >> 3) << 10 | (qGreen(p) >> 3) << 5 | qBlue(p) >> 3);
    out[0] = std::uint8_t(v);
    out[1] = std::uint8_t(v >> 8);
}

inline void putBgr(QRgb p, std::uint8_t* out) {
    out[0] = std::uint8_t(qBlue(p));
    out[1] = std::uint8_t(qGreen(p));
    out[2] = std::uint8_t(qRed(p));
}

// One DIB row from one source row: straight when the widths agree (the usual case, which the
// compiler vectorises), else through the nearest-column table.
template <void (*Put)(QRgb, std::uint8_t*), int Bytes>
void convertRow(const QRgb* in, const std::vector<int>& columns, bool sameWidth, std::uint8_t* out) {
    const int width = int(columns.size());
    if (sameWidth) {
        for (int x = 0; x < width; ++x) Put(in[x], out + Bytes * x);
    } else {
        for (int x = 0; x < width; ++x) Put(in[columns[std::size_t(x)]], out + Bytes * x);
    }
}

}  // namespace

std::size_t frameBufferSize(int width, int height, int bitDepth) {
    if (width <= 0 || height <= 0) return 0;
    return std::size_t((width + 3) / 4) * 4 * std::size_t(height) * std::size_t(effectiveDepth(bitDepth) / 8);
}

void convertFrame(const QImage& frame, int width, int height, int bitDepth,
                  std::vector<std::uint8_t>& buffer) {
    // Zero-filled: row padding and the tail past the DIB never carry stale memory into the file.
    buffer.assign(frameBufferSize(width, height, bitDepth), 0);
    if (buffer.empty() || frame.isNull() || frame.width() <= 0 || frame.height() <= 0) return;
    const QImage source = frame.format() == QImage::Format_RGB32 || frame.format() == QImage::Format_ARGB32
                              ? frame
                              : frame.convertToFormat(QImage::Format_RGB32);
    if (source.isNull()) return;
    const std::int64_t sw = source.width();
    const std::int64_t sh = source.height();
    std::vector<int> columns(std::size_t(width), 0);
    for (int x = 0; x < width; ++x) columns[std::size_t(x)] = int(x * sw / width);
    const bool sameWidth = sw == width;
    const int depth = effectiveDepth(bitDepth);
    const std::size_t stride = (std::size_t(width) * std::size_t(depth / 8) + 3) / 4 * 4;
    for (int y = 0; y < height; ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(source.constScanLine(int(y * sh / height)));
        // DIB rows run bottom-up: the picture's last row comes first.
        std::uint8_t* out = buffer.data() + std::size_t(height - 1 - y) * stride;
        if (depth == 16)
            convertRow<put555, 2>(in, columns, sameWidth, out);
        else
            convertRow<putBgr, 3>(in, columns, sameWidth, out);
    }
}
