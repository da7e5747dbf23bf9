#include "core/logic/numbered_name.h"

#include <QFileInfo>
#include <limits>

#include "core/logic/save_format.h"

QString numberedPath(const QString& folder, const QString& prefix, std::int32_t number,
                     const QString& extension) {
    QString path = folder;
    if (!path.endsWith(QLatin1Char('/'))) path += QLatin1Char('/');
    return path + prefix + QString::number(number) + extension;
}

std::int32_t firstFreeNumber(const QString& folder, const QString& prefix, std::int32_t start) {
    std::int32_t n = start;
    for (;;) {
        bool used = false;
        for (const SaveFormatRow& format : kSaveFormats) {
            if (QFileInfo::exists(numberedPath(folder, prefix, n, QLatin1String(format.extension)))) {
                used = true;
                break;
            }
        }
        // The last number is taken as it is rather than wrapping round to negative names.
        if (!used || n == std::numeric_limits<std::int32_t>::max()) return n;
        ++n;
    }
}
