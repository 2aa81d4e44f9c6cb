#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <array>
#include <optional>

// The preset file el_dat.txt: 14 numbers, the duty code and then the
// frequency code of preset rows 0 to 6.
constexpr int preset_rows = 7;
constexpr int preset_numbers = 2 * preset_rows;
using PresetNumbers = std::array<qint16, preset_numbers>;

// The written form: one line a number, each a blank (zero or positive) or "-",
// the digits, a blank, CR LF.
QByteArray preset_file_content(const PresetNumbers& numbers);

// Reads the file's numbers in order into `numbers`, stopping at the first that
// cannot be read (none left, a field that is not a number, or one that does not
// fit 16 bits); returns how many were read. Blanks, commas and line breaks
// separate numbers; a number may carry a sign and decimals (rounded, a half to
// the even neighbour); anything after the 14th number is ignored.
int read_preset_numbers(QByteArrayView content, PresetNumbers& numbers);

// The file's first 64 KiB, as read_file reads them; nothing when it cannot be
// opened or is no regular file.
std::optional<QByteArray> read_preset_file(const QString& path);

// Replaces the file with the numbers, as replace_file does. Returns whether it
// worked.
bool write_preset_file(const QString& path, const PresetNumbers& numbers);

// A preset box's text: one blank before a number that is zero or positive.
QString preset_text(int value);
