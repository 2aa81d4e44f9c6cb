#pragma once

#include "alpaca_result.h"
#include "inverter_session.h"
#include "parameters.h"

#include <QObject>
#include <QString>
#include <functional>

// The inverter as Alpaca's CoverCalibrator: a calibrator whose brightness is
// the duty code (0 to 50, 2 % a step), with no cover. The frequency, the
// control source and timed shutter exposures are actions.
class CoverCalibrator : public QObject {
public:
    static constexpr int max_brightness = 50;

    // `device` gives the serial device to open on connecting.
    CoverCalibrator(InverterSession& session, std::function<QString()> device);

    // Answers `member` (lower case) for the HTTP method; false when there is
    // no such member for that method.
    bool call(const QString& member, bool put, const Parameters& p, const alpaca::Respond& respond);

    static QStringList actions();

private:
    alpaca::Result state_member(const QString& member);
    void connect_device(const alpaca::Respond& respond, bool wait);
    void disconnect_device(const alpaca::Respond& respond);
    void set_connected(const Parameters& p, const alpaca::Respond& respond);
    alpaca::Result calibrator_on(const Parameters& p);
    alpaca::Result action(const Parameters& p);
    // Runs a request of the model; a refusal becomes the Alpaca error for it.
    alpaca::Result request(const InverterSession::Request& r);

    InverterSession& session;
    std::function<QString()> device;
    QList<alpaca::Respond> awaiting_connect; // answered when the handshake ends
    QList<alpaca::Respond> awaiting_close;
    QString connect_failure; // of the last asynchronous connect, until `connecting` tells it
};
