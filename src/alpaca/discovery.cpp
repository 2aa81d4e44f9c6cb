#include "discovery.h"

#include <QDebug>
#include <QNetworkDatagram>
#include <QNetworkInterface>

namespace {
const QByteArray question = "alpacadiscovery1";
const QHostAddress ipv6_group(QStringLiteral("ff12::a1:9aca"));
} // namespace

Discovery::Discovery(quint16 alpaca_port)
    : reply("{\"AlpacaPort\":" + QByteArray::number(alpaca_port) + '}') {
    connect(&socket, &QUdpSocket::readyRead, this, &Discovery::answer);
}

bool Discovery::listen(const QHostAddress& address, quint16 port, QString& why) {
    if (!socket.bind(address, port, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint)) {
        why = socket.errorString();
        return false;
    }
    if (address == QHostAddress::Any) {
        for (const QNetworkInterface& i : QNetworkInterface::allInterfaces())
            if (i.flags().testFlags(QNetworkInterface::IsUp | QNetworkInterface::CanMulticast) &&
                !socket.joinMulticastGroup(ipv6_group, i))
                qInfo().noquote() << "Discovery does not hear" << ipv6_group.toString() << "on"
                                  << i.humanReadableName();
    }
    return true;
}

void Discovery::answer() {
    while (socket.hasPendingDatagrams()) {
        const QNetworkDatagram d = socket.receiveDatagram(256);
        if (d.data().startsWith(question))
            socket.writeDatagram(reply, d.senderAddress(), quint16(d.senderPort()));
    }
}
