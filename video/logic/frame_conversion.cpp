#include "video/logic/frame_conversion.h"

namespace {

int effectiveDepth(int bitDepth) { return bitDepth == 24 ? 24 : 16; }

// The frame at width x height as Format_RGB32, resized by nearest pixel when its size differs.
QImage sizedRgb32(const QImage& frame, int width, int height) {
    QImage source = frame.convertToFormat(QImage::Format_RGB32);
    if (source.width() == width && source.height() == height) return source;
    QImage result(width, height, QImage::Format_RGB32);
    if (result.isNull()) return {};
    const std::int64_t sw = source.width();
    const std::int64_t sh = source.height();
    std::vector<int> columns(static_cast<std::size_t>(width));
    for (int x = 0; x < width; ++x) columns[std::size_t(x)] = int(x * sw / width);
    for (int y = 0; y < height; ++y) {
        const auto* from = reinterpret_cast<const QRgb*>(source.constScanLine(int(y * sh / height)));
        auto* to = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (int x = 0; x < width; ++x) to[x] = from[columns[std::size_t(x)]];
    }
    return result;
}

}  // namespace

std::size_t frameBufferSize(int width, int height, int bitDepth) {
    if (width <= 0 || height <= 0) return 0;
    return std::size_t((width + 3) / 4) * 4 * std::size_t(height) * std::size_t(effectiveDepth(bitDepth) / 8);
}

std::vector<std::uint8_t> convertFrame(const QImage& frame, int width, int height, int bitDepth) {
    const std::size_t total = frameBufferSize(width, height, bitDepth);
    // Zero-filled: row padding and the tail past the DIB never carry stale memory into the file.
    std::vector<std::uint8_t> buffer(total, 0);
    if (total == 0 || frame.isNull() || frame.width() <= 0 || frame.height() <= 0) return buffer;
    const QImage image = sizedRgb32(frame, width, height);
    if (image.isNull()) return buffer;
    const int depth = effectiveDepth(bitDepth);
    const std::size_t stride = (std::size_t(width) * std::size_t(depth / 8) + 3) / 4 * 4;
    for (int y = 0; y < height; ++y) {
        // DIB rows run bottom-up: the image's last row comes first.
        std::uint8_t* out = buffer.data() + std::size_t(height - 1 - y) * stride;
        const auto* in = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        if (depth == 16) {
            for (int x = 0; x < width; ++x) {
                const QRgb p = in[x];
                // Each channel keeps its top 5 bits; bit 15 stays clear.
                const std::uint16_t v =
                    std::uint16_t((qRed(p) >> 3) << 10 | (qGreen(p) >> 3) << 5 | qBlue(p) >> 3);
                out[2 * x] = std::uint8_t(v);
                out[2 * x + 1] = std::uint8_t(v >> 8);
            }
        } else {
            for (int x = 0; x < width; ++x) {
                const QRgb p = in[x];
                out[3 * x] = std::uint8_t(qBlue(p));
                out[3 * x + 1] = std::uint8_t(qGreen(p));
                out[3 * x + 2] = std::uint8_t(qRed(p));
            }
        }
    }
    return buffer;
}
