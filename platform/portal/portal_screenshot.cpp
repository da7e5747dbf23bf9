#include "platform/portal/portal_screenshot.h"

#include <QFile>
#include <QUrl>

#include "platform/portal/portal_request.h"

PortalScreenshot takePortalScreenshot(int timeoutMs) {
    using Outcome = PortalScreenshot::Outcome;
    const PortalAnswer answer = callPortal(
        QStringLiteral("org.freedesktop.portal.Screenshot"), QStringLiteral("Screenshot"), {QString()},
        {{QStringLiteral("interactive"), false}, {QStringLiteral("modal"), false}}, timeoutMs);
    if (answer.status == PortalAnswer::Status::NoPortal) return {Outcome::NoPortal, {}};
    if (answer.status == PortalAnswer::Status::NoAnswer) return {Outcome::NoAnswer, {}};
    if (answer.response != 0) return {Outcome::Refused, {}};
    const QUrl uri(answer.results.value(QStringLiteral("uri")).toString());
    if (!uri.isLocalFile()) return {Outcome::Unreadable, {}};
    const QString path = uri.toLocalFile();
    QImage image(path);
    QFile::remove(path);
    if (image.isNull()) return {Outcome::Unreadable, {}};
    return {Outcome::Taken, image.convertToFormat(QImage::Format_RGB32)};
}
