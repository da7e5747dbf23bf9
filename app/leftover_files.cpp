#include "app/leftover_files.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include "video/logic/avi_names.h"

void removeLeftoverTemporaries(const QString& settingsFile, const QString& saveDirectory,
                               const QString& moviePrefix) {
    const QFileInfo settings(settingsFile);
    QDir settingsFolder = settings.absoluteDir();
    // The replacement's name: a dot, the file's name, a dot and six letters or digits.
    const QRegularExpression replacement(QStringLiteral("^\\.") +
                                         QRegularExpression::escape(settings.fileName()) +
                                         QStringLiteral("\\.[A-Za-z0-9]{6}$"));
    for (const QString& name : settingsFolder.entryList(QDir::Files | QDir::Hidden))
        if (replacement.match(name).hasMatch()) settingsFolder.remove(name);

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
