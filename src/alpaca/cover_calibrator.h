#pragma once

#include "alpaca_result.h"
#include "inverter_session.h"
#include "parameters.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>
#include <functional>

// The inverter as Alpaca's CoverCalibrator: a calibrator whose brightness is
// the duty code (0 to 50, 2 % a step), with no cover. The frequency, the
// control source, the knob's adjustment mode and timed shutter exposures are
// actions.
//
// Each client, told apart by its ClientID, connects and disconnects for
// itself: the line opens for the first and closes when the last one leaves.
// A request that sends the inverter a command answers once the inverter has
// confirmed it, or after a short wait with the change still under way.
class CoverCalibrator : public QObject {
public:
    static constexpr int max_brightness = 50;
    // The inverter answers in about 15 ms; this leaves room for a slow USB
    // adapter and stays far below any client's time limit.
    static constexpr std::chrono::milliseconds report_wait{250};
    // Clients connected at once; more are refused rather than kept.
    static constexpr int max_clients = 64;

    // `device` gives the serial device to open on connecting.
    CoverCalibrator(InverterSession& session, std::function<QString()> device);

    // Answers `member` (lower case) for the HTTP method and the client; false
    // when there is no such member for that method.
    bool call(const QString& member, bool put, const Parameters& p, quint32 client,
              const alpaca::Respond& respond);
    // How many clients are connected.
    int clients() const;

    static QStringList actions();

private:
    struct Client {
        bool connected = false;         // as this client asked
        QList<alpaca::Respond> waiting; // its connects that wait for the inverter
        QString untold;                 // a failed connect, until `connecting` tells it
    };
    // An action that switches a setting between two named states.
    struct Switch {
        QLatin1String action, if_true, if_false;
        const char* what; // the setting, for a refusal
        inverter::Shown<bool> inverter::State::*shown;
        inverter::Step (inverter::Model::*set)(bool, inverter::Clock::time_point);
    };
    // A request's answer, made when the change it asked for has settled.
    struct Settling {
        std::function<bool()> settled;
        std::function<alpaca::Result()> answer;
        alpaca::Respond respond;
        std::chrono::steady_clock::time_point until;
    };

    alpaca::Result state_member(const QString& member, quint32 client);
    void connect_client(quint32 client, const alpaca::Respond& respond, bool wait);
    void disconnect_client(quint32 client, const alpaca::Respond& respond);
    void set_connected(const Parameters& p, quint32 client, const alpaca::Respond& respond);
    // Opens the line for the clients that asked, once it is free.
    void open_line();
    void connect_ended(bool connected, const QString& why);
    void forget_idle(quint32 client);
    void device_request(const QString& member, const Parameters& p, const alpaca::Respond& respond);
    void calibrator_on(const Parameters& p, const alpaca::Respond& respond);
    void action(const Parameters& p, const alpaca::Respond& respond);
    // Sets the switch to the state named by `arg`; an empty `arg` reads it.
    void switch_action(const Switch& s, const QString& arg, const alpaca::Respond& respond);
    // Runs a request of the model; a refusal is answered at once with its
    // Alpaca error, a command once `settled` holds or the wait is over.
    void request(const InverterSession::Request& r, std::function<bool()> settled,
                 std::function<alpaca::Result()> answer, const alpaca::Respond& respond);
    // Answers the requests whose change has settled or whose wait is over.
    void answer_settled();

    InverterSession& session;
    std::function<QString()> device;
    QHash<quint32, Client> known;
    QList<alpaca::Respond> awaiting_close;
    QList<Settling> settling;
    QTimer settle_timer;
};
