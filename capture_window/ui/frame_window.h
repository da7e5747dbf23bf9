#pragma once

#include <QImage>
#include <QTimer>
#include <array>
#include <memory>

#include "capture_window/logic/frame_geometry.h"
#include "capture_window/logic/keyboard_stepper.h"
#include "core/logic/program_state.h"
#include "core/ui/frame_ports.h"
#include "core/ui/save_format_buttons.h"
#include "core/ui/screen_capture.h"
#include "platform/x11/window_shape.h"

class QAction;
class QActionGroup;
class QMenu;
class QPushButton;
class HelpViewer;
class GlobalHotkeys;
class MessageBoxes;
class DocumentOpener;
class IntervalDialogPort;
class SettingsDialogPort;
class CaptureCommandsPort;
class PrintCommandPort;
class RecordingCommandsPort;
class ScreenGrabber;

// The services the frame window uses; tests pass fakes for the boxes and the opener.
struct FrameServices {
    MessageBoxes& messages;
    DocumentOpener& documents;
    GlobalHotkeys& hotkeys;
    ScreenGrabber& grabber;
};

// The capture frame: a see-through window whose client area is what the captures take.
// The features reach it through their ports only.
class TForm1 : public ShapedFrame, public StillFrame, public RecordingFrame, public SettingsFrame {
    Q_OBJECT
public:
    static constexpr int kHotkeyFront = hotkeyId(HotkeyAction::Front);
    static constexpr int kHotkeyResume = hotkeyId(HotkeyAction::Resume);
    static constexpr int kHotkeyPause = hotkeyId(HotkeyAction::Pause);
    static constexpr int kHotkeyStop = hotkeyId(HotkeyAction::Stop);

    TForm1(ProgramState& state, FrameServices services);
    ~TForm1() override;

    // The other windows, known once the start-up has created them.
    void setFolderChooser(QWidget* chooser) { m_folderChooser = chooser; }
    void setSettingsDialog(SettingsDialogPort* dialog) { m_settingsDialog = dialog; }
    void setIntervalDialog(IntervalDialogPort* dialog) { m_intervalDialog = dialog; }
    void setCaptureCommands(CaptureCommandsPort* commands) { m_captureCommands = commands; }
    void setPrintCommand(PrintCommandPort* command) { m_printCommand = command; }
    void setRecordingCommands(RecordingCommandsPort* commands) { m_recording = commands; }

    // The ports of the features.
    QWidget& window() override { return *this; }
    QSize clientSize() const override { return {clientWidth(), clientHeight()}; }
    void setClientSize(QSize size) override;
    void setMenuButtonVisible(bool visible) override;
    void openIntervalDialogOnceFolderKnown() override { Timer3.start(); }
    void reshape() override { alphawindow(); }
    void refreshLook() override { FormResize(); }
    bool alwaysOnTop() const override;
    // A key another program holds does something else: its tray item does not name it.
    void showTrayHotkey(HotkeyAction action, bool registered) override;
    void popUpTrayMenu(QPoint at) override;
    void checkSaveTypeItem(int code) override;
    int checkedSaveTypeItem() const override;
    void setFolderItemCaption(const QString& caption) override;

    // The grabs and images every capture command shares.
    ScreenCapture& screenCapture() { return m_screenCapture; }

    // Handlers.
    void FormCreate();
    void FormResize();
    void alphawindow();
    void ApplicationEvents1Activate();
    void ApplicationEvents1Deactivate();
    void ApplicationEvents1Minimize();
    void ApplicationEvents1Restore();
    void Timer3Timer();
    void Timer5Timer();
    void WMHotKey(int id);
    void Button1Click();
    void N4Click();
    void JPEG1Click() { setSaveTypeFromMenu(JPEG1); }
    void BMP1Click() { setSaveTypeFromMenu(BMP1); }
    void GIF1Click() { setSaveTypeFromMenu(GIF1); }
    void PNG1Click() { setSaveTypeFromMenu(PNG1); }
    void N6Click();
    void N7Click();
    void About1Click();
    void Help2Click();
    // Handlers whose commands are carried out by the capture, interval, print and video parts.
    void SaveAs1Click();
    void N1Click();
    void Copy1Click();
    void N2Click();
    void Print1Click();
    void N9Click();
    void N10Click();
    void N11Click();
    void N12Click();

    // The program's own help viewer, once Help2Click has needed it.
    HelpViewer* helpViewer() const { return m_helpViewer.get(); }

    const FrameRegions& regions() const { return m_regions; }

    // Components, under their designer names.
    QPushButton* Button1;
    QTimer Timer3, Timer5;
    QMenu* PopupMenu1;
    QMenu* PopupMenu2;
    QAction *SaveAs1, *N1, *N2, *Copy1, *N9, *Print1, *N4, *JPEG1, *BMP1, *GIF1, *PNG1, *N7, *N6, *About1,
        *Help2;
    QAction *N13, *N10, *N11, *N12;
    std::array<QAction*, 20> ActionList1{};  // Action1 .. Action20

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buildCommandMenu();
    void buildActionList();
    void buildTrayMenu();
    void rebuildShape();
    void intervalStop(const QString& message);
    void setSaveTypeFromMenu(QAction* item);
    // JPEG1, BMP1, GIF1 and PNG1 in the order of the save formats.
    SaveFormatButtons<QAction> saveTypeItems() const { return {JPEG1, BMP1, GIF1, PNG1}; }
    void keyboardStep(StepDirection direction);
    void actionExecute(int index);
    void showHelpViewer(const QString& page);

    ProgramState& m_state;
    FrameServices m_services;
    ScreenCapture m_screenCapture;
    QWidget* m_folderChooser = nullptr;
    SettingsDialogPort* m_settingsDialog = nullptr;
    IntervalDialogPort* m_intervalDialog = nullptr;
    CaptureCommandsPort* m_captureCommands = nullptr;
    PrintCommandPort* m_printCommand = nullptr;
    RecordingCommandsPort* m_recording = nullptr;
    FrameRegions m_regions;
    KeyboardStepper m_stepper;
    QActionGroup* m_formatGroup = nullptr;
    bool m_hotkeyRegistered = false;
    bool m_wasMinimized = false;
    std::unique_ptr<HelpViewer> m_helpViewer;
};
