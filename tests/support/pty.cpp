#include "pty.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <cerrno>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <sys/ioctl.h>
#include <unistd.h>

QByteArray Pty::read(qsizetype expected, int timeout_ms) {
    QByteArray got;
    const QDeadlineTimer deadline(timeout_ms);
    while (got.size() < expected) {
        pollfd p{master, POLLIN, 0};
        if (::poll(&p, 1, int(deadline.remainingTime())) <= 0) break;
        char buf[512];
        const ssize_t n = ::read(master, buf, sizeof buf);
        if (n > 0) got.append(buf, n);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) break;
    }
    return got;
}

Pty::Pty() {
    char name[256] = {};
    termios raw{};
    cfmakeraw(&raw);
    if (openpty(&master, &slave, name, &raw, nullptr) != 0)
        throw std::runtime_error("openpty failed");
    slave_name = QString::fromLocal8Bit(name);
}

Pty::~Pty() {
    ::close(slave);
    ::close(master);
}

void Pty::link_as_port(const QString& dir, int n) const {
    const QString link = dir + QStringLiteral("/com%1").arg(n);
    QFile::remove(link);
    if (!QFile::link(slave_name, link)) throw std::runtime_error("cannot link the pty");
}

QByteArray Pty::read_quiet(int quiet_ms) {
    QByteArray got;
    for (QByteArray more = read(1, quiet_ms); !more.isEmpty(); more = read(1, quiet_ms))
        got += more;
    return got;
}

void Pty::write(QByteArrayView bytes) {
    if (::write(master, bytes.data(), size_t(bytes.size())) != bytes.size())
        throw std::runtime_error("pty write failed");
}

bool Pty::taken() const {
    // The program reads only while its event loop runs, so the bytes wait here
    // first, once the pty has carried them over. A program quicker than this
    // poll has read them already: the wait is short, as nothing more comes then.
    pollfd p{slave, POLLIN, 0};
    ::poll(&p, 1, 100);
    const QDeadlineTimer deadline(2000);
    int unread = 0;
    do
        QCoreApplication::processEvents();
    while (::ioctl(slave, FIONREAD, &unread) == 0 && unread > 0 && !deadline.hasExpired());
    return unread == 0;
}

termios Pty::settings() const {
    termios t{};
    tcgetattr(master, &t);
    return t;
}
