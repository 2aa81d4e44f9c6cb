// The simulator program: its refusals, its link beside the panel, and replies
// that come through split, merged and delayed, read from its pseudo-terminal.
#include "support/pty.h"

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

class SimTest : public QObject {
    Q_OBJECT
private slots:
    void refuses_bad_options_and_foreign_entries_data();
    void refuses_bad_options_and_foreign_entries();
    void replies_come_split_merged_and_delayed_until_a_signal_data();
    void replies_come_split_merged_and_delayed_until_a_signal();
};

void SimTest::refuses_bad_options_and_foreign_entries_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("com1_links_to"); // before and after the run
    QTest::addColumn<int>("exit_code");
    QTest::newRow("unknown option") << QStringList{"--fast"} << "" << 2;
    QTest::newRow("port 16") << QStringList{"--port", "16"} << "" << 2;
    QTest::newRow("no value") << QStringList{"--delay"} << "" << 2;
    QTest::newRow("com1 links to a device") << QStringList{} << "/dev/null" << 1;
}

void SimTest::refuses_bad_options_and_foreign_entries() {
    QFETCH(QStringList, options);
    QFETCH(QString, com1_links_to);
    QTemporaryDir dir;
    const QString com1 = dir.filePath("com1");
    if (!com1_links_to.isEmpty()) QVERIFY(QFile::link(com1_links_to, com1));
    QProcess sim;
    sim.start(QStringLiteral(LUMIVANE_SIM), QStringList{"--dir", dir.path()} + options);
    QVERIFY(sim.waitForFinished(5000));
    QTEST(sim.exitCode(), "exit_code");
    QCOMPARE(QFileInfo(com1).symLinkTarget(), com1_links_to);
}

void SimTest::replies_come_split_merged_and_delayed_until_a_signal_data() {
    QTest::addColumn<int>("ending");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("SIGHUP") << int(SIGHUP);
}

void SimTest::replies_come_split_merged_and_delayed_until_a_signal() {
    QFETCH(int, ending);
    QTemporaryDir dir;
    const QString com7 = dir.filePath("com7");
    QVERIFY(QFile::link(dir.filePath("gone"), com7)); // the stale link of an earlier run
    QProcess sim;
    sim.start(QStringLiteral(LUMIVANE_SIM),
              {"--dir", dir.path(), "--port", "7", "--delay", "100", "--split", "--merge"});
    QVERIFY(sim.waitForReadyRead(5000)); // "linked ..."
    const int port = ::open(QFile::encodeName(com7).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    // Bytes that form no command are skipped; each ':' starts over; ":S#" has no reply.
    QCOMPARE(::write(port, "xx:O#zz:S#:Q#:M:D-1:E4", 22), 22);
    QCOMPARE(read_from(port, 1, 50), QByteArray()); // the replies wait out their delay
    QCOMPARE(read_from(port, 13, 5000), QByteArray(":ELC1#:EDU-1#"));
    QCOMPARE(::write(port, "5", 1), 1); // the rest of ":E45"
    QCOMPARE(read_from(port, 7, 5000), QByteArray(":EFQ45#"));
    ::close(port);
    QCOMPARE(::kill(pid_t(sim.processId()), ending), 0);
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitCode(), 0);
    QVERIFY(!QFileInfo(com7).isSymLink()); // its link is gone
}

QTEST_GUILESS_MAIN(SimTest)
#include "test_sim.moc"
