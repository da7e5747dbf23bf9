// The hot-key page's rule for a key pressed into an action's field, and the notes beside the fields.
#pragma once

#include <QString>
#include <array>

#include "core/logic/hotkey_settings.h"

// The key of each action as the page holds it, indexed by HotkeyAction.
using HotkeyKeys = std::array<HotkeyCombination, kHotkeyActionCount>;

// What stands beside a field: nothing, or why its key will not work or was not taken.
enum class HotkeyNote {
    None,
    HeldElsewhere,  // taken, but another program holds it: it will not be registered
    Unusable,       // refused: no modifier, or a key the hot-key service cannot grab
    SameAsAnother,  // refused: another action has it
};

// Why the page refuses pressed for action (Unusable or SameAsAnother); None when it takes it. The
// key the field already holds is taken again.
HotkeyNote refusalOf(const HotkeyKeys& keys, HotkeyAction action, const HotkeyCombination& pressed);

// The note's few words beside the field (empty for None), and the sentence of its tool tip.
QString hotkeyNoteText(HotkeyNote note);
QString hotkeyNoteTip(HotkeyNote note);
