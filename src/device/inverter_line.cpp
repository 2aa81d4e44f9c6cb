#include "inverter_line.h"

bool open_inverter_line(QSerialPort& port, PortLock& lock, const QString& device, QString& why) {
    std::string reason;
    switch (lock.take(device.toStdString(), reason)) {
    case PortLock::Outcome::taken:
        break;
    case PortLock::Outcome::in_use:
        why = device + QStringLiteral(" is in use by another program.");
        return false;
    case PortLock::Outcome::failed:
        why = QStringLiteral("Cannot open %1: %2.").arg(device, QString::fromStdString(reason));
        return false;
    }
    port.setPortName(device);
    if (!port.open(QIODevice::ReadWrite)) {
        why = QStringLiteral("Cannot open %1: %2.").arg(device, port.errorString());
        lock.release();
        return false;
    }
    const bool ready =
        port.setBaudRate(QSerialPort::Baud9600) && port.setDataBits(QSerialPort::Data8) &&
        port.setParity(QSerialPort::NoParity) && port.setStopBits(QSerialPort::OneStop) &&
        port.setFlowControl(QSerialPort::NoFlowControl) && port.clear(QSerialPort::Input);
    if (!ready) {
        why = QStringLiteral("%1 refused the line settings: %2.").arg(device, port.errorString());
        port.close();
        lock.release();
        return false;
    }
    return true;
}
