#pragma once

#include <QPoint>
#include <QRect>
#include <QRegion>
#include <QSize>
#include <QString>
#include <optional>

// The region set of the frame window, in window coordinates (origin at the outer top-left
// corner). Rebuilt from scratch on every shape build; QRegion values release themselves.
struct FrameRegions {
    QRegion window;       // the whole window
    QRegion client;       // the client area
    QRegion frame;        // window minus client: title bar and border
    QRegion button;       // the menu button
    QRegion frameButton;  // frame plus button; stays the 1x1 placeholder while busy
};

struct FrameLayout {
    QSize windowSize;     // outer size
    QPoint clientOffset;  // client origin minus window origin
    QSize clientSize;
    QRect button;  // in client coordinates
};

FrameRegions buildFrameRegions(const FrameLayout& layout, bool busy);

// The shape for the mode: the frame alone while interval saving or recording, else frame and button.
QRegion frameShape(const FrameRegions& regions, bool busy);

// The size caption, e.g. "Kadrel1.02  420 , 360" (width first); interval saving appends its name.
QString frameCaption(int clientWidth, int clientHeight, bool intervalMode);

// New top-left of the menu button for a client size, or nothing when the client is too
// narrow and low for either rule (the button then stays where it is).
std::optional<QPoint> menuButtonPosition(QSize clientSize, int buttonWidth);

// Top-left corner of the command menu: below the button, one button width to its left.
QPoint commandMenuPosition(QPoint clientOrigin, const QRect& button);
