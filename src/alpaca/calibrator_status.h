#pragma once

#include "protocol/inverter_model.h"

// The inverter's light as Alpaca's CalibratorStatus and Brightness, for the
// device's members and the control page alike.
namespace calibrator {

// Alpaca's CalibratorStatus.
enum CalibratorState { off = 1, not_ready = 2, ready = 3, error = 5 };

// Whether the light's switch or its intensity has `status`.
bool either(const inverter::State& s, inverter::Status status);
// The duty code the light runs at, 0 to 50; 0 while it is off.
int brightness(const inverter::State& s);
int calibrator_state(const inverter::State& s);

} // namespace calibrator
