#pragma once

#include <QColor>
#include <QImage>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/shell.h"

// Helpers for tests that run against the real X server.

// Processes events until the condition holds or the time runs out; returns the condition.
bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 3000);

// The whole screen as the X server shows it now.
QImage grabScreen();

// Sends real key events through the X server (xdotool key), e.g. {"ctrl+m"}; returns
// false when xdotool failed. Pending events are processed afterwards.
bool sendKeys(const QStringList& keys, int delayMs = 12);

// A full-screen window of the test's own that shows a known picture, standing in for the
// desktop under the frame (the X server repaints it wherever the frame's shape uncovers it).
class Backdrop : public QWidget {
public:
    Backdrop();
    static QColor colorAt(int x, int y);

protected:
    void paintEvent(QPaintEvent*) override;
};

// A window of another X client, for focus, stacking and key-grab tests.
class OtherClient {
public:
    OtherClient();
    ~OtherClient();
    OtherClient(const OtherClient&) = delete;
    OtherClient& operator=(const OtherClient&) = delete;

    // Creates and maps a plain window and raises it to the top.
    void showWindow(const QRect& geometry);
    // Gives the keyboard focus to that window (the program becomes inactive).
    void focusWindow();
    // Grabs ctrl+key on the root window as a hot key of this client; false on failure.
    bool grabCtrlKey(const char* keysymName);
    std::uint32_t window() const { return m_window; }
    // Top-level windows of the root, bottom to top.
    std::vector<std::uint32_t> stackingOrder();
    // The title of a window (_NET_WM_NAME, else WM_NAME).
    QString windowName(std::uint32_t window);
    // Mapped top-level windows whose title is exactly name (client windows inside a window
    // manager's frames included).
    std::vector<std::uint32_t> findWindows(const QString& name);
    QRect geometryOf(std::uint32_t window);

private:
    struct xcb_connection_t* m_connection;
    std::uint32_t m_root = 0;
    std::uint32_t m_window = 0;
};

// Index of a window in the stacking order, or -1 when absent.
int stackIndex(const std::vector<std::uint32_t>& order, std::uint32_t window);

// Remembers the documents the program asked to open.
class RecordingDocumentOpener final : public DocumentOpener {
public:
    void open(const QString& path) override { opened << path; }
    QStringList opened;
};
