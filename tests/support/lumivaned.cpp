#include "lumivaned.h"

#include <QDeadlineTimer>
#include <QRegularExpression>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

quint16 free_port(int type) {
    const int s = socket(AF_INET, type, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    bind(s, reinterpret_cast<sockaddr*>(&address), size);
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &size);
    close(s);
    return ntohs(address.sin_port);
}

Lumivaned::Lumivaned(const QString& program, const QString& dir)
    : config_dir(dir.isEmpty() ? config.path() : dir), discovery(free_port(SOCK_DGRAM)) {
    process.setReadChannel(QProcess::StandardError);
    QStringList arguments = {"--http-port", "0", "--discovery-port", QString::number(discovery),
                             "--config", config_dir};
    if (dir.isEmpty()) arguments << "--serial" << inverter.slave_path();
    process.start(program, arguments);
    // The first line names the port the system chose.
    static const QRegularExpression serving(QStringLiteral("Serving http://127.0.0.1:(\\d+)/"));
    const QDeadlineTimer deadline(10000);
    QByteArray log;
    while (!log.contains('\n') && process.waitForReadyRead(int(deadline.remainingTime())))
        log += process.readAllStandardError();
    http = quint16(serving.match(QString::fromUtf8(log)).captured(1).toUInt());
}

Lumivaned::~Lumivaned() {
    process.terminate();
    process.waitForFinished();
}
