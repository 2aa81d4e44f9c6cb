#pragma once

#include <QDeadlineTimer>
#include <QString>
#include <chrono>
#include <thread>
#include <vector>

using Clock = std::chrono::steady_clock;

// Milliseconds from a to b.
double ms_between(Clock::time_point a, Clock::time_point b);
// The time every thread of process `pid` has spent on a processor so far, as
// the scheduler counts it in nanoseconds.
double threads_cpu_ms(qint64 pid);
// CPU time, user and system, used by the whole process so far.
double process_cpu_ms();
// Times the process gave up the processor to wait, so far: its wake-ups.
long voluntary_switches();
// From the kernel's scheduler statistics for the thread `tid` of this process:
// time it has spent so far on a processor, and ready to run but waiting for
// one. Zero when the kernel does not keep them.
struct ThreadTimes {
    double cpu_ms = 0;
    double queued_ms = 0;
};
ThreadTimes thread_times(int tid);
// A millisecond tick counter on the monotonic clock.
qint64 tick_ms();

// Waits, serving nothing else, until `done` holds or timeout_ms is up, asking
// again every `every`; false when the time ran out.
template <typename Done>
bool wait_for(Done done, int timeout_ms,
              std::chrono::microseconds every = std::chrono::milliseconds(1)) {
    const QDeadlineTimer deadline(timeout_ms);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        std::this_thread::sleep_for(every);
    }
    return true;
}

double median(std::vector<double> v);
// Nearest-rank percentile, p in (0, 100].
double percentile(std::vector<double> v, double p);
double maximum(const std::vector<double>& v);
// "median …, p99 …, max … ms" of samples in milliseconds, two decimals each.
QString ms_spread(const std::vector<double>& ms);

// The 1, 5 and 15 minute load averages, as /proc/loadavg gives them.
QString load_average();
// Processors, processor model, memory, kernel and date, one "- " line each.
QString machine_description();
