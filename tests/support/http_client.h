#pragma once

#include <QByteArray>
#include <QTcpSocket>

// One HTTP answer as a test reads it off a real socket.
struct HttpReply {
    int status = 0; // 0: no whole answer came in time
    QByteArray content_type;
    QByteArray body;
};

// A connection to a port on loopback, made before it is used.
struct HttpConnection : QTcpSocket {
    explicit HttpConnection(quint16 port) {
        connectToHost(QStringLiteral("127.0.0.1"), port);
        waitForConnected();
    }
};

// Reads one answer (its head and Content-Length body) from the socket.
HttpReply read_reply(QTcpSocket& socket, int timeout_ms = 3000);
// Writes `request` as it stands and reads the answer.
HttpReply exchange(QTcpSocket& socket, QByteArrayView request, int timeout_ms = 3000);
// A whole request with the given body, as a form when there is one.
QByteArray http_request(QByteArrayView method, QByteArrayView target, QByteArrayView body = {},
                        QByteArrayView content_type = "application/x-www-form-urlencoded");
