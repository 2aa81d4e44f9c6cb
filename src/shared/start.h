#pragma once

#include <QtGlobal>

// Program-wide variables shared by the device link and the window.
namespace start {

// Duty and frequency codes last reported by the inverter; zero until the first report.
extern qint16 cur_duty;
extern qint16 cur_freq;

} // namespace start
