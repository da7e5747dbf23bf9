// Opens the AVI module, and with it FFmpeg, the first time the AVI library is needed: starting the
// program then maps none of FFmpeg's libraries, which are many and slow to load.
#pragma once

#include <QLibrary>
#include <QString>

class AviLibrary;

class AviLibraryLoader {
public:
    // The module's base name; the build puts lib<name>.so beside the program.
    static constexpr const char* kModuleName = "kadrel_avi";

    // folder: where the module lies, the program's own folder.
    explicit AviLibraryLoader(const QString& folder);
    AviLibraryLoader(const AviLibraryLoader&) = delete;
    AviLibraryLoader& operator=(const AviLibraryLoader&) = delete;

    // The module's library, opened on the first call. nullptr when the module, one of the
    // libraries it needs, or a module of this program's version cannot be found; a later call
    // tries again. The module stays loaded until the process ends.
    AviLibrary* library();

private:
    QLibrary m_module;
    AviLibrary* m_library = nullptr;
};
