#pragma once

#include <QDialog>

#include "core/logic/program_state.h"
#include "core/ui/command_ports.h"
#include "core/ui/save_format_buttons.h"

class GlobalHotkeys;
class HotkeyPage;
class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QTabWidget;
class MessageBoxes;
class SpinEdit;
class SettingsFrame;
class SaveFolderChooser;

// The settings dialog. Created once at start-up (which loads the settings file) and then
// only shown and hidden; its check boxes and print size are the live values other windows read.
// Its last page chooses the global hot keys, which its OK writes and registers anew.
class SettingsDialog : public QDialog {
    Q_OBJECT
public:
    // folderChooser: opened by the folder button; the folder it stores shows in the folder field.
    // hotkeys: tells the hot-key page which keys other programs hold.
    SettingsDialog(ProgramState& state, SettingsFrame& frame, SaveFolderChooser& folderChooser,
                   MessageBoxes& messages, GlobalHotkeys& hotkeys);

    // Shows a folder in the folder field.
    void setFolderField(const QString& folder);

    void initialize();
    void loadSettings();
    void rememberShownValues();
    void onJpegQualitySlid();
    void onJpegQualityTyped();
    void onFrameLimitBoxClicked();
    void applyAndClose();
    void cancel();
    void chooseFolder();
    void onClosed();

    void setVisible(bool visible) override;

    // Controls, named for what they hold; they exist once the dialog has been shown.
    QTabWidget* pages = nullptr;
    QSlider* jpegQualitySlider = nullptr;
    QLineEdit* jpegQualityField = nullptr;
    SpinEdit* scaleField = nullptr;
    SpinEdit* frameRateField = nullptr;
    QCheckBox* frameLimitBox = nullptr;
    SpinEdit* frameLimitField = nullptr;
    SpinEdit* printPercentField = nullptr;
    QLineEdit* clientHeightField = nullptr;
    QLineEdit* clientWidthField = nullptr;
    QRadioButton *jpegRadio = nullptr, *bmpRadio = nullptr, *gifRadio = nullptr, *pngRadio = nullptr;
    QCheckBox* alwaysOnTopBox = nullptr;
    QLineEdit *designatedPrefixField = nullptr, *intervalPrefixField = nullptr, *moviePrefixField = nullptr,
              *saveFolderField = nullptr;
    QPushButton* chooseFolderButton = nullptr;
    HotkeyPage* hotkeyPage = nullptr;
    QCheckBox* saveSettingsBox = nullptr;
    QPushButton* okButton = nullptr;
    QPushButton* cancelButton = nullptr;

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
    // jpegRadio to 4 in the order of the save formats.
    SaveFormatButtons<QRadioButton> saveTypeRadios() const;
    void setSaveTypeRadio(int code);

    ProgramState& m_state;
    SettingsFrame& m_frame;
    MessageBoxes& m_messages;
    SaveFolderChooser& m_folderChooser;
    GlobalHotkeys& m_hotkeys;
};
