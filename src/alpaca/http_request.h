#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QPair>
#include <variant>

// One HTTP/1.1 request as the server reads it.
struct HttpRequest {
    QByteArray method;
    QByteArray path;                              // the target up to "?", still percent-encoded
    QByteArray query;                             // after "?", without it
    QList<QPair<QByteArray, QByteArray>> headers; // names in lower case
    QByteArray body;
    bool keep_alive = true;

    QByteArray header(QByteArrayView name) const;
    // GET, or HEAD, which is answered as GET without the body.
    bool is_get() const { return method == "GET" || method == "HEAD"; }
};

// A request the reader cannot take: the status to answer with, and why.
struct HttpRefusal {
    int status = 400;
    QByteArray reason;
};

// Cuts requests out of the bytes of one connection, as they arrive. Bounded:
// a head over head_limit or a body over body_limit is refused, as is anything
// that is not a plain HTTP/1.x request with at most a Content-Length body.
// After a refusal the connection's bytes can no longer be trusted to line up
// with requests, so the reader refuses everything after it.
class HttpRequestReader {
public:
    static constexpr qsizetype head_limit = 8 * 1024;
    static constexpr qsizetype body_limit = 4 * 1024;

    void feed(QByteArrayView bytes) { buffer.append(bytes); }
    // The next whole request, a refusal, or nothing while more bytes are needed.
    std::variant<std::monostate, HttpRequest, HttpRefusal> next();
    bool holds_bytes() const { return !buffer.isEmpty(); }

private:
    std::variant<std::monostate, HttpRequest, HttpRefusal> refuse(int status, const char* reason);

    QByteArray buffer;
    bool failed = false;
};
