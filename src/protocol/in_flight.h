#pragma once

#include <chrono>
#include <deque>
#include <optional>

namespace inverter {

using Clock = std::chrono::steady_clock;

// The commands of one kind on their way to the inverter, told apart by the
// value each sets. The inverter answers each command, in the order sent, with
// a report of the value it then runs; a report may also come late, after its
// command was given up, or for a command sent before it was.
class InFlight {
public:
    enum class Answer {
        unasked,      // nothing was asked since connecting: the report says what runs
        early,        // it answers an older command; later ones are still on their way
        confirmed,    // the value last asked runs
        late,         // it answers a command given up earlier, not the last one asked
        contradicted, // it answers the oldest command waiting, with another value
        stray,        // nothing is waiting and it is not what was last asked
    };

    void send(int value, Clock::time_point due);
    Answer answer(int reported);
    // Gives up the commands whose time has come; true when that leaves none
    // waiting, so that what was asked is not confirmed in time.
    bool expire(Clock::time_point now);
    // Forgets everything, as at a new connection.
    void forget() { *this = InFlight{}; }

    bool waiting() const { return !sent.empty(); }
    std::optional<Clock::time_point> next_due() const;
    // The value of the last command sent since connecting.
    std::optional<int> asked() const { return last_asked; }

private:
    struct Sent {
        int value;
        Clock::time_point due;
    };
    // Given-up commands remembered at most; older ones are taken as answered.
    static constexpr std::size_t given_up_kept = 16;

    std::deque<Sent> sent;    // oldest first
    std::deque<int> given_up; // oldest first; all older than those sent
    std::optional<int> last_asked;
};

} // namespace inverter
