#include "serial_control.h"

#include "line_log.h"
#include "port_map.h"

#include <QDeadlineTimer>

namespace {
// A command is a few bytes; this bounds the wait for a stuck line.
constexpr int write_timeout_ms = 500;
} // namespace

MSComm::MSComm(QString dir, QObject* parent) : QObject(parent), program_dir(std::move(dir)) {
    connect(&port, &QSerialPort::readyRead, this, &MSComm::data_arrived);
    connect(&port, &QSerialPort::errorOccurred, this, &MSComm::line_failed);
}

void MSComm::line_failed(QSerialPort::SerialPortError error) {
    // A failing read or write means the device went away (adapter unplugged,
    // other end closed). Close the port: it then reads as closed, commands are
    // dropped, the dead line stops raising notifications, and the next open
    // finds the device anew.
    const bool line_gone = error == QSerialPort::ResourceError || error == QSerialPort::ReadError ||
                           error == QSerialPort::WriteError;
    if (line_gone && port.isOpen()) {
        LINE_LOG << "COM" << port_number << " lost (" << port.errorString() << "), port closed";
        port.close();
    }
}

bool MSComm::setPortOpen(bool open) {
    if (!open) {
        if (port.isOpen()) {
            port.close();
            LINE_LOG << "COM" << port_number << " closed";
        }
        return true;
    }
    if (port.isOpen()) return true;
    port.setPortName(port_device(port_number, program_dir));
    if (!port.open(QIODevice::ReadWrite)) {
        LINE_LOG << "COM" << port_number << " (" << port.portName()
                 << ") cannot be opened: " << port.errorString();
        return false;
    }
    const bool settings =
        port.setBaudRate(QSerialPort::Baud9600) && port.setDataBits(QSerialPort::Data8) &&
        port.setParity(QSerialPort::NoParity) && port.setStopBits(QSerialPort::OneStop) &&
        port.setFlowControl(QSerialPort::NoFlowControl);
    if (!settings) {
        LINE_LOG << "COM" << port_number << " refused the line settings: " << port.errorString();
        port.close();
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
    while (port.bytesToWrite() > 0 && !deadline.hasExpired()) {
        if (!port.flush() && !port.waitForBytesWritten(int(deadline.remainingTime()))) break;
    }
    const bool sent = port.bytesToWrite() == 0;
    LINE_LOG << "-> " << text << (sent ? "" : " not written in time");
    return sent;
}

QByteArray MSComm::Input() {
    return port.readAll();
}

void MSComm::data_arrived() {
    event_code = comEvReceive;
    emit OnComm();
}
