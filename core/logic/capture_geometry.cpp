#include "core/logic/capture_geometry.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

namespace {

constexpr std::int64_t kIntMin = std::numeric_limits<int>::min();
constexpr std::int64_t kIntMax = std::numeric_limits<int>::max();

// Spans are worked out in 64 bits, as sums of int coordinates may pass the int range. One that cannot
// be a QRect describes no real screen area and counts as empty.
QRect spanRect(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1) {
    if (x1 <= x0 || y1 <= y0) return {};
    if (x0 < kIntMin || y0 < kIntMin || x1 - 1 > kIntMax || y1 - 1 > kIntMax || x1 - x0 > kIntMax ||
        y1 - y0 > kIntMax)
        return {};
    return {int(x0), int(y0), int(x1 - x0), int(y1 - y0)};
}

// Ceil(side * percent / 100) for either sign; C++ division already rounds negative quotients up.
std::int64_t scaleSide(std::int64_t side, std::int64_t percent) {
    const std::int64_t product = side * percent;  // |product| < 2^62
    return product >= 0 ? (product + 99) / 100 : product / 100;
}

QImage asRgb32(const QImage& image) {
    return image.format() == QImage::Format_RGB32 ? image : image.convertToFormat(QImage::Format_RGB32);
}

}  // namespace

CaptureGeometry captureGeometryOnScreen(const PrimaryScreen& primary, const QRect& window,
                                        QPoint clientOrigin, QSize client) {
    const qreal ratio = primary.devicePixelRatio;
    const QPoint origin = primary.desktop.topLeft();
    const auto onImage = [&](QPoint p) {
        return QPoint(qRound((p.x() - origin.x()) * ratio), qRound((p.y() - origin.y()) * ratio));
    };
    const auto inPixels = [&](QSize s) {
        return QSize(qRound(s.width() * ratio), qRound(s.height() * ratio));
    };
    return CaptureGeometry{inPixels(primary.desktop.size()),
                           QRect(onImage(window.topLeft()), inPixels(window.size())), onImage(clientOrigin),
                           inPixels(client)};
}

QRect clipSpan(const CaptureGeometry& g) {
    const std::int64_t sw = g.screen.width();
    const std::int64_t sh = g.screen.height();
    const std::int64_t left = g.window.x();
    const std::int64_t top = g.window.y();
    const std::int64_t x = g.clientOrigin.x();
    const std::int64_t y = g.clientOrigin.y();
    const std::int64_t cw = g.client.width();
    const std::int64_t ch = g.client.height();

    std::int64_t x0 = x;
    std::int64_t x1 = x + cw;
    bool bottomReached = false;
    if (left + g.window.width() >= sw) {
        x1 = sw;
        bottomReached = top + g.window.height() >= sh;
    } else if (left <= 0) {
        x0 = 0;
        bottomReached = top + g.window.height() >= sh;
    } else {
        // After the third horizontal case the bottom test uses the client height, not the outer one.
        bottomReached = top + ch >= sh;
    }

    if (bottomReached) return spanRect(x0, y, x1, sh);
    if (y > 0) return spanRect(x0, y, x1, y + ch);
    return spanRect(x0, 0, x1, y + ch);
}

QImage copySpan(const QImage& screen, const QRect& source) {
    if (source.isEmpty()) return {};
    QImage result(source.size(), QImage::Format_RGB32);
    if (result.isNull()) return {};
    const QRect inside = source.intersected(screen.rect());
    // Only the part on the screen is read; another format is converted for that part alone.
    const bool direct = screen.format() == QImage::Format_RGB32;
    const QImage part = direct || inside.isEmpty() ? QImage() : asRgb32(screen.copy(inside));
    const QImage& from = direct ? screen : part;
    const QPoint fromOrigin = direct ? QPoint(0, 0) : inside.topLeft();

    const int width = source.width();
    const int before = inside.isEmpty() ? width : inside.left() - source.left();
    const int count = inside.isEmpty() ? 0 : inside.width();
    const int after = width - before - count;
    uchar* bits = result.bits();
    const qsizetype bytesPerLine = result.bytesPerLine();
    for (int row = 0; row < source.height(); ++row) {
        auto* line = reinterpret_cast<QRgb*>(bits + row * bytesPerLine);
        const int y = source.top() + row;
        if (count == 0 || y < inside.top() || y > inside.bottom()) {
            std::fill_n(line, width, kOutsideScreen);
            continue;
        }
        const auto* screenLine = reinterpret_cast<const QRgb*>(from.constScanLine(y - fromOrigin.y()));
        std::fill_n(line, before, kOutsideScreen);
        std::memcpy(line + before, screenLine + (inside.left() - fromOrigin.x()), std::size_t(count) * 4);
        std::fill_n(line + before + count, after, kOutsideScreen);
    }
    return result;
}

std::optional<QSize> scaledSize(QSize size, std::int32_t percent) {
    const std::int64_t width = scaleSide(size.width(), percent);
    const std::int64_t height = scaleSide(size.height(), percent);
    if (width <= 0 || height <= 0) return QSize(0, 0);
    if (width > kMaxScaledSide || height > kMaxScaledSide || width * height * 4 > kMaxScaledBytes)
        return std::nullopt;
    return QSize(int(width), int(height));
}

QImage stretchNearest(const QImage& source, QSize target) {
    if (source.isNull() || target.isEmpty()) return {};
    const QImage from = asRgb32(source);
    QImage result(target, QImage::Format_RGB32);
    if (result.isNull() || from.isNull()) return {};
    const std::int64_t sw = from.width();
    const std::int64_t sh = from.height();
    const int dw = target.width();
    const int dh = target.height();

    std::vector<int> columns(std::size_t(dw), 0);
    for (int dx = 0; dx < dw; ++dx) columns[std::size_t(dx)] = int(dx * sw / dw);
    const int* column = columns.data();

    uchar* bits = result.bits();
    const qsizetype bytesPerLine = result.bytesPerLine();
    const std::size_t lineBytes = std::size_t(dw) * 4;
    const QRgb* previous = nullptr;
    std::int64_t previousRow = -1;
    for (int dy = 0; dy < dh; ++dy) {
        auto* line = reinterpret_cast<QRgb*>(bits + dy * bytesPerLine);
        const std::int64_t sy = dy * sh / dh;
        const auto* sourceLine = reinterpret_cast<const QRgb*>(from.constScanLine(int(sy)));
        if (sy == previousRow) {
            // Enlarging repeats rows: the row already built is copied whole.
            std::memcpy(line, previous, lineBytes);
        } else if (sw == dw) {
            std::memcpy(line, sourceLine, lineBytes);
        } else {
            for (int dx = 0; dx < dw; ++dx) line[dx] = sourceLine[column[dx]];
        }
        previous = line;
        previousRow = sy;
    }
    return result;
}

bool stretchByPercent(QImage& bitmap, std::int32_t percent) {
    const std::optional<QSize> size = scaledSize(bitmap.size(), percent);
    if (!size) return false;
    if (*size == bitmap.size()) return true;
    QImage scaled = stretchNearest(bitmap, *size);
    if (scaled.isNull() && !size->isEmpty()) return false;
    bitmap = std::move(scaled);
    return true;
}
