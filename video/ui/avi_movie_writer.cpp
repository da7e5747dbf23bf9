#include "video/ui/avi_movie_writer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProgressBar>
#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "platform/avi/avi_library_loader.h"
#include "platform/avi/codec_chooser.h"
#include "platform/system/durable_file.h"
#include "platform/x11/message_box.h"
#include "platform/x11/window_stack.h"
#include "video/logic/avi_names.h"
#include "video/logic/frame_conversion.h"
#include "video/ui/save_progress_window.h"

namespace {

std::string nativePath(const QString& path) { return QFile::encodeName(path).toStdString(); }

// A file that could not be finished is not offered for re-compression: the user hears of it instead.
const QString kTruncated = QStringLiteral(
    "ＡＶＩファイルを最後まで書き込めませんでした.\n"
    "書き込めたフレームまでを保存しました.");
const QString kUnfinished = QStringLiteral(
    "ＡＶＩファイルを最後まで書き込めませんでした.\n"
    "再生できないファイルは削除しました.");
const QString kCannotOpen = QStringLiteral("ＡＶＩファイルを開けませんでした.");
const QString kNotFlushed = QStringLiteral(
    "圧縮ＡＶＩファイル %1 の名前をディスクに書き込めませんでした.\n"
    "停電などがあると、ファイルが失われることがあります.");
// Names tried after the chosen one was taken, before the file counts as one that cannot be made.
constexpr int kMostRenames = 1000;

}  // namespace

const QString AviMovieWriter::kNoAviLibraryText =
    QStringLiteral("圧縮用のライブラリを読み込めませんでした.\nＡＶＩファイルは圧縮せずに保存しました.");

QString AviMovieWriter::missingFolderText(const QString& folder) {
    return QStringLiteral("動画の保存先のフォルダが見つかりません.\n%1")
        .arg(QDir::toNativeSeparators(folder));
}

AviMovieWriter::AviMovieWriter(QWidget* ownerWindow, MessageBoxes& messages, CodecChooser& codecs,
                               AviLibraryLoader& avi)
    : m_ownerWindow(ownerWindow), m_messages(messages), m_codecs(codecs), m_avi(avi) {}

AviMovieWriter::~AviMovieWriter() { delete progressWindow.data(); }

void AviMovieWriter::setFrameRate(qint32 value) { m_frameRate = std::clamp(value, 1, 30); }

void AviMovieWriter::setBitDepth(quint16 value) { m_bitDepth = value == 24 ? 24 : 16; }

bool AviMovieWriter::Open() {
    if (m_fileName.isEmpty()) return false;
    m_framesInFile = 0;
    m_lostFrames = m_removed = false;
    if (const QString folder = QFileInfo(m_fileName).absolutePath(); !QFileInfo(folder).isDir())
        throw AviFileCreationError(missingFolderText(folder).toStdString());

    m_frameFormat = BitmapInfoHeader{};
    m_frameFormat.width = m_width;
    m_frameFormat.height = m_height;
    m_frameFormat.bitCount = m_bitDepth;

    auto file = std::make_unique<AviFileWriter>();
    const auto note = [this](std::optional<FileId> created) {
        if (m_creationNote) m_creationNote(m_fileName, created);
    };
    // A file standing under the name is never replaced: it may be another copy's finished recording.
    for (int renamed = 0;; ++renamed) {
        note(std::nullopt);
        if (file->create(nativePath(m_fileName))) break;
        const int error = errno;
        if (error == EEXIST && m_freeName && renamed < kMostRenames) {
            m_fileName = m_freeName();
            continue;
        }
        if (error == EEXIST) {
            m_messages.warning(nullptr,
                               withCause(QStringLiteral("ＡＶＩファイルを作成できませんでした."), error));
            return false;
        }
        throw AviFileCreationError(withCause(fileCreationErrorText(m_fileName), error).toStdString());
    }
    try {
        note(file->fileId());
    } catch (const AviFileCreationError&) {
        (void)file->close();
        QFile::remove(m_fileName);
        throw;
    }
    if (!file->createStream(m_width, m_height, std::uint32_t(m_frameRate), m_frameFormat)) {
        (void)file->close();
        QFile::remove(m_fileName);  // a file without a stream is of no use to anyone
        m_messages.warning(nullptr,
                           QStringLiteral("映像") + QStringLiteral("ストリームを作成できませんでした."));
        return false;
    }
    m_aviFile = std::move(file);
    return true;
}

std::size_t AviMovieWriter::frameBufferSize() const {
    return ::frameBufferSize(m_frameFormat.width, m_frameFormat.height, m_frameFormat.bitCount);
}

bool AviMovieWriter::AddFrame(const QImage& bitmap) {
    if (!m_aviFile) return false;
    framePreparer()(bitmap, m_frameBuffer);
    return addPreparedFrame(m_frameBuffer);
}

std::function<void(const QImage&, std::vector<std::uint8_t>&)> AviMovieWriter::framePreparer() const {
    return [width = int(m_width), height = int(m_height), depth = int(m_bitDepth)](
               const QImage& bitmap, std::vector<std::uint8_t>& sample) {
        convertFrame(bitmap, width, height, depth, sample);
    };
}

bool AviMovieWriter::addPreparedFrame(const std::vector<std::uint8_t>& sample) {
    if (!m_aviFile) return false;
    // The writer keeps the stream position, the count of frames appended.
    return m_aviFile->writeFrame(sample.data(), std::uint32_t(sample.size()));
}

void AviMovieWriter::Close() {
    m_frameBuffer = {};
    if (!m_aviFile) return;
    const AviFileWriter::Closed closed = m_aviFile->close();
    m_framesInFile = m_aviFile->framesInFile();
    m_aviFile.reset();
    if (closed == AviFileWriter::Closed::Complete) return;
    if (m_framesInFile == 0) discard();
    m_lostFrames = true;
    m_messages.warning(nullptr, m_framesInFile > 0 ? kTruncated : kUnfinished);
}

void AviMovieWriter::discard() {
    if (!m_aviFile) m_removed = QFile::remove(m_fileName);
}

void AviMovieWriter::Finish() {
    Close();
    if (m_lostFrames || m_removed) return;
    if (!m_compress) return;

    AviLibrary* library = m_avi.library();
    if (!library) {
        // A file that Open could not create is reported as the module would report it.
        m_messages.warning(nullptr, QFileInfo(m_fileName).isFile() ? kNoAviLibraryText : kCannotOpen);
        return;
    }
    AviSource::Status status;
    std::unique_ptr<AviSource> source = library->openSource(nativePath(m_fileName), status);
    if (!source) {
        m_saveOptions = {};
        m_messages.warning(nullptr,
                           status == AviSource::Status::NoVideoStream
                               ? QStringLiteral("映像") + QStringLiteral("ストリームを開けませんでした.")
                               : kCannotOpen);
        return;
    }
    m_saveOptions.fccType = kStreamTypeVideo;
    m_saveOptions.fccHandler = kUncompressedHandler;
    m_codecs.chooseOptions(ownerWindow(), *source, m_saveOptions);
    giveFocusBack();
    if (m_saveOptions.fccHandler != kUncompressedHandler) recompress(*library, std::move(source));
    m_saveOptions = {};
}

void AviMovieWriter::recompress(AviLibrary& library, std::unique_ptr<AviSource> source) {
    const QString temporary = temporaryAviName(m_fileName);
    abortRequested = 0;
    progressWindow = new SaveProgressWindow;
    connect(progressWindow, &SaveProgressWindow::abortRequested, this, &AviMovieWriter::abort);
    window_stack::showOver(progressWindow, ownerWindow());
    // The re-save lets events run only between its steps.
    window_stack::waitUntilPainted(progressWindow);
    const int result = library.save(nativePath(temporary), *source, m_saveOptions,
                                    [this](int percent) { return SaveProgress(percent); });
    delete progressWindow.data();
    giveFocusBack();
    source.reset();
    // One rename replaces the uncompressed file, so neither file is lost if it fails; the new file
    // is on the disk before it takes the name, and the name is before the uncompressed file is gone
    // for good.
    if (result != 0 || !flushFile(temporary) ||
        std::rename(nativePath(temporary).c_str(), nativePath(m_fileName).c_str()) != 0) {
        m_messages.warning(nullptr, QStringLiteral("圧縮ＡＶＩファイル作成を中断しました."));
        QFile::remove(temporary);
        return;
    }
    if (!flushFolder(QFileInfo(m_fileName).absolutePath()))
        m_messages.warning(nullptr, withCause(kNotFlushed.arg(QDir::toNativeSeparators(m_fileName)), errno));
}

std::int32_t AviMovieWriter::SaveProgress(std::int32_t percent) {
    if (progressWindow && progressWindow->bar->value() != percent) {
        progressWindow->bar->setValue(percent);
        progressWindow->repaint();
    }
    QCoreApplication::processEvents();
    return abortRequested;
}

// Without a window manager nothing gives the keyboard back when a window of ours closes.
void AviMovieWriter::giveFocusBack() {
    if (QWidget* owner = ownerWindow(); owner && owner->isVisible()) window_stack::bringToForeground(owner);
}

void AviMovieWriter::abort() { abortRequested = kAbortRequested; }
