#include "video/logic/kept_frames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>
#include <algorithm>
#include <cstdlib>

#include "platform/system/file_replace.h"
#include "video/logic/avi_names.h"

namespace {

const QString kFramePrefix = QStringLiteral("kadrel00AVISAVE");
const QString kFrameSuffix = QStringLiteral(".bmp");

}  // namespace

QString framesInAviNotePath(const QString& frameDirectory) {
    return frameDirectory + QStringLiteral(".kadrel00AVISAVE.done");
}

QList<std::int32_t> frameFileNumbers(const QString& frameDirectory) {
    QList<std::int32_t> numbers;
    const QStringList names =
        QDir(frameDirectory).entryList({kFramePrefix + QLatin1Char('*') + kFrameSuffix}, QDir::Files);
    for (const QString& name : names) {
        const QString digits =
            name.mid(kFramePrefix.size(), name.size() - kFramePrefix.size() - kFrameSuffix.size());
        bool ok = false;
        const int n = digits.toInt(&ok);
        // Only names the program itself writes: no sign, no leading zero.
        if (ok && n > 0 && QString::number(n) == digits) numbers << n;
    }
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

int removeCutShortFrameFiles(const QString& frameDirectory) {
    int removed = 0;
    for (const std::int32_t n : frameFileNumbers(frameDirectory)) {
        const QString path = frameFilePath(frameDirectory, n);
        // The header and the file's length tell, without reading every picture of a long run.
        QFile file(path);
        const QByteArray header = file.open(QIODevice::ReadOnly) ? file.read(26) : QByteArray();
        const auto get32 = [&](int at) { return qFromLittleEndian<quint32>(header.constData() + at); };
        const qint64 width = header.size() == 26 ? qint32(get32(18)) : 0;
        const qint64 height = header.size() == 26 ? std::abs(qint64(qint32(get32(22)))) : 0;
        if (header.startsWith("BM") && width > 0 && height > 0 &&
            qint64(get32(10)) + width * 4 * height <= file.size())
            continue;
        file.close();
        removePartialFile(QFile::encodeName(path));
        ++removed;
    }
    return removed;
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

bool writeFramesInAviNote(const QString& frameDirectory, const QString& aviPath, std::int32_t frames) {
    return replaceFile(framesInAviNotePath(frameDirectory),
                       QString::number(frames).toUtf8() + '\n' + aviPath.toUtf8());
}

void removeFramesInAviNote(const QString& frameDirectory) {
    QFile::remove(framesInAviNotePath(frameDirectory));
}

void settleFramesInAviNote(const QString& frameDirectory) {
    QFile note(framesInAviNotePath(frameDirectory));
    if (!note.open(QIODevice::ReadOnly)) return;
    const QByteArray text = note.readAll();
    note.close();
    const qsizetype lineEnd = text.indexOf('\n');
    bool ok = false;
    const std::int32_t frames = text.left(lineEnd).toInt(&ok);
    const QString aviPath = QString::fromUtf8(text.mid(lineEnd + 1));
    // Without its file the note proves nothing: the frames stay to be made into an AVI file again.
    if (ok && lineEnd > 0 && QFileInfo(aviPath).isFile())
        for (std::int32_t i = frames; i >= 1; --i) QFile::remove(frameFilePath(frameDirectory, i));
    note.remove();
}
