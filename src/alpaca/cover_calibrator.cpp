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
using calibrator::either;
using inverter::Clock;
using inverter::Model;
using inverter::State;
using inverter::Status;

namespace {

QJsonArray device_state(const State& s) {
    const auto item = [](const char* name, const QJsonValue& v) {
        return QJsonObject{{"Name", QLatin1String(name)}, {"Value", v}};
    };
    return {item("Brightness", brightness(s)),
            item("CalibratorState", calibrator_state(s)),
            item("CalibratorChanging", either(s, Status::busy)),
            item("CoverState", 0),
            item("CoverMoving", false),
            item("TimeStamp", QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs))};
}

} // namespace

CoverCalibrator::CoverCalibrator(InverterSession& s, std::function<QString()> d)
    : session(s), device(std::move(d)) {
    connect(&session, &InverterSession::finished, this, [this](bool connected, const QString& why) {
        if (!connected) connect_failure = why;
        const Result r = connected ? Result{} : Result::failure(alpaca::driver_error, why);
        for (const alpaca::Respond& respond : std::exchange(awaiting_connect, {}))
            respond(r);
    });
    connect(&session, &InverterSession::closed, this, [this] {
        for (const alpaca::Respond& respond : std::exchange(awaiting_close, {}))
            respond({});
    });
}

QStringList CoverCalibrator::actions() {
    return {QStringLiteral("Frequency"), QStringLiteral("ControlSource"),
            QStringLiteral("ShutterExposure")};
}

bool CoverCalibrator::call(const QString& member, bool put, const Parameters& p,
                           const alpaca::Respond& respond) {
    if (put) {
        if (member == u"connect") {
            connect_device(respond, false);
        } else if (member == u"disconnect") {
            disconnect_device(respond);
        } else if (member == u"connected") {
            set_connected(p, respond);
        } else if (member == u"calibratoron" || member == u"calibratoroff" || member == u"action" ||
                   member == u"opencover" || member == u"closecover" || member == u"haltcover" ||
                   member.startsWith(u"command")) {
            if (!session.connected())
                respond(Result::failure(alpaca::not_connected, "The inverter is not connected."));
            else if (member == u"calibratoron")
                respond(calibrator_on(p));
            else if (member == u"calibratoroff")
                respond(request(
                    [](Model& m, Clock::time_point now) { return m.set_light(false, now); }));
            else if (member == u"action")
                respond(action(p));
            else
                respond(Result::failure(alpaca::not_implemented,
                                        "This device has no cover and takes no raw commands."));
        } else {
            return false;
        }
        return true;
    }
    const Result r = state_member(member);
    if (r.bad_request) return false;
    respond(r);
    return true;
}

Result CoverCalibrator::state_member(const QString& member) {
    if (member == u"connected") return Result::of(session.connected());
    if (member == u"connecting") {
        // A failed asynchronous connect is told once, here, where the client waits for it.
        if (!connect_failure.isEmpty() && !session.connecting())
            return Result::failure(alpaca::driver_error, std::exchange(connect_failure, {}));
        return Result::of(session.connecting());
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
    if (member == u"calibratorchanging") return Result::of(either(s, Status::busy));
    if (member == u"coverstate") return Result::of(0); // NotPresent
    if (member == u"covermoving") return Result::of(false);
    if (member == u"maxbrightness") return Result::of(max_brightness);
    return Result::of(device_state(s));
}

void CoverCalibrator::connect_device(const alpaca::Respond& respond, bool wait) {
    if (session.connected()) return respond({});
    if (!session.connecting()) {
        const QString path = device();
        QString why;
        if (path.isEmpty())
            why = QStringLiteral("No serial device is chosen: pick one on the setup page or "
                                 "start with --serial.");
        if (!why.isEmpty() || !session.open(path, why)) {
            qWarning().noquote() << "Connect failed:" << why;
            return respond(Result::failure(alpaca::driver_error, why));
        }
        connect_failure.clear();
    }
    if (wait)
        awaiting_connect.append(respond);
    else
        respond({});
}

void CoverCalibrator::disconnect_device(const alpaca::Respond& respond) {
    awaiting_close.append(respond);
    session.close();
}

void CoverCalibrator::set_connected(const Parameters& p, const alpaca::Respond& respond) {
    const QString value = p.value(u"Connected").value_or(QString()).toLower();
    if (value == u"true")
        connect_device(respond, true);
    else if (value == u"false")
        disconnect_device(respond);
    else
        respond(Result::refused(QStringLiteral("Connected must be true or false.")));
}

Result CoverCalibrator::calibrator_on(const Parameters& p) {
    const std::optional<int> code = whole_number(p.value(u"Brightness").value_or(QString()));
    if (!code) return Result::refused(QStringLiteral("Brightness must be a whole number."));
    if (*code < 0 || *code > max_brightness)
        return Result::failure(alpaca::invalid_value,
                               QStringLiteral("Brightness must be 0 to %1.").arg(max_brightness));
    return request([percent = *code * inverter::percent_per_duty_code](
                       Model& m, Clock::time_point now) { return m.light_at(percent, now); });
}

Result CoverCalibrator::action(const Parameters& p) {
    const std::optional<QString> name = p.value(u"Action");
    const std::optional<QString> parameters = p.value(u"Parameters");
    if (!name || !parameters)
        return Result::refused(QStringLiteral("Action and Parameters are required."));
    const State& s = session.state();
    const QString& arg = *parameters;
    if (name->compare(u"Frequency", Qt::CaseInsensitive) == 0) {
        if (arg.isEmpty()) return Result::of(QString::number(s.frequency.value));
        const std::optional<int> hertz = whole_number(arg);
        if (!hertz)
            return Result::failure(alpaca::invalid_value, "The frequency is in whole hertz.");
        Result r = request(
            [h = *hertz](Model& m, Clock::time_point now) { return m.set_frequency(h, now); });
        if (!r.error) r.value = QString::number(session.state().frequency.value);
        return r;
    }
    if (name->compare(u"ControlSource", Qt::CaseInsensitive) == 0) {
        const auto source = [this] {
            return QString::fromLatin1(session.state().pc_control.value ? "PC" : "FrontPanel");
        };
        if (arg.isEmpty()) return Result::of(source());
        const bool pc = arg.compare(u"PC", Qt::CaseInsensitive) == 0;
        if (!pc && arg.compare(u"FrontPanel", Qt::CaseInsensitive) != 0)
            return Result::failure(alpaca::invalid_value,
                                   "The control source is PC or FrontPanel.");
        Result r =
            request([pc](Model& m, Clock::time_point now) { return m.set_pc_control(pc, now); });
        if (!r.error) r.value = source();
        return r;
    }
    if (name->compare(u"ShutterExposure", Qt::CaseInsensitive) == 0) {
        // Read: the seconds left, in tenths rounded up, so that 0 means none runs.
        if (arg.isEmpty())
            return Result::of(
                QString::number(std::ceil(session.exposure_left().count() * 10) / 10));
        const std::optional<double> seconds = decimal_number(arg);
        if (!seconds) return Result::failure(alpaca::invalid_value, "The exposure is in seconds.");
        Result r =
            request([s = *seconds](Model& m, Clock::time_point now) { return m.expose(s, now); });
        if (!r.error) r.value = QString::number(*seconds);
        return r;
    }
    return Result::failure(alpaca::action_not_implemented,
                           QStringLiteral("No action %1; the actions are %2.")
                               .arg(*name, actions().join(QStringLiteral(", "))));
}

Result CoverCalibrator::request(const InverterSession::Request& r) {
    const inverter::Step step = session.request(r);
    if (step.refused.isEmpty()) return {};
    return Result::failure(step.value_refused ? alpaca::invalid_value : alpaca::invalid_operation,
                           step.refused);
}
