#include "options.h"

#include "help_text.h"
#include "protocol/numbers.h"
#include "store/settings_folder.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdio>
#include <getopt.h>
#include <string_view>
#include <unistd.h>

namespace sim {

namespace {

// --help, --split and --merge take an optional value only so that a value
// given them comes back here instead of to getopt_long's own refusal: --split
// and --merge refuse it in our words, --help ignores it.
constexpr option long_options[] = {{"help", optional_argument, nullptr, 'h'},
                                   {"split", optional_argument, nullptr, 's'},
                                   {"merge", optional_argument, nullptr, 'm'},
                                   {"dir", required_argument, nullptr, 'D'},
                                   {"port", required_argument, nullptr, 'p'},
                                   {"log", required_argument, nullptr, 'l'},
                                   {"delay", required_argument, nullptr, 'd'},
                                   {"seed", required_argument, nullptr, 'S'},
                                   {nullptr, 0, nullptr, 0}};

// An argument's option name: "--name=value" without its value.
std::string name_of(std::string_view arg) {
    return std::string(arg.starts_with("--") ? arg.substr(0, arg.find('=')) : arg);
}

// getopt_long also takes abbreviations and runs of short options; only whole names count.
bool whole_name(const std::string& name) {
    return name == "-h" ||
           std::any_of(std::begin(long_options), std::end(long_options) - 1,
                       [&](const option& o) { return name == "--" + std::string(o.name); });
}

template <typename T> bool parse_number(std::string_view s, T min, T max, T& out) {
    const char* end = s.data() + s.size();
    const auto [at, ec] = std::from_chars(s.data(), end, out);
    return ec == std::errc() && at == end && out >= min && out <= max;
}

} // namespace

std::optional<Options> parse_options(int argc, char** argv, int& exit_code) {
    Options o;
    const auto fail = [&](const std::string& why) {
        std::fprintf(stderr, "lumivane-sim: %s (try --help)\n", why.c_str());
        exit_code = 2;
        return std::nullopt;
    };
    ::opterr = 0;
    for (;;) {
        const int at = ::optind; // the argument getopt_long reads next
        // "+": stop at "--", "-" or a word, which are refused like unknown options.
        const int c = ::getopt_long(argc, argv, "+:h", long_options, nullptr);
        if (c == -1 && at == argc) break;
        const std::string name = name_of(argv[at]);
        if (c == -1 || c == '?' || !whole_name(name)) return fail("unknown option " + name);
        if (c == ':') return fail(name + " needs a value");
        switch (c) {
        case 'h':
            std::fputs(usage_text, stdout);
            std::fputs(commands_text, stdout);
            exit_code = 0;
            return std::nullopt;
        case 's':
        case 'm':
            if (::optarg) return fail(name + " takes no value");
            (c == 's' ? o.split : o.merge) = true;
            break;
        case 'D':
            o.dir = ::optarg;
            break;
        case 'l':
            o.log_path = ::optarg;
            break;
        case 'p':
            if (!parse_number(::optarg, inverter::port_min, inverter::port_max, o.port))
                return fail("--port must be 1..15");
            break;
        case 'd':
            if (!parse_number(::optarg, 0, 3600000, o.delay_ms))
                return fail("--delay must be 0..3600000");
            break;
        default:
            unsigned long seed = 0;
            if (!parse_number(::optarg, 0UL, ULONG_MAX, seed))
                return fail("--seed must be a number");
            o.seed = seed;
        }
    }
    if (o.dir.empty()) {
        char exe[PATH_MAX];
        const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
        if (n <= 0) return fail("cannot find the program's directory; give --dir");
        const std::string path(exe, size_t(n));
        o.dir = program_folders(path.substr(0, std::max<size_t>(path.rfind('/'), 1))).settings;
        if (o.dir.empty()) return fail("no home folder for the link: give --dir");
    }
    return o;
}

} // namespace sim
