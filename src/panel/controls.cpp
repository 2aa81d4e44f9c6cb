#include "controls.h"

#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScopedValueRollback>
#include <QStyleOptionSlider>

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
    // that the button keeps the mouse until they are released. A handler that
    // showed a modal box has let the box's event loop take the release: the
    // press is over then, and the button must not be drawn pressed.
    if (event->button() == Qt::LeftButton && (QGuiApplication::mouseButtons() & Qt::LeftButton))
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

void CommandButton::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (keys_press_down && (enter || event->key() == Qt::Key_Space)) {
        if (!event->isAutoRepeat()) emit MouseDown(Qt::LeftButton);
        event->accept();
    } else if (!enter)
        QPushButton::keyPressEvent(event);
    else if (!event->isAutoRepeat())
        click();
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
    setFocusPolicy(Qt::StrongFocus); // the wheel gives no focus
}

void SliderControl::mousePressEvent(QMouseEvent* event) {
    held |= event->button();
    // Qt pages only for presses near the groove, and some styles move the knob
    // to the pointer with the middle button; so the paging is done here.
    if (event->button() == Qt::LeftButton) {
        QStyleOptionSlider option;
        initStyleOption(&option);
        const QRect knob =
            style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
        const int x = event->position().toPoint().x();
        if (x < knob.left())
            triggerAction(SliderPageStepSub);
        else if (x > knob.right())
            triggerAction(SliderPageStepAdd);
        else
            QSlider::mousePressEvent(event);
    }
    event->accept(); // keep the mouse for every button until it is released
}

void SliderControl::mouseReleaseEvent(QMouseEvent* event) {
    QSlider::mouseReleaseEvent(event);
    event->accept();
    if (held & event->button()) {
        held &= ~event->button();
        emit MouseUp(event->button());
    }
}

void SliderControl::wheelEvent(QWheelEvent* event) {
    if (!hasFocus()) {
        event->ignore();
        return;
    }
    wheel_angle += event->inverted() ? -event->angleDelta().y() : event->angleDelta().y();
    for (; wheel_angle >= 120; wheel_angle -= 120)
        triggerAction(SliderSingleStepAdd);
    for (; wheel_angle <= -120; wheel_angle += 120)
        triggerAction(SliderSingleStepSub);
    event->accept();
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
    // Scheme colours come from the desktop's palette, and so does the text on
    // them; on the panel's own colours the text is dark, whatever the theme.
    const QPalette desktop = QGuiApplication::palette();
    QPalette palette = widget->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        const bool disabled = group == QPalette::Disabled;
        QColor text = disabled ? QColor(109, 109, 109) : QColor(Qt::black);
        if (is_scheme_colour(colour))
            text =
                desktop.color(group, (colour & 0xFF) == 5 ? QPalette::Text : QPalette::WindowText);
        for (auto role : {QPalette::Window, QPalette::Base})
            palette.setColor(group, role, to_qcolor(colour, desktop));
        for (auto role : {QPalette::WindowText, QPalette::Text})
            palette.setColor(group, role, text);
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

// The selector's text field. Qt's combo box takes text confirmed with Enter or
// left by moving the focus as a pick of the matching entry; `typing` is set
// while the field handles those events, so that no Click follows. The combo
// box hands its key and focus events to the field's handler directly, past any
// event filter, so they are caught here.
class SelectorText : public QLineEdit {
public:
    SelectorText(bool& flag, ComboControl* combo) : QLineEdit(combo), typing(flag), owner(combo) {}

protected:
    bool event(QEvent* event) override {
        const auto* key =
            event->type() == QEvent::KeyPress ? static_cast<QKeyEvent*>(event) : nullptr;
        const bool confirm = event->type() == QEvent::FocusOut ||
                             (key && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter));
        const QScopedValueRollback<bool> during(typing, typing || confirm);
        const bool handled = QLineEdit::event(event);
        if (confirm) emit owner->TextLeft();
        return handled;
    }

private:
    bool& typing;
    ComboControl* owner;
};

} // namespace

ComboControl::ComboControl(const QStringList& entries, const QString& text, const Twips& place,
                           QWidget* parent)
    : QComboBox(parent) {
    setEditable(true);
    setLineEdit(new SelectorText(typing, this));
    setFocusPolicy(Qt::StrongFocus); // the wheel gives no focus
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr);
    addItems(entries);
    setText(text);
    setMaxVisibleItems(int(entries.size()));
    setGeometry(to_pixels(place));
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

void ComboControl::wheelEvent(QWheelEvent* e) {
    if (hasFocus())
        QComboBox::wheelEvent(e);
    else
        e->ignore();
}

QWidget* make_picture(Colour colour, const Twips& place, QWidget* parent) {
    auto* picture = new QWidget(parent);
    picture->setGeometry(to_pixels(place));
    set_back_colour(picture, colour);
    return picture;
}
