// Start-up, activation, the pause and shut-down. Shut-down ends the program,
// so it runs in a child process started from this test program.
#include "support/panel_fixture.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>
#include <cstdio>

namespace {

// The child's services: ending the program tells the parent whether the port
// was still open at that moment, then ends the process at once.
class ChildToolkit : public RecordingToolkit {
public:
    const MSComm* port = nullptr;
    [[noreturn]] void End() override {
        std::printf("end port_open=%d\n", port && port->PortOpen() ? 1 : 0);
        std::fflush(stdout);
        std::_Exit(7);
    }
};

// Child: starts a panel in `dir`, optionally takes control, then closes the window.
int child_main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const QString dir = QString::fromLocal8Bit(argv[2]);
    const QString scenario = QString::fromLocal8Bit(argv[3]);
    ChildToolkit toolkit;
    Form1 form(toolkit, dir);
    toolkit.port = &form.device().MSComm1;
    form.Form_Load();
    form.show();
    QCoreApplication::sendPostedEvents(&form, QEvent::MetaCall);
    if (scenario != u"offline") form.Command2_MouseDown(0);
    if (scenario == u"recall") {
        // The operator closes the window during the recall's pause.
        QTimer::singleShot(100, &form, &QWidget::close);
        form.load_Data(1);
        return 4; // the recall must not resume
    }
    form.close();
    return 3; // reached only if closing did not end the program
}

} // namespace

class LifecycleTest : public QObject {
    Q_OBJECT
private slots:
    void activation_reads_once();
    void wait_lasts_its_pause_and_serves_the_line();
    void wait_zero_still_handles_events();
    void closing_the_window_data();
    void closing_the_window();
};

void LifecycleTest::activation_reads_once() {
    PanelFixture panel;
    panel.write_file("com_no.txt", "3\r\n");
    panel.start();
    QCOMPARE(panel.form->Combo1->currentText(), QStringLiteral("COM3"));
    panel.write_file("com_no.txt", "5\r\n");
    // The operator switches to another window and back, and a box of ours closes.
    QWidget other;
    other.show();
    QVERIFY(QTest::qWaitForWindowExposed(&other));
    QApplication::setActiveWindow(&other);
    QTRY_VERIFY(!panel.form->isActiveWindow());
    QApplication::setActiveWindow(panel.form.get());
    QTRY_VERIFY(panel.form->isActiveWindow());
    QCoreApplication::sendPostedEvents(panel.form.get(), QEvent::MetaCall);
    QCOMPARE(panel.form->Combo1->currentText(), QStringLiteral("COM3"));
    QCOMPARE(panel.form->device().MSComm1.CommPort(), 3);
}

void LifecycleTest::wait_lasts_its_pause_and_serves_the_line() {
    PanelFixture panel;
    panel.write_file("com_no.txt", "3\r\n");
    panel.start();
    panel.form->Command3_Click(0);
    QVERIFY(panel.form->device().MSComm1.PortOpen());
    QTimer::singleShot(0, [&] { panel.pty.write(":EDU25#"); });
    QElapsedTimer elapsed;
    elapsed.start();
    panel.form->Wait(500);
    const qint64 took = elapsed.elapsed();
    QVERIFY2(took >= 500, qPrintable(QString::number(took)));
    QVERIFY2(took < 1500, qPrintable(QString::number(took)));
    // Applied inside the pause: nothing has run the event loop since it ended.
    QCOMPARE(panel.form->Label1[0]->text(), QStringLiteral("50%"));
}

void LifecycleTest::wait_zero_still_handles_events() {
    PanelFixture panel;
    panel.start();
    bool ran = false;
    QTimer::singleShot(0, [&] { ran = true; });
    panel.form->Wait(0);
    QVERIFY(ran);
}

void LifecycleTest::closing_the_window_data() {
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<QByteArray>("wire");
    QTest::newRow("port open: control handed back") << "connected" << QByteArray(":O#:F#");
    QTest::newRow("port closed: nothing sent") << "offline" << QByteArray();
    QTest::newRow("during a recall's pause: the recall ends there")
        << "recall" << QByteArray(":O#:D05:F#");
}

void LifecycleTest::closing_the_window() {
    QFETCH(QString, scenario);
    QFETCH(QByteArray, wire);
    PanelFixture panel;
    panel.write_file("com_no.txt", "3\r\n");
    panel.write_file("el_dat.txt", "25 45 5 60 0 0 0 0 0 0 0 0 0 0");
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--child"), panel.dir.path(), scenario});
    QVERIFY(child.waitForFinished(30000));
    // The program ended through Form_Unload, with the port already closed.
    QCOMPARE(child.readAllStandardOutput(), QByteArray("end port_open=0\n"));
    QCOMPARE(child.exitCode(), 7);
    QCOMPARE(panel.pty.read(wire.size()), wire);
    QCOMPARE(panel.pty.read_quiet(), QByteArray());
}

int main(int argc, char* argv[]) {
    if (argc >= 4 && qstrcmp(argv[1], "--child") == 0) return child_main(argc, argv);
    QApplication app(argc, argv);
    LifecycleTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_lifecycle.moc"
