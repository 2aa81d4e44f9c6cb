#include "reply_shaper.h"

#include <algorithm>
#include <utility>

namespace sim {

namespace {

constexpr std::chrono::milliseconds merge_flush_interval{50};

} // namespace

void ReplyShaper::push(std::string frame, Clock::time_point due) {
    pending.push_back({due, std::move(frame)});
}

ReplyShaper::Taken ReplyShaper::take_due(Clock::time_point now) {
    Taken taken;
    while (!pending.empty() && pending.front().due <= now) {
        std::string frame = std::move(pending.front().frame);
        pending.pop_front();
        taken.frames.push_back(frame);
        if (!merging) {
            emit(frame, taken);
        } else if (held.empty()) {
            held = std::move(frame);
            held_until = now + merge_flush_interval;
        } else {
            emit(std::exchange(held, {}) + frame, taken);
        }
    }
    if (!held.empty() && now >= held_until) emit(std::exchange(held, {}), taken);
    return taken;
}

std::optional<ReplyShaper::Clock::time_point> ReplyShaper::next_deadline() const {
    std::optional<Clock::time_point> next;
    if (!pending.empty()) next = pending.front().due;
    if (!held.empty()) next = next ? std::min(*next, held_until) : held_until;
    return next;
}

void ReplyShaper::emit(const std::string& bytes, Taken& taken) {
    if (!splitting) {
        taken.writes.push_back(bytes);
        return;
    }
    std::uniform_int_distribution<size_t> chunk(1, 3);
    for (size_t at = 0; at < bytes.size();) {
        const size_t n = std::min(chunk(rng), bytes.size() - at);
        taken.writes.push_back(bytes.substr(at, n));
        at += n;
    }
}

} // namespace sim
