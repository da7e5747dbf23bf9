// The screen as a stream, for recordings on Wayland desktops: one session of the desktop's ScreenCast
// portal (the whole monitor) and its PipeWire stream, read on a thread of its own. The desktop's last two
// buffers are held for the recording's ticks, which copy from them only what they need; the desktop
// sends a frame only when the screen has changed.
#pragma once

#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>
#include <memory>

class ScreenCast {
public:
    enum class Outcome {
        Started,
        Refused,   // the user cancelled the chooser, or the desktop said no
        NoPortal,  // no session bus, no portal, or a portal without ScreenCast
        NoAnswer,  // a step of the portal did not answer in time
        NoStream,  // the portal agreed, but PipeWire gave no stream
    };

    ScreenCast();
    ~ScreenCast();  // stops everything
    ScreenCast(const ScreenCast&) = delete;
    ScreenCast& operator=(const ScreenCast&) = delete;

    // Asks for the monitor (the cursor hidden where the portal offers that), to be remembered until
    // revoked; restoreToken, when not empty, is the one an earlier start handed back, with which the
    // desktop asks nothing. Each portal step waits in a local event loop (see callPortal); timeoutMs
    // bounds the whole start, the stream's format included. A ScreenCast that is running is stopped
    // first.
    Outcome start(const QString& restoreToken, int timeoutMs);
    // The token the last start handed back, for the settings file; empty when the portal gave none.
    QString restoreToken() const;

    // A copy of the newest frame, Format_RGB32 in the stream's own size; null before the first.
    // serial, when given, gets how many frames the stream has delivered so far (0 before the first).
    QImage latestFrame(quint64* serial = nullptr) const;
    // How many frames the stream has delivered so far.
    quint64 delivered() const;
    // A picture for a recording's tick that took frame `taken` last (0 for none), from the frame that
    // RecentFrames::after names (serial gets its number): only `part` of it, in the frame's pixels,
    // when the frame is `whole` in size and holds part (isPart), else all of it. Null before the first.
    struct Cut {
        QImage image;
        bool isPart = false;
    };
    Cut cutAfter(quint64 taken, quint64& serial, const QRect& part, QSize whole) const;
    // Waits in a local event loop until a frame later than serial `after` is in (true), or the stream
    // failed, or timeoutMs passed (false).
    bool waitForFrame(quint64 after, int timeoutMs);
    bool waitForFirstFrame(int timeoutMs) { return waitForFrame(0, timeoutMs); }
    // The stream ended by itself (the desktop went away, or closed the session): no frames come any
    // more, latestFrame keeps the last one.
    bool streamFailed() const;

    // Ends the stream and closes the portal session. Safe to call twice; the last frame stays.
    void stop();

private:
    struct Stream;
    class Session;
    std::unique_ptr<Session> session_;
    std::unique_ptr<Stream> stream_;  // ends before the session, which it wakes
    QString restoreToken_;
    // What a stopped stream left.
    QImage keptFrame_;
    quint64 keptSerial_ = 0;
    bool keptFailed_ = false;
};
