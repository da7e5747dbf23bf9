#pragma once

#include <QObject>

#include "capture_window/logic/frame_commands.h"

class CaptureCommandsPort;
class FrameWindow;
class GlobalHotkeys;
class PrintCommandPort;
class RecordingCommandsPort;
class QWidget;
struct CaptureState;

// What the frame's commands reach beyond the frame itself.
struct FrameCommandTargets {
    CaptureCommandsPort& captures;
    PrintCommandPort& print;
    RecordingCommandsPort& recording;
    QWidget& settingsDialog;
    QWidget& folderChooser;
};

// The one route of the frame's commands: the menu items, the keys of the command table and the front
// hot key all come to run(). Made once the features exist; it gives the frame its keys.
class FrameCommands : public QObject {
    Q_OBJECT
public:
    FrameCommands(FrameWindow& frame, const CaptureState& capture, GlobalHotkeys& hotkeys,
                  FrameCommandTargets targets);

    void run(FrameCommand command);
    // A key's or hot key's command: nothing happens where the frame's state refuses it. The menu, which
    // the frame offers only while it may be used, runs its items whatever the state.
    void runIfAllowed(FrameCommand command);

private:
    void addShortcuts();

    FrameWindow& m_frame;
    const CaptureState& m_capture;
    FrameCommandTargets m_targets;
};
