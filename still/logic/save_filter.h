#pragma once

#include <QString>
#include <cstdint>
#include <optional>

// What the save-as dialog preselects for a save format: its filter (1-based, in the dialog's
// order: all files, PNG, JPEG .jpg, JPEG .jpeg, bitmap, GIF) and the default extension.
struct SaveFilter {
    int index;
    QString suffix;
};

// The preselection for save formats 1 (JPEG) to 4 (PNG); nothing for any other value.
std::optional<SaveFilter> saveFilterFor(std::uint8_t saveType);
