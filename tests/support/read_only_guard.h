#pragma once

#include <QFile>
#include <QString>

// Makes a folder read-only for this test, also when the tests run as root:
// the folder loses its write bits, and the thread's effective capabilities
// that override file permissions are dropped until the guard ends.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(const QString& path);
    ~ReadOnlyFolder();
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

private:
    QString path;
    QFile::Permissions old_permissions;
    unsigned old_effective = 0;
    bool capabilities_dropped = false;
};
