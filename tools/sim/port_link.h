#pragma once

#include <optional>
#include <string>
#include <vector>

namespace sim {

// The pseudo-terminal that plays the inverter's line.
struct Line {
    int master = -1; // the simulator's end, non-blocking
    int slave = -1;  // held open too, for as long as the simulator runs
    std::string pts; // the slave's path, which the link leads to
};

// Opens the line: 9600 baud, 8 data bits, no parity, 1 stop bit, raw. Nothing,
// with errno set, when no pseudo-terminal could be had.
std::optional<Line> open_line();

// The link comN through which the panel reaches the simulator's
// pseudo-terminal. A link is replaced only when it is stale: it leads nowhere,
// or to this simulator's own new terminal (left by a simulator that was killed
// and whose terminal number came round again). One that leads to a terminal a
// live process holds, or to anything else, is left alone.

// Makes `dir`/com`port` lead to `pts`. Returns false, with the reason in
// `why`, when the place is taken; `notes` gets the stale links it removed.
bool claim_link(const std::string& dir, int port, const std::string& pts, std::string& why,
                std::vector<std::string>& notes);

// Removes the link while it still leads to `pts`.
void release_link(const std::string& path, const std::string& pts);

} // namespace sim
