#include "settings/logic/folder_caption.h"

#include "platform/system/text_encoding.h"

QString FolderCaption(const QString& folder, int limitBytes) {
    constexpr int kShownBytes = 10;
    if (shiftJisLength(folder) <= limitBytes) return QStringLiteral("指定先  ") + folder;
    return QStringLiteral("指定先 ") + shiftJisLeft(folder, kShownBytes) + QStringLiteral("…");
}
