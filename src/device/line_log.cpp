#include "line_log.h"

Q_LOGGING_CATEGORY(lcLine, "lumivane.line", QtInfoMsg)
