// The AVI module the build put beside the program, reached as the program reaches it.
#pragma once

#include <QtGlobal>
#include <cstdio>
#include <cstdlib>

#include "platform/avi/avi_library.h"
#include "platform/avi/avi_library_loader.h"

// The loader of the module in KADREL_BIN_DIR.
inline AviLibraryLoader& builtAviModule() {
    static AviLibraryLoader loader(qEnvironmentVariable("KADREL_BIN_DIR"));
    return loader;
}

// Its library. Without it no AVI test can mean anything, so the test program stops.
inline AviLibrary& aviLibrary() {
    AviLibrary* library = builtAviModule().library();
    if (!library) {
        std::fprintf(stderr, "the AVI module did not load from KADREL_BIN_DIR=%s\n",
                     qPrintable(qEnvironmentVariable("KADREL_BIN_DIR")));
        std::abort();
    }
    return *library;
}
