#include "still/logic/print_layout.h"

#include <gtest/gtest.h>

namespace {

TEST(PrintRectangle, FollowsTheSizeTableAtThePagesTopLeft) {
    const struct {
        const char* name;
        QSize image;
        int percent;
        QSize page;
        QSize expected;
    } cases[] = {
        {"fits at the default 200 %", {300, 200}, 200, {4960, 7016}, {600, 400}},
        {"110 % is a float above 1.1, rounded up", {100, 50}, 110, {4960, 7016}, {111, 56}},
        {"one pixel short of the page still fits", {100, 50}, 110, {111, 56}, {111, 56}},
        {"110 % on a page exactly 110 wide is too wide", {100, 50}, 110, {110, 1000}, {110, 55}},
        {"scaled width equal to the page is too wide", {400, 100}, 200, {800, 1000}, {800, 200}},
        {"too wide only", {1000, 500}, 100, {800, 1200}, {800, 400}},
        {"too wide only, height rounded up", {300, 200}, 1000, {1000, 2000}, {1000, 667}},
        {"too tall only", {500, 1000}, 100, {1200, 800}, {400, 800}},
        {"scaled height equal to the page is too tall", {300, 200}, 100, {1000, 200}, {300, 200}},
        {"both, the width ratio tighter", {1000, 1000}, 1000, {4000, 6000}, {4000, 4000}},
        {"both, the height ratio tighter", {1000, 500}, 1000, {4000, 1000}, {2000, 1000}},
        {"both, equal ratios take the width", {300, 200}, 1000, {1500, 1000}, {1500, 1000}},
        {"1 % of a small image rounds up to a pixel", {10, 10}, 1, {100, 100}, {1, 1}},
        {"an empty image prints nothing", {0, 0}, 200, {100, 100}, {0, 0}},
    };
    for (const auto& c : cases) {
        const QRect r = printRectangle(c.image, c.percent, c.page);
        EXPECT_EQ(r.topLeft(), QPoint(0, 0)) << c.name;
        EXPECT_EQ(r.size(), c.expected) << c.name;
    }
}

TEST(PrintTransferBuffer, RowsAreBottomUpBgrPaddedWithZeros) {
    const int rowBytes[] = {4, 8, 12, 12, 16};
    for (int w = 1; w <= 5; ++w) {
        QImage image(w, 2, QImage::Format_RGB32);
        image.fill(Qt::white);
        image.setPixel(0, 1, qRgb(1, 2, 3));  // the bottom row comes first
        const TransferBuffer b = toTransferBuffer(image);
        ASSERT_EQ(b.rowBytes, rowBytes[w - 1]) << w;
        ASSERT_EQ(b.bits.size(), static_cast<std::size_t>(2 * b.rowBytes)) << w;
        EXPECT_EQ(b.bits[0], 3) << w;
        EXPECT_EQ(b.bits[1], 2) << w;
        EXPECT_EQ(b.bits[2], 1) << w;
        for (int row = 0; row < 2; ++row) {
            for (int i = 3 * w; i < b.rowBytes; ++i) EXPECT_EQ(b.bits[row * b.rowBytes + i], 0) << w;
            if (w > 1) {
                EXPECT_EQ(b.bits[row * b.rowBytes + 3 * w - 1], 255) << w;
            }
        }
    }
    EXPECT_TRUE(toTransferBuffer(QImage()).bits.empty());
}

TEST(PrintTransferBuffer, StretchesByNearestPixelInBands) {
    QImage image(3, 2, QImage::Format_RGB32);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) image.setPixel(x, y, qRgb(10 * x, 100 + y, 0));
    const TransferBuffer b = toTransferBuffer(image);
    const struct {
        QSize target;
        std::vector<QPoint> sourceOfTarget;  // x, y of the source for target columns 0.. and rows 0..
    } cases[] = {
        {{6, 4}, {{0, 0}, {0, 0}, {1, 1}, {1, 1}, {2, -1}, {2, -1}}},  // repeated
        {{2, 1}, {{0, 0}, {1, -1}}},                                   // dropped: floor(dx * 3 / 2)
        {{3, 2}, {{0, 0}, {1, 1}, {2, -1}}},                           // identity
    };
    for (const auto& c : cases) {
        const QImage out = stretchTransfer(b, c.target);
        ASSERT_EQ(out.size(), c.target);
        for (int dx = 0; dx < c.target.width(); ++dx)
            EXPECT_EQ(qRed(out.pixel(dx, 0)), 10 * c.sourceOfTarget[dx].x());
        for (int dy = 0; dy < c.target.height(); ++dy)
            if (c.sourceOfTarget[dy].y() >= 0) {
                EXPECT_EQ(qGreen(out.pixel(0, dy)), 100 + c.sourceOfTarget[dy].y());
            }
    }
    // A band is the same rows of the whole stretch.
    const QImage whole = stretchTransfer(b, {5, 7});
    EXPECT_EQ(stretchTransferRows(b, {5, 7}, 3, 4), whole.copy(0, 3, 5, 4));
    EXPECT_TRUE(stretchTransferRows(b, {5, 7}, 5, 3).isNull());
    EXPECT_TRUE(stretchTransfer(b, {0, 4}).isNull());
}

}  // namespace
