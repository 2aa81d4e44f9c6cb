// The real program on an X server ended by a signal, as a logout, a shutdown
// or Ctrl-C ends it: it hands control back to the front panel, lets the
// command leave the line, and only then closes the port. The order of the
// system calls is read from strace.
#include "support/pty.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

namespace {

QString run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    p.waitForFinished(10000);
    return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
}

} // namespace

class ShutdownTest : public QObject {
    Q_OBJECT
private slots:
    void a_signal_hands_control_back_before_the_port_closes_data();
    void a_signal_hands_control_back_before_the_port_closes();
};

void ShutdownTest::a_signal_hands_control_back_before_the_port_closes_data() {
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGHUP") << SIGHUP;
    QTest::newRow("SIGINT") << SIGINT;
}

void ShutdownTest::a_signal_hands_control_back_before_the_port_closes() {
    QFETCH(int, signal);
    QTemporaryDir dir;
    QVERIFY(QFile::copy(QStringLiteral(LUMIVANE_EXE), dir.filePath("lumivane")));
    Pty pty;
    pty.link_as_port(dir.path(), 1);
    QProcess traced;
    traced.start("strace", {"-f", "-qq", "-e", "trace=write,ioctl,close", "-o",
                            dir.filePath("trace"), dir.filePath("lumivane")});
    QVERIFY(traced.waitForStarted());
    const QString window =
        run("xdotool", {"search", "--sync", "--onlyvisible", "--name", "^Lumivane ver1.54$"});
    QVERIFY(!window.isEmpty());
    // "パソコン" takes control: the port opens and ":O#" goes out.
    run("xdotool", {"mousemove", "--window", window, "36", "92", "click", "1"});
    QCOMPARE(pty.read(3, 5000), QByteArray(":O#"));

    const pid_t pid = run("xdotool", {"getwindowpid", window}).toInt();
    QVERIFY(pid > 0);
    QCOMPARE(::kill(pid, signal), 0);
    QCOMPARE(pty.read(3, 5000), QByteArray(":F#"));
    QVERIFY(traced.waitForFinished(10000));
    QCOMPARE(traced.exitCode(), 0);

    // The command is written, the line drained (TCSBRK), and only then are the
    // line's old settings put back (TCSETS) and the port closed.
    QFile trace(dir.filePath("trace"));
    QVERIFY(trace.open(QIODevice::ReadOnly));
    const QString calls = QString::fromLatin1(trace.readAll());
    const QRegularExpressionMatch written =
        QRegularExpression(R"(write\((\d+), ":F#", 3\) += 3)").match(calls);
    QVERIFY(written.hasMatch());
    const QString fd = written.captured(1);
    const QString after = calls.mid(written.capturedEnd());
    const auto first = [&](const QString& call) {
        return after.indexOf(QRegularExpression(call.arg(fd)));
    };
    const qsizetype drained = first(QStringLiteral(R"(ioctl\(%1, TCSBRK, 1\))"));
    const qsizetype restored = first(QStringLiteral(R"(ioctl\(%1, .*TCSETS)"));
    const qsizetype closed = first(QStringLiteral(R"(close\(%1\))"));
    QVERIFY2(drained >= 0, qPrintable(after.left(2000)));
    QVERIFY(restored > drained);
    QVERIFY(closed > restored);
}

QTEST_GUILESS_MAIN(ShutdownTest)
#include "test_shutdown.moc"
