#pragma once

#include <QString>

// Removes the temporary files that a killed copy of the program leaves behind: the hidden
// replacements of the settings file and of the frame folder's note (".kadrel.ini.XXXXXX" beside
// settingsFile, "..kadrel00AVISAVE.done.XXXXXX" in frameDirectory) and a re-compression's "<prefix><n>_.avi"
// in the save folder, the latter only beside its "<prefix><n>.avi", which the re-compression left whole. Call
// only while no other copy of the program runs.
void removeLeftoverTemporaries(const QString& settingsFile, const QString& frameDirectory,
                               const QString& saveDirectory, const QString& moviePrefix);
