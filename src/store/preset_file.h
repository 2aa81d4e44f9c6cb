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

// The file's first 14 fields, each read on its own: nothing for a field that
// is missing or is not a number that fits 16 bits. Blanks, line breaks and
// commas separate fields, and nothing between two commas is a field of 0, so
// the rows stay aligned. A number may carry a sign and decimals (rounded, a
// half to the even neighbour). A UTF-8 byte-order mark is skipped; anything
// after the 14th field is ignored.
using PresetFields = std::array<std::optional<qint16>, preset_numbers>;
PresetFields read_preset_fields(QByteArrayView content);

// How many fields from the first are numbers.
int leading_numbers(const PresetFields& fields);

// The file's first 64 KiB, as read_file reads them; nothing when it cannot be
// opened or is no regular file.
std::optional<QByteArray> read_preset_file(const QString& path);

// Replaces the file with the numbers, as replace_file does. Returns whether it
// worked.
bool write_preset_file(const QString& path, const PresetNumbers& numbers);

// Keeps the file as it is beside it, as path + ".bak", replacing an older
// copy. Returns whether it worked; a file that cannot be read has nothing to keep.
bool back_up_preset_file(const QString& path);

// A preset box's text: one blank before a number that is zero or positive.
QString preset_text(int value);
