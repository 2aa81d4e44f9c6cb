#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>
#include <chrono>
#include <optional>

struct Report;

namespace inverter {

using Clock = std::chrono::steady_clock;

// How far a setting shown to the user has come: not set since connecting,
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

// What a front end shows of the inverter.
struct State {
    Link link = Link::offline;
    Shown<bool> pc_control;         // false: the front-panel knob has control
    Shown<bool> voltage_mode{true}; // the knob sets the duty (true) or the frequency
    Shown<bool> light_on;           // as the user last asked, or the knob set it
    Shown<int> intensity;           // percent, even: the duty while the light is on
    Shown<int> frequency{450};      // hertz
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
// to send and the state to show. A command's report confirms it; while
// several commands of one kind are in flight, only the report that answers
// the last of them settles what is shown. Under PC control the knob cannot
// move the duty or frequency, so a report of either that answers nothing is
// a late echo and is ignored; under front-panel control it shows the knob.
class Model {
public:
    // The inverter answers a command within this time.
    static constexpr std::chrono::milliseconds reply_time{1000};
    static constexpr double longest_exposure = 3600; // seconds

    const State& state() const { return st; }
    // When tick() has something to do next, if ever.
    std::optional<Clock::time_point> next_deadline() const;
    // When the running exposure releases the shutter; only while one runs.
    Clock::time_point exposure_ends() const { return exposure_end; }

    // The line opened: asks for PC control; online once the inverter reports
    // its control source. The switches start released and off; the intensity
    // and frequency keep their values.
    Step open(Clock::time_point now);
    // Ends the connection: releases the shutter of a running exposure and
    // hands control back to the front panel.
    Step close();
    // The line is gone: nothing more can be sent.
    Step lost();
    // Applies the reports the bytes complete, in order.
    Step receive(QByteArrayView bytes);
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
    // Commands of one kind sent and not yet answered by their report.
    struct Pending {
        int asked = 0; // what the last of them set
        int unanswered = 0;
        Clock::time_point due{};
    };
    enum class Answer { unsolicited, early, confirmed, contradicted };
    enum class Needs { link, pc, knob };

    std::optional<QString> unusable(Needs needs) const;
    static void send(Pending& p, int value, QByteArray command, Clock::time_point now, Step& step);
    static Answer answer(Pending& p, int reported);
    void apply(const Report& report, const QByteArray& frame, Step& step);
    void settle(Shown<bool>& shown, Pending& p, bool reported, const char* what, Step& step);
    void apply_duty(int code, Step& step);
    void apply_frequency(int code, Step& step);
    void expire(Pending& p, std::initializer_list<Status*> shown, const char* what,
                Clock::time_point now, Step& step);
    // Asks for a flag setting: shown as asked, busy until its report comes.
    void ask(Shown<bool>& shown, Pending& p, bool value, const char* if_true, const char* if_false,
             Clock::time_point now, Step& step);
    void send_duty(Clock::time_point now, Step& step);
    static std::optional<QString> outside_duty(double percent);
    void press(bool pressed, Clock::time_point now, Step& step);
    void forget_pending();

    State st;
    QByteArray RX_buf;
    Pending control, mode, duty, frequency, shutter;
    bool knob_in_control = false; // as the last control report said
    Clock::time_point exposure_end{};
};

} // namespace inverter
