#include "idle.h"

#include "measure.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>

namespace {

constexpr int idle_seconds = 10;

struct Idle {
    double cpu_ms = 0;
    long switches = 0;
    int sleeps = 0; // times the event loop went to sleep
};

Idle measure_idle() {
    QCoreApplication::processEvents();
    Idle r;
    const QMetaObject::Connection counting =
        QObject::connect(QAbstractEventDispatcher::instance(),
                         &QAbstractEventDispatcher::aboutToBlock, [&] { ++r.sleeps; });
    const qint64 pid = QCoreApplication::applicationPid();
    const double cpu = threads_cpu_ms(pid);
    const long switches = voluntary_switches();
    QEventLoop loop;
    QTimer end;
    end.setSingleShot(true);
    end.setTimerType(Qt::PreciseTimer);
    QObject::connect(&end, &QTimer::timeout, &loop, &QEventLoop::quit);
    end.start(std::chrono::seconds(idle_seconds));
    loop.exec();
    r.cpu_ms = threads_cpu_ms(pid) - cpu;
    r.switches = voluntary_switches() - switches;
    QObject::disconnect(counting);
    return r;
}

} // namespace

Results idle_results() {
    std::fprintf(stderr, "idle %d s...\n", idle_seconds);
    const Idle idle = measure_idle();
    Results r;
    r.rows.push_back({QStringLiteral("Idle %1 s, port open, no traffic").arg(idle_seconds),
                      QStringLiteral("CPU %1 ms (time on a processor, all threads); wake-ups "
                                     "(voluntary context switches): %2; "
                                     "event-loop sleeps: %3")
                          .arg(num(idle.cpu_ms, 2))
                          .arg(idle.switches)
                          .arg(idle.sleeps),
                      QStringLiteral("CPU < 10 ms"), idle.cpu_ms < 10});
    return r;
}
