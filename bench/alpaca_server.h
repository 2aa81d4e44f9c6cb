#pragma once

#include "results.h"

#include <QString>

// lumivaned, started from `program` with a pseudo-terminal as the inverter and
// connected to it: a brightness request to its command on the line, its idle
// cost, many clients polling the device state at once, and its memory under one
// and under 63 clients that never read their answers. One row each.
Results alpaca_results(const QString& program);
