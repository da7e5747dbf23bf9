// The stop of a recording: the AVI file is assembled from the frame files, which are then deleted,
// and the frame window is put back as it was before the run.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QWindow>
#include <algorithm>
#include <limits>
#include <stdexcept>

#include "capture_window/ui/frame_window.h"
#include "platform/message_box.h"
#include "platform/mm_clock.h"
#include "platform/window_stack.h"
#include "video/logic/avi_names.h"
#include "video/logic/frame_file_reader.h"
#include "video/logic/kept_frames.h"
#include "video/ui/avi_writer.h"
#include "video/ui/progress_window.h"
#include "video/ui/video_recording.h"

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

void VideoRecording::N12Click() {
    // Refused during a stop already under way and when no run is going.
    if (!advance(RecordingCommand::Stop)) return;
    m_clock.pause(m_services.clock.timeGetTime());
    m_form1.Timer4.stop();
    // Every frame counted is on disk before the user is asked, or the count goes back to the last one.
    waitForFrameFiles();
    frameWriteFailed();
    m_frameWriter.reset();
    const std::int64_t rate = achievedFrameRate(FrameCount, m_clock.RecordedTime);
    QzAvi1->setFrameRate(qint32(std::min<std::int64_t>(rate, std::numeric_limits<qint32>::max())));
    m_services.messages.message(&m_form1,
                                QStringLiteral("動画保存>>停止しました\nOKを押すとAVIファイル作成します"));
    assemble();
}

void VideoRecording::assemble() {
    // Kept above the frame, which is topmost while it records.
    window_stack::showOver(&m_form4, &m_form1);
    waitUntilExposed(m_form4);
    const Settings& s = m_state.settings;
    QzAvi1->setFileName(movieFilePath(s.SaveDirectory, s.MoviePrefix, MovieNumber));
    QzAvi1->setFreeName([this] {
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
        m_services.messages.message(&m_form1, report);
    else
        m_services.messages.error(&m_form1, report);
}

void VideoRecording::writeFrames() {
    // A file that cannot be made is reported with the frames kept, after the clean-up.
    if (!(m_aviOpened = QzAvi1->Open())) return;
    // Read and converted on another thread, a few frames ahead: the disk and the conversion work
    // while the frame before is written.
    constexpr std::size_t kFramesAhead = 3;
    const QString folder = m_state.frameDirectory;
    FrameFileReader frames([folder](std::int32_t i) { return frameFilePath(folder, i); }, FrameCount,
                           kFramesAhead, QzAvi1->framePreparer());
    for (std::int32_t i = 1; i <= FrameCount; ++i) {
        const FrameQueue::Slot* frame = frames.next();
        if (!frame) throw FrameFileError(frameFilePath(folder, i));
        // A frame the writer could not store is its own to report; the frames after it still go in.
        QzAvi1->addPreparedFrame(frame->sample);
        m_form4.change(progress(i, FrameCount, 0));
    }
}

qsizetype VideoRecording::cleanUp() {
    // The AVI file is whole on the disk before any frame file goes, and only the frames it holds go.
    QzAvi1->Close();
    const QString& folder = m_state.frameDirectory;
    const std::int32_t inFile = std::int32_t(std::min<std::int64_t>(QzAvi1->framesInFile(), FrameCount));
    const bool noted = inFile > 0 && writeFramesInAviNote(folder, QzAvi1->FileName(), inFile);
    for (std::int32_t i = 1; i <= inFile; ++i) {
        QFile::remove(frameFilePath(folder, i));
        m_form4.change(progress(i, FrameCount, 50));
    }
    if (noted) removeFramesInAviNote(folder);
    const qsizetype kept = frameFileNumbers(folder).size();
    m_form4.hide();
    QCoreApplication::processEvents();
    if (m_state.capture.WholeScreen) m_form1.show();
    TrayIconData.remove();
    unregisterHotkeys();
    QCoreApplication::processEvents();
    // The shape with the button comes back with the flag: a shape built during the run holds no
    // button, only its placeholder.
    m_state.capture.Recording = false;
    m_form1.alphawindow();
    if (!m_form1.alwaysOnTop()) window_stack::setTopmost(&m_form1, false);
    m_form1.setEnabled(true);
    // The keyboard goes back to the frame, as Form4 had it.
    window_stack::bringToForeground(&m_form1);
    // No file, nothing to compress: the report after the clean-up says why.
    if (m_aviOpened) QzAvi1->Finish();
    QCoreApplication::processEvents();
    m_form1.FormResize();
    m_folderLock.reset();
    advance(RecordingCommand::Finished);
    return kept;
}
