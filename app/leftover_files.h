#pragma once

#include <QString>

// Removes the temporary files that a killed copy of the program leaves behind: the hidden
// replacement of the settings file (".kadrel.ini.XXXXXX" beside settingsFile) and a re-compression's
// "<prefix><n>_.avi" in the save folder, the latter only beside its "<prefix><n>.avi", which the
// re-compression left whole. Call only while no other copy of the program runs.
void removeLeftoverTemporaries(const QString& settingsFile, const QString& saveDirectory,
                               const QString& moviePrefix);
