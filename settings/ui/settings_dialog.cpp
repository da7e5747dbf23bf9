#include "settings/ui/settings_dialog.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QSlider>

#include "core/ui/frame_ports.h"
#include "core/ui/save_format_buttons.h"
#include "platform/x11/message_box.h"
#include "platform/x11/window_stack.h"
#include "settings/logic/folder_caption.h"
#include "settings/logic/integer_text.h"
#include "settings/logic/settings_file.h"
#include "settings/ui/folder_chooser.h"
#include "settings/ui/hotkey_page.h"
#include "settings/ui/spin_edit.h"

SettingsDialog::SettingsDialog(ProgramState& state, SettingsFrame& frame, SaveFolderChooser& folderChooser,
                               MessageBoxes& messages, GlobalHotkeys& hotkeys)
    : QDialog(nullptr),
      m_state(state),
      m_frame(frame),
      m_messages(messages),
      m_folderChooser(folderChooser),
      m_hotkeys(hotkeys) {
    connect(&m_folderChooser, &SaveFolderChooser::folderStored, this, &SettingsDialog::setFolderField);
    setWindowTitle(QStringLiteral("設定"));
    setFont(frame.window().font());
    move(541, 59);
    initialize();
}

void SettingsDialog::setFolderField(const QString& folder) {
    if (!saveFolderField) return;
    saveFolderField->setText(folder);
    // A long path shows its beginning.
    saveFolderField->setCursorPosition(0);
}

void SettingsDialog::ensureControls() {
    if (jpegQualitySlider) return;
    createControls();
    buildPages();
    fillControls();
}

void SettingsDialog::initialize() { loadSettings(); }

void SettingsDialog::setVisible(bool visible) {
    // Before Qt shows the children: controls made later would stay hidden.
    if (visible) ensureControls();
    QDialog::setVisible(visible);
}

void SettingsDialog::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) rememberShownValues();
    QDialog::showEvent(event);
}

void SettingsDialog::rememberShownValues() {
    PendingQuality = jpegQualitySlider->value();
    ShownClientWidth = m_frame.clientSize().width();
    ShownClientHeight = m_frame.clientSize().height();
    ShownScale = scaleField->value();
    clientWidthField->setText(QString::number(ShownClientWidth));
    clientHeightField->setText(QString::number(ShownClientHeight));
    const int code = m_frame.checkedSaveTypeItem();
    setSaveTypeRadio(code);
    ShownSaveType = static_cast<std::uint8_t>(code);
    // The folder in force, as the menu shows it: none while a stored folder was not found.
    const Settings& s = m_state.settings;
    setFolderField(s.SaveFolderSet ? s.SaveDirectory : QString());
    // Whether another program holds a key may have changed since the last opening.
    hotkeyPage->setKeys(m_state.hotkeys.keys);
}

void SettingsDialog::onJpegQualitySlid() {
    PendingQuality = jpegQualitySlider->value();
    jpegQualityField->setText(QString::number(jpegQualitySlider->value()));
}

void SettingsDialog::onJpegQualityTyped() {
    jpegQualitySlider->setValue(
        parseIntegerText(jpegQualityField->text()).value_or(jpegQualitySlider->value()));
    PendingQuality = jpegQualitySlider->value();
}

void SettingsDialog::onFrameLimitBoxClicked() { frameLimitField->setEnabled(frameLimitBox->isChecked()); }

SaveFormatButtons<QRadioButton> SettingsDialog::saveTypeRadios() const {
    return {jpegRadio, bmpRadio, gifRadio, pngRadio};
}

void SettingsDialog::setSaveTypeRadio(int code) { checkSaveFormatButton(saveTypeRadios(), code); }

void SettingsDialog::applyAndClose() {
    Settings& s = m_state.settings;
    const std::uint8_t code = checkedSaveFormatButton(saveTypeRadios());
    m_frame.checkSaveTypeItem(code);
    s.SaveType = s.StoredSaveType = code;
    s.AlwaysOnTop = alwaysOnTopBox->isChecked();
    m_state.live = {s.AlwaysOnTop, qBound(1, s.PrintPercent, 1000), s.FrameLimitEnabled};
    window_stack::setTopmost(&m_frame.window(), s.AlwaysOnTop);

    const QString notANumber = QStringLiteral("有効な数字ではありません");
    const auto scale = parseIntegerText(scaleField->text());
    if (!scale) return m_messages.message(this, notANumber);
    s.ScalePercent = *scale;
    const auto width = parseIntegerText(clientWidthField->text());
    if (!width) return m_messages.message(this, notANumber);
    const auto height = parseIntegerText(clientHeightField->text());
    if (!height) return m_messages.message(this, notANumber);

    s.JpegQuality = PendingQuality;
    s.PrintPercent = printPercentField->value();
    s.RecordRate = static_cast<std::uint8_t>(frameRateField->value());
    s.DesignatedPrefix = designatedPrefixField->text();
    s.IntervalPrefix = intervalPrefixField->text();
    s.MoviePrefix = moviePrefixField->text();
    s.FrameLimitEnabled = frameLimitBox->isChecked();
    s.FrameLimit = static_cast<std::uint16_t>(frameLimitField->value());
    const HotkeySet hotkeys{hotkeyPage->keys(), {}};
    if (saveSettingsBox->isChecked()) {
        const QString path = m_state.settingsFile;
        if (!writeSettings(path, s, hotkeys))
            return m_messages.error(this, QStringLiteral("%1 に書き込めません").arg(path));
    }
    // The hot keys change with the file, or not at all: a refused write leaves the old ones.
    m_state.hotkeys.keys = hotkeys.keys;
    RestoreOnClose = false;
    close();
    m_frame.setClientSize(QSize(*width, *height));
    // The recording's keys are registered anew at each run's start.
    m_frame.registerFrontHotkey();
}

void SettingsDialog::cancel() {
    RestoreOnClose = true;
    close();
}

void SettingsDialog::chooseFolder() { m_folderChooser.openOver(this); }

// Every way of closing the dialog (OK, Cancel, Esc, the title bar) comes through here.
void SettingsDialog::reject() {
    onClosed();
    QDialog::reject();
    // Without a window manager nobody else gives the keyboard back to the frame.
    window_stack::bringToForeground(&m_frame.window());
}

void SettingsDialog::onClosed() {
    const Settings& s = m_state.settings;
    m_frame.window().setEnabled(true);
    if (alwaysOnTopBox->isChecked()) window_stack::setTopmost(&m_frame.window(), true);
    if (RestoreOnClose) {
        jpegQualitySlider->setValue(s.JpegQuality);
        onJpegQualitySlid();
        scaleField->setText(QString::number(ShownScale));
        clientWidthField->setText(QString::number(ShownClientWidth));
        clientHeightField->setText(QString::number(ShownClientHeight));
        printPercentField->setValue(s.PrintPercent);
        frameRateField->setValue(s.RecordRate);
        frameLimitField->setValue(s.FrameLimit);
        frameLimitBox->setChecked(s.FrameLimitEnabled);
        onFrameLimitBoxClicked();
        setSaveTypeRadio(ShownSaveType);
        alwaysOnTopBox->setChecked(s.AlwaysOnTop);
        hotkeyPage->setKeys(m_state.hotkeys.keys);
    }
    RestoreOnClose = true;
}

// Loading the settings file at start-up and applying it to the windows.

// ProgramDirectory and the file locations are filled by the start-up before this runs.
void SettingsDialog::loadSettings() {
    Settings& s = m_state.settings;
    {
        Settings stored =
            readSettings(m_state.settingsFile, s.ProgramDirectory, m_state.defaultSaveDirectory);
        // The record's run-time fields are not in the file.
        stored.SaveType = s.SaveType;
        stored.SaveFolderSet = s.SaveFolderSet;
        s = stored;
    }
    if (!s.SaveDirectory.isEmpty() && QFileInfo(s.SaveDirectory).isDir()) {
        s.SaveFolderSet = true;
        m_frame.setFolderItemCaption(FolderCaption(s.SaveDirectory, 8));
    }
    m_state.live = {s.AlwaysOnTop, qBound(1, s.PrintPercent, 1000), s.FrameLimitEnabled};
    window_stack::setTopmost(&m_frame.window(), s.AlwaysOnTop);
    if (findSaveFormat(s.StoredSaveType)) {
        m_frame.checkSaveTypeItem(s.StoredSaveType);
        s.SaveType = s.StoredSaveType;
    }
}

// The controls take the loaded values, each brought into its own range.
void SettingsDialog::fillControls() {
    const Settings& s = m_state.settings;
    jpegQualitySlider->setValue(s.JpegQuality);
    onJpegQualitySlid();
    printPercentField->setValue(s.PrintPercent);
    scaleField->setValue(s.ScalePercent);
    frameRateField->setValue(s.RecordRate);
    frameLimitBox->setChecked(s.FrameLimitEnabled);
    frameLimitField->setEnabled(frameLimitBox->isChecked());
    frameLimitField->setValue(s.FrameLimit);
    alwaysOnTopBox->setChecked(s.AlwaysOnTop);
    setSaveTypeRadio(s.StoredSaveType);
    designatedPrefixField->setText(s.DesignatedPrefix);
    intervalPrefixField->setText(s.IntervalPrefix);
    moviePrefixField->setText(s.MoviePrefix);
}
