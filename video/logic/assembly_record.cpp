#include "video/logic/assembly_record.h"

#include <fcntl.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <cerrno>
#include <limits>

#include "platform/avi/avi_file_writer.h"
#include "platform/system/whole_transfer.h"

namespace {

constexpr QByteArrayView kTitle = "kadrel recording";
constexpr const char* kStages[] = {"recording", "creating", "writing"};

QByteArray checkOf(QByteArrayView text) {
    return QCryptographicHash::hash(text, QCryptographicHash::Sha256).toHex().left(32);
}

// A whole number in [least, most], written as the program writes it: digits only, no leading zero.
std::optional<quint64> number(QByteArrayView text, quint64 least, quint64 most) {
    bool ok = false;
    const quint64 value = text.toULongLong(&ok);
    if (!ok || text.isEmpty() || text.size() > 20 || QByteArray::number(value) != text || value < least ||
        value > most)
        return std::nullopt;
    return value;
}

}  // namespace

QString assemblyRecordPath(const QString& frameDirectory) {
    return frameDirectory + QStringLiteral(".kadrel00AVISAVE.record");
}

QString earlierNotePath(const QString& frameDirectory) {
    return frameDirectory + QStringLiteral(".kadrel00AVISAVE.done");
}

QByteArray recordText(const AssemblyRecord& record) {
    QByteArray text = kTitle.toByteArray() + "\nstage=" + kStages[int(record.stage)] + '\n';
    text += "size=" + QByteArray::number(record.frameSize.width()) + 'x' +
            QByteArray::number(record.frameSize.height()) + '\n';
    if (record.stage != AssemblyRecord::Stage::Recording) {
        // Encoded, as a name may hold any byte but '/' and NUL, line breaks included.
        text += "movie=" + QFile::encodeName(record.movie).toPercentEncoding("/") + '\n';
        text += "frames=" + QByteArray::number(record.frames) + '\n';
    }
    if (record.stage == AssemblyRecord::Stage::Writing && record.movieId)
        text += "file=" + QByteArray::number(record.movieId->device) + ':' +
                QByteArray::number(record.movieId->inode) + '\n';
    return text + "check=" + checkOf(text) + '\n';
}

std::optional<AssemblyRecord> parseRecord(QByteArrayView text) {
    // The file's room beyond the record is line breaks.
    while (text.endsWith('\n')) text.chop(1);
    const qsizetype checkAt = text.lastIndexOf("\ncheck=");
    if (checkAt < 0 || text.sliced(checkAt + 7) != checkOf(text.first(checkAt + 1))) return std::nullopt;
    const QList<QByteArray> lines = text.first(checkAt).toByteArray().split('\n');
    const auto field = [&](qsizetype line, QByteArrayView key) -> std::optional<QByteArray> {
        if (line >= lines.size() || !lines[line].startsWith(key) || lines[line].size() == key.size() ||
            lines[line][key.size()] != '=')
            return std::nullopt;
        return lines[line].mid(key.size() + 1);
    };
    AssemblyRecord record;
    const std::optional<QByteArray> stage = field(1, "stage");
    const std::optional<QByteArray> size = field(2, "size");
    if (lines.value(0) != kTitle || !stage || !size) return std::nullopt;
    int stageIndex = 0;
    while (stageIndex < 3 && *stage != kStages[stageIndex]) ++stageIndex;
    if (stageIndex == 3) return std::nullopt;
    record.stage = AssemblyRecord::Stage(stageIndex);
    const QList<QByteArray> sides = size->split('x');
    const auto width = number(sides.value(0), 1, AviFileWriter::kMaxSide);
    const auto height = number(sides.value(1), 1, AviFileWriter::kMaxSide);
    if (sides.size() != 2 || !width || !height) return std::nullopt;
    record.frameSize = QSize(int(*width), int(*height));
    qsizetype expectedLines = 3;
    if (record.stage != AssemblyRecord::Stage::Recording) {
        const std::optional<QByteArray> movie = field(3, "movie");
        const std::optional<QByteArray> frames = field(4, "frames");
        const auto count =
            frames ? number(*frames, 1, std::numeric_limits<std::int32_t>::max()) : std::nullopt;
        if (!movie || !count) return std::nullopt;
        record.movie = QFile::decodeName(QByteArray::fromPercentEncoding(*movie));
        record.frames = std::int32_t(*count);
        expectedLines = 5;
    }
    if (record.stage == AssemblyRecord::Stage::Writing) {
        const std::optional<QByteArray> file = field(5, "file");
        const QList<QByteArray> parts = file ? file->split(':') : QList<QByteArray>();
        const auto device = number(parts.value(0), 0, std::numeric_limits<quint64>::max());
        const auto inode = number(parts.value(1), 1, std::numeric_limits<quint64>::max());
        if (parts.size() != 2 || !device || !inode) return std::nullopt;
        record.movieId = FileId{*device, *inode};
        expectedLines = 6;
    }
    if (lines.size() != expectedLines) return std::nullopt;
    return record;
}

std::optional<AssemblyRecord> parseNote(QByteArrayView text) {
    const qsizetype lineEnd = text.indexOf('\n');
    const auto frames =
        lineEnd > 0 ? number(text.first(lineEnd), 1, std::numeric_limits<std::int32_t>::max()) : std::nullopt;
    if (!frames || lineEnd + 1 >= text.size()) return std::nullopt;
    AssemblyRecord record;
    record.stage = AssemblyRecord::Stage::Writing;
    record.frames = std::int32_t(*frames);
    record.movie = QString::fromUtf8(text.sliced(lineEnd + 1));
    return record;
}

std::optional<AssemblyRecordFile> AssemblyRecordFile::reserve(const QString& frameDirectory,
                                                              const AssemblyRecord& record) {
    const QString path = assemblyRecordPath(frameDirectory);
    // A record still there is one that could not yet be settled: it is never written over.
    UniqueFd fd(::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
    if (!fd.isOpen()) return std::nullopt;
    AssemblyRecordFile file(path, std::move(fd));
    if (file.write(record) && flushFolder(QFileInfo(path).absolutePath())) return file;
    const int error = errno;
    file.remove();
    errno = error;
    return std::nullopt;
}

bool AssemblyRecordFile::write(const AssemblyRecord& record) {
    QByteArray page = recordText(record);
    if (page.size() > kBytes) {
        errno = ENAMETOOLONG;
        return false;
    }
    page.append(kBytes - page.size(), '\n');
    return pwriteWhole(m_fd.get(), page.constData(), std::size_t(kBytes), 0) && ::fdatasync(m_fd.get()) == 0;
}

bool AssemblyRecordFile::remove() {
    const bool closed = m_fd.close();
    return ::unlink(QFile::encodeName(m_path).constData()) == 0 && closed &&
           flushFolder(QFileInfo(m_path).absolutePath());
}

FoundRecord readAssemblyRecord(const QString& frameDirectory) {
    FoundRecord found;
    for (const QString& path : {assemblyRecordPath(frameDirectory), earlierNotePath(frameDirectory)}) {
        QFile file(path);
        if (!QFileInfo(path).isFile() && !QFileInfo(path).isSymLink()) continue;
        found.present = true;
        found.path = path;
        // Nothing larger than a record is read: a larger file is no record of this program's.
        if (!QFileInfo(path).isSymLink() && file.open(QIODevice::ReadOnly)) {
            const QByteArray text = file.read(AssemblyRecordFile::kBytes + 1);
            if (text.size() <= AssemblyRecordFile::kBytes)
                found.record =
                    path == assemblyRecordPath(frameDirectory) ? parseRecord(text) : parseNote(text);
        }
        return found;
    }
    return found;
}
