#pragma once

#include <QtGlobal>

// A memory figure of a running process from /proc/PID/status, in MiB: `field`
// is VmRSS (resident now), VmHWM (the resident peak) or another "kB" line.
// 0 when the process or the line is not there.
double memory_mib(qint64 pid, const char* field);
