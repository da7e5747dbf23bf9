#include "capture_window/logic/frame_commands.h"

#include <algorithm>

namespace {
using C = FrameCommand;
using P = MenuPlace;
constexpr auto Busy = RefusedWhen::Busy;

constexpr FrameCommandRow kRows[] = {
    {C::OpenMenu, P::None, u"", false, {"Ctrl+A", nullptr}, Busy},
    {C::SaveAs, P::Main, u"名前を付けて保存", false, {"Ctrl+S", nullptr}, Busy},
    {C::SaveToFolder, P::Main, u"指定先に保存", false, {"Ctrl+Z", nullptr}, Busy},
    {C::SaveAtIntervals, P::Main, u"一定時間ごとに保存", false, {"Ctrl+X", nullptr}, Busy},
    {C::Copy, P::Main, u"コピー", false, {"Ctrl+C", nullptr}, Busy},
    {C::StartRecording, P::Main, u"動画保存", false, {"Ctrl+F", nullptr}, Busy},
    {C::Print, P::Main, u"印刷", false, {"Ctrl+E", nullptr}, Busy},
    {C::WholeScreen, P::Main, u"全画面を対象", true, {"Ctrl+M", nullptr}, Busy},
    {C::SaveTypeJpeg, P::SaveType, u"JPEG", false, {"Ctrl+J", nullptr}, Busy},
    {C::SaveTypeBmp, P::SaveType, u"BMP", false, {"Ctrl+B", nullptr}, Busy},
    {C::SaveTypeGif, P::SaveType, u"GIF", false, {"Ctrl+G", nullptr}, Busy},
    {C::SaveTypePng, P::SaveType, u"PNG", false, {"Ctrl+P", nullptr}, Busy},
    {C::ChooseSaveFolder, P::Main, u"保存先設定", true, {"Ctrl+D", nullptr}, Busy},
    {C::Settings, P::Main, u"設定", false, {"Ctrl+V", nullptr}, Busy},
    {C::About, P::Help, u"バージョン情報", false, {nullptr, nullptr}, Busy},
    {C::Help, P::Help, u"ヘルプ", false, {nullptr, nullptr}, Busy},
    // Each step has two keys: the second works where the desktop takes Ctrl+Alt.
    {C::StepUp, P::None, u"", false, {"Ctrl+Alt+I", "Shift+I"}, RefusedWhen::Recording},
    {C::StepLeft, P::None, u"", false, {"Ctrl+Alt+J", "Shift+J"}, RefusedWhen::Recording},
    {C::StepDown, P::None, u"", false, {"Ctrl+Alt+K", "Shift+K"}, RefusedWhen::Recording},
    {C::StepRight, P::None, u"", false, {"Ctrl+Alt+L", "Shift+L"}, RefusedWhen::Recording},
    {C::StepLarger, P::None, u"", false, {"Ctrl+Alt+O", "Shift+O"}, RefusedWhen::Recording},
    {C::StepSmaller, P::None, u"", false, {"Ctrl+Alt+U", "Shift+U"}, RefusedWhen::Recording},
    // The hot key's own key is the settings file's choice.
    {C::BringToFront, P::None, u"", false, {nullptr, nullptr}, Busy},
};
}  // namespace

std::span<const FrameCommandRow> frameCommands() { return kRows; }

const FrameCommandRow& frameCommand(FrameCommand command) {
    return *std::find_if(std::begin(kRows), std::end(kRows),
                         [command](const FrameCommandRow& row) { return row.command == command; });
}

bool runsNow(FrameCommand command, const CaptureState& capture) {
    switch (frameCommand(command).refused) {
        case RefusedWhen::Busy:
            return !capture.busy();
        case RefusedWhen::Recording:
            return !capture.Recording;
    }
    return false;
}

StepDirection stepDirection(FrameCommand command) {
    switch (command) {
        case C::StepUp:
            return StepDirection::Up;
        case C::StepLeft:
            return StepDirection::Left;
        case C::StepDown:
            return StepDirection::Down;
        case C::StepRight:
            return StepDirection::Right;
        case C::StepLarger:
            return StepDirection::Larger;
        case C::StepSmaller:
            return StepDirection::Smaller;
        default:
            return StepDirection::None;
    }
}
