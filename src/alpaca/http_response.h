#pragma once

#include <QByteArray>
#include <QByteArrayView>

// One answer of the server, before it is put on the wire.
struct HttpAnswer {
    int status = 200;
    QByteArray content_type = "application/json";
    QByteArray body;

    static HttpAnswer text(int status, QByteArrayView why);
};

// The answer as HTTP/1.1 bytes; `keep_alive` false says the server closes after
// it. Without its body for a HEAD request, whose head still gives its length.
QByteArray http_response(const HttpAnswer& answer, bool keep_alive, bool with_body);
