#include "cover_calibrator.h"

#include "calibrator_status.h"
#include "protocol/numbers.h"

#include <QDateTime>
#include <QDebug>
#include <QJsonArray>
#include <QJsonObject>
#include <cmath>

using alpaca::Result;
using calibrator::brightness;
using calibrator::calibrator_state;
using inverter::Clock;
using inverter::Model;
using inverter::State;
using inverter::Status;

namespace {

QJsonArray device_state(const State& s) {
    const auto item = [](const char* name, const QJsonValue& v) {
        return QJsonObject{{"Name", QLatin1String(name)}, {"Value", v}};
    };
    QJsonArray items;
    // A brightness not known yet is left out rather than guessed.
    if (s.duty.status != Status::idle) items << item("Brightness", brightness(s));
    items << item("CalibratorState", calibrator_state(s))
          << item("CalibratorChanging", s.duty.status == Status::busy) << item("CoverState", 0)
          << item("CoverMoving", false)
          << item("TimeStamp", QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs));
    return items;
}

} // namespace

CoverCalibrator::CoverCalibrator(InverterSession& s, std::function<QString()> d)
    : session(s), device(std::move(d)) {
    settle_timer.setSingleShot(true);
    connect(&settle_timer, &QTimer::timeout, this, &CoverCalibrator::answer_settled);
    connect(&session, &InverterSession::changed, this, &CoverCalibrator::answer_settled);
    connect(&session, &InverterSession::finished, this, &CoverCalibrator::connect_ended);
    connect(&session, &InverterSession::lost, this, [this] {
        for (Client& c : known)
            c.connected = false;
        for (const quint32 id : known.keys())
            forget_idle(id);
    });
    connect(&session, &InverterSession::closed, this, [this] {
        for (const alpaca::Respond& respond : std::exchange(awaiting_close, {}))
            respond({});
        // Clients that connected while the line was closing.
        if (clients() > 0) open_line();
    });
}

QStringList CoverCalibrator::actions() {
    return {QStringLiteral("Frequency"), QStringLiteral("ControlSource"),
            QStringLiteral("AdjustMode"), QStringLiteral("ShutterExposure")};
}

int CoverCalibrator::clients() const {
    return int(
        std::count_if(known.begin(), known.end(), [](const Client& c) { return c.connected; }));
}

bool CoverCalibrator::call(const QString& member, bool put, const Parameters& p, quint32 client,
                           const alpaca::Respond& respond) {
    if (!put) {
        const Result r = state_member(member, client);
        if (r.bad_request) return false;
        respond(r);
    } else if (member == u"connect") {
        connect_client(client, respond, false);
    } else if (member == u"disconnect") {
        disconnect_client(client, respond);
    } else if (member == u"connected") {
        set_connected(p, client, respond);
    } else if (member == u"calibratoron" || member == u"calibratoroff" || member == u"action" ||
               member == u"opencover" || member == u"closecover" || member == u"haltcover" ||
               member.startsWith(u"command")) {
        device_request(member, p, respond);
    } else {
        return false;
    }
    return true;
}

Result CoverCalibrator::state_member(const QString& member, quint32 client) {
    const Client mine = known.value(client);
    if (member == u"connected") return Result::of(mine.connected && session.connected());
    if (member == u"connecting") {
        // A failed asynchronous connect is told once, here, where the client waits for it.
        if (!mine.untold.isEmpty()) {
            const QString why = std::exchange(known[client].untold, {});
            forget_idle(client);
            return Result::failure(alpaca::driver_error, why);
        }
        return Result::of(mine.connected && session.busy() && !session.connected());
    }
    if (member == u"name") return Result::of("Lumivane");
    if (member == u"description") return Result::of("Lumivane EL panel inverter");
    if (member == u"driverinfo")
        return Result::of("Lumivane " LUMIVANE_VERSION ": the EL panel inverter as a flat-field "
                          "calibrator over ASCOM Alpaca");
    if (member == u"driverversion") return Result::of(LUMIVANE_VERSION);
    if (member == u"interfaceversion") return Result::of(2);
    if (member == u"supportedactions") return Result::of(QJsonArray::fromStringList(actions()));
    static const QStringList device_members = {
        "brightness",  "calibratorstate", "calibratorchanging", "coverstate",
        "covermoving", "maxbrightness",   "devicestate"};
    if (!device_members.contains(member)) return Result::refused("No such member.");
    if (!session.connected())
        return Result::failure(alpaca::not_connected, "The inverter is not connected.");
    const State& s = session.state();
    if (member == u"brightness") return Result::of(brightness(s));
    if (member == u"calibratorstate") return Result::of(calibrator_state(s));
    if (member == u"calibratorchanging") return Result::of(s.duty.status == Status::busy);
    if (member == u"coverstate") return Result::of(0); // NotPresent
    if (member == u"covermoving") return Result::of(false);
    if (member == u"maxbrightness") return Result::of(max_brightness);
    return Result::of(device_state(s));
}

void CoverCalibrator::connect_client(quint32 client, const alpaca::Respond& respond, bool wait) {
    if (!known.contains(client) && known.size() >= max_clients) {
        // Failures nobody asked about yet make room first.
        for (auto it = known.begin(); it != known.end();)
            it = it->connected ? std::next(it) : known.erase(it);
        if (known.size() >= max_clients)
            return respond(Result::failure(alpaca::driver_error,
                                           QStringLiteral("Too many clients are connected.")));
    }
    Client& c = known[client];
    c.untold.clear();
    if (!session.busy()) {
        const QString path = device();
        QString why;
        if (path.isEmpty())
            why = QStringLiteral("No serial device is chosen: pick one on the setup page or "
                                 "start with --serial.");
        if (!why.isEmpty() || !session.open(path, why)) {
            qWarning().noquote() << "Connect failed:" << why;
            forget_idle(client);
            return respond(Result::failure(alpaca::driver_error, why));
        }
    }
    c.connected = true;
    // Online, or opening (now, or once a closing line has drained).
    if (wait && !session.connected())
        c.waiting.append(respond);
    else
        respond({});
}

void CoverCalibrator::open_line() {
    QString why;
    if (!session.open(device(), why)) connect_ended(false, why);
}

void CoverCalibrator::connect_ended(bool connected, const QString& why) {
    if (!connected) qWarning().noquote() << "Connect failed:" << why;
    const Result r = connected ? Result{} : Result::failure(alpaca::driver_error, why);
    for (auto it = known.begin(); it != known.end(); ++it) {
        Client& c = *it;
        if (!c.connected) continue;
        if (!connected && c.waiting.isEmpty()) c.untold = why;
        c.connected = connected;
        for (const alpaca::Respond& respond : std::exchange(c.waiting, {}))
            respond(r);
    }
    for (const quint32 id : known.keys())
        forget_idle(id);
}

void CoverCalibrator::disconnect_client(quint32 client, const alpaca::Respond& respond) {
    if (const auto it = known.find(client); it != known.end()) {
        it->connected = false;
        it->untold.clear();
        for (const alpaca::Respond& waiting : std::exchange(it->waiting, {}))
            waiting(Result::failure(alpaca::driver_error,
                                    QStringLiteral("Disconnected before the inverter answered.")));
        forget_idle(client);
    }
    // The line stays for the clients still connected.
    if (clients() > 0 || !session.busy()) return respond({});
    awaiting_close.append(respond);
    session.close();
}

void CoverCalibrator::forget_idle(quint32 client) {
    const auto it = known.find(client);
    if (it != known.end() && !it->connected && it->waiting.isEmpty() && it->untold.isEmpty())
        known.erase(it);
}

void CoverCalibrator::set_connected(const Parameters& p, quint32 client,
                                    const alpaca::Respond& respond) {
    const QString value = p.value(u"Connected").value_or(QString()).toLower();
    if (value == u"true")
        connect_client(client, respond, true);
    else if (value == u"false")
        disconnect_client(client, respond);
    else
        respond(Result::refused(QStringLiteral("Connected must be true or false.")));
}

void CoverCalibrator::device_request(const QString& member, const Parameters& p,
                                     const alpaca::Respond& respond) {
    if (!session.connected())
        return respond(Result::failure(alpaca::not_connected, "The inverter is not connected."));
    if (member == u"calibratoron") return calibrator_on(p, respond);
    if (member == u"calibratoroff")
        return request([](Model& m, Clock::time_point now) { return m.set_light(false, now); },
                       [this] { return session.state().duty.status != Status::busy; },
                       [] { return Result{}; }, respond);
    if (member == u"action") return action(p, respond);
    respond(Result::failure(alpaca::not_implemented,
                            "This device has no cover and takes no raw commands."));
}

void CoverCalibrator::calibrator_on(const Parameters& p, const alpaca::Respond& respond) {
    const std::optional<int> code = whole_number(p.value(u"Brightness").value_or(QString()));
    if (!code)
        return respond(Result::refused(QStringLiteral("Brightness must be a whole number.")));
    if (*code < 0 || *code > max_brightness)
        return respond(
            Result::failure(alpaca::invalid_value,
                            QStringLiteral("Brightness must be 0 to %1.").arg(max_brightness)));
    request([percent = *code * inverter::percent_per_duty_code](
                Model& m, Clock::time_point now) { return m.light_at(percent, now); },
            [this] { return session.state().duty.status != Status::busy; }, [] { return Result{}; },
            respond);
}

void CoverCalibrator::action(const Parameters& p, const alpaca::Respond& respond) {
    const std::optional<QString> name = p.value(u"Action");
    const std::optional<QString> parameters = p.value(u"Parameters");
    if (!name || !parameters)
        return respond(Result::refused(QStringLiteral("Action and Parameters are required.")));
    const QString& arg = *parameters;
    if (name->compare(u"Frequency", Qt::CaseInsensitive) == 0) {
        const auto frequency = [this] {
            return Result::of(QString::number(session.state().frequency.value));
        };
        if (arg.isEmpty()) return respond(frequency());
        const std::optional<int> hertz = whole_number(arg);
        if (!hertz)
            return respond(
                Result::failure(alpaca::invalid_value, "The frequency is in whole hertz."));
        return request(
            [h = *hertz](Model& m, Clock::time_point now) { return m.set_frequency(h, now); },
            [this] { return session.state().frequency.status != Status::busy; }, frequency,
            respond);
    }
    static const Switch switches[] = {
        {QLatin1String("ControlSource"), QLatin1String("PC"), QLatin1String("FrontPanel"),
         "control source", &State::pc_control, &Model::set_pc_control},
        {QLatin1String("AdjustMode"), QLatin1String("Voltage"), QLatin1String("Frequency"),
         "adjustment mode", &State::voltage_mode, &Model::set_voltage_mode}};
    for (const Switch& s : switches)
        if (name->compare(s.action, Qt::CaseInsensitive) == 0)
            return switch_action(s, arg, respond);
    if (name->compare(u"ShutterExposure", Qt::CaseInsensitive) == 0) {
        // Read: the seconds left, in tenths rounded up, so that 0 means none runs.
        if (arg.isEmpty())
            return respond(
                Result::of(QString::number(std::ceil(session.exposure_left().count() * 10) / 10)));
        const std::optional<double> seconds = decimal_number(arg);
        if (!seconds)
            return respond(Result::failure(alpaca::invalid_value, "The exposure is in seconds."));
        return request([s = *seconds](Model& m, Clock::time_point now) { return m.expose(s, now); },
                       [this] { return session.state().shutter_pressed.status != Status::busy; },
                       [s = *seconds] { return Result::of(QString::number(s)); }, respond);
    }
    respond(Result::failure(alpaca::action_not_implemented,
                            QStringLiteral("No action %1; the actions are %2.")
                                .arg(*name, actions().join(QStringLiteral(", ")))));
}

void CoverCalibrator::switch_action(const Switch& s, const QString& arg,
                                    const alpaca::Respond& respond) {
    const auto current = [this, &s] {
        return Result::of((session.state().*s.shown).value ? s.if_true : s.if_false);
    };
    if (arg.isEmpty()) return respond(current());
    const bool on = arg.compare(s.if_true, Qt::CaseInsensitive) == 0;
    if (!on && arg.compare(s.if_false, Qt::CaseInsensitive) != 0)
        return respond(Result::failure(alpaca::invalid_value,
                                       QStringLiteral("The %1 is %2 or %3.")
                                           .arg(QLatin1String(s.what), s.if_true, s.if_false)));
    request([&s, on](Model& m, Clock::time_point now) { return (m.*s.set)(on, now); },
            [this, &s] { return (session.state().*s.shown).status != Status::busy; }, current,
            respond);
}

void CoverCalibrator::request(const InverterSession::Request& r, std::function<bool()> settled,
                              std::function<Result()> answer, const alpaca::Respond& respond) {
    const inverter::Step step = session.request(r);
    if (!step.refused.isEmpty())
        return respond(Result::failure(
            step.value_refused ? alpaca::invalid_value : alpaca::invalid_operation, step.refused));
    if (settled()) return respond(answer());
    settling.append({std::move(settled), std::move(answer), respond,
                     std::chrono::steady_clock::now() + report_wait});
    if (!settle_timer.isActive()) settle_timer.start(report_wait);
}

void CoverCalibrator::answer_settled() {
    const auto now = std::chrono::steady_clock::now();
    QList<Settling> due;
    for (auto it = settling.begin(); it != settling.end();) {
        if (it->settled() || now >= it->until) {
            due.append(std::move(*it));
            it = settling.erase(it);
        } else {
            ++it;
        }
    }
    if (settling.isEmpty())
        settle_timer.stop();
    else
        settle_timer.start(
            std::chrono::ceil<std::chrono::milliseconds>(settling.first().until - now));
    for (const Settling& s : due)
        s.respond(s.answer());
}
