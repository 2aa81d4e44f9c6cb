#include "setup_page.h"

#include "inverter_session.h"
#include "parameters.h"
#include "server_settings.h"

#include <QDebug>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

const QString prefix = QStringLiteral("/setup/v1/covercalibrator/0/");

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
    const QJsonObject o{{"Connected", session.connected()},
                        {"Connecting", session.connecting()},
                        {"Serial", settings.serial()},
                        {"Devices", QJsonArray::fromStringList(serial_devices(settings.folder()))},
                        {"PcControl", s.pc_control.value},
                        {"VoltageMode", s.voltage_mode.value},
                        {"LightOn", s.light_on.value},
                        {"DutyPercent", s.light_on.value ? s.intensity.value : 0},
                        {"Frequency", s.frequency.value},
                        {"ShutterPressed", s.shutter_pressed.value},
                        {"ExposureRunning", s.exposure.status == inverter::Status::busy},
                        {"Warning", session.last_warning()}};
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
