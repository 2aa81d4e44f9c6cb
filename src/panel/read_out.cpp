#include "read_out.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QStyle>

using namespace std::chrono;
using std::chrono::steady_clock;

namespace {

// Time enough to draw a caption and for the X server to show it once its turn
// has come, on a busy machine too (2 ms missed a frame now and then).
constexpr milliseconds drawing_time(4);

// How long a caption changed at `now` waits before it is drawn, frames counted
// on the monotonic clock. In a frame not drawn yet, not at all. Otherwise until
// the next frame, and longer while it can still be drawn within a frame of
// `now`: a newer caption that comes meanwhile is drawn at once in its own
// frame, with no wake-up of its own for the wait.
nanoseconds wait_to_draw(steady_clock::time_point now, steady_clock::time_point drawn_at,
                         nanoseconds frame) {
    const nanoseconds since = now.time_since_epoch();
    if (since / frame != drawn_at.time_since_epoch() / frame) return {};
    return std::max(frame - since % frame, frame - drawing_time);
}

} // namespace

ReadOut::ReadOut(const QString& text, const Twips& place, Colour back, QWidget* parent)
    : QWidget(parent), caption(text) {
    setGeometry(to_pixels(place));
    setFont(bold_gothic(12));
    set_back_colour(this, back);
    // A rendered caption covers it whole, its background included.
    setAutoFillBackground(false);
    setAttribute(Qt::WA_OpaquePaintEvent);
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        // A window of its own, drawn by this widget rather than through the
        // panel's window; the panel's window and the other controls stay as they are.
        setAttribute(Qt::WA_DontCreateNativeAncestors);
        setAttribute(Qt::WA_NativeWindow);
        setAttribute(Qt::WA_PaintOnScreen);
    }
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    connect(&deadline, &QTimer::timeout, this, &ReadOut::draw);
}

QPaintEngine* ReadOut::paintEngine() const {
    return on_x ? nullptr : QWidget::paintEngine();
}

void ReadOut::showEvent(QShowEvent* event) {
    if (testAttribute(Qt::WA_PaintOnScreen) && !on_x) {
        on_x = XCaptions::on(*this);
        // Pixels the X server keeps in another form: drawn here after all.
        if (!on_x) setAttribute(Qt::WA_PaintOnScreen, false);
    }
    QWidget::showEvent(event);
}

nanoseconds ReadOut::frame_length() const {
    const double hertz = screen() ? screen()->refreshRate() : 0;
    return nanoseconds(static_cast<nanoseconds::rep>(1e9 / (hertz > 0 ? hertz : 60)));
}

void ReadOut::setText(const QString& text) {
    if (text == caption) return;
    caption = text;
    const nanoseconds wait = wait_to_draw(steady_clock::now(), drawn_at, frame_length());
    // Drawn now, in the report's own wake-up: a posted update would wake the
    // event loop once more.
    if (wait == nanoseconds::zero())
        draw();
    else // only the newest caption need be shown: its deadline replaces a waiting one's
        deadline.start(ceil<milliseconds>(wait));
}

void ReadOut::draw() {
    if (on_x)
        show_caption();
    else
        repaint();
}

void ReadOut::paintEvent(QPaintEvent*) {
    show_caption();
}

void ReadOut::show_caption() {
    drawn_at = steady_clock::now();
    deadline.stop();
    if (on_x) {
        on_x->show(caption, [this] { return rendered_caption(); });
        return;
    }
    QPixmap& image = rendered[caption];
    if (image.isNull()) image = QPixmap::fromImage(rendered_caption());
    QPainter(this).drawPixmap(0, 0, image);
}

QImage ReadOut::rendered_caption() const {
    QImage image(size() * devicePixelRatio(), QImage::Format_RGB32);
    image.setDevicePixelRatio(devicePixelRatio());
    image.fill(palette().color(backgroundRole()));
    QPainter painter(&image);
    painter.setFont(font());
    // As a label draws its text: centred, greyed while disabled.
    style()->drawItemText(&painter, rect(), Qt::AlignCenter | Qt::TextForceLeftToRight, palette(),
                          isEnabled(), caption, foregroundRole());
    return image;
}

void ReadOut::changeEvent(QEvent* event) {
    // What the captions were drawn with has changed (greyed while disabled).
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange ||
        event->type() == QEvent::FontChange || event->type() == QEvent::EnabledChange) {
        rendered.clear();
        if (on_x) on_x->forget();
    }
    QWidget::changeEvent(event);
}
