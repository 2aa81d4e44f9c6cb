#include "inverter_session.h"

#include <QDebug>
#include <termios.h>

using inverter::Clock;
using inverter::Link;

InverterSession::InverterSession() {
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    connect(&timer, &QTimer::timeout, this, &InverterSession::deadline);
    connect(&port, &QSerialPort::readyRead, this, &InverterSession::data_arrived);
    connect(&port, &QSerialPort::errorOccurred, this, &InverterSession::line_failed);
    connect(&port, &QSerialPort::bytesWritten, this, [this] {
        if (closing && port.bytesToWrite() == 0) release();
    });
}

InverterSession::~InverterSession() {
    if (port.isOpen()) ::tcdrain(int(port.handle()));
}

bool InverterSession::open(const QString& device, QString& why) {
    if (port.isOpen()) {
        why = QStringLiteral("The port is open already.");
        return false;
    }
    // The lock comes first: opening sets the line up, which must not touch a
    // line another program is using.
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
    const bool ready =
        port.open(QIODevice::ReadWrite) && port.setBaudRate(QSerialPort::Baud9600) &&
        port.setDataBits(QSerialPort::Data8) && port.setParity(QSerialPort::NoParity) &&
        port.setStopBits(QSerialPort::OneStop) && port.setFlowControl(QSerialPort::NoFlowControl);
    if (!ready) {
        why = QStringLiteral("Cannot open %1: %2.").arg(device, port.errorString());
        port.close();
        lock.release();
        return false;
    }
    closing = false;
    qInfo().noquote() << "Opened" << device << "at 9600 8N1";
    react(model.open(Clock::now()));
    return true;
}

void InverterSession::close() {
    if (!port.isOpen()) {
        emit closed();
        return;
    }
    const bool was_answering = connecting();
    react(model.close());
    if (was_answering)
        emit finished(false, QStringLiteral("Disconnected before the inverter answered."));
    closing = true;
    if (port.bytesToWrite() == 0) release();
}

void InverterSession::release() {
    // What the system still holds leaves at the line's settings before the
    // port closes and puts back the ones it had.
    ::tcdrain(int(port.handle()));
    qInfo().noquote() << "Closed" << port.portName();
    port.close();
    lock.release();
    closing = false;
    timer.stop();
    emit closed();
}

std::chrono::duration<double> InverterSession::exposure_left() const {
    if (state().exposure.status != inverter::Status::busy) return {};
    return std::max<std::chrono::duration<double>>(model.exposure_ends() - Clock::now(), {});
}

inverter::Step InverterSession::request(const Request& r) {
    const inverter::Step step = r(model, Clock::now());
    react(step);
    return step;
}

void InverterSession::react(const inverter::Step& step) {
    for (const QByteArray& command : step.commands) {
        if (port.write(command) != command.size())
            qWarning().noquote() << "Could not write" << command << ":" << port.errorString();
    }
    for (const QString& w : step.warnings) {
        qWarning().noquote() << w;
        warning = w;
    }
    for (const QString& n : step.notes)
        qInfo().noquote() << n;
    schedule();
}

void InverterSession::data_arrived() {
    const bool was_answering = connecting();
    react(model.receive(port.readAll()));
    if (was_answering && connected()) {
        warning.clear();
        qInfo().noquote() << "The inverter answered on" << port.portName();
        emit finished(true, {});
    }
}

void InverterSession::deadline() {
    const bool was_answering = connecting();
    react(model.tick(Clock::now()));
    if (was_answering && state().link == Link::offline) {
        emit finished(false, warning);
        closing = true;
        release();
    }
}

void InverterSession::schedule() {
    const std::optional<Clock::time_point> next = model.next_deadline();
    if (!next) {
        timer.stop();
        return;
    }
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*next - Clock::now());
    timer.start(std::max(wait, std::chrono::milliseconds(0)));
}

void InverterSession::line_failed(QSerialPort::SerialPortError error) {
    if (error != QSerialPort::ResourceError || !port.isOpen()) return;
    qWarning().noquote() << port.portName() << "went away; the port is closed.";
    const bool was_answering = connecting();
    react(model.lost());
    port.close();
    lock.release();
    closing = false;
    timer.stop();
    if (was_answering) emit finished(false, port.errorString());
    emit closed();
}
