#pragma once

#include "shared/colour.h"

#include <QString>

// What the inverter's reports may change on the panel: the lamps, the two
// read-outs and the view state. The window implements it; the device link
// knows the panel only through it.
class PanelView {
public:
    virtual ~PanelView() = default;

    // Lamps under "パソコン" (0) and "前面VR" (1).
    virtual void setShape1BackColor(qint16 Index, Colour colour) = 0;
    // The shutter lamp.
    virtual void setShape3BackColor(Colour colour) = 0;
    // Lamps under "電圧" (0) and "周波数" (1).
    virtual void setShape4BackColor(qint16 Index, Colour colour) = 0;
    // Duty (0) and frequency (1) read-outs.
    virtual void setLabel1Caption(qint16 Index, const QString& caption) = 0;
    // 0 offline, 1 front-panel control, 2 PC control.
    virtual void View_init(qint16 f) = 0;
};
