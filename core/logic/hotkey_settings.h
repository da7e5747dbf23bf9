// The global hot keys the user may choose on the settings dialog's hot-key page, kept in the optional
// [hotkey] section of the settings file.
#pragma once

#include <QString>
#include <QStringList>
#include <Qt>
#include <array>
#include <optional>

class IniProfile;

// A system-wide key: one key with at least one modifier.
struct HotkeyCombination {
    Qt::KeyboardModifiers modifiers;
    Qt::Key key;

    bool operator==(const HotkeyCombination&) const = default;
    // The usual text form, e.g. "Ctrl+Shift+F4".
    QString text() const;
};

// What each hot key does; the keys of the [hotkey] section are "front", "resume", "pause" and "stop".
enum class HotkeyAction { Front, Resume, Pause, Stop };
inline constexpr int kHotkeyActionCount = 4;

// The ids the actions' keys are registered under: the frame window registers Front for its life,
// a recording the other three for its run, and the frame window carries out what they report.
inline constexpr int hotkeyId(HotkeyAction action) {
    constexpr int kIds[] = {456, 123, 234, 345};
    return kIds[int(action)];
}

// The key of each action, indexed by HotkeyAction.
struct HotkeySet {
    std::array<HotkeyCombination, kHotkeyActionCount> keys;
    // The entries of the file that were not taken, as "name=text", in the order of the actions.
    QStringList rejected;
    const HotkeyCombination& operator[](HotkeyAction action) const { return keys[std::size_t(action)]; }
};

// Ctrl+F4 (front), Ctrl+F1 (resume), Ctrl+F2 (pause), Ctrl+F3 (stop).
HotkeySet defaultHotkeys();

// One key with at least one of the modifiers Ctrl, Shift, Alt and Meta and no other, the key out of
// F1..F35, A..Z, 0..9, Pause, Print, ScrollLock, Insert, Delete, Home, End, PageUp, PageDown, Left,
// Up, Right, Down and Space: what the hot-key service can grab.
bool usableHotkey(const HotkeyCombination& combination);

// A combination in its text form (HotkeyCombination::text), case and blanks around it aside. Nothing
// for an unknown key name, a combination that is not usableHotkey, a modifier without a key, or more
// than one combination.
std::optional<HotkeyCombination> parseHotkey(const QString& text);

// The keys for the texts of the four actions (nothing: the key is not in the file). An action whose
// text is missing or unusable, or whose key is that of another action, has its default; the defaults
// themselves never clash. A text given but not taken is listed in rejected.
HotkeySet resolveHotkeys(const std::array<std::optional<QString>, kHotkeyActionCount>& texts);

// The hot keys of the settings file's [hotkey] section; all defaults without the file or the section.
HotkeySet readHotkeys(const QString& iniPath);

// Puts the keys into profile's [hotkey] section in their text form: an entry the section holds is
// rewritten where it stands, one it lacks is added only for a key other than its default, so a file
// whose keys were never changed gets no section. False when the profile refuses a write.
bool writeHotkeys(IniProfile& profile, const HotkeySet& hotkeys);

// The page of the settings dialog where the keys are chosen, as its tab is captioned.
inline constexpr const char16_t* kHotkeyPageCaption = u"ホットキー";

// The message shown when hot keys cannot be registered: "ホットキー登録に失敗しました", a line that
// names the keys and one that names the settings page that can choose others.
QString hotkeyFailureText(const QList<HotkeyCombination>& combinations);

// On a Wayland desktop the hot keys reach the program only while one of its windows has the keyboard,
// and a key the desktop holds shows no failure: instead of failures, this says once how to give the
// commands keys of the desktop's own.
QString waylandHotkeyNote();

// The message that names the [hotkey] entries not taken (HotkeySet::rejected) and says that their
// actions keep their usual keys.
QString rejectedHotkeysText(const QStringList& entries);
