#include "video/ui/video_recording.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QMenu>
#include <cerrno>

#include "capture_window/ui/frame_window.h"
#include "platform/global_hotkey.h"
#include "platform/message_box.h"
#include "platform/mm_clock.h"
#include "platform/window_stack.h"
#include "still/logic/capture_geometry.h"
#include "still/ui/capture_commands.h"
#include "video/logic/avi_names.h"
#include "video/logic/frame_file.h"
#include "video/logic/frame_size.h"
#include "video/logic/kept_frames.h"
#include "video/ui/avi_writer.h"

namespace {

struct RecordingHotkey {
    int id;
    HotkeyAction action;
};
// Registered in this order at the start.
constexpr RecordingHotkey kRecordingHotkeys[] = {{TForm1::kHotkeyResume, HotkeyAction::Resume},
                                                 {TForm1::kHotkeyPause, HotkeyAction::Pause},
                                                 {TForm1::kHotkeyStop, HotkeyAction::Stop}};

const QString kCannotMakeImage = QStringLiteral("画像を作成できません");
const QString kFolderInUse = QStringLiteral(
    "ほかの Kadrel がこのフォルダで動画保存中です.\n%1\n"
    "そちらの録画が終わってから始めてください.");
const QString kKeptFramesQuestion = QStringLiteral(
    "AVIファイルになっていないフレームが %1 枚あります.\n%2\n"
    "これらからAVIファイルを作成しますか?");
const QString kNotStartedMeanwhile = QStringLiteral("\n(録画はそのあとで始めてください.)");

}  // namespace

VideoRecording::VideoRecording(ProgramState& state, TForm1& form1, TForm4& form4, StillCommands& stills,
                               std::function<bool()> frameLimitEnabled, RecordingServices services)
    : m_state(state),
      m_form1(form1),
      m_form4(form4),
      m_stills(stills),
      m_frameLimitEnabled(std::move(frameLimitEnabled)),
      m_services(services) {
    // The writer the frame window is designed with; every start replaces it.
    QzAvi1 = new TQzAvi(&m_form1, m_services.messages, m_services.codecs, m_services.avi);
    QzAvi1->setWidth(500);
    QzAvi1->setHeight(500);
    QzAvi1->setFrameRate(10);
    connect(&m_form1.Timer4, &QTimer::timeout, this, &VideoRecording::Timer4Timer);
    connect(&TrayIconData, &TrayIcon::mouseMessage, this, &VideoRecording::ICONMessage);
}

VideoRecording::~VideoRecording() { unregisterHotkeys(); }

bool VideoRecording::advance(RecordingCommand command) {
    const std::optional<RecordingState> next = nextState(m_runState, command);
    if (!next) return false;
    m_runState = *next;
    return true;
}

void VideoRecording::applyLook() {
    const std::optional<RecordingLook> look = lookOf(m_runState, m_state.capture.WholeScreen);
    if (!look) return;
    m_state.capture.Recording = look->recordingFlag;
    if (!m_state.capture.WholeScreen) m_form1.setEnabled(look->windowEnabled);
    if (look->timerRunning)
        m_form1.Timer4.start();
    else
        m_form1.Timer4.stop();
    if (look->caption == CaptionKind::Recording) m_form1.setWindowTitle(kRecordingCaption);
    if (look->caption == CaptionKind::Paused) m_form1.setWindowTitle(kPausedRecordingCaption);
}

void VideoRecording::N9Click() {
    // Refused unless idle: a paused run is never restarted, nor a run still being assembled.
    if (m_runState != RecordingState::Idle) return;
    const Settings& s = m_state.settings;
    const CaptureState& c = m_state.capture;
    const QSize source =
        c.WholeScreen ? m_stills.captureGeometry().screen : m_stills.captureGeometry().client;
    const FrameSizeCheck frame = recordingFrameSize(source, s.ScalePercent);
    if (!frame.problem.isEmpty())
        return m_services.messages.message(&m_form1, kCannotMakeImage + QLatin1Char('\n') + frame.problem);
    // A question about kept frames is open: the folder is held already.
    if (m_folderLock || !lockFrameFolder()) return;
    // Frames kept from an earlier run would be overwritten by this one's: they go first.
    if (offerKeptFrames(true)) return;

    MovieNumber = firstFreeMovieNumber(s.SaveDirectory, s.MoviePrefix);
    newWriter(frame.size, s.RecordRate);
    m_form1.CaptureBitmap = QImage(m_form1.clientWidth(), m_form1.clientHeight(), QImage::Format_RGB32);
    bmptoavi();
}

void VideoRecording::newWriter(QSize size, std::int32_t rate) {
    // The last run's writer has finished; the next one takes its place.
    delete QzAvi1.data();
    QzAvi1 = new TQzAvi(&m_form1, m_services.messages, m_services.codecs, m_services.avi);
    QzAvi1->setFrameRate(rate);
    QzAvi1->setHeight(quint16(size.height()));
    QzAvi1->setWidth(quint16(size.width()));
}

bool VideoRecording::lockFrameFolder() {
    m_folderLock = FileLock::tryLock(m_state.frameDirectory, FileLock::Mode::Exclusive);
    // A folder that cannot be opened is no other copy's: the frame files will say what is wrong.
    if (m_folderLock || errno != EWOULDBLOCK) return true;
    m_services.messages.message(&m_form1, kFolderInUse.arg(QDir::toNativeSeparators(m_state.frameDirectory)));
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
    if (m_services.messages.question(&m_form1, question))
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

void VideoRecording::bmptoavi() {
    TrayIconData.add(QApplication::windowIcon(), QStringLiteral("Kadrel"));
    QCoreApplication::processEvents();
    advance(RecordingCommand::Start);
    m_state.capture.Recording = true;
    registerHotkeys();
    if (m_state.capture.WholeScreen)
        m_form1.hide();
    else
        m_form1.setEnabled(false);
    m_form1.alphawindow();  // the frame without the button, as Recording is set
    window_stack::setTopmost(&m_form1, true);
    m_form1.setWindowTitle(kRecordingCaption);
    FrameCount = 0;
    m_frameWriter = std::make_unique<FrameFileWriter>(
        std::size_t(QzAvi1->Width()) * QzAvi1->Height() * 4, m_frameBudgetBytes, m_writeFrameFile, [this] {
            QMetaObject::invokeMethod(
                this, [this] { frameWriteFailed(); }, Qt::QueuedConnection);
        });
    m_clock.start(m_services.clock.timeGetTime());
    m_form1.Timer4.start();
}

// Every key that fails is named in one box, and a key is named once a program run: a desktop that
// holds the keys holds them at every start.
void VideoRecording::registerHotkeys() {
    QList<HotkeyCombination> failed;
    for (const RecordingHotkey& hotkey : kRecordingHotkeys) {
        const HotkeyCombination& key = m_state.hotkeys[hotkey.action];
        const bool registered = m_services.hotkeys.registerHotkey(hotkey.id, key.modifiers, key.key);
        m_form1.showTrayHotkey(hotkey.action, registered);
        if (registered || m_failureReported[std::size_t(hotkey.action)]) continue;
        m_failureReported[std::size_t(hotkey.action)] = true;
        failed << key;
    }
    m_hotkeysRegistered = true;
    if (!failed.isEmpty()) m_services.messages.message(&m_form1, hotkeyFailureText(failed));
}

void VideoRecording::unregisterHotkeys() {
    if (!m_hotkeysRegistered) return;
    for (const RecordingHotkey& hotkey : kRecordingHotkeys) m_services.hotkeys.unregisterHotkey(hotkey.id);
    m_hotkeysRegistered = false;
}

void VideoRecording::setFrameFileWriting(FrameFileWriter::WriteFile write, std::size_t budgetBytes) {
    m_writeFrameFile = std::move(write);
    m_frameBudgetBytes = budgetBytes;
}

void VideoRecording::Timer4Timer() {
    if (m_runState != RecordingState::Recording) return;
    ++FrameCount;
    // In frame mode only the capture rectangle is read from the screen: the frame is the same, at a
    // fraction of the copying.
    if (m_state.capture.WholeScreen)
        m_stills.grabWholeScreen();
    else
        m_stills.grabClientArea();
    QImage& image = m_state.capture.WholeScreen ? m_form1.ScreenBitmap : m_form1.CaptureBitmap;
    // Video frames are not clipped to the screen.
    if (!m_stills.stretchimage(image)) {
        --FrameCount;
        return pauseAndReport(kCannotMakeImage);
    }
    // The writer's thread puts the frame on disk; the tick waits only while the queue is full.
    if (!m_frameWriter->submit(image, FrameCount, frameFilePath(m_state.frameDirectory, FrameCount)))
        return frameWriteFailed();
    if (m_frameLimitEnabled() && FrameCount >= m_state.settings.FrameLimit) m_form1.N12->trigger();
}

void VideoRecording::frameWriteFailed() {
    if (!m_frameWriter) return;
    const std::optional<FrameFileWriter::Failure> failure = m_frameWriter->takeFailure();
    if (!failure) return;
    // The frames on disk stay one unbroken run that the assembly reads whole; those queued behind
    // the failed one were never written.
    FrameCount = failure->number - 1;
    const QString text = withCause(fileCreationErrorText(failure->path), failure->error);
    if (m_runState == RecordingState::Assembling) return m_services.messages.error(&m_form1, text);
    pauseAndReport(text + QStringLiteral("\n録画を一時停止しました. %1 で再開できます.")
                              .arg(m_state.hotkeys[HotkeyAction::Resume].text()));
}

// The run pauses, so the user can make room and resume. While one box about it is open, a failure
// after a resume pauses again without another box.
void VideoRecording::pauseAndReport(const QString& text) {
    N11Click();
    if (m_reportingWriteFailure) return;
    m_reportingWriteFailure = true;
    m_services.messages.error(&m_form1, text);
    m_reportingWriteFailure = false;
}

void VideoRecording::waitForFrameFiles() {
    if (!m_frameWriter) return;
    while (!m_frameWriter->waitUntilWritten(std::chrono::milliseconds(20)))
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void VideoRecording::N11Click() {
    if (!advance(RecordingCommand::Pause)) return;
    applyLook();
    m_clock.pause(m_services.clock.timeGetTime());
}

void VideoRecording::N10Click() {
    if (!advance(RecordingCommand::Resume)) return;
    applyLook();
    m_clock.resume(m_services.clock.timeGetTime());
}

void VideoRecording::ICONMessage(TrayMouse event) {
    if (event == TrayMouse::Other) return;
    const QPoint cursor = QCursor::pos();
    if (!nextState(m_runState, RecordingCommand::TrayPress)) return;
    m_form1.Timer4.stop();
    m_form1.N11->trigger();
    m_form1.PopupMenu2->popup(cursor);
}
