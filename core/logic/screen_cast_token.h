// The desktop's permission to record the screen without asking again: the restore token of the
// ScreenCast portal, kept in the settings file's [wayland] section.
#pragma once

#include <QString>

// The token stored, empty without one.
QString readScreenCastToken(const QString& iniPath);
// Stores the token in one rewrite of the file, leaving every other key as it was. False, with the
// file untouched, when the write fails.
bool writeScreenCastToken(const QString& iniPath, const QString& token);
