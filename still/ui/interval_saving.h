#pragma once

#include <QObject>
#include <QTimer>
#include <optional>

#include "core/logic/capture_geometry.h"
#include "core/logic/program_state.h"
#include "still/ui/interval_dialog.h"

class MessageBoxes;
class SaveFolderChooser;
class ScreenCapture;
class StillFrame;

// Saving at intervals, from the menu's arming to the run's stop. The dialog opens once a save
// folder is known; Start lets the tick save one numbered picture of the client area (or the whole
// screen) at each interval, up to the shot limit. The frame's events end a run: minimising a
// framed run, restoring a whole-screen one (which runs minimised), or a close, which the frame
// refuses while a run is going.
class IntervalSaving : public QObject {
    Q_OBJECT
public:
    IntervalSaving(ProgramState& state, StillFrame& frame, ScreenCapture& capture, SaveFolderChooser& chooser,
                   MessageBoxes& messages);

    // From the menu: asks for a save folder when none is known; the dialog opens once one is.
    void arm();

    IntervalSaveDialog& dialog() { return m_dialog; }
    // Each tick starts one shot.
    QTimer& tick() { return m_tick; }

signals:
    // A shot's save is over, written or not.
    void shotFinished();

private:
    void openDialogIfFolderKnown();
    void startRun();
    void onTick();
    void onShotPauseOver();
    // Grabs the screen and saves the shot under the next free number.
    void saveShot();
    void onDialogClosed();
    void onFrameMinimized();
    void onFrameRestored();
    // Ends the run (or closes the open dialog) and tells the user.
    void stop(const QString& message);

    ProgramState& m_state;
    StillFrame& m_frame;
    ScreenCapture& m_capture;
    SaveFolderChooser& m_chooser;
    MessageBoxes& m_messages;
    IntervalSaveDialog m_dialog;
    QTimer m_tick;
    // The pause between a tick and its grab.
    QTimer m_shotPause;
    // Where the client area was at the tick of the shot under way.
    std::optional<CaptureGeometry> m_shotAt;
    int m_shotCount = 0;
    // The menu asked for the dialog, which waits for a save folder.
    bool m_armed = false;
};
