#pragma once

#include <QImage>
#include <QRect>
#include <QSize>

// The pictures that tests and benchmarks feed the program: one place, so that a test and a
// benchmark of the same path see the same pixels.
namespace test_pictures {

// Smooth ramps that turn back instead of wrapping: neighbouring pixels differ, and there are no
// hard edges that no lossy encoder could keep. The backdrop shows it over the whole screen.
QRgb rampColor(int x, int y);
// The part of the ramps under a rectangle of the screen.
QImage ramps(const QRect& area);
inline QImage ramps(QSize size) { return ramps(QRect(QPoint(0, 0), size)); }

// Every pixel different from its neighbours along a row; seed shifts the red channel, so that
// frames of one recording differ.
QImage pattern(int width, int height, int seed = 0);
// A byte pattern with no long runs: red x, green y, blue x xor y (low bytes).
QImage xorPattern(int width, int height);
// Gradients with camera-like noise, cut by hard-edged blocks and thin bars as text and window
// borders would.
QImage photoLike(int width, int height);
// A landscape-like scene: sky gradient, sun, translucent shapes, lines of text and sensor-like noise.
QImage photoLikeScene(QSize size);
// A desktop-like picture that changes from frame to frame: gradients, panels and text.
QImage desktopFrame(int width, int height, int index);

}  // namespace test_pictures
