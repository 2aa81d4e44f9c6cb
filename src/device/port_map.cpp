#include "port_map.h"

#include <QFileInfo>

QString port_device(int CommPort, const QString& program_dir) {
#ifdef Q_OS_WIN
    Q_UNUSED(program_dir);
    return QStringLiteral("COM%1").arg(CommPort);
#else
    const QString link = program_dir + QStringLiteral("/com%1").arg(CommPort);
    const QFileInfo entry(link);
    // A dangling link still names the operator's adapter: opening it fails
    // rather than silently reaching another port.
    if (entry.exists() || entry.isSymLink()) return link;
    return QStringLiteral("/dev/ttyS%1").arg(CommPort - 1);
#endif
}
