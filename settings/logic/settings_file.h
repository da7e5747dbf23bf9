#pragma once

#include <QString>

#include "core/logic/hotkey_settings.h"
#include "core/logic/settings.h"

// Path of the settings file in the program's folder (which ends with the path separator).
QString settingsFilePath(const QString& programDirectory);

// The stored settings: every key of the file that holds a usable value, the default for the others
// (SaveDirectory: defaultSaveDirectory). A missing file gives all defaults and is not created.
// ProgramDirectory is programDirectory; SaveType and SaveFolderSet keep their start values, which
// the caller applies.
Settings readSettings(const QString& iniPath, const QString& programDirectory,
                      const QString& defaultSaveDirectory);
// As above, saving into the program's folder by default.
inline Settings readSettings(const QString& iniPath, const QString& programDirectory) {
    return readSettings(iniPath, programDirectory, programDirectory);
}

// Writes every stored key except the save folder, in one rewrite of the file, creating the file and
// its folder on the first write. False, with the file untouched, when the system refuses the write
// or a text has no Shift-JIS form.
bool writeSettings(const QString& iniPath, const Settings& settings);
// As above, with the hot keys in the same rewrite (writeHotkeys).
bool writeSettings(const QString& iniPath, const Settings& settings, const HotkeySet& hotkeys);

// Writes the save folder alone, with the same failure rule as writeSettings.
bool writeSaveDirectory(const QString& iniPath, const QString& directory);
