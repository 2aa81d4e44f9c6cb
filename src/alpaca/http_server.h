#pragma once

#include "http_request.h"
#include "http_response.h"

#include <QHostAddress>
#include <QObject>
#include <QTcpServer>
#include <chrono>
#include <functional>

// A small HTTP/1.1 server on the event loop: keep-alive, one request at a
// time per connection (a later one waits for the earlier one's answer), and
// bounds on everything a client controls: the head and body sizes, how much
// of its answers may wait unsent, how long a connection may sit idle, and how
// many may be open at once.
class HttpServer : public QObject {
public:
    using Reply = std::function<void(const HttpAnswer&)>;
    using Handler = std::function<void(const HttpRequest&, const Reply&)>;

    static constexpr int max_connections = 64;
    static constexpr std::chrono::milliseconds idle_time{5000};
    // While more than this of a connection's answers waits to be sent, its next
    // request is not taken; it is closed if it stays so for the idle time.
    static constexpr qint64 unsent_limit = 64 * 1024;

    explicit HttpServer(Handler handler);

    bool listen(const QHostAddress& address, quint16 port, QString& why);
    quint16 port() const { return server.serverPort(); }

private:
    void accept();

    Handler handler;
    QTcpServer server;
    int open_connections = 0;
};
