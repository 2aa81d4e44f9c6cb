#pragma once

#include <QString>
#include <QStringView>

// Numbers in the inverter's reports. A report carries two value characters;
// their number can hold at most one decimal, so it is kept exactly in tenths.

// The number at the start of a value field of at most two characters: blanks (space, tab, line
// feed) are skipped wherever they stand, then an optional sign, digits and one decimal point are
// read up to the first other character. A field that does not begin with a number gives 0. "25" ->
// 250, "5#" -> 50, ".5" -> 5.
int field_tenths(QStringView field);

// The number rounded to a whole code, a half going to the even neighbour.
qint16 round_half_even(int tenths);

// The number in its shortest plain decimal form: 500 -> "50", 5 -> "0.5", -30 -> "-3".
QString tenths_text(int tenths);
