#include "simulator.h"

#include "stop_signals.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <poll.h>
#include <unistd.h>

namespace sim {

namespace {

using std::chrono::milliseconds;

// How often a background job on a terminal checks whether it is in front again.
constexpr milliseconds foreground_recheck{500};

} // namespace

Simulator::Simulator(const Options& o, int master_fd, const Log& logger)
    : opt(o), master(master_fd), log(logger),
      shaper(o.merge, o.split, o.seed.value_or(std::random_device{}())),
      stdin_tty(::isatty(STDIN_FILENO) == 1) {}

int Simulator::run(int signal_fd) {
    while (!quit) {
        const auto now = Clock::now();
        const ReplyShaper::Taken taken = shaper.take_due(now);
        for (const std::string& frame : taken.frames)
            log.line("-> " + printable(frame));
        out.insert(out.end(), taken.writes.begin(), taken.writes.end());
        write_out();
        const bool polling_stdin = stdin_open && stdin_in_front();
        pollfd fds[3] = {
            {signal_fd, POLLIN, 0},
            {master, static_cast<short>(out.empty() ? POLLIN : POLLIN | POLLOUT), 0},
            {polling_stdin ? STDIN_FILENO : -1, POLLIN, 0},
        };
        if (::poll(fds, 3, poll_timeout(now, polling_stdin)) < 0) {
            if (errno == EINTR) continue;
            std::perror("lumivane-sim: poll");
            return 1;
        }
        if (fds[0].revents & POLLIN) {
            if (const auto name = read_stop_signal(signal_fd)) log.line("stopping: " + *name);
            return 0;
        }
        if (fds[1].revents & (POLLIN | POLLERR | POLLHUP)) read_master();
        if (fds[2].revents & POLLNVAL)
            stdin_open = false;
        else if (fds[2].revents)
            read_stdin();
    }
    return 0;
}

// The master keeps working while the panel has the port closed, because our
// own slave descriptor stays open: no hangup, and nothing to spin on.
void Simulator::read_master() {
    char buf[512];
    for (;;) {
        const ssize_t n = ::read(master, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        const auto now = Clock::now();
        for (const auto& token : parser.feed({buf, size_t(n)})) {
            if (!token.command) {
                log.line("<- skipped \"" + printable(token.text) + '"');
                continue;
            }
            log.line("<- " + printable(token.text));
            if (auto reply = inverter.handle(token.text))
                shaper.push(std::move(*reply), now + milliseconds(opt.delay_ms));
        }
    }
}

void Simulator::write_out() {
    while (!out.empty()) {
        std::string& chunk = out.front();
        const ssize_t n = ::write(master, chunk.data(), chunk.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN) return; // the panel is not reading; wait for POLLOUT
            log.line(std::string("write failed, dropping \"") + printable(chunk) +
                     "\": " + std::strerror(errno));
            out.pop_front();
        } else if (size_t(n) < chunk.size()) {
            chunk.erase(0, size_t(n));
        } else {
            out.pop_front();
        }
    }
}

int Simulator::poll_timeout(Clock::time_point now, bool polling_stdin) const {
    std::optional<Clock::time_point> next = shaper.next_deadline();
    if (stdin_open && !polling_stdin) {
        const auto recheck = now + foreground_recheck;
        next = next ? std::min(*next, recheck) : recheck;
    }
    if (!next) return -1;
    const auto wait = std::chrono::ceil<milliseconds>(*next - now).count();
    return static_cast<int>(std::clamp<decltype(wait)>(wait, 0, INT_MAX));
}

} // namespace sim
