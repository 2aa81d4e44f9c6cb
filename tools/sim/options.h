#pragma once

#include <optional>
#include <string>

namespace sim {

struct Options {
    std::string dir;
    int port = 1;
    std::string log_path;
    bool split = false;
    bool merge = false;
    int delay_ms = 0;
    std::optional<unsigned long> seed;
};

// Returns the options, or the exit code after --help (0) or a bad argument
// (2, with the reason on stderr).
std::optional<Options> parse_options(int argc, char** argv, int& exit_code);

} // namespace sim
