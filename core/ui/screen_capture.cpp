#include "core/ui/screen_capture.h"

#include <QGuiApplication>
#include <QScreen>

#include "core/logic/settings.h"
#include "platform/x11/screen_grabber.h"
#include "platform/x11/window_shape.h"

ScreenCapture::ScreenCapture(ScreenGrabber& grabber, const Settings& settings, const ShapedFrame& frame)
    : m_grabber(grabber), m_settings(settings), m_frame(frame) {}

CaptureGeometry ScreenCapture::geometry() const {
    // The grab holds the primary screen; the frame is placed on it in the same terms.
    const QScreen* screen = QGuiApplication::primaryScreen();
    const PrimaryScreen primary{screen ? screen->geometry() : QRect(),
                                screen ? screen->devicePixelRatio() : 1.0};
    return captureGeometryOnScreen(primary, m_frame.geometry(), m_frame.clientOrigin(),
                                   QSize(m_frame.clientWidth(), m_frame.clientHeight()));
}

void ScreenCapture::grabWholeScreen() {
    if (!m_grabber.grab(screenImage)) screenImage = QImage();
}

void ScreenCapture::grabCaptureRectangle() {
    const CaptureGeometry g = geometry();
    captureImage = copySpan(screenImage, QRect(g.clientOrigin, g.client));
}

void ScreenCapture::grabClientArea() {
    const CaptureGeometry g = geometry();
    const QRect area(g.clientOrigin, g.client);
    if (QRect(QPoint(0, 0), g.screen).contains(area) && m_grabber.grab(captureImage, area)) return;
    grabWholeScreen();
    grabCaptureRectangle();
}

QImage& ScreenCapture::clipToScreen(QImage& bitmap) {
    bitmap = copySpan(screenImage, clipSpan(geometry()));
    return bitmap;
}

bool ScreenCapture::scale(QImage& bitmap) const { return stretchByPercent(bitmap, m_settings.ScalePercent); }
