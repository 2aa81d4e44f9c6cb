#pragma once

#include <QStringList>
#include <QTcpSocket>
#include <QXmlStreamReader>

class IndiServer;

// A raw client of a server: it sends XML as written, checking no names, as
// any client may, and reads everything the server sends about the device.
class IndiClient {
public:
    explicit IndiClient(const IndiServer& server);

    void send(const QByteArray& xml);
    // What the server sent so far, one line an element: "def PROPERTY state",
    // "set PROPERTY state: message", or "message: text".
    QStringList seen();

private:
    QTcpSocket socket;
    QXmlStreamReader reader;
    QStringList lines;
};
