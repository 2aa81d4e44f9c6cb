#pragma once

#include <optional>
#include <string>

namespace sim {

// The requests to stop that come as signals: SIGINT (Ctrl-C), SIGTERM and
// SIGHUP (terminal closed). They are blocked and read from a signalfd in the
// poll loop, so no work is done inside a signal handler. SIGPIPE and SIGTTIN
// are ignored: stdout may be a pipe that went away, and a background read
// should fail with EIO rather than stop the program.

// Blocks the signals and returns the descriptor to read them from, or -1 with
// errno set.
int open_stop_signals();

// The name of a signal that came, read from the descriptor; nothing if none.
std::optional<std::string> read_stop_signal(int fd);

} // namespace sim
