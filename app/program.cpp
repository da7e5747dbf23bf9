#include "app/program.h"

#include <QApplication>
#include <QDir>

#include "app/leftover_files.h"
#include "app/program_icon.h"
#include "capture_window/ui/frame_window.h"
#include "platform/x11/window_stack.h"
#include "settings/logic/file_locations.h"
#include "settings/ui/folder_chooser.h"
#include "settings/ui/settings_dialog.h"
#include "still/ui/interval_dialog.h"
#include "still/ui/print_command.h"
#include "still/ui/still_commands.h"
#include "video/ui/assembly_progress_window.h"
#include "video/ui/video_recording.h"

Program::Program(const QString& programDirectory, ProgramServices services) {
    state.settings.ProgramDirectory = programDirectory;
    const FileLocations files = fileLocationsFor(programDirectory);
    state.settingsFile = files.settingsFile;
    state.frameDirectory = files.frameDirectory;
    state.defaultSaveDirectory = files.defaultSaveDirectory;
    // A recording writes its first frame without asking; a folder that cannot be made shows up
    // then, in the recording's own message.
    if (!files.portable) QDir().mkpath(files.frameDirectory);
    // Before the frame window, which registers the first of them.
    state.hotkeys = readHotkeys(state.settingsFile);
    if (QApplication::windowIcon().isNull()) QApplication::setWindowIcon(programIcon());
    frame = std::make_unique<FrameWindow>(
        state, FrameServices{services.messages, services.documents, services.hotkeys, services.grabber,
                             services.clock});
    folderChooser = std::make_unique<SaveFolderChooser>(state, *frame, services.messages);
    frame->setFolderChooser(folderChooser.get());
    settingsDialog = std::make_unique<SettingsDialog>(state, *frame, services.messages);
    settingsDialog->setFolderChooser(folderChooser.get());
    folderChooser->setSettingsDialog(settingsDialog.get());
    frame->setSettingsDialog(settingsDialog.get());
    intervalDialog =
        std::make_unique<IntervalSaveDialog>(state, *frame, [this] { stillCommands->saveIntervalShot(); });
    frame->setIntervalDialog(intervalDialog.get());
    progressWindow = std::make_unique<AssemblyProgressWindow>(frame->font());
    ScreenCapture& screen = frame->screenCapture();
    stillCommands = std::make_unique<StillCommands>(state, *frame, screen, *folderChooser,
                                                    services.saveDialog, services.messages);
    frame->setCaptureCommands(stillCommands.get());
    SettingsDialog* settings = settingsDialog.get();
    printCommand = std::make_unique<PrintCommand>(
        *frame, screen, state.capture, [settings] { return settings->printPercent(); }, services.messages,
        services.printDialog);
    frame->setPrintCommand(printCommand.get());
    recording = std::make_unique<VideoRecording>(
        state, *frame, screen, *progressWindow, [settings] { return settings->frameLimitEnabled(); },
        RecordingServices{services.messages, services.codecs, services.avi, services.hotkeys,
                          services.clock});
    frame->setRecordingCommands(recording.get());

    // A copy that finds no other running clears what killed copies left behind, then lets later
    // copies in beside it.
    const QString lockPath = state.frameDirectory + QStringLiteral(".kadrel.lock");
    runLock = FileLock::tryLock(lockPath, FileLock::Mode::Exclusive);
    if (runLock) {
        removeLeftoverTemporaries(state.settingsFile, state.frameDirectory, state.settings.SaveDirectory,
                                  state.settings.MoviePrefix);
        if (!runLock->share()) runLock.reset();
    } else {
        runLock = FileLock::lock(lockPath, FileLock::Mode::Shared);
    }
}

Program::~Program() {
    // The commands hold the frame window; they go first.
    recording.reset();
    printCommand.reset();
    stillCommands.reset();
}

void Program::show() {
    frame->show();
    window_stack::bringToForeground(frame.get());
    recording->offerKeptFramesAtStart();
}
