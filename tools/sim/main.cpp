// lumivane-sim: plays the inverter on a pseudo-terminal linked as comN beside
// the panel, so the panel can be run and tried out without the hardware.

#include "log.h"
#include "options.h"
#include "port_link.h"
#include "simulator.h"
#include "stop_signals.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// A closed standard descriptor would otherwise be reused by the pty.
void ensure_standard_fds() {
    for (int fd = 0; fd < 3; ++fd)
        if (::fcntl(fd, F_GETFD) == -1) ::open("/dev/null", O_RDWR);
}

} // namespace

int main(int argc, char** argv) {
    int exit_code = 0;
    const auto options = sim::parse_options(argc, argv, exit_code);
    if (!options) return exit_code;
    const sim::Options& opt = *options;
    ensure_standard_fds();

    std::FILE* log_file = nullptr;
    if (!opt.log_path.empty() && !(log_file = std::fopen(opt.log_path.c_str(), "a"))) {
        std::fprintf(stderr, "lumivane-sim: cannot open %s: %s\n", opt.log_path.c_str(),
                     std::strerror(errno));
        return 1;
    }
    const int signal_fd = sim::open_stop_signals();
    if (signal_fd < 0) {
        std::perror("lumivane-sim: signals");
        return 1;
    }
    const auto line = sim::open_line();
    if (!line) {
        std::perror("lumivane-sim: openpty");
        return 1;
    }

    const std::string link_path = opt.dir + "/com" + std::to_string(opt.port);
    std::string why;
    std::vector<std::string> notes;
    if (!sim::claim_link(opt.dir, opt.port, line->pts, why, notes)) {
        std::fprintf(stderr,
                     "lumivane-sim: refusing to replace %s: %s; remove it or pick another --port\n",
                     link_path.c_str(), why.c_str());
        return 1;
    }
    const sim::Log log(log_file);
    for (const std::string& note : notes)
        log.line(note, false);
    log.line("linked " + link_path + " -> " + line->pts, false);
    if (::isatty(STDIN_FILENO) == 1) std::puts("h for help");
    const int code = sim::Simulator(opt, line->master, log).run(signal_fd);

    sim::release_link(link_path, line->pts);
    log.line("removed " + link_path, false);
    ::close(line->slave);
    ::close(line->master);
    if (log_file) std::fclose(log_file);
    return code;
}
