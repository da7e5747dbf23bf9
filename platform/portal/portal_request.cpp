#include "platform/portal/portal_request.h"

#include <unistd.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QEventLoop>
#include <QTimer>

namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kRequest = QStringLiteral("org.freedesktop.portal.Request");

}  // namespace

// Catches the request's Response; QtDBus delivers signals to slots only.
class PortalResponse : public QObject {
    Q_OBJECT
public:
    bool answered = false;
    uint response = 2;
    QVariantMap results;
    QEventLoop loop;

public slots:
    void onResponse(uint code, const QVariantMap& values) {
        if (answered) return;
        answered = true;
        response = code;
        results = values;
        loop.quit();
    }
};

PortalAnswer callPortal(const QString& interface, const QString& method, const QVariantList& arguments,
                        QVariantMap options, int timeoutMs) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return {};
    // The request's path is known before the call, so that no Response can come before it is heard.
    static unsigned counter = 0;
    const QString token = QStringLiteral("kadrel%1_%2").arg(::getpid()).arg(++counter);
    QString sender = bus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    const QString requestPath = kPath + QStringLiteral("/request/") + sender + QLatin1Char('/') + token;
    PortalResponse response;
    const auto listen = [&](const QString& path) {
        return bus.connect(kService, path, kRequest, QStringLiteral("Response"), &response,
                           SLOT(onResponse(uint, QVariantMap)));
    };
    if (!listen(requestPath)) return {};
    options.insert(QStringLiteral("handle_token"), token);
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, interface, method);
    call.setArguments(QVariantList(arguments) << options);

    bool refused = false;
    QDBusPendingCallWatcher watcher(bus.asyncCall(call, timeoutMs));
    QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &response.loop, [&] {
        const QDBusPendingReply<QDBusObjectPath> reply = watcher;
        if (reply.isError()) {
            refused = true;
            response.loop.quit();
        } else if (reply.value().path() != requestPath) {
            // A portal older than handle_token names its own request.
            listen(reply.value().path());
        }
    });
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &response.loop, &QEventLoop::quit);
    deadline.start(timeoutMs);
    if (!response.answered) response.loop.exec(QEventLoop::ExcludeUserInputEvents);
    bus.disconnect(kService, requestPath, kRequest, QStringLiteral("Response"), &response,
                   SLOT(onResponse(uint, QVariantMap)));
    if (response.answered) return {PortalAnswer::Status::Answered, response.response, response.results};
    return {refused ? PortalAnswer::Status::NoPortal : PortalAnswer::Status::NoAnswer, 2, {}};
}

#include "portal_request.moc"
