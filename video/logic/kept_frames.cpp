#include "video/logic/kept_frames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <optional>

#include "platform/avi/avi_file_reader.h"
#include "platform/system/durable_file.h"
#include "platform/system/file_replace.h"
#include "video/logic/assembly_record.h"
#include "video/logic/avi_names.h"
#include "video/logic/frame_file.h"

namespace {

const QString kFramePrefix = QStringLiteral("kadrel00AVISAVE");
const QString kFrameSuffix = QStringLiteral(".bmp");

// The number in name when it is prefix + a number the program writes (no sign, no leading zero) +
// suffix.
std::optional<std::int32_t> numberIn(const QString& name, const QString& prefix, const QString& suffix) {
    if (!name.startsWith(prefix) || !name.endsWith(suffix)) return std::nullopt;
    const QString digits = name.mid(prefix.size(), name.size() - prefix.size() - suffix.size());
    bool ok = false;
    const int n = digits.toInt(&ok);
    if (!ok || n <= 0 || QString::number(n) != digits) return std::nullopt;
    return n;
}

// Renames path to the first free name of path + ".bad", ".bad2", ...; the new name, or path when
// none could be taken.
QString setAside(const QString& path) {
    for (int n = 1; n < 100; ++n) {
        const QString name = path + QStringLiteral(".bad") + (n > 1 ? QString::number(n) : QString());
        if (QFile::rename(path, name)) return name;
    }
    return path;
}

}  // namespace

QList<std::int32_t> frameFileNumbers(const QString& frameDirectory) {
    QList<std::int32_t> numbers;
    const QStringList names =
        QDir(frameDirectory).entryList({kFramePrefix + QLatin1Char('*') + kFrameSuffix}, QDir::Files);
    for (const QString& name : names)
        if (const auto n = numberIn(name, kFramePrefix, kFrameSuffix)) numbers << *n;
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

std::int32_t renumberFrameFiles(const QString& frameDirectory) {
    std::int32_t next = 1;
    for (const std::int32_t n : frameFileNumbers(frameDirectory)) {
        if (n != next &&
            !QFile::rename(frameFilePath(frameDirectory, n), frameFilePath(frameDirectory, next)))
            break;
        ++next;
    }
    return next - 1;
}

qsizetype removeFrameFilesUpTo(const QString& frameDirectory, std::int32_t last,
                               const std::function<void(std::int32_t)>& removed) {
    qsizetype count = 0;
    for (const std::int32_t n : frameFileNumbers(frameDirectory)) {
        if (n > last) break;
        if (QFile::remove(frameFilePath(frameDirectory, n))) ++count;
        if (removed) removed(n);
    }
    flushFolder(frameDirectory);
    return count;
}

bool isMovieFileOf(const QString& path, const MovieFolder& movies) {
    const QFileInfo file(path);
    const QFileInfo firstMovie(movieFilePath(movies.saveDirectory, movies.prefix, 1));
    return file.isAbsolute() &&
           QDir::cleanPath(file.absolutePath()) == QDir::cleanPath(firstMovie.absolutePath()) &&
           numberIn(file.fileName(), movies.prefix, QStringLiteral(".avi")).has_value();
}

SettledFrames settleKeptFrames(const QString& frameDirectory, const MovieFolder& movies) {
    SettledFrames settled;
    const FoundRecord found = readAssemblyRecord(frameDirectory);
    std::optional<AssemblyRecord> record = found.record;
    if (record && record->stage != AssemblyRecord::Stage::Recording && !isMovieFileOf(record->movie, movies))
        record.reset();
    if (found.present && !record) settled.untrustedRecord = found.path;

    // The run's frame size, from its record or else its first whole frame, decides which files are
    // its frames before anything is read from them.
    QSize size = record ? record->frameSize : QSize();
    for (const std::int32_t n : frameFileNumbers(frameDirectory)) {
        const QString path = frameFilePath(frameDirectory, n);
        QSize seen;
        const FrameFileCheck check = checkFrameFile(path, size, &seen);
        if (check == FrameFileCheck::Whole && !size.isValid()) size = seen;
        if (check == FrameFileCheck::CutShort) removePartialFile(QFile::encodeName(path));
        if (check == FrameFileCheck::Foreign) settled.setAside << setAside(path);
    }

    bool settleAgain = false;
    if (record && record->stage == AssemblyRecord::Stage::Creating && QFileInfo(record->movie).isFile() &&
        QFileInfo(record->movie).size() == 0 && QFile::remove(record->movie))
        settled.unfinishedMovie = record->movie;  // made, and killed before its first byte
    if (record && record->stage == AssemblyRecord::Stage::Writing) {
        const std::optional<FileId> id = fileIdOf(record->movie);
        const std::optional<AviContents> contents =
            id ? readAviContents(QFile::encodeName(record->movie).toStdString()) : std::nullopt;
        const bool holdsFrames = contents && contents->frames > 0 && size.isValid() &&
                                 QSize(int(contents->width), int(contents->height)) == size;
        if (id && record->movieId && *id != *record->movieId) {
            settled.untrustedRecord = found.path;
        } else if (holdsFrames) {
            // A kill may have come before the file's own flush: it is on the disk before its frames go.
            settleAgain = !flushFile(record->movie) || !flushFolder(QFileInfo(record->movie).absolutePath());
            if (!settleAgain)
                settled.inMovie = removeFrameFilesUpTo(
                    frameDirectory, std::int32_t(std::min<std::int64_t>(contents->frames, record->frames)));
        } else if (id && record->movieId && QFile::remove(record->movie)) {
            settled.unfinishedMovie = record->movie;
        } else if (id) {
            settled.untrustedRecord = found.path;  // an earlier version's note naming no whole movie file
        }
    }
    if (found.present && !settleAgain && QFile::remove(found.path)) flushFolder(frameDirectory);
    // An ignored record matters only while frames stay on its account (a kill before its first
    // write leaves it empty).
    settled.kept = frameFileNumbers(frameDirectory).size();
    if (settled.kept == 0) {
        size = QSize();
        settled.untrustedRecord.clear();
    }
    settled.frameSize = size;
    return settled;
}
