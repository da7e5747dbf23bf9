#pragma once

#include <QObject>
#include <QPointer>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include "capture_window/logic/program_state.h"
#include "capture_window/ui/companions.h"
#include "platform/tray_icon.h"
#include "video/logic/frame_file_writer.h"
#include "video/logic/recording_clock.h"
#include "video/logic/recording_state.h"

class AviLibraryLoader;
class CodecChooser;
class GlobalHotkeys;
class MessageBoxes;
class MmClock;
class StillCommands;
class TForm1;
class TForm4;
class TQzAvi;

struct RecordingServices {
    MessageBoxes& messages;
    CodecChooser& codecs;   // the AVI writer's codec dialog
    AviLibraryLoader& avi;  // and its re-compression
    GlobalHotkeys& hotkeys;
    MmClock& clock;
};

// Video recording: the start picks the AVI name and frame size, locks or hides the frame, adds the
// tray icon and the hot keys and starts Timer4, whose every tick writes one numbered frame file into
// the program folder; pause, resume and the tray press stop and restart the timer and the clock; the
// stop assembles the frame files into the AVI file and puts the frame back as it was.
class VideoRecording : public QObject, public RecordingCommandsPort {
    Q_OBJECT
public:
    // Hot-key ids are the frame window's (TForm1::kHotkeyResume and so on).
    // frameLimitEnabled: the settings dialog's live "フレーム数を制限する" box.
    VideoRecording(ProgramState& state, TForm1& form1, TForm4& form4, StillCommands& stills,
                   std::function<bool()> frameLimitEnabled, RecordingServices services);
    ~VideoRecording() override;

    void N9Click() override;
    void bmptoavi();
    void Timer4Timer();
    void N10Click() override;
    void N11Click() override;
    void N12Click() override;
    void ICONMessage(TrayMouse event);

    // How the frame files are written and how much memory may hold frames not yet written; the
    // next start uses them.
    void setFrameFileWriting(FrameFileWriter::WriteFile write, std::size_t budgetBytes);

    RecordingState runState() const { return m_runState; }
    const RecordingClock& clock() const { return m_clock; }
    TrayIcon& trayIcon() { return TrayIconData; }

    std::int32_t MovieNumber = 0;
    std::int32_t FrameCount = 0;
    // The writer of the current or last run, owned by the frame window.
    QPointer<TQzAvi> QzAvi1;

private:
    // Moves to the state the command leads to; false, changing nothing, when the state refuses it.
    bool advance(RecordingCommand command);
    // Shows the steady state m_runState: enabled or hidden frame, Timer4, caption.
    void applyLook();
    void registerHotkeys();
    void unregisterHotkeys();
    void pauseAndReport(const QString& text);
    // Takes a failed frame write, if one came: the count goes back to the last frame on disk, the
    // run pauses and the user is told.
    void frameWriteFailed();
    // Until every frame handed to the writer is on disk (or its write failed); windows keep painting.
    void waitForFrameFiles();
    // The assembly's protected block and its clean-up.
    void writeFrames();
    void cleanUp();

    ProgramState& m_state;
    TForm1& m_form1;
    TForm4& m_form4;
    StillCommands& m_stills;
    std::function<bool()> m_frameLimitEnabled;
    RecordingServices m_services;
    RecordingState m_runState = RecordingState::Idle;
    RecordingClock m_clock;
    TrayIcon TrayIconData;
    bool m_hotkeysRegistered = false;
    // The hot keys whose failure the user has been told of in this run, by HotkeyAction.
    std::array<bool, kHotkeyActionCount> m_failureReported{};
    bool m_reportingWriteFailure = false;
    FrameFileWriter::WriteFile m_writeFrameFile = FrameFileWriter::writeBmp;
    std::size_t m_frameBudgetBytes = FrameFileWriter::defaultBudgetBytes();
    std::unique_ptr<FrameFileWriter> m_frameWriter;
};
