#pragma once

#include <QImage>
#include <QObject>
#include <QTimer>

#include "core/logic/program_state.h"
#include "core/ui/command_ports.h"

class MessageBoxes;
class SavePictureDialog;
class ScreenCapture;
class StillFrame;
class SaveFolderChooser;

// The one-shot capture commands of the frame window: save as, save to the folder under a
// numbered name, and copy. Each takes the frame off the screen and lets grabDelay grab a moment
// later; the grab, clipping and scaling are the shared ScreenCapture's.
class StillCommands : public QObject, public CaptureCommandsPort {
    Q_OBJECT
public:
    StillCommands(ProgramState& state, StillFrame& frame, ScreenCapture& capture, SaveFolderChooser& chooser,
                  SavePictureDialog& saveDialog, MessageBoxes& messages);

    void saveAs() override;
    void saveToFolder() override;
    void copy() override;
    // Interval save: armed here (the dialog opens once a folder is known); saveIntervalShot is one save.
    void armIntervalSave() override;
    void saveIntervalShot();
    void askForFolder();
    void saveToKnownFolder();
    void takePicture();
    void Save(const QImage& bitmap);
    // Scales image and writes it under prefix and number in the save folder, in the save format;
    // the number moves on only when the file was written.
    void saveNumbered(QImage& image, const QString& prefix, std::int32_t& number);

    // Takes the frame's picture a moment after the frame has left the screen.
    QTimer grabDelay;

private:
    ProgramState& m_state;
    StillFrame& m_frame;
    ScreenCapture& m_capture;
    SaveFolderChooser& m_chooser;
    SavePictureDialog& m_saveDialog;
    MessageBoxes& m_messages;
};
