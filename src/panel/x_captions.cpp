#include "x_captions.h"

#include <QGuiApplication>
#include <QSysInfo>
#include <QWidget>
#include <cstdlib>
#include <xcb/xcb.h>

namespace {

template <typename Reply> using Owned = std::unique_ptr<Reply, decltype(&std::free)>;
template <typename Reply> Owned<Reply> owned(Reply* reply) {
    return {reply, &std::free};
}

const xcb_visualtype_t* find_visual(const xcb_setup_t* setup, xcb_visualid_t id) {
    for (auto s = xcb_setup_roots_iterator(setup); s.rem; xcb_screen_next(&s))
        for (auto d = xcb_screen_allowed_depths_iterator(s.data); d.rem; xcb_depth_next(&d))
            for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v))
                if (v.data->visual_id == id) return v.data;
    return nullptr;
}

uint8_t bits_per_pixel(const xcb_setup_t* setup, uint8_t depth) {
    for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem; xcb_format_next(&f))
        if (f.data->depth == depth) return f.data->bits_per_pixel;
    return 0;
}

// Whether pixels of depth `depth` and visual `visual` are stored as a QImage's
// 32-bit RGB pixels are in this process's memory.
bool stored_as_rgb32(const xcb_setup_t* setup, const xcb_visualtype_t* visual, uint8_t depth) {
    const bool little_endian = QSysInfo::ByteOrder == QSysInfo::LittleEndian;
    return visual && visual->_class == XCB_VISUAL_CLASS_TRUE_COLOR &&
           visual->red_mask == 0xff0000 && visual->green_mask == 0xff00 &&
           visual->blue_mask == 0xff && (depth == 24 || depth == 32) &&
           bits_per_pixel(setup, depth) == 32 &&
           setup->image_byte_order ==
               (little_endian ? XCB_IMAGE_ORDER_LSB_FIRST : XCB_IMAGE_ORDER_MSB_FIRST);
}

} // namespace

std::unique_ptr<XCaptions> XCaptions::on(QWidget& widget) {
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !widget.internalWinId()) return nullptr;
    xcb_connection_t* c = x11->connection();
    const auto window = xcb_window_t(widget.internalWinId());
    const auto geometry = owned(xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr));
    const auto attributes =
        owned(xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr));
    if (!geometry || !attributes) return nullptr;
    const xcb_setup_t* setup = xcb_get_setup(c);
    if (!stored_as_rgb32(setup, find_visual(setup, attributes->visual), geometry->depth))
        return nullptr;
    return std::unique_ptr<XCaptions>(new XCaptions(widget, c, geometry->root, geometry->depth));
}

XCaptions::XCaptions(QWidget& w, xcb_connection_t* c, xcb_window_t r, uint8_t d)
    : widget(w), connection(c), root(r), depth(d), gc(xcb_generate_id(c)) {
    // Pixmaps of the window's depth, one per image.
    const xcb_pixmap_t like_window = xcb_generate_id(c);
    xcb_create_pixmap(connection, depth, like_window, root, 1, 1);
    const uint32_t no_exposures = 0;
    xcb_create_gc(connection, gc, like_window, XCB_GC_GRAPHICS_EXPOSURES, &no_exposures);
    xcb_free_pixmap(connection, like_window);
}

XCaptions::~XCaptions() {
    forget();
    xcb_free_gc(connection, gc);
    xcb_flush(connection);
}

void XCaptions::forget() {
    for (const Pixmap& pixmap : std::as_const(pixmaps))
        xcb_free_pixmap(connection, pixmap.id);
    pixmaps.clear();
}

void XCaptions::show(const QString& key, const std::function<QImage()>& render) {
    auto stored = pixmaps.constFind(key);
    if (stored == pixmaps.cend()) {
        const QImage image = render().convertToFormat(QImage::Format_RGB32);
        const Pixmap pixmap{xcb_generate_id(connection), uint16_t(image.width()),
                            uint16_t(image.height())};
        xcb_create_pixmap(connection, depth, pixmap.id, root, pixmap.width, pixmap.height);
        xcb_put_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap.id, gc, pixmap.width,
                      pixmap.height, 0, 0, 0, depth, uint32_t(image.sizeInBytes()),
                      image.constBits());
        stored = pixmaps.insert(key, pixmap);
    }
    xcb_copy_area(connection, stored->id, xcb_window_t(widget.winId()), gc, 0, 0, 0, 0,
                  stored->width, stored->height);
    xcb_flush(connection);
}
