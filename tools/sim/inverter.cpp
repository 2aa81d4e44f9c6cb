#include "inverter.h"

#include "protocol/numbers.h"
#include "protocol/wire.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace sim {

namespace {

bool two_digits(std::string_view v) {
    return v.size() == 2 && std::isdigit(static_cast<unsigned char>(v[0])) &&
           std::isdigit(static_cast<unsigned char>(v[1]));
}

std::string report(std::string_view keyword, std::string_view value) {
    return wire::report_start + std::string(keyword) + std::string(value) + wire::report_end;
}

std::string two_digit_report(std::string_view keyword, int code) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", code);
    return report(keyword, buf);
}

} // namespace

std::optional<std::string> Inverter::handle(std::string_view command) {
    if (command == wire::pc_control || command == wire::front_panel_control) {
        st.control = command == wire::pc_control ? Control::Pc : Control::FrontPanel;
        return report(wire::control_report, st.control == Control::Pc ? "1" : "0");
    }
    if (command == wire::voltage_mode || command == wire::frequency_mode) {
        st.mode = command == wire::voltage_mode ? 0 : 1;
        return report(wire::mode_report, std::to_string(st.mode));
    }
    if (command == wire::shutter_released || command == wire::shutter_pressed) {
        st.shutter = command == wire::shutter_pressed ? 1 : 0;
        return report(wire::shutter_report, std::to_string(st.shutter));
    }
    const bool duty = command.starts_with(wire::duty);
    if (command.size() == 4 && (duty || command.starts_with(wire::frequency))) {
        // The value is echoed as received; only digits change the state.
        const std::string_view value = command.substr(2);
        if (two_digits(value))
            (duty ? st.duty : st.frequency) = (value[0] - '0') * 10 + value[1] - '0';
        return report(duty ? wire::duty_report : wire::frequency_report, value);
    }
    return std::nullopt; // the settings command is taken without a reply
}

std::optional<std::string> Inverter::turn_knob(int step) {
    if (st.control != Control::FrontPanel) return std::nullopt;
    if (st.mode == 0) {
        st.duty = std::clamp(st.duty + step, inverter::duty_code_min, inverter::duty_code_max);
        return two_digit_report(wire::duty_report, st.duty);
    }
    st.frequency =
        std::clamp(st.frequency + step, inverter::frequency_code_min, inverter::frequency_code_max);
    return two_digit_report(wire::frequency_report, st.frequency);
}

std::string Inverter::beep() {
    return report(wire::beep_report, "");
}

std::string Inverter::toggle_mode() {
    st.mode = st.mode == 0 ? 1 : 0;
    return report(wire::mode_report, std::to_string(st.mode));
}

std::string Inverter::describe() const {
    char buf[200];
    std::snprintf(buf, sizeof buf,
                  "control: %s, mode: %d (%s), duty: %d (%d %%), frequency: %d (%d Hz), "
                  "shutter: %d",
                  st.control == Control::Pc ? "PC" : "front panel", st.mode,
                  st.mode == 0 ? "duty" : "frequency", st.duty,
                  st.duty * inverter::percent_per_duty_code, st.frequency,
                  st.frequency * inverter::hertz_per_frequency_code, st.shutter);
    return buf;
}

} // namespace sim
