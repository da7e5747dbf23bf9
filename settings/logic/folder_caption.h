#pragma once

#include <QString>

// Caption of the save-folder menu item for folder: "指定先  " and the whole folder when it takes at
// most limitBytes bytes in Shift-JIS, else "指定先 ", its first 10 bytes (never half a character)
// and "…".
QString FolderCaption(const QString& folder, int limitBytes);
