#include "core/logic/hotkey_settings.h"

#include <QKeySequence>
#include <algorithm>

#include "platform/system/ini_profile.h"

namespace {

constexpr Qt::KeyboardModifiers kModifiers =
    Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier | Qt::MetaModifier;

// The keys the hot-key service can grab besides F1..F35, letters and digits.
constexpr Qt::Key kOtherKeys[] = {Qt::Key_Pause,    Qt::Key_Print, Qt::Key_ScrollLock, Qt::Key_Insert,
                                  Qt::Key_Delete,   Qt::Key_Home,  Qt::Key_End,        Qt::Key_PageUp,
                                  Qt::Key_PageDown, Qt::Key_Left,  Qt::Key_Up,         Qt::Key_Right,
                                  Qt::Key_Down,     Qt::Key_Space};

bool supportedKey(Qt::Key key) {
    return (key >= Qt::Key_F1 && key <= Qt::Key_F35) || (key >= Qt::Key_A && key <= Qt::Key_Z) ||
           (key >= Qt::Key_0 && key <= Qt::Key_9) ||
           std::find(std::begin(kOtherKeys), std::end(kOtherKeys), key) != std::end(kOtherKeys);
}

constexpr const char16_t* kKeyNames[kHotkeyActionCount] = {u"front", u"resume", u"pause", u"stop"};

}  // namespace

QString HotkeyCombination::text() const {
    return QKeySequence(QKeyCombination(modifiers, key)).toString(QKeySequence::PortableText);
}

bool usableHotkey(const HotkeyCombination& combination) {
    return (combination.modifiers & kModifiers) && !(combination.modifiers & ~kModifiers) &&
           supportedKey(combination.key);
}

HotkeySet defaultHotkeys() {
    return {{{{Qt::ControlModifier, Qt::Key_F4},
              {Qt::ControlModifier, Qt::Key_F1},
              {Qt::ControlModifier, Qt::Key_F2},
              {Qt::ControlModifier, Qt::Key_F3}}},
            {}};
}

std::optional<HotkeyCombination> parseHotkey(const QString& text) {
    const QString trimmed = text.trimmed();
    // QKeySequence would read a list of combinations, or a bare modifier as a key of its own.
    if (trimmed.isEmpty() || trimmed.contains(QLatin1Char(',')) || trimmed.endsWith(QLatin1Char('+')))
        return std::nullopt;
    const QKeySequence sequence = QKeySequence::fromString(trimmed, QKeySequence::PortableText);
    if (sequence.count() != 1) return std::nullopt;
    const QKeyCombination combination = sequence[0];
    const HotkeyCombination result{combination.keyboardModifiers(), combination.key()};
    if (!usableHotkey(result)) return std::nullopt;
    return result;
}

HotkeySet resolveHotkeys(const std::array<std::optional<QString>, kHotkeyActionCount>& texts) {
    const HotkeySet defaults = defaultHotkeys();
    HotkeySet result = defaults;
    std::array<bool, kHotkeyActionCount> chosen{};
    std::array<bool, kHotkeyActionCount> refused{};
    for (int i = 0; i < kHotkeyActionCount; ++i) {
        const std::optional<HotkeyCombination> parsed = texts[i] ? parseHotkey(*texts[i]) : std::nullopt;
        refused[i] = texts[i] && !parsed;
        if (!parsed) continue;
        result.keys[i] = *parsed;
        chosen[i] = true;
    }
    // A chosen key that another action also has goes back to its default (two actions given the same
    // key both do); a default may in turn meet another chosen key, so this runs until nothing changes.
    for (bool changed = true; changed;) {
        std::array<bool, kHotkeyActionCount> clash{};
        for (int i = 0; i < kHotkeyActionCount; ++i)
            for (int j = 0; j < kHotkeyActionCount; ++j)
                clash[i] = clash[i] || (chosen[i] && j != i && result.keys[i] == result.keys[j]);
        changed = false;
        for (int i = 0; i < kHotkeyActionCount; ++i) {
            if (!clash[i]) continue;
            result.keys[i] = defaults.keys[i];
            chosen[i] = false;
            refused[i] = true;
            changed = true;
        }
    }
    for (int i = 0; i < kHotkeyActionCount; ++i)
        if (refused[i])
            result.rejected << QString::fromUtf16(kKeyNames[i]) + QLatin1Char('=') + texts[i]->trimmed();
    return result;
}

HotkeySet readHotkeys(const QString& iniPath) {
    const IniProfile profile = IniProfile::read(iniPath);
    std::array<std::optional<QString>, kHotkeyActionCount> texts;
    for (int i = 0; i < kHotkeyActionCount; ++i)
        texts[i] = profile.readString(QStringLiteral("hotkey"), QString::fromUtf16(kKeyNames[i]));
    return resolveHotkeys(texts);
}

bool writeHotkeys(IniProfile& profile, const HotkeySet& hotkeys) {
    const QString section = QStringLiteral("hotkey");
    const HotkeySet defaults = defaultHotkeys();
    for (int i = 0; i < kHotkeyActionCount; ++i) {
        const QString name = QString::fromUtf16(kKeyNames[i]);
        const bool stored = profile.readString(section, name).has_value();
        if ((stored || hotkeys.keys[i] != defaults.keys[i]) &&
            !profile.writeString(section, name, hotkeys.keys[i].text()))
            return false;
    }
    return true;
}

QString hotkeyFailureText(const QList<HotkeyCombination>& combinations) {
    QStringList names;
    for (const HotkeyCombination& combination : combinations) names << combination.text();
    const QString text = QStringLiteral(
        "ホットキー登録に失敗しました\n%1 を使えません。\n"
        "設定(Ctrl+V)の「%2」ページで別のキーを選べます。");
    return text.arg(names.join(QStringLiteral("、")), QString::fromUtf16(kHotkeyPageCaption));
}

QString waylandHotkeyNote() {
    return QStringLiteral(
        "Wayland のデスクトップでは、ホットキーは Kadrel のウィンドウを選んでいる間だけ働きます。\n"
        "デスクトップのキーボードショートカットに、次のコマンドを登録してください:\n"
        "kadrel --command start / pause / resume / stop / front");
}

QString rejectedHotkeysText(const QStringList& entries) {
    return QStringLiteral(
               "kadrel.ini の [hotkey] に使えない指定があります\n%1\n"
               "これらの操作には既定のキーを使います。")
        .arg(entries.join(QLatin1Char('\n')));
}
