#pragma once

#include <QByteArray>
#include <QString>

// The two characters that follow ":D" or ":E" on the wire: the code in decimal
// with one "0" put in front, cut to its last two characters (7 -> "07",
// 45 -> "45", 123 -> "23", -1 -> "-1").
QString two_digit_code_text(int code);

// A value-carrying command: `prefix` (":D" or ":E") and the code's two-digit text.
QByteArray code_command(const char* prefix, int code);
