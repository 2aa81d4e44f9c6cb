#pragma once

#include "shared/colour.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QWidget>
#include <functional>

// The panel's controls on top of Qt widgets, with the event rules the handlers
// rely on: mouse-down and mouse-up for any mouse button, keyboard activation
// raising click only, the wheel acting only on the control with the focus, and
// nothing raised when the program sets a value.

// A place in twips (1/1440 inch), 15 to the pixel at 96 dpi.
struct Twips {
    int left, top, width, height;
};
QRect to_pixels(const Twips& place);

// The colour a stored colour value stands for, scheme colours from the palette.
QColor to_qcolor(Colour colour, const QPalette& palette);

// The bold Japanese Gothic face of the headings and read-outs.
QFont bold_gothic(qreal points);

class CommandButton : public QPushButton {
    Q_OBJECT
public:
    CommandButton(const QString& caption, const Twips& place, QWidget* parent);

    // Space and Enter on the focused button raise MouseDown, once a key press,
    // for a button that acts on mouse-down alone.
    void setKeysPressDown(bool on) { keys_press_down = on; }

signals:
    // Any mouse button; the button holds the mouse while pressed, so the
    // mouse-up reaches it also when the pointer has left it.
    void MouseDown(Qt::MouseButton button);
    void MouseUp(Qt::MouseButton button);
    // The left mouse button clicked on it, or activated with the keyboard.
    void Click();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    // Enter and keypad Enter click the focused button, as Space does.
    void keyPressEvent(QKeyEvent* event) override;

private:
    Qt::MouseButtons held;
    bool keys_press_down = false;
};

class SliderControl : public QSlider {
    Q_OBJECT
public:
    SliderControl(int min, int max, int value, const Twips& place, QWidget* parent);

signals:
    // A mouse button pressed on the slider was released; value() is where it settled.
    void MouseUp(Qt::MouseButton button);

protected:
    // The left button drags the knob, or pages towards the pointer when it is
    // pressed beside the knob anywhere in the control; the others move nothing.
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    // Only while the slider has the focus: a notch is one step, as an arrow key.
    void wheelEvent(QWheelEvent* event) override;

private:
    Qt::MouseButtons held;
    int wheel_angle = 0; // eighths of a degree turned and not yet a whole notch
};

// A filled rectangle or circle whose colour the program sets.
class Shape : public QWidget {
public:
    enum class Kind { Rectangle, Circle };
    Shape(Kind kind, Colour colour, const Twips& place, QWidget* parent);

    Colour BackColor() const { return back_colour; }
    void setBackColor(Colour colour);
    // The colour as drawn now; a scheme colour is the desktop's, not the
    // window's own background.
    QColor shownColor() const { return to_qcolor(back_colour, QGuiApplication::palette()); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Kind kind;
    Colour back_colour;
};

// A straight horizontal or vertical separator between two points in twips.
class LineControl : public QWidget {
public:
    LineControl(int x1, int y1, int x2, int y2, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A label; a background colour of 0 leaves it transparent.
QLabel* make_label(const QString& caption, const Twips& place, QWidget* parent,
                   Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignTop);
void set_back_colour(QWidget* widget, Colour colour);

// A single-line text box whose background colour the program sets.
class TextBox : public QLineEdit {
public:
    TextBox(const QString& text, const Twips& place, QWidget* parent);

    Colour BackColor() const { return back_colour; }
    void setBackColor(Colour colour);

private:
    Colour back_colour = colour_window;
};

// A drop-down list with editable text; Click is raised only when the operator
// picks an entry: from the open list, or with the arrow keys or the wheel while
// the selector has the focus. Typed text never acts.
class ComboControl : public QComboBox {
    Q_OBJECT
public:
    ComboControl(const QStringList& entries, const QString& text, const Twips& place,
                 QWidget* parent);

    // Sets the text as the program does: the matching entry, if any, becomes
    // the current one, so that opening and closing the list keeps the text.
    // Raises no Click.
    void setText(const QString& text);

    // Tooltips for the entries, made when they are about to be seen: the
    // list's entries when it opens, the selector's own for its current entry.
    void setHint(std::function<QString(int row)> hint);
    void showPopup() override;

signals:
    void Click();
    // Typed text was confirmed (Enter) or left (the focus moved): it does not
    // act, and the selector should show the port in force again.
    void TextLeft();

protected:
    bool event(QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    std::function<QString(int row)> hint;
    bool typing = false; // set while typed text is being confirmed
};

// A panel holding controls, with its own background.
QWidget* make_picture(Colour colour, const Twips& place, QWidget* parent);
