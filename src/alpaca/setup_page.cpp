#include "setup_page.h"

#include "calibrator_status.h"
#include "inverter_session.h"
#include "parameters.h"
#include "server_settings.h"
#include "store/settings_folder.h"

#include <QDebug>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

const QString prefix = QStringLiteral("/setup/v1/covercalibrator/0/");

// Whether a setting shows the inverter's refusal or silence, which the last
// warning then explains.
bool alerting(const inverter::State& s) {
    using inverter::Status;
    for (const Status status : {s.pc_control.status, s.voltage_mode.status, s.duty.status,
                                s.frequency.status, s.shutter_pressed.status, s.exposure.status})
        if (status == Status::alert) return true;
    return false;
}

HttpAnswer page() {
    QFile html(QStringLiteral(":/setup.html"));
    html.open(QIODevice::ReadOnly);
    return {200, "text/html; charset=utf-8", html.readAll()};
}

} // namespace

SetupPage::SetupPage(const InverterSession& s, ServerSettings& c) : session(s), settings(c) {}

bool SetupPage::handle(const QString& path, const HttpRequest& request,
                       const std::function<void(const HttpAnswer&)>& reply) {
    const bool get = request.is_get();
    if (get && (path == u"/setup" || path == prefix + QLatin1String("setup")))
        reply(page());
    else if (get && path == prefix + QLatin1String("state"))
        reply(state());
    else if (request.method == "PUT" && path == prefix + QLatin1String("serial"))
        reply(choose_serial(request));
    else
        return false;
    return true;
}

HttpAnswer SetupPage::state() const {
    const inverter::State& s = session.state();
    // The comN links of the configuration folder and of the user's own, where
    // the panel and the simulator make them.
    const QStringList links = {settings.folder(), QString::fromStdString(user_settings_folder())};
    const bool online = session.connected();
    const QJsonObject o{{"Connected", online},
                        {"Connecting", session.connecting()},
                        {"Serial", settings.serial()},
                        {"Devices", QJsonArray::fromStringList(serial_devices(links))},
                        {"PcControl", s.pc_control.value},
                        {"VoltageMode", s.voltage_mode.value},
                        {"CalibratorState", calibrator::calibrator_state(s)},
                        {"Brightness", calibrator::brightness(s)},
                        {"Level", s.intensity.value}, // the duty % the light is on or turns on at
                        {"Frequency", s.frequency.value},
                        {"ShutterPressed", s.shutter_pressed.value},
                        {"ExposureLeft", session.exposure_left().count()},
                        {"Warning", online && alerting(s) ? session.last_warning() : QString()}};
    return {200, "application/json", QJsonDocument(o).toJson(QJsonDocument::Compact)};
}

HttpAnswer SetupPage::choose_serial(const HttpRequest& request) {
    const std::optional<QString> device = Parameters::of(request).value(u"Serial");
    if (!device || device->isEmpty()) return HttpAnswer::text(400, "Serial is required.");
    if (!settings.set_serial(*device))
        return HttpAnswer::text(500, "The configuration file cannot be written.");
    qInfo().noquote() << "Serial device set to" << *device;
    return {200, "application/json", "{}"};
}
