#include "pause.h"

#include "measure.h"
#include "panel/form1.h"

#include <QCoreApplication>
#include <cstdio>
#include <utility>

namespace {

constexpr int pause_ms = 500;
constexpr int pause_repeats = 5;

// A busy pause, kept here only to compare against the panel's: serve events and
// read the millisecond tick until it passes the end.
void busy_pause(qint64 ms) {
    const qint64 start = tick_ms();
    do {
        QCoreApplication::processEvents();
    } while (tick_ms() <= start + ms);
}

struct PauseCost {
    double ours_cpu = 0, ours_wall = 0, busy_cpu = 0, busy_wall = 0;
};

template <typename Pause> std::pair<double, double> cpu_and_wall(Pause pause) {
    const double cpu = process_cpu_ms();
    const Clock::time_point t0 = Clock::now();
    pause();
    return {process_cpu_ms() - cpu, ms_between(t0, Clock::now())};
}

PauseCost measure_pause(Form1& form) {
    std::vector<double> oc, ow, bc, bw;
    for (int i = 0; i < pause_repeats; ++i) {
        const auto [c1, w1] = cpu_and_wall([&] { form.Wait(float(pause_ms)); });
        const auto [c2, w2] = cpu_and_wall([] { busy_pause(pause_ms); });
        oc.push_back(c1);
        ow.push_back(w1);
        bc.push_back(c2);
        bw.push_back(w2);
    }
    return {median(oc), median(ow), median(bc), median(bw)};
}

Row pause_row(const PauseCost& pause) {
    const double ratio = pause.busy_cpu > 0 ? pause.ours_cpu / pause.busy_cpu : 1;
    return {
        QStringLiteral("CPU time of the %1 ms pause of a preset recall, median of %2")
            .arg(pause_ms)
            .arg(pause_repeats),
        QStringLiteral("panel %1 ms (lasted %2 ms), busy pause %3 ms (lasted %4 ms); ratio %5 %")
            .arg(num(pause.ours_cpu, 2), num(pause.ours_wall, 1), num(pause.busy_cpu, 1),
                 num(pause.busy_wall, 1), num(ratio * 100, 2)),
        QStringLiteral("≤ 2 % of the busy pause"), ratio <= 0.02};
}

QString pause_note(const PauseCost& pause) {
    QString n = QStringLiteral("Pause: the busy pause never sleeps; it was on a processor for %1 "
                               "ms of its %2 ms")
                    .arg(num(pause.busy_cpu, 1), num(pause.busy_wall, 1));
    if (pause.busy_cpu < 0.9 * pause.busy_wall)
        n += QStringLiteral(", the processors running other work the rest of the time (load "
                            "average in the header)");
    return n + QStringLiteral(". The panel's pause used %1 ms.").arg(num(pause.ours_cpu, 2));
}

} // namespace

Results pause_results(Form1& form) {
    std::fprintf(stderr, "pause...\n");
    const PauseCost pause = measure_pause(form);
    Results r;
    r.rows.push_back(pause_row(pause));
    r.notes.append(pause_note(pause));
    return r;
}
