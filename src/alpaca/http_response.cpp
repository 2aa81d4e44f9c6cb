#include "http_response.h"

namespace {

QByteArrayView reason_phrase(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 408:
        return "Request Timeout";
    case 413:
        return "Content Too Large";
    case 431:
        return "Request Header Fields Too Large";
    case 500:
        return "Internal Server Error";
    case 501:
        return "Not Implemented";
    case 503:
        return "Service Unavailable";
    default:
        return "Error";
    }
}

} // namespace

HttpAnswer HttpAnswer::text(int status, QByteArrayView why) {
    return {status, "text/plain; charset=utf-8", why.toByteArray() + '\n'};
}

QByteArray http_response(const HttpAnswer& answer, bool keep_alive, bool with_body) {
    QByteArray out = "HTTP/1.1 " + QByteArray::number(answer.status) + ' ' +
                     reason_phrase(answer.status).toByteArray() + "\r\n";
    out += "Content-Type: " + answer.content_type + "\r\n";
    out += "Content-Length: " + QByteArray::number(answer.body.size()) + "\r\n";
    out += "Cache-Control: no-store\r\n";
    out += keep_alive ? "Connection: keep-alive\r\n\r\n" : "Connection: close\r\n\r\n";
    return with_body ? out + answer.body : out;
}
