#pragma once

#include "controls.h"

#include <QHash>
#include <QPixmap>
#include <QTimer>
#include <QWidget>
#include <array>
#include <chrono>

// A framed read-out of the inverter's reports. Its caption follows every report
// at once; it is drawn at most once per frame of the screen, the newest caption
// always within a frame. The full line brings 137 reports a second, more than a
// screen shows, and drawing each cost more than all the panel's other work.
// Drawing it is cheap too: it is opaque, so nothing behind it is drawn again,
// and each caption is rendered once and copied after.
class ReadOut : public QWidget {
public:
    // `back` is the colour of the frame it sits in.
    ReadOut(const QString& caption, const Twips& place, Colour back, QWidget* parent);

    QString text() const { return caption; }
    void setText(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    std::chrono::nanoseconds frame_length() const;

    QString caption;
    std::chrono::steady_clock::time_point drawn_at;
    QTimer deadline; // draws a caption that had to wait for a later frame
    // Each caption drawn so far, greyed (0) and not (1), as the style draws it;
    // a report's number has two characters, so there are a few hundred at most.
    std::array<QHash<QString, QPixmap>, 2> rendered;
};
