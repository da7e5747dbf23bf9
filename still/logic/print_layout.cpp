#include "still/logic/print_layout.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
// Delphi's Ceil into an Integer; saturated so that absurd pages never overflow.
int ceilToInt(long double value) {
    const long double up = std::ceil(value);
    if (up >= std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
    if (up <= std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
    return static_cast<int>(up);
}

// A 32-bit integer product wraps as the native multiplication did.
std::int32_t product32(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(b));
}
}  // namespace

QRect printRectangle(QSize image, std::int32_t printPercent, QSize page) {
    const int w = image.width(), h = image.height();
    const int horz = page.width(), vert = page.height();
    if (w <= 0 || h <= 0) return {};
    const float k = static_cast<float>(printPercent / 100.0L);
    const long double wk = w * static_cast<long double>(k);
    const long double hk = h * static_cast<long double>(k);
    const bool tooWide = !(horz > wk);
    const bool tooTall = !(vert > hk);
    const auto fitWidth = [&] {
        return QSize(horz, ceilToInt(static_cast<long double>(product32(h, horz)) / w));
    };
    const auto fitHeight = [&] {
        return QSize(ceilToInt(static_cast<long double>(product32(w, vert)) / h), vert);
    };

    QSize size;
    if (!tooWide && !tooTall)
        size = QSize(ceilToInt(wk), ceilToInt(hk));
    else if (tooWide && !tooTall)
        size = fitWidth();
    else if (!tooWide)
        size = fitHeight();
    else
        size = static_cast<long double>(horz) / w <= static_cast<long double>(vert) / h ? fitWidth()
                                                                                        : fitHeight();
    return QRect(QPoint(0, 0), size);
}

int transferRowBytes(int width) {
    return static_cast<int>((static_cast<std::int64_t>(width) * 24 + 31) / 32 * 4);
}

TransferBuffer toTransferBuffer(const QImage& image) {
    TransferBuffer buffer;
    if (image.isNull()) return buffer;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    buffer.width = rgb.width();
    buffer.height = rgb.height();
    buffer.rowBytes = transferRowBytes(buffer.width);
    buffer.bits.assign(static_cast<std::size_t>(buffer.rowBytes) * buffer.height, 0);
    for (int y = 0; y < buffer.height; ++y) {
        const auto* source = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        std::uint8_t* row =
            buffer.bits.data() + static_cast<std::size_t>(buffer.height - 1 - y) * buffer.rowBytes;
        for (int x = 0; x < buffer.width; ++x) {
            row[3 * x] = static_cast<std::uint8_t>(qBlue(source[x]));
            row[3 * x + 1] = static_cast<std::uint8_t>(qGreen(source[x]));
            row[3 * x + 2] = static_cast<std::uint8_t>(qRed(source[x]));
        }
    }
    return buffer;
}

QImage stretchTransferRows(const TransferBuffer& buffer, QSize target, int firstRow, int rowCount) {
    const int tw = target.width(), th = target.height();
    if (buffer.bits.empty() || tw <= 0 || th <= 0 || firstRow < 0 || rowCount <= 0 ||
        firstRow + rowCount > th)
        return {};
    QImage result(tw, rowCount, QImage::Format_RGB32);
    if (result.isNull()) return {};
    std::vector<int> column(tw);
    for (int dx = 0; dx < tw; ++dx)
        column[dx] = static_cast<int>(static_cast<std::int64_t>(dx) * buffer.width / tw);
    for (int dy = 0; dy < rowCount; ++dy) {
        const int sy = static_cast<int>(static_cast<std::int64_t>(firstRow + dy) * buffer.height / th);
        const std::uint8_t* row =
            buffer.bits.data() + static_cast<std::size_t>(buffer.height - 1 - sy) * buffer.rowBytes;
        auto* line = reinterpret_cast<QRgb*>(result.scanLine(dy));
        for (int dx = 0; dx < tw; ++dx) {
            const std::uint8_t* p = row + 3 * column[dx];
            line[dx] = qRgb(p[2], p[1], p[0]);
        }
    }
    return result;
}
