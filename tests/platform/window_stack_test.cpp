// Stacking on the real X server, which runs without a window manager; a stand-in manager that only
// listens shows what is asked of a real one.
#include "platform/x11/window_stack.h"

#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <QEvent>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "fakes/x11_test_support.h"

namespace {

template <typename T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

xcb_connection_t* qtConnection() {
    return qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
}
xcb_window_t rootOf(xcb_connection_t* c) { return xcb_setup_roots_iterator(xcb_get_setup(c)).data->root; }

xcb_atom_t atom(const char* name) {
    xcb_connection_t* c = qtConnection();
    return Reply<xcb_intern_atom_reply_t>(
               xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr),
               &std::free)
        ->atom;
}

// A round trip: every request sent before it has been carried out.
void sync(xcb_connection_t* c) {
    Reply<xcb_get_input_focus_reply_t>(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr),
                                       &std::free);
}

std::vector<xcb_atom_t> states(const QWidget& w) {
    xcb_connection_t* c = qtConnection();
    Reply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(
            c, xcb_get_property(c, 0, w.winId(), atom("_NET_WM_STATE"), XCB_ATOM_ATOM, 0, 64), nullptr),
        &std::free);
    const auto* data = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
    return {data, data + reply->value_len};
}

void showAt(QWidget& w, const QRect& geometry) {
    w.setGeometry(geometry);
    w.show();
    ASSERT_TRUE(waitUntil([&] { return w.windowHandle()->isExposed(); }));
}

// Our window at the bottom with another client's window over it.
struct CoveredWindow {
    CoveredWindow() {
        showAt(window, {100, 100, 300, 200});
        other.showWindow({150, 150, 300, 200});
    }
    bool onTop() {
        sync(qtConnection());
        const auto order = other.stackingOrder();
        return stackIndex(order, window.winId()) > stackIndex(order, other.window());
    }
    QWidget window;
    OtherClient other;
};

// Counts what hiding or re-creating a window would send it.
struct RecreationWatch : QObject {
    bool eventFilter(QObject*, QEvent* event) override {
        count += event->type() == QEvent::Hide || event->type() == QEvent::WinIdChange;
        return false;
    }
    int count = 0;
};

}  // namespace

TEST(WindowStack, TopmostChangesOnlyStackingAndState) {
    CoveredWindow s;
    const xcb_atom_t skipTaskbar = atom("_NET_WM_STATE_SKIP_TASKBAR");
    xcb_change_property(qtConnection(), XCB_PROP_MODE_REPLACE, s.window.winId(), atom("_NET_WM_STATE"),
                        XCB_ATOM_ATOM, 32, 1, &skipTaskbar);
    ASSERT_FALSE(s.onTop());
    const WId id = s.window.winId();
    const QRect geometry = s.other.geometryOf(id);
    RecreationWatch watch;
    s.window.installEventFilter(&watch);

    window_stack::setTopmost(&s.window, true);
    EXPECT_TRUE(window_stack::isTopmost(&s.window));
    EXPECT_TRUE(s.onTop());
    window_stack::setTopmost(&s.window, false);
    EXPECT_FALSE(window_stack::isTopmost(&s.window));
    EXPECT_EQ(states(s.window), std::vector<xcb_atom_t>{skipTaskbar});

    QCoreApplication::processEvents();
    EXPECT_EQ(watch.count, 0);
    EXPECT_EQ(s.window.winId(), id);
    EXPECT_TRUE(s.window.isVisible());
    EXPECT_EQ(s.other.geometryOf(id), geometry);
    EXPECT_EQ(s.window.geometry(), QRect(100, 100, 300, 200));
}

TEST(WindowStack, TopmostSetBeforeShowHoldsAfterShow) {
    QWidget window;
    EXPECT_FALSE(window_stack::isTopmost(&window));
    EXPECT_EQ(window.internalWinId(), 0u);  // asking did not create the window
    window_stack::setTopmost(&window, true);
    EXPECT_FALSE(window.isVisible());
    showAt(window, {100, 100, 200, 100});
    EXPECT_TRUE(window_stack::isTopmost(&window));
}

TEST(WindowStack, BringToForegroundRaisesAndTakesTheFocus) {
    CoveredWindow s;
    s.other.focusWindow();
    ASSERT_TRUE(waitUntil([&] { return !s.window.isActiveWindow(); }));
    window_stack::bringToForeground(&s.window);
    EXPECT_TRUE(s.onTop());
    EXPECT_TRUE(waitUntil([&] { return s.window.isActiveWindow(); }));
}

TEST(WindowStack, UnderAWindowManagerTheManagerKeepsTheState) {
    Openbox manager;
    ASSERT_TRUE(manager.running()) << "openbox is needed for this test";
    QWidget window;
    showAt(window, {100, 100, 200, 100});
    window_stack::setTopmost(&window, true);
    EXPECT_TRUE(waitUntil([&] { return window_stack::isTopmost(&window); }));
    window_stack::setTopmost(&window, false);
    EXPECT_TRUE(waitUntil([&] { return !window_stack::isTopmost(&window); }));
    EXPECT_TRUE(window.isVisible());
}

TEST(WindowStack, ManagerThatHasGoneCountsAsNone) {
    CoveredWindow s;
    xcb_connection_t* c = qtConnection();
    const xcb_window_t gone = xcb_generate_id(c);  // never created
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, rootOf(c), atom("_NET_SUPPORTING_WM_CHECK"),
                        XCB_ATOM_WINDOW, 32, 1, &gone);
    window_stack::setTopmost(&s.window, true);
    xcb_delete_property(c, rootOf(c), atom("_NET_SUPPORTING_WM_CHECK"));
    EXPECT_TRUE(window_stack::isTopmost(&s.window));
    EXPECT_TRUE(s.onTop());
}

TEST(WindowStack, ShowOverNamesTheOpenerAndTakesTheFocusFromAnotherProgram) {
    QWidget opener;
    showAt(opener, {100, 100, 300, 200});
    OtherClient other;
    other.showWindow({500, 100, 200, 200});
    other.focusWindow();
    ASSERT_TRUE(waitUntil([&] { return !opener.isActiveWindow(); }));
    QWidget dialog(nullptr, Qt::Dialog);
    dialog.resize(150, 80);
    window_stack::showOver(&dialog, &opener);
    EXPECT_EQ(other.transientFor(dialog.winId()), opener.winId());
    EXPECT_TRUE(waitUntil([&] { return dialog.isActiveWindow(); }));
    EXPECT_FALSE(window_stack::isTopmost(&dialog));
}
