#pragma once

#include <QHash>
#include <QImage>
#include <QString>
#include <functional>
#include <memory>
#include <xcb/xproto.h>

class QWidget;

// Images kept in the X server as pixmaps, each sent once, and copied onto a
// widget's own X window on request: showing one is a single small request,
// with nothing drawn or sent on this side.
class XCaptions {
public:
    // For `widget`'s own X window; null off an X display, or when the window's
    // pixels are not 32-bit true colour as the images are.
    static std::unique_ptr<XCaptions> on(QWidget& widget);
    ~XCaptions();
    XCaptions(const XCaptions&) = delete;
    XCaptions& operator=(const XCaptions&) = delete;

    // Shows the image stored under `key`, made by `render` and sent first if
    // there is none yet.
    void show(const QString& key, const std::function<QImage()>& render);
    // Drops every stored image (what they were made with changed).
    void forget();

private:
    XCaptions(QWidget& widget, xcb_connection_t* connection, xcb_window_t root, uint8_t depth);

    QWidget& widget; // its window may be made anew, on the same screen
    xcb_connection_t* connection;
    xcb_window_t root;
    uint8_t depth;
    xcb_gcontext_t gc;
    struct Pixmap {
        xcb_pixmap_t id;
        uint16_t width, height;
    };
    QHash<QString, Pixmap> pixmaps;
};
