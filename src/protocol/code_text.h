#pragma once

#include <QString>

// The two characters that follow ":D" or ":E" on the wire: the code in decimal
// with one "0" put in front, cut to its last two characters (7 -> "07",
// 45 -> "45", 123 -> "23", -1 -> "-1").
QString two_digit_code_text(int code);
