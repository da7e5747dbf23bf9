#include "app/program.h"

#include <QApplication>
#include <QDir>
#include <QTimer>

#include "app/leftover_files.h"
#include "app/program_icon.h"
#include "capture_window/ui/frame_commands.h"
#include "capture_window/ui/frame_window.h"
#include "platform/x11/window_stack.h"
#include "settings/logic/file_locations.h"
#include "settings/ui/folder_chooser.h"
#include "settings/ui/settings_dialog.h"
#include "still/ui/interval_saving.h"
#include "still/ui/print_command.h"
#include "still/ui/still_commands.h"
#include "video/ui/assembly_progress_window.h"
#include "video/ui/avi_assembly.h"
#include "video/ui/recording_session.h"

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
    settingsDialog =
        std::make_unique<SettingsDialog>(state, *frame, *folderChooser, services.messages, services.hotkeys);
    ScreenCapture& screen = frame->screenCapture();
    intervalSaving =
        std::make_unique<IntervalSaving>(state, *frame, screen, *folderChooser, services.messages);
    progressWindow = std::make_unique<AssemblyProgressWindow>(frame->font());
    stillCommands = std::make_unique<StillCommands>(state, *frame, screen, *folderChooser,
                                                    services.saveDialog, services.messages, *intervalSaving);
    printCommand =
        std::make_unique<PrintCommand>(*frame, screen, state, services.messages, services.printDialog);
    assembly = std::make_unique<AviAssembly>(
        state, *frame, *progressWindow, AssemblyServices{services.messages, services.codecs, services.avi});
    recording = std::make_unique<RecordingSession>(
        state, *frame, screen, *assembly, *folderChooser,
        SessionServices{services.messages, services.hotkeys, services.clock});
    commands = std::make_unique<FrameCommands>(
        *frame, state.capture, services.hotkeys,
        FrameCommandTargets{*stillCommands, *printCommand, *recording, *settingsDialog, *folderChooser});

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
    commands.reset();
    recording.reset();
    assembly.reset();
    printCommand.reset();
    stillCommands.reset();
}

void Program::show(std::optional<RemoteCommand> first) {
    frame->show();
    window_stack::bringToForeground(frame.get());
    // Once the event loop runs: the frame is on the screen first, and the look for kept frames does
    // not hold it back. The first command waits for the answer to that offer.
    QTimer::singleShot(0, recording.get(), [this, first] {
        recording->offerKeptFramesAtStart();
        if (first) runCommand(*first);
    });
}

void Program::runCommand(RemoteCommand command) {
    switch (command) {
        case RemoteCommand::Start:
            if (!QApplication::activeModalWidget()) commands->runIfAllowed(FrameCommand::StartRecording);
            return;
        case RemoteCommand::Pause:
            return recording->runHotkey(HotkeyAction::Pause);
        case RemoteCommand::Resume:
            return recording->runHotkey(HotkeyAction::Resume);
        case RemoteCommand::Stop:
            return recording->runHotkey(HotkeyAction::Stop);
        case RemoteCommand::Front:
            return commands->runIfAllowed(FrameCommand::BringToFront);
    }
}
