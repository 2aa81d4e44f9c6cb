#include "startup.h"

#include "measure.h"
#include "support/process_memory.h"
#include "x_display.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace {

constexpr int window_timeout_ms = 10000;
constexpr int startup_runs = 10;
const QString window_title = QStringLiteral("Lumivane ver1.54");

// Our environment with the X platform plugin chosen.
std::vector<QByteArray> child_environment() {
    std::vector<QByteArray> env;
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "QT_QPA_PLATFORM=", 16) != 0) env.emplace_back(*e);
    env.emplace_back("QT_QPA_PLATFORM=xcb");
    return env;
}

} // namespace

std::vector<StartupRun> measure_startup(const QString& program, const QString& title, int runs,
                                        QString& error) {
    std::vector<StartupRun> result;
    int screen_number = 0;
    xcb_connection_t* c = xcb_connect(nullptr, &screen_number);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        error = QStringLiteral("no X display (DISPLAY not set or not reachable)");
        return result;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    // Every window mapped as a child of the root is reported to us.
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &mask);
    const xcb_atom_t net_wm_name = intern(c, "_NET_WM_NAME");
    const xcb_atom_t utf8 = intern(c, "UTF8_STRING");
    const QByteArray wanted = title.toUtf8();
    const QByteArray path = program.toLocal8Bit();
    std::vector<QByteArray> env = child_environment();
    std::vector<char*> envp;
    for (QByteArray& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);

    for (int run = 0; run < runs && error.isEmpty(); ++run) {
        while (auto ev = owned(xcb_poll_for_event(c))) {
        }
        char* argv[] = {const_cast<char*>(path.constData()), nullptr};
        pid_t pid = 0;
        const Clock::time_point started = Clock::now();
        if (posix_spawn(&pid, argv[0], &quiet, nullptr, argv, envp.data()) != 0) {
            error = QStringLiteral("cannot start %1").arg(program);
            break;
        }
        std::optional<Clock::time_point> shown;
        bool ended = false;
        while (!shown && error.isEmpty()) {
            while (auto ev = owned(xcb_poll_for_event(c))) {
                if ((ev->response_type & 0x7f) != XCB_MAP_NOTIFY) continue;
                const Clock::time_point mapped = Clock::now();
                const auto* map = reinterpret_cast<const xcb_map_notify_event_t*>(ev.get());
                if (property_text(c, map->window, net_wm_name, utf8) == wanted ||
                    property_text(c, map->window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING) == wanted) {
                    shown = mapped;
                    break;
                }
            }
            if (shown) break;
            const double waited = ms_between(started, Clock::now());
            int status = 0;
            if (xcb_connection_has_error(c))
                error = QStringLiteral("the X connection failed");
            else if ((ended = waitpid(pid, &status, WNOHANG) == pid))
                error = QStringLiteral("the program ended before showing its window (status %1)")
                            .arg(status);
            else if (waited > window_timeout_ms)
                error = QStringLiteral("no window within %1 ms").arg(window_timeout_ms);
            if (!error.isEmpty()) break;
            // Woken by the server's events; the bound lets us notice an early exit.
            pollfd p{xcb_get_file_descriptor(c), POLLIN, 0};
            poll(&p, 1, 50);
        }
        if (shown) result.push_back({ms_between(started, *shown), memory_mib(pid, "VmRSS")});
        if (!ended) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    }
    posix_spawn_file_actions_destroy(&quiet);
    xcb_disconnect(c);
    return result;
}

Results startup_results(const QString& program) {
    std::fprintf(stderr, "start-up...\n");
    QString error;
    const std::vector<StartupRun> starts =
        measure_startup(program, window_title, startup_runs, error);
    std::vector<double> ms, rss;
    for (const StartupRun& s : starts) {
        ms.push_back(s.ms);
        rss.push_back(s.rss_mb);
    }
    Results r;
    r.complete = starts.size() == size_t(startup_runs);
    const QString failed = r.complete ? QString() : QStringLiteral("; failed: %1").arg(error);
    r.rows.push_back(
        {QStringLiteral("Start-up: process start to window mapped (X server, %1 runs)")
             .arg(startup_runs),
         QStringLiteral("median %1 ms, max %2 ms").arg(num(median(ms), 1), num(maximum(ms), 1)) +
             failed,
         QStringLiteral("< 300 ms, every run"), r.complete && maximum(ms) < 300});
    r.rows.push_back(
        {QStringLiteral("Resident memory once the window is shown"),
         QStringLiteral("median %1 MB, max %2 MB").arg(num(median(rss), 1), num(maximum(rss), 1)) +
             failed,
         QStringLiteral("< 80 MB, every run"), r.complete && maximum(rss) < 80});
    return r;
}
