#include "video/logic/frame_conversion.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::uint8_t> converted(const QImage& frame, int width, int height, int bits) {
    std::vector<std::uint8_t> buffer(3, 0xee);  // stale bytes must not survive
    convertFrame(frame, width, height, bits, buffer);
    return buffer;
}

TEST(FrameBufferSize, RoundsWidthUpToFourPixelsAndTreatsOtherDepthsAs16) {
    const struct {
        int width, height, bits;
        std::size_t bytes;
    } cases[] = {{320, 240, 16, 153600},
                 {321, 240, 16, 648 * 240},
                 {321, 240, 24, 972 * 240},
                 {640, 480, 16, 614400},
                 {1, 1, 24, 12},
                 {5, 3, 8, 48},
                 {5, 3, 32, 48},
                 {0, 10, 16, 0},
                 {10, -1, 24, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(frameBufferSize(c.width, c.height, c.bits), c.bytes) << c.width << "x" << c.height;
}

TEST(ConvertFrame, Packs555WithTopBitClearAndBgrBytes) {
    const struct {
        QRgb colour;
        std::uint16_t packed;
    } cases[] = {{qRgb(255, 255, 255), 0x7fff}, {qRgb(255, 0, 0), 0x7c00}, {qRgb(0, 255, 0), 0x03e0},
                 {qRgb(0, 0, 255), 0x001f},     {qRgb(8, 16, 24), 0x0443}, {qRgb(7, 7, 7), 0x0000}};
    for (const auto& c : cases) {
        QImage image(1, 1, QImage::Format_RGB32);
        image.fill(c.colour);
        const auto low = converted(image, 1, 1, 16);
        ASSERT_EQ(low.size(), 8u);
        EXPECT_EQ(low[0] | low[1] << 8, c.packed) << std::hex << c.colour;
        const auto high = converted(image, 1, 1, 24);
        ASSERT_EQ(high.size(), 12u);
        EXPECT_EQ(high[0], qBlue(c.colour));
        EXPECT_EQ(high[1], qGreen(c.colour));
        EXPECT_EQ(high[2], qRed(c.colour));
    }
}

// A 5 x 3 picture: rows run bottom-up, every byte outside a pixel (row padding, the tail past the
// DIB) is zero, although the source pixels are never black.
TEST(ConvertFrame, WritesBottomUpPaddedRowsAndZeroesTheRest) {
    constexpr int kWidth = 5, kHeight = 3;
    QImage image(kWidth, kHeight, QImage::Format_ARGB32);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) image.setPixel(x, y, qRgb(40 * x + 8, 80 * y + 8, 200 - 8 * x));
    for (int bits : {16, 24}) {
        const int bpp = bits / 8;
        const std::size_t stride = (kWidth * bpp + 3) / 4 * 4;
        const auto data = converted(image, kWidth, kHeight, bits);
        ASSERT_EQ(data.size(), frameBufferSize(kWidth, kHeight, bits));
        std::vector<bool> pixelByte(data.size(), false);
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                const std::size_t at = std::size_t(kHeight - 1 - y) * stride + std::size_t(x * bpp);
                const QRgb p = image.pixel(x, y);
                if (bits == 16) {
                    EXPECT_EQ(data[at] | data[at + 1] << 8,
                              (qRed(p) >> 3) << 10 | (qGreen(p) >> 3) << 5 | qBlue(p) >> 3);
                } else {
                    EXPECT_EQ(data[at + 2], qRed(p)) << x << "," << y;
                }
                for (int k = 0; k < bpp; ++k) pixelByte[at + std::size_t(k)] = true;
            }
        }
        for (std::size_t i = 0; i < data.size(); ++i)
            if (!pixelByte[i]) {
                EXPECT_EQ(data[i], 0) << bits << " bits, byte " << i;
            }
    }
}

TEST(ConvertFrame, StretchesByNearestPixelAndKeepsANullFrameBlack) {
    QImage source(4, 2, QImage::Format_RGB32);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) source.setPixel(x, y, qRgb(x * 60, y * 100, 0));
    // 24-bit 2 x 3 target: target (x, y) = source (x * 4 / 2, y * 2 / 3); DIB rows of 8 bytes.
    const auto data = converted(source, 2, 3, 24);
    const struct {
        int x, y, sx, sy;
    } cases[] = {{0, 0, 0, 0}, {1, 0, 2, 0}, {1, 1, 2, 0}, {0, 2, 0, 1}, {1, 2, 2, 1}};
    for (const auto& c : cases) {
        const std::size_t at = std::size_t(2 - c.y) * 8 + std::size_t(c.x) * 3;
        EXPECT_EQ(data[at + 2], qRed(source.pixel(c.sx, c.sy))) << c.x << "," << c.y;
        EXPECT_EQ(data[at + 1], qGreen(source.pixel(c.sx, c.sy))) << c.x << "," << c.y;
    }
    const auto black = converted(QImage(), 7, 2, 16);
    EXPECT_EQ(black, std::vector<std::uint8_t>(frameBufferSize(7, 2, 16), 0));
}

}  // namespace
