#pragma once

#include <QString>

// The program's own folder as the start-up finds it.
struct ProgramFolder {
    QString path;  // ends with the path separator
    bool holdsSettingsFile = false;
    bool writable = false;
};

// The environment values that place a user's files: HOME, XDG_CONFIG_HOME, XDG_CACHE_HOME
// (empty when unset).
struct UserFolders {
    QString home;
    QString configHome;
    QString cacheHome;
};

// Where the program reads and writes its files, chosen once at the start.
struct FileLocations {
    QString settingsFile;          // full path of kadrel.ini
    QString frameDirectory;        // ends with the path separator
    QString defaultSaveDirectory;  // the save folder while the settings file names none
    bool portable = false;         // everything beside the executable
};

// A copy whose folder holds kadrel.ini or can be written keeps everything there, so that a copy
// carried on a stick or unpacked anywhere keeps working as it always did. An installed copy keeps
// its settings in the user's configuration folder, its frame files in the user's cache folder and
// saves into the home folder until the user picks another. A relative or empty XDG value is
// ignored, as the XDG base directory rules ask.
FileLocations chooseFileLocations(const ProgramFolder& program, const UserFolders& user);

// The same choice for this process: the folder's state on disk and the process environment.
FileLocations fileLocationsFor(const QString& programDirectory);
