#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sim {

// Cuts the panel's byte stream into commands. Every command starts with ':'.
// The fixed ones end with '#'; ":D" and ":E" carry exactly two value
// characters and no '#'. Bytes that do not form a command are skipped, and a
// ':' always starts over, so the stream resynchronises at the next command.
class CommandParser {
public:
    struct Token {
        bool command = false; // false: bytes that were skipped
        std::string text;
        bool operator==(const Token&) const = default;
    };

    std::vector<Token> feed(std::string_view bytes);

private:
    std::string pending;
    std::string skipped;
};

} // namespace sim
