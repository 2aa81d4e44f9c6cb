#include "server_settings.h"

#include <QDir>
#include <QUuid>

ServerSettings::ServerSettings(const QString& folder)
    : dir(folder), settings(folder + QStringLiteral("/lumivaned.ini"), QSettings::IniFormat) {
    id = settings.value(QStringLiteral("device/unique_id")).toString();
    if (QUuid::fromString(id).isNull()) {
        id = QUuid::createUuid().toString(QUuid::WithoutBraces);
        settings.setValue(QStringLiteral("device/unique_id"), id);
        settings.sync();
    }
}

QString ServerSettings::serial() const {
    return given.isEmpty() ? settings.value(QStringLiteral("device/serial")).toString() : given;
}

bool ServerSettings::set_serial(const QString& device) {
    given.clear();
    settings.setValue(QStringLiteral("device/serial"), device);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

QStringList serial_devices(const QStringList& folders) {
    QStringList found;
    const auto add = [&](const QString& dir, const QStringList& patterns) {
        for (const QFileInfo& entry :
             QDir(dir).entryInfoList(patterns, QDir::System | QDir::Files, QDir::Name))
            found << entry.filePath();
    };
    add(QStringLiteral("/dev/serial/by-id"), {QStringLiteral("*")});
    add(QStringLiteral("/dev"),
        {QStringLiteral("ttyUSB*"), QStringLiteral("ttyACM*"), QStringLiteral("ttyS*")});
    for (const QString& folder : folders)
        if (!folder.isEmpty()) add(folder, {QStringLiteral("com*")});
    found.removeDuplicates();
    return found;
}
