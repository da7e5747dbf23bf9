#pragma once

#include <QImage>

#include "core/logic/capture_geometry.h"

class ScreenGrabber;
class ShapedFrame;
struct Settings;

// The screen under the frame, as every capture takes it: the geometry at the moment of the grab,
// the grabs themselves, the clipping to the screen and the scaling. The frame window owns one; the
// still, print, interval and video commands share it and its images.
class ScreenCapture {
public:
    ScreenCapture(ScreenGrabber& grabber, const Settings& settings, const ShapedFrame& frame);

    // The frame's geometry now, in device pixels.
    CaptureGeometry geometry() const;
    // The whole screen into screenImage (null when the grab fails).
    void grabWholeScreen();
    // The capture rectangle, cut from screenImage, into captureImage.
    void grabCaptureRectangle();
    // The capture rectangle alone into captureImage, read straight from the screen when it lies
    // wholly on it (screenImage is then left as it was); else both steps above.
    void grabClientArea();
    // Clips the capture rectangle to the screen, refilling bitmap from screenImage.
    QImage& clipToScreen(QImage& bitmap);
    // Scales bitmap in place by ScalePercent; false when the scaled image cannot be made.
    bool scale(QImage& bitmap) const;

    // The whole-screen grab and the work images of the capture commands.
    QImage screenImage, captureImage, outputImage;

private:
    ScreenGrabber& m_grabber;
    const Settings& m_settings;
    const ShapedFrame& m_frame;
};
