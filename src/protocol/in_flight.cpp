#include "in_flight.h"

#include <algorithm>

namespace inverter {

void InFlight::send(int value, Clock::time_point due) {
    sent.push_back({value, due});
    last_asked = value;
}

InFlight::Answer InFlight::answer(int reported) {
    // Reports come in the order of the commands: one that answers a command
    // answers every older one too, whose reports were lost.
    const auto hit =
        std::find_if(sent.begin(), sent.end(), [&](const Sent& s) { return s.value == reported; });
    if (hit != sent.end()) {
        sent.erase(sent.begin(), hit + 1);
        given_up.clear();
        return sent.empty() ? Answer::confirmed : Answer::early;
    }
    if (sent.empty() && last_asked == reported) {
        given_up.clear();
        return Answer::confirmed;
    }
    const auto late = std::find(given_up.begin(), given_up.end(), reported);
    if (late != given_up.end()) {
        given_up.erase(given_up.begin(), late + 1);
        return Answer::late;
    }
    if (!last_asked) return Answer::unasked;
    if (sent.empty()) return Answer::stray;
    sent.pop_front();
    given_up.clear();
    return Answer::contradicted;
}

bool InFlight::expire(Clock::time_point now) {
    if (sent.empty() || now < sent.front().due) return false;
    while (!sent.empty() && now >= sent.front().due) {
        given_up.push_back(sent.front().value);
        sent.pop_front();
    }
    while (given_up.size() > given_up_kept)
        given_up.pop_front();
    return sent.empty();
}

std::optional<Clock::time_point> InFlight::next_due() const {
    if (sent.empty()) return std::nullopt;
    return sent.front().due;
}

} // namespace inverter
