#pragma once

#include <QColor>
#include <QImage>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/x11/shell.h"

// Helpers for tests that run against the real X server.

// Processes events until the condition holds or the time runs out; returns the condition.
bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 3000);

// The whole screen as the X server shows it now.
QImage grabScreen();

// Sends real key events through the X server (xdotool key), e.g. {"ctrl+m"}; returns
// false when xdotool failed. Pending events are processed afterwards.
bool sendKeys(const QStringList& keys, int delayMs = 12);

// Clicks the left mouse button at a point of the screen (xdotool); false when xdotool failed.
bool clickAt(QPoint point);

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
    // The client windows bottom to top: the manager's _NET_CLIENT_LIST_STACKING while one runs,
    // else the root's own stacking order.
    std::vector<std::uint32_t> clientStackingOrder();
    // The title of a window (_NET_WM_NAME, else WM_NAME).
    QString windowName(std::uint32_t window);
    // Mapped top-level windows whose title is exactly name; under a window manager, the
    // program's own windows inside the manager's frames.
    std::vector<std::uint32_t> findWindows(const QString& name);
    // Mapped pop-up windows: menus and tool tips, which no window manager takes on.
    std::vector<std::uint32_t> popups();
    QRect geometryOf(std::uint32_t window);
    // The root's child that holds the window: a window manager's frame, or the window itself.
    std::uint32_t topLevelOf(std::uint32_t window);
    // The window's rectangle in root coordinates, wherever a window manager has put it.
    QRect rootGeometryOf(std::uint32_t window);
    // The window's WM_STATE: 0 withdrawn, 1 normal, 3 iconic (minimized).
    std::uint32_t wmState(std::uint32_t window);
    // The window's _NET_WM_STATE atoms, by name.
    QStringList netWmState(std::uint32_t window);
    // The window WM_TRANSIENT_FOR names, or 0.
    std::uint32_t transientFor(std::uint32_t window);
    // Whether an EWMH window manager runs and manages windows: its check window names itself and
    // it has listed the windows it found.
    bool managerRuns();
    // Removes a property of the root window.
    void deleteRootProperty(const char* name);
    // Asks the window manager to activate (and so restore) the window, as a taskbar does.
    void activate(std::uint32_t window);

private:
    std::uint32_t atom(const char* name);
    std::vector<std::uint32_t> children(std::uint32_t window);

    struct xcb_connection_t* m_connection;
    std::uint32_t m_root = 0;
    std::uint32_t m_window = 0;
};

// A window manager, from construction until destruction. Starting waits until it has taken the
// screen.
class WindowManager {
public:
    ~WindowManager();
    WindowManager(const WindowManager&) = delete;
    WindowManager& operator=(const WindowManager&) = delete;
    bool running() const { return m_running; }

protected:
    // program runs with a home folder of its own, so that it starts from its default settings.
    WindowManager(const QString& program, const QStringList& arguments);

private:
    struct Process;
    std::unique_ptr<Process> m_process;
    bool m_running = false;
};

class Openbox : public WindowManager {
public:
    Openbox() : WindowManager(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")}) {}
};

// fluxbox with its default keys, which take Ctrl+F1 to Ctrl+F12 for its workspaces.
class Fluxbox : public WindowManager {
public:
    Fluxbox() : WindowManager(QStringLiteral("fluxbox"), {}) {}
};

// Index of a window in the stacking order, or -1 when absent.
int stackIndex(const std::vector<std::uint32_t>& order, std::uint32_t window);

// Remembers the documents the program asked to open; with fail set, no program takes them.
class RecordingDocumentOpener final : public DocumentOpener {
public:
    void open(const QString& path, std::function<void()> failed) override {
        opened << path;
        if (fail) failed();
    }
    QStringList opened;
    bool fail = false;
};
