#pragma once

#include "in_flight.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>
#include <chrono>
#include <optional>

struct Report;

namespace inverter {

// How far a setting shown to the user has come: not known since connecting,
// confirmed by the inverter's report, waiting for that report, or
// contradicted or left unanswered by the inverter.
enum class Status { idle, ok, busy, alert };

template <typename T> struct Shown {
    T value{};
    Status status = Status::idle;
    bool operator==(const Shown&) const = default;
};

// offline; answering: ":O#" sent, waiting for the control report; online.
enum class Link { offline, answering, online };

// What a front end shows of the inverter. Switches show what was asked while
// it is on its way (busy), numbers what the inverter last confirmed.
struct State {
    Link link = Link::offline;
    Shown<bool> pc_control;         // false: the front-panel knob has control
    Shown<bool> voltage_mode{true}; // the knob sets the duty (true) or the frequency
    Shown<bool> light_on;           // as the user last asked, or the knob set it
    // Percent, even: while the light is on, the duty it runs at; while it is
    // off, the one kept for turning it on.
    Shown<int> intensity;
    Shown<int> duty;           // percent the inverter runs at; idle: not known yet
    Shown<int> frequency{450}; // hertz; idle: not reported since connecting
    Shown<bool> shutter_pressed;
    Shown<double> exposure; // seconds; busy while the shutter is held for them
    bool operator==(const State&) const = default;
};

// What one call gives back.
struct Step {
    QList<QByteArray> commands; // for the line, in this order
    QString refused;            // why a request was not taken; empty when it was
    bool value_refused = false; // the refusal is of the value asked, not of the moment
    QStringList warnings;       // for the log: what the inverter did not do as asked
    QStringList notes;          // for the log: what the inverter said besides its state
};

// The inverter as every front end sees it, with no I/O and no timers of its
// own: it takes the bytes received and the time, and gives back the commands
// to send and the state to show. What it shows is what the inverter last
// confirmed, or honestly pending: a command's report confirms it, reports
// answer the commands in the order sent, and a command given up at its time
// limit may still be answered late without its answer being taken for a later
// one's. Once the inverter grants the PC control, the model sends the light's
// state (off, at connecting) so that it is known rather than assumed. Under
// front-panel control, reports that answer nothing show the knob.
class Model {
public:
    // The inverter answers a command within this time.
    static constexpr std::chrono::milliseconds reply_time{1000};
    static constexpr double longest_exposure = 3600; // seconds

    const State& state() const { return st; }
    // When tick() has something to do next, if ever.
    std::optional<Clock::time_point> next_deadline() const;
    // When a running exposure ends.
    std::optional<Clock::time_point> exposure_end() const;

    // The line opened: asks for PC control; online once the inverter grants
    // it. The switches start released and off; the light is sent off then.
    // The kept intensity and the frequency shown stay.
    Step open(Clock::time_point now);
    // Ends the connection: releases the shutter of a running exposure and
    // hands control back to the front panel, also when a connect is given up.
    Step close();
    // The line is gone: nothing more can be sent.
    Step lost();
    // Applies the reports the bytes complete, in order.
    Step receive(QByteArrayView bytes, Clock::time_point now);
    // Ends exposures and gives up on reports whose time has come.
    Step tick(Clock::time_point now);

    // Requests of the user. A refused one sends nothing and changes nothing.
    Step set_light(bool on, Clock::time_point now);
    Step set_intensity(double percent, Clock::time_point now);
    // Turns the light on at `percent` with one duty command, under PC control.
    Step light_at(double percent, Clock::time_point now);
    Step set_frequency(double hertz, Clock::time_point now);
    Step set_pc_control(bool pc, Clock::time_point now);
    Step set_voltage_mode(bool voltage, Clock::time_point now);
    Step set_shutter(bool pressed, Clock::time_point now);
    // Holds the shutter for `seconds`; 0 releases a running exposure at once.
    Step expose(double seconds, Clock::time_point now);

private:
    enum class Needs { link, pc, knob };
    using Answer = InFlight::Answer;

    std::optional<QString> unusable(Needs needs) const;
    void send(InFlight& kind, int value, QByteArray command, Clock::time_point now, Step& step);
    void apply(const Report& report, const QByteArray& frame, Clock::time_point now, Step& step);
    void apply_control(bool pc, Clock::time_point now, Step& step);
    void settle(Shown<bool>& shown, InFlight& kind, bool reported, const char* what, Step& step);
    void apply_duty(int code, Step& step);
    void apply_frequency(int code, Step& step);
    // Whether a report shows what the knob set rather than answering a command.
    bool from_knob(Answer a) const;
    void expire(InFlight& kind, Status& status, const char* what, Clock::time_point now,
                Step& step);
    // Asks for a flag setting: shown as asked, busy until its report comes.
    void ask(Shown<bool>& shown, InFlight& kind, bool value, const char* if_true,
             const char* if_false, Clock::time_point now, Step& step);
    void send_duty(Clock::time_point now, Step& step);
    // Puts the light's switch and intensity in line with the duty.
    void show_light();
    static std::optional<QString> outside_duty(double percent);
    void press(bool pressed, Clock::time_point now, Step& step);
    void forget_in_flight();

    State st;
    QByteArray RX_buf;
    InFlight control, mode, duty, frequency, shutter;
    bool knob_in_control = false; // as the last control report said
    bool lit = false;             // the duty last confirmed is the light on
    Shown<int> kept;              // the intensity for turning the light on
    bool pc_refused = false;      // the inverter kept its knob while a connect waited
    Clock::time_point exposure_ends{};
};

} // namespace inverter
