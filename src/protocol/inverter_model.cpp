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
    const auto consider = [&](bool armed, Clock::time_point t) {
        if (armed && (!next || t < *next)) next = t;
    };
    for (const Pending* p : {&control, &mode, &duty, &frequency, &shutter})
        consider(p->unanswered > 0, p->due);
    consider(st.exposure.status == Status::busy, exposure_end);
    return next;
}

Step Model::open(Clock::time_point now) {
    State fresh;
    fresh.intensity.value = st.intensity.value;
    fresh.frequency.value = st.frequency.value;
    fresh.link = Link::answering;
    st = fresh;
    RX_buf.clear();
    forget_pending();
    knob_in_control = false;
    Step step;
    ask(st.pc_control, control, true, wire::pc_control, wire::front_panel_control, now, step);
    return step;
}

Step Model::close() {
    Step step;
    if (st.link == Link::online) {
        if (st.exposure.status == Status::busy) {
            st.exposure.status = Status::ok;
            step.commands << wire::shutter_released;
        }
        step.commands << wire::front_panel_control;
    }
    st.link = Link::offline;
    forget_pending();
    return step;
}

Step Model::lost() {
    Step step;
    if (st.exposure.status == Status::busy) {
        st.exposure.status = Status::alert;
        step.warnings << QStringLiteral("The line was lost during an exposure.");
    }
    st.link = Link::offline;
    forget_pending();
    return step;
}

void Model::forget_pending() {
    control = mode = duty = frequency = shutter = Pending{};
}

Step Model::receive(QByteArrayView bytes) {
    Step step;
    if (st.link == Link::offline) return step;
    for (const QByteArray& frame : take_frames(RX_buf, bytes))
        apply(read_report(QString::fromLatin1(frame)), frame, step);
    return step;
}

void Model::apply(const Report& report, const QByteArray& frame, Step& step) {
    const auto out_of_range = [&] {
        step.warnings << QStringLiteral("Ignored the report %1: no code the inverter takes.")
                             .arg(QString::fromLatin1(frame));
    };
    switch (report.kind) {
    case ReportKind::control: {
        const bool pc = report.flag == QLatin1Char(wire::flag_pc);
        knob_in_control = !pc;
        if (st.link == Link::answering) st.link = Link::online;
        settle(st.pc_control, control, pc, "control source", step);
        break;
    }
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
    case ReportKind::other:
        break;
    }
}

void Model::settle(Shown<bool>& shown, Pending& p, bool reported, const char* what, Step& step) {
    const Answer a = answer(p, reported);
    if (a == Answer::early) return;
    shown = {reported, a == Answer::contradicted ? Status::alert : Status::ok};
    if (a == Answer::contradicted)
        step.warnings << QStringLiteral("The inverter did not take the %1 asked for.")
                             .arg(QLatin1String(what));
}

void Model::apply_duty(int code, Step& step) {
    const Answer a = answer(duty, code);
    if (a == Answer::unsolicited) {
        // Only the knob moves the duty unasked; a duty of 0 keeps the intensity.
        if (!knob_in_control) return;
        st.light_on = {code > 0, Status::ok};
        if (code > 0) st.intensity = {code * percent_per_duty_code, Status::ok};
        return;
    }
    if (a == Answer::early) return;
    const Status settled = a == Answer::confirmed ? Status::ok : Status::alert;
    for (Status* s : {&st.light_on.status, &st.intensity.status})
        if (*s == Status::busy) *s = settled;
    if (a == Answer::contradicted)
        step.warnings << QStringLiteral("The inverter runs at a duty of %1 %, not the %2 % asked.")
                             .arg(code * percent_per_duty_code)
                             .arg(duty.asked * percent_per_duty_code);
}

void Model::apply_frequency(int code, Step& step) {
    const Answer a = answer(frequency, code);
    if (a == Answer::early || (a == Answer::unsolicited && !knob_in_control)) return;
    st.frequency = {code * hertz_per_frequency_code,
                    a == Answer::contradicted ? Status::alert : Status::ok};
    if (a == Answer::contradicted)
        step.warnings << QStringLiteral("The inverter did not take the frequency asked for.");
}

Step Model::tick(Clock::time_point now) {
    Step step;
    if (st.link == Link::answering && now >= control.due) {
        st.link = Link::offline;
        forget_pending();
        step.warnings << QStringLiteral("The inverter did not answer within 1 s. Is it switched "
                                        "on, and is this its port?");
        return step;
    }
    expire(control, {&st.pc_control.status}, "control source", now, step);
    expire(mode, {&st.voltage_mode.status}, "adjustment mode", now, step);
    expire(duty, {&st.light_on.status, &st.intensity.status}, "duty", now, step);
    expire(frequency, {&st.frequency.status}, "frequency", now, step);
    expire(shutter, {&st.shutter_pressed.status}, "shutter", now, step);
    if (st.exposure.status == Status::busy && now >= exposure_end) {
        st.exposure.status = Status::ok;
        press(false, now, step);
    }
    return step;
}

void Model::expire(Pending& p, std::initializer_list<Status*> shown, const char* what,
                   Clock::time_point now, Step& step) {
    if (p.unanswered == 0 || now < p.due) return;
    p.unanswered = 0;
    for (Status* s : shown)
        if (*s == Status::busy) *s = Status::alert;
    step.warnings << QStringLiteral("The inverter did not confirm the %1 within 1 s.")
                         .arg(QLatin1String(what));
}

void Model::send(Pending& p, int value, QByteArray command, Clock::time_point now, Step& step) {
    p.asked = value;
    ++p.unanswered;
    p.due = now + reply_time;
    step.commands << std::move(command);
}

Model::Answer Model::answer(Pending& p, int reported) {
    if (p.unanswered == 0) return Answer::unsolicited;
    if (--p.unanswered > 0) return Answer::early;
    return reported == p.asked ? Answer::confirmed : Answer::contradicted;
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
    const int code = st.light_on.value ? st.intensity.value / percent_per_duty_code : 0;
    send(duty, code, code_command(wire::duty, code), now, step);
}

void Model::ask(Shown<bool>& shown, Pending& p, bool value, const char* if_true,
                const char* if_false, Clock::time_point now, Step& step) {
    shown = {value, Status::busy};
    send(p, value, value ? if_true : if_false, now, step);
}

void Model::press(bool pressed, Clock::time_point now, Step& step) {
    ask(st.shutter_pressed, shutter, pressed, wire::shutter_pressed, wire::shutter_released, now,
        step);
}

Step Model::set_light(bool on, Clock::time_point now) {
    if (const auto why = unusable(Needs::pc)) return refusal(*why);
    Step step;
    st.light_on = {on, Status::busy};
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
    const auto code = static_cast<int>(std::lround(percent / percent_per_duty_code));
    st.intensity = {code * percent_per_duty_code, st.light_on.value ? Status::busy : Status::ok};
    if (st.light_on.value) send_duty(now, step);
    return step;
}

Step Model::light_at(double percent, Clock::time_point now) {
    if (const auto why = outside_duty(percent)) return value_refusal(*why);
    if (const auto why = unusable(Needs::pc)) return refusal(*why);
    Step step;
    const auto code = static_cast<int>(std::lround(percent / percent_per_duty_code));
    st.light_on = {true, Status::busy};
    st.intensity = {code * percent_per_duty_code, Status::busy};
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
    const auto code = static_cast<int>(std::lround(hertz / hertz_per_frequency_code));
    st.frequency = {code * hertz_per_frequency_code, Status::busy};
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
        exposure_end =
            now + std::chrono::ceil<Clock::duration>(std::chrono::duration<double>(seconds));
        press(true, now, step);
    } else if (running) {
        press(false, now, step);
    }
    return step;
}

} // namespace inverter
