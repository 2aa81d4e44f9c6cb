#pragma once

#include "pty.h"

#include <QProcess>
#include <QTemporaryDir>

// The real lumivaned for a test, on loopback: a pseudo-terminal as its
// inverter, a configuration folder of its own, HTTP on a port the system
// chose and discovery on a free UDP port.
class Lumivaned {
public:
    // Uses the configuration folder `config_dir` and the device saved there
    // when given; else a folder of its own and the pseudo-terminal.
    explicit Lumivaned(const QString& program, const QString& config_dir = {});
    ~Lumivaned();

    quint16 http_port() const { return http; }
    quint16 discovery_port() const { return discovery; }
    const QString& config_path() const { return config_dir; }
    Pty inverter;
    QProcess process;

private:
    QTemporaryDir config;
    QString config_dir;
    quint16 http = 0;
    quint16 discovery = 0;
};
