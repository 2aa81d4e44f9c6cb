// The real program on an X server with a window manager, with a
// pseudo-terminal as the inverter: the controls' event rules as the server
// delivers focus, keys, the wheel and the mouse, and the end by a signal.
#include "support/desktop.h"

#include <QFile>
#include <QRegularExpression>
#include <QTest>
#include <csignal>

namespace {

const QPoint pc_button = centre(120, 1080, 855, 615); // "パソコン"
const QRect pc_button_area(120 / 15, 1080 / 15, 855 / 15, 615 / 15);
const QPoint pc_lamp = centre(120, 1680, 855, 135);
const QPoint selector_text = centre(120, 3720, 600, 300); // the text field of the port selector
const QPoint duty_up = centre(1200, 2520, 375, 255);      // "▲" of the duty
const QRect frequency_slider(1680 / 15, 1440 / 15, 3135 / 15, 630 / 15);
const QPoint last_duty_box = centre(8160, 3540, 735, 270); // of the seventh preset

// Takes control for the PC as the inverter grants it, and waits until the panel shows it.
bool take_pc_control(DesktopPanel& panel) {
    panel.click(pc_button);
    if (panel.pty.read(3, 5000) != ":O#") return false;
    panel.pty.write(":ELC1#");
    return QTest::qWaitFor([&] { return panel.pixel(pc_lamp) == QColor(255, 128, 0); }, 5000);
}

} // namespace

class DesktopTest : public QObject {
    Q_OBJECT
private slots:
    void focus_keys_and_wheel_data();
    void focus_keys_and_wheel();
    void slider_data();
    void slider();
    void button_released_after_the_error_box();
    void a_signal_hands_control_back_before_the_port_closes_data();
    void a_signal_hands_control_back_before_the_port_closes();
};

void DesktopTest::focus_keys_and_wheel_data() {
    QTest::addColumn<QPoint>("from");       // clicked first, unless null
    QTest::addColumn<QString>("keys");      // then typed
    QTest::addColumn<int>("notches");       // then the wheel turned over the port selector
    QTest::addColumn<QByteArray>("sent");   // then a click on the duty's "▲" sends ":D01"
    QTest::addColumn<QByteArray>("stored"); // com_no.txt afterwards
    QTest::addColumn<bool>("on_top");
    const QByteArray step = ":D01";
    const QString typed = QStringLiteral("ctrl+a C O M 5 ");
    // Typed text never acts; the click on "▲" takes the focus from it.
    for (const QString end : {"Return", "KP_Enter", "Tab", ""})
        QTest::addRow("selector, typed, %s", end.isEmpty() ? "clicked away" : qPrintable(end))
            << selector_text << typed + end << 0 << step << QByteArray() << false;
    QTest::newRow("selector, arrow key")
        << selector_text << "Down" << 0 << step << QByteArray("2\r\n") << false;
    QTest::newRow("selector, from the list")
        << selector_text << "alt+Down Down Return" << 0 << step << QByteArray("2\r\n") << false;
    QTest::newRow("selector, wheel, not focused")
        << QPoint() << "" << -1 << step << QByteArray() << false;
    QTest::newRow("selector, wheel, focused")
        << selector_text << "" << -1 << step << QByteArray("2\r\n") << false;
    for (const QString enter : {"Return", "KP_Enter"}) {
        QTest::addRow("always on top, %s", qPrintable(enter))
            << last_duty_box << "Tab Tab " + enter << 0 << step << QByteArray() << true;
        QTest::addRow("shutter, %s", qPrintable(enter))
            << selector_text << "Tab " + enter << 0 << step << QByteArray() << false;
        QTest::addRow("duty step, %s", qPrintable(enter))
            << selector_text << "shift+Tab shift+Tab shift+Tab " + enter << 0 << step + step
            << QByteArray() << false;
    }
}

void DesktopTest::focus_keys_and_wheel() {
    QFETCH(QPoint, from);
    QFETCH(QString, keys);
    QFETCH(int, notches);
    QFETCH(QByteArray, sent);
    QFETCH(QByteArray, stored);
    QFETCH(bool, on_top);
    DesktopPanel panel;
    panel.pty.link_as_port(panel.dir.path(), 2); // a pick of COM2 reaches the same line
    QVERIFY(panel.start());
    QVERIFY(take_pc_control(panel));
    if (!from.isNull()) panel.click(from);
    if (!keys.isEmpty()) panel.key(keys);
    if (notches != 0) panel.wheel(selector_text, notches);
    // The line is open and no box is in the way: the click is heard after what went before.
    panel.click(duty_up);
    QCOMPARE(panel.pty.read(sent.size(), 5000), sent);
    QFile file(panel.path("com_no.txt"));
    QCOMPARE(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray(), stored);
    if (on_top)
        QTRY_VERIFY(
            run("xprop", {"-id", panel.window, "_NET_WM_STATE"}).contains("_NET_WM_STATE_ABOVE"));
}

void DesktopTest::slider_data() {
    QTest::addColumn<QString>("style");
    QTest::addColumn<QList<int>>("buttons"); // X buttons clicked in turn; 4 turns the wheel up
    QTest::addColumn<QPoint>("at");          // in the slider
    QTest::addColumn<QByteArray>("sent");    // the frequency slider starts at 45
    const QPoint middle(frequency_slider.width() / 2, frequency_slider.height() / 2);
    const QPoint right_ticks(frequency_slider.width() - 4, frequency_slider.height() - 2);
    const QPoint left_top(4, 1);
    for (const QString style : {"Fusion", "Windows"}) {
        auto row = [&](const char* name) -> QTestData& {
            return QTest::addRow("%s, %s", qPrintable(style), name) << style;
        };
        row("left, right in the ticks") << QList<int>{1} << right_ticks << QByteArray(":E50");
        row("left, left above the groove") << QList<int>{1} << left_top << QByteArray(":E40");
        row("middle, right in the ticks") << QList<int>{2} << right_ticks << QByteArray(":E45");
    }
    // The right button gives the focus and sends the position, moving nothing.
    QTest::newRow("wheel, not focused") << "" << QList<int>{4, 3} << middle << QByteArray(":E45");
    QTest::newRow("wheel, focused")
        << "" << QList<int>{3, 4, 3} << middle << QByteArray(":E45:E46");
}

void DesktopTest::slider() {
    QFETCH(QString, style);
    QFETCH(QList<int>, buttons);
    QFETCH(QPoint, at);
    QFETCH(QByteArray, sent);
    DesktopPanel panel;
    QVERIFY(panel.start(style.isEmpty() ? QStringList() : QStringList{"-style", style}));
    QVERIFY(take_pc_control(panel));
    for (int button : buttons)
        panel.click(frequency_slider.topLeft() + at, button);
    QCOMPARE(panel.pty.read(sent.size(), 5000), sent);
}

void DesktopTest::button_released_after_the_error_box() {
    DesktopPanel panel(0);
    QVERIFY(QFile::link(panel.path("unplugged"), panel.path("com1")));
    QVERIFY(panel.start());
    const QImage released = panel.grab(pc_button_area);
    panel.click(pc_button);
    QString box;
    QTRY_VERIFY(!(box = panel.find("通信エラー")).isEmpty());
    panel.key("Return", box);
    QTRY_VERIFY(panel.find("通信エラー").isEmpty());
    panel.click({2, 2}); // the pointer off the button, on the window's background
    QTRY_COMPARE_WITH_TIMEOUT(panel.grab(pc_button_area), released, 5000);
}

void DesktopTest::a_signal_hands_control_back_before_the_port_closes_data() {
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGHUP") << SIGHUP;
    QTest::newRow("SIGINT") << SIGINT;
}

void DesktopTest::a_signal_hands_control_back_before_the_port_closes() {
    QFETCH(int, signal);
    DesktopPanel panel;
    const QString trace_file = panel.path("trace");
    QVERIFY(panel.start(
        {}, {"strace", "-f", "-qq", "-e", "trace=write,ioctl,close", "-o", trace_file}));
    panel.click(pc_button); // opens the port and takes control
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

QTEST_MAIN(DesktopTest)
#include "test_desktop.moc"
