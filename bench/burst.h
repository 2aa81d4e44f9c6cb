#pragma once

#include "results.h"

#include <QString>

class Pty;

// Bursts of duty reports on `line`, reachable as port `port` in dir, paced at
// the line's speed and unpaced: how many reports the panel's framing and the
// first-frame routine apply. A row for each and a note comparing them.
Results burst_results(const QString& dir, Pty& line, qint16 port);
