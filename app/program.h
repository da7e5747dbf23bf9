#pragma once

#include <QString>
#include <memory>
#include <optional>

#include "app/japanese_interface.h"
#include "core/logic/program_state.h"
#include "core/logic/remote_command.h"
#include "platform/system/file_lock.h"

class AviLibraryLoader;
class CodecChooser;
class DocumentOpener;
class GlobalHotkeys;
class MessageBoxes;
class MmClock;
class PrintCommand;
class PrintDialogPort;
class SavePictureDialog;
class ScreenGrabber;
class StillCommands;
class FrameCommands;
class FrameWindow;
class IntervalSaving;
class SettingsDialog;
class AssemblyProgressWindow;
class SaveFolderChooser;
class AviAssembly;
class RecordingSession;

struct ProgramServices {
    MessageBoxes& messages;
    DocumentOpener& documents;
    GlobalHotkeys& hotkeys;
    ScreenGrabber& grabber;
    SavePictureDialog& saveDialog;
    PrintDialogPort& printDialog;
    CodecChooser& codecs;
    AviLibraryLoader& avi;
    MmClock& clock;
};

// The program's windows and the state they share. Creating it creates the five windows in
// their fixed order (creating the settings dialog loads the settings file); they live until
// the program ends and are destroyed in the reverse order.
class Program {
public:
    // programDirectory: the executable's folder, ending with the separator.
    Program(const QString& programDirectory, ProgramServices services);
    ~Program();

    // Shows the frame window and gives it the keyboard; once the event loop runs, offers to make frame
    // files that an earlier run kept into an AVI file, then runs the command the program was started
    // with, if any.
    void show(std::optional<RemoteCommand> first = std::nullopt);

    // A command handed over by a later start of the program: what the keys would do. Start is the
    // frame's recording command, refused while the frame is busy or a dialog or box is open; pause,
    // resume and stop are the recording's hot keys; front is the front hot key.
    void runCommand(RemoteCommand command);

    // First: the windows are made in the program's font and language.
    JapaneseInterface japanese;
    ProgramState state;
    std::unique_ptr<FrameWindow> frame;
    std::unique_ptr<SaveFolderChooser> folderChooser;
    std::unique_ptr<SettingsDialog> settingsDialog;
    std::unique_ptr<IntervalSaving> intervalSaving;
    std::unique_ptr<AssemblyProgressWindow> progressWindow;
    std::unique_ptr<StillCommands> stillCommands;
    std::unique_ptr<PrintCommand> printCommand;
    std::unique_ptr<AviAssembly> assembly;
    std::unique_ptr<RecordingSession> recording;
    // The route of the frame's commands to the features, made once they all exist.
    std::unique_ptr<FrameCommands> commands;
    // Held shared by every running copy that uses this frame folder, for its whole life.
    std::optional<FileLock> runLock;
};
