#include "indi_latency.h"

#include "measure.h"
#include "support/pty.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

QString free_port() {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    socklen_t size = sizeof address;
    bind(s, reinterpret_cast<sockaddr*>(&address), size);
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &size);
    close(s);
    return QString::number(ntohs(address.sin_port));
}

// Waits, serving nothing else, until `ready` holds or the time is up.
template <typename Ready> bool wait_for(Ready ready, int timeout_ms) {
    const QDeadlineTimer deadline(timeout_ms);
    while (!ready()) {
        if (deadline.hasExpired()) return false;
        QThread::msleep(5);
    }
    return true;
}

} // namespace

IndiLatency measure_indi_latency(const QString& driver, int changes) {
    IndiLatency result;
    QTemporaryDir home;
    const QString port = free_port();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home.path());
    QProcess server;
    server.setProcessEnvironment(environment);
    server.start(QStringLiteral("indiserver"),
                 {QStringLiteral("-p"), port, QStringLiteral("-u"),
                  home.filePath(QStringLiteral("indiserver")), driver});
    // A client run on one property of the driver ("PROPERTY.ELEMENT", "=VALUE" to set it).
    const auto run = [&](const QString& program, const QString& property) {
        QProcess p;
        p.start(program, {QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                          port, QStringLiteral("Lumivane.") + property});
        p.waitForFinished(5000);
        return QString::fromLatin1(p.readAllStandardOutput());
    };
    if (!wait_for([&] { return run("indi_getprop", "CONNECTION.CONNECT").contains('='); }, 10000)) {
        result.error = QStringLiteral("the driver did not come up");
        return result;
    }
    Pty line;
    run("indi_setprop", "DEVICE_PORT.PORT=" + line.slave_path());
    run("indi_setprop", "CONNECTION.CONNECT=On");
    if (line.read(3, 5000) != ":O#") {
        result.error = QStringLiteral("no handshake");
        return result;
    }
    line.write(":ELC1#");
    wait_for([&] { return run("indi_getprop", "CONNECTION._STATE").contains("Ok"); }, 5000);

    // A client started per change, as a script or an automation step would.
    for (int i = 0; i < changes; ++i) {
        const int code = 44 + i % 2;
        const QString setting = QStringLiteral("FREQUENCY.FREQUENCY_HZ=%1").arg(code * 10);
        QProcess setprop;
        const Clock::time_point start = Clock::now();
        setprop.start(QStringLiteral("indi_setprop"),
                      {QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                       port, QStringLiteral("Lumivane.") + setting});
        const QByteArray sent = line.read(4, 5000);
        const Clock::time_point arrived = Clock::now();
        setprop.waitForFinished(5000);
        if (sent != ":E" + QByteArray::number(code)) {
            result.error = QStringLiteral("unexpected command %1").arg(QString::fromLatin1(sent));
            return result;
        }
        result.set_to_wire_ms.push_back(ms_between(start, arrived));
    }

    // One client watching, line-buffered so that each update is printed at once.
    QProcess monitor;
    monitor.start(QStringLiteral("stdbuf"),
                  {QStringLiteral("-oL"), QStringLiteral("indi_getprop"), QStringLiteral("-m"),
                   QStringLiteral("-t"), QStringLiteral("3600"), QStringLiteral("-h"),
                   QStringLiteral("127.0.0.1"), QStringLiteral("-p"), port,
                   QStringLiteral("Lumivane.FLAT_LIGHT_INTENSITY.FLAT_LIGHT_INTENSITY_VALUE")});
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
    run("indi_setprop", "CONNECTION.DISCONNECT=On");
    server.terminate();
    server.waitForFinished();
    return result;
}
