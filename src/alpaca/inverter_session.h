#pragma once

#include "device/port_lock.h"
#include "protocol/inverter_model.h"

#include <QObject>
#include <QSerialPort>
#include <QTimer>
#include <functional>

// The inverter on a serial device, for a server: opens the device the one
// way the programs here share, carries bytes between the line and the
// inverter model, runs the model's deadlines on a timer and logs what the
// model says. Nothing waits on the line: writes leave from the event loop,
// and whatever ends the line (a disconnect, a connect given up) lets the last
// command drain before the port closes.
class InverterSession : public QObject {
    Q_OBJECT
public:
    using Request = std::function<inverter::Step(inverter::Model&, inverter::Clock::time_point)>;

    // Longest wait for the last commands to leave before the port closes anyway.
    static constexpr std::chrono::milliseconds drain_limit{1000};

    InverterSession();
    ~InverterSession() override;

    const inverter::State& state() const { return model.state(); }
    bool connected() const { return state().link == inverter::Link::online; }
    bool connecting() const { return state().link == inverter::Link::answering; }
    // The port is open or still draining: it cannot be opened now.
    bool busy() const { return phase != Phase::closed; }
    // The last thing the inverter did not do as asked, for the operator.
    const QString& last_warning() const { return warning; }
    // What is left of the running exposure; zero when none runs.
    std::chrono::duration<double> exposure_left() const;

    // Opens `device` and asks the inverter for PC control; `finished` follows
    // when the inverter answers or not. False, with `why`, when the device
    // cannot be opened or the port is busy.
    bool open(const QString& device, QString& why);
    // Hands control back to the front panel, lets the bytes drain and closes;
    // `closed` follows.
    void close();
    // Runs a request on the model and sends what it gives; returns its step.
    inverter::Step request(const Request& r);

signals:
    void finished(bool connected, const QString& why);
    // The device went away while open.
    void lost();
    void closed();
    // What the model shows may have changed.
    void changed();

private:
    enum class Phase { closed, open, draining };

    void react(const inverter::Step& step);
    void data_arrived();
    void line_failed(QSerialPort::SerialPortError error);
    void deadline();
    void schedule();
    void drain_and_release();
    void release();

    inverter::Model model;
    QSerialPort port;
    PortLock lock;
    QTimer timer;
    QString warning;
    Phase phase = Phase::closed;
};
