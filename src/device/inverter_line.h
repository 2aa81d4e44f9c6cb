#pragma once

#include "port_lock.h"

#include <QSerialPort>
#include <QString>

// Opens the inverter's line the one way every Qt program here does: the
// device's lock first (opening sets the line up, which must not touch a line
// another program is using), then the device at 9600 baud, 8N1, no flow
// control, and what already waits in its input discarded, so that nothing
// said before the open is taken for the answer to what is sent after it.
// False, with `why` for the operator, when the line cannot be had; the port
// and the lock are then closed.
bool open_inverter_line(QSerialPort& port, PortLock& lock, const QString& device, QString& why);
