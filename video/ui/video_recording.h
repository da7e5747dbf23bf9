#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "core/logic/program_state.h"
#include "core/ui/command_ports.h"
#include "platform/system/file_lock.h"
#include "platform/x11/tray_icon.h"
#include "video/logic/frame_file_writer.h"
#include "video/logic/recording_clock.h"
#include "video/logic/recording_state.h"

class AviLibraryLoader;
class CodecChooser;
class GlobalHotkeys;
class MessageBoxes;
class MmClock;
class RecordingFrame;
class ScreenCapture;
class AssemblyProgressWindow;
class AviMovieWriter;

struct RecordingServices {
    MessageBoxes& messages;
    CodecChooser& codecs;   // the AVI writer's codec dialog
    AviLibraryLoader& avi;  // and its re-compression
    GlobalHotkeys& hotkeys;
    MmClock& clock;
};

// Video recording: the start picks the AVI name and frame size, locks or hides the frame, adds the
// tray icon and the hot keys and starts frameTimer, whose every tick writes one numbered frame file into
// the frame folder; pause, resume and the tray press stop and restart the timer and the clock; the
// stop assembles the frame files into the AVI file and puts the frame back as it was.
// A run holds the frame folder from its start to the end of its assembly, so that no other copy of
// the program records into it meanwhile. Frame files that are not in a finished AVI file stay, and
// are offered to be made into one at the next start of the program or of a recording.
class VideoRecording : public QObject, public RecordingCommandsPort {
    Q_OBJECT
public:
    // frameLimitEnabled: the settings dialog's live "フレーム数を制限する" box.
    VideoRecording(ProgramState& state, RecordingFrame& frame, ScreenCapture& screen,
                   AssemblyProgressWindow& progressWindow, std::function<bool()> frameLimitEnabled,
                   RecordingServices services);
    ~VideoRecording() override;

    void start() override;
    void beginRun();
    void captureFrame();
    void resume() override;
    void pause() override;
    void stop() override;
    void onTrayIconPressed(TrayMouse event);
    // At the program's start: offers to make the frame files an earlier run kept into an AVI file,
    // unless another copy of the program is recording into the folder.
    void offerKeptFramesAtStart();

    // How the frame files are written and how much memory may hold frames not yet written; the
    // next start uses them.
    void setFrameFileWriting(FrameFileWriter::WriteFile write, std::size_t budgetBytes);

    RecordingState runState() const { return m_runState; }
    const RecordingClock& clock() const { return m_clock; }
    TrayIcon& trayIcon() { return m_trayIcon; }

    // Each tick writes one frame; its interval comes from RecordRate at each start.
    QTimer frameTimer;
    std::int32_t MovieNumber = 0;
    std::int32_t FrameCount = 0;
    // The writer of the current or last run, owned by the frame window.
    QPointer<AviMovieWriter> movieWriter;

private:
    // Moves to the state the command leads to; false, changing nothing, when the state refuses it.
    bool advance(RecordingCommand command);
    // Shows the steady state m_runState: enabled or hidden frame, frameTimer, caption.
    void applyLook();
    void registerHotkeys();
    void unregisterHotkeys();
    void pauseAndReport(const QString& text);
    // Takes a failed frame write, if one came: the count goes back to the last frame on disk, the
    // run pauses and the user is told.
    void frameWriteFailed();
    // Until every frame handed to the writer is on disk (or its write failed); windows keep painting.
    void waitForFrameFiles();
    // Holds the frame folder for a run; false, after telling the user, when another copy does.
    bool lockFrameFolder();
    // With the folder held: when kept frame files are there, asks whether to make them into an AVI
    // file and does so on "はい". False when there were none.
    bool offerKeptFrames(bool beforeRecording);
    void assembleKeptFrames();
    // A fresh writer for the next file, with frames of size at rate frames per second.
    void newWriter(QSize size, std::int32_t rate);
    // The stop's assembly: the protected block and its clean-up, then one report of what went
    // wrong and of the frames kept.
    void assemble();
    // The assembly's protected block and its clean-up.
    void writeFrames();
    // Returns how many frame files stay in the folder.
    qsizetype cleanUp();

    ProgramState& m_state;
    RecordingFrame& m_frame;
    ScreenCapture& m_screen;
    AssemblyProgressWindow& m_progressWindow;
    std::function<bool()> m_frameLimitEnabled;
    RecordingServices m_services;
    RecordingState m_runState = RecordingState::Idle;
    RecordingClock m_clock;
    TrayIcon m_trayIcon;
    bool m_hotkeysRegistered = false;
    // The hot keys whose failure the user has been told of in this run, by HotkeyAction.
    std::array<bool, kHotkeyActionCount> m_failureReported{};
    bool m_reportingWriteFailure = false;
    // The frame folder, held from a run's start (or an assembly of kept frames) to its end.
    std::optional<FileLock> m_folderLock;
    bool m_aviOpened = false;
    FrameFileWriter::WriteFile m_writeFrameFile = FrameFileWriter::writeBmp;
    std::size_t m_frameBudgetBytes = FrameFileWriter::defaultBudgetBytes();
    std::unique_ptr<FrameFileWriter> m_frameWriter;
};
