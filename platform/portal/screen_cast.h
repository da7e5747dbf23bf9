// The screen as a stream, for recordings on Wayland desktops: one session of the desktop's ScreenCast
// portal (the whole monitor) and its PipeWire stream, read on a thread of its own. The last two frames
// are there whenever the recording asks; the desktop sends one only when the screen has changed.
#pragma once

#include <QImage>
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

    // The newest frame, Format_RGB32 in the stream's own size; null before the first. serial, when
    // given, gets how many frames the stream has delivered so far (0 before the first).
    QImage latestFrame(quint64* serial = nullptr) const;
    // The frame for a recording's tick that took frame `taken` last (0 for none): see
    // RecentFrames::after. serial gets the frame's number.
    QImage frameAfter(quint64 taken, quint64& serial) const;
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
