#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <functional>
#include <signal.h>

// The requests to end the program that come as signals: SIGTERM (shutdown),
// SIGHUP (logout, terminal closed) and SIGINT (Ctrl-C). They are blocked in
// every thread and read from a signalfd on the event thread, so the program
// ends the way it does when the operator closes the window, with no work done
// inside a signal handler.
class EndingSignals : public QObject {
public:
    // Blocks the signals. Call first in main, before any thread is started, so
    // that every thread inherits the mask.
    static sigset_t block();

    EndingSignals(const sigset_t& ending, std::function<void()> on_signal);
    ~EndingSignals() override;

private:
    int fd;
    QSocketNotifier notifier;
};
