#pragma once

#include <QLoggingCategory>

// Diagnostics of the serial line: commands as they are handed to the system,
// frames as they are applied, port opens, closes and failures. Off unless
// turned on, for instance with QT_LOGGING_RULES="lumivane.line.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcLine)

// Logs one line of the line's diagnostics; use_line_log_pattern puts the time
// of day in front of it.
#define LINE_LOG qCDebug(lcLine).noquote().nospace()

// Sets Qt's message pattern for a program that logs the line: Qt's default
// pattern, with the time of day in milliseconds before the text of a debug
// message ("lumivane.line: 14:02:07.315 -> :O#"). Other messages read as with
// the default pattern, apart from other debug messages, which carry the time
// too: the program writes none, and other categories' are off unless turned
// on. QT_MESSAGE_PATTERN, when set, takes precedence.
void use_line_log_pattern();
