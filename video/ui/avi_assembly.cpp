#include "video/ui/avi_assembly.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <limits>
#include <stdexcept>

#include "platform/x11/message_box.h"
#include "platform/x11/window_stack.h"
#include "video/logic/avi_names.h"
#include "video/logic/frame_file.h"
#include "video/logic/frame_file_reader.h"
#include "video/logic/kept_frames.h"
#include "video/ui/assembly_progress_window.h"
#include "video/ui/avi_movie_writer.h"

namespace {

const QString kFolderInUse = QStringLiteral(
    "ほかの Kadrel がこのフォルダで動画保存中です.\n%1\n"
    "そちらの録画が終わってから始めてください.");
const QString kKeptFramesQuestion = QStringLiteral(
    "AVIファイルになっていないフレームが %1 枚あります.\n%2\n"
    "これらからAVIファイルを作成しますか?");
const QString kNotStartedMeanwhile = QStringLiteral("\n(録画はそのあとで始めてください.)");
const QString kAbandoned = QStringLiteral("エラー：動画保存を中断しました");
const QString kNoRecord = QStringLiteral("録画の記録 %1 を作成できません.");
const QString kRecordNotWritten =
    QStringLiteral("録画の記録 %1 を書き込めないため、ＡＶＩファイルを作成しませんでした.");
const QString kKeptNotAssembled = QStringLiteral("フレームファイルはそのまま残しました.");
const QString kUnfinishedRemoved = QStringLiteral(
    "作成途中で終わったＡＶＩファイル %1 を削除しました.\n"
    "そのフレームはフレームファイルに残っています.");
const QString kSetAside =
    QStringLiteral("録画のフレームとして読めないファイルを、名前を変えて残しました:\n%1");
const QString kRecordIgnored = QStringLiteral(
    "録画の記録 %1 は読めないか、記録にあるＡＶＩファイルがこの録画のものでないため、無視しました.\n"
    "フレームファイルは消していません.");
const QString kFramesKept = QStringLiteral(
    "%1 枚のフレームはAVIファイルに入っていません.\n"
    "フレームファイルを %2 に残しました.\n"
    "次に Kadrel を起動したとき、または次の動画保存の前に、AVIファイルにできます.");

// A frame file that is missing or cannot be read.
class FrameFileError : public std::runtime_error {
public:
    explicit FrameFileError(const QString& path)
        : std::runtime_error(QStringLiteral("ファイル %1 を開けません").arg(path).toStdString()) {}
};

QString nativeList(const QStringList& paths) {
    constexpr qsizetype kShown = 10;
    QStringList lines;
    for (const QString& path : paths.first(std::min(paths.size(), kShown)))
        lines << QDir::toNativeSeparators(path);
    if (paths.size() > kShown) lines << QStringLiteral("ほか %1 個").arg(paths.size() - kShown);
    return lines.join(QLatin1Char('\n'));
}

// What settling kept frames did that the user should know of, one paragraph each.
QString settlingReport(const SettledFrames& settled) {
    QStringList paragraphs;
    if (!settled.untrustedRecord.isEmpty())
        paragraphs << kRecordIgnored.arg(QDir::toNativeSeparators(settled.untrustedRecord));
    if (!settled.unfinishedMovie.isEmpty())
        paragraphs << kUnfinishedRemoved.arg(QDir::toNativeSeparators(settled.unfinishedMovie));
    if (!settled.setAside.isEmpty()) paragraphs << kSetAside.arg(nativeList(settled.setAside));
    return paragraphs.join(QStringLiteral("\n\n"));
}

std::uint8_t progress(std::int32_t i, std::int32_t frameCount, int base) {
    return std::uint8_t(std::int64_t(i) * 100 / (2 * std::int64_t(frameCount)) + base);
}

}  // namespace

AviAssembly::AviAssembly(ProgramState& state, QWidget& window, AssemblyProgressWindow& progressWindow,
                         AssemblyServices services)
    : m_state(state),
      m_window(window),
      m_progressWindow(progressWindow),
      m_services(services),
      // The writer the frame window is designed with; every start replaces it.
      m_writer(newWriter(QSize(500, 500), 10)) {}

AviAssembly::~AviAssembly() = default;

bool AviAssembly::holdFrameFolder() { return !m_folderLock && lockFrameFolder(); }

bool AviAssembly::lockFrameFolder() {
    m_folderLock = FileLock::tryLock(m_state.frameDirectory, FileLock::Mode::Exclusive);
    // A folder that cannot be opened is no other copy's: the frame files will say what is wrong.
    if (m_folderLock || errno != EWOULDBLOCK) return true;
    m_services.messages.message(&m_window,
                                kFolderInUse.arg(QDir::toNativeSeparators(m_state.frameDirectory)));
    return false;
}

bool AviAssembly::offerKeptFramesAtStart() {
    if (m_folderLock) return false;
    // Held by another copy, the frames may be that copy's run.
    m_folderLock = FileLock::tryLock(m_state.frameDirectory, FileLock::Mode::Exclusive);
    if (!m_folderLock) return false;
    const KeptFrames kept = offerKeptFrames(false);
    if (kept == KeptFrames::None) m_folderLock.reset();
    return kept == KeptFrames::ToAssemble;
}

AviAssembly::KeptFrames AviAssembly::offerKeptFrames(bool beforeRecording) {
    const QString& folder = m_state.frameDirectory;
    const Settings& s = m_state.settings;
    const SettledFrames settled = settleKeptFrames(folder, MovieFolder{s.SaveDirectory, s.MoviePrefix});
    m_keptFrameSize = settled.frameSize;
    const QString report = settlingReport(settled);
    const qsizetype kept = settled.kept;
    if (kept == 0) {
        if (!report.isEmpty()) m_services.messages.message(&m_window, report);
        return KeptFrames::None;
    }
    QString question = kKeptFramesQuestion.arg(kept).arg(QDir::toNativeSeparators(folder));
    if (beforeRecording) question += kNotStartedMeanwhile;
    if (!report.isEmpty()) question = report + QStringLiteral("\n\n") + question;
    if (m_services.messages.question(&m_window, question)) return KeptFrames::ToAssemble;
    m_folderLock.reset();  // left as they are, and asked about again next time
    return KeptFrames::Left;
}

std::optional<std::int32_t> AviAssembly::takeKeptFrames() {
    const std::int32_t frames = renumberFrameFiles(m_state.frameDirectory);
    if (!newMovie(m_keptFrameSize, m_state.settings.RecordRate, kKeptNotAssembled)) return std::nullopt;
    return frames;
}

bool AviAssembly::newMovie(QSize size, std::int32_t rate, const QString& failure) {
    const Settings& s = m_state.settings;
    m_movieNumber = firstFreeMovieNumber(s.SaveDirectory, s.MoviePrefix);
    // The last run's writer has finished; the next one takes its place.
    m_writer.reset();
    m_writer = newWriter(size, rate);
    AssemblyRecord record;
    record.frameSize = size;
    m_record = AssemblyRecordFile::reserve(m_state.frameDirectory, record);
    if (m_record) return true;
    const int error = errno;
    const QString path = QDir::toNativeSeparators(assemblyRecordPath(m_state.frameDirectory));
    m_services.messages.error(&m_window, withCause(kNoRecord.arg(path), error) + QLatin1Char('\n') + failure);
    return false;
}

void AviAssembly::noteCreation(const QString& path, std::optional<FileId> created, std::int32_t frameCount) {
    AssemblyRecord record;
    record.stage = created ? AssemblyRecord::Stage::Writing : AssemblyRecord::Stage::Creating;
    record.frameSize = QSize(m_writer->Width(), m_writer->Height());
    record.movie = path;
    record.frames = frameCount;
    record.movieId = created;
    // Without the record, a kill would leave frames that the next start could not tell apart from
    // frames in no file: nothing is made.
    if (m_record && m_record->write(record)) return;
    const int error = m_record ? errno : ENOENT;
    const QString recordPath = QDir::toNativeSeparators(assemblyRecordPath(m_state.frameDirectory));
    throw AviFileCreationError(withCause(kRecordNotWritten.arg(recordPath), error).toStdString());
}

std::unique_ptr<AviMovieWriter> AviAssembly::newWriter(QSize size, std::int32_t rate) {
    auto writer =
        std::make_unique<AviMovieWriter>(&m_window, m_services.messages, m_services.codecs, m_services.avi);
    writer->setFrameRate(rate);
    writer->setHeight(quint16(size.height()));
    writer->setWidth(quint16(size.width()));
    return writer;
}

void AviAssembly::setFrameRate(std::int64_t rate) {
    m_writer->setFrameRate(qint32(std::min<std::int64_t>(rate, std::numeric_limits<qint32>::max())));
}

QString AviAssembly::movieFile() const { return m_writer->FileName(); }

AviAssembly::Outcome AviAssembly::writeMovie(std::int32_t frameCount) {
    // Kept above the frame, which is topmost while it records.
    window_stack::showOver(&m_progressWindow, &m_window);
    // The assembly itself lets no events through.
    window_stack::waitUntilPainted(&m_progressWindow);
    const Settings& s = m_state.settings;
    m_writer->setFileName(movieFilePath(s.SaveDirectory, s.MoviePrefix, m_movieNumber));
    m_writer->setCreationNote([this, frameCount](const QString& path, std::optional<FileId> created) {
        noteCreation(path, created, frameCount);
    });
    m_writer->setFreeName([this] {
        const Settings& s = m_state.settings;
        m_movieNumber = firstFreeMovieNumber(s.SaveDirectory, s.MoviePrefix);
        return movieFilePath(s.SaveDirectory, s.MoviePrefix, m_movieNumber);
    });
    Outcome outcome;
    try {
        // A file that cannot be made is reported with the frames kept, after the clean-up.
        if ((outcome.aviOpened = m_writer->Open())) writeFrames(frameCount);
    } catch (const std::exception& e) {
        outcome.error = QString::fromUtf8(e.what());
    }
    outcome.framesKept = removeFramesInFile(frameCount);
    m_progressWindow.hide();
    QCoreApplication::processEvents();
    return outcome;
}

void AviAssembly::writeFrames(std::int32_t frameCount) {
    // Read and converted on another thread, a few frames ahead: the disk and the conversion work
    // while the frame before is written.
    constexpr std::size_t kFramesAhead = 3;
    const QString folder = m_state.frameDirectory;
    FrameFileReader frames([folder](std::int32_t i) { return frameFilePath(folder, i); }, frameCount,
                           kFramesAhead, m_writer->framePreparer());
    for (std::int32_t i = 1; i <= frameCount; ++i) {
        const FrameQueue::Slot* frame = frames.next();
        if (!frame) throw FrameFileError(frameFilePath(folder, i));
        // A frame the writer could not store is its own to report; the frames after it still go in.
        m_writer->addPreparedFrame(frame->sample);
        m_progressWindow.change(progress(i, frameCount, 0));
    }
}

qsizetype AviAssembly::removeFramesInFile(std::int32_t frameCount) {
    m_writer->Close();
    const QString& folder = m_state.frameDirectory;
    const std::int32_t inFile = std::int32_t(std::min<std::int64_t>(m_writer->framesInFile(), frameCount));
    // A run without frames makes a file with an empty stream; one whose frames all failed, none.
    if (frameCount > 0 && inFile == 0) m_writer->discard();
    // Unflushed, the file's name could vanish with a power cut after its frames: they stay then, and
    // the record, which the next start settles again.
    const bool settled = inFile == 0 || flushFolder(QFileInfo(m_writer->FileName()).absolutePath());
    if (inFile > 0 && settled)
        removeFrameFilesUpTo(folder, inFile,
                             [&](std::int32_t n) { m_progressWindow.change(progress(n, frameCount, 50)); });
    if (settled && m_record) m_record->remove();
    m_record.reset();
    return frameFileNumbers(folder).size();
}

void AviAssembly::offerCompression(const Outcome& outcome) {
    // No file, nothing to compress: the report after the clean-up says why.
    if (outcome.aviOpened) m_writer->Finish();
}

void AviAssembly::report(const Outcome& outcome) {
    QString report = outcome.error.isEmpty() && !outcome.aviOpened ? kAbandoned : outcome.error;
    if (outcome.framesKept > 0) {
        if (!report.isEmpty()) report += QLatin1Char('\n');
        report += kFramesKept.arg(outcome.framesKept).arg(QDir::toNativeSeparators(m_state.frameDirectory));
    }
    if (report.isEmpty()) return;
    if (outcome.error.isEmpty())
        m_services.messages.message(&m_window, report);
    else
        m_services.messages.error(&m_window, report);
}
