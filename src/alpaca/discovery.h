#pragma once

#include <QHostAddress>
#include <QObject>
#include <QUdpSocket>

// Alpaca discovery: a datagram that starts with "alpacadiscovery1" gets the
// HTTP port back, to the address it came from; anything else gets nothing.
// Bound to the server's listen address: on loopback only loopback hears it;
// on the any-address, broadcasts on every interface and the IPv6 group.
class Discovery : public QObject {
public:
    explicit Discovery(quint16 alpaca_port);

    bool listen(const QHostAddress& address, quint16 port, QString& why);

private:
    void answer();

    QUdpSocket socket;
    QByteArray reply;
};
