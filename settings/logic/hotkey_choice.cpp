#include "settings/logic/hotkey_choice.h"

HotkeyNote refusalOf(const HotkeyKeys& keys, HotkeyAction action, const HotkeyCombination& pressed) {
    if (!usableHotkey(pressed)) return HotkeyNote::Unusable;
    for (int i = 0; i < kHotkeyActionCount; ++i)
        if (i != int(action) && keys[std::size_t(i)] == pressed) return HotkeyNote::SameAsAnother;
    return HotkeyNote::None;
}

namespace {

// Each note's text beside the field and its tip, by HotkeyNote.
struct NoteTexts {
    HotkeyNote note;
    const char16_t* text;
    const char16_t* tip;
};
constexpr NoteTexts kNotes[] = {
    {HotkeyNote::HeldElsewhere, u"他で使用中",
     u"ほかのプログラムが使っているキーです。このキーのままでは働きません。"},
    {HotkeyNote::Unusable, u"使えません",
     u"Ctrl、Shift、Alt、Meta の1つ以上と、F1～F35、A～Z、0～9、Pause、Print、ScrollLock、"
     u"Insert、Delete、Home、End、PgUp、PgDown、矢印、Space のどれかを一緒に押してください。"},
    {HotkeyNote::SameAsAnother, u"他と重複", u"ほかの操作と同じキーは選べません。"},
};

const NoteTexts* textsOf(HotkeyNote note) {
    for (const NoteTexts& texts : kNotes)
        if (texts.note == note) return &texts;
    return nullptr;
}

}  // namespace

QString hotkeyNoteText(HotkeyNote note) {
    const NoteTexts* texts = textsOf(note);
    return texts ? QString::fromUtf16(texts->text) : QString();
}

QString hotkeyNoteTip(HotkeyNote note) {
    const NoteTexts* texts = textsOf(note);
    return texts ? QString::fromUtf16(texts->tip) : QString();
}
