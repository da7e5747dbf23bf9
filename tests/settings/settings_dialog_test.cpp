#include "settings/ui/settings_dialog.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QTemporaryDir>

#include "capture_window/ui/frame_window.h"
#include "fakes/frame_harness.h"
#include "fakes/recording_message_boxes.h"
#include "fakes/test_files.h"
#include "fakes/x11_test_support.h"
#include "platform/x11/global_hotkey.h"
#include "platform/x11/window_stack.h"
#include "settings/logic/settings_file.h"
#include "settings/ui/folder_chooser.h"
#include "settings/ui/hotkey_field.h"
#include "settings/ui/hotkey_page.h"
#include "settings/ui/spin_edit.h"

// A frame window and its settings dialog over a settings file of the test's own.
class SettingsDialogTest : public ::testing::Test, protected FrameHarness {
protected:
    QString iniPath() const { return settingsFilePath(state.settings.ProgramDirectory); }
    void writeIni(const QByteArray& text) {
        QFile f(iniPath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    SettingsDialog& open() {
        if (!settingsDialog)
            settingsDialog = std::make_unique<SettingsDialog>(state, form1, chooser, boxes, hotkeys);
        form1.show();
        form1.openDialog(settingsDialog.get());
        EXPECT_TRUE(settingsDialog->isVisible());
        EXPECT_FALSE(form1.isEnabled());
        return *settingsDialog;
    }

    // Presses keys into a field of the hot-key page through the X server, as the user does.
    void pressInto(HotkeyAction action, const char* keys) {
        HotkeyField* field = settingsDialog->hotkeyPage->field(action);
        settingsDialog->pages->setCurrentWidget(settingsDialog->hotkeyPage);
        settingsDialog->activateWindow();
        field->setFocus();
        ASSERT_TRUE(waitUntil([&] { return field->hasFocus(); }) && sendKeys({keys}));
    }

    SaveFolderChooser chooser{state, form1, boxes};
    std::unique_ptr<SettingsDialog> settingsDialog;
};

TEST_F(SettingsDialogTest, LoadWithoutFileGivesDefaultsAndCreatesNothing) {
    SettingsDialog& d = open();
    const Settings& s = state.settings;
    EXPECT_EQ(s.ScalePercent, 100);
    EXPECT_EQ(d.jpegQualitySlider->value(), 100);
    EXPECT_EQ(d.jpegQualityField->text(), QStringLiteral("100"));
    EXPECT_EQ(d.printPercentField->value(), 200);
    EXPECT_EQ(s.RecordRate, 10);
    EXPECT_FALSE(d.frameLimitBox->isChecked());
    EXPECT_FALSE(d.frameLimitField->isEnabled());
    EXPECT_TRUE(s.SaveFolderSet);
    EXPECT_TRUE(form1.menuItem(FrameCommand::ChooseSaveFolder)->text().startsWith(QStringLiteral("指定先 ")));
    EXPECT_EQ(d.designatedPrefixField->text(), QStringLiteral("指定先に保存"));
    EXPECT_FALSE(QFile::exists(iniPath()));
}

TEST_F(SettingsDialogTest, LoadAppliesStoredValuesAndIgnoresUnusableOnes) {
    writeIni(
        "[image]\r\nframe=0\r\nstype=7\r\nupto=1\r\nquality=250\r\nfbable=-1\r\nfb=70000\r\n"
        "[File]\r\nDirectory=/no/such/folder\r\nsdir=\r\n");
    SettingsDialog& d = open();
    const Settings& s = state.settings;
    EXPECT_EQ(s.RecordRate, 10);  // a rate of 0 would divide by zero
    EXPECT_EQ(s.SaveType, saveTypeCode(SaveFormat::Jpeg));
    EXPECT_TRUE(d.jpegRadio->isChecked());
    EXPECT_TRUE(form1.menuItem(FrameCommand::SaveTypeJpeg)->isChecked());
    EXPECT_TRUE(d.alwaysOnTopBox->isChecked());
    EXPECT_TRUE(window_stack::isTopmost(&form1));
    EXPECT_EQ(d.jpegQualitySlider->value(), 100);  // the slider holds 0..100
    EXPECT_TRUE(d.frameLimitField->isEnabled());
    EXPECT_EQ(d.frameLimitField->value(), 4464);
    EXPECT_FALSE(s.SaveFolderSet);
    EXPECT_EQ(form1.menuItem(FrameCommand::ChooseSaveFolder)->text().section(QLatin1Char('\t'), 0, 0),
              QStringLiteral("保存先設定"));
    EXPECT_EQ(d.saveFolderField->text(), QString());  // as the menu: no folder in force
    EXPECT_EQ(d.designatedPrefixField->text(), QString());
}

TEST_F(SettingsDialogTest, CancelAndCloseResetTheControlsButKeepTypedNames) {
    SettingsDialog& d = open();
    d.frameRateField->setText(QStringLiteral("55"));
    d.jpegQualitySlider->setValue(20);
    d.clientWidthField->setText(QStringLiteral("999"));
    d.gifRadio->setChecked(true);
    d.designatedPrefixField->setText(QStringLiteral("shot"));
    d.close();  // the title bar's close button
    EXPECT_TRUE(form1.isEnabled());
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(d.frameRateField->value(), 10);
    EXPECT_EQ(d.jpegQualitySlider->value(), 100);
    EXPECT_EQ(d.jpegQualityField->text(), QStringLiteral("100"));
    EXPECT_TRUE(d.jpegRadio->isChecked());
    EXPECT_EQ(state.settings.DesignatedPrefix, QStringLiteral("指定先に保存"));
    EXPECT_EQ(state.settings.SaveType, saveTypeCode(SaveFormat::Jpeg));

    open();
    EXPECT_EQ(d.clientWidthField->text(), QStringLiteral("420"));
    EXPECT_EQ(d.designatedPrefixField->text(), QStringLiteral("shot"));
    d.cancelButton->click();
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(d.designatedPrefixField->text(), QStringLiteral("shot"));
    open();
    d.saveSettingsBox->setChecked(false);
    d.okButton->click();
    EXPECT_EQ(state.settings.DesignatedPrefix, QStringLiteral("shot"));
    EXPECT_FALSE(QFile::exists(iniPath()));
    EXPECT_EQ(QSize(form1.clientWidth(), form1.clientHeight()), QSize(420, 360));
}

TEST_F(SettingsDialogTest, OkWithABadNumberKeepsTheDialogOpenWithTheTypeApplied) {
    SettingsDialog& d = open();
    d.scaleField->setText(QStringLiteral("0x20"));
    d.clientWidthField->setText(QString());
    const std::tuple<QRadioButton*, SaveFormat, QAction*> radios[] = {
        {d.bmpRadio, SaveFormat::Bmp, form1.menuItem(FrameCommand::SaveTypeBmp)},
        {d.gifRadio, SaveFormat::Gif, form1.menuItem(FrameCommand::SaveTypeGif)},
        {d.pngRadio, SaveFormat::Png, form1.menuItem(FrameCommand::SaveTypePng)}};
    for (const auto& [radio, format, item] : radios) {
        radio->setChecked(true);
        d.okButton->click();
        EXPECT_EQ(state.settings.SaveType, saveTypeCode(format));
        EXPECT_TRUE(item->isChecked());
    }
    EXPECT_EQ(boxes.messages, QStringList(3, QStringLiteral("有効な数字ではありません")));
    EXPECT_TRUE(d.isVisible());
    EXPECT_FALSE(form1.isEnabled());
    EXPECT_EQ(state.settings.ScalePercent, 32);
    EXPECT_FALSE(QFile::exists(iniPath()));
}

TEST_F(SettingsDialogTest, OkAppliesEverythingWritesTheFileAndResizesTheFrame) {
    writeIni("; mine\r\n[other]\r\nkeep=this\r\n");
    open();
    settingsDialog->close();
    form1.chooseSaveType(FrameCommand::SaveTypePng);
    SettingsDialog& d = open();
    EXPECT_TRUE(d.pngRadio->isChecked());
    d.frameRateField->setText(QStringLiteral("3"));
    d.clientWidthField->setText(QStringLiteral("300"));
    d.clientHeightField->setText(QStringLiteral("200"));
    d.jpegQualitySlider->setValue(75);
    d.okButton->click();
    EXPECT_FALSE(d.isVisible());
    EXPECT_TRUE(form1.isEnabled());
    EXPECT_EQ(state.settings.RecordRate, 3);
    EXPECT_EQ(QSize(form1.clientWidth(), form1.clientHeight()), QSize(300, 200));
    EXPECT_EQ(form1.windowTitle(), QStringLiteral("Kadrel1.02  300 , 200"));
    const Settings stored = readSettings(iniPath(), state.settings.ProgramDirectory);
    EXPECT_EQ(stored.StoredSaveType, saveTypeCode(SaveFormat::Png));
    EXPECT_EQ(stored.RecordRate, 3);
    EXPECT_EQ(stored.JpegQuality, 75);
    EXPECT_TRUE(fileBytes(iniPath()).startsWith(
        "; mine\r\n[other]\r\nkeep=this\r\n[image]\r\npower=100\r\nframe=3\r\n"));

    // Unchanged fields leave the size as it is.
    open();
    d.frameRateField->setText(QStringLiteral("100"));
    d.okButton->click();
    EXPECT_EQ(state.settings.RecordRate, 100);
    EXPECT_EQ(QSize(form1.clientWidth(), form1.clientHeight()), QSize(300, 200));
}

TEST_F(SettingsDialogTest, RefusedWriteKeepsTheDialogOpenAndTheOldTimerAndSize) {
    writeIni("[image]\r\nframe=10\r\n");
    ASSERT_TRUE(QFile::setPermissions(iniPath(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    const QByteArray before = fileBytes(iniPath());
    SettingsDialog& d = open();
    d.frameRateField->setText(QStringLiteral("20"));
    d.clientWidthField->setText(QStringLiteral("300"));
    d.okButton->click();
    EXPECT_EQ(boxes.errors, QStringList{QStringLiteral("%1 に書き込めません").arg(iniPath())});
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(state.settings.RecordRate, 20);
    EXPECT_EQ(form1.clientWidth(), 420);
    EXPECT_EQ(fileBytes(iniPath()), before);
}

// Keys are pressed into the hot-key page, also keys this program or another holds; another action's
// key and a key without a modifier are refused; a key another client holds is noted on opening and
// at its press. Cancel leaves everything; OK writes [hotkey] and moves the front key at once.
TEST_F(SettingsDialogTest, HotKeysArePressedIntoTheirPageAndOkWritesAndRegistersThem) {
    OtherClient other;
    ASSERT_TRUE(other.grabCtrlKey("F9") && other.grabCtrlKey("F10"));
    writeIni("[hotkey]\r\nstop=Ctrl+F9\r\n");
    state.hotkeys = readHotkeys(iniPath());
    const QByteArray before = fileBytes(iniPath());
    SettingsDialog& d = open();
    HotkeyPage& page = *d.hotkeyPage;
    const auto shown = [&](HotkeyAction a) {
        return (page.field(a)->text() + ' ' + page.note(a)->text()).trimmed();
    };
    EXPECT_EQ(shown(HotkeyAction::Stop), u"Ctrl+F9 他で使用中"_qs);
    EXPECT_EQ(shown(HotkeyAction::Front), u"Ctrl+F4"_qs);  // the frame's own
    pressInto(HotkeyAction::Front, "ctrl+shift+F5");
    d.cancelButton->click();
    open();
    EXPECT_EQ(shown(HotkeyAction::Front), u"Ctrl+F4"_qs);
    EXPECT_EQ(fileBytes(iniPath()), before);

    pressInto(HotkeyAction::Front, "ctrl+shift+F5");
    pressInto(HotkeyAction::Pause, "ctrl+F4");  // the frame's key until OK
    pressInto(HotkeyAction::Resume, "ctrl+F10");
    pressInto(HotkeyAction::Stop, "ctrl+shift+F5");
    EXPECT_EQ(shown(HotkeyAction::Stop), u"Ctrl+F9 他と重複"_qs);
    pressInto(HotkeyAction::Stop, "F7");
    EXPECT_EQ(shown(HotkeyAction::Stop), u"Ctrl+F9 使えません"_qs);
    EXPECT_EQ(shown(HotkeyAction::Resume), u"Ctrl+F10 他で使用中"_qs);
    EXPECT_EQ(shown(HotkeyAction::Pause), u"Ctrl+F4"_qs);
    d.okButton->click();
    EXPECT_TRUE(fileBytes(iniPath()).startsWith(
        "[hotkey]\r\nstop=Ctrl+F9\r\nfront=Ctrl+Shift+F5\r\nresume=Ctrl+F10\r\npause=Ctrl+F4\r\n[image]"));
    EXPECT_EQ(state.hotkeys.keys, page.keys());
    std::vector<int> fired;
    QObject::connect(&hotkeys, &GlobalHotkeys::activated, [&](int id) { fired.push_back(id); });
    EXPECT_TRUE(OtherClient().grabCtrlKey("F4"));
    ASSERT_TRUE(sendKeys({"ctrl+shift+F5"}));
    EXPECT_TRUE(waitUntil([&] { return fired == std::vector<int>{FrameWindow::kHotkeyFront}; }));
    EXPECT_TRUE(boxes.messages.isEmpty());
}

TEST(SpinEdit, StepsWithinBoundsAndReadsTheTextAsItStands) {
    SpinEdit edit(1, 100, 1, 10);
    edit.setValue(500);
    EXPECT_EQ(edit.value(), 100);
    edit.stepBy(1);
    EXPECT_EQ(edit.value(), 100);
    edit.setText(QStringLiteral("5000"));
    EXPECT_EQ(edit.value(), 5000);  // brought into range only when the focus leaves
    edit.setText(QStringLiteral("abc"));
    EXPECT_EQ(edit.value(), 1);
    edit.setText(QStringLiteral("-3"));
    edit.stepBy(-1);
    EXPECT_EQ(edit.value(), 1);
    QString text = QStringLiteral("12a");
    int pos = 0;
    EXPECT_EQ(edit.validate(text, pos), QValidator::Invalid);
    text = QStringLiteral("-1.5");
    EXPECT_EQ(edit.validate(text, pos), QValidator::Acceptable);
}
