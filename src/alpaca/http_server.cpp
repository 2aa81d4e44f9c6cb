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
        // request is being answered, or while the client leaves its answers
        // unread, nothing more is read.
        socket->setReadBufferSize(HttpRequestReader::head_limit + HttpRequestReader::body_limit);
        idle.setSingleShot(true);
        // At the idle time, not up to 5 % before it as a coarse timer may.
        idle.setTimerType(Qt::PreciseTimer);
        connect(&idle, &QTimer::timeout, this, &Connection::idled);
        connect(socket, &QTcpSocket::readyRead, this, &Connection::read);
        connect(socket, &QTcpSocket::bytesWritten, this, &Connection::written);
        connect(socket, &QTcpSocket::disconnected, this, &QObject::deleteLater);
        idle.start(HttpServer::idle_time);
    }

private:
    bool can_take() const {
        return !answering && !closing && socket->bytesToWrite() <= HttpServer::unsent_limit;
    }

    // Serves the requests that the bytes received complete, in order, until one
    // waits for its answer or the client falls behind with taking the answers.
    // More bytes are read only when those held complete no request.
    void read() {
        if (reading) return;
        reading = true;
        while (can_take() && (take_request() || take_bytes()))
            ;
        held_back = !answering && !closing && !can_take();
        reading = false;
    }

    // False when the reader needs more bytes for its next request.
    bool take_request() {
        auto next = reader.next();
        if (std::holds_alternative<std::monostate>(next)) return false;
        if (const auto* refusal = std::get_if<HttpRefusal>(&next)) {
            send(HttpAnswer::text(refusal->status, refusal->reason), false, true);
            return true;
        }
        const HttpRequest request = std::get<HttpRequest>(std::move(next));
        answering = true;
        idle.stop();
        handler(request, [self = QPointer(this), keep = request.keep_alive,
                          body = request.method != "HEAD"](const HttpAnswer& a) {
            if (self) self->answered(a, keep, body);
        });
        return true;
    }

    bool take_bytes() {
        if (socket->bytesAvailable() == 0) return false;
        reader.feed(socket->readAll());
        return true;
    }

    void answered(const HttpAnswer& answer, bool keep_alive, bool with_body) {
        answering = false;
        send(answer, keep_alive, with_body);
        if (keep_alive) {
            idle.start(HttpServer::idle_time);
            read();
        }
    }

    // The client took some of its answers: once few enough wait, it is served again.
    void written() {
        if (held_back && can_take()) read();
    }

    void send(const HttpAnswer& answer, bool keep_alive, bool with_body) {
        socket->write(http_response(answer, keep_alive, with_body));
        if (!keep_alive) close_when_drained();
    }

    // Lets the answers drain; a client that does not read them is cut off after the idle time.
    void close_when_drained() {
        closing = true;
        idle.start(HttpServer::idle_time);
        socket->disconnectFromHost();
    }

    void idled() {
        if (closing || held_back) return socket->abort();
        if (reader.holds_bytes())
            send(HttpAnswer::text(408, "The request did not arrive in time."), false, true);
        else
            close_when_drained();
    }

    QTcpSocket* socket;
    const HttpServer::Handler& handler;
    HttpRequestReader reader;
    QTimer idle;
    bool answering = false;
    bool closing = false;
    bool reading = false;
    bool held_back = false; // its answers wait unsent, so its requests wait unread
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
                HttpAnswer::text(503, "Too many connections; try again shortly."), false, true));
            socket->disconnectFromHost();
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            continue;
        }
        ++open_connections;
        auto* connection = new Connection(socket, handler, this);
        connect(connection, &QObject::destroyed, this, [this] { --open_connections; });
    }
}
