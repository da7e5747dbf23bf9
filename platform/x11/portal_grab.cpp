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
    // By PortalScreenshot::Outcome: Taken, Refused, NoPortal, NoAnswer, Unreadable.
    constexpr F kFailureOf[] = {F::None, F::Refused, F::NoPortal, F::NoAnswer, F::Unreadable};
    failure = kFailureOf[std::size_t(shot.outcome)];
    if (failure != F::None) return {};
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
