#pragma once

#include <QProcess>
#include <QSystemTrayIcon>

#include "fakes/x11_test_support.h"

// A notification area on the test's X server (trayer), for as long as this object lives.
class TrayHost {
public:
    // True once the tray is there to take icons.
    bool start() {
        m_process.start(QStringLiteral("trayer"),
                        {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
                         QStringLiteral("right"), QStringLiteral("--widthtype"), QStringLiteral("request"),
                         QStringLiteral("--height"), QStringLiteral("24"), QStringLiteral("--expand"),
                         QStringLiteral("true")});
        if (!m_process.waitForStarted()) return false;
        return waitUntil([] { return QSystemTrayIcon::isSystemTrayAvailable(); });
    }
    ~TrayHost() {
        m_process.terminate();
        if (!m_process.waitForFinished(3000)) m_process.kill();
        m_process.waitForFinished(3000);
    }

private:
    QProcess m_process;
};
