#pragma once

#include <QWidget>
#include <array>

#include "settings/logic/hotkey_choice.h"

class GlobalHotkeys;
class HotkeyField;
class QLabel;

// The settings dialog's hot-key page: a field per action that takes its key by a press, and beside
// each a note that tells a key another program holds, or why a pressed key was not taken. The page
// only holds the keys; the dialog's OK applies them.
class HotkeyPage : public QWidget {
    Q_OBJECT
public:
    explicit HotkeyPage(GlobalHotkeys& hotkeys, QWidget* parent = nullptr);

    // Shows keys, each noted when another program holds it.
    void setKeys(const HotkeyKeys& keys);
    const HotkeyKeys& keys() const { return m_keys; }

    HotkeyField* field(HotkeyAction action) const { return m_fields[std::size_t(action)]; }
    QLabel* note(HotkeyAction action) const { return m_notes[std::size_t(action)]; }

private:
    void take(HotkeyAction action, const HotkeyCombination& pressed);
    void showNote(HotkeyAction action, HotkeyNote note);
    // The note of a key the page holds: whether another program holds it.
    HotkeyNote holderNote(const HotkeyCombination& key);

    GlobalHotkeys& m_hotkeys;
    HotkeyKeys m_keys = defaultHotkeys().keys;
    std::array<HotkeyField*, kHotkeyActionCount> m_fields{};
    std::array<QLabel*, kHotkeyActionCount> m_notes{};
};
