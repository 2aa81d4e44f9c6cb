#include "port_map.h"

#include "device_access.h"

#include <QFileInfo>

QString port_device(int CommPort, const QString& program_dir) {
    const QString link = program_dir + QStringLiteral("/com%1").arg(CommPort);
    const QFileInfo entry(link);
    // A dangling link still names the operator's adapter: opening it fails
    // rather than silently reaching another port.
    if (entry.exists() || entry.isSymLink()) return link;
    return QStringLiteral("/dev/ttyS%1").arg(CommPort - 1);
}

QString port_hint(int CommPort, const QString& program_dir) {
    const QString device = port_device(CommPort, program_dir);
    const QFileInfo entry(device);
    QString hint = QStringLiteral("COM%1 → %2").arg(CommPort).arg(device);
    if (entry.isSymLink()) hint += QStringLiteral(" → ") + entry.symLinkTarget();
    if (!entry.exists()) return hint + QStringLiteral("（見つかりません）");
    if (device_access::refused(device.toStdString()))
        return hint + QStringLiteral("（接続あり・使用権限なし）");
    return hint + QStringLiteral("（接続あり）");
}
