#pragma once

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <cstdlib>
#include <memory>
#include <xcb/xcb.h>

// xcb hands out replies and events allocated with malloc.
template <typename T> using XcbPtr = std::unique_ptr<T, decltype(&std::free)>;
template <typename T> XcbPtr<T> owned(T* p) {
    return XcbPtr<T>(p, &std::free);
}

xcb_atom_t intern(xcb_connection_t* c, const char* name);
// The value of a window's property of the given type; empty when it has none.
QByteArray property_text(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property, xcb_atom_t type);
// The pixels of an area of a window of 24-bit depth, as the X server has them now.
QImage window_pixels(xcb_connection_t* c, xcb_window_t w, const QRect& area);
