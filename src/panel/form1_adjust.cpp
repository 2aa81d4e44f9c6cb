// Control source, adjustment mode, and duty and frequency from the sliders and
// step buttons. Each action sends one command; the panel changes only when the
// inverter reports.
#include "form1.h"
#include "protocol/code_text.h"
#include "protocol/wire.h"

void Form1::Slider1_MouseUp(qint16 Index) {
    if (Index != 0 && Index != 1) return;
    const int p = Slider1[Index]->value();
    comm.MODE_Com((Index == 0 ? QLatin1String(wire::duty) : QLatin1String(wire::frequency)) +
                  two_digit_code_text(p));
}

void Form1::Command8_Click(qint16 Index) {
    step(Slider1[1], wire::frequency, Index);
}

void Form1::Command9_Click(qint16 Index) {
    step(Slider1[0], wire::duty, Index);
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
        comm.MODE_Com(QLatin1String(wire::voltage_mode));
    else if (Index == 1)
        comm.MODE_Com(QLatin1String(wire::frequency_mode));
    else if (Index == 2)
        comm.MODE_Com(QLatin1String(wire::save_settings));
}

void Form1::Command2_MouseDown(qint16 Index) {
    if (Index != 0 && Index != 1) return;
    Command3_Click(0);
    comm.MODE_Com(Index == 0 ? QLatin1String(wire::pc_control)
                             : QLatin1String(wire::front_panel_control));
}
