// Loading the settings file at start-up and applying it to the windows.
#include <QCheckBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>

#include "capture_window/ui/frame_window.h"
#include "platform/window_stack.h"
#include "settings/logic/folder_caption.h"
#include "settings/logic/frame_timer.h"
#include "settings/logic/settings_file.h"
#include "settings/ui/settings_dialog.h"
#include "settings/ui/spin_edit.h"

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
        m_form1.setFolderItemCaption(FolderCaption(s.SaveDirectory, 8));
    }
    m_form1.Timer4.setInterval(frameTimerIntervalMs(s.RecordRate));
    window_stack::setTopmost(&m_form1, s.AlwaysOnTop);
    if (s.StoredSaveType >= kSaveJpeg && s.StoredSaveType <= kSavePng) {
        m_form1.checkSaveTypeItem(s.StoredSaveType);
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
