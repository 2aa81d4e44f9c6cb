#pragma once

// The inverter's numbers: the codes that its duty and frequency commands and
// reports carry, their scales, and the serial ports a program offers for it.
namespace inverter {

// Duty: code 0 to 50; percent = code x 2.
inline constexpr int duty_code_min = 0;
inline constexpr int duty_code_max = 50;
inline constexpr int percent_per_duty_code = 2;
inline constexpr bool is_duty_code(int code) {
    return code >= duty_code_min && code <= duty_code_max;
}

// Frequency: code 10 to 70; hertz = code x 10.
inline constexpr int frequency_code_min = 10;
inline constexpr int frequency_code_max = 70;
inline constexpr int hertz_per_frequency_code = 10;
inline constexpr bool is_frequency_code(int code) {
    return code >= frequency_code_min && code <= frequency_code_max;
}

// Serial ports COM1 to COM15.
inline constexpr int port_min = 1;
inline constexpr int port_max = 15;

} // namespace inverter
