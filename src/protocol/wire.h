#pragma once

// The inverter's wire language, for every program that talks to it: the
// commands it takes and the keywords and flags of its reports. Plain
// characters, so that code with and without Qt can use them.
namespace wire {

// Commands, each sent as it stands.
inline constexpr char pc_control[] = ":O#";          // the PC takes control
inline constexpr char front_panel_control[] = ":F#"; // control back to the front-panel knob
inline constexpr char voltage_mode[] = ":M0#";       // the knob sets the duty
inline constexpr char frequency_mode[] = ":M1#";     // the knob sets the frequency
inline constexpr char save_settings[] = ":S#";       // the inverter stores its settings
inline constexpr char shutter_pressed[] = ":C1#";
inline constexpr char shutter_released[] = ":C0#";
// Followed by the two-digit code text and nothing else: no "#".
inline constexpr char duty[] = ":D";      // duty code 0 to 50; percent = code x 2
inline constexpr char frequency[] = ":E"; // frequency code 10 to 70; hertz = code x 10

// A report is ":", a keyword, a flag or two value characters, and "#".
inline constexpr char report_start = ':';
inline constexpr char report_end = '#';
inline constexpr char shutter_report[] = "CAS";   // flag: released or pressed
inline constexpr char control_report[] = "ELC";   // flag: who has control
inline constexpr char mode_report[] = "ELM";      // flag: what the knob sets
inline constexpr char duty_report[] = "EDU";      // value: the duty code
inline constexpr char frequency_report[] = "EFQ"; // value: the frequency code
inline constexpr char beep_report[] = "fqs";      // no value: sound the beep

// Flags; any other character means the other state.
inline constexpr char flag_released = '0'; // CAS
inline constexpr char flag_pc = '1';       // ELC
inline constexpr char flag_voltage = '0';  // ELM

} // namespace wire
