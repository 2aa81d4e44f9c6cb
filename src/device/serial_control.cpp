#include "serial_control.h"

#include "inverter_line.h"
#include "line_log.h"
#include "port_map.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <cerrno>
#include <poll.h>
#include <termios.h>

namespace {
// A command is a few bytes; this bounds the wait for a stalled line.
constexpr int write_timeout_ms = 500;
} // namespace

MSComm::MSComm(QString dir, QObject* parent) : QObject(parent), program_dir(std::move(dir)) {
    connect(&port, &QSerialPort::readyRead, this, &MSComm::data_arrived);
    connect(&port, &QSerialPort::errorOccurred, this, &MSComm::line_failed);
}

bool MSComm::device_gone() const {
    const int error = errno; // of the read or write that failed
    if (error == EIO || error == ENXIO || error == ENODEV) return true;
    pollfd p{int(port.handle()), 0, 0};
    if (::poll(&p, 1, 0) == 1 && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) return true;
    return !QFileInfo::exists(port.portName());
}

void MSComm::line_failed(QSerialPort::SerialPortError error) {
    // Only a failed read or write says something about the device; errno is
    // then still the failed call's. A timeout is the bounded wait of Output.
    const bool line_error = error == QSerialPort::ResourceError ||
                            error == QSerialPort::ReadError || error == QSerialPort::WriteError;
    if (!line_error || !port.isOpen()) return;
    // Only a device that went away (adapter unplugged, other end closed) closes
    // the port: the dead line then stops raising notifications and the next
    // open finds the device anew. A line that is only slow or stalled, whose
    // output buffer is full, stays open and catches up later.
    if (device_gone()) {
        LINE_LOG << "COM" << port_number << " lost (" << port.errorString() << "), port closed";
        close_port();
        emit LineLost();
        return;
    }
    LINE_LOG << "COM" << port_number << ": " << port.errorString() << ", port kept open";
    port.clearError();
}

void MSComm::drain() {
    // Bytes still queued in Qt go to the system first; tcdrain then waits until
    // the system has sent them. Without flow control that wait is bounded by
    // the output buffer at 9600 baud.
    if (port.bytesToWrite() > 0) port.waitForBytesWritten(write_timeout_ms);
    ::tcdrain(int(port.handle()));
}

void MSComm::close_port() {
    port.close();
    lock.release();
}

QString MSComm::PortDevice() const {
    return port_device(port_number, program_dir);
}

bool MSComm::setPortOpen(bool open) {
    if (!open) {
        if (port.isOpen()) {
            // Closing puts back the settings the line had before it was
            // opened, at once; drain first so no command leaves at those.
            drain();
            close_port();
            LINE_LOG << "COM" << port_number << " closed";
        }
        return true;
    }
    if (port.isOpen()) return true;
    QString why;
    if (!open_inverter_line(port, lock, PortDevice(), why)) {
        LINE_LOG << "COM" << port_number << ": " << why;
        return false;
    }
    LINE_LOG << "COM" << port_number << " (" << port.portName() << ") opened, 9600 8N1";
    return true;
}

bool MSComm::Output(const QString& text) {
    if (!port.isOpen()) return false;
    const QByteArray bytes = text.toLatin1();
    if (port.write(bytes) != bytes.size()) {
        LINE_LOG << "-> " << text << " not written: " << port.errorString();
        return false;
    }
    // QSerialPort keeps written bytes until its event loop runs; push them to
    // the system now so that a close right after cannot lose them.
    const QDeadlineTimer deadline(write_timeout_ms);
    while (port.isOpen() && port.bytesToWrite() > 0 && !deadline.hasExpired()) {
        if (!port.flush() && !port.waitForBytesWritten(int(deadline.remainingTime()))) break;
    }
    const bool sent = port.isOpen() && port.bytesToWrite() == 0;
    LINE_LOG << "-> " << text << (sent ? "" : " queued: the line does not take it now");
    return sent;
}

QByteArray MSComm::Input() {
    return port.readAll();
}

void MSComm::data_arrived() {
    event_code = comEvReceive;
    emit OnComm();
}
