#include "inverter_model.h"

#include "code_text.h"
#include "framing.h"
#include "numbers.h"
#include "report.h"
#include "wire.h"

#include <cmath>

namespace inverter {

namespace {

// The whole code a duty or frequency report carries, when it is one within
// [min, max].
std::optional<int> whole_code(const Report& report, int min, int max) {
    if (report.tenths % 10 != 0) return std::nullopt;
    const int code = report.tenths / 10;
    if (code < min || code > max) return std::nullopt;
    return code;
}

// The code of an asked value that lies between two of the inverter's steps is
// the nearer one's; a value half-way between goes to the step above.
int nearest_code(double value, int per_code) {
    return static_cast<int>(std::lround(value / per_code));
}

// False for NaN, which fails every comparison.
bool within(double value, double min, double max) {
    return value >= min && value <= max;
}

Step refusal(const QString& why) {
    Step step;
    step.refused = why;
    return step;
}

Step value_refusal(const QString& why) {
    Step step = refusal(why);
    step.value_refused = true;
    return step;
}

} // namespace

std::optional<Clock::time_point> Model::next_deadline() const {
    std::optional<Clock::time_point> next;
    const auto consider = [&](std::optional<Clock::time_point> t) {
        if (t && (!next || *t < *next)) next = t;
    };
    for (const InFlight* kind : {&control, &mode, &duty, &frequency, &shutter})
        consider(kind->next_due());
    consider(exposure_end());
    return next;
}

std::optional<Clock::time_point> Model::exposure_end() const {
    if (st.exposure.status != Status::busy) return std::nullopt;
    return exposure_ends;
}

Step Model::open(Clock::time_point now) {
    State fresh;
    fresh.frequency.value = st.frequency.value;
    fresh.link = Link::answering;
    st = fresh;
    kept.status = Status::idle;
    lit = false;
    RX_buf.clear();
    forget_in_flight();
    knob_in_control = false;
    pc_refused = false;
    show_light();
    Step step;
    ask(st.pc_control, control, true, wire::pc_control, wire::front_panel_control, now, step);
    return step;
}

Step Model::close() {
    Step step;
    if (st.link == Link::online && st.exposure.status == Status::busy) {
        st.exposure.status = Status::ok;
        step.commands << wire::shutter_released;
    }
    // Also after a connect that is still waiting: the inverter may yet take ":O#".
    if (st.link != Link::offline) step.commands << wire::front_panel_control;
    st.link = Link::offline;
    forget_in_flight();
    return step;
}

Step Model::lost() {
    Step step;
    if (st.exposure.status == Status::busy) {
        st.exposure.status = Status::alert;
        step.warnings << QStringLiteral("The line was lost during an exposure.");
    }
    st.link = Link::offline;
    forget_in_flight();
    return step;
}

void Model::forget_in_flight() {
    for (InFlight* kind : {&control, &mode, &duty, &frequency, &shutter})
        kind->forget();
}

Step Model::receive(QByteArrayView bytes, Clock::time_point now) {
    Step step;
    if (st.link == Link::offline) return step;
    for (const QByteArray& frame : take_frames(RX_buf, bytes))
        apply(read_report(QString::fromLatin1(frame)), frame, now, step);
    return step;
}

void Model::apply(const Report& report, const QByteArray& frame, Clock::time_point now,
                  Step& step) {
    const auto out_of_range = [&] {
        step.warnings << QStringLiteral("Ignored the report %1: no code the inverter takes.")
                             .arg(QString::fromLatin1(frame));
    };
    if (report.kind == ReportKind::control) {
        apply_control(report.flag == QLatin1Char(wire::flag_pc), now, step);
        return;
    }
    // Until the inverter grants the PC control, nothing else it says is of
    // this connection: it may be what it sent before the line opened.
    if (st.link != Link::online) return;
    switch (report.kind) {
    case ReportKind::mode:
        settle(st.voltage_mode, mode, report.flag == QLatin1Char(wire::flag_voltage),
               "adjustment mode", step);
        break;
    case ReportKind::shutter:
        settle(st.shutter_pressed, shutter, report.flag != QLatin1Char(wire::flag_released),
               "shutter", step);
        break;
    case ReportKind::duty:
        if (const auto code = whole_code(report, duty_code_min, duty_code_max))
            apply_duty(*code, step);
        else
            out_of_range();
        break;
    case ReportKind::frequency:
        if (const auto code = whole_code(report, frequency_code_min, frequency_code_max))
            apply_frequency(*code, step);
        else
            out_of_range();
        break;
    case ReportKind::beep:
        step.notes << QStringLiteral("The inverter beeped.");
        break;
    case ReportKind::control:
    case ReportKind::other:
        break;
    }
}

void Model::apply_control(bool pc, Clock::time_point now, Step& step) {
    const bool connecting = st.link == Link::answering;
    // Only the grant answers a connect: the knob's control reported then is
    // most likely the answer to the last connection's ":F#".
    if (connecting && !pc) {
        pc_refused = true;
        return;
    }
    // The inverter runs what it ran before it granted the PC control: the
    // light shown is made true on the line.
    const bool granted = pc && (connecting || knob_in_control);
    if (connecting) st.link = Link::online;
    knob_in_control = !pc;
    settle(st.pc_control, control, pc, "control source", step);
    if (granted) send_duty(now, step);
}

void Model::settle(Shown<bool>& shown, InFlight& kind, bool reported, const char* what,
                   Step& step) {
    switch (kind.answer(reported)) {
    case Answer::early:
    case Answer::late:
        return;
    case Answer::contradicted:
        shown = {reported, kind.waiting() ? Status::busy : Status::alert};
        step.warnings << QStringLiteral("The inverter did not take the %1 asked for.")
                             .arg(QLatin1String(what));
        return;
    case Answer::confirmed:
    case Answer::unasked:
    case Answer::stray: // a change made on the inverter itself
        shown = {reported, Status::ok};
        return;
    }
}

bool Model::from_knob(Answer a) const {
    return a == Answer::unasked || (knob_in_control && a != Answer::early);
}

void Model::apply_duty(int code, Step& step) {
    const Answer a = duty.answer(code);
    const int percent = code * percent_per_duty_code;
    const Status still = duty.waiting() ? Status::busy : Status::ok;
    if (a == Answer::late) return;
    if (from_knob(a)) {
        // Nothing asked this duty: the knob set it, and a duty of 0 keeps the intensity.
        st.duty = {percent, still};
        st.light_on.value = lit = code > 0;
        if (code > 0) kept = {percent, Status::ok};
    } else if (a == Answer::confirmed || a == Answer::early) {
        st.duty = {percent, still};
        lit = a == Answer::confirmed ? st.light_on.value : code > 0;
    } else {
        st.duty = {percent, duty.waiting() ? Status::busy : Status::alert};
        lit = code > 0;
        step.warnings << QStringLiteral("The inverter runs at a duty of %1 %, not the %2 % asked.")
                             .arg(percent)
                             .arg(duty.asked().value_or(0) * percent_per_duty_code);
    }
    show_light();
}

void Model::apply_frequency(int code, Step& step) {
    const Answer a = frequency.answer(code);
    if (a == Answer::late) return;
    const bool contradicted = !from_knob(a) && a != Answer::confirmed && a != Answer::early;
    const Status settled = contradicted ? Status::alert : Status::ok;
    st.frequency = {code * hertz_per_frequency_code, frequency.waiting() ? Status::busy : settled};
    if (contradicted)
        step.warnings << QStringLiteral("The inverter runs at %1 Hz, not the %2 Hz asked.")
                             .arg(code * hertz_per_frequency_code)
                             .arg(frequency.asked().value_or(0) * hertz_per_frequency_code);
}

void Model::show_light() {
    st.light_on.status = st.duty.status;
    st.intensity = {lit ? st.duty.value : kept.value,
                    st.light_on.value ? st.duty.status : kept.status};
}

Step Model::tick(Clock::time_point now) {
    Step step;
    if (st.link == Link::answering) {
        if (!control.expire(now)) return step;
        // Given up, control goes back to the knob in case ":O#" was taken late.
        st.link = Link::offline;
        forget_in_flight();
        step.commands << wire::front_panel_control;
        step.warnings << (pc_refused ? QStringLiteral("The inverter answered but kept its "
                                                      "front-panel control.")
                                     : QStringLiteral("The inverter did not answer within 1 s. Is "
                                                      "it switched on, and is this its port?"));
        return step;
    }
    expire(control, st.pc_control.status, "control source", now, step);
    expire(mode, st.voltage_mode.status, "adjustment mode", now, step);
    expire(duty, st.duty.status, "duty", now, step);
    show_light();
    expire(frequency, st.frequency.status, "frequency", now, step);
    expire(shutter, st.shutter_pressed.status, "shutter", now, step);
    if (st.exposure.status == Status::busy && now >= exposure_ends) {
        st.exposure.status = Status::ok;
        press(false, now, step);
    }
    return step;
}

void Model::expire(InFlight& kind, Status& status, const char* what, Clock::time_point now,
                   Step& step) {
    if (!kind.expire(now)) return;
    status = Status::alert;
    step.warnings << QStringLiteral("The inverter did not confirm the %1 within 1 s.")
                         .arg(QLatin1String(what));
}

void Model::send(InFlight& kind, int value, QByteArray command, Clock::time_point now, Step& step) {
    kind.send(value, now + reply_time);
    step.commands << std::move(command);
}

std::optional<QString> Model::unusable(Needs needs) const {
    if (st.link != Link::online) return QStringLiteral("The inverter is not connected.");
    if (needs == Needs::pc && !st.pc_control.value)
        return QStringLiteral("The front-panel knob has control: give the PC control first.");
    if (needs == Needs::knob && st.pc_control.value)
        return QStringLiteral("The PC has control: the knob's adjustment mode is chosen while "
                              "the front panel has control.");
    return std::nullopt;
}

void Model::send_duty(Clock::time_point now, Step& step) {
    const int code = st.light_on.value ? kept.value / percent_per_duty_code : 0;
    send(duty, code, code_command(wire::duty, code), now, step);
    st.duty.status = Status::busy;
    show_light();
}

void Model::ask(Shown<bool>& shown, InFlight& kind, bool value, const char* if_true,
                const char* if_false, Clock::time_point now, Step& step) {
    shown = {value, Status::busy};
    send(kind, value, value ? if_true : if_false, now, step);
}

void Model::press(bool pressed, Clock::time_point now, Step& step) {
    ask(st.shutter_pressed, shutter, pressed, wire::shutter_pressed, wire::shutter_released, now,
        step);
}

Step Model::set_light(bool on, Clock::time_point now) {
    if (const auto why = unusable(Needs::pc)) return refusal(*why);
    Step step;
    st.light_on.value = on;
    send_duty(now, step);
    return step;
}

std::optional<QString> Model::outside_duty(double percent) {
    if (within(percent, 0, duty_code_max * percent_per_duty_code)) return std::nullopt;
    return QStringLiteral("The intensity must be a number from 0 to %1 %.")
        .arg(duty_code_max * percent_per_duty_code);
}

Step Model::set_intensity(double percent, Clock::time_point now) {
    if (const auto why = outside_duty(percent)) return value_refusal(*why);
    // While the light is off the intensity is only kept for turning it on.
    if (const auto why = unusable(st.light_on.value ? Needs::pc : Needs::link))
        return refusal(*why);
    Step step;
    const auto code = nearest_code(percent, percent_per_duty_code);
    kept = {code * percent_per_duty_code, Status::ok};
    if (st.light_on.value)
        send_duty(now, step);
    else
        show_light();
    return step;
}

Step Model::light_at(double percent, Clock::time_point now) {
    if (const auto why = outside_duty(percent)) return value_refusal(*why);
    if (const auto why = unusable(Needs::pc)) return refusal(*why);
    Step step;
    const auto code = nearest_code(percent, percent_per_duty_code);
    kept = {code * percent_per_duty_code, Status::ok};
    st.light_on.value = true;
    send_duty(now, step);
    return step;
}

Step Model::set_frequency(double hertz, Clock::time_point now) {
    if (!within(hertz, frequency_code_min * hertz_per_frequency_code,
                frequency_code_max * hertz_per_frequency_code))
        return value_refusal(QStringLiteral("The frequency must be a number from %1 to %2 Hz.")
                                 .arg(frequency_code_min * hertz_per_frequency_code)
                                 .arg(frequency_code_max * hertz_per_frequency_code));
    if (const auto why = unusable(Needs::pc)) return refusal(*why);
    Step step;
    const auto code = nearest_code(hertz, hertz_per_frequency_code);
    st.frequency.status = Status::busy;
    send(frequency, code, code_command(wire::frequency, code), now, step);
    return step;
}

Step Model::set_pc_control(bool pc, Clock::time_point now) {
    if (const auto why = unusable(Needs::link)) return refusal(*why);
    Step step;
    ask(st.pc_control, control, pc, wire::pc_control, wire::front_panel_control, now, step);
    return step;
}

Step Model::set_voltage_mode(bool voltage, Clock::time_point now) {
    if (const auto why = unusable(Needs::knob)) return refusal(*why);
    Step step;
    ask(st.voltage_mode, mode, voltage, wire::voltage_mode, wire::frequency_mode, now, step);
    return step;
}

Step Model::set_shutter(bool pressed, Clock::time_point now) {
    if (const auto why = unusable(Needs::link)) return refusal(*why);
    Step step;
    // The user takes the shutter over from a running exposure.
    if (st.exposure.status == Status::busy) st.exposure.status = Status::idle;
    press(pressed, now, step);
    return step;
}

Step Model::expose(double seconds, Clock::time_point now) {
    if (!within(seconds, 0, longest_exposure))
        return value_refusal(
            QStringLiteral("The exposure must be a number from 0 to %1 s.").arg(longest_exposure));
    if (const auto why = unusable(Needs::link)) return refusal(*why);
    Step step;
    const bool running = st.exposure.status == Status::busy;
    st.exposure = {seconds, seconds > 0 ? Status::busy : Status::ok};
    if (seconds > 0) {
        exposure_ends =
            now + std::chrono::ceil<Clock::duration>(std::chrono::duration<double>(seconds));
        press(true, now, step);
    } else if (running) {
        press(false, now, step);
    }
    return step;
}

} // namespace inverter
