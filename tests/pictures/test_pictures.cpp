#include "test_pictures.h"

#include <QColor>
#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <QRandomGenerator>
#include <algorithm>
#include <cstdlib>
#include <random>

namespace test_pictures {

QRgb rampColor(int x, int y) {
    const auto ramp = [](int t) { return std::abs(t % 510 - 255); };
    return qRgb(ramp(x), ramp(y), ramp((x + y) / 2));
}

QImage ramps(const QRect& area) {
    QImage image(area.size(), QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) line[x] = rampColor(area.x() + x, area.y() + y);
    }
    return image;
}

QImage pattern(int width, int height, int seed) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb((x + seed) & 255, y & 255, (x * 7 + y * 3) & 255));
    return image;
}

QImage xorPattern(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) image.setPixel(x, y, qRgb(x, y, x ^ y));
    return image;
}

QImage photoLike(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    std::mt19937 random(7);
    std::uniform_int_distribution<int> noise(-6, 6);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            int r = 255 * x / width + noise(random), g = 255 * y / height + noise(random);
            int b = 60 + 120 * (x + y) / (width + height) + noise(random);
            if ((x / 64 + y / 48) % 7 == 0) r = g = b = 240;
            if ((x / 64 + y / 48) % 7 == 0 && y % 12 < 9 && (x * 7 + y) % 11 < 4) r = g = b = 16;
            row[x] = qRgb(std::clamp(r, 0, 255), std::clamp(g, 0, 255), std::clamp(b, 0, 255));
        }
    }
    return image;
}

QImage photoLikeScene(QSize size) {
    QImage picture(size, QImage::Format_RGB32);
    QPainter painter(&picture);
    QLinearGradient sky(0, 0, 0, size.height());
    sky.setColorAt(0, QColor(40, 90, 170));
    sky.setColorAt(0.55, QColor(235, 180, 120));
    sky.setColorAt(1, QColor(50, 70, 40));
    painter.fillRect(picture.rect(), sky);
    QRadialGradient sun(size.width() * 0.7, size.height() * 0.35, size.height() * 0.3);
    sun.setColorAt(0, QColor(255, 250, 220, 230));
    sun.setColorAt(1, QColor(255, 200, 120, 0));
    painter.fillRect(picture.rect(), sun);
    QRandomGenerator random(20240501);
    for (int i = 0; i < 60; ++i) {
        painter.setBrush(
            QColor::fromHsv(random.bounded(360), 120 + random.bounded(100), 90 + random.bounded(150), 110));
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(QPoint(random.bounded(size.width()), random.bounded(size.height())),
                            20 + random.bounded(160), 20 + random.bounded(120));
    }
    painter.setPen(Qt::white);
    painter.setFont(QFont(QStringLiteral("Sans"), 14));
    for (int line = 0; line < 30; ++line) {
        painter.drawText(
            40, 40 + line * 34,
            QStringLiteral("Kadrel capture benchmark %1: the quick brown fox jumps over the lazy dog")
                .arg(line));
    }
    painter.end();
    // Sensor-like noise, so no run of equal pixels makes a copy cheaper than it is.
    for (int y = 0; y < picture.height(); ++y) {
        auto* pixels = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < picture.width(); ++x) {
            const int n = int(random.bounded(25)) - 12;
            const QRgb p = pixels[x];
            pixels[x] = qRgb(qBound(0, qRed(p) + n, 255), qBound(0, qGreen(p) + n, 255),
                             qBound(0, qBlue(p) + n, 255));
        }
    }
    return picture;
}

QImage desktopFrame(int width, int height, int index) {
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient background(0, 0, width, height);
    background.setColorAt(0, QColor(30 + index % 50, 60, 120));
    background.setColorAt(1, QColor(200, 180, 90 + index % 60));
    painter.fillRect(image.rect(), background);
    painter.setPen(Qt::black);
    for (int i = 0; i < 6; ++i) {
        const QRect panel((i * 97 + index * 7) % std::max(1, width - width / 3),
                          (i * 53) % std::max(1, height - height / 3), width / 3, height / 3);
        painter.fillRect(panel, QColor::fromHsv((i * 60 + index) % 360, 60, 240));
        painter.drawText(
            panel.adjusted(8, 8, -8, -8), Qt::TextWordWrap,
            QStringLiteral("Kadrel frame %1 panel %2 — the quick brown fox jumps over the lazy dog")
                .arg(index)
                .arg(i));
    }
    return image;
}

}  // namespace test_pictures
