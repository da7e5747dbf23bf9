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
#include "settings/ui/spin_edit.h"

TForm3::TForm3(ProgramState& state, SettingsFrame& frame, MessageBoxes& messages)
    : QDialog(nullptr), m_state(state), m_frame(frame), m_messages(messages) {
    setWindowTitle(QStringLiteral("設定"));
    setFont(frame.window().font());
    move(541, 59);
    FormCreate();
}

bool TForm3::alwaysOnTop() const { return CheckBox2 ? CheckBox2->isChecked() : m_state.settings.AlwaysOnTop; }

int TForm3::printPercent() const {
    return SpinEdit1 ? SpinEdit1->value() : qBound(1, m_state.settings.PrintPercent, 1000);
}

bool TForm3::frameLimitEnabled() const {
    return CheckBox3 ? CheckBox3->isChecked() : m_state.settings.FrameLimitEnabled;
}

void TForm3::setFolderField(const QString& folder) {
    if (!Edit8) return;
    Edit8->setText(folder);
    // A long path shows its beginning.
    Edit8->setCursorPosition(0);
}

void TForm3::ensureControls() {
    if (TrackBar1) return;
    createControls();
    buildPages();
    fillControls();
}

void TForm3::FormCreate() { LoadSettings(); }

void TForm3::setVisible(bool visible) {
    // Before Qt shows the children: controls made later would stay hidden.
    if (visible) ensureControls();
    QDialog::setVisible(visible);
}

void TForm3::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) FormShow();
    QDialog::showEvent(event);
}

void TForm3::FormShow() {
    PendingQuality = TrackBar1->value();
    ShownClientWidth = m_frame.clientSize().width();
    ShownClientHeight = m_frame.clientSize().height();
    ShownScale = Edit2->value();
    Edit3->setText(QString::number(ShownClientWidth));
    Edit4->setText(QString::number(ShownClientHeight));
    const int code = m_frame.checkedSaveTypeItem();
    setSaveTypeRadio(code);
    ShownSaveType = static_cast<std::uint8_t>(code);
    setFolderField(m_state.settings.SaveDirectory);
}

void TForm3::TrackBar1Change() {
    PendingQuality = TrackBar1->value();
    Edit1->setText(QString::number(TrackBar1->value()));
}

void TForm3::Edit1Change() {
    TrackBar1->setValue(parseIntegerText(Edit1->text()).value_or(TrackBar1->value()));
    PendingQuality = TrackBar1->value();
}

void TForm3::CheckBox3Click() { SpinEdit3->setEnabled(CheckBox3->isChecked()); }

SaveFormatButtons<QRadioButton> TForm3::saveTypeRadios() const {
    return {RadioButton1, RadioButton2, RadioButton3, RadioButton4};
}

void TForm3::setSaveTypeRadio(int code) { checkSaveFormatButton(saveTypeRadios(), code); }

void TForm3::Button1Click() {
    Settings& s = m_state.settings;
    const std::uint8_t code = checkedSaveFormatButton(saveTypeRadios());
    m_frame.checkSaveTypeItem(code);
    s.SaveType = s.StoredSaveType = code;
    s.AlwaysOnTop = CheckBox2->isChecked();
    window_stack::setTopmost(&m_frame.window(), s.AlwaysOnTop);

    const QString notANumber = QStringLiteral("有効な数字ではありません");
    const auto scale = parseIntegerText(Edit2->text());
    if (!scale) return m_messages.message(this, notANumber);
    s.ScalePercent = *scale;
    const auto width = parseIntegerText(Edit3->text());
    if (!width) return m_messages.message(this, notANumber);
    const auto height = parseIntegerText(Edit4->text());
    if (!height) return m_messages.message(this, notANumber);

    s.JpegQuality = PendingQuality;
    s.PrintPercent = SpinEdit1->value();
    s.RecordRate = static_cast<std::uint8_t>(SpinEdit2->value());
    s.DesignatedPrefix = Edit5->text();
    s.IntervalPrefix = Edit6->text();
    s.MoviePrefix = Edit7->text();
    s.FrameLimitEnabled = CheckBox3->isChecked();
    s.FrameLimit = static_cast<std::uint16_t>(SpinEdit3->value());
    if (CheckBox1->isChecked()) {
        const QString path = m_state.settingsFile;
        if (!writeSettings(path, s))
            return m_messages.error(this, QStringLiteral("%1 に書き込めません").arg(path));
    }
    RestoreOnClose = false;
    close();
    m_frame.setClientSize(QSize(*width, *height));
}

void TForm3::Button2Click() {
    RestoreOnClose = true;
    close();
}

void TForm3::Button3Click() {
    if (!m_folderChooser) return;
    m_folderChooser->OpenedFromSettings = true;
    window_stack::showOver(m_folderChooser, this);
}

// Every way of closing the dialog (OK, Cancel, Esc, the title bar) comes through here.
void TForm3::reject() {
    FormClose();
    QDialog::reject();
    // Without a window manager nobody else gives the keyboard back to the frame.
    window_stack::bringToForeground(&m_frame.window());
}

void TForm3::FormClose() {
    const Settings& s = m_state.settings;
    m_frame.window().setEnabled(true);
    if (CheckBox2->isChecked()) window_stack::setTopmost(&m_frame.window(), true);
    if (RestoreOnClose) {
        TrackBar1->setValue(s.JpegQuality);
        TrackBar1Change();
        Edit2->setText(QString::number(ShownScale));
        Edit3->setText(QString::number(ShownClientWidth));
        Edit4->setText(QString::number(ShownClientHeight));
        SpinEdit1->setValue(s.PrintPercent);
        SpinEdit2->setValue(s.RecordRate);
        SpinEdit3->setValue(s.FrameLimit);
        CheckBox3->setChecked(s.FrameLimitEnabled);
        CheckBox3Click();
        setSaveTypeRadio(ShownSaveType);
        CheckBox2->setChecked(s.AlwaysOnTop);
    }
    RestoreOnClose = true;
}

// Loading the settings file at start-up and applying it to the windows.

// ProgramDirectory and the file locations are filled by the start-up before this runs.
void TForm3::LoadSettings() {
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
    window_stack::setTopmost(&m_frame.window(), s.AlwaysOnTop);
    if (findSaveFormat(s.StoredSaveType)) {
        m_frame.checkSaveTypeItem(s.StoredSaveType);
        s.SaveType = s.StoredSaveType;
    }
}

// The controls take the loaded values, each brought into its own range.
void TForm3::fillControls() {
    const Settings& s = m_state.settings;
    TrackBar1->setValue(s.JpegQuality);
    TrackBar1Change();
    SpinEdit1->setValue(s.PrintPercent);
    Edit2->setValue(s.ScalePercent);
    SpinEdit2->setValue(s.RecordRate);
    CheckBox3->setChecked(s.FrameLimitEnabled);
    SpinEdit3->setEnabled(CheckBox3->isChecked());
    SpinEdit3->setValue(s.FrameLimit);
    CheckBox2->setChecked(s.AlwaysOnTop);
    setSaveTypeRadio(s.StoredSaveType);
    Edit5->setText(s.DesignatedPrefix);
    Edit6->setText(s.IntervalPrefix);
    Edit7->setText(s.MoviePrefix);
}
