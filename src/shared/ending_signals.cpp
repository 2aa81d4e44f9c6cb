#include "ending_signals.h"

#include <sys/signalfd.h>
#include <unistd.h>

sigset_t EndingSignals::block() {
    sigset_t ending;
    sigemptyset(&ending);
    for (const int s : {SIGTERM, SIGHUP, SIGINT})
        sigaddset(&ending, s);
    pthread_sigmask(SIG_BLOCK, &ending, nullptr);
    return ending;
}

EndingSignals::EndingSignals(const sigset_t& ending, std::function<void()> on_signal)
    : fd(signalfd(-1, &ending, SFD_NONBLOCK | SFD_CLOEXEC)), notifier(fd, QSocketNotifier::Read) {
    connect(&notifier, &QSocketNotifier::activated, this, [this, on_signal] {
        signalfd_siginfo info;
        while (::read(fd, &info, sizeof info) == sizeof info) {
        }
        on_signal();
    });
}

EndingSignals::~EndingSignals() {
    ::close(fd);
}
