#pragma once

#include <QFile>

// A memory figure of a running process from /proc/PID/status, in MiB: `field`
// is VmRSS (resident now), VmHWM (the resident peak) or another "kB" line.
// 0 when the process or the line is not there.
inline double memory_mib(qint64 pid, const char* field) {
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    f.open(QIODevice::ReadOnly);
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(QByteArray(field) + ':'))
            return line.mid(qstrlen(field) + 1).trimmed().split(' ')[0].toDouble() / 1024;
    return 0;
}
