#include "core/logic/numbered_name.h"

#include <QFileInfo>
#include <limits>

QString extensionForSaveType(std::uint8_t saveType) {
    switch (saveType) {
        case 1:
            return QStringLiteral(".jpg");
        case 2:
            return QStringLiteral(".bmp");
        case 3:
            return QStringLiteral(".gif");
        default:
            return QStringLiteral(".png");
    }
}

QString numberedPath(const QString& folder, const QString& prefix, std::int32_t number,
                     const QString& extension) {
    QString path = folder;
    if (!path.endsWith(QLatin1Char('/'))) path += QLatin1Char('/');
    return path + prefix + QString::number(number) + extension;
}

std::int32_t firstFreeNumber(const QString& folder, const QString& prefix, std::int32_t start) {
    static const char* const kExtensions[] = {".jpg", ".bmp", ".gif", ".png"};
    std::int32_t n = start;
    for (;;) {
        bool used = false;
        for (const char* ext : kExtensions) {
            if (QFileInfo::exists(numberedPath(folder, prefix, n, QLatin1String(ext)))) {
                used = true;
                break;
            }
        }
        // The last number is taken as it is rather than wrapping round to negative names.
        if (!used || n == std::numeric_limits<std::int32_t>::max()) return n;
        ++n;
    }
}
