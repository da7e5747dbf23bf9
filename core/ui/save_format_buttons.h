#pragma once

#include <array>

#include "core/logic/save_format.h"

// The frame's format menu items or the settings dialog's radio buttons, one for each row of
// kSaveFormats and in its order.
template <typename Button>
using SaveFormatButtons = std::array<Button*, kSaveFormats.size()>;

// Checks the button of a code; a code of no format checks none.
template <typename Button>
void checkSaveFormatButton(const SaveFormatButtons<Button>& buttons, int code) {
    for (std::size_t i = 0; i < buttons.size(); ++i)
        if (saveTypeCode(kSaveFormats[i].format) == code) buttons[i]->setChecked(true);
}

// The code of the first checked button; PNG when none is checked.
template <typename Button>
std::uint8_t checkedSaveFormatButton(const SaveFormatButtons<Button>& buttons) {
    for (std::size_t i = 0; i < buttons.size(); ++i)
        if (buttons[i]->isChecked()) return saveTypeCode(kSaveFormats[i].format);
    return saveTypeCode(SaveFormat::Png);
}
