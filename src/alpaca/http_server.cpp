#include "http_server.h"

#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

namespace {

// One client's connection: reads its requests in order and writes each answer.
class Connection : public QObject {
public:
    Connection(QTcpSocket* s, const HttpServer::Handler& h, QObject* parent)
        : QObject(parent), socket(s), handler(h) {
        socket->setParent(this);
        // What a client sends ahead waits in the system, not here: while a
        // request is being answered, nothing more is read.
        socket->setReadBufferSize(HttpRequestReader::head_limit + HttpRequestReader::body_limit);
        idle.setSingleShot(true);
        connect(&idle, &QTimer::timeout, this, &Connection::idled);
        connect(socket, &QTcpSocket::readyRead, this, &Connection::read);
        connect(socket, &QTcpSocket::disconnected, this, &QObject::deleteLater);
        idle.start(HttpServer::idle_time);
    }

private:
    // Serves the requests that the bytes received so far complete, in order,
    // until one waits for its answer.
    void read() {
        if (answering || closing || reading) return;
        reading = true;
        do {
            reader.feed(socket->readAll());
            serve();
        } while (!answering && !closing && socket->bytesAvailable() > 0);
        reading = false;
    }

    void serve() {
        while (!answering && !closing) {
            auto next = reader.next();
            if (std::holds_alternative<std::monostate>(next)) return;
            if (const auto* refusal = std::get_if<HttpRefusal>(&next))
                return send(HttpAnswer::text(refusal->status, refusal->reason), false);
            const HttpRequest request = std::get<HttpRequest>(std::move(next));
            answering = true;
            idle.stop();
            handler(request,
                    [self = QPointer(this), keep = request.keep_alive](const HttpAnswer& a) {
                        if (self) self->answered(a, keep);
                    });
        }
    }

    void answered(const HttpAnswer& answer, bool keep_alive) {
        answering = false;
        send(answer, keep_alive);
        if (keep_alive) {
            idle.start(HttpServer::idle_time);
            read();
        }
    }

    void send(const HttpAnswer& answer, bool keep_alive) {
        socket->write(http_response(answer, keep_alive));
        if (keep_alive) return;
        // A client that does not read its answer is cut off after the idle time.
        closing = true;
        idle.start(HttpServer::idle_time);
        socket->disconnectFromHost();
    }

    void idled() {
        if (closing) return socket->abort();
        if (answering) return;
        if (reader.holds_bytes())
            send(HttpAnswer::text(408, "The request did not arrive in time."), false);
        else
            socket->disconnectFromHost();
    }

    QTcpSocket* socket;
    const HttpServer::Handler& handler;
    HttpRequestReader reader;
    QTimer idle;
    bool answering = false;
    bool closing = false;
    bool reading = false;
};

} // namespace

HttpServer::HttpServer(Handler h) : handler(std::move(h)) {
    connect(&server, &QTcpServer::newConnection, this, &HttpServer::accept);
}

bool HttpServer::listen(const QHostAddress& address, quint16 port, QString& why) {
    if (server.listen(address, port)) return true;
    why = server.errorString();
    return false;
}

void HttpServer::accept() {
    while (QTcpSocket* socket = server.nextPendingConnection()) {
        if (open_connections >= max_connections) {
            socket->write(http_response(
                HttpAnswer::text(503, "Too many connections; try again shortly."), false));
            socket->disconnectFromHost();
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            continue;
        }
        ++open_connections;
        auto* connection = new Connection(socket, handler, this);
        connect(connection, &QObject::destroyed, this, [this] { --open_connections; });
    }
}
