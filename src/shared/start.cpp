#include "start.h"

namespace start {

qint16 cur_duty = 0;
qint16 cur_freq = 0;

} // namespace start
