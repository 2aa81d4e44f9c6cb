#pragma once

#include "results.h"

#include <QString>

// The real panel program on the X display named by DISPLAY, with a window
// manager started for it, in PC control and fed duty reports at the line's
// full rate: rows for its CPU time with changing and with repeating values,
// and for the time from a report to its text on the screen.
Results desktop_pace_results(const QString& program);
