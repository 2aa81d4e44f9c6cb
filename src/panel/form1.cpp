#include "form1.h"

#include "device/port_map.h"
#include "protocol/numbers.h"

namespace {

constexpr Colour form_colour = rgb(255, 224, 192);
constexpr Colour heading_colour = rgb(255, 255, 192);
constexpr Colour shutter_start_colour = rgb(192, 192, 192);
constexpr Colour text_white = rgb(255, 255, 255);

QFont gothic(qreal points) {
    QFont font = bold_gothic(points);
    font.setWeight(QFont::Normal);
    return font;
}

QLabel* heading(const QString& caption, const Twips& place, QWidget* parent) {
    QLabel* label = make_label(caption, place, parent, Qt::AlignCenter);
    set_back_colour(label, heading_colour);
    return label;
}

QLabel* bold_label(const QString& caption, const Twips& place, qreal points, QWidget* parent) {
    QLabel* label = make_label(caption, place, parent);
    label->setFont(bold_gothic(points));
    return label;
}

// A unit beside a preset box, in the window's font. Its design box is
// narrower than the text, so the label grows to the right and down, into the
// row's free space, until the text fits whole at any scale.
QLabel* unit_label(const QString& caption, const Twips& place, QWidget* row) {
    QLabel* label = make_label(caption, place, row);
    label->resize(label->size().expandedTo(label->sizeHint()));
    return label;
}

} // namespace

Form1::Form1(Toolkit& toolkit_, const QString& program_dir, const QString& settings)
    : toolkit(toolkit_), settings_dir(settings.isEmpty() ? program_dir : settings),
      comm(*this, toolkit_, program_dir, settings_dir) {
    setWindowTitle(QStringLiteral("Lumivane ver1.54"));
    setFont(gothic(9));
    setFixedSize(to_pixels({0, 0, 10620, 4170}).size());
    set_back_colour(this, form_colour);

    build_source_and_mode();
    build_value_groups();
    build_port_and_shutter();
    build_presets();
    connect_handlers();
}

namespace {

// Connects every control of an array to one handler that takes the control's index.
template <typename Control, std::size_t N, typename Signal>
void connect_array(const std::array<Control*, N>& controls, Signal signal, Form1* form,
                   void (Form1::*handler)(qint16)) {
    for (std::size_t i = 0; i < N; ++i) {
        const auto Index = static_cast<qint16>(i);
        QObject::connect(controls[i], signal, form,
                         [form, handler, Index] { (form->*handler)(Index); });
    }
}

} // namespace

void Form1::connect_handlers() {
    connect_array(Slider1, &SliderControl::MouseUp, this, &Form1::Slider1_MouseUp);
    connect_array(Command8, &CommandButton::Click, this, &Form1::Command8_Click);
    connect_array(Command9, &CommandButton::Click, this, &Form1::Command9_Click);
    connect_array(Command4, &CommandButton::Click, this, &Form1::Command4_Click);
    connect_array(Command2, &CommandButton::MouseDown, this, &Form1::Command2_MouseDown);
    connect_array(Command3, &CommandButton::Click, this, &Form1::Command3_Click);
    connect(Combo1, &ComboControl::Click, this, &Form1::Combo1_Click);
    connect(Combo1, &ComboControl::TextLeft, this, &Form1::show_port_in_force);
    connect_array(Command5, &CommandButton::Click, this, &Form1::Command5_Click);
    connect_array(Command6, &CommandButton::Click, this, &Form1::Command6_Click);
    connect(Command1, &CommandButton::MouseDown, this, &Form1::Command1_MouseDown);
    connect(Command1, &CommandButton::MouseUp, this, &Form1::Command1_MouseUp);
    connect(Command7, &CommandButton::Click, this, &Form1::Command7_Click);
}

void Form1::build_source_and_mode() {
    Command2[1] = new CommandButton(QStringLiteral("前面VR"), {120, 120, 855, 615}, this);
    Shape1[1] = new Shape(Shape::Kind::Rectangle, colour_lamp_start, {120, 720, 855, 135}, this);
    Command2[0] = new CommandButton(QStringLiteral("パソコン"), {120, 1080, 855, 615}, this);
    // Without a mouse, the keyboard is the only way to take or hand back control.
    for (CommandButton* source : Command2)
        source->setKeysPressDown(true);
    Shape1[0] = new Shape(Shape::Kind::Rectangle, colour_lamp_start, {120, 1680, 855, 135}, this);
    Command4[0] = new CommandButton(QStringLiteral("電圧"), {1560, 120, 735, 495}, this);
    Shape4[0] = new Shape(Shape::Kind::Rectangle, colour_lamp_start, {1560, 600, 735, 135}, this);
    Command4[1] = new CommandButton(QStringLiteral("周波数"), {2520, 120, 735, 495}, this);
    Shape4[1] = new Shape(Shape::Kind::Rectangle, colour_lamp_start, {2520, 600, 735, 135}, this);
    Command4[2] = new CommandButton(QStringLiteral("設定保存"), {4440, 120, 1095, 615}, this);
    Line2 = new LineControl(120, 960, 5880, 960, this);
}

void Form1::build_value_groups() {
    Label2[1] = heading(QStringLiteral("発振周波数"), {1440, 1080, 1935, 255}, this);
    Label3[0] = bold_label(QStringLiteral("300Hz - 700Hz"), {3600, 1080, 1935, 255}, 9, this);
    Command8[0] = new CommandButton(QStringLiteral("▲"), {1200, 1440, 375, 255}, this);
    Command8[1] = new CommandButton(QStringLiteral("▼"), {1200, 1800, 375, 255}, this);
    Slider1[1] = new SliderControl(inverter::frequency_code_min, inverter::frequency_code_max, 45,
                                   {1680, 1440, 3135, 630}, this);
    Shape2[1] = new Shape(Shape::Kind::Rectangle, heading_colour, {4920, 1440, 975, 495}, this);
    Label1[1] = new ReadOut(QStringLiteral("450Hz"), {5040, 1560, 735, 255}, heading_colour, this);

    Label2[0] = heading(QStringLiteral("デューティ（電圧）"), {1440, 2160, 1935, 255}, this);
    Label3[1] = bold_label(QStringLiteral("0% - 100%"), {3600, 2160, 1935, 255}, 9, this);
    Command9[0] = new CommandButton(QStringLiteral("▲"), {1200, 2520, 375, 255}, this);
    Command9[1] = new CommandButton(QStringLiteral("▼"), {1200, 2880, 375, 255}, this);
    Slider1[0] = new SliderControl(inverter::duty_code_min, inverter::duty_code_max, 0,
                                   {1680, 2520, 3135, 630}, this);
    Shape2[0] = new Shape(Shape::Kind::Rectangle, heading_colour, {4920, 2520, 975, 495}, this);
    Label1[0] = new ReadOut(QStringLiteral("0%"), {5040, 2640, 735, 255}, heading_colour, this);
}

void Form1::build_port_and_shutter() {
    Line1 = new LineControl(120, 3240, 5880, 3240, this);
    Label7 = make_label(QStringLiteral("通信ポート："), {120, 3480, 975, 255}, this);
    QStringList ports;
    for (int n = inverter::port_min; n <= inverter::port_max; ++n)
        ports << QStringLiteral("COM%1").arg(n);
    Combo1 = new ComboControl(ports, QStringLiteral("COM1"), {120, 3720, 1095, 300}, this);
    // A port number stands for a device file; the hint says which.
    Combo1->setHint([this](int row) { return port_hint(row + 1, settings_dir); });
    Command3[0] = new CommandButton(QStringLiteral("通信開始"), {1320, 3360, 1095, 255}, this);
    Command3[1] = new CommandButton(QStringLiteral("通信切断"), {1320, 3720, 1095, 255}, this);
    Shape3 = new Shape(Shape::Kind::Circle, shutter_start_colour, {2760, 3360, 255, 255}, this);
    Command1 = new CommandButton(QStringLiteral("カメラシャッター"), {3240, 3360, 2415, 495}, this);
}

void Form1::build_presets() {
    Line3 = new LineControl(6000, 120, 6000, 3960, this);
    Label4[0] = bold_label(QStringLiteral("プリセット登録"), {6120, 50, 1260, 195}, 9.75, this);
    Label4[1] =
        bold_label(QStringLiteral("　周波数/デューティ"), {6240, 360, 3975, 255}, 9.75, this);
    for (int i = 0; i < 7; ++i) {
        QWidget* row = make_picture(heading_colour, {6120, 600 + 480 * i, 4335, 375}, this);
        Picture1[i] = row;
        Command5[i] = new CommandButton(QString::number(i + 1), {120, 0, 495, 375}, row);
        Text1[i] = new TextBox(QStringLiteral("Text1"), {840, 60, 735, 270}, row);
        Text1[i]->setBackColor(text_white);
        Label5[i] = unit_label(QStringLiteral("Hz"), {1680, 120, 195, 180}, row);
        Text2[i] = new TextBox(QStringLiteral("Text2"), {2040, 60, 735, 270}, row);
        Text2[i]->setBackColor(colour_window);
        Label6[i] = unit_label(QStringLiteral("%"), {2880, 120, 90, 180}, row);
        Command6[i] = new CommandButton(QStringLiteral("Save"), {3360, 0, 735, 375}, row);
    }
    Command7 = new CommandButton(QStringLiteral("常に手前に表示"), {8760, 120, 1695, 255}, this);
}

void Form1::View_init(qint16 f) {
    if (f < 0 || f > 2) return;
    const bool pc = f == 2;
    const bool front_panel = f == 1;
    Command1->setEnabled(f != 0);
    for (auto* slider : Slider1)
        slider->setEnabled(pc);
    for (auto* readout : Label1)
        readout->setEnabled(pc);
    for (auto* step : Command8)
        step->setEnabled(pc);
    for (auto* step : Command9)
        step->setEnabled(pc);
    Command4[0]->setEnabled(front_panel);
    Command4[1]->setEnabled(front_panel);
    for (int i = 0; i < 7; ++i) {
        Command5[i]->setEnabled(pc);
        Command6[i]->setEnabled(pc);
    }
    for (auto* heading : Label4)
        heading->setEnabled(pc);
}

void Form1::setShape1BackColor(qint16 Index, Colour colour) {
    Shape1.at(Index)->setBackColor(colour);
}

void Form1::setShape3BackColor(Colour colour) {
    Shape3->setBackColor(colour);
}

void Form1::setShape4BackColor(qint16 Index, Colour colour) {
    Shape4.at(Index)->setBackColor(colour);
}

void Form1::setLabel1Caption(qint16 Index, const QString& caption) {
    Label1.at(Index)->setText(caption);
}
