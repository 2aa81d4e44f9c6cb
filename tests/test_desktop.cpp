// The real program on an X server with a window manager, driven by X input
// at the controls' places and read from the screen: the controls' event rules
// as the server delivers focus, keys, the wheel and the mouse, an operator's
// session with the simulator as the inverter, and the end by a signal. Where
// the test plays the inverter itself, a pseudo-terminal is the line.
#include "support/desktop.h"
#include "support/table.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTest>
#include <QWindow>
#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <xcb/xcb.h>

namespace {

const QPoint pc_button = centre(120, 1080, 855, 615); // "パソコン"
const QRect pc_button_area(120 / 15, 1080 / 15, 855 / 15, 615 / 15);
const QPoint pc_lamp = centre(120, 1680, 855, 135);
const QPoint shutter = centre(3240, 3360, 2415, 495); // "カメラシャッター"
const QPoint shutter_lamp = centre(2760, 3360, 255, 255);
const QPoint on_top_button = centre(8760, 120, 1695, 255); // "常に手前に表示"
const QPoint selector_text = centre(120, 3720, 600, 300);  // the text field of the port selector
const QRect selector_area(120 / 15, 3720 / 15, 1095 / 15, 300 / 15);
const QPoint duty_up = centre(1200, 2520, 375, 255); // "▲" of the duty
const QRect duty_up_area(1200 / 15, 2520 / 15, 375 / 15, 255 / 15);
const QRect duty_read_out(5040 / 15, 2640 / 15, 735 / 15, 255 / 15);
const QRect frequency_slider(1680 / 15, 1440 / 15, 3135 / 15, 630 / 15);
const QColor orange(255, 128, 0);
const QColor red(255, 0, 0);

// The contrast of the lightest and darkest pixels of an image, 1 to 21.
double contrast(const QImage& image) {
    const auto luminance = [](QColor c) {
        const auto linear = [](double v) {
            return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
    };
    double lightest = 0, darkest = 1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            lightest = std::max(lightest, luminance(image.pixelColor(x, y)));
            darkest = std::min(darkest, luminance(image.pixelColor(x, y)));
        }
    return (lightest + 0.05) / (darkest + 0.05);
}

// Takes control for the PC as the inverter grants it, and waits until the panel shows it.
bool take_pc_control(DesktopPanel& panel) {
    panel.click(pc_button);
    if (panel.pty.read(3, 5000) != ":O#") return false;
    panel.pty.write(":ELC1#");
    return QTest::qWaitFor([&] { return panel.pixel(pc_lamp) == orange; }, 5000);
}

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The commands the simulator has received, in order, from its log.
QStringList received(const QString& log_path) {
    static const QRegularExpression command(" <- (?!skipped)(.*)");
    QStringList commands;
    for (const QRegularExpressionMatch& m :
         command.globalMatch(QString::fromLatin1(contents(log_path))))
        commands << m.captured(1);
    return commands;
}

// Sends an X window a client message of a type no program takes as one (PRIMARY).
void send_unknown_message(const QString& display, xcb_window_t window) {
    xcb_connection_t* c = xcb_connect(qPrintable(display), nullptr);
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = XCB_ATOM_PRIMARY;
    xcb_send_event(c, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&message));
    xcb_flush(c);
    xcb_disconnect(c);
}

} // namespace

class DesktopTest : public QObject {
    Q_OBJECT
private slots:
    void focus_keys_and_wheel_data() {
        // The port selector clicked first, or not; keys then typed; the X button then
        // clicked over the port selector (5: the wheel turned a notch towards the
        // operator); what is sent before the click on the duty's "▲" that follows;
        // com_no.txt afterwards.
        const Table<bool, QString, int, QByteArray, QByteArray> row("focused", "keys", "button",
                                                                    "sent", "stored");
        // Typed text never acts; the click on "▲" takes the focus from it.
        for (const QString end : {"Return", "KP_Enter", "Tab", ""})
            row("selector, typed, " + (end.isEmpty() ? "clicked away" : end), true,
                "ctrl+a C O M 5 " + end, 0, "", "");
        row("selector, arrow key", true, "Down", 0, "", "2\r\n");
        row("selector, from the list", true, "alt+Down Down Return", 0, "", "2\r\n");
        row("selector, wheel, not focused", false, "", 5, "", "");
        row("selector, wheel, focused", true, "", 5, "", "2\r\n");
        const QString back = QStringLiteral("shift+Tab ");
        for (const QString enter : {"Return", "KP_Enter"}) {
            row("shutter, " + enter, true, "Tab " + enter, 0, "", "");
            row("duty step, " + enter, true, back.repeated(3) + enter, 0, ":D01", "");
        }
        // The control-source buttons act on the key press, as on mouse-down.
        row("PC source, Return", true, back.repeated(7) + "Return", 0, ":O#", "");
        row("front-panel source, Space", true, back.repeated(8) + "space", 0, ":F#", "");
    }

    void focus_keys_and_wheel() {
        QFETCH(bool, focused);
        QFETCH(QString, keys);
        QFETCH(int, button);
        QFETCH(QByteArray, sent);
        QFETCH(QByteArray, stored);
        DesktopPanel panel;
        panel.pty.link_as_port(panel.dir.path(), 2); // a pick of COM2 reaches the same line
        QVERIFY(panel.start());
        QVERIFY(take_pc_control(panel));
        const QImage selector = panel.grab(selector_area);
        if (focused) panel.click(selector_text);
        if (!keys.isEmpty()) QVERIFY(panel.key(keys));
        if (button != 0) panel.click(selector_text, button);
        // The line is open and no box is in the way: the click is heard after what went before.
        panel.click(duty_up);
        QCOMPARE(panel.pty.read(sent.size() + 4, 5000), sent + ":D01");
        QCOMPARE(contents(panel.path("com_no.txt")), stored);
        // Without a pick the selector shows the port in force again, whatever was typed.
        if (stored.isEmpty()) QTRY_COMPARE(panel.grab(selector_area), selector);
    }

    void slider_data() {
        // X buttons clicked in turn (4 turns the wheel up) at a place in the
        // slider; the frequency slider starts at 45.
        const Table<QString, QList<int>, QPoint, QByteArray> row("style", "buttons", "at", "sent");
        const QPoint right_ticks(frequency_slider.width() - 4, frequency_slider.height() - 2);
        for (const QString style : {"Fusion", "Windows"}) {
            row(style + ", left, right in the ticks", style, {1}, right_ticks, ":E50");
            row(style + ", left, left above the groove", style, {1}, {4, 1}, ":E40");
            row(style + ", middle, right in the ticks", style, {2}, right_ticks, ":E45");
        }
        // The right button gives the focus and sends the position, moving nothing.
        const QPoint middle(frequency_slider.width() / 2, frequency_slider.height() / 2);
        row("wheel, not focused", "", {4, 3}, middle, ":E45");
        row("wheel, focused", "", {3, 4, 3}, middle, ":E45:E46");
    }

    void slider() {
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

    void button_released_after_the_error_box() {
        DesktopPanel panel(0);
        QVERIFY(QFile::link(panel.path("unplugged"), panel.path("com1")));
        QVERIFY(panel.start());
        const QImage released = panel.grab(pc_button_area);
        panel.click(pc_button);
        QString box;
        QTRY_VERIFY(!(box = panel.find("通信エラー")).isEmpty());
        QVERIFY(panel.key("Return", box));
        QTRY_VERIFY(panel.find("通信エラー").isEmpty());
        panel.click({2, 2}); // the pointer off the button, on the window's background
        QTRY_COMPARE_WITH_TIMEOUT(panel.grab(pc_button_area), released, 5000);
    }

    void operator_session_with_the_simulator() {
        DesktopPanel panel(0);
        // An entry that is not the simulator's is left alone; a stale link of its own is replaced.
        QVERIFY(QFile::link("/dev/null", panel.path("com2")));
        QCOMPARE(QProcess::execute(LUMIVANE_SIM, {"--dir", panel.dir.path(), "--port", "2"}), 1);
        QCOMPARE(QFileInfo(panel.path("com2")).symLinkTarget(), QStringLiteral("/dev/null"));
        QVERIFY(QFile::link(panel.path("gone"), panel.path("com1")));
        QProcess sim;
        const QString log = panel.path("sim.log");
        // Replies in chunks of 1 to 3 bytes, two at a time, each after 100 ms.
        sim.start(QStringLiteral(LUMIVANE_SIM), {"--dir", panel.dir.path(), "--log", log, "--split",
                                                 "--merge", "--delay", "100"});
        QTRY_VERIFY(QFileInfo(panel.path("com1")).exists());
        // A second simulator never takes over the link of a live one.
        const QString served = QFileInfo(panel.path("com1")).symLinkTarget();
        QProcess second;
        second.start(LUMIVANE_SIM, {"--dir", panel.dir.path(), "--port", "1"});
        QVERIFY(second.waitForFinished(5000));
        QCOMPARE(second.exitCode(), 1);
        QCOMPARE(QFileInfo(panel.path("com1")).symLinkTarget(), served);
        QVERIFY(panel.start());
        qsizetype seen = 0;
        const auto expect_commands = [&](const QStringList& expected) {
            QTRY_VERIFY_WITH_TIMEOUT(received(log).size() >= seen + expected.size(), 5000);
            QCOMPARE(received(log).mid(seen), expected);
            seen += expected.size();
        };
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
        // Always on top, and back, where the operator put the window.
        run("xdotool", {"windowmove", "--sync", panel.window, "60", "70"});
        const QString place = run("xdotool", {"getwindowgeometry", panel.window});
        for (const bool above : {true, false, true}) {
            panel.click(on_top_button);
            QTRY_COMPARE(run("xprop", {"-id", panel.window, "_NET_WM_STATE"})
                             .contains("_NET_WM_STATE_ABOVE"),
                         above);
            QCOMPARE(run("xdotool", {"getwindowgeometry", panel.window}), place);
        }
        // Closing the window hands control back and ends the program.
        QVERIFY(panel.close());
        QCOMPARE(panel.process.exitCode(), 0);
        expect_commands({":F#"});
        QCOMPARE(received(log).size(), seen); // ":F#" is the last thing on the wire
        sim.terminate();
        QVERIFY(sim.waitForFinished(5000));
        QVERIFY(!QFileInfo(panel.path("com1")).isSymLink()); // the simulator took its link away
    }

    void the_shutter_sound_never_holds_up_the_window_data() {
        // se-033.mp3 beside the program (null: none), or a pipe that no one
        // writes, whose opening keeps the media stack waiting as long as the test likes.
        const Table<QByteArray, bool> row("sound", "pipe");
        QFile shipped(QStringLiteral(LUMIVANE_ASSETS "/se-033.mp3"));
        QVERIFY(shipped.open(QIODevice::ReadOnly));
        row("missing", QByteArray(), false);
        row("garbage", QByteArray(64 * 1024, '\xa5'), false);
        row("the shipped sound", shipped.readAll(), false);
        row("a player held up", QByteArray(), true);
    }

    void the_shutter_sound_never_holds_up_the_window() {
        QFETCH(QByteArray, sound);
        QFETCH(bool, pipe);
        DesktopPanel panel;
        const QByteArray file = QFile::encodeName(panel.path("se-033.mp3"));
        QFile written(file);
        QVERIFY(sound.isNull() ||
                (written.open(QIODevice::WriteOnly) && written.write(sound) == sound.size()));
        written.close();
        QVERIFY(!pipe || ::mkfifo(file, 0600) == 0);
        // A media registry of its own: the first sound also meets the registry scan
        // of a machine that never used the media stack.
        panel.environment.insert("GST_REGISTRY", panel.path("registry.bin"));
        QVERIFY(panel.start());
        QVERIFY(take_pc_control(panel));
        // Twenty shutter reports, each with its sound, then a click that must be heard at once.
        panel.pty.write(QByteArray(":CAS0#").repeated(20));
        QVERIFY(panel.pty.taken());
        // The player opens the file it is given: the pipe, and waits there for a writer.
        int writer = -1;
        if (pipe)
            QTRY_VERIFY_WITH_TIMEOUT((writer = ::open(file, O_WRONLY | O_NONBLOCK)) >= 0, 10000);
        panel.click(duty_up);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(panel.pty.read(4, 10000), QByteArray(":D01"));
        QCOMPARE_LT(clock.elapsed(), 100);
        if (writer >= 0) ::close(writer);
    }

    void every_end_hands_control_back_data() {
        // 0: the X server is killed; -1: a fatal toolkit error, a warning made
        // fatal (QT_FATAL_WARNINGS) raised by an X client message the window does not know.
        const Table<int> row("signal");
        row("SIGTERM", SIGTERM);
        row("SIGHUP", SIGHUP);
        row("SIGINT", SIGINT);
        row("the X server killed", 0);
        row("a fatal toolkit error", -1);
    }

    // On an X server of its own, which may be killed under the running program.
    void every_end_hands_control_back() {
        QFETCH(int, signal);
        DesktopPanel panel;
        // With no X server at all, the program says so in one line.
        panel.environment.insert("DISPLAY", ":0.99");
        panel.process.setProcessEnvironment(panel.environment);
        panel.process.setProcessChannelMode(QProcess::SeparateChannels);
        panel.process.start(panel.path("lumivane"));
        QVERIFY(panel.process.waitForFinished(10000));
        QCOMPARE(panel.process.exitCode(), 1);
        const QByteArray said = panel.process.readAllStandardError();
        QVERIFY2(said.startsWith("lumivane: ") && said.count('\n') == 1, said.constData());

        QProcess xvfb; // it writes its display number once it takes clients
        xvfb.start("Xvfb", {"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
        QVERIFY(xvfb.waitForReadyRead(30000));
        const QString display = ':' + QString::fromLatin1(xvfb.readAll()).trimmed();
        panel.environment.insert("DISPLAY", display);
        if (signal < 0) {
            // Qt warns at start-up without a runtime folder of the user's.
            panel.environment.insert("XDG_RUNTIME_DIR", panel.dir.path());
            panel.environment.insert("QT_FATAL_WARNINGS", "1");
        }
        panel.process.setProcessEnvironment(panel.environment);
        const QString trace = panel.path("trace");
        panel.process.start("strace", {"-f", "-qq", "-e", "trace=write,ioctl,close", "-o", trace,
                                       panel.path("lumivane")});
        QProcess xdotool; // takes control with a click, and names the program
        xdotool.setProcessEnvironment(panel.environment);
        xdotool.start("xdotool",
                      {"search", "--sync", "--onlyvisible", "--name", "^Lumivane ver1.54$",
                       "mousemove", "--window", "%1", QString::number(pc_button.x()),
                       QString::number(pc_button.y()), "click", "1", "getwindowpid", "%1"});
        QVERIFY(xdotool.waitForFinished(20000) && xdotool.exitCode() == 0);
        QCOMPARE(panel.pty.read(3, 5000), QByteArray(":O#"));
        // Qt's lock file for the port, named after its path, is there while the port is open.
        const QString lock = "/run/lock/LCK.." + panel.path("com1").replace('/', '_');
        QVERIFY(QFile::exists(lock));
        if (signal == 0)
            xvfb.kill();
        else if (signal < 0) {
            xdotool.start("xdotool", {"search", "--onlyvisible", "--name", "^Lumivane ver1.54$"});
            QVERIFY(xdotool.waitForFinished(10000) && xdotool.exitCode() == 0);
            send_unknown_message(display, xdotool.readAllStandardOutput().trimmed().toUInt());
        } else
            QCOMPARE(::kill(xdotool.readAllStandardOutput().trimmed().toInt(), signal), 0);
        QCOMPARE(panel.pty.read(3, 5000), QByteArray(":F#"));
        QVERIFY(panel.process.waitForFinished(10000));
        if (signal < 0)
            QCOMPARE(panel.process.exitStatus(), QProcess::CrashExit); // Qt aborts
        else
            QCOMPARE(panel.process.exitCode(), signal == 0 ? 1 : 0);
        QVERIFY(!QFile::exists(lock));
        // The command is written, the line drained (TCSBRK), and only then are the
        // line's old settings put back (TCSETS) and the port closed.
        const QString calls = QString::fromLatin1(contents(trace));
        static const QRegularExpression order(
            R"(":F#", 3\) += 3.*?TCSBRK, 1\) += 0.*?TCSETS.*?close\()",
            QRegularExpression::DotMatchesEverythingOption);
        QVERIFY2(order.match(calls).hasMatch(), qPrintable(calls.right(2000)));
    }

    void text_and_lamps_on_any_theme_data() {
        QTest::addColumn<QString>("config"); // a configuration folder choosing a theme, or none
        QTest::newRow("the default theme") << QString();
        QTest::newRow("a dark theme through qt6ct") << QStringLiteral(LUMIVANE_THEMES "/dark");
    }

    void text_and_lamps_on_any_theme() {
        QFETCH(QString, config);
        DesktopPanel panel;
        if (!config.isEmpty()) {
            panel.environment.insert("XDG_CONFIG_HOME", config);
            panel.environment.insert("QT_QPA_PLATFORMTHEME", "qt6ct");
        }
        QVERIFY(panel.start());
        QVERIFY(take_pc_control(panel));
        // Of two reports in one frame, the read-out draws the second, too.
        QImage last;
        for (const QByteArray reports : {":EDU11#", ":EDU10#", ":EDU12#:EDU11#"}) {
            const QImage before = panel.grab(duty_read_out);
            panel.pty.write(reports);
            QTRY_VERIFY(panel.grab(duty_read_out) != before);
            if (last.isNull()) last = panel.grab(duty_read_out);
        }
        QTRY_COMPARE(panel.grab(duty_read_out), last);
        // Inside any frame: a heading, a read-out, the port label and selector, an
        // unmarked and the marked preset box.
        for (const QRect area :
             {QRect(96, 72, 129, 17), QRect(336, 104, 49, 17), QRect(8, 232, 65, 17),
              QRect(11, 251, 40, 14), QRect(467, 113, 42, 12), QRect(467, 49, 42, 12)})
            QVERIFY2(contrast(panel.grab(area)) >= 4.5, qPrintable(QString::number(area.y())));
        // The unlit lamp under "前面VR" has the window-background colour of the
        // scheme, as an unmarked preset box has; not the window's own colour.
        QCOMPARE(panel.pixel(centre(120, 720, 855, 135)), panel.pixel({548, 85}));
        // The panel's own colours stay while another window is active: the
        // marked preset's yellow and the PC lamp's orange.
        const QPoint marked(470, 53);
        QCOMPARE(panel.pixel(marked), QColor(255, 255, 0));
        QWindow other;
        other.setGeometry(600, 400, 100, 100);
        other.show();
        const QString other_id = QString::number(other.winId());
        QTRY_COMPARE(run("xdotool", {"windowactivate", "--sync", other_id, "getactivewindow"}),
                     other_id);
        // A hover drawn after it shows that the panel has handled its deactivation.
        const QImage plain = panel.grab(duty_up_area);
        run("xdotool", {"mousemove", "--window", panel.window, QString::number(duty_up.x()),
                        QString::number(duty_up.y())});
        QTRY_VERIFY(panel.grab(duty_up_area) != plain);
        QCOMPARE(panel.pixel(marked), QColor(255, 255, 0));
        QCOMPARE(panel.pixel(pc_lamp), orange);
    }
};

QTEST_MAIN(DesktopTest)
#include "test_desktop.moc"
