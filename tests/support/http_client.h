#pragma once

#include <QByteArray>
#include <QTcpSocket>
#include <chrono>

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

// Reads one answer (its head and Content-Length body, but no body when
// answering HEAD) from the socket.
HttpReply read_reply(QTcpSocket& socket, int timeout_ms = 3000, bool head = false);
// Writes `request` as it stands and reads the answer.
HttpReply exchange(QTcpSocket& socket, QByteArrayView request, int timeout_ms = 3000);
// A whole request with the given body, as a form when there is one.
QByteArray http_request(QByteArrayView method, QByteArrayView target, QByteArrayView body = {},
                        QByteArrayView content_type = "application/x-www-form-urlencoded");
// Writes `request` again and again for `time`, as fast as the connection takes
// it, and reads no answer (the socket keeps at most a byte of them); false
// once the server has closed the connection.
bool pipeline_unread(QTcpSocket& socket, QByteArrayView request, std::chrono::milliseconds time);
