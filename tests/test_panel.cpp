// The main window on the offscreen platform, driven through its widgets, with
// a pseudo-terminal as the inverter and real settings files: the controls of
// each view state and the command each sends, start-up, the port choice, the
// presets and the settings files.
#include "store/preset_file.h"
#include "support/panel_fixture.h"
#include "support/table.h"
#include "support/without_capabilities.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QTimer>
#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>

const QByteArray shipped(" 25 \r\n 45 \r\n 10 \r\n 40 \r\n 20 \r\n 40 \r\n 30 \r\n"
                         " 50 \r\n 40 \r\n 60 \r\n 50 \r\n 70 \r\n 15 \r\n 30 \r\n");
// The same presets as written by hand: shorter than the written form.
const QByteArray hand_written("25,45,10,40,20,40,30,50,40,60,50,70,15,30\r\n");

// Whether the shutter is usable; how many of the 24 controls of PC control
// (sliders, read-outs, steps, preset buttons and headings); how many mode buttons.
static QString enabled(const Form1& f) {
    QList<QWidget*> pc{f.Slider1[0], f.Slider1[1],  f.Label1[0],   f.Label1[1],   f.Label4[0],
                       f.Label4[1],  f.Command8[0], f.Command8[1], f.Command9[0], f.Command9[1]};
    for (int r = 0; r < 7; ++r)
        pc << f.Command5[r] << f.Command6[r];
    const auto on = std::count_if(pc.begin(), pc.end(), std::mem_fn(&QWidget::isEnabled));
    const int modes = f.Command4[0]->isEnabled() + f.Command4[1]->isEnabled();
    return QStringLiteral("%1 %2 %3").arg(int(f.Command1->isEnabled())).arg(on).arg(modes);
}

// A preset row's boxes, "Hz/%", with "*" when both are marked yellow.
static QString preset_row(const Form1& f, int r) {
    const bool marked =
        f.Text1[r]->BackColor() == colour_yellow && f.Text2[r]->BackColor() == colour_yellow;
    return f.Text1[r]->text() + u'/' + f.Text2[r]->text() + (marked ? "*" : "");
}

// What a label shows for `text` in the read-out's place, font and colours.
static QImage as_label_shows(const QWidget& read_out, const QString& text) {
    QLabel label(text);
    label.setFont(read_out.font());
    label.setPalette(read_out.palette());
    label.setAutoFillBackground(true);
    label.setAlignment(Qt::AlignCenter);
    label.resize(read_out.size());
    return label.grab().toImage();
}

// The controls that the command rows click.
using Control = QWidget* (*)(Form1&);
const Control duty_slider = [](Form1& f) -> QWidget* { return f.Slider1[0]; };
const Control frequency_slider = [](Form1& f) -> QWidget* { return f.Slider1[1]; };
const Control duty_up = [](Form1& f) -> QWidget* { return f.Command9[0]; };
const Control duty_down = [](Form1& f) -> QWidget* { return f.Command9[1]; };
const Control frequency_up = [](Form1& f) -> QWidget* { return f.Command8[0]; };
const Control frequency_down = [](Form1& f) -> QWidget* { return f.Command8[1]; };
const Control voltage_mode = [](Form1& f) -> QWidget* { return f.Command4[0]; };
const Control frequency_mode = [](Form1& f) -> QWidget* { return f.Command4[1]; };
const Control pc_source = [](Form1& f) -> QWidget* { return f.Command2[0]; };
const Control front_source = [](Form1& f) -> QWidget* { return f.Command2[1]; };
const Control shutter = [](Form1& f) -> QWidget* { return f.Command1; };

// A link is tried with both folders read-only; the last two under a size limit, the
// second in a read-only folder.
enum FileKind { plain, fifo, sparse, read_only_folder, linked, sticky, size_limit, in_place_limit };

class PanelTest : public QObject {
    Q_OBJECT
private slots:
    void each_control_sends_its_command_data() {
        // The port is open unless the state is offline; positions of the sliders.
        const Table<qint16, Control, Qt::MouseButton, QList<int>, QByteArray> row(
            "state", "control", "button", "positions", "sent");
        row("duty slider released, right button", 2, duty_slider, Qt::RightButton, {7, 45}, ":D07");
        row("frequency slider, middle", 2, frequency_slider, Qt::MiddleButton, {0, 45}, ":E45");
        row("duty ▲ at the top", 2, duty_up, Qt::LeftButton, {50, 45}, "");
        row("duty ▲ below the top", 2, duty_up, Qt::LeftButton, {49, 45}, ":D50");
        row("duty ▼ above the bottom", 2, duty_down, Qt::LeftButton, {1, 45}, ":D00");
        row("frequency ▲ below the top", 2, frequency_up, Qt::LeftButton, {0, 69}, ":E70");
        row("frequency ▼ at the bottom", 2, frequency_down, Qt::LeftButton, {0, 10}, "");
        row("frequency ▼ above the bottom", 2, frequency_down, Qt::LeftButton, {0, 11}, ":E10");
        row("voltage mode", 1, voltage_mode, Qt::LeftButton, {0, 45}, ":M0#");
        row("frequency mode", 1, frequency_mode, Qt::LeftButton, {0, 45}, ":M1#");
        row("PC source, any button, connects first", 0, pc_source, Qt::RightButton, {0, 45}, ":O#");
        row("front-panel source connects first", 0, front_source, Qt::LeftButton, {0, 45}, ":F#");
        row("shutter, any button", 1, shutter, Qt::RightButton, {0, 45}, ":C1#:C0#");
    }

    void each_control_sends_its_command() {
        QFETCH(qint16, state);
        QFETCH(Control, control);
        QFETCH(Qt::MouseButton, button);
        QFETCH(QList<int>, positions);
        PanelFixture panel("3\r\n");
        panel.start();
        Form1& f = *panel.form;
        QCOMPARE(enabled(f), QStringLiteral("0 0 0")); // offline after start-up
        QVERIFY(f.Command3[0]->isHidden() && f.Command3[1]->isHidden() &&
                f.Command4[2]->isHidden());
        if (state != 0) f.Command3_Click(0);
        f.View_init(state);
        f.View_init(3); // other values change nothing
        f.View_init(-1);
        QCOMPARE(enabled(f), QStringList({"0 0 0", "1 0 2", "1 24 0"})[state]);
        f.Slider1[0]->setValue(positions[0]);
        f.Slider1[1]->setValue(positions[1]);
        panel.click(control(f), button);
        QTEST(panel.pty.read_quiet(), "sent");
    }

    void start_up_takes_the_port_from_the_file_data() {
        const Table<QByteArray, int> row("port_file", "port");
        row("7 between blanks, no line end", "   7  ", 7);
        row("12, then a comma and 5", "12,5\r\n", 12);
        row("4 in quotes, with blanks", "\" 4 \",x\r\n", 4);
        row("the first line only", "15\r\n2\r\n", 15);
        row("07", "07\r\n", 1);
        row("0", "0\r\n", 1);
    }

    // Start-up sets the port in force and shows the presets, row 0 marked. The
    // preset rows are blank until then; the units beside them, in the window's
    // font, fit their labels. A pause of nothing runs what is pending.
    void start_up_takes_the_port_from_the_file() {
        QFETCH(QByteArray, port_file);
        QFETCH(int, port);
        PanelFixture panel(port_file, shipped);
        Form1 loaded(panel.toolkit, panel.dir.path());
        loaded.Form_Load();
        QCOMPARE(preset_row(loaded, 6), QStringLiteral(" / "));
        for (const QLabel* unit : {loaded.Label5[0], loaded.Label6[0]})
            QVERIFY(unit->font().pointSizeF() >= 9 &&
                    unit->size() == unit->size().expandedTo(unit->sizeHint()));
        panel.start();
        QCOMPARE(panel.form->Combo1->currentText(), QStringLiteral("COM%1").arg(port));
        QCOMPARE(panel.form->device().MSComm1.CommPort(), port);
        QCOMPARE(preset_row(*panel.form, 0), QStringLiteral(" 450/ 50*"));
        bool ran = false;
        QTimer::singleShot(0, panel.form.get(), [&] { ran = true; });
        panel.form->Wait(0);
        QVERIFY(ran);
    }

    void picking_ports() {
        PanelFixture panel("3\r\n");
        Pty com4;
        com4.link_as_port(panel.dir.path(), 4);
        QVERIFY(QFile::link(panel.dir.filePath("unplugged"), panel.dir.filePath("com15")));
        panel.start();
        panel.form->Command3_Click(0); // connect, to COM3 from the file
        // The arrow key picks the next entry: COM3 is closed, COM4 remembered and opened.
        QTest::keyClick(panel.form->Combo1, Qt::Key_Down);
        QCOMPARE(panel.read_file("com_no.txt"), QByteArray("4\r\n"));
        panel.form->Command3_Click(1); // disconnect: control back, port closed
        QCOMPARE(com4.read_quiet(), QByteArray(":F#"));
        QVERIFY(!panel.form->device().MSComm1.PortOpen());
        // A port that cannot be opened is remembered all the same, and the operator told.
        panel.form->Combo1->setCurrentIndex(13);
        QTest::keyClick(panel.form->Combo1, Qt::Key_Down);
        QCOMPARE(panel.read_file("com_no.txt"), QByteArray("15\r\n"));
        QCOMPARE(panel.toolkit.boxes, QStringList{"通信エラー"});
    }

    void recall_data() {
        // Presets null: no file; sent "|": a quarter second into the pause; shown:
        // the row, then the sliders; told: the values not sent.
        const Table<QByteArray, int, QByteArray, QString, QString> row("presets", "row", "sent",
                                                                       "shown", "told");
        const QByteArray zeros = QByteArray(" 0").repeated(12);
        row("no file", QByteArray(), 3, "|", " 0/ 0* 0 45", "");
        row("garbage after 4 numbers", "5 6 7 8 words 9", 2, "|", " 90/ 0* 0 45", "");
        row("-32769 as 14th number", "1 2 3 4 5 6 7 8 9 1 2 3 4 -32769", 6, "|", " 0/ 8* 0 45", "");
        row("a frequency too small to show", "1 -3277" + zeros, 0, "|", " / 2* 0 45", "");
        // Only codes the inverter takes are sent, and shown on the sliders; the pause stays.
        row("commas, one line, a 15th number", "9,12,8,20,7,30,6,40,5,50,4,60,50,70,99", 6,
            ":D50|:E70", " 700/ 100* 50 70", "");
        row("halves to the even one", "0.5 10.5" + zeros, 0, ":D00|:E10", " 100/ 0* 0 10", "");
        row("a row never stored", "0 0" + zeros, 0, ":D00|", " 0/ 0* 0 45", "周波数 0Hz");
        row("over", "51 71" + zeros, 0, "|", " 710/ 102* 0 45", "デューティ 102% と周波数 710Hz");
        row("a duty below", "-1 60" + zeros, 0, "|:E60", " 600/-2* 0 60", "デューティ -2%");
    }

    void recall() {
        QFETCH(QByteArray, presets);
        QFETCH(int, row);
        QFETCH(QByteArray, sent);
        PanelFixture panel("3\r\n", presets);
        panel.start();
        panel.form->Command3_Click(0);
        panel.form->device().RX_data("ELC1#"); // PC control
        panel.pty.write(":EDU05#");            // applied during the pause: the line is served then
        QByteArray half_way;
        QTimer::singleShot(250, panel.form.get(), [&] { half_way = panel.pty.read_quiet(20); });
        QElapsedTimer clock;
        clock.start();
        panel.click(panel.form->Command5[row]);
        const qint64 took = clock.elapsed();
        QCOMPARE(half_way + '|' + panel.pty.read_quiet(), sent);
        if (sent != "|") {
            QVERIFY2(took >= 500 && took < 2500, qPrintable(QString::number(took)));
            QCOMPARE(panel.form->Label1[0]->text(), QStringLiteral("10%"));
            QCOMPARE(panel.form->Label1[0]->grab().toImage(),
                     as_label_shows(*panel.form->Label1[0], QStringLiteral("10%")));
        }
        const QString sliders = QStringLiteral(" %1 %2").arg(panel.form->Slider1[0]->value());
        QTEST(preset_row(*panel.form, row) + sliders.arg(panel.form->Slider1[1]->value()), "shown");
        // "プリセット 1 の<told> はインバータの範囲外なので、送りませんでした。"
        const QString notice = panel.toolkit.messages.filter(u"範囲外").join(u' ');
        QTEST(notice.section(QStringLiteral(" は"), 0, 0).section(u'の', 1), "told");
    }

    // Start-up, a recall of row 0 and two stores into row 3 with a hand-edited
    // el_dat.txt: a field that cannot be read is 0 and moves no other, the
    // operator is told, and the file is kept before it is first replaced. The
    // store takes the duty reported, 5, and keeps the row's frequency: the
    // inverter reported one only before the port opened.
    void hand_edited_presets_data() {
        // The 14 numbers stored; the file is kept if unread.
        const Table<QByteArray, QString, QByteArray, QByteArray> row("file", "boxes", "sent",
                                                                     "stored");
        const QString unread = QStringLiteral("読込エラー");
        row("a byte-order mark", "\xEF\xBB\xBF" + shipped, "", ":D25:E45",
            "25 45 10 40 20 40 5 50 40 60 50 70 15 30");
        row("30x as the last field", "25 45 10 40 20 40 30 50 40 60 50 70 15 30x", unread, "",
            "25 45 10 40 20 40 5 50 40 60 50 70 15 0");
        row("an empty field between commas", "25,45,10,,20,40,30,50,40,60,50,70,15,30", "",
            ":D25:E45", "25 45 10 0 20 40 5 50 40 60 50 70 15 30");
        row("semicolons", "25;45;10;40;20;40;30;50;40;60;50;70;15;30", unread, "",
            "0 0 0 0 0 0 5 0 0 0 0 0 0 0");
        row("fewer than 14", "25 45 10", unread, "", "25 45 10 0 0 0 5 0 0 0 0 0 0 0");
        const QString text = QChar(0xFEFF) + QString::fromLatin1(shipped);
        row("UTF-16", QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2),
            unread, "", "0 0 0 0 0 0 5 0 0 0 0 0 0 0");
    }

    void hand_edited_presets() {
        QFETCH(QByteArray, file);
        QFETCH(QString, boxes);
        PanelFixture panel("3\r\n", file);
        panel.start();
        QCOMPARE(panel.toolkit.boxes.join(u' '), boxes);
        panel.form->device().RX_data("EFQ60#");
        panel.form->Command3_Click(0);
        panel.form->Command5_Click(0);
        QTEST(panel.pty.read_quiet(), "sent");
        panel.form->device().RX_data("EDU05#");
        panel.form->Command6_Click(3);
        panel.form->Command6_Click(3);
        QTEST(panel.read_file("el_dat.txt").simplified(), "stored");
        QVERIFY(panel.toolkit.messages.join(u' ').endsWith("4 の周波数は元の値のままにしました。"));
        QCOMPARE(panel.read_file("el_dat.txt.bak"), boxes.isEmpty() ? "<missing>" : file);
    }

    void settings_files_data() {
        // The titles of the boxes shown.
        const Table<int, QByteArray, QString> row("kind", "stored", "boxes");
        const QByteArray row_1(" 25 \r\n 45 \r\n 5 \r\n 60 \r\n 20 \r\n 40 \r\n 30 \r\n"
                               " 50 \r\n 40 \r\n 60 \r\n 50 \r\n 70 \r\n 15 \r\n 30 \r\n");
        const QByteArray alone =
            " 0 \r\n 0 \r\n 5 \r\n 60 \r\n" + QByteArray(" 0 \r\n").repeated(10);
        row("a plain file", plain, row_1, "");
        row("a FIFO", fifo, alone, "");
        row("a sparse 1 GiB file", sparse, row_1, "");
        row("writable in a read-only folder", read_only_folder, row_1, "");
        row("a link, both folders read-only", linked, row_1, "");
        row("another user's file in a sticky folder", sticky, row_1, "");
        row("no room for the new bytes", size_limit, hand_written, "保存エラー");
        row("no room in place, in a read-only folder", in_place_limit, hand_written, "保存エラー");
    }

    // Start-up and a store into row 1, with el_dat.txt of each kind, written by hand so
    // that the store needs more room. A panel that waits for a writer at a FIFO hangs
    // here until the time-out.
    void settings_files() {
        QFETCH(int, kind);
        QFETCH(QString, boxes);
        PanelFixture panel("3\r\n", hand_written);
        const QString path = panel.dir.filePath("el_dat.txt");
        const QString elsewhere = panel.dir.filePath("elsewhere");
        if (kind == fifo) QVERIFY(QFile::remove(path) && mkfifo(qPrintable(path), 0600) == 0);
        if (kind == sparse) QVERIFY(QFile::resize(path, qint64(1) << 30));
        if (kind == linked)
            QVERIFY(QDir().mkpath(elsewhere) && QFile::rename(path, elsewhere + "/el_dat.txt") &&
                    QFile::link(elsewhere + "/el_dat.txt", path));
        panel.start();
        if (kind == read_only_folder || kind == linked || kind == in_place_limit)
            ::chmod(qPrintable(panel.dir.path()), 0500);
        if (kind == linked) ::chmod(qPrintable(elsewhere), 0500);
        if (kind == sticky) // the folder and the file another user's
            for (const auto& [entry, mode] : {std::pair{panel.dir.path(), 01777}, {path, 0666}})
                QVERIFY(::chown(qPrintable(entry), 65534, 65534) == 0 &&
                        ::chmod(qPrintable(entry), mode) == 0);
        const WithoutCapabilities as_a_user(1u << CAP_DAC_OVERRIDE | 1u << CAP_DAC_READ_SEARCH |
                                            1u << CAP_FOWNER);
        panel.form->device().RX_data("EDU05#");
        panel.form->device().RX_data("EFQ60#");
        if (kind == sparse) QVERIFY(read_preset_file(path)->size() <= 64 * 1024);
        std::signal(SIGXFSZ, SIG_IGN); // a write past the size limit fails instead
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        const rlimit small{20, old.rlim_max};
        if (kind >= size_limit) setrlimit(RLIMIT_FSIZE, &small);
        panel.form->Command6_Click(1);
        setrlimit(RLIMIT_FSIZE, &old);
        QTEST(panel.read_file("el_dat.txt"), "stored");
        QCOMPARE(QFileInfo(path).isSymLink(), kind == linked);
        QCOMPARE(panel.toolkit.boxes.join(u' '), boxes);
        // The reported values are stored, not the sliders', and then shown.
        QCOMPARE(preset_row(*panel.form, 1), QString(boxes.isEmpty() ? " 600/ 10*" : " 400/ 20*"));
        // A store reported as failed is not written by the next one.
        if (kind >= size_limit) {
            panel.form->Command6_Click(2);
            QCOMPARE(panel.read_file("el_dat.txt"),
                     QByteArray(shipped).replace(24, 10, " 5 \r\n 60 "));
        }
    }
};

QTEST_MAIN(PanelTest)
#include "test_panel.moc"
