#include "platform/x11/window_stack.h"

// The X11 side: EWMH state and stacking requests through Qt's own xcb connection.
#include <xcb/xcb.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "platform/x11/xcb_support_x11.h"

namespace {

// _NET_WM_STATE client message actions.
constexpr uint32_t kStateRemove = 0;
constexpr uint32_t kStateAdd = 1;
// Source indication: a request from an ordinary application.
constexpr uint32_t kSourceApplication = 1;
constexpr uint32_t kMaxStateAtoms = 1024;

struct Atoms {
    xcb_atom_t state = XCB_ATOM_NONE;
    xcb_atom_t stateAbove = XCB_ATOM_NONE;
    xcb_atom_t supportingWmCheck = XCB_ATOM_NONE;
};

Atoms internAtoms(xcb_connection_t* c) {
    static constexpr std::array<const char*, 3> kNames = {"_NET_WM_STATE", "_NET_WM_STATE_ABOVE",
                                                          "_NET_SUPPORTING_WM_CHECK"};
    std::array<xcb_intern_atom_cookie_t, kNames.size()> cookies;
    for (size_t i = 0; i < kNames.size(); ++i) {
        cookies[i] = xcb_intern_atom(c, 0, uint16_t(std::strlen(kNames[i])), kNames[i]);
    }
    std::array<xcb_atom_t, kNames.size()> atoms{};
    for (size_t i = 0; i < kNames.size(); ++i) {
        MallocPtr<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(c, cookies[i], nullptr));
        atoms[i] = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    }
    return {atoms[0], atoms[1], atoms[2]};
}

// XCB_NONE also when the window does not exist (the error is dropped with the reply).
xcb_window_t windowProperty(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property) {
    MallocPtr<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, property, XCB_ATOM_WINDOW, 0, 1), nullptr));
    if (!reply || reply->type != XCB_ATOM_WINDOW || reply->format != 32 ||
        xcb_get_property_value_length(reply.get()) < int(sizeof(xcb_window_t))) {
        return XCB_NONE;
    }
    return *static_cast<const xcb_window_t*>(xcb_get_property_value(reply.get()));
}

// An EWMH window manager names a child window of its own on the root, and that window names
// itself; a name left behind by a manager that has gone points to no window, or to another one.
bool windowManagerRuns(xcb_connection_t* c, xcb_window_t root, const Atoms& atoms) {
    const xcb_window_t check = windowProperty(c, root, atoms.supportingWmCheck);
    return check != XCB_NONE && windowProperty(c, check, atoms.supportingWmCheck) == check;
}

std::vector<xcb_atom_t> readStates(xcb_connection_t* c, xcb_window_t window, const Atoms& atoms) {
    MallocPtr<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, atoms.state, XCB_ATOM_ATOM, 0, kMaxStateAtoms), nullptr));
    if (!reply || reply->type != XCB_ATOM_ATOM || reply->format != 32) return {};
    const auto* begin = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
    return {begin, begin + xcb_get_property_value_length(reply.get()) / sizeof(xcb_atom_t)};
}

// Adds or removes the above state in the window's own state list, keeping the other states.
void writeAboveState(xcb_connection_t* c, xcb_window_t window, const Atoms& atoms, bool above) {
    std::vector<xcb_atom_t> states = readStates(c, window, atoms);
    const bool present = std::find(states.begin(), states.end(), atoms.stateAbove) != states.end();
    if (present == above) return;
    if (above) {
        states.push_back(atoms.stateAbove);
    } else {
        std::erase(states, atoms.stateAbove);
    }
    if (states.empty()) {
        xcb_delete_property(c, window, atoms.state);
    } else {
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, atoms.state, XCB_ATOM_ATOM, 32,
                            uint32_t(states.size()), states.data());
    }
}

void requestAboveState(xcb_connection_t* c, xcb_window_t root, xcb_window_t window, const Atoms& atoms,
                       bool above) {
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = atoms.state;
    message.data.data32[0] = above ? kStateAdd : kStateRemove;
    message.data.data32[1] = atoms.stateAbove;
    message.data.data32[2] = 0;
    message.data.data32[3] = kSourceApplication;
    xcb_send_event(c, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&message));
}

// Where the window sits: its root, and whether it is mapped.
struct Placement {
    xcb_window_t root = XCB_NONE;
    uint8_t mapState = XCB_MAP_STATE_UNMAPPED;
};

std::optional<Placement> placementOf(xcb_connection_t* c, xcb_window_t window) {
    const auto geometryCookie = xcb_get_geometry(c, window);
    const auto attributesCookie = xcb_get_window_attributes(c, window);
    MallocPtr<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(c, geometryCookie, nullptr));
    MallocPtr<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(c, attributesCookie, nullptr));
    if (!geometry || !attributes) return std::nullopt;
    return Placement{geometry->root, attributes->map_state};
}

// WM_HINTS: flags, input, initial state, ...; the initial state counts when the StateHint flag is set.
constexpr uint32_t kWmHintsStateFlag = 1u << 1;
constexpr int kWmHintsStateIndex = 2;
constexpr uint32_t kNormalState = 1;
constexpr uint32_t kIconicState = 3;

void applyTopmost(QWidget* top, bool topmost);

// Qt writes a window's state list afresh each time it maps the window, from window flags that know
// nothing of the state set here (and Qt's own stay-on-top flag would re-create the window), while
// a window manager drops the list when the window is hidden. So the state asked for last is kept
// with the window and asked for again after every show.
class TopmostKeeper final : public QObject {
public:
    explicit TopmostKeeper(QWidget* window) : QObject(window), m_window(window) {
        window->installEventFilter(this);
    }
    static TopmostKeeper& of(QWidget* window) {
        for (QObject* child : window->children()) {
            if (auto* keeper = dynamic_cast<TopmostKeeper*>(child)) return *keeper;
        }
        return *new TopmostKeeper(window);
    }
    bool topmost = false;
    // Set by keepTopmost: topmost whatever is asked.
    bool kept = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // The show event comes before Qt maps the window; the state is asked for once it has.
        if (watched == m_window && event->type() == QEvent::Show && topmost) {
            QTimer::singleShot(0, this, [this] {
                if (topmost && m_window->isVisible()) applyTopmost(m_window, true);
            });
        }
        return false;
    }

private:
    QWidget* m_window;
};

void applyTopmost(QWidget* top, bool topmost) {
    xcb_connection_t* c = qtConnection();
    if (!c) return;
    const auto id = xcb_window_t(top->winId());
    const Atoms atoms = internAtoms(c);
    const std::optional<Placement> placement = placementOf(c, id);
    if (!placement || atoms.state == XCB_ATOM_NONE || atoms.stateAbove == XCB_ATOM_NONE) return;
    const bool unmapped = placement->mapState == XCB_MAP_STATE_UNMAPPED;

    if (windowManagerRuns(c, placement->root, atoms)) {
        // The manager owns the state of the windows it manages and reads the property of a window
        // only when it takes it on. A window Qt has shown but the manager has not mapped yet (or a
        // minimized one) may be on either side of that, so it gets both; the requests are
        // idempotent.
        if (unmapped) writeAboveState(c, id, atoms, topmost);
        if (!unmapped || top->isVisible()) requestAboveState(c, placement->root, id, atoms, topmost);
    } else {
        writeAboveState(c, id, atoms, topmost);
        if (topmost) {
            const uint32_t stackMode = XCB_STACK_MODE_ABOVE;
            xcb_configure_window(c, id, XCB_CONFIG_WINDOW_STACK_MODE, &stackMode);
        }
    }
    xcb_flush(c);
}

}  // namespace

namespace window_stack {

void setTopmost(QWidget* window, bool topmost) {
    if (!window || !qtConnection()) return;
    QWidget* top = window->window();
    TopmostKeeper& keeper = TopmostKeeper::of(top);
    keeper.topmost = topmost || keeper.kept;
    applyTopmost(top, keeper.topmost);
}

void keepTopmost(QWidget* window, bool keep) {
    if (!window) return;
    TopmostKeeper::of(window->window()).kept = keep;
    setTopmost(window, keep);
}

bool isTopmost(const QWidget* window) {
    xcb_connection_t* c = qtConnection();
    // A window not created yet has no state; asking must not create it.
    if (!window || !c || window->window()->internalWinId() == 0) return false;
    const Atoms atoms = internAtoms(c);
    if (atoms.stateAbove == XCB_ATOM_NONE) return false;
    const std::vector<xcb_atom_t> states =
        readStates(c, xcb_window_t(window->window()->internalWinId()), atoms);
    return std::find(states.begin(), states.end(), atoms.stateAbove) != states.end();
}

void bringToForeground(QWidget* window) {
    if (!window) return;
    QWidget* top = window->window();
    // Qt asks the window manager through _NET_ACTIVE_WINDOW where it supports that, and sets the
    // input focus itself otherwise.
    top->raise();
    top->activateWindow();
    xcb_connection_t* c = qtConnection();
    if (!c) return;
    // Qt stamps its focus request with the time of the last event it saw. A hot-key press never
    // reaches Qt, so that time can be older than another program's last focus change, and the
    // server then ignores the request; without a manager to ask, the focus is set at the current
    // time. Only a viewable window can take it.
    const auto id = xcb_window_t(top->winId());
    const std::optional<Placement> placement = placementOf(c, id);
    if (placement && placement->mapState == XCB_MAP_STATE_VIEWABLE &&
        !windowManagerRuns(c, placement->root, internAtoms(c))) {
        xcb_set_input_focus(c, XCB_INPUT_FOCUS_PARENT, id, XCB_CURRENT_TIME);
    }
    xcb_flush(c);
}

void restoreToForeground(QWidget* window) {
    if (!window) return;
    QWidget* top = window->window();
    if (top->isMinimized()) top->showNormal();
    bringToForeground(top);
}

void showOver(QWidget* window, QWidget* opener) {
    if (!window) return;
    QWidget* top = window->window();
    // Qt names the transient parent to the window manager when it maps the window. An opener
    // that has never been shown has no window yet, and nothing to stay above.
    if (QWindow* openerWindow = opener ? opener->window()->windowHandle() : nullptr) {
        top->winId();
        top->windowHandle()->setTransientParent(openerWindow);
    }
    top->show();
    bringToForeground(top);
}

int execInForeground(QDialog& dialog, QWidget* opener) {
    const QPointer<QWidget> back = opener ? opener->window() : QApplication::activeWindow();
    if (dialog.windowModality() == Qt::NonModal) dialog.setWindowModality(Qt::ApplicationModal);
    showOver(&dialog, opener);
    const int result = dialog.exec();
    if (back && back->isVisible() && back != &dialog) bringToForeground(back);
    return result;
}

void clearMinimizedStart(QWidget* window) {
    xcb_connection_t* c = qtConnection();
    if (!window || !c || window->window()->internalWinId() == 0) return;
    const auto id = xcb_window_t(window->window()->internalWinId());
    MallocPtr<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        c, xcb_get_property(c, 0, id, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 0, 9), nullptr));
    if (!reply || reply->format != 32 || reply->value_len <= uint32_t(kWmHintsStateIndex)) return;
    const auto* begin = static_cast<const uint32_t*>(xcb_get_property_value(reply.get()));
    std::vector<uint32_t> hints(begin, begin + reply->value_len);
    if (!(hints[0] & kWmHintsStateFlag) || hints[kWmHintsStateIndex] != kIconicState) return;
    hints[kWmHintsStateIndex] = kNormalState;
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 32,
                        uint32_t(hints.size()), hints.data());
    xcb_flush(c);
}

void waitUntilPainted(QWidget* window) {
    QElapsedTimer waited;
    waited.start();
    const auto exposed = [window] { return window->windowHandle() && window->windowHandle()->isExposed(); };
    while (!exposed() && waited.elapsed() < 1000) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    window->repaint();
    QCoreApplication::processEvents();
}

}  // namespace window_stack
