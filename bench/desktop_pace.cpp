#include "desktop_pace.h"

#include "measure.h"
#include "support/pty.h"
#include "x_display.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <array>
#include <cstdio>
#include <thread>

namespace {

// A duty report is 7 bytes of 10 bits each on the 9600-baud line.
constexpr double reports_per_second = 9600.0 / 70;
constexpr int feed_seconds = 10;
constexpr int pixel_trials = 100;
constexpr double frame_ms = 1000.0 / 60;
constexpr double cpu_target_percent = 2;
const QString window_title = QStringLiteral("Lumivane ver1.54");
// In window pixels: the button "パソコン", the lamp under it, the duty read-out.
const QPoint pc_button(36, 92);
const QRect pc_lamp(36, 116, 1, 1);
const QRect duty_read_out(336, 176, 49, 17);

QString run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    p.waitForFinished(30000);
    return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
}

QByteArray duty_report(int code) {
    return ":EDU" + QByteArray::number(code).rightJustified(2, '0') + '#';
}

// The panel program in a folder of its own, a pseudo-terminal as its port 1,
// under a window manager of its own on the display.
struct DesktopPanel {
    QTemporaryDir dir;
    Pty line;
    QProcess manager, panel;
    xcb_connection_t* x = nullptr;
    xcb_window_t window = 0;

    ~DesktopPanel() {
        for (QProcess* p : {&panel, &manager}) {
            p->terminate();
            if (!p->waitForFinished(5000)) p->kill();
            p->waitForFinished();
        }
        if (x) xcb_disconnect(x);
    }

    QImage pixels(const QRect& area) const { return window_pixels(x, window, area); }

    // Starts both and takes PC control as the inverter grants it; the error, or empty.
    QString start(const QString& program) {
        // A server busy with the programs that came before can refuse a while.
        const auto connected = [this] {
            if (x) xcb_disconnect(x);
            x = xcb_connect(nullptr, nullptr);
            return xcb_connection_has_error(x) == 0;
        };
        if (!wait_for(connected, 5000)) return QStringLiteral("no X display");
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x)).data->root;
        const xcb_atom_t wm_check = intern(x, "_NET_SUPPORTING_WM_CHECK");
        manager.setStandardOutputFile(QProcess::nullDevice());
        manager.setStandardErrorFile(QProcess::nullDevice());
        manager.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
        if (!wait_for([&] { return !property_text(x, root, wm_check, XCB_ATOM_WINDOW).isEmpty(); },
                      10000))
            return QStringLiteral("the window manager did not start");

        const QString copy = dir.filePath(QStringLiteral("lumivane"));
        QFile::copy(program, copy);
        line.link_as_port(dir.path(), 1);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        panel.setProcessEnvironment(env);
        panel.setStandardOutputFile(QProcess::nullDevice());
        panel.setStandardErrorFile(QProcess::nullDevice());
        panel.start(copy);
        const QString id = run(QStringLiteral("xdotool"), {"search", "--sync", "--onlyvisible",
                                                           "--name", '^' + window_title + '$'});
        window = id.section(u'\n', 0, 0).toUInt();
        // Input before the window manager has framed the window can be lost.
        const xcb_atom_t frame = intern(x, "_NET_FRAME_EXTENTS");
        if (window == 0 ||
            !wait_for([&] { return !property_text(x, window, frame, XCB_ATOM_CARDINAL).isEmpty(); },
                      10000))
            return QStringLiteral("no framed window");
        run(QStringLiteral("xdotool"),
            {"windowactivate", "--sync", QString::number(window), "mousemove", "--window",
             QString::number(window), QString::number(pc_button.x()),
             QString::number(pc_button.y()), "click", "1"});
        if (line.read(3, 5000) != ":O#") return QStringLiteral("no request for PC control");
        line.write(":ELC1#");
        if (!wait_for([&] { return pixels(pc_lamp).pixelColor(0, 0) == QColor(255, 128, 0); },
                      5000))
            return QStringLiteral("PC control not shown");
        return {};
    }
};

struct Feed {
    double cpu_ms = 0;
    double seconds = 0;
    double percent() const { return seconds > 0 ? cpu_ms / (seconds * 10) : 0; }
};

// Duty reports at the line's full rate, each changing the read-out or all alike.
Feed feed(DesktopPanel& d, bool changing, int seconds = feed_seconds) {
    const int reports = int(reports_per_second * seconds);
    const double cpu = threads_cpu_ms(d.panel.processId());
    const Clock::time_point start = Clock::now();
    for (int n = 0; n < reports; ++n) {
        std::this_thread::sleep_until(start +
                                      std::chrono::duration_cast<Clock::duration>(
                                          std::chrono::duration<double>(n / reports_per_second)));
        d.line.write(duty_report(changing ? n % 50 : 25));
    }
    d.line.taken();
    return {threads_cpu_ms(d.panel.processId()) - cpu, ms_between(start, Clock::now()) / 1000};
}

// The read-out's pixels once they have stayed the same for 100 ms.
QImage settled(const DesktopPanel& d) {
    QImage shown = d.pixels(duty_read_out);
    Clock::time_point since = Clock::now();
    while (ms_between(since, Clock::now()) < 100) {
        QThread::usleep(1000);
        if (QImage now = d.pixels(duty_read_out); now != shown) {
            shown = now;
            since = Clock::now();
        }
    }
    return shown;
}

// Bursts of 1 to 4 duty reports at the line's pace: the time from writing the
// last to the X server holding the read-out's pixels of its value.
std::vector<double> report_to_pixels(DesktopPanel& d) {
    const std::array<int, 2> finals{10, 11};
    std::array<QImage, 2> expected;
    for (int i : {0, 1}) {
        d.line.write(duty_report(finals.at(i)));
        expected.at(i) = settled(d);
    }
    std::vector<double> ms;
    for (int trial = 0; trial < pixel_trials; ++trial) {
        const int last = trial % 2;
        const Clock::time_point start = Clock::now();
        Clock::time_point written;
        for (int n = 0; n <= trial % 4; ++n) {
            std::this_thread::sleep_until(
                start + std::chrono::duration_cast<Clock::duration>(
                            std::chrono::duration<double>(n / reports_per_second)));
            written = Clock::now();
            d.line.write(duty_report(n == trial % 4 ? finals.at(last) : 12));
        }
        const bool shown =
            wait_for([&] { return d.pixels(duty_read_out) == expected.at(last); }, 1000);
        ms.push_back(shown ? ms_between(written, Clock::now()) : 1000);
        // Each burst starts at another place in the frame.
        QThread::usleep(1000 * (3 + trial * 7 % 17));
    }
    return ms;
}

} // namespace

Results desktop_pace_results(const QString& program) {
    std::fprintf(stderr, "the panel on a desktop at the line's pace...\n");
    Results r;
    DesktopPanel d;
    const QString error = d.start(program);
    Feed changing, repeating;
    std::vector<double> pixels_ms;
    const QString load = load_average();
    if (error.isEmpty()) {
        feed(d, true, 1); // not counted: each caption's first drawing, the window settling
        changing = feed(d, true);
        repeating = feed(d, false);
        pixels_ms = report_to_pixels(d);
    }
    r.complete = error.isEmpty();
    const QString failed = error.isEmpty() ? QString() : QStringLiteral("; failed: ") + error;
    const QString figure = QStringLiteral(
        "Panel on Xvfb with a window manager, PC control: %1 duty reports a second for %2 s, %3");
    const auto cpu_row = [&](const Feed& f, const QString& values) {
        r.rows.push_back(
            {figure.arg(num(reports_per_second, 0)).arg(feed_seconds).arg(values),
             QStringLiteral("CPU %1 ms in %2 s: %3 % of a core (time on a processor, all threads)")
                     .arg(num(f.cpu_ms, 1), num(f.seconds, 2), num(f.percent(), 2)) +
                 failed,
             QStringLiteral("≤ %1 % of a core").arg(num(cpu_target_percent, 0)),
             r.complete && f.percent() <= cpu_target_percent});
    };
    cpu_row(changing, QStringLiteral("each changing the read-out"));
    cpu_row(repeating, QStringLiteral("all alike"));
    r.rows.push_back(
        {QStringLiteral("Panel on Xvfb: the last report of a burst at the line's pace written to "
                        "its text in the window's pixels"),
         ms_spread(pixels_ms) + QStringLiteral(" (%1 bursts)").arg(pixel_trials) + failed,
         QStringLiteral("p99 < %1 ms (a frame at 60 Hz)").arg(num(frame_ms, 1)),
         r.complete && percentile(pixels_ms, 99) < frame_ms});
    r.notes << QStringLiteral(
                   "Panel on a desktop: the load average was %1 when these rows started.")
                   .arg(load);
    return r;
}
