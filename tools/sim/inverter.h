#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace sim {

enum class Control { FrontPanel, Pc };

struct InverterState {
    Control control = Control::FrontPanel;
    int mode = 0;       // 0: the knob sets duty, 1: the knob sets frequency
    int duty = 0;       // code, percent = code * 2
    int frequency = 45; // code, hertz = code * 10
    int shutter = 0;
};

// The inverter's state and its answers to the panel's commands.
class Inverter {
public:
    // The beep report, which the inverter sends of its own accord.
    static std::string beep();

    // The reply to one command as cut by CommandParser; nothing for ":S#".
    std::optional<std::string> handle(std::string_view command);
    // Turns the front-panel knob by step codes in the current mode and returns
    // the report, or nothing while the PC has control.
    std::optional<std::string> turn_knob(int step);
    // Switches the adjustment mode and returns the report.
    std::string toggle_mode();

    const InverterState& state() const { return st; }
    std::string describe() const;

private:
    InverterState st;
};

} // namespace sim
