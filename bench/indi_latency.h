#pragma once

#include "results.h"

#include <QString>
#include <vector>

// The light-box driver under a real indiserver, with a pseudo-terminal as the
// inverter, each figure over `changes` changes:
// - from starting indi_setprop to the frequency command arriving on the line;
// - from a duty report written on the line to a monitoring indi_getprop
//   printing the new intensity.
struct IndiLatency {
    std::vector<double> set_to_wire_ms;
    std::vector<double> report_to_client_ms;
    QString error; // empty when every change was measured
};

IndiLatency measure_indi_latency(const QString& driver, int changes);

// The driver's two latencies over 200 changes each, one row each.
Results indi_results(const QString& driver);
