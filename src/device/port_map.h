#pragma once

#include <QString>

// The device behind port number n: the entry "comN" in the program's directory
// when there is one (normally a symbolic link to the adapter, also when the
// adapter is unplugged and the link dangles), and otherwise /dev/ttyS(n-1).
QString port_device(int CommPort, const QString& program_dir);

// A line for the operator naming the device behind port n and whether it is
// there now, e.g. "COM3 → /opt/lumivane/com3 → /dev/ttyUSB0（接続あり）".
QString port_hint(int CommPort, const QString& program_dir);
