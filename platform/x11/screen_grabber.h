#pragma once

#include <QImage>
#include <QRect>
#include <QSize>
#include <memory>

// Copies the primary screen, in device pixels, into a 32-bit image.
//
// Images come out of shared memory that the X server fills directly, so a grab costs about as much as
// one copy of the screen. Such an image is an ordinary QImage to its holders: it may be copied, kept,
// modified or handed to another thread, and its pixels stay as they were grabbed for as long as any copy
// of it lives, whatever later grabs do. A segment goes back to the grabber only when the last image over
// it is gone; while a few grabs are still held, later grabs use further segments, and beyond that they
// fall back to a slower copy. Handing the same QImage back to grab() each time therefore keeps the
// fastest route.
//
// On a Wayland desktop the X server shows its clients only their own windows: there each grab is a
// picture from the desktop's screenshot portal, awaited in a local event loop (see callPortal), and
// mapped onto the X screen's pixels.
//
// Use it on the GUI thread, with a QGuiApplication on X11 running.
class ScreenGrabber {
public:
    enum class GrabMethod {
        Auto,      // the desktop's screenshot portal on a Wayland desktop; elsewhere shared memory where
                   // the display allows it, else a copy through the X connection
        GetImage,  // always the copy through the X connection (for tests and comparisons)
        Portal,    // always the desktop's screenshot portal
    };
    // Why the last grab failed.
    enum class Failure {
        None,
        Screen,       // the X server gave no picture, or the area is not on the screen
        Refused,      // the desktop or its user refused the portal's picture
        NoPortal,     // no screenshot portal on the session bus
        NoAnswer,     // the portal gave no answer in time
        Unreadable,   // the portal's picture could not be read
        Busy,         // a portal grab was still waiting (a timer's grab during another)
        CastRefused,  // the user or the desktop refused the screen cast
        NoStream,     // the screen cast gave no stream
        NoFrame,      // the stream gave no picture in time, or ended
    };

    explicit ScreenGrabber(GrabMethod method = GrabMethod::Auto);
    ~ScreenGrabber();
    ScreenGrabber(const ScreenGrabber&) = delete;
    ScreenGrabber& operator=(const ScreenGrabber&) = delete;

    // The primary screen's size in device pixels (SW x SH), read at each call; empty without a screen.
    QSize screenSize() const;

    // Replaces target with the primary screen as it is now: screenSize() large, Format_RGB32 (every
    // pixel opaque), no mouse cursor. On failure target is left null and the result is false.
    bool grab(QImage& target);
    // The same for a part of the primary screen: area, in device pixels from the screen's top-left
    // corner, must lie wholly on it (else false). Cheaper than the whole screen by the part left out.
    bool grab(QImage& target, const QRect& area);

    // Whether the last successful grab read the screen through shared memory.
    bool usesSharedMemory() const;
    Failure lastFailure() const;

    // A recording on a Wayland desktop: from startStream until stopStream every grab is the next
    // frame of the desktop's screen cast (at most one behind the newest), mapped as a screenshot is, instead
    // of a screenshot each. restoreToken: the desktop's permission kept from an earlier stream (empty: the
    // desktop asks the user which monitor), replaced by the one the desktop gives now. Waits in a local event
    // loop for the first frame; None when the stream runs, else why not (and nothing streams). Only where
    // grabs go through the portal (usesPortal); elsewhere it does nothing and says None.
    Failure startStream(QString& restoreToken);
    void stopStream();
    bool streaming() const;
    // The frames the running stream has delivered so far.
    quint64 streamFrames() const;
    // Whether grabs go through the desktop's screenshot portal.
    bool usesPortal() const;

private:
    class Impl;
    std::unique_ptr<Impl> m_impl;
};
