// lumivane-sim: plays the inverter on a pseudo-terminal linked as comN beside
// the panel, so the panel can be run and tried out without the hardware.

#include "command_parser.h"
#include "help_text.h"
#include "inverter.h"
#include "options.h"
#include "port_link.h"
#include "reply_shaper.h"
#include "stop_signals.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <deque>
#include <fcntl.h>
#include <limits.h>
#include <optional>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

using Clock = sim::ReplyShaper::Clock;
using std::chrono::milliseconds;

// How often a background job on a terminal checks whether it is in front again.
constexpr milliseconds foreground_recheck{500};

std::string timestamp() {
    timespec ts{};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    tm t{};
    ::localtime_r(&ts.tv_sec, &t);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d.%03ld", t.tm_hour, t.tm_min, t.tm_sec,
                  ts.tv_nsec / 1000000);
    return buf;
}

// Bytes as they may be shown in the log: control and high bytes as \xNN.
std::string printable(std::string_view bytes) {
    std::string s;
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u < 0x7f && c != '\\') {
            s += c;
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02x", u);
            s += buf;
        }
    }
    return s;
}

// A closed standard descriptor would otherwise be reused by the pty.
void ensure_standard_fds() {
    for (int fd = 0; fd < 3; ++fd)
        if (::fcntl(fd, F_GETFD) == -1) ::open("/dev/null", O_RDWR);
}

class Simulator {
public:
    Simulator(const sim::Options& o, int master_fd, std::FILE* log)
        : opt(o), master(master_fd), log_file(log),
          shaper(o.merge, o.split, o.seed.value_or(std::random_device{}())),
          stdin_tty(::isatty(STDIN_FILENO) == 1) {}

    // Serves until q or a signal; returns the exit code.
    int run(int signal_fd);
    // Writes a line to stdout and the log file, by default with a timestamp.
    void log(const std::string& line, bool stamped = true);

private:
    void read_master();
    void read_stdin();
    void on_line(std::string_view line);
    void write_out();
    bool stdin_in_front() const;
    int poll_timeout(Clock::time_point now, bool polling_stdin) const;
    static void say(const std::string& text);

    const sim::Options& opt;
    int master;
    std::FILE* log_file;
    sim::Inverter inverter;
    sim::CommandParser parser;
    sim::ReplyShaper shaper;
    std::deque<std::string> out; // one write() each
    std::string stdin_buffer;
    bool stdin_open = true;
    bool stdin_tty;
    bool quit = false;
};

void Simulator::say(const std::string& text) {
    std::fputs(text.c_str(), stdout);
    std::fflush(stdout);
}

void Simulator::log(const std::string& line, bool stamped) {
    const std::string text = (stamped ? timestamp() + ' ' : std::string()) + line + '\n';
    say(text);
    if (log_file) {
        std::fputs(text.c_str(), log_file);
        std::fflush(log_file);
    }
}

int Simulator::run(int signal_fd) {
    while (!quit) {
        const auto now = Clock::now();
        const sim::ReplyShaper::Taken taken = shaper.take_due(now);
        for (const std::string& frame : taken.frames)
            log("-> " + printable(frame));
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
            if (const auto name = sim::read_stop_signal(signal_fd)) log("stopping: " + *name);
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
                log("<- skipped \"" + printable(token.text) + '"');
                continue;
            }
            log("<- " + printable(token.text));
            if (auto reply = inverter.handle(token.text))
                shaper.push(std::move(*reply), now + milliseconds(opt.delay_ms));
        }
    }
}

void Simulator::read_stdin() {
    char buf[256];
    const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
    if (n < 0) {
        // EIO: a background job reading its terminal; try again once in front.
        if (errno != EINTR && errno != EAGAIN && errno != EIO) stdin_open = false;
        return;
    }
    if (n == 0) {
        stdin_open = false;
        if (!stdin_buffer.empty()) on_line(std::exchange(stdin_buffer, {}));
        log("standard input closed; serving on until a signal");
        return;
    }
    stdin_buffer.append(buf, size_t(n));
    for (size_t eol; !quit && (eol = stdin_buffer.find('\n')) != std::string::npos;) {
        const std::string line = stdin_buffer.substr(0, eol);
        stdin_buffer.erase(0, eol + 1);
        on_line(line);
    }
}

void Simulator::on_line(std::string_view line) {
    const auto first = line.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return;
    line = line.substr(first, line.find_last_not_of(" \t\r") - first + 1);
    const auto now = Clock::now();
    if (line == "u" || line == "up" || line == "d" || line == "down") {
        if (auto report = inverter.turn_knob(line[0] == 'u' ? 1 : -1))
            shaper.push(std::move(*report), now);
        else
            log("knob ignored: the PC has control");
    } else if (line == "m") {
        shaper.push(inverter.toggle_mode(), now);
    } else if (line == "b") {
        shaper.push(sim::Inverter::beep(), now);
    } else if (line == "s") {
        say(inverter.describe() + '\n');
    } else if (line == "q") {
        log("stopping: q");
        quit = true;
    } else if (line == "h" || line == "help") {
        say(sim::commands_text);
    } else {
        say("unknown command \"" + printable(line) + "\"; h for help\n");
    }
}

void Simulator::write_out() {
    while (!out.empty()) {
        std::string& chunk = out.front();
        const ssize_t n = ::write(master, chunk.data(), chunk.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN) return; // the panel is not reading; wait for POLLOUT
            log(std::string("write failed, dropping \"") + printable(chunk) +
                "\": " + std::strerror(errno));
            out.pop_front();
        } else if (size_t(n) < chunk.size()) {
            chunk.erase(0, size_t(n));
        } else {
            out.pop_front();
        }
    }
}

// A background job must not read its terminal; it checks back now and then.
bool Simulator::stdin_in_front() const {
    return !stdin_tty || ::tcgetpgrp(STDIN_FILENO) == ::getpgrp();
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

} // namespace

int main(int argc, char** argv) {
    int exit_code = 0;
    const auto options = sim::parse_options(argc, argv, exit_code);
    if (!options) return exit_code;
    const sim::Options& opt = *options;
    ensure_standard_fds();

    std::FILE* log_file = nullptr;
    if (!opt.log_path.empty() && !(log_file = std::fopen(opt.log_path.c_str(), "a"))) {
        std::fprintf(stderr, "lumivane-sim: cannot open %s: %s\n", opt.log_path.c_str(),
                     std::strerror(errno));
        return 1;
    }

    const int signal_fd = sim::open_stop_signals();
    if (signal_fd < 0) {
        std::perror("lumivane-sim: signals");
        return 1;
    }

    // The inverter's line: 9600 baud, 8 data bits, no parity, 1 stop bit, raw.
    termios line{};
    ::cfmakeraw(&line);
    line.c_cflag = (line.c_cflag & ~tcflag_t(CSIZE | PARENB | CSTOPB)) | CS8 | CLOCAL | CREAD;
    ::cfsetispeed(&line, B9600);
    ::cfsetospeed(&line, B9600);
    int master = -1;
    int slave = -1;
    char pts[PATH_MAX] = {};
    if (::openpty(&master, &slave, nullptr, &line, nullptr) != 0 ||
        ::ptsname_r(master, pts, sizeof pts) != 0) {
        std::perror("lumivane-sim: openpty");
        return 1;
    }
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);

    const std::string link_path = opt.dir + "/com" + std::to_string(opt.port);
    std::string why;
    std::vector<std::string> notes;
    if (!sim::claim_link(opt.dir, opt.port, pts, why, notes)) {
        std::fprintf(stderr,
                     "lumivane-sim: refusing to replace %s: %s; remove it or pick another --port\n",
                     link_path.c_str(), why.c_str());
        return 1;
    }

    Simulator sim(opt, master, log_file);
    for (const std::string& note : notes)
        sim.log(note, false);
    sim.log("linked " + link_path + " -> " + pts, false);
    if (::isatty(STDIN_FILENO) == 1) std::puts("h for help");
    const int code = sim.run(signal_fd);

    sim::release_link(link_path, pts);
    sim.log("removed " + link_path, false);
    ::close(slave);
    ::close(master);
    if (log_file) std::fclose(log_file);
    return code;
}
