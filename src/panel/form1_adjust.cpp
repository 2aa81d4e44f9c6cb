// Control source, adjustment mode, and duty and frequency from the sliders and
// step buttons. Each action sends one command; the panel changes only when the
// inverter reports.
#include "form1.h"
#include "shared/code_text.h"

void Form1::Slider1_MouseUp(qint16 Index) {
    if (Index != 0 && Index != 1) return;
    const int p = Slider1[Index]->value();
    comm.MODE_Com((Index == 0 ? QStringLiteral(":D") : QStringLiteral(":E")) +
                  two_digit_code_text(p));
}

void Form1::Command8_Click(qint16 Index) {
    step(Slider1[1], ":E", Index);
}

void Form1::Command9_Click(qint16 Index) {
    step(Slider1[0], ":D", Index);
}

void Form1::step(SliderControl* slider, const char* prefix, qint16 Index) {
    if (Index != 0 && Index != 1) return;
    const int p = slider->value();
    if (Index == 0 && p >= slider->maximum()) return;
    if (Index == 1 && p <= slider->minimum()) return;
    comm.MODE_Com(QLatin1String(prefix) + two_digit_code_text(Index == 0 ? p + 1 : p - 1));
}

void Form1::Command4_Click(qint16 Index) {
    if (Index == 0)
        comm.MODE_Com(QStringLiteral(":M0#"));
    else if (Index == 1)
        comm.MODE_Com(QStringLiteral(":M1#"));
    else if (Index == 2)
        comm.MODE_Com(QStringLiteral(":S#"));
}

void Form1::Command2_MouseDown(qint16 Index) {
    if (Index != 0 && Index != 1) return;
    Command3_Click(0);
    comm.MODE_Com(Index == 0 ? QStringLiteral(":O#") : QStringLiteral(":F#"));
}
