#pragma once

#include "protocol/inverter_model.h"

// The inverter's light as Alpaca's CalibratorStatus and Brightness, for the
// device's members and the control page alike.
namespace calibrator {

// Alpaca's CalibratorStatus.
enum CalibratorState { off = 1, not_ready = 2, ready = 3, unknown = 4, error = 5 };

// The duty code the inverter last confirmed.
int brightness(const inverter::State& s);
int calibrator_state(const inverter::State& s);

} // namespace calibrator
