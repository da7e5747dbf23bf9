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

// When a command is refused.
enum class RefusedWhen : std::uint8_t {
    Busy,       // while saving at intervals or recording
    Recording,  // the frame may still be moved while it saves at intervals
};

struct FrameCommandRow {
    FrameCommand command;
    MenuPlace place;
    // The menu item's caption; empty for a command without an item.
    const char16_t* caption;
    // A separator stands above the item.
    bool separatorBefore;
    // The keys that run the command, the first of which the menu item names; null where none.
    std::array<const char*, 2> keys;
    RefusedWhen refused;
};

// One row a command, in the command menu's order.
std::span<const FrameCommandRow> frameCommands();
const FrameCommandRow& frameCommand(FrameCommand command);

// Whether the command runs in this state of the captures.
bool runsNow(FrameCommand command, const CaptureState& capture);

// The direction of a step command; None for every other command.
StepDirection stepDirection(FrameCommand command);
