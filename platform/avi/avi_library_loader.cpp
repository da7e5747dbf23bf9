#include "platform/avi/avi_library_loader.h"

#include <QDir>

#include "platform/avi/avi_library.h"

AviLibraryLoader::AviLibraryLoader(const QString& folder)
    : m_module(QDir(folder).filePath(QString::fromLatin1(kModuleName))) {
    // Every symbol bound at once: a module whose FFmpeg lacks a function fails here, not midway
    // through a re-compression.
    m_module.setLoadHints(QLibrary::ResolveAllSymbolsHint);
}

AviLibrary* AviLibraryLoader::library() {
    if (m_library) return m_library;
    const auto entry = reinterpret_cast<AviLibraryEntry>(m_module.resolve(kAviLibraryEntry));
    m_library = entry ? entry(kAviLibraryVersion) : nullptr;
    return m_library;
}
