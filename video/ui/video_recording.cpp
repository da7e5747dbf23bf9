#include "video/ui/video_recording.h"

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QWindow>
#include <algorithm>
#include <cerrno>
#include <limits>
#include <stdexcept>

#include "core/logic/recording_captions.h"
#include "core/ui/frame_ports.h"
#include "core/ui/screen_capture.h"
#include "platform/system/mm_clock.h"
#include "platform/x11/global_hotkey.h"
#include "platform/x11/message_box.h"
#include "platform/x11/window_stack.h"
#include "video/logic/avi_names.h"
#include "video/logic/frame_file.h"
#include "video/logic/frame_file_reader.h"
#include "video/logic/frame_size.h"
#include "video/logic/frame_timer.h"
#include "video/logic/kept_frames.h"
#include "video/ui/assembly_progress_window.h"
#include "video/ui/avi_movie_writer.h"

namespace {

// Registered in this order at the start.
constexpr HotkeyAction kRecordingHotkeys[] = {HotkeyAction::Resume, HotkeyAction::Pause, HotkeyAction::Stop};

const QString kCannotMakeImage = QStringLiteral("画像を作成できません");
const QString kFolderInUse = QStringLiteral(
    "ほかの Kadrel がこのフォルダで動画保存中です.\n%1\n"
    "そちらの録画が終わってから始めてください.");
const QString kKeptFramesQuestion = QStringLiteral(
    "AVIファイルになっていないフレームが %1 枚あります.\n%2\n"
    "これらからAVIファイルを作成しますか?");
const QString kNotStartedMeanwhile = QStringLiteral("\n(録画はそのあとで始めてください.)");

}  // namespace

VideoRecording::VideoRecording(ProgramState& state, RecordingFrame& frame, ScreenCapture& screen,
                               AssemblyProgressWindow& progressWindow,
                               std::function<bool()> frameLimitEnabled, RecordingServices services)
    : m_state(state),
      m_frame(frame),
      m_screen(screen),
      m_progressWindow(progressWindow),
      m_frameLimitEnabled(std::move(frameLimitEnabled)),
      m_services(services) {
    // The writer the frame window is designed with; every start replaces it.
    movieWriter =
        new AviMovieWriter(&m_frame.window(), m_services.messages, m_services.codecs, m_services.avi);
    movieWriter->setWidth(500);
    movieWriter->setHeight(500);
    movieWriter->setFrameRate(10);
    frameTimer.setTimerType(Qt::PreciseTimer);
    connect(&frameTimer, &QTimer::timeout, this, &VideoRecording::captureFrame);
    connect(&m_trayIcon, &TrayIcon::mouseMessage, this, &VideoRecording::onTrayIconPressed);
}

VideoRecording::~VideoRecording() { unregisterHotkeys(); }

bool VideoRecording::advance(RecordingCommand command) {
    const std::optional<RecordingState> next = nextState(m_runState, command);
    if (!next) return false;
    m_runState = *next;
    return true;
}

void VideoRecording::applyLook() {
    const std::optional<RecordingLook> look = lookOf(m_runState);
    if (!look) return;
    m_state.capture.Recording = look->recordingFlag;
    if (!m_state.capture.WholeScreen) m_frame.window().setEnabled(look->windowEnabled);
    if (look->timerRunning)
        frameTimer.start();
    else
        frameTimer.stop();
    if (look->caption == CaptionKind::Recording) m_frame.window().setWindowTitle(kRecordingCaption);
    if (look->caption == CaptionKind::Paused) m_frame.window().setWindowTitle(kPausedRecordingCaption);
}

void VideoRecording::start() {
    // Refused unless idle: a paused run is never restarted, nor a run still being assembled.
    if (m_runState != RecordingState::Idle) return;
    const Settings& s = m_state.settings;
    const CaptureState& c = m_state.capture;
    const QSize source = c.WholeScreen ? m_screen.geometry().screen : m_screen.geometry().client;
    const FrameSizeCheck frame = recordingFrameSize(source, s.ScalePercent);
    if (!frame.problem.isEmpty())
        return m_services.messages.message(&m_frame.window(),
                                           kCannotMakeImage + QLatin1Char('\n') + frame.problem);
    // A question about kept frames is open: the folder is held already.
    if (m_folderLock || !lockFrameFolder()) return;
    // Frames kept from an earlier run would be overwritten by this one's: they go first.
    if (offerKeptFrames(true)) return;

    MovieNumber = firstFreeMovieNumber(s.SaveDirectory, s.MoviePrefix);
    newWriter(frame.size, s.RecordRate);
    frameTimer.setInterval(frameTimerIntervalMs(s.RecordRate));
    beginRun();
}

void VideoRecording::newWriter(QSize size, std::int32_t rate) {
    // The last run's writer has finished; the next one takes its place.
    delete movieWriter.data();
    movieWriter =
        new AviMovieWriter(&m_frame.window(), m_services.messages, m_services.codecs, m_services.avi);
    movieWriter->setFrameRate(rate);
    movieWriter->setHeight(quint16(size.height()));
    movieWriter->setWidth(quint16(size.width()));
}

bool VideoRecording::lockFrameFolder() {
    m_folderLock = FileLock::tryLock(m_state.frameDirectory, FileLock::Mode::Exclusive);
    // A folder that cannot be opened is no other copy's: the frame files will say what is wrong.
    if (m_folderLock || errno != EWOULDBLOCK) return true;
    m_services.messages.message(&m_frame.window(),
                                kFolderInUse.arg(QDir::toNativeSeparators(m_state.frameDirectory)));
    return false;
}

void VideoRecording::offerKeptFramesAtStart() {
    if (m_runState != RecordingState::Idle || m_folderLock) return;
    // Held by another copy, the frames may be that copy's run.
    m_folderLock = FileLock::tryLock(m_state.frameDirectory, FileLock::Mode::Exclusive);
    if (m_folderLock && !offerKeptFrames(false)) m_folderLock.reset();
}

bool VideoRecording::offerKeptFrames(bool beforeRecording) {
    const QString& folder = m_state.frameDirectory;
    settleFramesInAviNote(folder);
    removeCutShortFrameFiles(folder);
    const qsizetype kept = frameFileNumbers(folder).size();
    if (kept == 0) return false;
    QString question = kKeptFramesQuestion.arg(kept).arg(QDir::toNativeSeparators(folder));
    if (beforeRecording) question += kNotStartedMeanwhile;
    if (m_services.messages.question(&m_frame.window(), question))
        assembleKeptFrames();
    else
        m_folderLock.reset();  // left as they are, and asked about again next time
    return true;
}

// The run's clock is lost with it: the frames play at the rate of the settings.
void VideoRecording::assembleKeptFrames() {
    const Settings& s = m_state.settings;
    FrameCount = renumberFrameFiles(m_state.frameDirectory);
    QImage first;
    readFrameBmp(frameFilePath(m_state.frameDirectory, 1), first);
    MovieNumber = firstFreeMovieNumber(s.SaveDirectory, s.MoviePrefix);
    newWriter(first.isNull() ? QSize(320, 240) : first.size(), s.RecordRate);
    advance(RecordingCommand::Recover);
    assemble();
}

void VideoRecording::beginRun() {
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
    FrameCount = 0;
    m_frameWriter =
        std::make_unique<FrameFileWriter>(std::size_t(movieWriter->Width()) * movieWriter->Height() * 4,
                                          m_frameBudgetBytes, m_writeFrameFile, [this] {
                                              QMetaObject::invokeMethod(
                                                  this, [this] { frameWriteFailed(); }, Qt::QueuedConnection);
                                          });
    m_clock.start(m_services.clock.timeGetTime());
    frameTimer.start();
}

// Every key that fails is named in one box, and a key is named once a program run: a desktop that
// holds the keys holds them at every start.
void VideoRecording::registerHotkeys() {
    QList<HotkeyCombination> failed;
    for (const HotkeyAction action : kRecordingHotkeys) {
        const HotkeyCombination& key = m_state.hotkeys[action];
        const bool registered = m_services.hotkeys.registerHotkey(hotkeyId(action), key.modifiers, key.key);
        m_frame.showTrayHotkey(action, registered);
        if (registered || m_failureReported[std::size_t(action)]) continue;
        m_failureReported[std::size_t(action)] = true;
        failed << key;
    }
    m_hotkeysRegistered = true;
    if (!failed.isEmpty()) m_services.messages.message(&m_frame.window(), hotkeyFailureText(failed));
}

void VideoRecording::unregisterHotkeys() {
    if (!m_hotkeysRegistered) return;
    for (const HotkeyAction action : kRecordingHotkeys) m_services.hotkeys.unregisterHotkey(hotkeyId(action));
    m_hotkeysRegistered = false;
}

void VideoRecording::setFrameFileWriting(FrameFileWriter::WriteFile write, std::size_t budgetBytes) {
    m_writeFrameFile = std::move(write);
    m_frameBudgetBytes = budgetBytes;
}

void VideoRecording::captureFrame() {
    if (m_runState != RecordingState::Recording) return;
    ++FrameCount;
    // In frame mode only the capture rectangle is read from the screen: the frame is the same, at a
    // fraction of the copying.
    QImage image = m_state.capture.WholeScreen ? m_screen.grabWholeScreen() : m_screen.grabClientArea();
    // Video frames are not clipped to the screen.
    if (!m_screen.scale(image)) {
        --FrameCount;
        return pauseAndReport(kCannotMakeImage);
    }
    // The writer's thread puts the frame on disk; the tick waits only while the queue is full.
    if (!m_frameWriter->submit(image, FrameCount, frameFilePath(m_state.frameDirectory, FrameCount)))
        return frameWriteFailed();
    if (m_frameLimitEnabled() && FrameCount >= m_state.settings.FrameLimit) stop();
}

void VideoRecording::frameWriteFailed() {
    if (!m_frameWriter) return;
    const std::optional<FrameFileWriter::Failure> failure = m_frameWriter->takeFailure();
    if (!failure) return;
    // The frames on disk stay one unbroken run that the assembly reads whole; those queued behind
    // the failed one were never written.
    FrameCount = failure->number - 1;
    const QString text = withCause(fileCreationErrorText(failure->path), failure->error);
    if (m_runState == RecordingState::Assembling) return m_services.messages.error(&m_frame.window(), text);
    pauseAndReport(text + QStringLiteral("\n録画を一時停止しました. %1 で再開できます.")
                              .arg(m_state.hotkeys[HotkeyAction::Resume].text()));
}

// The run pauses, so the user can make room and resume. While one box about it is open, a failure
// after a resume pauses again without another box.
void VideoRecording::pauseAndReport(const QString& text) {
    pause();
    if (m_reportingWriteFailure) return;
    m_reportingWriteFailure = true;
    m_services.messages.error(&m_frame.window(), text);
    m_reportingWriteFailure = false;
}

void VideoRecording::waitForFrameFiles() {
    if (!m_frameWriter) return;
    while (!m_frameWriter->waitUntilWritten(std::chrono::milliseconds(20)))
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void VideoRecording::pause() {
    if (!advance(RecordingCommand::Pause)) return;
    applyLook();
    m_clock.pause(m_services.clock.timeGetTime());
}

void VideoRecording::resume() {
    if (!advance(RecordingCommand::Resume)) return;
    applyLook();
    m_clock.resume(m_services.clock.timeGetTime());
}

void VideoRecording::onTrayIconPressed(TrayMouse event) {
    if (event == TrayMouse::Other) return;
    const QPoint cursor = QCursor::pos();
    if (!nextState(m_runState, RecordingCommand::TrayPress)) return;
    frameTimer.stop();
    pause();
    m_frame.popUpTrayMenu(cursor);
}

// The stop of a recording: the AVI file is assembled from the frame files, which are then deleted,
// and the frame window is put back as it was before the run.

namespace {

// A frame file that is missing or cannot be read.
class FrameFileError : public std::runtime_error {
public:
    explicit FrameFileError(const QString& path)
        : std::runtime_error(QStringLiteral("ファイル %1 を開けません").arg(path).toStdString()) {}
};

const QString kAbandoned = QStringLiteral("エラー：動画保存を中断しました");
const QString kFramesKept = QStringLiteral(
    "%1 枚のフレームはAVIファイルに入っていません.\n"
    "フレームファイルを %2 に残しました.\n"
    "次に Kadrel を起動したとき、または次の動画保存の前に、AVIファイルにできます.");

std::uint8_t progress(std::int32_t i, std::int32_t frameCount, int base) {
    return std::uint8_t(std::int64_t(i) * 100 / (2 * std::int64_t(frameCount)) + base);
}

// A shown window appears once the window system has mapped it; until then nothing drawn on it can be
// seen. The assembly itself lets no events through, so this waits for it, briefly.
void waitUntilExposed(QWidget& window) {
    QElapsedTimer waited;
    waited.start();
    while (!(window.windowHandle() && window.windowHandle()->isExposed()) && waited.elapsed() < 1000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

}  // namespace

void VideoRecording::stop() {
    // Refused during a stop already under way and when no run is going.
    if (!advance(RecordingCommand::Stop)) return;
    m_clock.pause(m_services.clock.timeGetTime());
    frameTimer.stop();
    // Every frame counted is on disk before the user is asked, or the count goes back to the last one.
    waitForFrameFiles();
    frameWriteFailed();
    m_frameWriter.reset();
    const std::int64_t rate = achievedFrameRate(FrameCount, m_clock.RecordedTime);
    movieWriter->setFrameRate(qint32(std::min<std::int64_t>(rate, std::numeric_limits<qint32>::max())));
    m_services.messages.message(&m_frame.window(),
                                QStringLiteral("動画保存>>停止しました\nOKを押すとAVIファイル作成します"));
    assemble();
}

void VideoRecording::assemble() {
    // Kept above the frame, which is topmost while it records.
    window_stack::showOver(&m_progressWindow, &m_frame.window());
    waitUntilExposed(m_progressWindow);
    const Settings& s = m_state.settings;
    movieWriter->setFileName(movieFilePath(s.SaveDirectory, s.MoviePrefix, MovieNumber));
    movieWriter->setFreeName([this] {
        const Settings& s = m_state.settings;
        MovieNumber = firstFreeMovieNumber(s.SaveDirectory, s.MoviePrefix);
        return movieFilePath(s.SaveDirectory, s.MoviePrefix, MovieNumber);
    });
    m_aviOpened = false;
    QString error;
    try {
        writeFrames();
    } catch (const std::exception& e) {
        error = QString::fromUtf8(e.what());
    }
    const qsizetype kept = cleanUp();
    // As the framework reports an error that left the protected block: after the clean-up, in one
    // box with what became of the frames.
    QString report = error.isEmpty() && !m_aviOpened ? kAbandoned : error;
    if (kept > 0) {
        if (!report.isEmpty()) report += QLatin1Char('\n');
        report += kFramesKept.arg(kept).arg(QDir::toNativeSeparators(m_state.frameDirectory));
    }
    if (report.isEmpty()) return;
    if (error.isEmpty())
        m_services.messages.message(&m_frame.window(), report);
    else
        m_services.messages.error(&m_frame.window(), report);
}

void VideoRecording::writeFrames() {
    // A file that cannot be made is reported with the frames kept, after the clean-up.
    if (!(m_aviOpened = movieWriter->Open())) return;
    // Read and converted on another thread, a few frames ahead: the disk and the conversion work
    // while the frame before is written.
    constexpr std::size_t kFramesAhead = 3;
    const QString folder = m_state.frameDirectory;
    FrameFileReader frames([folder](std::int32_t i) { return frameFilePath(folder, i); }, FrameCount,
                           kFramesAhead, movieWriter->framePreparer());
    for (std::int32_t i = 1; i <= FrameCount; ++i) {
        const FrameQueue::Slot* frame = frames.next();
        if (!frame) throw FrameFileError(frameFilePath(folder, i));
        // A frame the writer could not store is its own to report; the frames after it still go in.
        movieWriter->addPreparedFrame(frame->sample);
        m_progressWindow.change(progress(i, FrameCount, 0));
    }
}

qsizetype VideoRecording::cleanUp() {
    // The AVI file is whole on the disk before any frame file goes, and only the frames it holds go.
    movieWriter->Close();
    const QString& folder = m_state.frameDirectory;
    const std::int32_t inFile = std::int32_t(std::min<std::int64_t>(movieWriter->framesInFile(), FrameCount));
    const bool noted = inFile > 0 && writeFramesInAviNote(folder, movieWriter->FileName(), inFile);
    for (std::int32_t i = 1; i <= inFile; ++i) {
        QFile::remove(frameFilePath(folder, i));
        m_progressWindow.change(progress(i, FrameCount, 50));
    }
    if (noted) removeFramesInAviNote(folder);
    const qsizetype kept = frameFileNumbers(folder).size();
    m_progressWindow.hide();
    QCoreApplication::processEvents();
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
    // The keyboard goes back to the frame, as progressWindow had it.
    window_stack::bringToForeground(&m_frame.window());
    // No file, nothing to compress: the report after the clean-up says why.
    if (m_aviOpened) movieWriter->Finish();
    QCoreApplication::processEvents();
    m_frame.refreshLook();
    m_folderLock.reset();
    advance(RecordingCommand::Finished);
    return kept;
}
