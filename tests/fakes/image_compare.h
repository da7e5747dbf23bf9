#pragma once

#include <QImage>
#include <cstdlib>

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
