#include "still/logic/capture_geometry.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

namespace {

constexpr QSize kScreen(1920, 1080);

// A frame as the program draws it: border 4, title bar 19, so the client sits at (L + 4, T + 23).
CaptureGeometry frameAt(int left, int top, int cw = 400, int ch = 300) {
    return {kScreen, QRect(left, top, cw + 8, ch + 27), QPoint(left + 4, top + 23), QSize(cw, ch)};
}

struct SpanCase {
    const char* name;
    CaptureGeometry geometry;
    QRect expected;
};

TEST(ClipSpan, FollowsBothTablesInOrder) {
    const SpanCase cases[] = {
        {"fully on the screen: the client area", frameAt(100, 100), QRect(104, 123, 400, 300)},
        {"left edge at 1 is not past it", frameAt(1, 100), QRect(5, 123, 400, 300)},
        {"right edge one short of the screen's", frameAt(1511, 100), QRect(1515, 123, 400, 300)},
        {"right edge on the screen's: border included", frameAt(1512, 100), QRect(1516, 123, 404, 300)},
        {"right edge past: SW - X wide", frameAt(1700, 100), QRect(1704, 123, 216, 300)},
        {"left exactly 0: X + CW wide from column 0", frameAt(0, 100), QRect(0, 123, 404, 300)},
        {"left past", frameAt(-100, 100), QRect(0, 123, 304, 300)},
        {"top past: Y + CH high from row 0", frameAt(100, -50), QRect(104, 0, 400, 273)},
        {"client top exactly on row 0", frameAt(100, -23), QRect(104, 0, 400, 300)},
        {"third row, T + CH on SH: down to SH", frameAt(100, 780), QRect(104, 803, 400, 277)},
        {"third row, client below SH but T + CH above", frameAt(100, 770), QRect(104, 793, 400, 300)},
        {"first row, outer bottom past SH", frameAt(1700, 760), QRect(1704, 783, 216, 297)},
        {"first row, outer bottom on SH: border included", frameAt(1700, 753), QRect(1704, 776, 216, 304)},
        {"first row, outer bottom one short", frameAt(1700, 752), QRect(1704, 775, 216, 300)},
        {"second row, outer bottom past SH", frameAt(-50, 760), QRect(0, 783, 354, 297)},
        {"top-left corner", frameAt(-100, -100), QRect(0, 0, 304, 223)},
        {"top-right corner", frameAt(1700, -100), QRect(1704, 0, 216, 223)},
        {"bottom-right corner", frameAt(1700, 900), QRect(1704, 923, 216, 157)},
        {"bottom-left corner", frameAt(-100, 900), QRect(0, 923, 304, 157)},
        {"larger than the screen keeps its off-screen start", frameAt(-10, -30, 2000, 1200),
         QRect(-6, -7, 1926, 1087)},
        {"wholly off to the left", frameAt(-1000, 100), QRect()},
        {"wholly off to the right (another monitor)", frameAt(2000, 100), QRect()},
        {"wholly off the top", frameAt(100, -500), QRect()},
        {"wholly off the bottom", frameAt(100, 1200), QRect()},
    };
    for (const SpanCase& c : cases) EXPECT_EQ(clipSpan(c.geometry), c.expected) << c.name;
}

// A small screen of distinct pixels, seen through a view whose rows are longer than the image and
// whose surroundings are a guard colour: a read outside the image shows up in the result.
class ScreenView {
public:
    static constexpr QRgb kGuard = 0xffff00ffu;
    ScreenView() : m_buffer(std::size_t(kStride) * (kHeight + 2), kGuard) {
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) m_buffer[std::size_t(y + 1) * kStride + x + 1] = pixel(x, y);
    }
    QImage image() const {
        return QImage(reinterpret_cast<const uchar*>(&m_buffer[kStride + 1]), kWidth, kHeight, kStride * 4,
                      QImage::Format_RGB32);
    }
    static QRgb pixel(int x, int y) { return qRgb(x * 3, y * 5, 7); }
    static constexpr int kWidth = 64;
    static constexpr int kHeight = 48;

private:
    static constexpr int kStride = kWidth + 3;
    std::vector<QRgb> m_buffer;
};

TEST(CopySpan, FillsWhatLiesOffTheScreenAndReadsNothingThere) {
    const ScreenView view;
    const QImage screen = view.image();
    const QRect sources[] = {
        {10, 10, 20, 15}, {-5, 10, 20, 15},   {50, 10, 20, 15}, {10, -5, 20, 15},
        {10, 40, 20, 15}, {-5, -5, 20, 15},   {50, 40, 20, 15}, {-3, -4, 70, 56},
        {64, 0, 10, 10},  {-10, -10, 10, 10}, {0, 48, 64, 2},   {-200, 30, 100, 5},
    };
    for (const QRect& source : sources) {
        for (const QImage& from : {screen, screen.convertToFormat(QImage::Format_RGB888)}) {
            const QImage copy = copySpan(from, source);
            ASSERT_EQ(copy.size(), source.size());
            ASSERT_EQ(copy.format(), QImage::Format_RGB32);
            int wrong = 0;
            for (int y = 0; y < copy.height(); ++y) {
                for (int x = 0; x < copy.width(); ++x) {
                    const QPoint at = source.topLeft() + QPoint(x, y);
                    const QRgb expected =
                        screen.rect().contains(at) ? ScreenView::pixel(at.x(), at.y()) : kOutsideScreen;
                    wrong += copy.pixel(x, y) != expected;
                }
            }
            EXPECT_EQ(wrong, 0) << "source " << source.x() << "," << source.y() << " " << source.width()
                                << "x" << source.height() << " from format " << from.format();
        }
    }
    EXPECT_TRUE(copySpan(screen, QRect()).isNull());
    EXPECT_TRUE(copySpan(screen, QRect(10, 10, 0, 5)).isNull());
}

struct ScaleCase {
    QSize size;
    std::int32_t percent;
    std::optional<QSize> expected;
};

TEST(ScaledSize, RoundsUpRefusesTheHugeAndNeverOverflows) {
    constexpr std::int32_t kMaxPercent = std::numeric_limits<std::int32_t>::max();
    constexpr int kMaxInt = std::numeric_limits<int>::max();
    const ScaleCase cases[] = {
        {{101, 75}, 50, QSize(51, 38)},
        {{101, 75}, 100, QSize(101, 75)},
        {{100, 100}, 1000, QSize(1000, 1000)},
        {{3, 3}, 33, QSize(1, 1)},
        {{1, 1}, 1, QSize(1, 1)},
        {{1920, 1080}, 1000, QSize(19200, 10800)},
        {{65535, 8192}, 100, QSize(65535, 8192)},
        {{101, 75}, 0, QSize(0, 0)},
        {{101, 75}, -50, QSize(0, 0)},
        {{101, 75}, std::numeric_limits<std::int32_t>::min(), QSize(0, 0)},
        {{0, 75}, 500, QSize(0, 0)},
        {{100, 100}, kMaxPercent, std::nullopt},
        {{1, 1}, kMaxPercent, std::nullopt},
        {{kMaxInt, kMaxInt}, 100, std::nullopt},
        {{65536, 1}, 100, std::nullopt},
        {{65535, 8193}, 100, std::nullopt},
        {{3840, 2160}, 1000, std::nullopt},
    };
    for (const ScaleCase& c : cases) {
        EXPECT_EQ(scaledSize(c.size, c.percent), c.expected)
            << c.size.width() << "x" << c.size.height() << " at " << c.percent << " %";
    }
}

// One row (or column) of distinct pixels, stretched: which source pixels land where.
struct StretchCase {
    int from;
    int to;
    std::vector<int> picked;
};

TEST(StretchNearest, PicksTheFloorOfTheScaledPositionInBothDirections) {
    const StretchCase cases[] = {
        {4, 2, {0, 2}},          {3, 2, {0, 1}},       {5, 3, {0, 1, 3}}, {2, 3, {0, 0, 1}},
        {2, 5, {0, 0, 0, 1, 1}}, {1, 4, {0, 0, 0, 0}}, {3, 3, {0, 1, 2}},
    };
    for (const StretchCase& c : cases) {
        for (const bool vertical : {false, true}) {
            QImage source(vertical ? QSize(1, c.from) : QSize(c.from, 1), QImage::Format_RGB32);
            for (int i = 0; i < c.from; ++i)
                source.setPixel(vertical ? QPoint(0, i) : QPoint(i, 0), qRgb(i, 0, 0));
            const QImage result = stretchNearest(source, vertical ? QSize(1, c.to) : QSize(c.to, 1));
            ASSERT_EQ(result.format(), QImage::Format_RGB32);
            std::vector<int> picked;
            for (int i = 0; i < c.to; ++i)
                picked.push_back(qRed(result.pixel(vertical ? QPoint(0, i) : QPoint(i, 0))));
            EXPECT_EQ(picked, c.picked) << c.from << " -> " << c.to << (vertical ? " rows" : " columns");
        }
    }
}

TEST(StretchNearest, RepeatsEachPixelAsABlockAndAcceptsOtherFormats) {
    QImage source(100, 100, QImage::Format_RGB888);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x) source.setPixel(x, y, qRgb(x, y, (x + y) % 256));
    const QImage result = stretchNearest(source, *scaledSize(source.size(), 1000));
    ASSERT_EQ(result.size(), QSize(1000, 1000));
    int wrong = 0;
    for (int y = 0; y < 1000; ++y)
        for (int x = 0; x < 1000; ++x) wrong += result.pixel(x, y) != source.pixel(x / 10, y / 10);
    EXPECT_EQ(wrong, 0);

    EXPECT_TRUE(stretchNearest(source, QSize(0, 10)).isNull());
    EXPECT_TRUE(stretchNearest(QImage(), QSize(10, 10)).isNull());
}

}  // namespace
