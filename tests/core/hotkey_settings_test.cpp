// The hot keys of the [hotkey] section: their texts and the fall-back to the defaults.
#include "core/logic/hotkey_settings.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "fakes/test_files.h"
#include "settings/logic/settings_file.h"

namespace {
constexpr auto kCtrl = Qt::ControlModifier;
constexpr auto kShift = Qt::ShiftModifier;
HotkeyCombination key(Qt::KeyboardModifiers modifiers, Qt::Key k) { return {modifiers, k}; }
}  // namespace

TEST(HotkeySettings, ReadsTheUsualTextsInAnyCaseAndRefusesTheRest) {
    struct Row {
        const char* text;
        std::optional<HotkeyCombination> parsed;
    } const rows[] = {
        {"Ctrl+F4", key(kCtrl, Qt::Key_F4)},
        {"ctrl+shift+f4", key(kCtrl | kShift, Qt::Key_F4)},
        {"  Alt+Pause ", key(Qt::AltModifier, Qt::Key_Pause)},
        {"CTRL+F2", key(kCtrl, Qt::Key_F2)},
        {"Shift+Meta+z", key(kShift | Qt::MetaModifier, Qt::Key_Z)},
        {"Ctrl+Alt+0", key(kCtrl | Qt::AltModifier, Qt::Key_0)},
        {"F4", std::nullopt},     // no modifier
        {"Ctrl+", std::nullopt},  // no key
        {"Ctrl", std::nullopt},
        {"Ctrl+Foo", std::nullopt},     // unknown name
        {"Ctrl+Return", std::nullopt},  // a key that is not offered
        {"Ctrl+F4, Ctrl+F5", std::nullopt},
        {"", std::nullopt},
    };
    for (const Row& r : rows) EXPECT_EQ(parseHotkey(QString::fromUtf8(r.text)), r.parsed) << r.text;
    EXPECT_EQ(key(kCtrl | kShift, Qt::Key_F4).text(), QStringLiteral("Ctrl+Shift+F4"));
}

TEST(HotkeySettings, MissingUnusableOrSharedKeysFallBackToTheirOwnDefaults) {
    using Texts = std::array<std::optional<QString>, kHotkeyActionCount>;
    const HotkeyCombination f1 = key(kCtrl, Qt::Key_F1), f2 = key(kCtrl, Qt::Key_F2),
                            f3 = key(kCtrl, Qt::Key_F3), f4 = key(kCtrl, Qt::Key_F4),
                            x = key(kCtrl | kShift, Qt::Key_X);
    struct Row {
        const char* name;
        Texts texts;
        std::array<HotkeyCombination, 4> keys;  // front, resume, pause, stop
        QStringList rejected;
    } const rows[] = {
        {"none", {}, {f4, f1, f2, f3}, {}},
        {"one chosen", {QStringLiteral("Ctrl+Shift+X")}, {x, f1, f2, f3}, {}},
        {"bare key", {QStringLiteral("F9")}, {f4, f1, f2, f3}, {"front=F9"}},
        {"mistyped", {QStringLiteral(" Ctrl+Shift+F44 ")}, {f4, f1, f2, f3}, {"front=Ctrl+Shift+F44"}},
        {"two the same",
         {std::nullopt, std::nullopt, QStringLiteral("ctrl+shift+x"), QStringLiteral("Ctrl+Shift+X")},
         {f4, f1, f2, f3},
         {"pause=ctrl+shift+x", "stop=Ctrl+Shift+X"}},
        {"another's default", {QStringLiteral("Ctrl+F1")}, {f4, f1, f2, f3}, {"front=Ctrl+F1"}},
        {"swapped",
         {std::nullopt, QStringLiteral("Ctrl+F2"), QStringLiteral("Ctrl+F1")},
         {f4, f2, f1, f3},
         {}},
    };
    for (const Row& r : rows) {
        const HotkeySet resolved = resolveHotkeys(r.texts);
        EXPECT_EQ(resolved.keys, r.keys) << r.name;
        EXPECT_EQ(resolved.rejected, r.rejected) << r.name;
    }
}

TEST(HotkeySettings, ComeFromTheFileAndGoBackWhereTheyStandOnceChosen) {
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("kadrel.ini"));
    EXPECT_EQ(readHotkeys(ini).keys, defaultHotkeys().keys);
    ASSERT_TRUE(writeSettings(ini, Settings{}, defaultHotkeys()));
    EXPECT_FALSE(fileBytes(ini).contains("hotkey"));  // keys never changed add no section
    const QByteArray text = "[HotKey]\r\nPause=Ctrl+Shift+F2\r\nstop=Scroll\r\n";
    ASSERT_TRUE(writeFile(ini, text));
    HotkeySet read = readHotkeys(ini);
    EXPECT_EQ(read[HotkeyAction::Pause], key(kCtrl | kShift, Qt::Key_F2));
    EXPECT_EQ(read[HotkeyAction::Stop], key(kCtrl, Qt::Key_F3));
    ASSERT_TRUE(writeSettings(ini, Settings{}));
    EXPECT_TRUE(fileBytes(ini).startsWith(text));  // the writer without the keys leaves them

    read.keys[0] = key(kCtrl | Qt::AltModifier, Qt::Key_Home);
    ASSERT_TRUE(writeSettings(ini, Settings{}, read));
    EXPECT_TRUE(fileBytes(ini).startsWith(
        "[HotKey]\r\nPause=Ctrl+Shift+F2\r\nstop=Ctrl+F3\r\nfront=Ctrl+Alt+Home\r\n[image]\r\n"));
    EXPECT_EQ(readHotkeys(ini).keys, read.keys);
}
