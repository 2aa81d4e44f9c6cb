#include "indi_client.h"

#include "indi_server.h"

IndiClient::IndiClient(const IndiServer& server) {
    socket.connectToHost(QStringLiteral("127.0.0.1"), server.port());
    socket.waitForConnected(5000);
    send(R"(<getProperties version="1.7" device="Lumivane"/>)");
    // The server's elements follow one another with no root around them.
    reader.addData("<stream>");
}

void IndiClient::send(const QByteArray& xml) {
    socket.write(xml);
    socket.waitForBytesWritten(5000);
}

QStringList IndiClient::seen() {
    while (socket.waitForReadyRead(50))
        reader.addData(socket.readAll());
    while (reader.readNext() != QXmlStreamReader::Invalid) {
        if (!reader.isStartElement()) continue;
        const QXmlStreamAttributes a = reader.attributes();
        const QString tag = reader.name().toString();
        const QString message = a.value("message").toString();
        if (tag == "message")
            lines << "message: " + message;
        else if (tag.startsWith("def") || tag.startsWith("set"))
            lines << QStringLiteral("%1 %2 %3%4")
                         .arg(tag.left(3), a.value("name"), a.value("state"),
                              message.isEmpty() ? "" : ": " + message);
    }
    return lines;
}
