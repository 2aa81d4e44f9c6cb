#include "x_display.h"

#include <cstring>

xcb_atom_t intern(xcb_connection_t* c, const char* name) {
    const auto r = owned(xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr));
    return r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
}

QByteArray property_text(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property,
                         xcb_atom_t type) {
    const auto r = owned(
        xcb_get_property_reply(c, xcb_get_property(c, 0, w, property, type, 0, 256), nullptr));
    if (!r) return {};
    return QByteArray(static_cast<const char*>(xcb_get_property_value(r.get())),
                      xcb_get_property_value_length(r.get()));
}

QImage window_pixels(xcb_connection_t* c, xcb_window_t w, const QRect& area) {
    const auto r = owned(xcb_get_image_reply(
        c,
        xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, w, int16_t(area.x()), int16_t(area.y()),
                      uint16_t(area.width()), uint16_t(area.height()), ~0u),
        nullptr));
    // Depth 24 comes as 32 bits a pixel, as Format_RGB32 holds it.
    if (!r || xcb_get_image_data_length(r.get()) != area.width() * area.height() * 4) return {};
    return QImage(xcb_get_image_data(r.get()), area.width(), area.height(), QImage::Format_RGB32)
        .copy();
}
