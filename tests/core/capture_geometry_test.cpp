#include "core/logic/capture_geometry.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

namespace {

// A frame as the program draws it on a 1920 x 1080 screen: border 4, title bar 19, so the client sits
// at (L + 4, T + 23) and the outer size is the client's plus 8 x 27.
CaptureGeometry frameAt(int left, int top, int cw = 400, int ch = 300) {
    return {QSize(1920, 1080), QRect(left, top, cw + 8, ch + 27), QPoint(left + 4, top + 23), QSize(cw, ch)};
}

TEST(ClipSpan, FollowsBothTablesInOrder) {
    const struct {
        const char* name;
        CaptureGeometry geometry;
        QRect expected;
    } cases[] = {
        {"fully on the screen: the client area", frameAt(100, 100), QRect(104, 123, 400, 300)},
        {"left edge at 1 is not past it", frameAt(1, 100), QRect(5, 123, 400, 300)},
        {"right edge on the screen's: border included", frameAt(1512, 100), QRect(1516, 123, 404, 300)},
        {"right edge past: SW - X wide", frameAt(1700, 100), QRect(1704, 123, 216, 300)},
        {"left exactly 0: X + CW wide from column 0", frameAt(0, 100), QRect(0, 123, 404, 300)},
        {"top past: Y + CH high from row 0", frameAt(100, -50), QRect(104, 0, 400, 273)},
        {"third row, T + CH on SH: down to SH", frameAt(100, 780), QRect(104, 803, 400, 277)},
        {"third row, client below SH but T + CH above", frameAt(100, 770), QRect(104, 793, 400, 300)},
        {"first row, outer bottom on SH: border included", frameAt(1700, 753), QRect(1704, 776, 216, 304)},
        {"first row, outer bottom one short", frameAt(1700, 752), QRect(1704, 775, 216, 300)},
        {"second row, outer bottom past SH", frameAt(-50, 760), QRect(0, 783, 354, 297)},
        {"top-left corner", frameAt(-100, -100), QRect(0, 0, 304, 223)},
        {"top-right corner", frameAt(1700, -100), QRect(1704, 0, 216, 223)},
        {"bottom-right corner", frameAt(1700, 900), QRect(1704, 923, 216, 157)},
        {"bottom-left corner", frameAt(-100, 900), QRect(0, 923, 304, 157)},
        {"larger than the screen", frameAt(-10, -30, 2000, 1200), QRect(-6, -7, 1926, 1087)},
        {"wholly off to the left", frameAt(-1000, 100), QRect()},
        {"wholly off to the right (another monitor)", frameAt(2000, 100), QRect()},
        {"wholly off the top", frameAt(100, -500), QRect()},
        {"wholly off the bottom", frameAt(100, 1200), QRect()},
    };
    for (const auto& c : cases) EXPECT_EQ(clipSpan(c.geometry), c.expected) << c.name;
}

TEST(CaptureGeometryOnScreen, PlacesTheFrameOnThePrimaryScreensImageWhateverTheLayout) {
    // The primary monitor (1920 x 1080) at (1280, 0), right of a 1280 x 1024 one at (0, 0); a frame
    // with a 400 x 300 client as in frameAt.
    const QRect primary(1280, 0, 1920, 1080);
    const struct {
        const char* name;
        PrimaryScreen screen;
        QPoint frameAt;  // desktop coordinates
        CaptureGeometry expected;
        QRect kept;  // clipSpan of the result
    } cases[] = {
        {"primary at the origin",
         {QRect(0, 0, 1920, 1080), 1},
         {100, 100},
         frameAt(100, 100),
         QRect(104, 123, 400, 300)},
        {"frame on the primary at (1280, 0)",
         {primary, 1},
         {1380, 100},
         frameAt(100, 100),
         QRect(104, 123, 400, 300)},
        {"frame across the monitors' edge",
         {primary, 1},
         {1180, 100},
         frameAt(-100, 100),
         QRect(0, 123, 304, 300)},
        {"frame on the other monitor", {primary, 1}, {200, 100}, frameAt(-1080, 100), QRect()},
        {"primary at (1280, 0) at twice the pixels",
         {QRect(1280, 0, 960, 540), 2},
         {1330, 50},
         {QSize(1920, 1080), QRect(100, 100, 816, 654), QPoint(108, 146), QSize(800, 600)},
         QRect(108, 146, 800, 600)},
    };
    for (const auto& c : cases) {
        const CaptureGeometry g = captureGeometryOnScreen(c.screen, QRect(c.frameAt, QSize(408, 327)),
                                                          c.frameAt + QPoint(4, 23), QSize(400, 300));
        EXPECT_EQ(g.screen, c.expected.screen) << c.name;
        EXPECT_EQ(g.window, c.expected.window) << c.name;
        EXPECT_EQ(g.clientOrigin, c.expected.clientOrigin) << c.name;
        EXPECT_EQ(g.client, c.expected.client) << c.name;
        EXPECT_EQ(clipSpan(g), c.kept) << c.name;
    }
}

TEST(CopySpan, FillsWhatLiesOffTheScreenAndReadsNothingThere) {
    // The screen is a view into a larger picture with a guard-coloured border, so that a read outside
    // the screen (or along the wrong row length) shows up in the copy.
    QImage framed(66, 50, QImage::Format_RGB32);
    framed.fill(qRgb(255, 0, 255));
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) framed.setPixel(x + 1, y + 1, qRgb(x * 3, y * 5, 7));
    const QImage screen(framed.constScanLine(1) + 4, 64, 48, framed.bytesPerLine(), QImage::Format_RGB32);
    const QRect sources[] = {{10, 10, 20, 15}, {-5, 10, 20, 15}, {50, 10, 20, 15},  {10, -5, 20, 15},
                             {10, 40, 20, 15}, {-5, -5, 20, 15}, {50, 40, 20, 15},  {-3, -4, 70, 56},
                             {64, 0, 10, 10},  {0, 48, 64, 2},   {-200, 30, 100, 5}};
    for (const QRect& source : sources) {
        for (const QImage& from : {screen, screen.convertToFormat(QImage::Format_RGB888)}) {
            const QImage copy = copySpan(from, source);
            ASSERT_EQ(copy.size(), source.size());
            ASSERT_EQ(copy.format(), QImage::Format_RGB32);
            int wrong = 0;
            for (int y = 0; y < copy.height(); ++y) {
                for (int x = 0; x < copy.width(); ++x) {
                    const QPoint at = source.topLeft() + QPoint(x, y);
                    wrong +=
                        copy.pixel(x, y) != (screen.rect().contains(at) ? screen.pixel(at) : kOutsideScreen);
                }
            }
            EXPECT_EQ(wrong, 0) << source.x() << "," << source.y() << " from format " << from.format();
        }
    }
    EXPECT_TRUE(copySpan(screen, QRect(10, 10, 0, 5)).isNull());
}

TEST(ScaledSize, RoundsUpRefusesTheHugeAndNeverOverflows) {
    constexpr std::int32_t kMaxPercent = std::numeric_limits<std::int32_t>::max();
    const struct {
        QSize size;
        std::int32_t percent;
        std::optional<QSize> expected;
    } cases[] = {{{101, 75}, 50, QSize(51, 38)},
                 {{101, 75}, 100, QSize(101, 75)},
                 {{100, 100}, 1000, QSize(1000, 1000)},
                 {{3, 3}, 33, QSize(1, 1)},
                 {{1920, 1080}, 1000, QSize(19200, 10800)},
                 {{65535, 8192}, 100, QSize(65535, 8192)},
                 {{101, 75}, 0, QSize(0, 0)},
                 {{101, 75}, -50, QSize(0, 0)},
                 {{101, 75}, std::numeric_limits<std::int32_t>::min(), QSize(0, 0)},
                 {{0, 75}, 500, QSize(0, 0)},
                 {{100, 100}, kMaxPercent, std::nullopt},
                 {{1, 1}, kMaxPercent, std::nullopt},
                 {{65536, 1}, 100, std::nullopt},
                 {{65535, 8193}, 100, std::nullopt},
                 {{3840, 2160}, 1000, std::nullopt}};
    for (const auto& c : cases) {
        EXPECT_EQ(scaledSize(c.size, c.percent), c.expected)
            << c.size.width() << "x" << c.size.height() << " at " << c.percent << " %";
    }
}

TEST(StretchNearest, PicksTheFloorOfTheScaledPositionInBothDirections) {
    const struct {
        int from;
        int to;
        std::vector<int> picked;
    } cases[] = {{4, 2, {0, 2}},          {3, 2, {0, 1}},       {5, 3, {0, 1, 3}}, {2, 3, {0, 0, 1}},
                 {2, 5, {0, 0, 0, 1, 1}}, {1, 4, {0, 0, 0, 0}}, {3, 3, {0, 1, 2}}};
    for (const auto& c : cases) {
        for (const QPoint step : {QPoint(1, 0), QPoint(0, 1)}) {
            const QSize along(step.x(), step.y());
            QImage source(QSize(1, 1) + along * (c.from - 1), QImage::Format_RGB32);
            for (int i = 0; i < c.from; ++i) source.setPixel(step * i, qRgb(i, 0, 0));
            const QImage result = stretchNearest(source, QSize(1, 1) + along * (c.to - 1));
            std::vector<int> picked;
            for (int i = 0; i < c.to; ++i) picked.push_back(qRed(result.pixel(step * i)));
            EXPECT_EQ(picked, c.picked) << c.from << " -> " << c.to << (step.y() ? " rows" : " columns");
        }
    }
}

TEST(StretchNearest, RepeatsEachPixelAsABlockFromAnyFormat) {
    QImage source(100, 100, QImage::Format_RGB888);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x) source.setPixel(x, y, qRgb(x, y, (x + y) % 256));
    const QImage result = stretchNearest(source, *scaledSize(source.size(), 1000));
    ASSERT_EQ(result.size(), QSize(1000, 1000));
    ASSERT_EQ(result.format(), QImage::Format_RGB32);
    int wrong = 0;
    for (int y = 0; y < 1000; ++y)
        for (int x = 0; x < 1000; ++x) wrong += result.pixel(x, y) != source.pixel(x / 10, y / 10);
    EXPECT_EQ(wrong, 0);
    EXPECT_TRUE(stretchNearest(source, QSize(0, 10)).isNull());
    EXPECT_TRUE(stretchNearest(QImage(), QSize(10, 10)).isNull());
}

}  // namespace
