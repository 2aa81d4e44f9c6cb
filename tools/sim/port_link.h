#pragma once

#include <string>
#include <vector>

namespace sim {

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
