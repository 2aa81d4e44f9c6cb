#include "inverter.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace sim {

namespace {

bool two_digits(std::string_view v) {
    return v.size() == 2 && std::isdigit(static_cast<unsigned char>(v[0])) &&
           std::isdigit(static_cast<unsigned char>(v[1]));
}

std::string two_digit_report(std::string_view head, int code) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d#", code);
    return std::string(head) + buf;
}

} // namespace

std::optional<std::string> Inverter::handle(std::string_view command) {
    if (command == ":O#") {
        st.control = Control::Pc;
        return ":ELC1#";
    }
    if (command == ":F#") {
        st.control = Control::FrontPanel;
        return ":ELC0#";
    }
    if (command == ":M0#" || command == ":M1#") {
        st.mode = command[2] - '0';
        return std::string(":ELM") + command[2] + '#';
    }
    if (command == ":C0#" || command == ":C1#") {
        st.shutter = command[2] - '0';
        return std::string(":CAS") + command[2] + '#';
    }
    if (command.size() == 4 && (command[1] == 'D' || command[1] == 'E')) {
        // The value is echoed as received; only digits change the state.
        const std::string_view value = command.substr(2);
        const bool duty = command[1] == 'D';
        if (two_digits(value))
            (duty ? st.duty : st.frequency) = (value[0] - '0') * 10 + value[1] - '0';
        return std::string(duty ? ":EDU" : ":EFQ") + std::string(value) + '#';
    }
    return std::nullopt; // ":S#" is taken without a reply
}

std::optional<std::string> Inverter::turn_knob(int step) {
    if (st.control != Control::FrontPanel) return std::nullopt;
    if (st.mode == 0) {
        st.duty = std::clamp(st.duty + step, duty_min, duty_max);
        return two_digit_report(":EDU", st.duty);
    }
    st.frequency = std::clamp(st.frequency + step, frequency_min, frequency_max);
    return two_digit_report(":EFQ", st.frequency);
}

std::string Inverter::toggle_mode() {
    st.mode = st.mode == 0 ? 1 : 0;
    return st.mode == 0 ? ":ELM0#" : ":ELM1#";
}

std::string Inverter::describe() const {
    char buf[200];
    std::snprintf(buf, sizeof buf,
                  "control: %s, mode: %d (%s), duty: %d (%d %%), frequency: %d (%d Hz), "
                  "shutter: %d",
                  st.control == Control::Pc ? "PC" : "front panel", st.mode,
                  st.mode == 0 ? "duty" : "frequency", st.duty, st.duty * 2, st.frequency,
                  st.frequency * 10, st.shutter);
    return buf;
}

} // namespace sim
