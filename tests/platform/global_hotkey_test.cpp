// Hot keys on the real X server: keys are typed with xdotool, rival grabs come from X connections
// of the test's own.
#include "platform/x11/global_hotkey.h"

#include <gtest/gtest.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <QGuiApplication>
#include <QWidget>
#include <cstdlib>
#include <memory>
#include <vector>

#include "fakes/x11_test_support.h"

namespace {

constexpr int kCtrl = XCB_MOD_MASK_CONTROL, kLock = XCB_MOD_MASK_LOCK, kNumLock = XCB_MOD_MASK_2;
constexpr xcb_keysym_t kF1 = 0xffbe, kF2 = 0xffbf, kF4 = 0xffc1, kF5 = 0xffc2, kF35 = 0xffe0;
const std::vector<int> kCtrlInAnyLockState = {kCtrl, kCtrl | kLock, kCtrl | kNumLock,
                                              kCtrl | kLock | kNumLock};

template <typename T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;
using Connection = std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)>;
Connection connectToX() { return {xcb_connect(nullptr, nullptr), &xcb_disconnect}; }
xcb_window_t rootOf(xcb_connection_t* c) { return xcb_setup_roots_iterator(xcb_get_setup(c)).data->root; }

// Grabs the key on the root in each state; false when the key has no keycode or a grab is refused.
bool grab(xcb_connection_t* c, xcb_keysym_t keysym, const std::vector<int>& states) {
    std::unique_ptr<xcb_key_symbols_t, decltype(&xcb_key_symbols_free)> symbols(xcb_key_symbols_alloc(c),
                                                                                &xcb_key_symbols_free);
    Reply<xcb_keycode_t> codes(xcb_key_symbols_get_keycode(symbols.get(), keysym), &std::free);
    bool ok = codes != nullptr;
    for (int state : states) {
        auto cookie = xcb_grab_key_checked(c, 0, rootOf(c), state, codes ? codes.get()[0] : 0,
                                           XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        ok &= !Reply<xcb_generic_error_t>(xcb_request_check(c, cookie), &std::free);
    }
    return ok;
}

bool anotherClientCanGrab(xcb_keysym_t keysym) {
    return grab(connectToX().get(), keysym, kCtrlInAnyLockState);
}

int modifierState() {
    xcb_connection_t* c = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    Reply<xcb_query_pointer_reply_t> pointer(
        xcb_query_pointer_reply(c, xcb_query_pointer(c, rootOf(c)), nullptr), &std::free);
    return pointer->mask & 0xff;
}

// Switches a lock key on for its lifetime, making sure it did lock.
struct LockOn {
    explicit LockOn(const QString& key) : key(key) {
        const int before = modifierState();
        EXPECT_TRUE(sendKeys({key}));
        EXPECT_NE(modifierState() & ~before, 0) << key.toStdString() << " did not lock";
    }
    ~LockOn() { sendKeys({key}); }
    QString key;
};

struct Activations {
    explicit Activations(GlobalHotkeys& hotkeys) {
        QObject::connect(&hotkeys, &GlobalHotkeys::activated, [this](int id) { ids.push_back(id); });
    }
    std::vector<int> waitFor(size_t count) {
        waitUntil([&] { return ids.size() >= count; });
        QCoreApplication::processEvents();  // a surplus activation would show up here
        return ids;
    }
    std::vector<int> ids;
};

}  // namespace

TEST(GlobalHotkeys, FiresInEveryLockStateAndWhileOwnWindowHasFocus) {
    GlobalHotkeys hotkeys;
    Activations log(hotkeys);
    ASSERT_TRUE(hotkeys.registerHotkey(456, Qt::ControlModifier, Qt::Key_F4));
    ASSERT_TRUE(sendKeys({"ctrl+F4"}));
    {
        LockOn numLock("Num_Lock");
        sendKeys({"ctrl+F4"});
        LockOn capsLock("Caps_Lock");
        sendKeys({"ctrl+F4"});
    }
    {
        LockOn capsLock("Caps_Lock");
        sendKeys({"ctrl+F4"});
    }
    QWidget window;
    window.show();
    window.activateWindow();
    ASSERT_TRUE(waitUntil([&] { return window.isActiveWindow(); }));
    sendKeys({"ctrl+F4"});
    EXPECT_EQ(log.waitFor(5), std::vector<int>(5, 456));
}

TEST(GlobalHotkeys, SeveralIdsDispatchToTheirOwnId) {
    GlobalHotkeys hotkeys;
    Activations log(hotkeys);
    ASSERT_TRUE(hotkeys.registerHotkey(456, Qt::ControlModifier, Qt::Key_F4));
    ASSERT_TRUE(hotkeys.registerHotkey(457, Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_F4));
    ASSERT_TRUE(hotkeys.registerHotkey(123, Qt::ControlModifier, Qt::Key_F1));
    ASSERT_TRUE(hotkeys.registerHotkey(234, Qt::ControlModifier, Qt::Key_F2));
    ASSERT_TRUE(hotkeys.registerHotkey(345, Qt::ControlModifier, Qt::Key_F3));
    ASSERT_TRUE(hotkeys.registerHotkey(9, Qt::AltModifier, Qt::Key_K));
    ASSERT_TRUE(sendKeys({"ctrl+F2", "ctrl+shift+F4", "ctrl+F4", "ctrl+F1", "alt+k", "ctrl+F3"}));
    EXPECT_EQ(log.waitFor(6), (std::vector<int>{234, 457, 456, 123, 9, 345}));
}

TEST(GlobalHotkeys, KeyHeldByAnotherClientFailsAndLeavesNoGrabBehind) {
    // The rival's grab is met first, in the middle or last among the lock states.
    for (int rivalState : {kCtrl, kCtrl | kLock, kCtrl | kLock | kNumLock}) {
        SCOPED_TRACE(rivalState);
        GlobalHotkeys hotkeys;
        Connection rival = connectToX();
        ASSERT_TRUE(grab(rival.get(), kF4, {rivalState}));
        EXPECT_TRUE(hotkeys.heldElsewhere(Qt::ControlModifier, Qt::Key_F4));
        EXPECT_FALSE(hotkeys.registerHotkey(456, Qt::ControlModifier, Qt::Key_F4));
        EXPECT_TRUE(grab(rival.get(), kF4, kCtrlInAnyLockState));
        rival.reset();
        // The server drops the rival's grabs once it has handled the disconnection.
        EXPECT_TRUE(waitUntil([&] { return hotkeys.registerHotkey(456, Qt::ControlModifier, Qt::Key_F4); }));
    }
}

TEST(GlobalHotkeys, GivesKeysBackOnUnregisterReplaceAndDestruction) {
    auto hotkeys = std::make_unique<GlobalHotkeys>();
    Activations log(*hotkeys);
    ASSERT_TRUE(hotkeys->registerHotkey(456, Qt::ControlModifier, Qt::Key_F4));
    ASSERT_TRUE(hotkeys->registerHotkey(123, Qt::ControlModifier, Qt::Key_F1));
    // Trying a key lets it go again, and does not let go of a key of its own.
    EXPECT_FALSE(hotkeys->heldElsewhere(Qt::ControlModifier, Qt::Key_F4));
    EXPECT_FALSE(hotkeys->heldElsewhere(Qt::ControlModifier, Qt::Key_F5));
    EXPECT_TRUE(anotherClientCanGrab(kF5));
    EXPECT_FALSE(anotherClientCanGrab(kF4));
    hotkeys->unregisterHotkey(456);
    hotkeys->unregisterHotkey(999);
    EXPECT_TRUE(anotherClientCanGrab(kF4));

    ASSERT_TRUE(hotkeys->registerHotkey(123, Qt::ControlModifier, Qt::Key_F2));
    EXPECT_TRUE(anotherClientCanGrab(kF1));
    ASSERT_TRUE(sendKeys({"ctrl+F2"}));
    EXPECT_EQ(log.waitFor(1), std::vector<int>{123});

    hotkeys.reset();
    EXPECT_TRUE(anotherClientCanGrab(kF2));
}

TEST(GlobalHotkeys, RefusesWhatItCannotHoldAndKeepsWhatItHas) {
    GlobalHotkeys hotkeys;
    ASSERT_TRUE(hotkeys.registerHotkey(123, Qt::ControlModifier, Qt::Key_F1));
    EXPECT_FALSE(hotkeys.registerHotkey(234, Qt::ControlModifier, Qt::Key_F1));      // another id has it
    EXPECT_FALSE(hotkeys.registerHotkey(234, Qt::ControlModifier, Qt::Key_Escape));  // not supported
    Connection rival = connectToX();
    ASSERT_FALSE(grab(rival.get(), kF35, {})) << "the test needs a keyboard map without F35";
    EXPECT_FALSE(hotkeys.registerHotkey(234, Qt::ControlModifier, Qt::Key_F35));

    ASSERT_TRUE(grab(rival.get(), kF2, {kCtrl}));
    EXPECT_FALSE(hotkeys.registerHotkey(123, Qt::ControlModifier, Qt::Key_F2));  // the move fails...
    EXPECT_FALSE(anotherClientCanGrab(kF1));                                     // ...and F1 stays held
}
