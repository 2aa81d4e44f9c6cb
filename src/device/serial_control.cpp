#include "serial_control.h"

#include "port_map.h"

#include <QDeadlineTimer>

namespace {
// A command is a few bytes; this bounds the wait for a stuck line.
constexpr int write_timeout_ms = 500;
} // namespace

MSComm::MSComm(QString dir, QObject* parent) : QObject(parent), program_dir(std::move(dir)) {
    connect(&port, &QSerialPort::readyRead, this, &MSComm::data_arrived);
}

bool MSComm::setPortOpen(bool open) {
    if (!open) {
        if (port.isOpen()) port.close();
        return true;
    }
    if (port.isOpen()) return true;
    port.setPortName(port_device(port_number, program_dir));
    if (!port.open(QIODevice::ReadWrite)) return false;
    const bool settings =
        port.setBaudRate(QSerialPort::Baud9600) && port.setDataBits(QSerialPort::Data8) &&
        port.setParity(QSerialPort::NoParity) && port.setStopBits(QSerialPort::OneStop) &&
        port.setFlowControl(QSerialPort::NoFlowControl);
    if (!settings) port.close();
    return port.isOpen();
}

bool MSComm::Output(const QString& text) {
    if (!port.isOpen()) return false;
    const QByteArray bytes = text.toLatin1();
    if (port.write(bytes) != bytes.size()) return false;
    // QSerialPort keeps written bytes until its event loop runs; push them to
    // the system now so that a close right after cannot lose them.
    const QDeadlineTimer deadline(write_timeout_ms);
    while (port.bytesToWrite() > 0 && !deadline.hasExpired()) {
        if (!port.flush() && !port.waitForBytesWritten(int(deadline.remainingTime()))) break;
    }
    return port.bytesToWrite() == 0;
}

QByteArray MSComm::Input() {
    return port.readAll();
}

void MSComm::data_arrived() {
    event_code = comEvReceive;
    emit OnComm();
}
