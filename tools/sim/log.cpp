#include "log.h"

#include <ctime>

namespace sim {

namespace {

// The wall-clock time of day to the millisecond.
std::string timestamp() {
    timespec ts{};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    tm t{};
    ::localtime_r(&ts.tv_sec, &t);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d.%03ld", t.tm_hour, t.tm_min, t.tm_sec,
                  ts.tv_nsec / 1000000);
    return buf;
}

} // namespace

void Log::line(const std::string& text, bool stamped) const {
    const std::string out = (stamped ? timestamp() + ' ' : std::string()) + text + '\n';
    say(out);
    if (file) {
        std::fputs(out.c_str(), file);
        std::fflush(file);
    }
}

void Log::say(const std::string& text) {
    std::fputs(text.c_str(), stdout);
    std::fflush(stdout);
}

std::string printable(std::string_view bytes) {
    std::string s;
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u < 0x7f && c != '\\') {
            s += c;
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02x", u);
            s += buf;
        }
    }
    return s;
}

} // namespace sim
