#include "calibrator_status.h"

#include "protocol/numbers.h"

using inverter::State;
using inverter::Status;

namespace calibrator {

bool either(const State& s, Status status) {
    return s.light_on.status == status || s.intensity.status == status;
}

int brightness(const State& s) {
    return s.light_on.value ? s.intensity.value / inverter::percent_per_duty_code : 0;
}

int calibrator_state(const State& s) {
    if (either(s, Status::busy)) return not_ready;
    if (either(s, Status::alert)) return error;
    return s.light_on.value ? ready : off;
}

} // namespace calibrator
