#pragma once

#include <QByteArray>
#include <QString>
#include <sys/ioctl.h>
#include <termios.h>

// A real pseudo-terminal for serial tests: the program opens the slave side as
// its port, the test plays the inverter on the master side.
class Pty {
public:
    Pty();
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    QString slave_path() const { return slave_name; }
    // Makes the pty reachable as port n: a link "comN" in dir.
    void link_as_port(const QString& dir, int n) const;

    // Everything the program has written, waiting up to timeout_ms for at
    // least `expected` bytes; returns early once they are there.
    QByteArray read(qsizetype expected, int timeout_ms = 2000);
    // Waits until the line has been quiet for quiet_ms and returns what came.
    QByteArray read_quiet(int quiet_ms = 100);
    // Writes all of bytes, waiting while the line's buffer is full.
    void write(QByteArrayView bytes);
    // Waits until what was written has reached the program's side and the
    // program has read all of it; false if it is still unread after 2 s.
    bool taken() const;
    // Hangs the program's side up, as the kernel does when an adapter is
    // unplugged: what is open of it ends; the device stays. Needs CAP_SYS_ADMIN.
    bool hang_up() const { return ::ioctl(slave, TIOCVHANGUP) == 0; }
    // The line settings in force on the program's side.
    termios settings() const;
    void set_settings(const termios& t) const { ::tcsetattr(master, TCSANOW, &t); }

private:
    int master = -1;
    int slave = -1;
    QString slave_name;
};
