#include "stop_signals.h"

#include <csignal>
#include <cstring>
#include <sys/signalfd.h>
#include <unistd.h>

namespace sim {

int open_stop_signals() {
    sigset_t stop;
    sigemptyset(&stop);
    for (const int s : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&stop, s);
    if (sigprocmask(SIG_BLOCK, &stop, nullptr) != 0) return -1;
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGTTIN, SIG_IGN);
    return signalfd(-1, &stop, SFD_NONBLOCK | SFD_CLOEXEC);
}

std::optional<std::string> read_stop_signal(int fd) {
    signalfd_siginfo info;
    if (::read(fd, &info, sizeof info) != sizeof info) return std::nullopt;
    return ::strsignal(int(info.ssi_signo));
}

} // namespace sim
