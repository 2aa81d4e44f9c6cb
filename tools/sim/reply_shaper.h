#pragma once

#include <chrono>
#include <deque>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace sim {

// How the frames leave for the line: each when it is due, in the order they
// were made (one made without delay waits behind a delayed reply); with merge,
// two at a time in one write, or one alone once it has waited 50 ms; with
// split, in chunks of 1..3 bytes from a seeded generator. Takes the time from
// its caller and does no I/O.
class ReplyShaper {
public:
    using Clock = std::chrono::steady_clock;

    struct Taken {
        std::vector<std::string> frames; // the frames whose time came, in order
        std::vector<std::string> writes; // the bytes for the line, one write() each
    };

    ReplyShaper(bool merge, bool split, std::mt19937::result_type seed)
        : merging(merge), splitting(split), rng(seed) {}

    void push(std::string frame, Clock::time_point due);
    Taken take_due(Clock::time_point now);
    // When take_due has something to do next; nothing while all is sent.
    std::optional<Clock::time_point> next_deadline() const;

private:
    void emit(const std::string& bytes, Taken& taken);

    struct Pending {
        Clock::time_point due;
        std::string frame;
    };

    bool merging;
    bool splitting;
    std::mt19937 rng;
    std::deque<Pending> pending; // frames waiting for their time
    std::string held;            // merge: a frame waiting for company
    Clock::time_point held_until;
};

} // namespace sim
