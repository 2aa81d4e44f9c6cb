#include "indi_server.h"

#include "free_port.h"

#include <QFile>
#include <csignal>
#include <sys/socket.h>

IndiServer::IndiServer(const QString& driver_)
    : port_number(QString::number(free_port(SOCK_STREAM))), driver(driver_) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home.path());
    server.setProcessEnvironment(environment);
    start();
}

void IndiServer::start() {
    server.start("indiserver", {"-p", port_number, "-u", home.filePath("indiserver"), driver});
}

void IndiServer::restart() {
    server.terminate();
    server.waitForFinished();
    start();
}

void IndiServer::signal_driver(int signal) const {
    QFile children(QStringLiteral("/proc/%1/task/%1/children").arg(server.processId()));
    if (children.open(QIODevice::ReadOnly)) ::kill(children.readAll().trimmed().toInt(), signal);
}

IndiServer::~IndiServer() {
    server.terminate();
    server.waitForFinished();
}

QStringList IndiServer::client_arguments(const QString& property) const {
    return {"-h", "127.0.0.1", "-p", port_number, "Lumivane." + property};
}

QString IndiServer::get(const QString& property) const {
    QProcess getprop;
    getprop.start("indi_getprop", QStringList{"-t", "1", "-1"} + client_arguments(property));
    getprop.waitForFinished(5000);
    return QString::fromLatin1(getprop.readAllStandardOutput()).trimmed();
}

bool IndiServer::set(const QString& setting) const {
    return QProcess::execute(QStringLiteral("indi_setprop"), client_arguments(setting)) == 0;
}
