#include "inverter_session.h"

#include "device/inverter_line.h"

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
        if (phase == Phase::draining && port.bytesToWrite() == 0) release();
    });
}

InverterSession::~InverterSession() {
    if (port.isOpen()) ::tcdrain(int(port.handle()));
}

bool InverterSession::open(const QString& device, QString& why) {
    if (busy()) {
        why = QStringLiteral("The port is still open.");
        return false;
    }
    if (!open_inverter_line(port, lock, device, why)) return false;
    phase = Phase::open;
    qInfo().noquote() << "Opened" << device << "at 9600 8N1";
    react(model.open(Clock::now()));
    return true;
}

void InverterSession::close() {
    if (phase == Phase::closed) {
        emit closed();
        return;
    }
    if (phase == Phase::draining) return; // `closed` follows
    const bool was_answering = connecting();
    react(model.close());
    if (was_answering)
        emit finished(false, QStringLiteral("Disconnected before the inverter answered."));
    drain_and_release();
}

void InverterSession::drain_and_release() {
    phase = Phase::draining;
    if (port.bytesToWrite() == 0) return release();
    // A line that takes nothing more is closed all the same.
    timer.start(drain_limit);
}

void InverterSession::release() {
    // What the system still holds leaves at the line's settings before the
    // port closes and puts back the ones it had.
    ::tcdrain(int(port.handle()));
    qInfo().noquote() << "Closed" << port.portName();
    port.close();
    lock.release();
    phase = Phase::closed;
    timer.stop();
    emit closed();
}

std::chrono::duration<double> InverterSession::exposure_left() const {
    const std::optional<Clock::time_point> end = model.exposure_end();
    if (!end) return {};
    return std::max<std::chrono::duration<double>>(*end - Clock::now(), {});
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
    emit changed();
}

void InverterSession::data_arrived() {
    const bool was_answering = connecting();
    react(model.receive(port.readAll(), Clock::now()));
    if (was_answering && connected()) {
        warning.clear();
        qInfo().noquote() << "The inverter answered on" << port.portName();
        emit finished(true, {});
    }
}

void InverterSession::deadline() {
    if (phase == Phase::draining) return release();
    const bool was_answering = connecting();
    react(model.tick(Clock::now()));
    if (was_answering && state().link == Link::offline) {
        // Given up: control goes back to the knob before the port closes.
        emit finished(false, warning);
        drain_and_release();
    }
}

void InverterSession::schedule() {
    if (phase != Phase::open) return;
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
    phase = Phase::closed;
    timer.stop();
    if (was_answering) emit finished(false, port.errorString());
    emit lost();
    emit closed();
}
