#pragma once

#include <QDialog>

#include "core/logic/program_state.h"
#include "core/ui/command_ports.h"
#include "core/ui/save_format_buttons.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QTabWidget;
class MessageBoxes;
class SpinEdit;
class SettingsFrame;
class TOKBottomDlg;

// The settings dialog. Created once at start-up (which loads the settings file) and then
// only shown and hidden; its check boxes and print size are the live values other windows read.
class TForm3 : public QDialog, public SettingsDialogPort {
    Q_OBJECT
public:
    TForm3(ProgramState& state, SettingsFrame& frame, MessageBoxes& messages);

    // SettingsDialogPort
    QWidget* dialog() override { return this; }
    // The live values of the always-on-top box, the print size and the frame-limit box.
    bool alwaysOnTop() const override;
    int printPercent() const;
    bool frameLimitEnabled() const;
    // Shows a folder in the folder field.
    void setFolderField(const QString& folder);

    void setFolderChooser(TOKBottomDlg* chooser) { m_folderChooser = chooser; }

    void FormCreate();
    void LoadSettings();
    void FormShow();
    void TrackBar1Change();
    void Edit1Change();
    void CheckBox3Click();
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void FormClose();

    void setVisible(bool visible) override;

    // Controls, under their designer names; they exist once the dialog has been shown.
    QTabWidget* PageControl1 = nullptr;
    QSlider* TrackBar1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    SpinEdit* Edit2 = nullptr;
    SpinEdit* SpinEdit2 = nullptr;
    QCheckBox* CheckBox3 = nullptr;
    SpinEdit* SpinEdit3 = nullptr;
    SpinEdit* SpinEdit1 = nullptr;
    QLineEdit* Edit4 = nullptr;
    QLineEdit* Edit3 = nullptr;
    QRadioButton *RadioButton1 = nullptr, *RadioButton2 = nullptr, *RadioButton3 = nullptr,
                 *RadioButton4 = nullptr;
    QCheckBox* CheckBox2 = nullptr;
    QLineEdit *Edit5 = nullptr, *Edit6 = nullptr, *Edit7 = nullptr, *Edit8 = nullptr;
    QPushButton* Button3 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;

    // State kept for the reset on close.
    std::int32_t PendingQuality = 100;
    std::int32_t ShownClientWidth = 0;
    std::int32_t ShownClientHeight = 0;
    std::int32_t ShownScale = 100;
    std::uint8_t ShownSaveType = saveTypeCode(SaveFormat::Jpeg);
    bool RestoreOnClose = true;

protected:
    void showEvent(QShowEvent* event) override;
    void reject() override;

private:
    // The controls are made, laid out and filled from the settings when the dialog is first
    // shown: laying out text loads the font database, which the frame window need not wait for
    // at start-up. Until then the settings record holds what the controls would show. The dialog
    // takes its design size, or more where the pages need it.
    void ensureControls();
    void createControls();
    void buildPages();
    void fillControls();
    // RadioButton1 to 4 in the order of the save formats.
    SaveFormatButtons<QRadioButton> saveTypeRadios() const;
    void setSaveTypeRadio(int code);

    ProgramState& m_state;
    SettingsFrame& m_frame;
    MessageBoxes& m_messages;
    TOKBottomDlg* m_folderChooser = nullptr;
};
