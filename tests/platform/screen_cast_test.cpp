// The screen cast against a real GNOME Wayland session: the monitor chooser passed once, a picture of
// our own on the screen found in the stream's frames, a changed picture in a later frame, and a second
// cast that starts with the token without a chooser. Runs only where KADREL_GNOME_SESSION names a
// session of scripts/wayland/gnome-session that this test runs in, as its user:
//   gnome-session run DIR env KADREL_GNOME_SESSION=DIR build/tests/test_platform
//   --gtest_filter='ScreenCastSession.*'
#include "platform/portal/screen_cast.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QPainter>
#include <QProcess>
#include <QTest>
#include <QWidget>
#include <cstdio>

namespace {

// The probes' picture, every small patch unlike its neighbours so that an offset shows; variant 1 is
// its negative.
QImage picture(int variant) {
    QImage image(320, 240, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = qRgb((x * 7 + y * 3) & 255, (y * 5 + (x >> 3) * 16) & 255, (x ^ y) & 255);
            image.setPixel(x, y, variant ? (~c | 0xff000000u) : c);
        }
    return image;
}

// A window the window manager leaves where it is put, above everything, showing a picture.
class PictureWindow : public QWidget {
public:
    explicit PictureWindow(QPoint at) {
        setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint |
                       Qt::WindowStaysOnTopHint);
        setAttribute(Qt::WA_OpaquePaintEvent);
        setGeometry(QRect(at, QSize(320, 240)));
    }
    void setPicture(const QImage& image) {
        image_ = image;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).drawImage(0, 0, image_); }

private:
    QImage image_;
};

bool showsPicture(const QImage& frame, QPoint at, const QImage& image) {
    if (frame.isNull() || !frame.rect().contains(QRect(at, image.size()))) return false;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((frame.pixel(at.x() + x, at.y() + y) & 0xffffff) != (image.pixel(x, y) & 0xffffff))
                return false;
    return true;
}

// The serial of the first frame that shows the picture at its place, or 0 when none does in time. The
// window is repainted while waiting: the desktop sends a frame only for a change it has seen.
quint64 waitForPicture(ScreenCast& cast, PictureWindow& window, QPoint at, const QImage& image,
                       int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        quint64 serial = 0;
        if (showsPicture(cast.latestFrame(&serial), at, image)) return serial;
        if (deadline.hasExpired() || cast.streamFailed()) return 0;
        window.repaint();
        cast.waitForFrame(serial, int(qMin<qint64>(500, deadline.remainingTime())));
    }
}

class ScreenCastSession : public testing::Test {
protected:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("KADREL_GNOME_SESSION"))
            GTEST_SKIP() << "KADREL_GNOME_SESSION names no running GNOME session";
    }

    // The fixture's helper waits for the monitor chooser and passes it, while start() waits for the
    // portal's answer.
    static void passChooser(QProcess& helper) {
        helper.setProcessChannelMode(QProcess::ForwardedChannels);
        helper.start(QStringLiteral("python3"),
                     {QStringLiteral("-c"),
                      QStringLiteral(
                          "import sys; sys.path.insert(0, '%1/scripts/wayland'); import probe_common as pc; "
                          "print('chooser passed in %.2f s' % pc.pass_chooser(pc.session_bus()))")
                          .arg(QStringLiteral(KADREL_SOURCE_DIR))});
    }
};

TEST_F(ScreenCastSession, ShowsTheScreenAndStartsAgainWithItsToken) {
    const QPoint at(40, 60);
    PictureWindow window(at);
    window.setPicture(picture(0));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    QString token;
    {
        ScreenCast cast;
        QProcess helper;
        passChooser(helper);
        QElapsedTimer took;
        took.start();
        ASSERT_EQ(cast.start(QString(), 90000), ScreenCast::Outcome::Started);
        std::printf("start with the chooser: %lld ms\n", took.elapsed());
        // The helper may have ended while start() waited.
        ASSERT_TRUE(helper.state() == QProcess::NotRunning || helper.waitForFinished(30000));
        EXPECT_EQ(helper.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(helper.exitCode(), 0);
        token = cast.restoreToken();
        EXPECT_FALSE(token.isEmpty());

        ASSERT_TRUE(cast.waitForFirstFrame(10000));
        EXPECT_EQ(cast.latestFrame().size(), QSize(1920, 1080));
        EXPECT_EQ(cast.latestFrame().format(), QImage::Format_RGB32);
        const quint64 first = waitForPicture(cast, window, at, picture(0), 10000);
        ASSERT_GT(first, 0u);
        window.setPicture(picture(1));
        const quint64 changed = waitForPicture(cast, window, at, picture(1), 10000);
        EXPECT_GT(changed, first);
        EXPECT_FALSE(cast.streamFailed());

        cast.stop();
        cast.stop();
        quint64 kept = 0;
        EXPECT_TRUE(showsPicture(cast.latestFrame(&kept), at, picture(1)));
        EXPECT_GE(kept, changed);
    }

    // Nothing passes a chooser now: a start that asked would run out of time.
    ScreenCast again;
    QElapsedTimer took;
    took.start();
    ASSERT_EQ(again.start(token, 30000), ScreenCast::Outcome::Started);
    std::printf("start with the token: %lld ms\n", took.elapsed());
    EXPECT_FALSE(again.restoreToken().isEmpty());
    window.setPicture(picture(0));
    EXPECT_GT(waitForPicture(again, window, at, picture(0), 10000), 0u);
}

}  // namespace
