#pragma once

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

// A real indiserver running one driver, on a free port and a local socket of
// its own, so that several can run side by side, with a home folder of its own
// for the driver's configuration. Its clients address it by number: a bare
// system may not resolve "localhost".
class IndiServer {
public:
    explicit IndiServer(const QString& driver);
    ~IndiServer();

    // The arguments that point a client at the property "PROPERTY.ELEMENT" of
    // the device Lumivane ("=VALUE" added to set it).
    QStringList client_arguments(const QString& property) const;
    // One value, or an empty text when there is none.
    QString get(const QString& property) const;
    bool set(const QString& setting) const;
    quint16 port() const { return port_number.toUShort(); }
    QString home_path() const { return home.path(); }
    // Ends the server with SIGTERM, which ends its driver, and starts them
    // again with the same home.
    void restart();
    // Sends `signal` to the driver alone; the server starts it again if it ends.
    void signal_driver(int signal) const;

private:
    void start();

    QTemporaryDir home;
    QString port_number;
    QString driver;
    QProcess server;
};
