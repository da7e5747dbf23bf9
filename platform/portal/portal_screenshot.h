// A picture of the whole desktop from the desktop's screenshot portal, without its dialog: the way to
// the screen on Wayland desktops, where an X client sees only its own windows.
#pragma once

#include <QImage>

struct PortalScreenshot {
    enum class Outcome {
        Taken,
        Refused,     // the desktop or the user said no
        NoPortal,    // no portal answers on the session bus
        NoAnswer,    // no answer in time
        Unreadable,  // the file the portal named could not be read
    };
    Outcome outcome = Outcome::NoPortal;
    // Format_RGB32, in the desktop's own pixels; null unless taken.
    QImage image;
};

// Asks for the picture and waits up to timeoutMs (see callPortal). The file the portal writes is read
// and removed, whatever comes of it, so that nothing is left in the user's pictures folder.
PortalScreenshot takePortalScreenshot(int timeoutMs);
