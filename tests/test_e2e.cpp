// The real program in a real window on an X server with a window manager,
// driven by X input at the controls' places, with the simulator as the
// inverter. What the panel shows is read from the screen, not from inside it.
#include "support/desktop.h"

#include <QFile>
#include <QFileInfo>
#include <QTest>

namespace {

// Places on the panel.
const QPoint pc_button = centre(120, 1080, 855, 615);   // "パソコン"
const QPoint pc_lamp = centre(120, 1680, 855, 135);     // lamp under it
const QPoint front_button = centre(120, 120, 855, 615); // "前面VR"
const QPoint front_lamp = centre(120, 720, 855, 135);
const QPoint frequency_mode = centre(2520, 120, 735, 495); // "周波数"
const QPoint frequency_mode_lamp = centre(2520, 600, 735, 135);
const QPoint shutter = centre(3240, 3360, 2415, 495); // "カメラシャッター"
const QPoint shutter_lamp = centre(2760, 3360, 255, 255);
const QPoint on_top_button = centre(8760, 120, 1695, 255); // "常に手前に表示"
const QRect frequency_slider(1680 / 15, 1440 / 15, 3135 / 15, 630 / 15);

const QColor orange(255, 128, 0);
const QColor red(255, 0, 0);

} // namespace

class EndToEndTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void operator_session();

private:
    QStringList received() const; // commands the simulator got, in order
    void expect_commands(const QStringList& expected);

    DesktopPanel panel{0}; // its port COM1 is the simulator's
    QProcess sim;
    qsizetype seen = 0;
};

void EndToEndTest::initTestCase() {
    sim.setProcessChannelMode(QProcess::MergedChannels);
    sim.start(QStringLiteral(LUMIVANE_SIM),
              {"--dir", panel.dir.path(), "--port", "1", "--log", panel.path("sim.log")});
    QVERIFY(sim.waitForStarted());
    QTRY_VERIFY(QFileInfo(panel.path("com1")).isSymLink());
    QVERIFY(panel.start());
}

void EndToEndTest::cleanupTestCase() {
    panel.process.kill();
    panel.process.waitForFinished();
    sim.terminate();
    sim.waitForFinished();
}

QStringList EndToEndTest::received() const {
    QFile log(panel.path("sim.log"));
    QStringList commands;
    if (!log.open(QIODevice::ReadOnly)) return commands;
    for (const QByteArray& line : log.readAll().split('\n')) {
        const qsizetype at = line.indexOf(" <- ");
        if (at >= 0 && !line.contains("<- skipped"))
            commands << QString::fromLatin1(line.mid(at + 4));
    }
    return commands;
}

void EndToEndTest::expect_commands(const QStringList& expected) {
    QTRY_VERIFY_WITH_TIMEOUT(received().size() >= seen + expected.size(), 5000);
    QCOMPARE(received().mid(seen), expected);
    seen += expected.size();
}

void EndToEndTest::operator_session() {
    // Take control: the inverter answers and the panel shows PC control.
    panel.click(pc_button);
    expect_commands({":O#"});
    QTRY_COMPARE(panel.pixel(pc_lamp), orange);

    // Drag the frequency slider's knob to the right end and release it.
    const int knob_x = frequency_slider.left() + 8 + (frequency_slider.width() - 16) * 35 / 60;
    const int groove_y = frequency_slider.top() + 9;
    panel.press({knob_x, groove_y});
    panel.release({frequency_slider.right() + 40, groove_y});
    expect_commands({":E70"});

    // The shutter: held, then released, with the lamp red while it is active.
    panel.press(shutter);
    expect_commands({":C1#"});
    QTRY_COMPARE(panel.pixel(shutter_lamp), red);
    panel.release(shutter);
    expect_commands({":C0#"});
    QTRY_VERIFY(panel.pixel(shutter_lamp) != red);

    // Back to the front panel: the adjustment-mode buttons become usable.
    panel.click(front_button);
    expect_commands({":F#"});
    QTRY_COMPARE(panel.pixel(front_lamp), orange);
    QVERIFY(panel.pixel(pc_lamp) != orange);
    panel.click(frequency_mode);
    expect_commands({":M1#"});
    QTRY_COMPARE(panel.pixel(frequency_mode_lamp), orange);

    // Always on top, and back.
    panel.click(on_top_button);
    QTRY_VERIFY(
        run("xprop", {"-id", panel.window, "_NET_WM_STATE"}).contains("_NET_WM_STATE_ABOVE"));
    panel.click(on_top_button);
    QTRY_VERIFY(
        !run("xprop", {"-id", panel.window, "_NET_WM_STATE"}).contains("_NET_WM_STATE_ABOVE"));

    // Closing the window hands control back and ends the program.
    panel.key("alt+F4");
    QVERIFY(panel.process.waitForFinished(10000));
    QCOMPARE(panel.process.exitStatus(), QProcess::NormalExit);
    expect_commands({":F#"});
    QCOMPARE(received().size(), seen); // ":F#" is the last thing on the wire
}

QTEST_MAIN(EndToEndTest)
#include "test_e2e.moc"
