// lumivaned: the inverter as an ASCOM Alpaca CoverCalibrator, for imaging
// programs on the network, with a control page for the browser.
#include "alpaca_api.h"
#include "cover_calibrator.h"
#include "discovery.h"
#include "http_server.h"
#include "inverter_session.h"
#include "server_settings.h"
#include "setup_page.h"
#include "shared/ending_signals.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QStandardPaths>
#include <cstdio>

namespace {

struct Options {
    QString serial;
    QHostAddress listen;
    quint16 http_port = 11111;
    quint16 discovery_port = 32227;
    QString config;
};

// Reads the command line; exits with a message on a bad value.
Options parse(const QCoreApplication& app) {
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "Serves the EL panel inverter as an ASCOM Alpaca CoverCalibrator, with a control page "
        "at http://ADDRESS:PORT/setup. Alpaca has no authentication: keep it on loopback, a "
        "firewalled network or an SSH tunnel."));
    p.addHelpOption();
    p.addVersionOption();
    p.addOptions(
        {{"serial", "The serial device (default: the one saved in the configuration).", "DEVICE"},
         {"http-port", "The HTTP port (default 11111; 0: any free port).", "N", "11111"},
         {"discovery-port",
          "The Alpaca discovery port; 0 turns discovery off "
          "(default 32227).",
          "N", "32227"},
         {"listen",
          "The address to listen on (default 127.0.0.1; 0.0.0.0 or :: opens "
          "the server to the network).",
          "ADDRESS", "127.0.0.1"},
         {"config",
          "The configuration folder (default: lumivane in the user's "
          "configuration folder).",
          "DIR"}});
    p.process(app);
    const auto port = [&](const QString& name, int min) {
        bool ok = false;
        const uint n = p.value(name).toUInt(&ok);
        if (!ok || n < uint(min) || n > 65535) {
            std::fprintf(stderr, "lumivaned: --%s must be %d to 65535\n", qPrintable(name), min);
            std::exit(2);
        }
        return quint16(n);
    };
    Options o;
    o.serial = p.value("serial");
    // Port 0 lets the system choose a free port; the log names it.
    o.http_port = port("http-port", 0);
    o.discovery_port = port("discovery-port", 0);
    const QString address = p.value("listen");
    // "::" serves IPv4 and IPv6 alike.
    o.listen = address == u"::" ? QHostAddress(QHostAddress::Any) : QHostAddress(address);
    if (o.listen.isNull()) {
        std::fprintf(stderr, "lumivaned: --listen must be an IP address\n");
        std::exit(2);
    }
    o.config = p.isSet("config")
                   ? p.value("config")
                   : QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                         QStringLiteral("/lumivane");
    return o;
}

// The address as a URL names it: IPv6 in brackets, and the any-address of
// IPv4 and IPv6 together as IPv6's, "::".
QString url_host(const QHostAddress& address) {
    if (address.protocol() == QAbstractSocket::AnyIPProtocol) return QStringLiteral("[::]");
    if (address.protocol() == QAbstractSocket::IPv6Protocol)
        return u'[' + address.toString() + u']';
    return address.toString();
}

} // namespace

int main(int argc, char* argv[]) {
    const sigset_t ending = EndingSignals::block();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("lumivaned"));
    QCoreApplication::setApplicationVersion(QStringLiteral(LUMIVANE_VERSION));
    qSetMessagePattern(QStringLiteral("lumivaned: %{message}"));
    const Options o = parse(app);

    if (!QDir().mkpath(o.config)) {
        qCritical().noquote() << "Cannot make the configuration folder" << o.config;
        return 1;
    }
    ServerSettings settings(o.config);
    if (settings.status() != QSettings::NoError) {
        qCritical().noquote() << "Cannot read or write the configuration in" << o.config;
        return 1;
    }
    if (!o.serial.isEmpty()) settings.use_serial_for_this_run(o.serial);

    InverterSession session;
    CoverCalibrator device(session, [&] { return settings.serial(); });
    SetupPage setup(session, settings);
    AlpacaApi api(device, setup, settings);
    HttpServer http(
        [&](const HttpRequest& r, const HttpServer::Reply& reply) { api.handle(r, reply); });
    QString why;
    if (!http.listen(o.listen, o.http_port, why)) {
        qCritical().noquote() << "Cannot listen on" << url_host(o.listen) << "port" << o.http_port
                              << ":" << why;
        return 1;
    }
    Discovery discovery(http.port());
    if (o.discovery_port != 0 && !discovery.listen(o.listen, o.discovery_port, why)) {
        qCritical().noquote() << "Cannot listen for discovery on port" << o.discovery_port << ":"
                              << why;
        return 1;
    }
    qInfo().noquote() << "Serving http://" + url_host(o.listen) + ':' +
                             QString::number(http.port()) + "/setup; serial device"
                      << (settings.serial().isEmpty() ? QStringLiteral("not chosen")
                                                      : settings.serial());

    // An ending signal hands the panel back to its knob, lets ":F#" drain and quits.
    EndingSignals stop_on_signal(ending, [&] {
        qInfo() << "Stopping";
        QObject::connect(&session, &InverterSession::closed, &app, &QCoreApplication::quit);
        session.close();
    });
    return app.exec();
}
