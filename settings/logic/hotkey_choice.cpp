#include "settings/logic/hotkey_choice.h"

HotkeyNote refusalOf(const HotkeyKeys& keys, HotkeyAction action, const HotkeyCombination& pressed) {
    if (!usableHotkey(pressed)) return HotkeyNote::Unusable;
    for (int i = 0; i < kHotkeyActionCount; ++i)
        if (i != int(action) && keys[std::size_t(i)] == pressed) return HotkeyNote::SameAsAnother;
    return HotkeyNote::None;
}

QString hotkeyNoteText(HotkeyNote note) {
    switch (note) {
        case HotkeyNote::None:
            break;
        case HotkeyNote::HeldElsewhere:
            return QStringLiteral("他で使用中");
        case HotkeyNote::Unusable:
            return QStringLiteral("使えません");
        case HotkeyNote::SameAsAnother:
            return QStringLiteral("他と重複");
    }
    return QString();
}

QString hotkeyNoteTip(HotkeyNote note) {
    switch (note) {
        case HotkeyNote::None:
            break;
        case HotkeyNote::HeldElsewhere:
            return QStringLiteral("ほかのプログラムが使っているキーです。このキーのままでは働きません。");
        case HotkeyNote::Unusable:
            return QStringLiteral(
                "Ctrl、Shift、Alt、Meta の1つ以上と、F1～F35、A～Z、0～9、Pause、Print、ScrollLock、"
                "Insert、Delete、Home、End、PgUp、PgDown、矢印、Space のどれかを一緒に押してください。");
        case HotkeyNote::SameAsAnother:
            return QStringLiteral("ほかの操作と同じキーは選べません。");
    }
    return QString();
}
