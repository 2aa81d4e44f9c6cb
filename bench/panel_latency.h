#pragma once

#include "results.h"

class Pty;
class TimedForm;

// Report latency: from a duty report written on `line`, the panel's port, to
// the panel setting its duty read-out. One row and a note on the slow reports.
Results panel_latency_results(TimedForm& form, Pty& line);
