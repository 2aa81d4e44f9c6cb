#include "pty.h"

#include <QDeadlineTimer>
#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

Pty::Pty() {
    char name[256] = {};
    termios raw{};
    cfmakeraw(&raw);
    if (openpty(&master, &slave, name, &raw, nullptr) != 0)
        throw std::runtime_error("openpty failed");
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    slave_name = QString::fromLocal8Bit(name);
}

Pty::~Pty() {
    if (slave >= 0) ::close(slave);
    if (master >= 0) ::close(master);
}

void Pty::link_as_port(const QString& dir, int n) const {
    const QString link = dir + QStringLiteral("/com%1").arg(n);
    QFile::remove(link);
    if (!QFile::link(slave_name, link)) throw std::runtime_error("cannot link the pty");
}

QByteArray Pty::read(qsizetype expected, int timeout_ms) {
    QByteArray got;
    const QDeadlineTimer deadline(timeout_ms);
    while (got.size() < expected) {
        pollfd p{master, POLLIN, 0};
        const int ready = ::poll(&p, 1, int(deadline.remainingTime()));
        if (ready <= 0) break;
        char buf[512];
        const ssize_t n = ::read(master, buf, sizeof buf);
        if (n > 0)
            got.append(buf, n);
        else if (n < 0 && errno != EAGAIN && errno != EINTR)
            break;
    }
    return got;
}

QByteArray Pty::read_quiet(int quiet_ms) {
    QByteArray got;
    for (;;) {
        const QByteArray more = read(1, quiet_ms);
        if (more.isEmpty()) return got;
        got += more;
    }
}

void Pty::write(QByteArrayView bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master, bytes.data() + done, size_t(bytes.size() - done));
        if (n > 0)
            done += n;
        else if (n < 0 && errno != EAGAIN && errno != EINTR)
            throw std::runtime_error("pty write failed");
        else {
            pollfd p{master, POLLOUT, 0};
            ::poll(&p, 1, 100);
        }
    }
}

termios Pty::settings() const {
    termios t{};
    tcgetattr(master, &t);
    return t;
}
