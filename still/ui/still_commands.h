#pragma once

#include <QImage>
#include <QObject>
#include <QTimer>

#include "core/logic/program_state.h"
#include "core/ui/command_ports.h"

class IntervalSaving;
class MessageBoxes;
class SavePictureDialog;
class ScreenCapture;
class StillFrame;
class SaveFolderChooser;

// What a one-shot capture does with its grab.
enum class CaptureTask { SaveAs, SaveToFolder, Copy };

// The one-shot capture commands of the frame window: save as, save to the folder under a
// numbered name, and copy. Each takes the frame off the screen and grabs a moment later, then
// carries out its task; the grab, clipping and scaling are the shared ScreenCapture's.
class StillCommands : public QObject, public CaptureCommandsPort {
    Q_OBJECT
public:
    StillCommands(ProgramState& state, StillFrame& frame, ScreenCapture& capture, SaveFolderChooser& chooser,
                  SavePictureDialog& saveDialog, MessageBoxes& messages, IntervalSaving& intervalSaving);

    void saveAs() override;
    void saveToFolder() override;
    void copy() override;
    void armIntervalSave() override;

    // A capture's frame is off the screen, its grab still to come.
    bool grabPending() const { return m_grabDelay.isActive(); }

private:
    void saveToKnownFolder();
    // Takes the frame off the screen; task runs on the grab a moment later.
    void grabLater(CaptureTask task);
    void takePicture(CaptureTask task);
    void saveAsFile(const QImage& bitmap);

    ProgramState& m_state;
    StillFrame& m_frame;
    ScreenCapture& m_capture;
    SaveFolderChooser& m_chooser;
    SavePictureDialog& m_saveDialog;
    MessageBoxes& m_messages;
    IntervalSaving& m_intervalSaving;
    QTimer m_grabDelay;
    // What the grab under way is for.
    CaptureTask m_grabTask = CaptureTask::SaveAs;
    // A save to the folder waits for the chooser's OK.
    bool m_saveWaitsForFolder = false;
};
