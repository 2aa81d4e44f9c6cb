#include "measure.h"

#include "results.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <ctime>
#include <sched.h>
#include <sys/resource.h>
#include <sys/utsname.h>

double ms_between(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

double threads_cpu_ms(qint64 pid) {
    double ms = 0;
    for (const QString& task : QDir(QStringLiteral("/proc/%1/task").arg(pid))
                                   .entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile f(QStringLiteral("/proc/%1/task/%2/schedstat").arg(pid).arg(task));
        if (f.open(QIODevice::ReadOnly)) ms += f.readAll().split(' ').value(0).toDouble() / 1e6;
    }
    return ms;
}

double process_cpu_ms() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

long voluntary_switches() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_nvcsw;
}

ThreadTimes thread_times(int tid) {
    QFile f(QStringLiteral("/proc/self/task/%1/schedstat").arg(tid));
    if (!f.open(QIODevice::ReadOnly)) return {};
    // Fields: time on a processor, time waiting for one, slices run; in ns.
    const QList<QByteArray> fields = f.readAll().split(' ');
    return {fields.value(0).toDouble() / 1e6, fields.value(1).toDouble() / 1e6};
}

qint64 tick_ms() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return qint64(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const auto rank = static_cast<size_t>(std::ceil(p / 100 * double(v.size())));
    return v[std::clamp<size_t>(rank, 1, v.size()) - 1];
}

double maximum(const std::vector<double>& v) {
    return v.empty() ? 0 : *std::max_element(v.begin(), v.end());
}

QString ms_spread(const std::vector<double>& ms) {
    return QStringLiteral("median %1 ms, p99 %2 ms, max %3 ms")
        .arg(num(median(ms), 2), num(percentile(ms, 99), 2), num(maximum(ms), 2));
}

namespace {

// The value of the first "key : value" line of a /proc file.
QString proc_field(const QString& file, const QString& key) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) return QStringLiteral("unknown");
    const QRegularExpression line(QStringLiteral("^%1\\s*:\\s*(.*)$").arg(key),
                                  QRegularExpression::MultilineOption);
    const QRegularExpressionMatch m = line.match(QString::fromLocal8Bit(f.readAll()));
    return m.hasMatch() ? m.captured(1).trimmed() : QStringLiteral("unknown");
}

// Processors this process may run on, as nproc counts them.
int processors() {
    cpu_set_t set;
    CPU_ZERO(&set);
    return sched_getaffinity(0, sizeof set, &set) == 0 ? CPU_COUNT(&set) : 0;
}

} // namespace

QString load_average() {
    QFile f(QStringLiteral("/proc/loadavg"));
    if (!f.open(QIODevice::ReadOnly)) return QStringLiteral("unknown");
    return QString::fromLatin1(f.readAll()).split(u' ').mid(0, 3).join(u' ');
}

QString machine_description() {
    utsname u{};
    uname(&u);
    const double mem_kb = proc_field(QStringLiteral("/proc/meminfo"), QStringLiteral("MemTotal"))
                              .split(u' ')
                              .value(0)
                              .toDouble();
    return QStringLiteral("- Processors: %1 (nproc)\n"
                          "- CPU: %2\n"
                          "- Memory: %3 GiB\n"
                          "- Kernel: %4 %5 %6\n"
                          "- Date: %7\n"
                          "- Load average when the run started: %8\n")
        .arg(processors())
        .arg(proc_field(QStringLiteral("/proc/cpuinfo"), QStringLiteral("model name")))
        .arg(mem_kb / 1024 / 1024, 0, 'f', 1)
        .arg(QString::fromLocal8Bit(u.sysname), QString::fromLocal8Bit(u.release),
             QString::fromLocal8Bit(u.machine))
        .arg(QDateTime::currentDateTimeUtc().toString(Qt::ISODate))
        .arg(load_average());
}
