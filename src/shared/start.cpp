#include "start.h"

namespace start {

qint16 cur_duty = 0;
qint16 cur_freq = 0;
std::array<qint16, 11> pre_duty{};
std::array<qint16, 11> pre_freq{};

} // namespace start
