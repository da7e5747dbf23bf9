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
#include "video/ui/progress_window.h"
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
    Form1 = std::make_unique<TForm1>(
        state, FrameServices{services.messages, services.documents, services.hotkeys, services.grabber});
    OKBottomDlg = std::make_unique<TOKBottomDlg>(state, *Form1, services.messages);
    Form1->setFolderChooser(OKBottomDlg.get());
    Form3 = std::make_unique<TForm3>(state, *Form1, services.messages);
    Form3->setFolderChooser(OKBottomDlg.get());
    OKBottomDlg->setSettingsDialog(Form3.get());
    Form1->setSettingsDialog(Form3.get());
    Form2 = std::make_unique<TForm2>(state, *Form1, [this] { stillCommands->timers(); });
    Form1->setIntervalDialog(Form2.get());
    Form4 = std::make_unique<TForm4>(Form1->font());
    ScreenCapture& screen = Form1->screenCapture();
    stillCommands = std::make_unique<StillCommands>(state, *Form1, screen, *OKBottomDlg, services.saveDialog,
                                                    services.messages);
    Form1->setCaptureCommands(stillCommands.get());
    TForm3* form3 = Form3.get();
    printCommand = std::make_unique<PrintCommand>(
        *Form1, screen, state.capture, [form3] { return form3->printPercent(); }, services.messages,
        services.printDialog);
    Form1->setPrintCommand(printCommand.get());
    recording = std::make_unique<VideoRecording>(
        state, *Form1, screen, *Form4, [form3] { return form3->frameLimitEnabled(); },
        RecordingServices{services.messages, services.codecs, services.avi, services.hotkeys,
                          services.clock});
    Form1->setRecordingCommands(recording.get());

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
    Form1->show();
    window_stack::bringToForeground(Form1.get());
    recording->offerKeptFramesAtStart();
}
