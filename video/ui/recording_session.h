#pragma once

#include <QImage>
#include <QObject>
#include <QTimer>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "core/logic/program_state.h"
#include "core/ui/command_ports.h"
#include "platform/x11/tray_icon.h"
#include "video/logic/frame_file_writer.h"
#include "video/logic/recording_clock.h"
#include "video/logic/recording_state.h"
#include "video/ui/recording_tray_menu.h"

class AviAssembly;
class GlobalHotkeys;
class MessageBoxes;
class MmClock;
class QImage;
class RecordingFrame;
class SaveFolderPort;
class ScreenCapture;

struct SessionServices {
    MessageBoxes& messages;
    GlobalHotkeys& hotkeys;
    MmClock& clock;
};

// A recording run: the start picks the frame size, holds the frame folder, locks or hides the frame,
// adds the tray icon and the hot keys and starts the frame timer, whose every tick writes numbered
// frame files into the frame folder, one for each tick due by the clock (a late tick repeats its
// picture for the ticks the timer missed); pause, resume and the tray press stop and restart the
// timer and the clock; the stop hands the frame files to the AVI assembly and puts the frame back as
// it was. The tray menu and the hot keys are the run's own: their items and keys call its commands.
class RecordingSession : public QObject, public RecordingCommandsPort {
    Q_OBJECT
public:
    // saveFolders: asked for a save folder when the one in force is not there.
    RecordingSession(ProgramState& state, RecordingFrame& frame, ScreenCapture& screen, AviAssembly& assembly,
                     SaveFolderPort& saveFolders, SessionServices services);
    ~RecordingSession() override;

    void start() override;
    void resume() override;
    void pause() override;
    void stop() override;
    // What a recording hot key does (a key of the run, or the same command handed over by a later
    // start of the program): the frame to the front, then the action, which the run's state may refuse.
    void runHotkey(HotkeyAction action);
    // At the program's start: makes the frame files an earlier run kept into an AVI file, when the
    // user wants them (AviAssembly::offerKeptFramesAtStart).
    void offerKeptFramesAtStart();

    // How the frame files are written and how much memory may hold frames not yet written; the
    // next start uses them.
    void setFrameFileWriting(FrameFileWriter::WriteFile write, std::size_t budgetBytes);

    RecordingState runState() const { return m_runState; }
    const RecordingClock& clock() const { return m_clock; }
    // The frames of the current or last run.
    std::int32_t frameCount() const { return m_frameCount; }
    bool frameTimerRunning() const { return m_frameTimer.isActive(); }
    TrayIcon& trayIcon() { return m_trayIcon; }
    RecordingTrayMenu& trayMenu() { return m_trayMenu; }

private:
    // Moves to the state the command leads to; false, changing nothing, when the state refuses it.
    bool advance(RecordingCommand command);
    // Shows the steady state m_runState: enabled or hidden frame, the frame timer, caption.
    void applyLook();
    // Whether the save folder in force is there; if not, the user is told which folder is missing
    // and asked for one, and the start comes again once one is chosen.
    bool saveFolderReady();
    // On a Wayland desktop: the screen cast that the run's frames come from, with the desktop's
    // permission kept in the settings file; false, with the user told why, when it does not run.
    bool startScreenStream();
    void beginRun();
    void captureFrame();
    // The picture of one frame, grabbed and scaled (video frames are not clipped to the screen);
    // none when the scaled picture cannot be made.
    std::optional<QImage> grabFrame();
    void registerHotkeys();
    void unregisterHotkeys();
    void onGlobalHotkey(int id);
    void onTrayIconPressed(TrayMouse event);
    void pauseAndReport(const QString& text);
    // Takes a failed frame write, if one came: the count goes back to the last frame on disk, the
    // run pauses and the user is told.
    void frameWriteFailed();
    // Until every frame handed to the writer is on disk (or its write failed); windows keep painting.
    void waitForFrameFiles();
    void assembleKeptFrames();
    // The end of a run or of an assembly of kept frames: the AVI file, the frame back as it was
    // before the run, the codec offer, then one report of what went wrong and of the frames kept.
    void assemble(std::int32_t frameCount);
    void restoreFrame();

    ProgramState& m_state;
    RecordingFrame& m_frame;
    ScreenCapture& m_screen;
    AviAssembly& m_assembly;
    SaveFolderPort& m_saveFolders;
    SessionServices m_services;
    RecordingState m_runState = RecordingState::Idle;
    RecordingClock m_clock;
    // Each tick writes the frames due by the clock, at least one; its interval comes from RecordRate
    // at each start.
    QTimer m_frameTimer;
    std::int32_t m_frameCount = 0;
    // Frames of this run written again for ticks the timer missed.
    std::int32_t m_repeatedFrames = 0;
    TrayIcon m_trayIcon;
    RecordingTrayMenu m_trayMenu;
    bool m_hotkeysRegistered = false;
    // The key of each action whose failure the user has been told of in this program run, by
    // HotkeyAction; a key chosen since in the settings is told of again.
    std::array<std::optional<HotkeyCombination>, kHotkeyActionCount> m_failureReported{};
    bool m_reportingWriteFailure = false;
    // On a Wayland desktop the note on the desktop's own shortcuts comes at the first run only.
    bool m_waylandNoteShown = false;
    FrameFileWriter::WriteFile m_writeFrameFile = FrameFileWriter::writeBmp;
    std::size_t m_frameBudgetBytes = FrameFileWriter::defaultBudgetBytes();
    std::unique_ptr<FrameFileWriter> m_frameWriter;
};
