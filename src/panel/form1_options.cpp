// The shutter button and the always-on-top option.
#include "form1.h"
#include "protocol/wire.h"
#include "window_stacking.h"

void Form1::Command1_MouseDown() {
    comm.MODE_Com(QLatin1String(wire::shutter_pressed));
}

void Form1::Command1_MouseUp() {
    comm.MODE_Com(QLatin1String(wire::shutter_released));
}

void Form1::Command7_Click() {
    if (on_top == 0) {
        zorder_after = HWND_TOPMOST;
        swp_nosize = SWP_NOSIZE;
        swp_nomove = SWP_NOMOVE;
        on_top = 1;
    } else {
        zorder_after = HWND_NOTOPMOST;
        swp_nosize = SWP_NOSIZE;
        swp_nomove = SWP_NOMOVE;
        on_top = 0;
    }
    SetWindowPos(this, zorder_after, 0, 0, 0, 0, swp_nomove | swp_nosize);
}
