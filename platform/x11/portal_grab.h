#pragma once

#include <QImage>
#include <QRect>

#include "platform/x11/screen_grabber.h"

// A grab through the desktop's screenshot portal. The portal's picture covers the whole desktop, in
// the desktop's own pixels, which are the X screen's times the output scale: it is brought to the X
// screen's size (desktop, the X root in device pixels) before rect, in the same terms, is cut from it.
// Null with the reason when there is no picture.
QImage grabThroughPortal(const QRect& desktop, const QRect& rect, ScreenGrabber::Failure& failure);

// The same cut from a picture of the whole desktop that the caller has (a screen cast's frame).
QImage cutFromDesktopPicture(QImage picture, const QRect& desktop, const QRect& rect);
