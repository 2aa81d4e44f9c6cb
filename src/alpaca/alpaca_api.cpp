#include "alpaca_api.h"

#include "cover_calibrator.h"
#include "server_settings.h"
#include "setup_page.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSysInfo>

namespace {

const QString device_prefix = QStringLiteral("/api/v1/covercalibrator/0/");

// A client's ClientID or ClientTransactionID: absent is 0; anything but a
// non-negative integer is refused; one too large for 32 bits is unusable, 0.
std::optional<quint32> client_number(const Parameters& p, QStringView name) {
    const std::optional<QString> text = p.value(name);
    if (!text) return 0;
    if (!all_digits(*text)) return std::nullopt;
    bool fits = false;
    const quint32 n = text->toUInt(&fits);
    return fits ? n : 0;
}

HttpAnswer json(const QJsonObject& object) {
    return {200, "application/json", QJsonDocument(object).toJson(QJsonDocument::Compact)};
}

} // namespace

AlpacaApi::AlpacaApi(CoverCalibrator& d, SetupPage& s, const ServerSettings& c)
    : device(d), setup(s), settings(c) {}

void AlpacaApi::handle(const HttpRequest& request, const Reply& reply) {
    ++transactions;
    const QString path = QString::fromUtf8(QByteArray::fromPercentEncoding(request.path));
    if (path.startsWith(device_prefix))
        return device_member(request, path.mid(device_prefix.size()), reply);
    if (path.startsWith(u"/api/"))
        return reply(HttpAnswer::text(400, "No such device: the one device is covercalibrator/0."));
    if (management(request, reply) || setup.handle(path, request, reply)) return;
    reply(HttpAnswer::text(404, "Not found"));
}

void AlpacaApi::device_member(const HttpRequest& request, const QString& member,
                              const Reply& reply) {
    const bool put = request.method == "PUT";
    const auto not_allowed = [&] {
        reply(HttpAnswer::text(405, "Alpaca members take GET or PUT."));
    };
    if (!put && !request.is_get()) return not_allowed();
    const Parameters p = Parameters::of(request);
    const std::optional<quint32> client = client_number(p, u"ClientTransactionID");
    const std::optional<quint32> client_id = client_number(p, u"ClientID");
    if (!client_id || !client)
        return reply(HttpAnswer::text(
            400, "ClientID and ClientTransactionID must be non-negative integers."));
    const quint32 server = transactions;
    const bool known = device.call(member, put, p, *client_id, [=](const alpaca::Result& r) {
        if (r.bad_request) return reply(HttpAnswer::text(400, r.message.toUtf8()));
        QJsonObject o{{"ClientTransactionID", qint64(*client)},
                      {"ServerTransactionID", qint64(server)},
                      {"ErrorNumber", r.error},
                      {"ErrorMessage", r.message}};
        if (!put && !r.error) o.insert("Value", r.value);
        if (put && !r.value.isUndefined()) o.insert("Value", r.value);
        reply(json(o));
    });
    if (!known && request.method == "HEAD")
        not_allowed();
    else if (!known)
        reply(HttpAnswer::text(400,
                               "No such member of covercalibrator/0 for " + request.method + '.'));
}

bool AlpacaApi::management(const HttpRequest& request, const Reply& reply) {
    QJsonValue value;
    if (request.path == "/management/apiversions") {
        value = QJsonArray{1};
    } else if (request.path == "/management/v1/description") {
        value = QJsonObject{{"ServerName", "Lumivane"},
                            {"Manufacturer", "Lumivane"},
                            {"ManufacturerVersion", LUMIVANE_VERSION},
                            {"Location", QSysInfo::machineHostName()}};
    } else if (request.path == "/management/v1/configureddevices") {
        value = QJsonArray{QJsonObject{{"DeviceName", "Lumivane"},
                                       {"DeviceType", "CoverCalibrator"},
                                       {"DeviceNumber", 0},
                                       {"UniqueID", settings.unique_id()}}};
    } else {
        return false;
    }
    if (!request.is_get()) {
        reply(HttpAnswer::text(405, "The management API takes GET."));
        return true;
    }
    const std::optional<quint32> client =
        client_number(Parameters::of(request), u"ClientTransactionID");
    if (!client) {
        reply(HttpAnswer::text(400, "ClientTransactionID must be a non-negative integer."));
        return true;
    }
    reply(json({{"Value", value},
                {"ClientTransactionID", qint64(*client)},
                {"ServerTransactionID", qint64(transactions)},
                {"ErrorNumber", 0},
                {"ErrorMessage", ""}}));
    return true;
}
