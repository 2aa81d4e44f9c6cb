// The operator's commands on standard input.
#include "help_text.h"
#include "simulator.h"

#include <cerrno>
#include <unistd.h>
#include <utility>

namespace sim {

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
        log.line("standard input closed; serving on until a signal");
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
            log.line("knob ignored: the PC has control");
    } else if (line == "m") {
        shaper.push(inverter.toggle_mode(), now);
    } else if (line == "b") {
        shaper.push(Inverter::beep(), now);
    } else if (line == "s") {
        Log::say(inverter.describe() + '\n');
    } else if (line == "q") {
        log.line("stopping: q");
        quit = true;
    } else if (line == "h" || line == "help") {
        Log::say(commands_text);
    } else {
        Log::say("unknown command \"" + printable(line) + "\"; h for help\n");
    }
}

// A background job must not read its terminal; it checks back now and then.
bool Simulator::stdin_in_front() const {
    return !stdin_tty || ::tcgetpgrp(STDIN_FILENO) == ::getpgrp();
}

} // namespace sim
