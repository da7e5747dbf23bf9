#include "video/logic/avi_names.h"

#include <QFileInfo>
#include <limits>

#include "core/logic/numbered_name.h"

QString temporaryAviName(const QString& fileName) {
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    const qsizetype separator = fileName.lastIndexOf(QLatin1Char('/'));
    const qsizetype end = dot > separator ? dot : fileName.size();
    return fileName.left(end) + QStringLiteral("_.avi");
}

QString movieFilePath(const QString& saveDirectory, const QString& prefix, std::int32_t number) {
    return numberedPath(saveDirectory, prefix, number, QStringLiteral(".avi"));
}

std::int32_t firstFreeMovieNumber(const QString& saveDirectory, const QString& prefix) {
    std::int32_t n = 1;
    // The last number is taken as it is rather than wrapping round to negative names.
    while (n < std::numeric_limits<std::int32_t>::max() &&
           QFileInfo::exists(movieFilePath(saveDirectory, prefix, n)))
        ++n;
    return n;
}

QString frameFilePath(const QString& programDirectory, std::int32_t n) {
    return programDirectory + QStringLiteral("kadrel00AVISAVE") + QString::number(n) + QStringLiteral(".bmp");
}
