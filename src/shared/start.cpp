#include "start.h"

namespace start {

std::optional<qint16> cur_duty;
std::optional<qint16> cur_freq;
std::array<qint16, 11> pre_duty{};
std::array<qint16, 11> pre_freq{};

} // namespace start
