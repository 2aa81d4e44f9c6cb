#include "http_client.h"

#include <QDeadlineTimer>

HttpReply read_reply(QTcpSocket& socket, int timeout_ms, bool head) {
    const QDeadlineTimer deadline(timeout_ms);
    const auto arrived = [&](const auto& enough) {
        while (!enough())
            if (!socket.waitForReadyRead(int(deadline.remainingTime()))) return false;
        return true;
    };
    // The head line by line, from the status line up to the blank line, then
    // the body it announces.
    HttpReply reply;
    qsizetype length = 0;
    QByteArray line;
    do {
        if (!arrived([&] { return socket.canReadLine(); })) return {};
        line = socket.readLine().trimmed();
        if (reply.status == 0 && !line.startsWith("HTTP/1.1 ")) return {};
        if (reply.status == 0) reply.status = line.mid(9, 3).toInt();
        if (line.toLower().startsWith("content-type:")) reply.content_type = line.mid(13).trimmed();
        if (line.toLower().startsWith("content-length:")) length = line.mid(15).trimmed().toInt();
    } while (!line.isEmpty());
    if (head) return reply;
    if (!arrived([&] { return socket.bytesAvailable() >= length; })) return {};
    reply.body = socket.read(length);
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

bool pipeline_unread(QTcpSocket& socket, QByteArrayView request, std::chrono::milliseconds time) {
    socket.setReadBufferSize(1);
    const QDeadlineTimer deadline(time);
    while (socket.state() == QAbstractSocket::ConnectedState && !deadline.hasExpired())
        if (socket.bytesToWrite() < 64 * 1024 ||
            socket.waitForBytesWritten(int(deadline.remainingTime())))
            socket.write(request.toByteArray());
    return socket.state() == QAbstractSocket::ConnectedState;
}
