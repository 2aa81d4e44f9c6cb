#include "preset_file.h"

#include "read_file.h"
#include "replace_file.h"

#include <algorithm>
#include <limits>

namespace {

bool is_separator(char c) {
    return c == ' ' || c == '\t' || c == ',' || c == '\r' || c == '\n';
}

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// One number field: [sign] digits [. digits], or [sign] . digits.
std::optional<qint16> parse_field(QByteArrayView field) {
    qsizetype at = 0;
    const bool negative = at < field.size() && field[at] == '-';
    if (at < field.size() && (field[at] == '-' || field[at] == '+')) ++at;
    qint64 whole = 0;
    qsizetype digits = 0;
    for (; at < field.size() && is_digit(field[at]); ++at, ++digits) {
        whole = whole * 10 + (field[at] - '0');
        if (whole > 1'000'000) return std::nullopt; // far beyond 16 bits
    }
    QByteArrayView fraction;
    if (at < field.size() && field[at] == '.') {
        const qsizetype from = ++at;
        while (at < field.size() && is_digit(field[at]))
            ++at;
        fraction = field.sliced(from, at - from);
    }
    if (at != field.size() || digits + fraction.size() == 0) return std::nullopt;
    // Round to a whole number, a half going to the even neighbour.
    if (!fraction.isEmpty()) {
        const bool rest =
            std::any_of(fraction.begin() + 1, fraction.end(), [](char c) { return c != '0'; });
        const bool over_half = fraction[0] > '5' || (fraction[0] == '5' && rest);
        const bool exactly_half = fraction[0] == '5' && !rest;
        if (over_half || (exactly_half && whole % 2 != 0)) ++whole;
    }
    const qint64 value = negative ? -whole : whole;
    if (value < std::numeric_limits<qint16>::min() || value > std::numeric_limits<qint16>::max())
        return std::nullopt;
    return static_cast<qint16>(value);
}

} // namespace

QByteArray preset_file_content(const PresetNumbers& numbers) {
    QByteArray content;
    for (const qint16 n : numbers) {
        content += n < 0 ? '-' : ' ';
        content += QByteArray::number(qAbs(int(n)));
        content += " \r\n";
    }
    return content;
}

PresetFields read_preset_fields(QByteArrayView content) {
    if (content.startsWith("\xEF\xBB\xBF")) content = content.sliced(3);
    PresetFields fields;
    int n = 0;
    bool after_comma = false;
    for (qsizetype at = 0; n < preset_numbers && at < content.size();) {
        if (content[at] == ',') {
            if (after_comma) fields[n++] = 0;
            after_comma = true;
            ++at;
        } else if (is_separator(content[at])) {
            ++at;
        } else {
            qsizetype end = at;
            while (end < content.size() && !is_separator(content[end]))
                ++end;
            fields[n++] = parse_field(content.sliced(at, end - at));
            after_comma = false;
            at = end;
        }
    }
    return fields;
}

int leading_numbers(const PresetFields& fields) {
    const auto gap = std::find(fields.begin(), fields.end(), std::nullopt);
    return int(gap - fields.begin());
}

std::optional<QByteArray> read_preset_file(const QString& path) {
    return read_file(path);
}

bool write_preset_file(const QString& path, const PresetNumbers& numbers) {
    return replace_file(path, preset_file_content(numbers));
}

bool back_up_preset_file(const QString& path) {
    const std::optional<QByteArray> old = read_file(path);
    return !old || replace_file(path + QStringLiteral(".bak"), *old);
}

QString preset_text(int value) {
    return (value < 0 ? QStringLiteral("-") : QStringLiteral(" ")) + QString::number(qAbs(value));
}
