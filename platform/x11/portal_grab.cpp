#include "platform/x11/portal_grab.h"

#include "platform/portal/portal_screenshot.h"

namespace {
// The first picture of a desktop may wait for its user's one-time permission.
constexpr int kPortalTimeoutMs = 60000;
}  // namespace

QImage grabThroughPortal(const QRect& desktop, const QRect& rect, ScreenGrabber::Failure& failure) {
    using F = ScreenGrabber::Failure;
    if (!desktop.contains(rect) || rect.isEmpty()) {
        failure = F::Screen;
        return {};
    }
    PortalScreenshot shot = takePortalScreenshot(kPortalTimeoutMs);
    switch (shot.outcome) {
        case PortalScreenshot::Outcome::Taken:
            break;
        case PortalScreenshot::Outcome::Refused:
            failure = F::Refused;
            return {};
        case PortalScreenshot::Outcome::NoPortal:
            failure = F::NoPortal;
            return {};
        case PortalScreenshot::Outcome::NoAnswer:
            failure = F::NoAnswer;
            return {};
        case PortalScreenshot::Outcome::Unreadable:
            failure = F::Unreadable;
            return {};
    }
    QImage cut = cutFromDesktopPicture(std::move(shot.image), desktop, rect);
    failure = cut.isNull() ? F::Screen : F::None;
    return cut;
}

QImage cutFromDesktopPicture(QImage picture, const QRect& desktop, const QRect& rect) {
    if (picture.isNull() || !desktop.contains(rect) || rect.isEmpty()) return {};
    if (picture.size() != desktop.size())
        picture = picture.scaled(desktop.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QRect part = rect.translated(-desktop.topLeft());
    return part == picture.rect() ? picture : picture.copy(part);
}
