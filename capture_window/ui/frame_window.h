#pragma once

#include <QImage>
#include <QTimer>
#include <array>
#include <memory>
#include <optional>

#include "capture_window/logic/frame_commands.h"
#include "capture_window/logic/frame_geometry.h"
#include "capture_window/logic/keyboard_stepper.h"
#include "core/logic/program_state.h"
#include "core/ui/frame_events.h"
#include "core/ui/frame_ports.h"
#include "core/ui/save_format_buttons.h"
#include "core/ui/screen_capture.h"
#include "platform/x11/window_shape.h"

class QAction;
class QMenu;
class QPushButton;
class HelpViewer;
class GlobalHotkeys;
class MessageBoxes;
class DocumentOpener;
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

    FrameWindow(ProgramState& state, FrameServices services);
    ~FrameWindow() override;

    // The ports of the features.
    QWidget& window() override { return *this; }
    QSize clientSize() const override { return {clientWidth(), clientHeight()}; }
    void setClientSize(QSize size) override;
    void setMenuButtonVisible(bool visible) override;
    FrameEvents& events() override { return m_events; }
    void reshape() override;
    void refreshLook() override;
    bool alwaysOnTop() const override;
    void checkSaveTypeItem(int code) override;
    int checkedSaveTypeItem() const override;
    void setFolderItemCaption(const QString& caption) override;
    void registerFrontHotkey() override;

    // The grabs and images every capture command shares.
    ScreenCapture& screenCapture() { return m_screenCapture; }

    // Handlers.
    void initialize();
    void onApplicationActivated();
    void onApplicationDeactivated();

    // What the frame's own commands do (FrameCommands runs them).
    void openCommandMenu();
    void toggleWholeScreen();
    // item: one of the save-type commands.
    void chooseSaveType(FrameCommand item);
    // Shows a dialog over the frame, which waits, disabled, until the dialog gives it back.
    void openDialog(QWidget* dialog);
    void showAbout();
    void showHelp();
    void keyboardStep(StepDirection direction);

    // The menu item of a command; null for a command without one.
    QAction* menuItem(FrameCommand command) const { return m_items[std::size_t(command)]; }

    // The program's own help viewer, once showHelp has needed it.
    HelpViewer* helpViewer() const { return m_helpViewer.get(); }

    const FrameRegions& regions() const { return m_regions; }

    QPushButton* menuButton;
    QMenu* commandMenu;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buildCommandMenu();
    // The save-type items in the order of the save formats.
    SaveFormatButtons<QAction> saveTypeItems() const;
    void showHelpViewer(const QString& page);

    ProgramState& m_state;
    FrameServices m_services;
    ScreenCapture m_screenCapture;
    FrameEvents m_events;
    FrameRegions m_regions;
    KeyboardStepper m_stepper;
    std::array<QAction*, kFrameCommandCount> m_items{};
    bool m_hotkeyRegistered = false;
    // The front key last registered or tried: the same key is not tried, nor reported, again.
    std::optional<HotkeyCombination> m_frontKey;
    bool m_wasMinimized = false;
    std::unique_ptr<HelpViewer> m_helpViewer;
};
