#pragma once

#include <QObject>
#include <memory>

// System-wide hot keys: a registered key combination reaches this object whatever window has the
// keyboard focus, including windows of other programs, and is reported by its id. The presses come
// through the GUI thread's event loop, so activated() is only emitted while that loop runs; it is
// emitted after the press has been taken off the window system's queue, never from inside it.
// The lock keys (Caps Lock, Num Lock, Scroll Lock) do not matter: a hot key fires in any lock state.
class GlobalHotkeys : public QObject {
    Q_OBJECT
public:
    explicit GlobalHotkeys(QObject* parent = nullptr);
    // Releases every hot key this object holds.
    ~GlobalHotkeys() override;

    // Makes modifiers+key a system-wide key under id; an id registered before gives up its old key
    // once the new one is held (on failure it keeps the old one). Supported keys: F1..F35, A..Z, 0..9,
    // Pause, Print, ScrollLock, Insert, Delete, Home, End, PageUp, PageDown, the arrows and Space;
    // modifiers: Control, Shift, Alt, Meta. false when another program (or another id of this object)
    // already holds the combination, when the key is not supported or has no key on the keyboard, or
    // when the application does not run on X11.
    bool registerHotkey(int id, Qt::KeyboardModifiers modifiers, Qt::Key key);
    // Whether another program holds modifiers+key, so that registerHotkey would fail: tried by grabbing
    // it and letting it go at once (a key this object holds is not tried, and counts as free). false
    // when it cannot be told (the key has no key on the keyboard, or the application does not run on
    // X11).
    bool heldElsewhere(Qt::KeyboardModifiers modifiers, Qt::Key key);
    // Gives the key of id back to the system; an unknown id is ignored.
    void unregisterHotkey(int id);

signals:
    void activated(int id);

private:
    class Impl;
    std::unique_ptr<Impl> m_impl;
};
