#include "platform/screen_grabber.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QWindow>
#include <functional>
#include <string>
#include <vector>

#include "fakes/x11_test_support.h"

namespace {

using Picture = std::function<QRgb(int, int)>;

// Where image differs from the picture (alpha included: a grab promises opaque pixels); empty if nowhere.
std::string firstDifference(const QImage& image, const Picture& picture) {
    if (image.format() != QImage::Format_RGB32) return "format " + std::to_string(image.format());
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (line[x] != picture(x, y)) {
                return "at " + std::to_string(x) + "," + std::to_string(y) + ": " + std::to_string(line[x]) +
                       " instead of " + std::to_string(picture(x, y));
            }
        }
    }
    return {};
}

QRgb backdropPixel(int x, int y) { return Backdrop::colorAt(x, y).rgb(); }

// The backdrop with black windows of another client over it (the X server paints their background, so
// nothing of ours sets the pad byte of those pixels).
Picture backdropUnder(const std::vector<QRect>& windows) {
    return [windows](int x, int y) {
        for (const QRect& w : windows)
            if (w.contains(x, y)) return qRgb(0, 0, 0);
        return backdropPixel(x, y);
    };
}

class ScreenGrabberTest : public testing::Test {
protected:
    void SetUp() override {
        m_backdrop.show();
        ASSERT_TRUE(waitUntil([] { return firstDifference(grabScreen(), backdropPixel).empty(); }, 5000));
    }

    Backdrop m_backdrop;
};

TEST_F(ScreenGrabberTest, BothRoutesGrabTheWholeScreenAsShown) {
    OtherClient other;
    const std::vector<QRect> windows = {QRect(200, 150, 64, 48)};
    other.showWindow(windows.front());
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
    }
}

TEST_F(ScreenGrabberTest, KeptImagesStayAsGrabbedWhileTheScreenChanges) {
    OtherClient other;
    ScreenGrabber grabber;
    QImage reused;  // handed back to every grab, as the capture commands do
    std::vector<QImage> kept;
    std::vector<QRect> windows;
    // More grabs than the grabber keeps segments for, so the slower route is kept too.
    for (int i = 0; i < 7; ++i) {
        windows.push_back(QRect(40 + 90 * i, 60, 50, 40));
        other.showWindow(windows.back());
        ASSERT_TRUE(grabber.grab(reused));
        kept.push_back(reused);
    }
    for (std::size_t i = 0; i < kept.size(); ++i) {
        const std::vector<QRect> shownThen(windows.begin(), windows.begin() + i + 1);
        EXPECT_EQ(firstDifference(kept[i], backdropUnder(shownThen)), "") << "grab " << i;
    }
    // Once the images are let go, grabs come from shared memory again.
    kept.clear();
    ASSERT_TRUE(grabber.grab(reused));
    EXPECT_TRUE(grabber.usesSharedMemory());
    EXPECT_EQ(firstDifference(reused, backdropUnder(windows)), "");
}

TEST_F(ScreenGrabberTest, ChangesToAnImageStayInItAndOutOfLaterGrabs) {
    const QRgb red = qRgb(255, 0, 0);
    const QRgb blue = qRgb(0, 0, 255);
    const auto changed = [](std::vector<std::pair<QPoint, QRgb>> changes) -> Picture {
        return [changes](int x, int y) {
            for (const auto& [at, colour] : changes)
                if (at == QPoint(x, y)) return colour;
            return backdropPixel(x, y);
        };
    };
    QImage alone;
    QImage shared;
    QImage later;
    {
        ScreenGrabber grabber;
        ASSERT_TRUE(grabber.grab(alone));
        alone.setPixel(5, 5, red);  // its only holder writes
        shared = alone;
        shared.setPixel(6, 6, blue);  // a second holder writes
        ASSERT_TRUE(grabber.grab(later));
        EXPECT_EQ(firstDifference(later, backdropPixel), "");
        // The changed images let go: their memory is grabbed into again, and shows the screen only.
        alone = QImage();
        shared = QImage();
        ASSERT_TRUE(grabber.grab(alone));
        ASSERT_TRUE(grabber.grab(shared));
        EXPECT_EQ(firstDifference(alone, backdropPixel), "");
        EXPECT_EQ(firstDifference(shared, backdropPixel), "");
        alone.setPixel(5, 5, red);
        shared = alone;
        shared.setPixel(6, 6, blue);
    }
    // The grabber is gone; its images stay readable and writable.
    EXPECT_EQ(firstDifference(alone, changed({{QPoint(5, 5), red}})), "");
    EXPECT_EQ(firstDifference(shared, changed({{QPoint(5, 5), red}, {QPoint(6, 6), blue}})), "");
    EXPECT_EQ(firstDifference(later, backdropPixel), "");
    later.fill(blue);
    EXPECT_EQ(later.pixel(0, 0), blue);
}

// On a desktop scaled by 2 the grab is still the whole screen in device pixels. Qt reads the scale at
// start-up, so this runs the test program again with the scale set and checks the run there.
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
        EXPECT_EQ(image.size(), shown.size());
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
