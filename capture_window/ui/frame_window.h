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
class MmClock;

// The services the frame window uses; tests pass fakes for the boxes and the opener.
struct FrameServices {
    MessageBoxes& messages;
    DocumentOpener& documents;
    GlobalHotkeys& hotkeys;
    ScreenGrabber& grabber;
    MmClock& clock;  // times the pauses between keyboard steps
};

// The capture frame: a see-through window whose client area is what the captures take.
// The features reach it through their ports only.
class FrameWindow : public ShapedFrame, public StillFrame, public RecordingFrame, public SettingsFrame {
    Q_OBJECT
public:
    static constexpr int kHotkeyFront = hotkeyId(HotkeyAction::Front);
    static constexpr int kHotkeyResume = hotkeyId(HotkeyAction::Resume);
    static constexpr int kHotkeyPause = hotkeyId(HotkeyAction::Pause);
    static constexpr int kHotkeyStop = hotkeyId(HotkeyAction::Stop);

    FrameWindow(ProgramState& state, FrameServices services);
    ~FrameWindow() override;

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
    void openIntervalDialogOnceFolderKnown() override { intervalArmPoll.start(); }
    void reshape() override;
    void refreshLook() override;
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
    void initialize();
    void onApplicationActivated();
    void onApplicationDeactivated();
    void onMinimized();
    void onRestored();
    void openIntervalDialogIfFolderKnown();
    void onGlobalHotkey(int id);
    void openCommandMenu();
    void toggleWholeScreen();
    void chooseJpeg() { setSaveTypeFromMenu(jpegItem); }
    void chooseBmp() { setSaveTypeFromMenu(bmpItem); }
    void chooseGif() { setSaveTypeFromMenu(gifItem); }
    void choosePng() { setSaveTypeFromMenu(pngItem); }
    void openSettings();
    void openFolderChooser();
    void showAbout();
    void showHelp();
    // Handlers whose commands are carried out by the capture, interval, print and video parts.
    void saveAs();
    void saveToFolder();
    void copy();
    void saveAtIntervals();
    void print();
    void startRecording();
    void resumeRecording();
    void pauseRecording();
    void stopRecording();

    // The program's own help viewer, once showHelp has needed it.
    HelpViewer* helpViewer() const { return m_helpViewer.get(); }

    const FrameRegions& regions() const { return m_regions; }

    // Components, under their designer names.
    QPushButton* menuButton;
    QTimer intervalArmPoll;
    QMenu* commandMenu;
    QMenu* trayMenu;
    QAction *saveAsItem, *saveToFolderItem, *intervalSaveItem, *copyItem, *recordItem, *printItem,
        *wholeScreenItem, *jpegItem, *bmpItem, *gifItem, *pngItem, *saveFolderItem, *settingsItem, *aboutItem,
        *helpItem;
    QAction *pausedItem, *resumeItem, *pauseItem, *stopItem;
    std::array<QAction*, 20> shortcutActions{};  // Action1 .. Action20

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buildCommandMenu();
    void buildActionList();
    void buildTrayMenu();
    void intervalStop(const QString& message);
    void setSaveTypeFromMenu(QAction* item);
    // jpegItem, bmpItem, gifItem and pngItem in the order of the save formats.
    SaveFormatButtons<QAction> saveTypeItems() const { return {jpegItem, bmpItem, gifItem, pngItem}; }
    void keyboardStep(StepDirection direction);
    void runShortcut(int index);
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
