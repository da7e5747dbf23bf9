#include "platform/x11/screen_grabber.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QWindow>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "fakes/x11_test_support.h"

namespace {

using Picture = std::function<QRgb(int, int)>;

// Where image differs from the picture, alpha included (a grab promises opaque pixels); empty if nowhere.
std::string firstDifference(const QImage& image, const Picture& picture) {
    if (image.format() != QImage::Format_RGB32) return "format " + std::to_string(image.format());
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (line[x] != picture(x, y)) return "at " + std::to_string(x) + "," + std::to_string(y);
        }
    }
    return {};
}

// The backdrop with black windows of another client over it; the X server paints those itself and
// leaves their pad byte 0, so they also show whether the grab makes pixels opaque.
Picture backdropUnder(const std::vector<QRect>& windows, QPoint red = {-1, -1}) {
    return [=](int x, int y) {
        if (QPoint(x, y) == red) return qRgb(255, 0, 0);
        for (const QRect& w : windows)
            if (w.contains(x, y)) return qRgb(0, 0, 0);
        return Backdrop::colorAt(x, y).rgb();
    };
}

class ScreenGrabberTest : public testing::Test {
protected:
    void SetUp() override {
        m_backdrop.show();
        ASSERT_TRUE(waitUntil([] { return firstDifference(grabScreen(), backdropUnder({})).empty(); }));
    }
    Backdrop m_backdrop;
    OtherClient m_other;
};

TEST_F(ScreenGrabberTest, BothRoutesGrabTheWholeScreenAsShown) {
    // One of them a single column, which no row check may overlook.
    const std::vector<QRect> windows = {QRect(200, 150, 64, 48), QRect(205, 300, 1, 20)};
    for (const QRect& window : windows) m_other.showWindow(window);
    const QSize shown = grabScreen().size();
    for (const auto method : {ScreenGrabber::GrabMethod::Auto, ScreenGrabber::GrabMethod::GetImage}) {
        const bool shared = method == ScreenGrabber::GrabMethod::Auto;
        ScreenGrabber grabber(method);
        QImage image;
        ASSERT_TRUE(grabber.grab(image)) << "shared memory " << shared;
        EXPECT_EQ(grabber.usesSharedMemory(), shared);
        EXPECT_EQ(grabber.screenSize(), shown);
        EXPECT_EQ(image.size(), shown);
        EXPECT_EQ(firstDifference(image, backdropUnder(windows)), "") << "shared memory " << shared;
        // A part of the screen, including its last pixel; a part that leaves the screen is refused.
        const QRect area(190, 140, shown.width() - 190, 200);
        ASSERT_TRUE(grabber.grab(image, area)) << "shared memory " << shared;
        EXPECT_EQ(image.size(), area.size());
        const Picture under = backdropUnder(windows);
        EXPECT_EQ(firstDifference(image, [&](int x, int y) { return under(x + 190, y + 140); }), "");
        EXPECT_FALSE(grabber.grab(image, area.translated(1, 0)));
        EXPECT_TRUE(image.isNull());
    }
}

TEST_F(ScreenGrabberTest, ImagesKeepTheirPixelsAndChangesAcrossLaterGrabs) {
    std::vector<QImage> kept;
    std::vector<QRect> windows;
    QImage reused;  // handed back to every grab, as the capture commands do
    {
        ScreenGrabber grabber;
        // More held images than the grabber keeps segments for, each changed by its only holder, while
        // the screen changes between the grabs.
        for (int i = 0; i < 7; ++i) {
            windows.push_back(QRect(40 + 90 * i, 60, 50, 40));
            m_other.showWindow(windows.back());
            ASSERT_TRUE(grabber.grab(reused));
            kept.push_back(std::exchange(reused, QImage()));
            kept.back().setPixel(i, 0, qRgb(255, 0, 0));
        }
        for (int i = 0; i < 7; ++i) {
            const std::vector<QRect> shownThen(windows.begin(), windows.begin() + i + 1);
            EXPECT_EQ(firstDifference(kept[i], backdropUnder(shownThen, QPoint(i, 0))), "") << "grab " << i;
        }
        // Let go, their memory is grabbed into again and shows the screen alone.
        kept.clear();
        for (int i = 0; i < 7; ++i) {
            ASSERT_TRUE(grabber.grab(reused));
            kept.push_back(reused);
            EXPECT_EQ(firstDifference(reused, backdropUnder(windows)), "") << "grab " << i;
        }
        kept.clear();
        ASSERT_TRUE(grabber.grab(reused));
        EXPECT_TRUE(grabber.usesSharedMemory());
        // A second holder's change stays in its own copy.
        QImage copy = reused;
        copy.setPixel(3, 3, qRgb(255, 0, 0));
    }
    // The grabber is gone; its images stay readable and writable.
    EXPECT_EQ(firstDifference(reused, backdropUnder(windows)), "");
    reused.setPixel(2, 0, qRgb(255, 0, 0));
    EXPECT_EQ(firstDifference(reused, backdropUnder(windows, QPoint(2, 0))), "");
}

// On a desktop scaled by 2 the grab is still the whole screen in device pixels. Qt reads the scale at
// start-up, so the test program runs this test again with the scale set.
TEST(ScreenGrabberScaled, GrabsDevicePixelsOnAScaledDesktop) {
    if (qEnvironmentVariableIsSet("KADREL_SCALED_GRAB_RUN")) {
        ASSERT_EQ(QGuiApplication::primaryScreen()->devicePixelRatio(), 2.0);
        Backdrop backdrop;
        backdrop.show();
        ASSERT_TRUE(
            waitUntil([&] { return backdrop.windowHandle() && backdrop.windowHandle()->isExposed(); }));
        const QImage shown = grabScreen();
        ScreenGrabber grabber;
        QImage image;
        ASSERT_TRUE(grabber.grab(image));
        EXPECT_EQ(grabber.screenSize(), shown.size());
        EXPECT_EQ(firstDifference(image, [&](int x, int y) { return shown.pixel(x, y); }), "");
        return;
    }
    QProcess run;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_SCALE_FACTOR"), QStringLiteral("2"));
    environment.insert(QStringLiteral("KADREL_SCALED_GRAB_RUN"), QStringLiteral("1"));
    run.setProcessEnvironment(environment);
    run.setProcessChannelMode(QProcess::MergedChannels);
    run.start(QCoreApplication::applicationFilePath(),
              {QStringLiteral("--gtest_filter=ScreenGrabberScaled.GrabsDevicePixelsOnAScaledDesktop")});
    ASSERT_TRUE(run.waitForFinished(60000));
    const QByteArray output = run.readAll();
    EXPECT_EQ(run.exitCode(), 0) << output.constData();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.constData();
}

}  // namespace
