// Measures how fast the panel shows a report, how many reports of a burst it
// applies, what its pause and its idle time cost, and how fast the program
// starts; prints one table and, with --doc PATH, writes it as a document.
#include "device/serial_control.h"
#include "first_frame_receive.h"
#include "indi_latency.h"
#include "measure.h"
#include "panel/form1.h"
#include "protocol/framing.h"
#include "protocol/report.h"
#include "startup.h"
#include "support/pty.h"
#include "support/recording_toolkit.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <random>
#include <semaphore>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

constexpr int latency_warm_up = 50;
constexpr int latency_frames = 2000;
constexpr int burst_reports = 1000;
constexpr int pause_ms = 500;
constexpr int pause_repeats = 5;
constexpr int idle_seconds = 10;
constexpr int startup_runs = 10;
constexpr int indi_changes = 200;
// 10 bits on the line per byte (start, 8 data, stop) at 9600 baud.
constexpr double byte_time_ms = 10.0 / 9.6;
const QString window_title = QStringLiteral("Lumivane ver1.54");

// The panel with the duty read-out's updates timestamped.
class TimedForm : public Form1 {
public:
    using Form1::Form1;

    void setLabel1Caption(qint16 Index, const QString& caption) override {
        const Clock::time_point now = Clock::now();
        Form1::setLabel1Caption(Index, caption);
        if (Index != 0) return;
        duty_at = now;
        duty_caption = caption;
        if (on_duty) on_duty();
    }

    Clock::time_point duty_at;
    QString duty_caption;
    std::function<void()> on_duty;
};

// Serves events until `loop` is quit or timeout_ms pass; false on timeout.
bool run_until_quit(QEventLoop& loop, int timeout_ms) {
    bool timed_out = false;
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, [&] {
        timed_out = true;
        loop.quit();
    });
    limit.start(timeout_ms);
    loop.exec();
    return !timed_out;
}

QString num(double v, int decimals) {
    return QString::number(v, 'f', decimals);
}

// ---- Report latency -------------------------------------------------------

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

// ---- Bursts ---------------------------------------------------------------

struct Burst {
    int ours = 0;          // duty reports applied by the panel's framing
    int ours_in_order = 0; // of those, the ones with the value sent at that place
    int first_frame = 0;   // duty reports applied by the first-frame routine
    int notifications = 0;
    qsizetype bytes = 0;
    bool complete = false; // every byte written was received
    double seconds = 0;
};

bool is_duty_report(const QByteArray& frame) {
    return read_report(QString::fromLatin1(frame)).kind == ReportKind::duty;
}

// Writes burst_reports duty reports back to back in random chunks of 1 to 16
// bytes, at the line's pace or as fast as the pty takes them. One reader
// serves the port; each notification's bytes go to the panel's framing and to
// the first-frame routine alike.
Burst run_burst(const QString& dir, Pty& line, qint16 port, bool paced, std::mt19937& rng) {
    QByteArray stream;
    std::vector<QByteArray> expected;
    for (int i = 0; i < burst_reports; ++i) {
        const QByteArray report = "EDU" + QByteArray::number(i % 100).rightJustified(2, '0') + '#';
        stream += ':' + report;
        expected.push_back(report);
    }
    std::vector<QByteArray> chunks;
    std::uniform_int_distribution<int> chunk_size(1, 16);
    for (qsizetype at = 0; at < stream.size();) {
        const qsizetype n = std::min<qsizetype>(chunk_size(rng), stream.size() - at);
        chunks.push_back(stream.mid(at, n));
        at += n;
    }

    Burst b;
    b.bytes = stream.size();
    MSComm reader(dir);
    reader.setCommPort(port);
    if (!reader.setPortOpen(true)) return b;
    QByteArray RX_buf;
    FirstFrameReceive first_frame;
    qsizetype received = 0;
    QEventLoop loop;
    QObject::connect(&reader, &MSComm::OnComm, &loop, [&] {
        const QByteArray s = reader.Input();
        if (s.isEmpty()) return;
        ++b.notifications;
        received += s.size();
        for (const QByteArray& frame : take_frames(RX_buf, s)) {
            if (!is_duty_report(frame)) continue;
            if (size_t(b.ours) < expected.size() && frame == expected[size_t(b.ours)])
                ++b.ours_in_order;
            ++b.ours;
        }
        if (const std::optional<QByteArray> frame = first_frame.on_notification(s);
            frame && is_duty_report(*frame))
            ++b.first_frame;
        if (received >= stream.size()) loop.quit();
    });

    const Clock::time_point begin = Clock::now();
    std::thread device([&] {
        qsizetype written = 0;
        for (const QByteArray& chunk : chunks) {
            written += chunk.size();
            // A chunk goes out when its last byte would have arrived on the line.
            if (paced)
                std::this_thread::sleep_until(begin + std::chrono::duration_cast<Clock::duration>(
                                                          std::chrono::duration<double, std::milli>(
                                                              double(written) * byte_time_ms)));
            line.write(chunk);
        }
    });
    b.complete = run_until_quit(loop, int(double(stream.size()) * byte_time_ms) + 10000);
    b.seconds = ms_between(begin, Clock::now()) / 1000;
    device.join();
    reader.setPortOpen(false);
    return b;
}

// ---- The pause ------------------------------------------------------------

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

PauseCost measure_pause(TimedForm& form) {
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

// ---- Idle -----------------------------------------------------------------

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
    const double cpu = process_cpu_ms();
    const long switches = voluntary_switches();
    QEventLoop loop;
    QTimer end;
    end.setSingleShot(true);
    end.setTimerType(Qt::PreciseTimer);
    QObject::connect(&end, &QTimer::timeout, &loop, &QEventLoop::quit);
    end.start(std::chrono::seconds(idle_seconds));
    loop.exec();
    r.cpu_ms = process_cpu_ms() - cpu;
    r.switches = voluntary_switches() - switches;
    QObject::disconnect(counting);
    return r;
}

// ---- The table --------------------------------------------------------------

struct Row {
    QString figure, measured, target;
    bool pass;
};

QString table(const std::vector<Row>& rows) {
    QString t = QStringLiteral("| Figure | Measured | Target | Result |\n|---|---|---|---|\n");
    for (const Row& r : rows)
        t += QStringLiteral("| %1 | %2 | %3 | %4 |\n")
                 .arg(r.figure, r.measured, r.target,
                      r.pass ? QStringLiteral("PASS") : QStringLiteral("MISS"));
    return t;
}

QString percent(int part, int whole) {
    return num(100.0 * part / whole, 1) + QStringLiteral(" %");
}

Row burst_row(const QString& how, const Burst& b) {
    const bool pass = b.complete && b.ours == burst_reports && b.ours_in_order == burst_reports;
    QString measured =
        QStringLiteral("panel %1 (%2/%3), first-frame routine %4 (%5/%3); %6 notifications")
            .arg(percent(b.ours, burst_reports))
            .arg(b.ours)
            .arg(burst_reports)
            .arg(percent(b.first_frame, burst_reports))
            .arg(b.first_frame)
            .arg(b.notifications);
    if (!b.complete) measured += QStringLiteral("; not every byte arrived");
    return {QStringLiteral("Burst %1: %2 duty reports in random 1–16-byte chunks, share applied")
                .arg(how)
                .arg(burst_reports),
            measured, QStringLiteral("panel 100 %"), pass};
}

const QString what_is_measured = QStringLiteral(R"(
## What is measured

A pseudo-terminal stands in for the serial line: the benchmark plays the
inverter on one side, the panel has the other side open as its port. The panel
is the program's own window class, run off screen with quiet desktop services
(no message box, no sound); the duty read-out is timestamped each time the
device link sets it.

- **Report latency.** A second thread writes one duty report at a time (each in
  one write, the value alternating so that the read-out changes) and waits for
  the read-out to be set before it writes the next. The time runs from just
  before the write to the moment the panel sets the read-out's new text. 50
  warm-up reports are not counted.
- **Bursts.** 1000 duty reports back to back (values 00 to 99, cycling), cut into
  random chunks of 1 to 16 bytes (fixed seed). *Paced*: each chunk is written
  when its last byte would have arrived at 9600 baud (10 bits a byte, 1.04 ms),
  on a schedule taken from the monotonic clock. *Unpaced*: the chunks are
  written one after another as fast as the pty takes them. One reader, the
  panel's serial control, serves the port; the bytes of each notification are
  read once and handed both to the panel's framing (its buffer kept between
  notifications) and to a first-frame routine kept in the benchmark
  only for this comparison, so both see exactly the same
  notifications. A report counts as applied when its frame, trimmed of spaces,
  starts with `EDU`.
- **Pause.** CPU time of the whole process (user and system) during the
  panel's 500 ms pause, the one a preset recall makes between its two commands,
  and during a busy pause (serve events, read a millisecond tick,
  until it passes the end); the two alternate, five times each, and the medians
  are shown with how long each pause lasted. The port is open, with no
  traffic.
- **Idle.** Port open, no traffic, the event loop left alone for 10 s: CPU time
  of the process, its voluntary context switches (each one a sleep and a
  wake-up), and how often the event loop went to sleep.
- **Start-up.** The real program, built in Release beside the benchmark, is
  started ten times one after another on a private X server without a window
  manager. The time runs from just before the process is spawned to the X
  server reporting its window "Lumivane ver1.54" mapped; the resident memory
  (VmRSS) is read then, and the program is ended.
- **INDI driver.** `indi_lumivane`, built in Release, runs under a real
  `indiserver` on a free port, with a pseudo-terminal as the inverter that has
  granted the PC control. *Set to wire*: 200 frequency changes (alternately
  440 and 450 Hz), each by a new `indi_setprop` process, as a script would; the
  time runs from just before the process is started to the four bytes of the
  command read on the line, so it includes starting the client; the inverter
  echoes each. *Report to client*: the inverter hands control to its
  front-panel knob, whose duty reports the driver shows; one `indi_getprop -m`
  watches the intensity, line-buffered; 200 duty reports (alternately 10 and
  11) are written one at a time, and the time runs from just before the write
  to the client printing the new value.
)");

QString notes(const Latency& lat, const Burst& paced, const Burst& unpaced,
              const PauseCost& pause) {
    QString n = QStringLiteral("\n## Notes\n\n");

    // How much of the slow reports' time the panel's thread waited for a processor.
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
    n += QStringLiteral("- Report latency: %1 of %2 reports took longer than 1 ms.")
             .arg(slow)
             .arg(lat.ms.size());
    if (slow > 0)
        n +=
            QStringLiteral(" Of their time, the panel's thread spent %1 % ready to run but waiting "
                           "for a processor (the kernel's scheduler statistics).")
                .arg(num(100 * slow_queued_ms / slow_ms, 0));
    n += QStringLiteral(" Less the time the panel's thread waited for a processor, the p99 is %1 "
                        "µs. The panel's thread was on a processor for %2 µs per report on "
                        "average (all its work between reports).\n")
             .arg(num(percentile(unqueued_ms, 99) * 1000, 0),
                  num(lat.panel_cpu_ms * 1000 / (latency_warm_up + latency_frames), 0));

    n +=
        QStringLiteral(
            "- Bursts: the first-frame routine looks only at the bytes of one notification and "
            "hands on at most one frame, and only when those bytes begin with the start of a "
            "report. Paced, the %1 reports arrived in %2 notifications; unpaced in %3, so it could "
            "apply at most that many. The panel's framing keeps unfinished bytes for the next "
            "notification and cuts every frame: it applied %4 and %5 reports, of which %6 and %7 "
            "carried the value sent at that place, in order.\n")
            .arg(burst_reports)
            .arg(paced.notifications)
            .arg(unpaced.notifications)
            .arg(paced.ours)
            .arg(unpaced.ours)
            .arg(paced.ours_in_order)
            .arg(unpaced.ours_in_order);

    n += QStringLiteral("- Pause: the busy pause never sleeps; it was on a processor for %1 ms of "
                        "its %2 ms")
             .arg(num(pause.busy_cpu, 1), num(pause.busy_wall, 1));
    if (pause.busy_cpu < 0.9 * pause.busy_wall)
        n += QStringLiteral(", the processors running other work the rest of the time (load "
                            "average in the header)");
    n += QStringLiteral(". The panel's pause used %1 ms.\n").arg(num(pause.ours_cpu, 2));
    return n;
}

} // namespace

int main(int argc, char* argv[]) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const qsizetype doc_arg = args.indexOf(QStringLiteral("--doc"));
    const QString doc_path = doc_arg > 0 ? args.value(doc_arg + 1) : QString();

    const QString machine = machine_description();

    QTemporaryDir dir;
    Pty panel_line;
    panel_line.link_as_port(dir.path(), 1);
    Pty burst_line;
    burst_line.link_as_port(dir.path(), 2);
    // Quiet desktop services: no modal box, no sound.
    RecordingToolkit toolkit;
    TimedForm form(toolkit, dir.path());
    form.Form_Load();
    form.show();
    // Runs the activation the first show queued (reads the stored settings).
    QCoreApplication::processEvents();
    form.device().COMM1open();
    if (!form.device().MSComm1.PortOpen()) {
        std::fprintf(stderr, "cannot open the pty as port 1\n");
        return 1;
    }

    std::vector<Row> rows;
    bool all_measured = true;

    std::fprintf(stderr, "report latency...\n");
    const Latency lat = measure_latency(form, panel_line);
    {
        const bool complete = lat.ms.size() == size_t(latency_frames) && lat.wrong_captions == 0;
        all_measured = all_measured && complete;
        QString measured =
            QStringLiteral("median %1 µs, p99 %2 µs, max %3 µs (%4 frames)")
                .arg(num(median(lat.ms) * 1000, 0), num(percentile(lat.ms, 99) * 1000, 0),
                     num(maximum(lat.ms) * 1000, 0))
                .arg(lat.ms.size());
        if (!complete) measured += QStringLiteral("; incomplete or wrong read-outs");
        rows.push_back({QStringLiteral("Report latency: frame written on the line to duty read-out "
                                       "updated"),
                        measured, QStringLiteral("p99 ≤ 1 ms"),
                        complete && percentile(lat.ms, 99) <= 1.0});
    }

    std::mt19937 rng(20240601);
    std::fprintf(stderr, "bursts...\n");
    const Burst paced = run_burst(dir.path(), burst_line, 2, true, rng);
    const Burst unpaced = run_burst(dir.path(), burst_line, 2, false, rng);
    all_measured = all_measured && paced.complete && unpaced.complete;
    rows.push_back(burst_row(QStringLiteral("paced at 9600 baud"), paced));
    rows.push_back(burst_row(QStringLiteral("unpaced"), unpaced));

    std::fprintf(stderr, "pause...\n");
    const PauseCost pause = measure_pause(form);
    {
        const double ratio = pause.busy_cpu > 0 ? pause.ours_cpu / pause.busy_cpu : 1;
        rows.push_back(
            {QStringLiteral("CPU time of the %1 ms pause of a preset recall, median of %2")
                 .arg(pause_ms)
                 .arg(pause_repeats),
             QStringLiteral("panel %1 ms (lasted %2 ms), busy pause %3 ms (lasted %4 ms); "
                            "ratio %5 %")
                 .arg(num(pause.ours_cpu, 2), num(pause.ours_wall, 1), num(pause.busy_cpu, 1),
                      num(pause.busy_wall, 1), num(ratio * 100, 2)),
             QStringLiteral("≤ 2 % of the busy pause"), ratio <= 0.02});
    }

    std::fprintf(stderr, "idle %d s...\n", idle_seconds);
    const Idle idle = measure_idle();
    rows.push_back({QStringLiteral("Idle %1 s, port open, no traffic").arg(idle_seconds),
                    QStringLiteral("CPU %1 ms; wake-ups (voluntary context switches): %2; "
                                   "event-loop sleeps: %3")
                        .arg(num(idle.cpu_ms, 2))
                        .arg(idle.switches)
                        .arg(idle.sleeps),
                    QStringLiteral("CPU < 10 ms"), idle.cpu_ms < 10});

    std::fprintf(stderr, "start-up...\n");
    QString startup_error;
    const std::vector<StartupRun> starts =
        measure_startup(QCoreApplication::applicationDirPath() + QStringLiteral("/lumivane"),
                        window_title, startup_runs, startup_error);
    {
        std::vector<double> ms, rss;
        for (const StartupRun& s : starts) {
            ms.push_back(s.ms);
            rss.push_back(s.rss_mb);
        }
        const bool complete = starts.size() == size_t(startup_runs);
        all_measured = all_measured && complete;
        const QString failed =
            complete ? QString() : QStringLiteral("; failed: %1").arg(startup_error);
        rows.push_back({QStringLiteral("Start-up: process start to window mapped (X server, %1 "
                                       "runs)")
                            .arg(startup_runs),
                        QStringLiteral("median %1 ms, max %2 ms")
                                .arg(num(median(ms), 1), num(maximum(ms), 1)) +
                            failed,
                        QStringLiteral("< 300 ms, every run"), complete && maximum(ms) < 300});
        rows.push_back({QStringLiteral("Resident memory once the window is shown"),
                        QStringLiteral("median %1 MB, max %2 MB")
                                .arg(num(median(rss), 1), num(maximum(rss), 1)) +
                            failed,
                        QStringLiteral("< 80 MB, every run"), complete && maximum(rss) < 80});
    }

    std::fprintf(stderr, "INDI driver...\n");
    const IndiLatency indi = measure_indi_latency(
        QCoreApplication::applicationDirPath() + QStringLiteral("/indi_lumivane"), indi_changes);
    {
        const bool complete = indi.error.isEmpty();
        all_measured = all_measured && complete;
        const auto figures = [&](const std::vector<double>& ms) {
            return complete ? QStringLiteral("median %1 ms, p99 %2 ms, max %3 ms (%4 changes)")
                                  .arg(num(median(ms), 2), num(percentile(ms, 99), 2),
                                       num(maximum(ms), 2))
                                  .arg(ms.size())
                            : QStringLiteral("failed: %1").arg(indi.error);
        };
        rows.push_back({QStringLiteral("INDI driver: indi_setprop started to the command on the "
                                       "line"),
                        figures(indi.set_to_wire_ms), QStringLiteral("p99 ≤ 50 ms"),
                        complete && percentile(indi.set_to_wire_ms, 99) <= 50});
        rows.push_back({QStringLiteral("INDI driver: report on the line to the new intensity "
                                       "printed by a watching indi_getprop"),
                        figures(indi.report_to_client_ms), QStringLiteral("p99 ≤ 5 ms"),
                        complete && percentile(indi.report_to_client_ms, 99) <= 5});
    }

    const QString header =
        QStringLiteral("Machine:\n\n") + machine + QStringLiteral("\nCommand: `bench/run.sh`\n\n");
    const QString result = header + table(rows);
    std::fputs(result.toUtf8().constData(), stdout);
    std::fflush(stdout);

    if (!doc_path.isEmpty()) {
        QFile doc(doc_path);
        if (!doc.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(doc_path));
            return 1;
        }
        doc.write(QStringLiteral("# Performance\n\n").toUtf8() + result.toUtf8() +
                  what_is_measured.toUtf8() + notes(lat, paced, unpaced, pause).toUtf8());
    }
    return all_measured ? 0 : 1;
}
