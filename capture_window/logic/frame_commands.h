#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "capture_window/logic/keyboard_stepper.h"
#include "core/logic/capture_state.h"

// Everything the frame window can be asked to do, from its menu, its keys or a hot key.
enum class FrameCommand : std::uint8_t {
    OpenMenu,
    SaveAs,
    SaveToFolder,
    SaveAtIntervals,
    Copy,
    StartRecording,
    Print,
    WholeScreen,
    SaveTypeJpeg,
    SaveTypeBmp,
    SaveTypeGif,
    SaveTypePng,
    ChooseSaveFolder,
    Settings,
    About,
    Help,
    StepUp,
    StepLeft,
    StepDown,
    StepRight,
    StepLarger,
    StepSmaller,
    BringToFront,
};
inline constexpr std::size_t kFrameCommandCount = std::size_t(FrameCommand::BringToFront) + 1;

// Where a command's item stands in the command menu.
enum class MenuPlace : std::uint8_t { None, Main, SaveType, Help };

struct FrameCommandRow {
    FrameCommand command;
    MenuPlace place;
    // The menu item's caption; empty for a command without an item.
    const char16_t* caption;
    // A separator stands above the item.
    bool separatorBefore;
    // The keys that run the command, the first of which the menu item names; null where none.
    std::array<const char*, 2> keys;
    // Where a move or size key takes the frame; None for every other command.
    StepDirection step;
};

// One row a command, in the order of the enum and of the command menu.
std::span<const FrameCommandRow> frameCommands();
const FrameCommandRow& frameCommand(FrameCommand command);

// Whether a key or hot key may run the command now: none while the frame saves at intervals or
// records, except the move and size keys, which only a recording refuses.
bool runsNow(FrameCommand command, const CaptureState& capture);
