#include "settings/logic/file_locations.h"

#include <QDir>
#include <QFileInfo>

#include "settings/logic/settings_file.h"

namespace {

// A folder path with exactly one separator at its end.
QString asFolder(const QString& path) {
    const QString clean = QDir::cleanPath(path);
    return clean.endsWith(QLatin1Char('/')) ? clean : clean + QLatin1Char('/');
}

// An XDG base folder: the variable when it holds an absolute path, else the home's default.
QString baseFolder(const QString& value, const QString& home, const char* homeDefault) {
    if (QDir::isAbsolutePath(value)) return asFolder(value);
    return asFolder(home) + QLatin1String(homeDefault);
}

}  // namespace

FileLocations chooseFileLocations(const ProgramFolder& program, const UserFolders& user) {
    if (program.holdsSettingsFile || program.writable)
        return {settingsFilePath(program.path), program.path, program.path, true};
    // Without HOME the root stands in, as for the system's own tools; the writes then fail
    // with the usual messages.
    const QString home = asFolder(user.home.isEmpty() ? QStringLiteral("/") : user.home);
    const QString config = baseFolder(user.configHome, home, ".config/") + QStringLiteral("kadrel/");
    const QString cache = baseFolder(user.cacheHome, home, ".cache/") + QStringLiteral("kadrel/");
    return {settingsFilePath(config), cache, home, false};
}

FileLocations fileLocationsFor(const QString& programDirectory) {
    const ProgramFolder program{programDirectory, QFileInfo::exists(settingsFilePath(programDirectory)),
                                QFileInfo(programDirectory).isWritable()};
    return chooseFileLocations(program,
                               {qEnvironmentVariable("HOME"), qEnvironmentVariable("XDG_CONFIG_HOME"),
                                qEnvironmentVariable("XDG_CACHE_HOME")});
}
