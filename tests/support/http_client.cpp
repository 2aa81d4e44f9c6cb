#include "http_client.h"

#include <QDeadlineTimer>

HttpReply read_reply(QTcpSocket& socket, int timeout_ms) {
    const QDeadlineTimer deadline(timeout_ms);
    QByteArray data;
    const auto fill = [&](qsizetype size) {
        while (data.size() < size && !deadline.hasExpired()) {
            if (socket.bytesAvailable() == 0 &&
                !socket.waitForReadyRead(int(deadline.remainingTime())))
                return false;
            data += socket.read(size - data.size());
        }
        return data.size() >= size;
    };
    while (!data.contains("\r\n\r\n")) {
        if (!fill(data.size() + 1)) return {};
    }
    HttpReply reply;
    const qsizetype head_end = data.indexOf("\r\n\r\n") + 4;
    qsizetype length = 0;
    for (const QByteArray& line : data.first(head_end).split('\n')) {
        const QByteArray l = line.trimmed();
        if (l.startsWith("HTTP/1.1 ")) reply.status = l.mid(9, 3).toInt();
        if (l.toLower().startsWith("content-type:")) reply.content_type = l.mid(13).trimmed();
        if (l.toLower().startsWith("content-length:")) length = l.mid(15).trimmed().toInt();
    }
    if (!fill(head_end + length)) return {};
    reply.body = data.sliced(head_end);
    return reply;
}

HttpReply exchange(QTcpSocket& socket, QByteArrayView request, int timeout_ms) {
    socket.write(request.toByteArray());
    socket.flush();
    return read_reply(socket, timeout_ms);
}

QByteArray http_request(QByteArrayView method, QByteArrayView target, QByteArrayView body,
                        QByteArrayView content_type) {
    QByteArray r =
        method.toByteArray() + ' ' + target.toByteArray() + " HTTP/1.1\r\nHost: 127.0.0.1\r\n";
    if (!body.isEmpty())
        r += "Content-Type: " + content_type.toByteArray() +
             "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n";
    return r + "\r\n" + body.toByteArray();
}
