#pragma once

#include <QImage>
#include <QTimer>
#include <array>
#include <memory>

#include "capture_window/logic/frame_geometry.h"
#include "capture_window/logic/keyboard_stepper.h"
#include "core/logic/program_state.h"
#include "core/ui/save_format_buttons.h"
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

// The services the frame window uses; tests pass fakes for the boxes and the opener.
struct FrameServices {
    MessageBoxes& messages;
    DocumentOpener& documents;
    GlobalHotkeys& hotkeys;
};

// The capture frame: a see-through window whose client area is what the captures take.
class TForm1 : public ShapedFrame {
    Q_OBJECT
public:
    static constexpr int kHotkeyFront = 456;
    static constexpr int kHotkeyResume = 123;
    static constexpr int kHotkeyPause = 234;
    static constexpr int kHotkeyStop = 345;

    TForm1(ProgramState& state, FrameServices services);
    ~TForm1() override;

    // The other windows, known once the start-up has created them.
    void setFolderChooser(QWidget* chooser) { m_folderChooser = chooser; }
    void setSettingsDialog(SettingsDialogPort* dialog) { m_settingsDialog = dialog; }
    void setIntervalDialog(IntervalDialogPort* dialog) { m_intervalDialog = dialog; }
    void setCaptureCommands(CaptureCommandsPort* commands) { m_captureCommands = commands; }
    void setPrintCommand(PrintCommandPort* command) { m_printCommand = command; }
    void setRecordingCommands(RecordingCommandsPort* commands) { m_recording = commands; }

    // Checks the format item for a save-type code (1..4) and unchecks the others.
    void checkSaveTypeItem(int code);
    // JPEG1, BMP1, GIF1 and PNG1 in the order of the save formats.
    SaveFormatButtons<QAction> saveTypeItems() const { return {JPEG1, BMP1, GIF1, PNG1}; }
    void setFolderItemCaption(const QString& caption);
    // The tray menu item of a recording hot key shows the key only while it is registered: a key
    // another program holds does something else.
    void showTrayHotkey(HotkeyAction action, bool registered);
    bool alwaysOnTop() const;

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
    QTimer Timer1, Timer2, Timer3, Timer4, Timer5;
    QMenu* PopupMenu1;
    QMenu* PopupMenu2;
    QAction *SaveAs1, *N1, *N2, *Copy1, *N9, *Print1, *N4, *JPEG1, *BMP1, *GIF1, *PNG1, *N7, *N6, *About1,
        *Help2;
    QAction *N13, *N10, *N11, *N12;
    std::array<QAction*, 20> ActionList1{};  // Action1 .. Action20

    // Whole-screen grab target and work images of the capture commands.
    QImage ScreenBitmap, CaptureBitmap, OutputBitmap;

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
    void keyboardStep(StepDirection direction);
    void actionExecute(int index);
    void showHelpViewer(const QString& page);

    ProgramState& m_state;
    FrameServices m_services;
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
