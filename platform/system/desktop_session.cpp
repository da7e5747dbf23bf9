#include "platform/system/desktop_session.h"

#include <QByteArray>
#include <QList>
#include <QtGlobal>

bool onWaylandDesktop() {
    return qgetenv("XDG_SESSION_TYPE") == "wayland" || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

void chooseX11Platform() { qputenv("QT_QPA_PLATFORM", "xcb"); }

bool tilesManagedWindows() {
    return !qEnvironmentVariableIsEmpty("SWAYSOCK") ||
           qgetenv("XDG_CURRENT_DESKTOP").toLower().split(':').contains("sway");
}
