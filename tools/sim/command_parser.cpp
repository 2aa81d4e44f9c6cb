#include "command_parser.h"

#include "protocol/wire.h"

#include <algorithm>
#include <array>

namespace sim {

namespace {

constexpr std::array<std::string_view, 7> fixed_commands = {
    wire::pc_control,      wire::front_panel_control, wire::voltage_mode, wire::frequency_mode,
    wire::shutter_pressed, wire::shutter_released,    wire::save_settings};

bool is_value_command(std::string_view s) {
    return s.starts_with(wire::duty) || s.starts_with(wire::frequency);
}

bool is_fixed_command(std::string_view s) {
    return std::ranges::find(fixed_commands, s) != fixed_commands.end();
}

bool starts_fixed_command(std::string_view s) {
    return std::ranges::any_of(fixed_commands,
                               [s](std::string_view c) { return c.starts_with(s); });
}

} // namespace

std::vector<CommandParser::Token> CommandParser::feed(std::string_view bytes) {
    std::vector<Token> tokens;
    const auto flush_skipped = [&] {
        if (skipped.empty()) return;
        tokens.push_back({false, skipped});
        skipped.clear();
    };
    const auto complete = [&] {
        flush_skipped();
        tokens.push_back({true, pending});
        pending.clear();
    };
    for (const char c : bytes) {
        if (c == ':') {
            skipped += pending;
            pending.assign(1, c);
            continue;
        }
        if (pending.empty()) {
            skipped += c;
            continue;
        }
        pending += c;
        if (is_value_command(pending)) {
            if (pending.size() == 4) complete();
        } else if (is_fixed_command(pending)) {
            complete();
        } else if (!starts_fixed_command(pending)) {
            skipped += pending;
            pending.clear();
        }
    }
    flush_skipped();
    return tokens;
}

} // namespace sim
