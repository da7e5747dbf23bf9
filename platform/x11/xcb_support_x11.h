// What the X11 sides of the platform services share: Qt's own xcb connection and ownership of
// the replies xcb allocates. Only *_x11.cpp files include this.
#pragma once

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <cstdlib>
#include <memory>

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
// An xcb reply, freed with free() as xcb requires.
template <typename T>
using MallocPtr = std::unique_ptr<T, FreeDeleter>;

// The connection Qt's xcb platform uses; nullptr on another platform or without an application.
inline xcb_connection_t* qtConnection() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}
