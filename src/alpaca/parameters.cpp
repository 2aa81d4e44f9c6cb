#include "parameters.h"

#include <algorithm>
#include <limits>

namespace {

QString decode_part(QByteArrayView part) {
    QByteArray bytes = part.toByteArray();
    bytes.replace('+', ' ');
    return QString::fromUtf8(QByteArray::fromPercentEncoding(bytes));
}

} // namespace

QList<QPair<QString, QString>> decode_form(QByteArrayView form) {
    QList<QPair<QString, QString>> items;
    for (const QByteArrayView pair : form.toByteArray().split('&')) {
        if (pair.isEmpty()) continue;
        const qsizetype eq = pair.indexOf('=');
        items.append(
            eq < 0 ? qMakePair(decode_part(pair), QString())
                   : qMakePair(decode_part(pair.first(eq)), decode_part(pair.sliced(eq + 1))));
    }
    return items;
}

Parameters Parameters::of(const HttpRequest& request) {
    Parameters p;
    const bool put = request.method == "PUT";
    p.items = decode_form(put ? request.body : request.query);
    p.names_case = put ? Qt::CaseSensitive : Qt::CaseInsensitive;
    return p;
}

std::optional<QString> Parameters::value(QStringView name) const {
    for (const auto& [n, v] : items)
        if (n.compare(name, names_case) == 0) return v;
    return std::nullopt;
}

bool all_digits(QStringView text) {
    return !text.isEmpty() &&
           std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

std::optional<int> whole_number(QStringView text) {
    const bool negative = text.startsWith(u'-');
    if (!all_digits(negative || text.startsWith(u'+') ? text.sliced(1) : text)) return std::nullopt;
    bool fits = false;
    const int n = text.toInt(&fits);
    if (fits) return n;
    return negative ? std::numeric_limits<int>::min() : std::numeric_limits<int>::max();
}

std::optional<double> decimal_number(QStringView text) {
    const qsizetype point = text.indexOf(u'.');
    if (!whole_number(point < 0 ? text : text.first(point)) ||
        (point >= 0 && !all_digits(text.sliced(point + 1))))
        return std::nullopt;
    return text.toDouble();
}
