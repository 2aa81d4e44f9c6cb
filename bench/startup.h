#pragma once

#include "results.h"

#include <QString>
#include <vector>

struct StartupRun {
    double ms;     // from starting the process to its window being mapped
    double rss_mb; // resident memory once the window is mapped
};

// Starts `program` `runs` times on the X display named by DISPLAY, one at a
// time, and times each start until a top-level window titled `title` is
// mapped; the process is then ended. On failure returns what was measured so
// far and sets `error`.
std::vector<StartupRun> measure_startup(const QString& program, const QString& title, int runs,
                                        QString& error);

// The panel program started ten times: rows for its start-up time and its
// resident memory once the window is shown.
Results startup_results(const QString& program);
