#pragma once

namespace sim {

// What --help shows: the options, then the commands.
extern const char* const usage_text;
// The commands read from standard input, which h shows too.
extern const char* const commands_text;

} // namespace sim
