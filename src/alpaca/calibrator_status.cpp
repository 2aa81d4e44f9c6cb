#include "calibrator_status.h"

#include "protocol/numbers.h"

using inverter::State;
using inverter::Status;

namespace calibrator {

int brightness(const State& s) {
    return s.duty.value / inverter::percent_per_duty_code;
}

int calibrator_state(const State& s) {
    switch (s.duty.status) {
    case Status::busy:
        return not_ready;
    case Status::alert:
        return error;
    case Status::idle:
        return unknown;
    case Status::ok:
        break;
    }
    return s.light_on.value ? ready : off;
}

} // namespace calibrator
