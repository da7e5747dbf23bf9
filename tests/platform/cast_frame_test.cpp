// The copy of a stream's frame into a picture: every pixel order the stream may send, strides wider
// than the rows, the crop region, and buffers too small for what they claim; and which kept frame a
// recording's tick takes.
#include "platform/portal/cast_frame.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QImage>
#include <cstring>
#include <optional>
#include <vector>

namespace {

// The colour of the buffer's pixel (x, y), different at every place.
QRgb colourAt(int x, int y) { return qRgb((x * 40 + y) & 255, (y * 30 + 7) & 255, (x * y + 90) & 255); }

// A buffer of width x height pixels in the given byte order, rows stride bytes apart; the x or alpha
// byte is junk (0x5a), which the copy must not keep.
QByteArray buffer(CastPixelOrder order, int width, int height, int stride) {
    QByteArray bytes(qsizetype(stride) * height, char(0x33));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const QRgb c = colourAt(x, y);
            const bool rgb = order == CastPixelOrder::RGBx || order == CastPixelOrder::RGBA;
            const char pixel[4] = {char(rgb ? qRed(c) : qBlue(c)), char(qGreen(c)),
                                   char(rgb ? qBlue(c) : qRed(c)), char(0x5a)};
            std::memcpy(bytes.data() + qsizetype(y) * stride + x * 4, pixel, 4);
        }
    return bytes;
}

struct CopyCase {
    const char* what;
    CastPixelOrder order;
    int width, height, stride;
    QRect region;
};

TEST(CastFrame, CopiesEveryPixelOrderStrideAndRegionOpaque) {
    const CopyCase cases[] = {
        {"BGRx, tight rows", CastPixelOrder::BGRx, 7, 5, 28, QRect(0, 0, 7, 5)},
        {"BGRA, padded rows", CastPixelOrder::BGRA, 7, 5, 40, QRect(0, 0, 7, 5)},
        {"RGBx, padded rows", CastPixelOrder::RGBx, 7, 5, 32, QRect(0, 0, 7, 5)},
        {"RGBA, tight rows", CastPixelOrder::RGBA, 7, 5, 28, QRect(0, 0, 7, 5)},
        {"BGRx, a crop region", CastPixelOrder::BGRx, 9, 6, 44, QRect(2, 1, 5, 4)},
        {"RGBA, a crop region at the far corner", CastPixelOrder::RGBA, 9, 6, 36, QRect(4, 3, 5, 3)},
        {"BGRx, a stride that breaks word alignment", CastPixelOrder::BGRx, 3, 4, 13, QRect(0, 0, 3, 4)},
    };
    for (const CopyCase& c : cases) {
        SCOPED_TRACE(c.what);
        const QByteArray bytes = buffer(c.order, c.width, c.height, c.stride);
        // The last row is as short as its pixels: the copy must not read a whole stride there.
        const qsizetype used = qsizetype(c.height - 1) * c.stride + c.width * 4;
        QImage target;
        ASSERT_TRUE(copyCastFrame(reinterpret_cast<const uchar*>(bytes.constData()), used, c.stride, c.order,
                                  c.region, target));
        ASSERT_EQ(target.format(), QImage::Format_RGB32);
        ASSERT_EQ(target.size(), c.region.size());
        for (int y = 0; y < c.region.height(); ++y)
            for (int x = 0; x < c.region.width(); ++x)
                ASSERT_EQ(target.pixel(x, y), colourAt(c.region.x() + x, c.region.y() + y) | 0xff000000u)
                    << "at " << x << "," << y;
    }
}

TEST(CastFrame, RefusesRegionsTheBufferDoesNotHold) {
    const QByteArray bytes = buffer(CastPixelOrder::BGRx, 4, 4, 16);
    const auto* bits = reinterpret_cast<const uchar*>(bytes.constData());
    const struct {
        const char* what;
        qsizetype size, stride;
        QRect region;
    } cases[] = {
        {"a buffer one byte short", 63, 16, QRect(0, 0, 4, 4)},
        {"a stride shorter than the row", 64, 12, QRect(0, 0, 4, 4)},
        {"a region right of the rows", 64, 16, QRect(1, 0, 4, 4)},
        {"a region below the buffer", 64, 16, QRect(0, 1, 4, 4)},
        {"a region left of the buffer", 64, 16, QRect(-1, 0, 2, 2)},
        {"an empty region", 64, 16, QRect(0, 0, 0, 4)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QImage target(2, 2, QImage::Format_RGB32);
        target.fill(Qt::red);
        EXPECT_FALSE(copyCastFrame(bits, c.size, c.stride, CastPixelOrder::BGRx, c.region, target));
        EXPECT_EQ(target.size(), QSize(2, 2));
        EXPECT_EQ(target.pixel(0, 0), QColor(Qt::red).rgb());
    }
}

// The frame handed out before stays as it was when the next one is copied into the same place.
TEST(CastFrame, LeavesAPictureSomeoneHoldsAlone) {
    const QByteArray first = buffer(CastPixelOrder::BGRx, 4, 4, 16);
    QByteArray second = first;
    second.fill(char(0x10));
    QImage target;
    ASSERT_TRUE(copyCastFrame(reinterpret_cast<const uchar*>(first.constData()), 64, 16, CastPixelOrder::BGRx,
                              QRect(0, 0, 4, 4), target));
    const QImage held = target;
    ASSERT_TRUE(copyCastFrame(reinterpret_cast<const uchar*>(second.constData()), 64, 16,
                              CastPixelOrder::BGRx, QRect(0, 0, 4, 4), target));
    EXPECT_EQ(held.pixel(3, 3), colourAt(3, 3) | 0xff000000u);
    EXPECT_EQ(target.pixel(3, 3), qRgb(0x10, 0x10, 0x10));
    // Nobody holds it now: the next copy goes into the same pixels.
    const uchar* reused = target.constBits();
    ASSERT_TRUE(copyCastFrame(reinterpret_cast<const uchar*>(first.constData()), 64, 16, CastPixelOrder::BGRx,
                              QRect(0, 0, 4, 4), target));
    EXPECT_EQ(target.constBits(), reused);
}

// Ticks and frames that beat against each other: each tick names the frames delivered before it and
// the frame it must get. Frame n is a picture of width n.
TEST(RecentFrames, ATickTakesTheFrameAfterItsLastOneAndNeverFallsTwoBehind) {
    struct Tick {
        int deliveredBefore;
        quint64 expected;
    };
    const Tick ticks[] = {
        {0, 0},          // nothing yet: a null picture
        {1, 1}, {1, 1},  // the screen did not change: the same frame again
        {3, 2},          // two came between the ticks: the older first...
        {3, 3},          // ...then the newer, not lost
        {6, 5},          // three came: one is lost, the tick stays one behind
        {7, 6}, {7, 7},
    };
    RecentFrames<quint64> frames;  // a frame is its own number
    quint64 taken = 0;
    std::vector<quint64> letGo;
    for (const Tick& tick : ticks) {
        while (frames.delivered() < quint64(tick.deliveredBefore)) {
            if (const std::optional<quint64> out = frames.push(frames.delivered() + 1)) letGo.push_back(*out);
        }
        const quint64* frame = frames.after(taken, taken);
        SCOPED_TRACE(tick.deliveredBefore);
        EXPECT_EQ(taken, tick.expected);
        EXPECT_EQ(frame ? *frame : 0, tick.expected);
        EXPECT_EQ(frames.newest() ? *frames.newest() : 0, quint64(tick.deliveredBefore));
    }
    // Each frame is let go once, when two newer ones came; the last two are still kept.
    EXPECT_EQ(letGo, (std::vector<quint64>{1, 2, 3, 4, 5}));
    EXPECT_EQ(*frames.kept()[0], 7u);
    EXPECT_EQ(*frames.kept()[1], 6u);
    EXPECT_EQ(frames.takeAll().size(), 2u);
    EXPECT_EQ(frames.newest(), nullptr);
    EXPECT_EQ(frames.delivered(), 7u);
}

}  // namespace
