#pragma once

#include <QImage>
#include <QImageReader>
#include <QString>
#include <cstdlib>

// An image file's picture as Format_RGB32, whatever its format and name; null when unreadable.
inline QImage decodeImage(const QString& path) {
    return QImageReader(path).read().convertToFormat(QImage::Format_RGB32);
}

// Mean absolute difference per colour channel, in levels; huge when the sizes differ.
inline double meanAbsError(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) return 1e9;
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            sum +=
                std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * a.width() * a.height());
}

// Pixels whose colour channels differ in their top bits: 5 compares what a 5-5-5 frame keeps, 8
// compares exactly. -1 when the sizes differ.
inline int pixelMismatches(const QImage& a, const QImage& b, int bits = 5) {
    if (a.size() != b.size()) return -1;
    const QRgb mask = (0xffu << (8 - bits) & 0xffu) * 0x010101u;
    int count = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) count += (a.pixel(x, y) & mask) != (b.pixel(x, y) & mask);
    return count;
}
