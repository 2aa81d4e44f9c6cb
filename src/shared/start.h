#pragma once

#include <QtGlobal>
#include <array>
#include <optional>

// Program-wide variables shared by the device link and the window.
namespace start {

// Duty and frequency codes last reported by the inverter since the port
// opened; nothing until it reports them.
extern std::optional<qint16> cur_duty;
extern std::optional<qint16> cur_freq;

// The preset table: duty and frequency codes of preset rows 0 to 6 (the
// entries up to 10 are kept but unused); zero until the preset file is read.
extern std::array<qint16, 11> pre_duty;
extern std::array<qint16, 11> pre_freq;

} // namespace start
