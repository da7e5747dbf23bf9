#include "app/leftover_files.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include "video/logic/assembly_record.h"
#include "video/logic/avi_names.h"

namespace {

// What replaceFile leaves when killed: a dot, the file's name, a dot and six letters or digits.
void removeReplacementsOf(const QString& file) {
    const QFileInfo target(file);
    QDir folder = target.absoluteDir();
    const QRegularExpression replacement(QStringLiteral("^\\.") +
                                         QRegularExpression::escape(target.fileName()) +
                                         QStringLiteral("\\.[A-Za-z0-9]{6}$"));
    for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden))
        if (replacement.match(name).hasMatch()) folder.remove(name);
}

}  // namespace

void removeLeftoverTemporaries(const QString& settingsFile, const QString& frameDirectory,
                               const QString& saveDirectory, const QString& moviePrefix) {
    removeReplacementsOf(settingsFile);
    removeReplacementsOf(earlierNotePath(frameDirectory));

    if (saveDirectory.isEmpty()) return;  // no folder chosen yet; the current one is not it
    QDir saveFolder(saveDirectory);
    const QRegularExpression recompressed(QStringLiteral("^") + QRegularExpression::escape(moviePrefix) +
                                          QStringLiteral("([1-9][0-9]*)_\\.avi$"));
    for (const QString& name : saveFolder.entryList(QDir::Files | QDir::Hidden)) {
        const QRegularExpressionMatch match = recompressed.match(name);
        if (match.hasMatch() &&
            QFileInfo(movieFilePath(saveDirectory, moviePrefix, match.captured(1).toInt())).isFile())
            saveFolder.remove(name);
    }
}
