#include "video/ui/recording_session.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QFileInfo>
#include <QLoggingCategory>

#include "core/logic/recording_captions.h"
#include "core/logic/screen_cast_token.h"
#include "core/ui/frame_ports.h"
#include "core/ui/save_folder_port.h"
#include "core/ui/screen_capture.h"
#include "platform/system/desktop_session.h"
#include "platform/system/mm_clock.h"
#include "platform/x11/global_hotkey.h"
#include "platform/x11/message_box.h"
#include "platform/x11/window_stack.h"
#include "video/logic/avi_names.h"
#include "video/logic/frame_size.h"
#include "video/logic/frame_timer.h"
#include "video/ui/avi_assembly.h"
#include "video/ui/avi_movie_writer.h"

namespace {

// The run's hot keys, registered in this order at the start, and the command each one gives.
const struct {
    HotkeyAction action;
    void (RecordingSession::*command)();
} kRecordingHotkeys[] = {{HotkeyAction::Resume, &RecordingSession::resume},
                         {HotkeyAction::Pause, &RecordingSession::pause},
                         {HotkeyAction::Stop, &RecordingSession::stop}};

const QString kCannotMakeImage = QStringLiteral("画像を作成できません");
const QString kNotStarted = QStringLiteral("録画を始められません.");

// Off unless QT_LOGGING_RULES turns it on: the recording benchmark reads the frames a run repeated.
Q_LOGGING_CATEGORY(lcRecording, "kadrel.recording", QtWarningMsg)

}  // namespace

RecordingSession::RecordingSession(ProgramState& state, RecordingFrame& frame, ScreenCapture& screen,
                                   AviAssembly& assembly, SaveFolderPort& saveFolders,
                                   SessionServices services)
    : m_state(state),
      m_frame(frame),
      m_screen(screen),
      m_assembly(assembly),
      m_saveFolders(saveFolders),
      m_services(services),
      m_trayMenu(state.hotkeys) {
    m_frameTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_frameTimer, &QTimer::timeout, this, &RecordingSession::captureFrame);
    connect(&m_trayIcon, &TrayIcon::mouseMessage, this, &RecordingSession::onTrayIconPressed);
    connect(m_trayMenu.resumeItem(), &QAction::triggered, this, &RecordingSession::resume);
    connect(m_trayMenu.pauseItem(), &QAction::triggered, this, &RecordingSession::pause);
    connect(m_trayMenu.stopItem(), &QAction::triggered, this, &RecordingSession::stop);
    connect(&m_services.hotkeys, &GlobalHotkeys::activated, this, &RecordingSession::onGlobalHotkey);
}

RecordingSession::~RecordingSession() { unregisterHotkeys(); }

bool RecordingSession::advance(RecordingCommand command) {
    const std::optional<RecordingState> next = nextState(m_runState, command);
    if (!next) return false;
    m_runState = *next;
    return true;
}

void RecordingSession::applyLook() {
    const std::optional<RecordingLook> look = lookOf(m_runState);
    if (!look) return;
    m_state.capture.Recording = look->recordingFlag;
    if (!m_state.capture.WholeScreen) m_frame.window().setEnabled(look->windowEnabled);
    if (look->timerRunning)
        m_frameTimer.start();
    else
        m_frameTimer.stop();
    if (look->caption == CaptionKind::Recording) m_frame.window().setWindowTitle(kRecordingCaption);
    if (look->caption == CaptionKind::Paused) m_frame.window().setWindowTitle(kPausedRecordingCaption);
}

void RecordingSession::start() {
    // Refused unless idle: a paused run is never restarted, nor a run still being assembled.
    if (m_runState != RecordingState::Idle) return;
    const Settings& s = m_state.settings;
    const CaptureState& c = m_state.capture;
    const QSize source = c.WholeScreen ? m_screen.geometry().screen : m_screen.geometry().client;
    const FrameSizeCheck frame = recordingFrameSize(source, s.ScalePercent);
    if (!frame.problem.isEmpty())
        return m_services.messages.message(&m_frame.window(),
                                           kCannotMakeImage + QLatin1Char('\n') + frame.problem);
    if (!saveFolderReady()) return;
    if (!m_assembly.holdFrameFolder()) return;
    // Frames kept from an earlier run would be overwritten by this one's: they go first.
    const AviAssembly::KeptFrames kept = m_assembly.offerKeptFrames(true);
    if (kept == AviAssembly::KeptFrames::ToAssemble) return assembleKeptFrames();
    if (kept == AviAssembly::KeptFrames::Left) return;

    if (!startScreenStream()) return m_assembly.releaseFrameFolder();
    if (!m_assembly.newMovie(frame.size, s.RecordRate, kNotStarted)) {
        m_screen.stopStream();
        return m_assembly.releaseFrameFolder();
    }
    m_frameTimer.setInterval(frameTimerIntervalMs(s.RecordRate));
    beginRun();
}

bool RecordingSession::startScreenStream() {
    const QString& settingsFile = m_state.settingsFile;
    QString token = readScreenCastToken(settingsFile);
    const QString stored = token;
    // Without the desktop's kept word it asks which monitor, in a window of its own that the frame,
    // kept topmost on such a desktop, would cover.
    const bool asks = m_screen.streamsFromDesktop() && stored.isEmpty();
    if (asks) window_stack::keepTopmost(&m_frame.window(), false);
    const ScreenGrabber::Failure failure = m_screen.startStream(token);
    if (asks) window_stack::keepTopmost(&m_frame.window(), true);
    if (failure != ScreenGrabber::Failure::None) {
        const QString why = grabFailureText(failure);
        if (!why.isEmpty())
            m_services.messages.message(&m_frame.window(), kNotStarted + QLatin1Char('\n') + why);
        return false;
    }
    // Kept so that the next recording does not ask for the monitor again; the run goes on without it.
    if (token != stored && !writeScreenCastToken(settingsFile, token))
        m_services.messages.error(&m_frame.window(), QStringLiteral("%1 に書き込めません").arg(settingsFile));
    return true;
}

// The movie goes where the menu says, or nowhere: never into a folder made again where one was
// deleted. As the still saves, a start without a folder in force waits for the chooser.
bool RecordingSession::saveFolderReady() {
    const QString& folder = m_state.settings.SaveDirectory;
    const bool there = QFileInfo(folder).isDir();
    if (m_state.settings.SaveFolderSet && there) return true;
    if (!there && !folder.isEmpty())
        m_services.messages.message(&m_frame.window(), AviMovieWriter::missingFolderText(folder) +
                                                           QStringLiteral("\n動画の保存先を選んでください."));
    m_saveFolders.askForFolder([this] { start(); });
    return false;
}

void RecordingSession::offerKeptFramesAtStart() {
    if (m_runState == RecordingState::Idle && m_assembly.offerKeptFramesAtStart()) assembleKeptFrames();
}

void RecordingSession::assembleKeptFrames() {
    const std::optional<std::int32_t> frames = m_assembly.takeKeptFrames();
    if (!frames) return m_assembly.releaseFrameFolder();
    advance(RecordingCommand::Recover);
    assemble(*frames);
}

void RecordingSession::beginRun() {
    m_trayIcon.add(QApplication::windowIcon(), QStringLiteral("Kadrel"));
    QCoreApplication::processEvents();
    advance(RecordingCommand::Start);
    m_state.capture.Recording = true;
    registerHotkeys();
    if (m_state.capture.WholeScreen)
        m_frame.window().hide();
    else
        m_frame.window().setEnabled(false);
    m_frame.reshape();  // the frame without the button, as Recording is set
    window_stack::setTopmost(&m_frame.window(), true);
    m_frame.window().setWindowTitle(kRecordingCaption);
    m_frameCount = 0;
    m_repeatedFrames = 0;
    const AviMovieWriter& movie = m_assembly.movieWriter();
    m_frameWriter = std::make_unique<FrameFileWriter>(
        std::size_t(movie.Width()) * movie.Height() * 4, m_frameBudgetBytes, m_writeFrameFile, [this] {
            QMetaObject::invokeMethod(
                this, [this] { frameWriteFailed(); }, Qt::QueuedConnection);
        });
    m_clock.start(m_services.clock.timeGetTime());
    m_frameTimer.start();
}

// Every key that fails is named in one box, and a key is named once a program run: a desktop that
// holds the keys holds them at every start.
void RecordingSession::registerHotkeys() {
    QList<HotkeyCombination> failed;
    for (const auto& hotkey : kRecordingHotkeys) {
        const HotkeyCombination& key = m_state.hotkeys[hotkey.action];
        const bool registered =
            m_services.hotkeys.registerHotkey(hotkeyId(hotkey.action), key.modifiers, key.key);
        m_trayMenu.showHotkey(hotkey.action, registered);
        if (registered || m_failureReported[std::size_t(hotkey.action)] == key) continue;
        m_failureReported[std::size_t(hotkey.action)] = key;
        failed << key;
    }
    m_hotkeysRegistered = true;
    if (onWaylandDesktop()) {
        if (!m_waylandNoteShown) m_services.messages.message(&m_frame.window(), waylandHotkeyNote());
        m_waylandNoteShown = true;
        return;
    }
    if (!failed.isEmpty()) m_services.messages.message(&m_frame.window(), hotkeyFailureText(failed));
}

void RecordingSession::unregisterHotkeys() {
    if (!m_hotkeysRegistered) return;
    for (const auto& hotkey : kRecordingHotkeys) m_services.hotkeys.unregisterHotkey(hotkeyId(hotkey.action));
    m_hotkeysRegistered = false;
}

void RecordingSession::onGlobalHotkey(int id) {
    for (const auto& hotkey : kRecordingHotkeys)
        if (id == hotkeyId(hotkey.action)) runHotkey(hotkey.action);
}

void RecordingSession::runHotkey(HotkeyAction action) {
    for (const auto& hotkey : kRecordingHotkeys) {
        if (hotkey.action != action) continue;
        window_stack::bringToForeground(&m_frame.window());
        (this->*hotkey.command)();
    }
}

void RecordingSession::setFrameFileWriting(FrameFileWriter::WriteFile write, std::size_t budgetBytes) {
    m_writeFrameFile = std::move(write);
    m_frameBudgetBytes = budgetBytes;
}

void RecordingSession::captureFrame() {
    if (m_runState != RecordingState::Recording) return;
    const std::optional<QImage> image = grabFrame();
    if (!image) {
        // A stream that ended says so; on X11 the grab gives no reason of its own.
        const ScreenGrabber::Failure failure = m_screen.lastFailure();
        const QString why = failure == ScreenGrabber::Failure::Screen ? QString() : grabFailureText(failure);
        return pauseAndReport(why.isEmpty() ? kCannotMakeImage : why);
    }
    const std::int32_t frames =
        framesForTick(m_frameCount, m_clock.elapsed(m_services.clock.timeGetTime()), m_frameTimer.interval());
    for (std::int32_t i = 0; i < frames; ++i) {
        // The writer's thread puts the frames on disk. The tick's own frame waits while the queue is
        // full; the frames of missed ticks never wait, so a slow disk cannot hold the tick longer.
        if (i > 0 && !m_frameWriter->hasRoom()) return;
        ++m_frameCount;
        if (!m_frameWriter->submit(*image, m_frameCount, frameFilePath(m_state.frameDirectory, m_frameCount)))
            return frameWriteFailed();
        if (i > 0) ++m_repeatedFrames;
        // The settings dialog's box counts as it stands, even before OK.
        if (m_state.live.frameLimitEnabled && m_frameCount >= m_state.settings.FrameLimit) return stop();
    }
}

std::optional<QImage> RecordingSession::grabFrame() {
    // In frame mode only the capture rectangle is read from the screen: the frame is the same, at a
    // fraction of the copying. Video frames are not clipped to the screen.
    QImage image = m_state.capture.WholeScreen ? m_screen.grabWholeScreen() : m_screen.grabClientArea();
    if (!m_screen.scale(image)) return std::nullopt;
    return image;
}

void RecordingSession::frameWriteFailed() {
    if (!m_frameWriter) return;
    const std::optional<FrameFileWriter::Failure> failure = m_frameWriter->takeFailure();
    if (!failure) return;
    // The frames on disk stay one unbroken run that the assembly reads whole; those queued behind
    // the failed one were never written.
    m_frameCount = failure->number - 1;
    const QString text = withCause(fileCreationErrorText(failure->path), failure->error);
    if (m_runState == RecordingState::Assembling) return m_services.messages.error(&m_frame.window(), text);
    pauseAndReport(text + QStringLiteral("\n録画を一時停止しました. %1 で再開できます.")
                              .arg(m_state.hotkeys[HotkeyAction::Resume].text()));
}

// The run pauses, so the user can make room and resume. While one box about it is open, a failure
// after a resume pauses again without another box.
void RecordingSession::pauseAndReport(const QString& text) {
    pause();
    if (m_reportingWriteFailure) return;
    m_reportingWriteFailure = true;
    m_services.messages.error(&m_frame.window(), text);
    m_reportingWriteFailure = false;
}

void RecordingSession::waitForFrameFiles() {
    if (!m_frameWriter) return;
    while (!m_frameWriter->waitUntilWritten(std::chrono::milliseconds(20)))
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void RecordingSession::pause() {
    if (!advance(RecordingCommand::Pause)) return;
    applyLook();
    m_clock.pause(m_services.clock.timeGetTime());
}

void RecordingSession::resume() {
    if (!advance(RecordingCommand::Resume)) return;
    applyLook();
    m_clock.resume(m_services.clock.timeGetTime());
}

void RecordingSession::onTrayIconPressed(TrayMouse event) {
    if (event == TrayMouse::Other) return;
    const QPoint cursor = QCursor::pos();
    if (!nextState(m_runState, RecordingCommand::TrayPress)) return;
    m_frameTimer.stop();
    pause();
    m_trayMenu.popup(cursor);
}

void RecordingSession::stop() {
    // Refused during a stop already under way and when no run is going.
    if (!advance(RecordingCommand::Stop)) return;
    m_clock.pause(m_services.clock.timeGetTime());
    m_frameTimer.stop();
    if (m_screen.streamsFromDesktop())
        qCInfo(lcRecording, "the screen cast delivered %llu frames",
               static_cast<unsigned long long>(m_screen.streamFrames()));
    m_screen.stopStream();
    // Every frame counted is on disk before the user is asked, or the count goes back to the last one.
    waitForFrameFiles();
    frameWriteFailed();
    m_frameWriter.reset();
    qCInfo(lcRecording, "%d frames in %u ms, %d of them repeated for ticks the timer missed",
           int(m_frameCount), unsigned(m_clock.RecordedTime), int(m_repeatedFrames));
    m_assembly.setFrameRate(achievedFrameRate(m_frameCount, m_clock.RecordedTime));
    m_services.messages.message(&m_frame.window(),
                                QStringLiteral("動画保存>>停止しました\nOKを押すとAVIファイル作成します"));
    assemble(m_frameCount);
}

void RecordingSession::assemble(std::int32_t frameCount) {
    const AviAssembly::Outcome outcome = m_assembly.writeMovie(frameCount);
    restoreFrame();
    // The run is over and the frame usable while the codec dialog is open: it says so.
    m_frame.refreshLook();
    m_assembly.offerCompression(outcome);
    QCoreApplication::processEvents();
    m_frame.refreshLook();
    m_assembly.releaseFrameFolder();
    advance(RecordingCommand::Finished);
    m_assembly.report(outcome);
}

void RecordingSession::restoreFrame() {
    if (m_state.capture.WholeScreen) m_frame.window().show();
    m_trayIcon.remove();
    unregisterHotkeys();
    QCoreApplication::processEvents();
    // The shape with the button comes back with the flag: a shape built during the run holds no
    // button, only its placeholder.
    m_state.capture.Recording = false;
    m_frame.reshape();
    if (!m_frame.alwaysOnTop()) window_stack::setTopmost(&m_frame.window(), false);
    m_frame.window().setEnabled(true);
    // The keyboard goes back to the frame, as the progress window had it.
    window_stack::bringToForeground(&m_frame.window());
}
