#pragma once

#include "controls.h"
#include "x_captions.h"

#include <QHash>
#include <QPixmap>
#include <QTimer>
#include <QWidget>
#include <chrono>

// A framed read-out of the inverter's reports. Its caption follows every report
// at once; it is drawn at most once per frame of the screen, the newest caption
// always within a frame. The full line brings 137 reports a second, more than a
// screen shows, and drawing each cost more than all the panel's other work.
// Drawing it is cheap too: it is opaque, so nothing behind it is drawn again,
// and each caption is rendered once and copied after. On an X display the
// copies are kept in the X server and the read-out has a window of its own:
// showing a caption is then one request, with nothing drawn here.
class ReadOut : public QWidget {
public:
    // `back` is the colour of the frame it sits in.
    ReadOut(const QString& caption, const Twips& place, Colour back, QWidget* parent);

    QString text() const { return caption; }
    void setText(const QString& text);

    QPaintEngine* paintEngine() const override;

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    std::chrono::nanoseconds frame_length() const;
    void draw();
    void show_caption();
    QImage rendered_caption() const;

    QString caption;
    std::chrono::steady_clock::time_point drawn_at;
    QTimer deadline; // draws a caption that had to wait for a later frame
    // Each caption drawn so far, as the style draws it; a report's number has
    // two characters, so there are a few dozen. Kept here, or in the X server
    // when there is one.
    QHash<QString, QPixmap> rendered;
    std::unique_ptr<XCaptions> on_x;
};
