// Bad input and failing surroundings: noise on the line at line rate, a full
// file system under the settings files, and a preset file of garbage.
#include "device/comm.h"
#include "support/panel_fixture.h"
#include "support/recording_panel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTimer>
#include <sched.h>
#include <sys/mount.h>

namespace {

bool private_mounts = false; // set up in main, before any thread starts

long resident_kb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

// Fills the file system holding dir until nothing more fits.
void fill_up(const QString& dir) {
    QFile filler(dir + QStringLiteral("/filler"));
    QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    const QByteArray block(512, 'x');
    while (filler.write(block) == block.size()) {
    }
    const QByteArray byte(1, 'x');
    while (filler.write(byte) == 1) {
    }
}

} // namespace

class HardeningTest : public QObject {
    Q_OBJECT
private slots:
    void noise_at_line_rate_loses_no_report();
    void full_file_system_keeps_the_old_files();
    void garbage_preset_file_at_start_up();
};

void HardeningTest::noise_at_line_rate_loses_no_report() {
    const int seconds = qEnvironmentVariableIntValue("LUMIVANE_NOISE_SECONDS") > 0
                            ? qEnvironmentVariableIntValue("LUMIVANE_NOISE_SECONDS")
                            : 60;
    QTemporaryDir dir;
    Pty pty;
    pty.link_as_port(dir.path(), 3);
    RecordingPanel panel;
    RecordingToolkit toolkit;
    COMM comm(panel, toolkit, dir.path());
    comm.MSComm1.setCommPort(3);
    comm.COMM1open();
    QVERIFY(comm.MSComm1.PortOpen());

    // Random bytes with whole reports mixed in, paced at 9600 baud (960 bytes/s).
    QRandomGenerator random(60);
    QStringList expected;
    QByteArray pending;
    qint64 sent = 0;
    long rss_after_warm_up = -1;
    QElapsedTimer clock;
    clock.start();
    QTimer pacer;
    connect(&pacer, &QTimer::timeout, this, [&] {
        const qint64 due = clock.elapsed() * 960 / 1000;
        while (pending.size() < due - sent) {
            for (int n = random.bounded(40); n > 0; --n)
                pending += char(random.bounded(256));
            const int duty = int(expected.size() % 51);
            pending += ":EDU" + QByteArray::number(duty).rightJustified(2, '0') + '#';
            expected << QStringLiteral("Label1(0)=%1%").arg(duty * 2);
        }
        const qsizetype n = due - sent;
        pty.write(QByteArrayView(pending).first(n));
        pending.remove(0, n);
        sent += n;
        if (rss_after_warm_up < 0 && clock.elapsed() > 5000) rss_after_warm_up = resident_kb();
    });
    pacer.start(5);
    QTRY_VERIFY_WITH_TIMEOUT(clock.elapsed() >= seconds * 1000, (seconds + 10) * 1000);
    pacer.stop();
    pty.write(pending + ":EDU00#");
    expected << QStringLiteral("Label1(0)=0%");
    QTRY_VERIFY_WITH_TIMEOUT(panel.log.endsWith(expected.last()), 5000);

    // Every inserted report was applied, in order (noise may add a few of its own).
    qsizetype at = 0;
    for (const QString& entry : std::as_const(panel.log)) {
        if (at < expected.size() && entry == expected[at]) ++at;
    }
    QCOMPARE(at, expected.size());
    QVERIFY(comm.MSComm1.PortOpen());
    const long rss_end = resident_kb();
    qInfo("%d s, %lld bytes, %lld reports, %lld panel changes, RSS %ld kB after 5 s, %ld kB at the "
          "end",
          seconds, sent, qlonglong(expected.size()), qlonglong(panel.log.size()), rss_after_warm_up,
          rss_end);
#ifndef __SANITIZE_ADDRESS__ // AddressSanitizer holds freed memory back on purpose
    QVERIFY2(rss_end - rss_after_warm_up < 4096, "resident memory grew by 4 MB or more");
#endif
}

void HardeningTest::full_file_system_keeps_the_old_files() {
    if (!private_mounts) QSKIP("needs a private mount namespace (root or user namespaces)");
    PanelFixture panel;
    Pty com5;
    com5.link_as_port(panel.dir.path(), 5);
    // A small file system of its own, with the settings files and links on it.
    const QString disk = panel.dir.path() + QStringLiteral("/disk");
    QVERIFY(QDir().mkpath(disk));
    QVERIFY(::mount("tmpfs", disk.toLocal8Bit().constData(), "tmpfs", 0, "size=64k") == 0);
    QVERIFY(QFile::link(panel.pty.slave_path(), disk + "/com3"));
    QVERIFY(QFile::link(com5.slave_path(), disk + "/com5"));
    const QByteArray presets(" 25 \r\n 45 \r\n 10 \r\n 40 \r\n 20 \r\n 40 \r\n 30 \r\n"
                             " 50 \r\n 40 \r\n 60 \r\n 50 \r\n 70 \r\n 15 \r\n 30 \r\n");
    {
        QFile f(disk + "/el_dat.txt");
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(presets);
        QFile p(disk + "/com_no.txt");
        QVERIFY(p.open(QIODevice::WriteOnly));
        p.write("3\r\n");
    }
    fill_up(disk);
    RecordingToolkit toolkit;
    Form1 form(toolkit, disk);
    form.Form_Load();
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCoreApplication::sendPostedEvents(&form, QEvent::MetaCall);
    QCOMPARE(form.Combo1->currentText(), QStringLiteral("COM3"));
    form.Command2_MouseDown(0);
    QCOMPARE(panel.pty.read(3), QByteArray(":O#"));
    panel.pty.write(":ELC1#:EDU30#:EFQ55#");
    QTRY_COMPARE(form.Label1[1]->text(), QStringLiteral("550Hz"));
    form.Command6_Click(1);
    QCOMPARE(toolkit.boxes.size(), 1);
    QCOMPARE(toolkit.boxes[0].title, QStringLiteral("保存エラー"));
    form.Combo1->setCurrentIndex(4);
    form.Combo1_Click();
    QVERIFY(form.device().MSComm1.PortOpen()); // the pick goes on to port 5
    QCOMPARE(form.device().MSComm1.CommPort(), 5);
    auto bytes = [&](const char* name) {
        QFile f(disk + u'/' + QLatin1String(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    };
    QCOMPARE(bytes("el_dat.txt"), presets);
    QCOMPARE(bytes("com_no.txt"), QByteArray("3\r\n"));
    QCOMPARE(QDir(disk).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 5);
    QVERIFY(::umount2(disk.toLocal8Bit().constData(), MNT_DETACH) == 0);
}

void HardeningTest::garbage_preset_file_at_start_up() {
    QRandomGenerator random(6);
    QByteArray garbage("\x01\xff");
    for (int i = 0; i < 4096; ++i)
        garbage += char(random.bounded(256));
    struct Case {
        QByteArray content;
        QString first_duty;
    };
    for (const Case& c : {Case{garbage, " 0"}, Case{"12 34 " + garbage, " 24"}}) {
        PanelFixture panel;
        panel.write_file("el_dat.txt", c.content);
        panel.start();
        QVERIFY(panel.form->isVisible());
        QCOMPARE(panel.form->Text2[0]->text(), c.first_duty);
        for (int r = 1; r < 7; ++r) {
            QCOMPARE(panel.form->Text2[r]->text(), QStringLiteral(" 0"));
            QCOMPARE(panel.form->Text1[r]->text(), QStringLiteral(" 0"));
        }
        QCOMPARE(panel.form->Text2[0]->palette().color(QPalette::Base), QColor(255, 255, 0));
        QCOMPARE(panel.read_file("el_dat.txt"), c.content);
        QVERIFY(panel.toolkit.boxes.isEmpty());
        QCOMPARE(panel.pty.read_quiet(), QByteArray());
    }
}

int main(int argc, char* argv[]) {
    // A mount namespace of our own, so the small file system is private to
    // this test and goes away with it. Done while the process has one thread.
    private_mounts = ::unshare(CLONE_NEWNS) == 0 &&
                     ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    QApplication app(argc, argv);
    HardeningTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_hardening.moc"
