#include "http_request.h"

#include <optional>

namespace {

// A token character of a method or header name.
bool is_token(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           QByteArrayView("!#$%&'*+-.^_`|~").contains(c);
}

bool all_tokens(QByteArrayView s) {
    if (s.isEmpty()) return false;
    for (const char c : s)
        if (!is_token(c)) return false;
    return true;
}

std::optional<qsizetype> content_length(QByteArrayView text) {
    if (text.isEmpty() || text.size() > 9) return std::nullopt;
    qsizetype n = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        n = n * 10 + (c - '0');
    }
    return n;
}

} // namespace

QByteArray HttpRequest::header(QByteArrayView name) const {
    for (const auto& [n, v] : headers)
        if (n == name) return v;
    return {};
}

std::variant<std::monostate, HttpRequest, HttpRefusal>
HttpRequestReader::refuse(int status, const char* reason) {
    failed = true;
    buffer.clear();
    return HttpRefusal{status, reason};
}

std::variant<std::monostate, HttpRequest, HttpRefusal> HttpRequestReader::next() {
    if (failed) return refuse(400, "Bad request");
    // Blank lines before a request are tolerated, as clients may send them after a body.
    while (buffer.startsWith("\r\n"))
        buffer.remove(0, 2);
    const qsizetype head_end = buffer.indexOf("\r\n\r\n");
    if (head_end < 0) {
        if (buffer.size() > head_limit) return refuse(431, "Request header fields too large");
        return std::monostate{};
    }
    if (head_end + 4 > head_limit) return refuse(431, "Request header fields too large");

    // Every line of the head, the start line first, ends in CR LF.
    QList<QByteArray> lines = buffer.first(head_end + 2).split('\n');
    lines.removeLast();
    for (QByteArray& line : lines) {
        if (!line.endsWith('\r')) return refuse(400, "Malformed request head");
        line.chop(1);
    }
    const QList<QByteArray> start = lines.first().split(' ');
    if (start.size() != 3 || !all_tokens(start[0]) || !start[1].startsWith('/') ||
        !(start[2] == "HTTP/1.1" || start[2] == "HTTP/1.0"))
        return refuse(400, "Malformed request line");

    HttpRequest request;
    request.method = start[0];
    const qsizetype question = start[1].indexOf('?');
    request.path = question < 0 ? start[1] : start[1].first(question);
    request.query = question < 0 ? QByteArray() : start[1].sliced(question + 1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray& line = lines[i];
        const qsizetype colon = line.indexOf(':');
        if (colon < 0 || !all_tokens(QByteArrayView(line).first(colon)))
            return refuse(400, "Malformed header line");
        request.headers.append({line.first(colon).toLower(), line.sliced(colon + 1).trimmed()});
    }
    if (!request.header("transfer-encoding").isEmpty())
        return refuse(501, "Transfer encodings are not supported");

    // Two lengths that differ leave the body's end in doubt.
    const QByteArray length_text = request.header("content-length");
    for (const auto& [name, value] : std::as_const(request.headers))
        if (name == "content-length" && value != length_text)
            return refuse(400, "Conflicting Content-Length");
    const std::optional<qsizetype> length =
        length_text.isEmpty() ? std::optional<qsizetype>(0) : content_length(length_text);
    if (!length) return refuse(400, "Malformed Content-Length");
    if (*length > body_limit) return refuse(413, "Request body too large");
    const qsizetype total = head_end + 4 + *length;
    if (buffer.size() < total) return std::monostate{};
    request.body = buffer.sliced(head_end + 4, *length);
    buffer.remove(0, total);

    const QByteArray connection = request.header("connection").toLower();
    request.keep_alive =
        start[2] == "HTTP/1.1" ? !connection.contains("close") : connection.contains("keep-alive");
    return request;
}
