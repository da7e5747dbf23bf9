#include "platform/x11/global_hotkey.h"

// The X11 side: passive key grabs on the root window, keyboard map lookups through xcb-keysyms.
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QGuiApplication>
#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "platform/x11/xcb_support_x11.h"

namespace {

struct KeySymbolsDeleter {
    void operator()(xcb_key_symbols_t* p) const { xcb_key_symbols_free(p); }
};
using KeySymbolsPtr = std::unique_ptr<xcb_key_symbols_t, KeySymbolsDeleter>;

constexpr xcb_keysym_t kKeysymF1 = 0xffbe;
constexpr xcb_keysym_t kKeysymNumLock = 0xff7f;
constexpr xcb_keysym_t kKeysymScrollLock = 0xff14;
constexpr xcb_keysym_t kKeysymAltL = 0xffe9;
constexpr xcb_keysym_t kKeysymSuperL = 0xffeb;
// Key states also carry pointer buttons and the keyboard group above these bits.
constexpr uint16_t kModifierBits = 0xff;

// One passive grab: a keycode with the exact modifier state it fires on.
using Grab = std::pair<xcb_keycode_t, uint16_t>;

struct Hotkey {
    std::vector<xcb_keycode_t> keycodes;
    uint16_t modifiers = 0;
    uint16_t lockMask = 0;  // lock modifiers that are ignored when matching a press
    std::vector<Grab> grabs;
};

// Keys other than F1..F35, letters and digits, with their X keysyms.
constexpr std::pair<Qt::Key, xcb_keysym_t> kOtherKeysyms[] = {
    {Qt::Key_Pause, 0xff13},  {Qt::Key_Print, 0xff61},  {Qt::Key_ScrollLock, 0xff14},
    {Qt::Key_Insert, 0xff63}, {Qt::Key_Delete, 0xffff}, {Qt::Key_Home, 0xff50},
    {Qt::Key_End, 0xff57},    {Qt::Key_PageUp, 0xff55}, {Qt::Key_PageDown, 0xff56},
    {Qt::Key_Left, 0xff51},   {Qt::Key_Up, 0xff52},     {Qt::Key_Right, 0xff53},
    {Qt::Key_Down, 0xff54},   {Qt::Key_Space, 0x20}};

xcb_keysym_t keysymFor(Qt::Key key) {
    for (const auto& [qtKey, keysym] : kOtherKeysyms)
        if (qtKey == key) return keysym;
    if (key >= Qt::Key_F1 && key <= Qt::Key_F35) return kKeysymF1 + (key - Qt::Key_F1);
    // The keyboard map lists the unshifted symbol first, so letters are looked up in lower case.
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return 'a' + (key - Qt::Key_A);
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return '0' + (key - Qt::Key_0);
    return 0;
}

std::vector<xcb_keycode_t> keycodesFor(xcb_key_symbols_t* symbols, xcb_keysym_t keysym) {
    std::vector<xcb_keycode_t> result;
    MallocPtr<xcb_keycode_t> codes(xcb_key_symbols_get_keycode(symbols, keysym));
    if (!codes) return result;
    for (const xcb_keycode_t* code = codes.get(); *code != XCB_NO_SYMBOL; ++code) {
        if (std::find(result.begin(), result.end(), *code) == result.end()) result.push_back(*code);
    }
    return result;
}

// Which of the eight modifiers the keyboard map binds the keys of interest to.
struct ModifierMasks {
    uint16_t alt = XCB_MOD_MASK_1;
    uint16_t meta = XCB_MOD_MASK_4;
    uint16_t numLock = 0;
    uint16_t scrollLock = 0;
};

ModifierMasks readModifierMasks(xcb_connection_t* connection, xcb_key_symbols_t* symbols) {
    ModifierMasks masks;
    MallocPtr<xcb_get_modifier_mapping_reply_t> mapping(
        xcb_get_modifier_mapping_reply(connection, xcb_get_modifier_mapping(connection), nullptr));
    if (!mapping) return masks;
    const xcb_keycode_t* table = xcb_get_modifier_mapping_keycodes(mapping.get());
    const int perModifier = mapping->keycodes_per_modifier;
    auto maskOf = [&](xcb_keysym_t keysym) -> uint16_t {
        const std::vector<xcb_keycode_t> codes = keycodesFor(symbols, keysym);
        for (int modifier = 0; modifier < 8; ++modifier) {
            for (int i = 0; i < perModifier; ++i) {
                const xcb_keycode_t code = table[modifier * perModifier + i];
                if (code != 0 && std::find(codes.begin(), codes.end(), code) != codes.end()) {
                    return uint16_t(1u << modifier);
                }
            }
        }
        return 0;
    };
    if (const uint16_t alt = maskOf(kKeysymAltL)) masks.alt = alt;
    if (const uint16_t meta = maskOf(kKeysymSuperL)) masks.meta = meta;
    masks.numLock = maskOf(kKeysymNumLock);
    masks.scrollLock = maskOf(kKeysymScrollLock);
    return masks;
}

uint16_t toXModifiers(Qt::KeyboardModifiers modifiers, const ModifierMasks& masks) {
    uint16_t result = 0;
    if (modifiers & Qt::ShiftModifier) result |= XCB_MOD_MASK_SHIFT;
    if (modifiers & Qt::ControlModifier) result |= XCB_MOD_MASK_CONTROL;
    if (modifiers & Qt::AltModifier) result |= masks.alt;
    if (modifiers & Qt::MetaModifier) result |= masks.meta;
    return result;
}

// The server matches a passive grab on the exact modifier state, so a key is grabbed once for every
// combination of lock keys that may be on.
std::vector<Grab> lockVariants(const std::vector<xcb_keycode_t>& keycodes, uint16_t modifiers,
                               const std::vector<uint16_t>& locks) {
    std::vector<Grab> grabs;
    for (xcb_keycode_t keycode : keycodes) {
        for (unsigned subset = 0; subset < (1u << locks.size()); ++subset) {
            uint16_t state = modifiers;
            for (size_t i = 0; i < locks.size(); ++i) {
                if (subset & (1u << i)) state |= locks[i];
            }
            grabs.emplace_back(keycode, state);
        }
    }
    return grabs;
}

// The grabs of a that are not in b.
std::vector<Grab> missingFrom(const std::vector<Grab>& a, const std::vector<Grab>& b) {
    std::vector<Grab> result;
    std::copy_if(a.begin(), a.end(), std::back_inserter(result),
                 [&](const Grab& grab) { return std::find(b.begin(), b.end(), grab) == b.end(); });
    return result;
}

// The root of the screen named by DISPLAY, the one Qt opened as its default.
xcb_window_t defaultRoot(xcb_connection_t* connection) {
    char* host = nullptr;
    int display = 0;
    int screenNumber = 0;
    if (!xcb_parse_display(nullptr, &host, &display, &screenNumber)) screenNumber = 0;
    std::free(host);
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; it.rem > 0; xcb_screen_next(&it), ++i) {
        if (i == screenNumber) return it.data->root;
    }
    return xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
}

}  // namespace

class GlobalHotkeys::Impl final : public QAbstractNativeEventFilter {
public:
    explicit Impl(GlobalHotkeys* owner) : m_owner(owner) {
        m_connection = qtConnection();
        if (!m_connection) return;
        m_root = defaultRoot(m_connection);
        QCoreApplication::instance()->installNativeEventFilter(this);
    }

    ~Impl() override {
        // Without the application its X connection is closed, and the grabs went with it.
        if (!m_connection || !QCoreApplication::instance()) return;
        QCoreApplication::instance()->removeNativeEventFilter(this);
        for (const auto& entry : m_hotkeys) ungrab(entry.second.grabs);
        xcb_flush(m_connection);
    }

    // The grabs that make modifiers+key a hot key; nothing when the key cannot be grabbed here.
    std::optional<Hotkey> describe(Qt::KeyboardModifiers modifiers, Qt::Key key) {
        const xcb_keysym_t keysym = keysymFor(key);
        if (!m_connection || keysym == 0) return std::nullopt;
        // Read afresh each time: the keyboard map may have changed since the last registration.
        KeySymbolsPtr symbols(xcb_key_symbols_alloc(m_connection));
        if (!symbols) return std::nullopt;
        Hotkey wanted;
        wanted.keycodes = keycodesFor(symbols.get(), keysym);
        if (wanted.keycodes.empty()) return std::nullopt;
        const ModifierMasks masks = readModifierMasks(m_connection, symbols.get());
        wanted.modifiers = toXModifiers(modifiers, masks);
        std::vector<uint16_t> locks;
        for (uint16_t lock : {uint16_t(XCB_MOD_MASK_LOCK), masks.numLock, masks.scrollLock}) {
            if (lock != 0 && !(lock & wanted.modifiers) && !(lock & wanted.lockMask)) {
                locks.push_back(lock);
                wanted.lockMask |= lock;
            }
        }
        wanted.grabs = lockVariants(wanted.keycodes, wanted.modifiers, locks);
        return wanted;
    }

    bool registerHotkey(int id, Qt::KeyboardModifiers modifiers, Qt::Key key) {
        std::optional<Hotkey> described = describe(modifiers, key);
        if (!described) return false;
        Hotkey& wanted = *described;
        for (const auto& [otherId, other] : m_hotkeys) {
            // The server would let us grab it again, and the two ids would then share one grab.
            const bool shared = missingFrom(wanted.grabs, other.grabs).size() != wanted.grabs.size();
            if (otherId != id && shared) return false;
        }
        const auto current = m_hotkeys.find(id);
        const std::vector<Grab> held =
            current != m_hotkeys.end() ? current->second.grabs : std::vector<Grab>();
        // What the id already holds stays grabbed throughout, so a failed move keeps the old key.
        if (!grabAll(missingFrom(wanted.grabs, held))) return false;
        ungrab(missingFrom(held, wanted.grabs));
        xcb_flush(m_connection);
        m_hotkeys[id] = std::move(wanted);
        return true;
    }

    bool heldElsewhere(Qt::KeyboardModifiers modifiers, Qt::Key key) {
        const std::optional<Hotkey> wanted = describe(modifiers, key);
        if (!wanted) return false;
        // A grab of our own would be taken over by the trial and lost with its release.
        std::vector<Grab> trial = wanted->grabs;
        for (const auto& entry : m_hotkeys) trial = missingFrom(trial, entry.second.grabs);
        if (!grabAll(trial)) return true;
        ungrab(trial);
        roundTrip();
        return false;
    }

    void unregisterHotkey(int id) {
        const auto it = m_hotkeys.find(id);
        if (it == m_hotkeys.end()) return;
        ungrab(it->second.grabs);
        xcb_flush(m_connection);
        m_hotkeys.erase(it);
    }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
        if (eventType != "xcb_generic_event_t") return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7f) != XCB_KEY_PRESS) return false;
        const auto* press = reinterpret_cast<const xcb_key_press_event_t*>(event);
        if (press->event != m_root) return false;
        for (const auto& [id, hotkey] : m_hotkeys) {
            const uint16_t state = press->state & kModifierBits & ~hotkey.lockMask;
            if (state != hotkey.modifiers) continue;
            if (std::find(hotkey.keycodes.begin(), hotkey.keycodes.end(), press->detail) ==
                hotkey.keycodes.end()) {
                continue;
            }
            // Queued, so that receivers may open dialogs or drop hot keys without running inside
            // Qt's handling of the X event queue.
            QMetaObject::invokeMethod(
                m_owner, [owner = m_owner, hotkeyId = id] { emit owner->activated(hotkeyId); },
                Qt::QueuedConnection);
            return true;
        }
        return false;
    }

private:
    // All or nothing: when any grab fails (BadAccess: another client holds it), the ones made are
    // released again.
    bool grabAll(const std::vector<Grab>& grabs) {
        std::vector<xcb_void_cookie_t> cookies;
        cookies.reserve(grabs.size());
        for (const auto& [keycode, state] : grabs) {
            // owner_events off: the repeats of a held key come on the root too, where the filter
            // looks, rather than to one of our own windows that has the focus.
            cookies.push_back(xcb_grab_key_checked(m_connection, 0, m_root, state, keycode,
                                                   XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        }
        std::vector<Grab> made;
        bool ok = true;
        for (size_t i = 0; i < cookies.size(); ++i) {
            MallocPtr<xcb_generic_error_t> error(xcb_request_check(m_connection, cookies[i]));
            if (error) {
                ok = false;
            } else {
                made.push_back(grabs[i]);
            }
        }
        if (!ok) {
            ungrab(made);
            roundTrip();
        }
        return ok;
    }

    // Not just a flush: once this returns, the keys released are free for others.
    void roundTrip() {
        MallocPtr<xcb_get_input_focus_reply_t> sync(
            xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
    }

    void ungrab(const std::vector<Grab>& grabs) {
        for (const auto& [keycode, state] : grabs) xcb_ungrab_key(m_connection, keycode, m_root, state);
    }

    GlobalHotkeys* m_owner;
    xcb_connection_t* m_connection = nullptr;
    xcb_window_t m_root = XCB_NONE;
    std::map<int, Hotkey> m_hotkeys;
};

GlobalHotkeys::GlobalHotkeys(QObject* parent) : QObject(parent), m_impl(std::make_unique<Impl>(this)) {}

GlobalHotkeys::~GlobalHotkeys() = default;

bool GlobalHotkeys::registerHotkey(int id, Qt::KeyboardModifiers modifiers, Qt::Key key) {
    return m_impl->registerHotkey(id, modifiers, key);
}

bool GlobalHotkeys::heldElsewhere(Qt::KeyboardModifiers modifiers, Qt::Key key) {
    return m_impl->heldElsewhere(modifiers, key);
}

void GlobalHotkeys::unregisterHotkey(int id) { m_impl->unregisterHotkey(id); }
