#include "port_file.h"

#include "protocol/numbers.h"
#include "protocol/report.h"
#include "read_file.h"
#include "replace_file.h"

namespace {

QByteArrayView first_item(QByteArrayView content) {
    qsizetype at = 0;
    while (at < content.size() && content[at] == ' ')
        ++at;
    content = content.sliced(at);
    if (content.startsWith('"')) {
        const QByteArrayView quoted = content.sliced(1);
        const qsizetype close = quoted.indexOf('"');
        return close < 0 ? quoted : quoted.first(close);
    }
    qsizetype end = 0;
    while (end < content.size() && content[end] != ',' && content[end] != '\r' &&
           content[end] != '\n')
        ++end;
    return content.first(end);
}

} // namespace

std::optional<qint16> port_in_file_content(QByteArrayView content) {
    if (content.isEmpty()) return std::nullopt;
    const QString item = trim_spaces(QString::fromLatin1(first_item(content)));
    for (qint16 n = inverter::port_min; n <= inverter::port_max; ++n) {
        if (item == QString::number(n)) return n;
    }
    return std::nullopt;
}

QByteArray port_file_content(const QString& comm_ch) {
    return comm_ch.toLatin1() + "\r\n";
}

std::optional<qint16> read_port_file(const QString& path) {
    const std::optional<QByteArray> content = read_file(path);
    if (!content) return std::nullopt;
    return port_in_file_content(*content);
}

bool write_port_file(const QString& path, const QString& comm_ch) {
    return replace_file(path, port_file_content(comm_ch));
}
