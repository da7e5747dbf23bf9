#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <cstdint>
#include <optional>

// Where the capture lies on the primary screen, all in device pixels with the origin at the primary
// screen's top-left corner, read at the moment of the grab.
struct CaptureGeometry {
    QSize screen;         // SW x SH
    QRect window;         // the main window's outer bounds L, T, W, H (frame and caption included)
    QPoint clientOrigin;  // X, Y: the client area's top-left corner on the screen
    QSize client;         // CW x CH
};

// The primary screen as the window system describes it: its rectangle in desktop coordinates (Qt's
// logical pixels, origin wherever the monitors' layout puts it) and its device pixel ratio.
struct PrimaryScreen {
    QRect desktop;
    qreal devicePixelRatio = 1;
};

// The frame's geometry, given in desktop coordinates, on the image of the primary screen that the
// grab takes: the same pixels in the same coordinates, whatever the monitors' layout. The primary
// screen need not start at the desktop's origin (a primary monitor at (1280, 0) right of another
// one), so a desktop point p lies at (p - primary's top-left) * ratio on the image; a frame on
// another monitor lies off the image.
CaptureGeometry captureGeometryOnScreen(const PrimaryScreen& primary, const QRect& window,
                                        QPoint clientOrigin, QSize client);

// The part of the screen a clipped capture keeps: the span [x0, x1) x [y0, y1), chosen from the window's
// outer bounds. The horizontal span comes first: right edge at or past the screen's (L + W >= SW) gives
// [X, SW), else left edge at or past it (L <= 0) gives [0, X + CW), else [X, X + CW). Then the vertical
// one: a bottom test, T + H >= SH after the first two horizontal cases but T + CH >= SH after the third,
// gives [Y, SH), else Y > 0 gives [Y, Y + CH), else [0, Y + CH).
// The span may still reach past the screen (a window larger than the screen); it is empty when
// x1 <= x0 or y1 <= y0 (a window wholly off the screen).
QRect clipSpan(const CaptureGeometry& g);

// The fill of the parts of a capture that lie off the screen image.
inline constexpr QRgb kOutsideScreen = 0xff000000u;

// A source-sized Format_RGB32 image with screen's pixels at source. Where source lies outside the screen
// image, the image is kOutsideScreen (opaque black); nothing outside the screen image is read. Null for an
// empty source, or when an image that large cannot be allocated.
QImage copySpan(const QImage& screen, const QRect& source);

// The largest scaled image: no side above 65535 pixels (the most a GIF file holds; JPEG stops at 65500) and
// no more than 2 GiB of 32-bit pixels. 1000 % of a 1920 x 1080 screen (about 830 MB) is still allowed.
inline constexpr int kMaxScaledSide = 65535;
inline constexpr std::int64_t kMaxScaledBytes = std::int64_t(1) << 31;

// size scaled by percent, each side Ceil(side * percent / 100), computed in 64 bits so that no percent
// can overflow. A zero or negative result on either side gives the empty size 0 x 0; nullopt means
// the result would pass the limits above and cannot be made.
std::optional<QSize> scaledSize(QSize size, std::int32_t percent);

// source stretched to target by nearest pixel (like StretchBlt in COLORONCOLOR mode): target pixel
// (dx, dy) is source pixel (floor(dx * sw / dw), floor(dy * sh / dh)), so columns and rows are dropped
// when shrinking and repeated when enlarging. Format_RGB32; null when source or target is empty or the
// image cannot be allocated.
QImage stretchNearest(const QImage& source, QSize target);

// bitmap scaled by percent (scaledSize, stretchNearest) in place. False, leaving it as it was, when
// the result would pass the limits or cannot be allocated; an empty result is an empty image.
bool stretchByPercent(QImage& bitmap, std::int32_t percent);
