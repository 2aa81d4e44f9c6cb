#pragma once

#include <QSettings>
#include <QString>

// The server's configuration, an INI file in its configuration folder: the
// serial device to open, and the device's UniqueID, made once and kept.
class ServerSettings {
public:
    explicit ServerSettings(const QString& folder);

    const QString& folder() const { return dir; }
    // The device given for this run, or else the one saved.
    QString serial() const;
    void use_serial_for_this_run(const QString& device) { given = device; }
    // Saves the device and uses it from now on; false when the file cannot be written.
    bool set_serial(const QString& device);
    const QString& unique_id() const { return id; }
    // Whether the file could be read and written.
    QSettings::Status status() const { return settings.status(); }

private:
    QString dir;
    QSettings settings;
    QString id;
    QString given;
};

// The serial devices an operator may pick: stable names under
// /dev/serial/by-id, USB and ACM adapters, the machine's own ports, and the
// comN links in each of `folders`.
QStringList serial_devices(const QStringList& folders);
