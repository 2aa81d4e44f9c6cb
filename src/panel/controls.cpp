#include "controls.h"

#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

QRect to_pixels(const Twips& place) {
    auto px = [](int twips) { return (twips + 7) / 15; };
    return {px(place.left), px(place.top), px(place.width), px(place.height)};
}

QColor to_qcolor(Colour colour, const QPalette& palette) {
    if (is_scheme_colour(colour)) {
        switch (colour & 0xFF) {
        case 4:
            return palette.color(QPalette::Active, QPalette::Window); // menu background
        case 5:
            return palette.color(QPalette::Active, QPalette::Base); // window background
        default:
            return palette.color(QPalette::Active, QPalette::Button);
        }
    }
    return {int(colour & 0xFF), int(colour >> 8 & 0xFF), int(colour >> 16 & 0xFF)};
}

QFont bold_gothic(qreal points) {
    QFont font;
    font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"),
                      QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic"),
                      QStringLiteral("Noto Sans CJK JP")});
    font.setPointSizeF(points);
    font.setWeight(QFont::Bold);
    return font;
}

CommandButton::CommandButton(const QString& caption, const Twips& place, QWidget* parent)
    : QPushButton(caption, parent) {
    setGeometry(to_pixels(place));
    setAutoDefault(false);
    connect(this, &QPushButton::clicked, this, &CommandButton::Click);
}

void CommandButton::mousePressEvent(QMouseEvent* event) {
    held |= event->button();
    emit MouseDown(event->button());
    // Qt's button handles the left button only; the others are accepted here so
    // that the button keeps the mouse until they are released.
    if (event->button() == Qt::LeftButton)
        QPushButton::mousePressEvent(event);
    else
        event->accept();
}

void CommandButton::mouseReleaseEvent(QMouseEvent* event) {
    if (held & event->button()) {
        held &= ~event->button();
        emit MouseUp(event->button());
    }
    if (event->button() == Qt::LeftButton)
        QPushButton::mouseReleaseEvent(event);
    else
        event->accept();
}

SliderControl::SliderControl(int min, int max, int value, const Twips& place, QWidget* parent)
    : QSlider(Qt::Horizontal, parent) {
    setRange(min, max);
    setValue(value);
    setSingleStep(1);
    setPageStep(5);
    setTickPosition(QSlider::TicksBelow);
    setTickInterval(5);
    setGeometry(to_pixels(place));
}

void SliderControl::mousePressEvent(QMouseEvent* event) {
    held |= event->button();
    QSlider::mousePressEvent(event);
    event->accept(); // keep the mouse for buttons the slider itself ignores
}

void SliderControl::mouseReleaseEvent(QMouseEvent* event) {
    QSlider::mouseReleaseEvent(event);
    event->accept();
    if (held & event->button()) {
        held &= ~event->button();
        emit MouseUp(event->button());
    }
}

Shape::Shape(Kind kind_, Colour colour, const Twips& place, QWidget* parent)
    : QWidget(parent), kind(kind_), back_colour(colour) {
    setGeometry(to_pixels(place));
}

void Shape::setBackColor(Colour colour) {
    back_colour = colour;
    update();
}

void Shape::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, kind == Kind::Circle);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.setBrush(shownColor());
    const QRectF area = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    if (kind == Kind::Circle)
        painter.drawEllipse(area);
    else
        painter.drawRect(area);
}

LineControl::LineControl(int x1, int y1, int x2, int y2, QWidget* parent) : QWidget(parent) {
    const QRect from = to_pixels({x1, y1, x2 - x1, y2 - y1});
    setGeometry(from.left(), from.top(), std::max(from.width(), 1), std::max(from.height(), 1));
}

void LineControl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::WindowText));
}

QLabel* make_label(const QString& caption, const Twips& place, QWidget* parent,
                   Qt::Alignment alignment) {
    auto* label = new QLabel(caption, parent);
    label->setGeometry(to_pixels(place));
    label->setAlignment(alignment);
    return label;
}

void set_back_colour(QWidget* widget, Colour colour) {
    QPalette palette = widget->palette();
    const QColor shown = to_qcolor(colour, QPalette());
    for (auto role : {QPalette::Window, QPalette::Base}) {
        for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
            palette.setColor(group, role, shown);
    }
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

TextBox::TextBox(const QString& text, const Twips& place, QWidget* parent)
    : QLineEdit(text, parent) {
    setGeometry(to_pixels(place));
    setAlignment(Qt::AlignCenter);
    setFrame(true);
}

void TextBox::setBackColor(Colour colour) {
    back_colour = colour;
    set_back_colour(this, colour);
}

namespace {

// Keeps what the operator types into the selector's text from acting like a
// pick: Qt's combo box would select and announce a matching entry when the
// text is confirmed with Enter or the field loses the focus.
class TypedTextFilter : public QObject {
public:
    explicit TypedTextFilter(bool& flag, QObject* parent) : QObject(parent), typing(flag) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const bool confirm = event->type() == QEvent::FocusOut ||
                             (event->type() == QEvent::KeyPress &&
                              (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Return ||
                               static_cast<QKeyEvent*>(event)->key() == Qt::Key_Enter));
        if (!confirm) return false;
        typing = true;
        watched->event(event);
        typing = false;
        return true;
    }

private:
    bool& typing;
};

} // namespace

ComboControl::ComboControl(const QStringList& entries, const QString& text, const Twips& place,
                           QWidget* parent)
    : QComboBox(parent) {
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr);
    addItems(entries);
    setText(text);
    setMaxVisibleItems(int(entries.size()));
    setGeometry(to_pixels(place));
    lineEdit()->installEventFilter(new TypedTextFilter(typing, this));
    connect(this, &QComboBox::activated, this, [this] {
        if (!typing) emit Click();
    });
}

void ComboControl::setText(const QString& text) {
    const int row = findText(text);
    if (row >= 0) setCurrentIndex(row);
    setEditText(text);
}

void ComboControl::setHint(std::function<QString(int row)> make_hint) {
    hint = std::move(make_hint);
}

void ComboControl::showPopup() {
    if (hint) {
        for (int row = 0; row < count(); ++row)
            setItemData(row, hint(row), Qt::ToolTipRole);
    }
    QComboBox::showPopup();
}

bool ComboControl::event(QEvent* e) {
    if (e->type() == QEvent::ToolTip && hint) {
        const int row = findText(currentText());
        setToolTip(row >= 0 ? hint(row) : QString());
    }
    return QComboBox::event(e);
}

QWidget* make_picture(Colour colour, const Twips& place, QWidget* parent) {
    auto* picture = new QWidget(parent);
    picture->setGeometry(to_pixels(place));
    set_back_colour(picture, colour);
    return picture;
}
