#include "lumivaned.h"

#include "free_port.h"

#include <QDeadlineTimer>
#include <QRegularExpression>
#include <csignal>
#include <sys/prctl.h>
#include <sys/socket.h>

Lumivaned::Lumivaned(const QString& program, const QString& dir)
    : config_dir(dir.isEmpty() ? config.path() : dir), discovery(free_port(SOCK_DGRAM)) {
    process.setReadChannel(QProcess::StandardError);
    QStringList arguments = {
        "--http-port", "0", "--discovery-port", QString::number(discovery), "--config", config_dir};
    if (dir.isEmpty()) arguments << "--serial" << inverter.slave_path();
    // It ends with the test, however the test ends.
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    // Where the test runs under an emulator (a cross build's), lumivaned does too.
    const QStringList command =
        QString::fromLocal8Bit(qgetenv("LUMIVANE_EMULATOR")).split(u' ', Qt::SkipEmptyParts)
        << program;
    process.start(command.first(), command.mid(1) + arguments);
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
