#include "capture_window/logic/frame_commands.h"

#include <iterator>

namespace {
using C = FrameCommand;
using P = MenuPlace;
constexpr auto None = StepDirection::None;

constexpr FrameCommandRow kRows[] = {
    {C::OpenMenu, P::None, u"", false, {"Ctrl+A", nullptr}, None},
    {C::SaveAs, P::Main, u"名前を付けて保存", false, {"Ctrl+S", nullptr}, None},
    {C::SaveToFolder, P::Main, u"指定先に保存", false, {"Ctrl+Z", nullptr}, None},
    {C::SaveAtIntervals, P::Main, u"一定時間ごとに保存", false, {"Ctrl+X", nullptr}, None},
    {C::Copy, P::Main, u"コピー", false, {"Ctrl+C", nullptr}, None},
    {C::StartRecording, P::Main, u"動画保存", false, {"Ctrl+F", nullptr}, None},
    {C::Print, P::Main, u"印刷", false, {"Ctrl+E", nullptr}, None},
    {C::WholeScreen, P::Main, u"全画面を対象", true, {"Ctrl+M", nullptr}, None},
    {C::SaveTypeJpeg, P::SaveType, u"JPEG", false, {"Ctrl+J", nullptr}, None},
    {C::SaveTypeBmp, P::SaveType, u"BMP", false, {"Ctrl+B", nullptr}, None},
    {C::SaveTypeGif, P::SaveType, u"GIF", false, {"Ctrl+G", nullptr}, None},
    {C::SaveTypePng, P::SaveType, u"PNG", false, {"Ctrl+P", nullptr}, None},
    {C::ChooseSaveFolder, P::Main, u"保存先設定", true, {"Ctrl+D", nullptr}, None},
    {C::Settings, P::Main, u"設定", false, {"Ctrl+V", nullptr}, None},
    {C::About, P::Help, u"バージョン情報", false, {nullptr, nullptr}, None},
    {C::Help, P::Help, u"ヘルプ", false, {nullptr, nullptr}, None},
    // Each step has two keys: the second works where the desktop takes Ctrl+Alt.
    {C::StepUp, P::None, u"", false, {"Ctrl+Alt+I", "Shift+I"}, StepDirection::Up},
    {C::StepLeft, P::None, u"", false, {"Ctrl+Alt+J", "Shift+J"}, StepDirection::Left},
    {C::StepDown, P::None, u"", false, {"Ctrl+Alt+K", "Shift+K"}, StepDirection::Down},
    {C::StepRight, P::None, u"", false, {"Ctrl+Alt+L", "Shift+L"}, StepDirection::Right},
    {C::StepLarger, P::None, u"", false, {"Ctrl+Alt+O", "Shift+O"}, StepDirection::Larger},
    {C::StepSmaller, P::None, u"", false, {"Ctrl+Alt+U", "Shift+U"}, StepDirection::Smaller},
    // The hot key's own key is the settings file's choice.
    {C::BringToFront, P::None, u"", false, {nullptr, nullptr}, None},
};

constexpr bool inEnumOrder() {
    for (std::size_t i = 0; i < std::size(kRows); ++i)
        if (std::size_t(kRows[i].command) != i) return false;
    return std::size(kRows) == kFrameCommandCount;
}
static_assert(inEnumOrder(), "one row a command, in the enum's order");
}  // namespace

std::span<const FrameCommandRow> frameCommands() { return kRows; }

const FrameCommandRow& frameCommand(FrameCommand command) { return kRows[std::size_t(command)]; }

bool runsNow(FrameCommand command, const CaptureState& capture) {
    return frameCommand(command).step == StepDirection::None ? !capture.busy() : !capture.Recording;
}
