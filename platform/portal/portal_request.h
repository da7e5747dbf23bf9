// A call of a desktop portal method (xdg-desktop-portal, on the session bus) that answers through an
// org.freedesktop.portal.Request object: the call, then the request's Response signal.
#pragma once

#include <QString>
#include <QVariantList>
#include <QVariantMap>

struct PortalAnswer {
    enum class Status {
        Answered,  // the Response came: response and results hold it
        NoPortal,  // no session bus, no portal, or the portal refused the call itself
        NoAnswer,  // no Response within the time given
    };
    Status status = Status::NoPortal;
    // 0 done, 1 cancelled by the user, 2 ended otherwise (a refusal among them).
    uint response = 2;
    QVariantMap results;
};

// Calls interface.method on the portal with arguments, then options (which gets the request's
// handle_token), and waits up to timeoutMs for the answer in a local event loop: the windows keep
// painting and timers run, but the user's input waits until the answer is in.
PortalAnswer callPortal(const QString& interface, const QString& method, const QVariantList& arguments,
                        QVariantMap options, int timeoutMs);
