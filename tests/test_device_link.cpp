// The device link on real pseudo-terminals: commands on the wire, the line's
// settings, a stalled or vanished far end, and what each of the inverter's
// reports changes on the panel. How bytes are cut into frames and read is the
// protocol core's, tested on tables in test_inverter_model.
#include "device/comm.h"
#include "device/port_map.h"
#include "shared/start.h"
#include "support/pty.h"
#include "support/recording_panel.h"
#include "support/recording_toolkit.h"
#include "support/table.h"
#include "support/without_capabilities.h"

#include <QTemporaryDir>
#include <QTest>
#include <ctime>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>

class DeviceLinkTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        pty = std::make_unique<Pty>();
        pty->link_as_port(dir.path(), 1);
        panel = std::make_unique<RecordingPanel>();
        toolkit = std::make_unique<RecordingToolkit>();
        comm = std::make_unique<COMM>(*panel, *toolkit, dir.path(), dir.path());
        start::cur_duty = 7; // an earlier line's report
    }

    void commands_go_out_exactly_and_in_order_at_9600_8N1_raw() {
        termios cooked = pty->settings();
        cooked.c_lflag |= ICANON;
        cfsetspeed(&cooked, B1200);
        pty->set_settings(cooked);
        comm->COMM1open();
        const termios line = pty->settings();
        QCOMPARE(line.c_cflag & (CBAUD | CSIZE | PARENB | CSTOPB | CRTSCTS), tcflag_t(B9600 | CS8));
        QCOMPARE(line.c_iflag & (IXON | IXOFF), tcflag_t(0));
        QCOMPARE(line.c_lflag & ICANON, tcflag_t(0));
        // The far end reads nothing until a command waits out the bounded wait of a full line.
        int sent = 0;
        for (QElapsedTimer call; sent < 100000; ++sent) {
            call.start();
            comm->MODE_Com(QStringLiteral(":D25"));
            if (call.elapsed() >= 400) break;
        }
        comm->MODE_Com(QStringLiteral("  :S#  "));
        const QByteArray wire = QByteArray(":D25").repeated(sent + 1) + ":S#";
        QByteArray got; // what the far end reads as it catches up
        QTRY_VERIFY_WITH_TIMEOUT((got += pty->read(wire.size(), 0)).size() >= wire.size(), 10000);
        QCOMPARE(got, wire);
        comm->MODE_Com(QStringLiteral(":F#"));
        comm->COMM1close();                    // right after a command, which still arrives
        comm->MODE_Com(QStringLiteral(":O#")); // closed: dropped
        QCOMPARE(pty->read_quiet(), QByteArray(":F#"));
        QCOMPARE(pty->settings().c_cflag & CBAUD, tcflag_t(B1200)); // as before the port opened
    }

    void a_vanished_device_goes_offline_until_it_is_back() {
        comm->COMM1open();
        pty->write(":ELM0#:EDU2"); // the line ends in the middle of a report
        QVERIFY(pty->taken());
        pty.reset();
        QTRY_VERIFY(!comm->MSComm1.PortOpen());
        QCOMPARE(panel->log.mid(2),
                 QStringList({"Shape1(0)=grey", "Shape1(1)=grey", "View_init(0)"}));
        const std::clock_t cpu = std::clock();
        QTest::qWait(300); // a measuring window: the dead line raises nothing more
        QCOMPARE_LT(std::clock() - cpu, CLOCKS_PER_SEC / 20);
        // Its link dangles and is still port 1; a port without a link is the system's.
        QCOMPARE(port_device(1, dir.path()), dir.path() + "/com1");
        QCOMPARE(port_device(2, dir.path()), QStringLiteral("/dev/ttyS1"));
        // Plugged in again: the next open reaches it, with nothing left of the old
        // line, nor what the device sent before it was opened.
        pty = std::make_unique<Pty>();
        pty->link_as_port(dir.path(), 1);
        pty->write(":ELC1#");
        comm->COMM1open();
        panel->log.clear();
        pty->write("5#:EFQ45#");
        QVERIFY(pty->taken());
        QCOMPARE(panel->log, QStringList{"Label1(1)=450Hz"});
    }

    // A device the system refuses to this user: the operator is told which
    // group to join and how, as the servers log it, and the port's hint says
    // the device is there but not permitted.
    void a_refused_device_says_how_to_get_it() {
        const QByteArray device = pty->slave_path().toLocal8Bit();
        QVERIFY(::chown(device, 65534, ::getgrnam("dialout")->gr_gid) == 0);
        QVERIFY(::chmod(device, 0660) == 0);
        const WithoutCapabilities as_a_user(1u << CAP_DAC_OVERRIDE | 1u << CAP_DAC_READ_SEARCH);
        comm->COMM1open();
        QVERIFY(!comm->MSComm1.PortOpen());
        const QString join =
            QStringLiteral("sudo adduser %1 dialout").arg(::getpwuid(::geteuid())->pw_name);
        QVERIFY2(toolkit->messages.value(0).startsWith("現在COMに使用できるポートがありません。") &&
                     toolkit->messages.value(0).endsWith("ログインし直してください：\n" + join),
                 qPrintable(toolkit->messages.value(0)));
        QVERIFY(port_hint(1, dir.path()).endsWith("（接続あり・使用権限なし）"));
        PortLock lock;
        std::string why;
        QCOMPARE(lock.take(device.toStdString(), why), PortLock::Outcome::failed);
        QVERIFY2(QString::fromStdString(why).contains("join it with \"" + join), why.c_str());
    }

    void reports_change_the_panel_data() {
        // The bytes, "|" where the far end waits until all is read; the changes on the
        // panel; the duty code reported since the port opened, -1 for none.
        const Table<QByteArray, QString, int> row("bytes", "changes", "duty_code");
        row("shutter active, after spaces", ":  CAS1#", "Shape3=red", -1);
        row("shutter done, with the sound", ":CAS0#", "Shape3=menu se-033.mp3", -1);
        row("PC control", ":ELC1#", "Shape1(0)=orange Shape1(1)=unlit View_init(2)", -1);
        row("another control flag", ":ELC2#", "Shape1(0)=unlit Shape1(1)=orange View_init(1)", -1);
        row("voltage mode", ":ELM0#", "Shape4(0)=orange Shape4(1)=unlit", -1);
        row("any other mode flag", ":ELM#", "Shape4(0)=unlit Shape4(1)=orange", -1);
        row("duty and frequency", ":EFQ45#\r\n:EDU50#", "Label1(1)=450Hz Label1(0)=100%", 50);
        row("beep; keywords are case-sensitive", ":fqs#:FQS#:edu25#:Elc1#", "beep", -1);
        row("more than a half up", ":EDU.7#", "Label1(0)=1.4%", 1);
        row("split across reads", ":EFQ45#:E|DU2|5#", "Label1(1)=450Hz Label1(0)=50%", 25);
    }

    void reports_change_the_panel() {
        QFETCH(QByteArray, bytes);
        comm->COMM1open();
        for (const QByteArray& chunk : bytes.split('|')) {
            pty->write(chunk);
            QVERIFY(pty->taken());
        }
        QStringList changes = panel->log + QStringList(toolkit->beeps, QStringLiteral("beep"));
        changes += toolkit->sounds.replaceInStrings(dir.path() + u'/', QString());
        QTEST(changes.join(u' '), "changes");
        QTEST(int(start::cur_duty.value_or(-1)), "duty_code");
    }

private:
    QTemporaryDir dir;
    std::unique_ptr<Pty> pty;
    std::unique_ptr<RecordingPanel> panel;
    std::unique_ptr<RecordingToolkit> toolkit;
    std::unique_ptr<COMM> comm;
};

QTEST_GUILESS_MAIN(DeviceLinkTest)
#include "test_device_link.moc"
