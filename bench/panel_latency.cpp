#include "panel_latency.h"

#include "measure.h"
#include "run_until_quit.h"
#include "support/pty.h"
#include "timed_form.h"

#include <QEventLoop>
#include <algorithm>
#include <cstdio>
#include <semaphore>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

constexpr int latency_warm_up = 50;
constexpr int latency_frames = 2000;

struct Latency {
    std::vector<double> ms;
    // Part of each that the panel's thread spent ready but waiting for a processor.
    std::vector<double> queued_ms;
    // Processor time of the panel's thread over all reports, warm-up included.
    double panel_cpu_ms = 0;
    int wrong_captions = 0;
};

// A device thread writes one duty report at a time, alternating two values,
// and waits for the read-out to change before writing the next.
Latency measure_latency(TimedForm& form, Pty& line) {
    Latency r;
    std::binary_semaphore updated(0);
    form.on_duty = [&] { updated.release(); };
    QEventLoop loop;
    const int panel_thread = gettid();
    const double cpu_before = thread_times(panel_thread).cpu_ms;
    std::thread device([&] {
        for (int i = 0; i < latency_warm_up + latency_frames; ++i) {
            const bool odd = i % 2 != 0;
            const double queued = thread_times(panel_thread).queued_ms;
            const Clock::time_point sent = Clock::now();
            line.write(odd ? ":EDU25#" : ":EDU26#");
            if (!updated.try_acquire_for(2s)) break;
            if (form.duty_caption != QLatin1String(odd ? "50%" : "52%")) ++r.wrong_captions;
            if (i < latency_warm_up) continue;
            r.ms.push_back(ms_between(sent, form.duty_at));
            r.queued_ms.push_back(thread_times(panel_thread).queued_ms - queued);
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    run_until_quit(loop, 120000);
    device.join();
    r.panel_cpu_ms = thread_times(panel_thread).cpu_ms - cpu_before;
    form.on_duty = nullptr;
    return r;
}

Row latency_row(const Latency& lat, bool complete) {
    QString measured =
        QStringLiteral("median %1 µs, p99 %2 µs, max %3 µs (%4 frames)")
            .arg(num(median(lat.ms) * 1000, 0), num(percentile(lat.ms, 99) * 1000, 0),
                 num(maximum(lat.ms) * 1000, 0))
            .arg(lat.ms.size());
    if (!complete) measured += QStringLiteral("; incomplete or wrong read-outs");
    return {QStringLiteral("Report latency: frame written on the line to duty read-out updated"),
            measured, QStringLiteral("p99 ≤ 1 ms"), complete && percentile(lat.ms, 99) <= 1.0};
}

// How much of the slow reports' time the panel's thread waited for a processor.
QString latency_note(const Latency& lat) {
    int slow = 0;
    double slow_ms = 0, slow_queued_ms = 0;
    std::vector<double> unqueued_ms;
    for (size_t i = 0; i < lat.ms.size(); ++i) {
        unqueued_ms.push_back(std::max(0.0, lat.ms[i] - lat.queued_ms[i]));
        if (lat.ms[i] <= 1.0) continue;
        ++slow;
        slow_ms += lat.ms[i];
        slow_queued_ms += lat.queued_ms[i];
    }
    QString n = QStringLiteral("Report latency: %1 of %2 reports took longer than 1 ms.")
                    .arg(slow)
                    .arg(lat.ms.size());
    if (slow > 0)
        n +=
            QStringLiteral(" Of their time, the panel's thread spent %1 % ready to run but waiting "
                           "for a processor (the kernel's scheduler statistics).")
                .arg(num(100 * slow_queued_ms / slow_ms, 0));
    n += QStringLiteral(" Less the time the panel's thread waited for a processor, the p99 is %1 "
                        "µs. The panel's thread was on a processor for %2 µs per report on "
                        "average (all its work between reports).")
             .arg(num(percentile(unqueued_ms, 99) * 1000, 0),
                  num(lat.panel_cpu_ms * 1000 / (latency_warm_up + latency_frames), 0));
    return n;
}

} // namespace

Results panel_latency_results(TimedForm& form, Pty& line) {
    std::fprintf(stderr, "report latency...\n");
    const Latency lat = measure_latency(form, line);
    Results r;
    r.complete = lat.ms.size() == size_t(latency_frames) && lat.wrong_captions == 0;
    r.rows.push_back(latency_row(lat, r.complete));
    r.notes.append(latency_note(lat));
    return r;
}
