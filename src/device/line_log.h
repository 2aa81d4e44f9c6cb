#pragma once

#include <QLoggingCategory>
#include <QTime>

// Diagnostics of the serial line: commands as they are handed to the system,
// frames as they are applied, port opens, closes and failures. Off unless
// turned on, for instance with QT_LOGGING_RULES="lumivane.line.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcLine)

// Logs one line of the line's diagnostics with the time of day in milliseconds.
#define LINE_LOG                                                                                   \
    qCDebug(lcLine).noquote().nospace() << QTime::currentTime().toString(u"HH:mm:ss.zzz") << ' '
