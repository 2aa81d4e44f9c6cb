#include "indi_latency.h"

#include "measure.h"
#include "support/indi_server.h"
#include "support/pty.h"

#include <QProcess>
#include <cstdio>

namespace {

constexpr int indi_changes = 200;

// Each look at a property starts an indi_getprop: asked for every 5 ms.
constexpr std::chrono::milliseconds property_poll(5);

} // namespace

IndiLatency measure_indi_latency(const QString& driver, int changes) {
    IndiLatency result;
    const IndiServer server(driver);
    if (!wait_for([&] { return !server.get("CONNECTION.CONNECT").isEmpty(); }, 10000,
                  property_poll)) {
        result.error = QStringLiteral("the driver did not come up");
        return result;
    }
    Pty line;
    server.set("DEVICE_PORT.PORT=" + line.slave_path());
    server.set("CONNECTION.CONNECT=On");
    if (line.read(3, 5000) != ":O#") {
        result.error = QStringLiteral("no handshake");
        return result;
    }
    line.write(":ELC1#");
    // The light, sent off at connecting, confirmed.
    if (line.read(4, 5000) != ":D00") {
        result.error = QStringLiteral("no light sent");
        return result;
    }
    line.write(":EDU00#");
    wait_for([&] { return server.get("CONNECTION._STATE") == "Ok"; }, 5000, property_poll);

    // A client started per change, as a script or an automation step would.
    for (int i = 0; i < changes; ++i) {
        const int code = 44 + i % 2;
        const QString setting = QStringLiteral("FREQUENCY.FREQUENCY_HZ=%1").arg(code * 10);
        QProcess setprop;
        const Clock::time_point start = Clock::now();
        setprop.start(QStringLiteral("indi_setprop"), server.client_arguments(setting));
        const QByteArray sent = line.read(4, 5000);
        const Clock::time_point arrived = Clock::now();
        setprop.waitForFinished(5000);
        if (sent != ":E" + QByteArray::number(code)) {
            result.error = QStringLiteral("unexpected command %1").arg(QString::fromLatin1(sent));
            return result;
        }
        result.set_to_wire_ms.push_back(ms_between(start, arrived));
        line.write(":EFQ" + sent.mid(2) + "#");
    }

    // The knob's reports show only while the front panel has control.
    line.write(":ELC0#");
    wait_for([&] { return server.get("CONTROL_SOURCE.CONTROL_FRONT_PANEL") == "On"; }, 5000,
             property_poll);

    // One client watching, line-buffered so that each update is printed at once.
    QProcess monitor;
    monitor.start(QStringLiteral("stdbuf"),
                  QStringList{QStringLiteral("-oL"), QStringLiteral("indi_getprop"),
                              QStringLiteral("-m"), QStringLiteral("-t"), QStringLiteral("3600")} +
                      server.client_arguments(
                          QStringLiteral("FLAT_LIGHT_INTENSITY.FLAT_LIGHT_INTENSITY_VALUE")));
    monitor.waitForReadyRead(5000); // the current value
    monitor.readAll();
    for (int i = 0; i < changes; ++i) {
        const int code = 10 + i % 2;
        const QByteArray shown = "=" + QByteArray::number(code * 2) + "\n";
        const Clock::time_point start = Clock::now();
        line.write(":EDU" + QByteArray::number(code) + "#");
        QByteArray printed;
        while (!printed.endsWith(shown) && monitor.waitForReadyRead(5000))
            printed += monitor.readAll();
        if (!printed.endsWith(shown)) {
            result.error = QStringLiteral("no update for report %1").arg(i);
            return result;
        }
        result.report_to_client_ms.push_back(ms_between(start, Clock::now()));
    }
    monitor.kill();
    monitor.waitForFinished();
    server.set("CONNECTION.DISCONNECT=On");
    return result;
}

Results indi_results(const QString& driver) {
    std::fprintf(stderr, "INDI driver...\n");
    const IndiLatency indi = measure_indi_latency(driver, indi_changes);
    Results r;
    r.complete = indi.error.isEmpty();
    const auto figures = [&](const std::vector<double>& ms) {
        return r.complete ? ms_spread(ms) + QStringLiteral(" (%1 changes)").arg(ms.size())
                          : QStringLiteral("failed: %1").arg(indi.error);
    };
    r.rows.push_back(
        {QStringLiteral("INDI driver: indi_setprop started to the command on the line"),
         figures(indi.set_to_wire_ms), QStringLiteral("p99 ≤ 50 ms"),
         r.complete && percentile(indi.set_to_wire_ms, 99) <= 50});
    r.rows.push_back({QStringLiteral("INDI driver: report on the line to the new intensity printed "
                                     "by a watching indi_getprop"),
                      figures(indi.report_to_client_ms), QStringLiteral("p99 ≤ 5 ms"),
                      r.complete && percentile(indi.report_to_client_ms, 99) <= 5});
    return r;
}
