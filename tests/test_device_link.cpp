// The device link on real pseudo-terminals: commands on the wire, opening and
// closing, and the inverter's reports cut out of what the line delivers.
#include "device/comm.h"
#include "device/port_map.h"
#include "support/pty.h"
#include "support/recording_panel.h"
#include "support/recording_toolkit.h"

#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <sys/resource.h>

class DeviceLinkTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void every_command_goes_out_exactly();
    void nothing_goes_out_while_closed();
    void line_runs_at_9600_8N1_until_closed();
    void a_stalled_line_stays_open_and_catches_up();
    void port_numbers_map_to_devices();
    void open_failure_warns_once_per_call();
    void opening_an_open_port_does_nothing();
    void random_chunks_deliver_every_report_in_order();
    void an_unplugged_adapter_closes_the_port_until_it_is_back();
    void a_new_line_starts_with_an_empty_buffer_data();
    void a_new_line_starts_with_an_empty_buffer();
    void line_diagnostics_when_turned_on_and_nothing_when_off();

private:
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<Pty> pty;
    std::unique_ptr<RecordingPanel> panel;
    std::unique_ptr<RecordingToolkit> toolkit;
    std::unique_ptr<COMM> comm;
};

void DeviceLinkTest::init() {
    dir = std::make_unique<QTemporaryDir>();
    pty = std::make_unique<Pty>();
    pty->link_as_port(dir->path(), 3);
    panel = std::make_unique<RecordingPanel>();
    toolkit = std::make_unique<RecordingToolkit>();
    comm = std::make_unique<COMM>(*panel, *toolkit, dir->path());
    comm->MSComm1.setCommPort(3);
}

void DeviceLinkTest::cleanup() {
    comm.reset();
    pty.reset();
    dir.reset();
}

void DeviceLinkTest::every_command_goes_out_exactly() {
    comm->COMM1open();
    QVERIFY(comm->MSComm1.PortOpen());
    QVERIFY(toolkit->boxes.isEmpty());
    const QStringList commands = {":C1#", ":C0#", ":O#",  ":F#", ":M0#",
                                  ":M1#", ":S#",  ":D07", ":E45"};
    QByteArray expected;
    for (const QString& command : commands) {
        comm->MODE_Com(command);
        expected += command.toLatin1();
    }
    comm->MODE_Com(QStringLiteral("  :S#  "));
    expected += ":S#";
    QCOMPARE(pty->read(expected.size()), expected);
    QCOMPARE(pty->read_quiet(), QByteArray());
}

void DeviceLinkTest::nothing_goes_out_while_closed() {
    comm->MODE_Com(QStringLiteral(":O#"));
    comm->COMM1open();
    comm->COMM1close();
    comm->COMM1close(); // closing a closed port is harmless
    comm->MODE_Com(QStringLiteral(":F#"));
    QVERIFY(!comm->MSComm1.PortOpen());
    QCOMPARE(pty->read_quiet(), QByteArray());
    QVERIFY(toolkit->boxes.isEmpty());
}

void DeviceLinkTest::line_runs_at_9600_8N1_until_closed() {
    const termios before = pty->settings();
    comm->COMM1open();
    const termios line = pty->settings();
    QCOMPARE(cfgetospeed(&line), speed_t(B9600));
    QCOMPARE(cfgetispeed(&line), speed_t(B9600));
    QCOMPARE(line.c_cflag & CSIZE, tcflag_t(CS8));
    QCOMPARE(line.c_cflag & (PARENB | CSTOPB | CRTSCTS), tcflag_t(0));
    QCOMPARE(line.c_iflag & (IXON | IXOFF), tcflag_t(0));
    QCOMPARE(line.c_lflag & ICANON, tcflag_t(0));
    // The last command still arrives when the port closes right after it,
    // and closing puts back the settings the line had before.
    comm->MODE_Com(QStringLiteral(":F#"));
    comm->COMM1close();
    QCOMPARE(pty->read(3), QByteArray(":F#"));
    const termios after = pty->settings();
    QCOMPARE(cfgetospeed(&after), cfgetospeed(&before));
}

void DeviceLinkTest::a_stalled_line_stays_open_and_catches_up() {
    comm->COMM1open();
    // The far end stops reading until the line takes no more.
    int sent = 0;
    for (QElapsedTimer call; sent < 100000; ++sent) {
        call.start();
        comm->MODE_Com(QStringLiteral(":D25"));
        if (call.elapsed() >= 400) break; // the bounded wait of a full line
    }
    QVERIFY(comm->MSComm1.PortOpen());
    QVERIFY(panel->log.isEmpty());
    comm->MODE_Com(QStringLiteral(":F#"));
    // Reading again, the far end gets every command in order, the last one last.
    const QByteArray expected = QByteArray(":D25").repeated(sent + 1) + ":F#";
    QByteArray got;
    for (QDeadlineTimer deadline(10000); got.size() < expected.size() && !deadline.hasExpired();) {
        QCoreApplication::processEvents();
        got += pty->read(1, 20);
    }
    QCOMPARE(got.size(), expected.size());
    QCOMPARE(got, expected);
}

void DeviceLinkTest::port_numbers_map_to_devices() {
    QCOMPARE(port_device(3, dir->path()), dir->path() + "/com3");
    QCOMPARE(port_device(1, dir->path()), QStringLiteral("/dev/ttyS0"));
    QCOMPARE(port_device(15, dir->path()), QStringLiteral("/dev/ttyS14"));
    // An unplugged adapter's dangling link is still its port, not /dev/ttyS9.
    QVERIFY(QFile::link(dir->path() + "/gone", dir->path() + "/com10"));
    QCOMPARE(port_device(10, dir->path()), dir->path() + "/com10");
}

void DeviceLinkTest::open_failure_warns_once_per_call() {
    QVERIFY(QFile::link(dir->path() + "/no-such-device", dir->path() + "/com15"));
    comm->MSComm1.setCommPort(15);
    comm->COMM1open();
    QCOMPARE(toolkit->boxes.size(), 1);
    const RecordingToolkit::Box box = toolkit->boxes.first();
    QCOMPARE(box.title, QStringLiteral("通信エラー"));
    QCOMPARE(box.prompt, QStringLiteral("現在COMに使用できるポートがありません。"));
    QCOMPARE(box.buttons, Toolkit::vbOKCancel + Toolkit::vbExclamation);
    QVERIFY(!comm->MSComm1.PortOpen());
    toolkit->answer = Toolkit::vbCancel; // either answer only closes the box
    comm->COMM1open();
    QCOMPARE(toolkit->boxes.size(), 2);
    QVERIFY(!comm->MSComm1.PortOpen());
    comm->MODE_Com(QStringLiteral(":O#"));
    QCOMPARE(pty->read_quiet(), QByteArray());
}

void DeviceLinkTest::opening_an_open_port_does_nothing() {
    comm->COMM1open();
    comm->MSComm1.setCommPort(15); // would fail if it were reopened
    comm->COMM1open();
    QVERIFY(comm->MSComm1.PortOpen());
    QVERIFY(toolkit->boxes.isEmpty());
    comm->MODE_Com(QStringLiteral(":O#"));
    QCOMPARE(pty->read(3), QByteArray(":O#"));
}

void DeviceLinkTest::random_chunks_deliver_every_report_in_order() {
    comm->COMM1open();
    QRandomGenerator random(7);
    QByteArray stream;
    QStringList expected;
    for (int i = 0; i < 400; ++i) {
        const int duty = random.bounded(51);
        stream += ":EDU" + QByteArray::number(duty).rightJustified(2, '0') + '#';
        expected << QStringLiteral("Label1(0)=%1%").arg(duty * 2);
    }
    for (qsizetype at = 0; at < stream.size();) {
        const qsizetype n = std::min<qsizetype>(1 + random.bounded(12), stream.size() - at);
        pty->write(QByteArrayView(stream).sliced(at, n));
        at += n;
        if (random.bounded(3) == 0) QCoreApplication::processEvents(); // some chunks alone
    }
    QTRY_COMPARE_WITH_TIMEOUT(panel->log.size(), expected.size(), 5000);
    QCOMPARE(panel->log, expected);
}

void DeviceLinkTest::an_unplugged_adapter_closes_the_port_until_it_is_back() {
    comm->COMM1open();
    QVERIFY(comm->MSComm1.PortOpen());
    // The adapter goes away: its line ends and its link is removed.
    pty.reset();
    QFile::remove(dir->path() + "/com3");
    QTRY_VERIFY(!comm->MSComm1.PortOpen());
    // The panel no longer claims any control: lamps as at start, offline view.
    QCOMPARE(panel->log, QStringList({"Shape1(0)=e0e0e0", "Shape1(1)=e0e0e0", "View_init(0)"}));
    panel->log.clear();
    // The dead line raises nothing more: a short idle spell costs no CPU.
    const auto cpu_ms = [] {
        rusage u{};
        getrusage(RUSAGE_SELF, &u);
        return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000 +
               (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000;
    };
    const long before = cpu_ms();
    QTest::qWait(300); // a measuring window, not a synchronisation
    QVERIFY2(cpu_ms() - before < 60, qPrintable(QString::number(cpu_ms() - before)));
    comm->MODE_Com(QStringLiteral(":O#")); // dropped like on a closed port
    QVERIFY(toolkit->boxes.isEmpty());
    comm->COMM1open(); // still away: one warning for this attempt
    QCOMPARE(toolkit->boxes.size(), 1);
    // Plugged in again under the same name: the next open reaches it.
    pty = std::make_unique<Pty>();
    pty->link_as_port(dir->path(), 3);
    comm->COMM1open();
    QVERIFY(comm->MSComm1.PortOpen());
    QCOMPARE(toolkit->boxes.size(), 1);
    comm->MODE_Com(QStringLiteral(":O#"));
    QCOMPARE(pty->read(3), QByteArray(":O#"));
    pty->write(":ELC1#");
    QTRY_COMPARE(panel->log.size(), 3);
}

void DeviceLinkTest::a_new_line_starts_with_an_empty_buffer_data() {
    QTest::addColumn<bool>("vanishes");
    QTest::newRow("the old device vanishes") << true;
    QTest::newRow("the operator changes the port") << false;
}

void DeviceLinkTest::a_new_line_starts_with_an_empty_buffer() {
    QFETCH(bool, vanishes);
    comm->COMM1open();
    pty->write(":ELM0#:EDU2"); // a report cut short as the line ends
    QTRY_VERIFY(!panel->log.isEmpty());
    if (vanishes) {
        pty.reset();
        QTRY_VERIFY(!comm->MSComm1.PortOpen());
    } else {
        comm->COMM1close();
    }
    Pty other;
    other.link_as_port(dir->path(), 4);
    comm->MSComm1.setCommPort(4);
    comm->COMM1open();
    panel->log.clear();
    other.write("5#:EFQ45#");
    QTRY_VERIFY(!panel->log.isEmpty());
    QCOMPARE(panel->log, QStringList({"Label1(1)=450Hz"}));
}

namespace {
QStringList* captured = nullptr;
void capture(QtMsgType, const QMessageLogContext& context, const QString& message) {
    if (captured && qstrcmp(context.category, "lumivane.line") == 0) captured->append(message);
}
} // namespace

void DeviceLinkTest::line_diagnostics_when_turned_on_and_nothing_when_off() {
    QStringList lines;
    captured = &lines;
    const QtMessageHandler previous = qInstallMessageHandler(capture);
    auto exchange = [this] {
        comm->COMM1open();
        comm->MODE_Com(QStringLiteral(":O#"));
        QCOMPARE(pty->read(3), QByteArray(":O#"));
        pty->write(":ELC1#");
        QTRY_VERIFY(panel->log.contains(QStringLiteral("View_init(2)")));
        panel->log.clear();
        comm->COMM1close();
    };
    exchange(); // off by default
    QVERIFY2(lines.isEmpty(), qPrintable(lines.join(u'\n')));

    QLoggingCategory::setFilterRules(QStringLiteral("lumivane.line.debug=true"));
    exchange();
    QLoggingCategory::setFilterRules(QString());
    qInstallMessageHandler(previous);
    captured = nullptr;
    const QString stamp = QStringLiteral("\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d ");
    const QStringList expected = {
        stamp + QRegularExpression::escape(
                    QStringLiteral("COM3 (%1/com3) opened, 9600 8N1").arg(dir->path())),
        stamp + QStringLiteral("-> :O#"), stamp + QStringLiteral("<- ELC1#"),
        stamp + QStringLiteral("COM3 closed")};
    QVERIFY2(lines.size() == expected.size(), qPrintable(lines.join(u'\n')));
    for (int i = 0; i < lines.size(); ++i)
        QVERIFY2(QRegularExpression(u'^' + expected[i] + u'$').match(lines[i]).hasMatch(),
                 qPrintable(lines[i]));
}

QTEST_GUILESS_MAIN(DeviceLinkTest)
#include "test_device_link.moc"
