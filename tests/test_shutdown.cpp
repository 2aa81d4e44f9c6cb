// The real program on an X server ended by a signal, as a logout, a shutdown
// or Ctrl-C ends it: it hands control back to the front panel, lets the
// command leave the line, and only then closes the port. The order of the
// system calls is read from strace.
#include "support/desktop.h"

#include <QRegularExpression>
#include <QTest>
#include <csignal>

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
    DesktopPanel panel;
    const QString trace_file = panel.path("trace");
    QVERIFY(panel.start(
        {}, {"strace", "-f", "-qq", "-e", "trace=write,ioctl,close", "-o", trace_file}));
    panel.click(centre(120, 1080, 855, 615)); // "パソコン" opens the port and takes control
    QCOMPARE(panel.pty.read(3, 5000), QByteArray(":O#"));

    const pid_t pid = run("xdotool", {"getwindowpid", panel.window}).toInt();
    QVERIFY(pid > 0);
    QCOMPARE(::kill(pid, signal), 0);
    QCOMPARE(panel.pty.read(3, 5000), QByteArray(":F#"));
    QVERIFY(panel.process.waitForFinished(10000));
    QCOMPARE(panel.process.exitCode(), 0);

    // The command is written, the line drained (TCSBRK), and only then are the
    // line's old settings put back (TCSETS) and the port closed.
    QFile trace(trace_file);
    QVERIFY(trace.open(QIODevice::ReadOnly));
    const QString calls = QString::fromLatin1(trace.readAll());
    const QRegularExpressionMatch written =
        QRegularExpression(R"(write\((\d+), ":F#", 3\) += 3)").match(calls);
    QVERIFY(written.hasMatch());
    const QString after = calls.mid(written.capturedEnd());
    const auto first = [&](const QString& call) {
        return after.indexOf(QRegularExpression(call.arg(written.captured(1))));
    };
    const qsizetype drained = first(QStringLiteral(R"(ioctl\(%1, TCSBRK, 1\))"));
    const qsizetype restored = first(QStringLiteral(R"(ioctl\(%1, .*TCSETS)"));
    const qsizetype closed = first(QStringLiteral(R"(close\(%1\))"));
    QVERIFY2(drained >= 0, qPrintable(after.left(2000)));
    QVERIFY(restored > drained);
    QVERIFY(closed > restored);
}

QTEST_MAIN(ShutdownTest)
#include "test_shutdown.moc"
