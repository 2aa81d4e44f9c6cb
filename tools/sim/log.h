#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace sim {

// The simulator's log: lines on standard output and, when a file is given,
// appended to it too.
class Log {
public:
    explicit Log(std::FILE* also_to) : file(also_to) {}

    // Writes a line to stdout and the log file, by default with a timestamp.
    void line(const std::string& text, bool stamped = true) const;
    // Writes text to stdout only.
    static void say(const std::string& text);

private:
    std::FILE* file;
};

// Bytes as they may be shown in the log: control and high bytes as \xNN.
std::string printable(std::string_view bytes);

} // namespace sim
