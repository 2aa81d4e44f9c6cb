#pragma once

#include "command_parser.h"
#include "inverter.h"
#include "log.h"
#include "options.h"
#include "reply_shaper.h"

#include <deque>
#include <string>
#include <string_view>

namespace sim {

// Serves the panel on the line's master end and the operator's commands on
// standard input, in one poll loop, until q or a signal to stop.
class Simulator {
public:
    Simulator(const Options& o, int master_fd, const Log& logger);

    // Serves until q or a signal read from `signal_fd`; returns the exit code.
    int run(int signal_fd);

private:
    using Clock = ReplyShaper::Clock;

    void read_master();
    void write_out();
    int poll_timeout(Clock::time_point now, bool polling_stdin) const;
    // The operator's commands on standard input.
    void read_stdin();
    void on_line(std::string_view line);
    bool stdin_in_front() const;

    const Options& opt;
    int master;
    const Log& log;
    Inverter inverter;
    CommandParser parser;
    ReplyShaper shaper;
    std::deque<std::string> out; // one write() each
    std::string stdin_buffer;
    bool stdin_open = true;
    bool stdin_tty;
    bool quit = false;
};

} // namespace sim
