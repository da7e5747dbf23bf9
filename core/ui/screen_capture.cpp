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

QImage ScreenCapture::grabWholeScreen() {
    QImage screen;
    m_grabber.grab(screen);
    return screen;
}

QImage ScreenCapture::grabClientArea() {
    const CaptureGeometry g = geometry();
    const QRect area(g.clientOrigin, g.client);
    QImage image;
    if (QRect(QPoint(0, 0), g.screen).contains(area) && m_grabber.grab(image, area)) return image;
    return captureRectangle(grabWholeScreen());
}

QImage ScreenCapture::captureRectangle(const QImage& screen) const {
    const CaptureGeometry g = geometry();
    return copySpan(screen, QRect(g.clientOrigin, g.client));
}

QImage ScreenCapture::clipToScreen(const QImage& screen, const CaptureGeometry& at) {
    return copySpan(screen, clipSpan(at));
}

bool ScreenCapture::scale(QImage& bitmap) const { return stretchByPercent(bitmap, m_settings.ScalePercent); }

QString grabFailureText(ScreenGrabber::Failure failure) {
    using F = ScreenGrabber::Failure;
    switch (failure) {
        case F::None:
        case F::Busy:
            return {};
        case F::Refused:
            return QStringLiteral(
                "デスクトップが画面の取得を許可しませんでした.\n"
                "デスクトップの設定でスクリーンショットを許可してから、もう一度試してください.");
        case F::NoPortal:
            return QStringLiteral(
                "画面を取得できません.\n"
                "xdg-desktop-portal とデスクトップのポータル (xdg-desktop-portal-gnome など) を"
                "インストールしてください.");
        case F::NoAnswer:
            return QStringLiteral("デスクトップのポータルが応答しません.");
        case F::Unreadable:
            return QStringLiteral("デスクトップから受け取った画像を読めません.");
        case F::CastRefused:
            return QStringLiteral("画面の録画が許可されませんでした.");
        case F::NoStream:
            return QStringLiteral(
                "デスクトップから画面の動画を受け取れません.\n"
                "pipewire と xdg-desktop-portal が動いているか確かめてください.");
        case F::NoFrame:
            return QStringLiteral("デスクトップから画面が届きません.");
        case F::Screen:
            break;
    }
    return QStringLiteral("画面を取得できません.");
}
