#include "parameters.h"

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
