#pragma once

#include <QDialog>

#include "capture_window/logic/program_state.h"
#include "capture_window/ui/companions.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QTabWidget;
class MessageBoxes;
class SpinEdit;
class TForm1;
class TOKBottomDlg;

// The settings dialog. Created once at start-up (which loads the settings file) and then
// only shown and hidden; its check boxes and print size are the live values other windows read.
class TForm3 : public QDialog, public SettingsDialogPort {
    Q_OBJECT
public:
    TForm3(ProgramState& state, TForm1& form1, MessageBoxes& messages);

    // SettingsDialogPort
    QWidget* dialog() override { return this; }
    bool alwaysOnTop() const override;

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

    // Controls, under their designer names.
    QTabWidget* PageControl1;
    QSlider* TrackBar1;
    QLineEdit* Edit1;
    SpinEdit* Edit2;
    SpinEdit* SpinEdit2;
    QCheckBox* CheckBox3;
    SpinEdit* SpinEdit3;
    SpinEdit* SpinEdit1;
    QLineEdit* Edit4;
    QLineEdit* Edit3;
    QRadioButton *RadioButton1, *RadioButton2, *RadioButton3, *RadioButton4;
    QCheckBox* CheckBox2;
    QLineEdit *Edit5, *Edit6, *Edit7, *Edit8;
    QPushButton* Button3;
    QCheckBox* CheckBox1;
    QPushButton* Button1;
    QPushButton* Button2;

    // State kept for the reset on close.
    std::int32_t PendingQuality = 100;
    std::int32_t ShownClientWidth = 0;
    std::int32_t ShownClientHeight = 0;
    std::int32_t ShownScale = 100;
    std::uint8_t ShownSaveType = kSaveJpeg;
    bool RestoreOnClose = true;

protected:
    void showEvent(QShowEvent* event) override;
    void reject() override;

private:
    void buildPages();
    void setSaveTypeRadio(int code);
    int checkedSaveTypeRadio() const;

    ProgramState& m_state;
    TForm1& m_form1;
    MessageBoxes& m_messages;
    TOKBottomDlg* m_folderChooser = nullptr;
};
