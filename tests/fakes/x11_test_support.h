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

// Processes events until the condition holds or the time runs out (a loaded machine's); returns it.
bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 30000);

// Processes events for ms and tells whether the condition held all the while: for what must NOT
// happen (a timer that must not fire, a box that must not come, a state that must not change).
bool holdsFor(const std::function<bool()>& condition, int ms);

// Waits until the X server has handled every request of this process and the events they caused
// here (key presses, exposures, configure notifications) have been dispatched.
void waitForXIdle();

// The whole screen as the X server shows it once windows have stopped repainting: two grabs in a
// row agree (a shape change uncovers windows, which repaint in their own time).
QImage grabScreen();

// Sends real key events through the X server (xdotool key), e.g. {"ctrl+m"}; returns
// false when xdotool failed. Pending events are processed afterwards.
bool sendKeys(const QStringList& keys, int delayMs = 12);

// Clicks the left mouse button at a point of the screen (xdotool); false when xdotool failed.
bool clickAt(QPoint point);
// Presses the left button at from, drags to to by way of the middle and releases, as a user would.
bool dragFrom(QPoint from, QPoint to);

// A full-screen window of the test's own that shows a known picture (test_pictures.h), standing
// in for the desktop under the frame (the X server repaints it wherever the frame's shape uncovers
// it).
class Backdrop : public QWidget {
public:
    Backdrop();
    static QColor colorAt(int x, int y);
    // Shows it and waits until it has painted; false when it never did.
    bool showPainted();

protected:
    void paintEvent(QPaintEvent*) override;

private:
    bool m_painted = false;
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
    // The top-level window (a window manager's frame, or the window itself) that has the
    // keyboard, or 0.
    std::uint32_t keyboardTopLevel();
    // Whether the window (or, under a window manager, the frame that holds it) has the keyboard.
    bool hasKeyboard(std::uint32_t window) { return keyboardTopLevel() == topLevelOf(window); }
    // Waits until a mapped window titled title has the keyboard, as it needs for typed keys; false
    // when none has it in time.
    bool waitForKeyboard(const QString& title, int timeoutMs = 30000);
    // Grabs ctrl+key (a function key, "F1".."F35") on the root window as a hot key of this client;
    // false on failure.
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
    QStringList netWmState(std::uint32_t window) { return atomNames(window, "_NET_WM_STATE"); }
    // What the window manager lets the user do with the window (_NET_WM_ALLOWED_ACTIONS), by name.
    QStringList allowedActions(std::uint32_t window) { return atomNames(window, "_NET_WM_ALLOWED_ACTIONS"); }
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
    QStringList atomNames(std::uint32_t window, const char* property);
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

// The ground every test of the whole program stands on: the backdrop on the screen, with a window
// manager (openbox, or fluxbox) under it or without one.
class Desktop {
public:
    // Starts openbox first when managed; shows the backdrop and waits until it has painted. A second
    // call keeps what is there. False when the manager or the backdrop did not come up.
    bool start(bool managed = false);
    // As start(true), under fluxbox.
    bool startUnderFluxbox();
    bool managed() const { return m_manager != nullptr; }
    Backdrop backdrop;

private:
    std::unique_ptr<WindowManager> m_manager;
};

// Runs the TEST_P tests of a suite whose parameter is "under a window manager" once without one
// and once under openbox.
#define INSTANTIATE_WITH_AND_WITHOUT_WINDOW_MANAGER(suite)                         \
    INSTANTIATE_TEST_SUITE_P(WindowManager, suite, ::testing::Values(false, true), \
                             [](const auto& info) { return info.param ? "Openbox" : "None"; })

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
