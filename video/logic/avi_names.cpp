#include "video/logic/avi_names.h"

QString temporaryAviName(const QString& fileName) {
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    const qsizetype separator = fileName.lastIndexOf(QLatin1Char('/'));
    const qsizetype end = dot > separator ? dot : fileName.size();
    return fileName.left(end) + QStringLiteral("_.avi");
}
