#pragma once

#include <QImage>
#include <algorithm>

#include "core/logic/capture_geometry.h"
#include "platform/x11/screen_grabber.h"

class ShapedFrame;
struct Settings;

// The screen under the frame, as every capture takes it: the geometry at the moment of the grab,
// the grabs themselves, the clipping to the screen and the scaling. The frame window owns one; the
// still, print, interval and video commands share it. It keeps no picture: each grab is handed to
// its caller, whose image alone holds the grabber's memory.
class ScreenCapture {
public:
    ScreenCapture(ScreenGrabber& grabber, const Settings& settings, const ShapedFrame& frame);

    // The frame's geometry now, in device pixels.
    CaptureGeometry geometry() const;
    // The whole screen as it is now; null when the grab fails.
    QImage grabWholeScreen();
    // The capture rectangle alone, read straight from the screen when it lies wholly on it, else cut
    // from a grab of the whole screen.
    QImage grabClientArea();
    // The capture rectangle cut from screen, unclipped: what lies off the screen stays black.
    QImage captureRectangle(const QImage& screen) const;
    // The capture rectangle of the frame now, or of at, clipped to the screen and cut from screen.
    QImage clipToScreen(const QImage& screen) const { return clipToScreen(screen, geometry()); }
    static QImage clipToScreen(const QImage& screen, const CaptureGeometry& at);
    // Scales bitmap in place by ScalePercent; false when the scaled image cannot be made.
    bool scale(QImage& bitmap) const;
    // Why the last grab gave no picture.
    ScreenGrabber::Failure lastFailure() const { return m_grabber.lastFailure(); }
    // A recording's stream of the screen where grabs go through the desktop's portals (see
    // ScreenGrabber::startStream).
    ScreenGrabber::Failure startStream(QString& restoreToken) { return m_grabber.startStream(restoreToken); }
    void stopStream() { m_grabber.stopStream(); }
    quint64 streamFrames() const { return m_grabber.streamFrames(); }
    bool streamsFromDesktop() const { return m_grabber.usesPortal(); }
    // How long a capture waits after hiding the frame, given what an X server needs: a compositor of a
    // Wayland desktop may show the frame for a few of its own frames more, which a busy machine draws
    // slowly.
    int frameLeaveDelayMs(int onX11) const { return streamsFromDesktop() ? std::max(onX11, 300) : onX11; }

private:
    ScreenGrabber& m_grabber;
    const Settings& m_settings;
    const ShapedFrame& m_frame;
};

// What the user is told when a grab gave no picture; empty for a grab that only waited its turn
// (Busy), which is passed over in silence.
QString grabFailureText(ScreenGrabber::Failure failure);
