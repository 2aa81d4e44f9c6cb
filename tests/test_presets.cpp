// The preset rows and el_dat.txt, on real files, widgets and a pseudo-terminal.
#include "store/preset_file.h"
#include "support/panel_fixture.h"
#include "support/read_only_guard.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <condition_variable>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

QByteArray file_of(std::initializer_list<int> numbers) {
    PresetNumbers n{};
    int i = 0;
    for (int v : numbers)
        n[i++] = static_cast<qint16>(v);
    return preset_file_content(n);
}

const QByteArray shipped = file_of({25, 45, 10, 40, 20, 40, 30, 50, 40, 60, 50, 70, 15, 30});

QStringList texts(const std::array<TextBox*, 7>& boxes) {
    QStringList t;
    for (auto* b : boxes)
        t << b->text();
    return t;
}

QList<Colour> markers(const Form1& form) {
    QList<Colour> m;
    for (int r = 0; r < 7; ++r) {
        m << form.Text1[r]->BackColor();
        if (form.Text2[r]->BackColor() != form.Text1[r]->BackColor()) m << 0xDEAD;
    }
    return m;
}

enum FileKind { plain, fifo, sparse, linked };

QList<Colour> marked(int row) {
    QList<Colour> m(7, colour_window);
    m[row] = colour_yellow;
    return m;
}

} // namespace

class PresetsTest : public QObject {
    Q_OBJECT
private slots:
    void file_format();
    void start_up_shows_the_table_with_row_0_marked();
    void start_up_with_a_missing_or_bad_file_keeps_running();
    void store_writes_the_reported_values();
    void store_before_any_report_stores_zeros();
    void recall_sends_duty_waits_then_frequency();
    void recall_reads_the_file_again_data();
    void recall_reads_the_file_again();
    void switching_windows_keeps_marker_and_table();
    void failed_stores_keep_the_old_file_and_warn();
    void unusual_settings_files_data();
    void unusual_settings_files();
    void shutter_follows_the_mouse_button();

private:
    std::unique_ptr<PanelFixture> pc_panel(const QByteArray& presets);
};

void PresetsTest::file_format() {
    QCOMPARE(file_of({25, 45}).left(12), QByteArray(" 25 \r\n 45 \r\n"));
    QCOMPARE(file_of({0, -3}).left(10), QByteArray(" 0 \r\n-3 \r\n"));
    QCOMPARE(file_of({}).size(), 14 * 5);
    // Whatever was written reads back the same, also at the 16-bit ends.
    PresetNumbers written{-32768, 32767, 0, -1, 1, 50, 70, 10, 5, 60, 123, 4, 9, 99};
    PresetNumbers back{};
    QCOMPARE(read_preset_numbers(preset_file_content(written), back), 14);
    QCOMPARE(back, written);
    // Decimals round, a half to the even neighbour.
    PresetNumbers rounded{};
    QCOMPARE(read_preset_numbers("2.5 3.5 -2.5 2.51 +7 .4", rounded), 6);
    QCOMPARE((std::vector<qint16>(rounded.begin(), rounded.begin() + 6)),
             (std::vector<qint16>{2, 4, -2, 3, 7, 0}));
    // Reading stops at the first field that is not a 16-bit number.
    PresetNumbers partial{};
    QCOMPARE(read_preset_numbers("1 2 x 4", partial), 2);
    QCOMPARE(read_preset_numbers("1 2 32768 4", partial), 2);
    QCOMPARE(read_preset_numbers("1 2 3-", partial), 2);
    QCOMPARE(read_preset_numbers("", partial), 0);
}

void PresetsTest::start_up_shows_the_table_with_row_0_marked() {
    PanelFixture panel;
    panel.write_file("el_dat.txt", shipped);
    panel.start();
    QCOMPARE(texts(panel.form->Text2),
             (QStringList{" 50", " 20", " 40", " 60", " 80", " 100", " 30"}));
    QCOMPARE(texts(panel.form->Text1),
             (QStringList{" 450", " 400", " 400", " 500", " 600", " 700", " 300"}));
    QCOMPARE(markers(*panel.form), marked(0));
    QCOMPARE(panel.form->Slider1[0]->value(), 0); // start-up moves no slider
    QCOMPARE(panel.form->Slider1[1]->value(), 45);
    QCOMPARE(panel.read_file("el_dat.txt"), shipped);
    QCOMPARE(panel.pty.read_quiet(), QByteArray());
    QVERIFY(panel.toolkit.boxes.isEmpty());
}

void PresetsTest::start_up_with_a_missing_or_bad_file_keeps_running() {
    struct Case {
        QByteArray content; // empty: no file
        QStringList duty;
        QStringList freq;
    };
    const QStringList zeros(7, " 0");
    const Case cases[] = {
        {"", zeros, zeros},
        {"5 6 7 8 words 9", QStringList{" 10", " 14", " 0", " 0", " 0", " 0", " 0"},
         QStringList{" 60", " 80", " 0", " 0", " 0", " 0", " 0"}},
        {"1 3277 2 2", QStringList{" 2", " ", " ", " ", " ", " ", " "}, QStringList(7, " ")},
    };
    for (const Case& c : cases) {
        PanelFixture panel;
        if (!c.content.isEmpty()) panel.write_file("el_dat.txt", c.content);
        panel.start();
        QCOMPARE(texts(panel.form->Text2), c.duty);
        QCOMPARE(texts(panel.form->Text1), c.freq);
        QCOMPARE(markers(*panel.form), marked(0));
        QVERIFY(panel.form->isVisible());
        QCOMPARE(panel.pty.read_quiet(), QByteArray());
        QVERIFY(panel.toolkit.boxes.isEmpty());
        QCOMPARE(QFile::exists(panel.file("el_dat.txt")), !c.content.isEmpty());
    }
}

std::unique_ptr<PanelFixture> PresetsTest::pc_panel(const QByteArray& presets) {
    auto panel = std::make_unique<PanelFixture>();
    panel->write_file("com_no.txt", "3\r\n");
    if (!presets.isEmpty()) panel->write_file("el_dat.txt", presets);
    panel->start();
    panel->take_pc_control();
    return panel;
}

void PresetsTest::store_writes_the_reported_values() {
    auto panel = pc_panel(shipped);
    Form1& form = *panel->form;
    panel->pty.write(":EDU25#:EFQ45#");
    QTRY_COMPARE(start::cur_freq, qint16(45));
    QCOMPARE(form.Label1[0]->text(), QStringLiteral("50%"));
    form.Slider1[0]->setValue(7); // the store takes the reported values, not the sliders
    panel->click(form.Command6[2]);
    QCOMPARE(panel->read_file("el_dat.txt"),
             file_of({25, 45, 10, 40, 25, 45, 30, 50, 40, 60, 50, 70, 15, 30}));
    QCOMPARE(form.Text2[2]->text(), QStringLiteral(" 50"));
    QCOMPARE(form.Text1[2]->text(), QStringLiteral(" 450"));
    QCOMPARE(markers(form), marked(2));
    QCOMPARE(form.Slider1[0]->value(), 7);
    QCOMPARE(form.Slider1[1]->value(), 45);
    QCOMPARE(panel->pty.read_quiet(), QByteArray());
    QCOMPARE(start::pre_duty[2], qint16(25));
}

void PresetsTest::store_before_any_report_stores_zeros() {
    auto panel = pc_panel(shipped);
    panel->click(panel->form->Command6[4]);
    QCOMPARE(panel->read_file("el_dat.txt"),
             file_of({25, 45, 10, 40, 20, 40, 30, 50, 0, 0, 50, 70, 15, 30}));
    QCOMPARE(panel->form->Text2[4]->text(), QStringLiteral(" 0"));
    QCOMPARE(panel->form->Text1[4]->text(), QStringLiteral(" 0"));
    QCOMPARE(markers(*panel->form), marked(4));
}

void PresetsTest::recall_sends_duty_waits_then_frequency() {
    auto panel = pc_panel(file_of({25, 45, 5, 60}) /* rows 2 to 6 zero */);
    Form1& form = *panel->form;
    QElapsedTimer elapsed;
    QByteArray wire_at_duty, wire_at_freq, readout_at_duty;
    qint64 duty_set_at = -1;
    connect(form.Slider1[0], &QSlider::valueChanged, this, [&] {
        duty_set_at = elapsed.elapsed();
        wire_at_duty = panel->pty.read_quiet(20);
        readout_at_duty = form.Label1[0]->text().toLatin1();
    });
    connect(form.Slider1[1], &QSlider::valueChanged, this,
            [&] { wire_at_freq = panel->pty.read(4); });
    // A report arriving during the pause is applied during it.
    QTimer::singleShot(0, this, [&] { panel->pty.write(":EDU05#"); });
    elapsed.start();
    panel->click(form.Command5[1]);
    QCOMPARE(wire_at_duty, QByteArray(":D05"));
    QVERIFY2(duty_set_at >= 500, qPrintable(QString::number(duty_set_at)));
    QCOMPARE(readout_at_duty, QByteArray("10%"));
    QCOMPARE(wire_at_freq, QByteArray(":E60"));
    QCOMPARE(form.Slider1[0]->value(), 5);
    QCOMPARE(form.Slider1[1]->value(), 60);
    QCOMPARE(markers(form), marked(1));
    QCOMPARE(panel->pty.read_quiet(), QByteArray());
}

void PresetsTest::recall_reads_the_file_again_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("row");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QStringList>("duty_texts");
    QTest::addColumn<QList<int>>("sliders");
    const QStringList before{" 50", " 20", " 40", " 60", " 80", " 100", " 30"};
    QTest::newRow("no file") << QByteArray() << 3 << QByteArray() << before << QList<int>{0, 45};
    QTest::newRow("13 numbers") << QByteArray("1 2 3 4 5 6 7 8 9 10 11 12 13") << 0 << QByteArray()
                                << before << QList<int>{0, 45};
    QTest::newRow("frequency 3277 cannot be shown")
        << file_of({1, 2, 3, 3277}) << 0 << QByteArray()
        << QStringList{" 2", " 6", " 40", " 60", " 80", " 100", " 30"} << QList<int>{0, 45};
    QTest::newRow("commas, one line, a 15th number")
        << QByteArray("9,12,8,20,7,30,6,40,5,50,4,60,3,70,99") << 6 << QByteArray(":D03:E70")
        << QStringList{" 18", " 16", " 14", " 12", " 10", " 8", " 6"} << QList<int>{3, 70};
    QTest::newRow("codes outside the sliders are sent as read")
        << file_of({60, 5, 0, 0}) << 0 << QByteArray(":D60:E05")
        << QStringList{" 120", " 0", " 0", " 0", " 0", " 0", " 0"} << QList<int>{50, 10};
    QTest::newRow("a negative code")
        << file_of({-1, 123}) << 0 << QByteArray(":D-1:E23")
        << QStringList{"-2", " 0", " 0", " 0", " 0", " 0", " 0"} << QList<int>{0, 70};
}

void PresetsTest::recall_reads_the_file_again() {
    QFETCH(QByteArray, content);
    QFETCH(int, row);
    QFETCH(QByteArray, sent);
    QFETCH(QStringList, duty_texts);
    QFETCH(QList<int>, sliders);
    auto panel = pc_panel(shipped);
    // The file changes behind the panel's back, or goes away.
    QFile::remove(panel->file("el_dat.txt"));
    if (!content.isEmpty()) panel->write_file("el_dat.txt", content);
    panel->form->Command5_Click(static_cast<qint16>(row));
    QCOMPARE(markers(*panel->form), marked(row));
    QCOMPARE(panel->pty.read_quiet(), sent);
    QCOMPARE(texts(panel->form->Text2), duty_texts);
    QCOMPARE((QList<int>{panel->form->Slider1[0]->value(), panel->form->Slider1[1]->value()}),
             sliders);
    QCOMPARE(QFile::exists(panel->file("el_dat.txt")), !content.isEmpty());
}

void PresetsTest::switching_windows_keeps_marker_and_table() {
    auto panel = pc_panel(shipped);
    panel->form->Command5_Click(3);
    QCOMPARE(panel->pty.read(8), QByteArray(":D30:E50"));
    panel->write_file("el_dat.txt", file_of({}));
    QWidget other;
    other.show();
    QVERIFY(QTest::qWaitForWindowExposed(&other));
    QApplication::setActiveWindow(&other);
    QTRY_VERIFY(!panel->form->isActiveWindow());
    QApplication::setActiveWindow(panel->form.get());
    QTRY_VERIFY(panel->form->isActiveWindow());
    QCoreApplication::sendPostedEvents(panel->form.get(), QEvent::MetaCall);
    QCOMPARE(markers(*panel->form), marked(3));
    QCOMPARE(panel->form->Text1[3]->text(), QStringLiteral(" 500"));
    QCOMPARE(start::pre_freq[3], qint16(50));
}

void PresetsTest::failed_stores_keep_the_old_file_and_warn() {
    auto panel = pc_panel(shipped);
    Form1& form = *panel->form;
    panel->pty.write(":EDU25#:EFQ45#");
    QTRY_COMPARE(start::cur_freq, qint16(45));
    {
        QVERIFY(QFile::setPermissions(panel->file("el_dat.txt"), QFile::ReadOwner));
        ReadOnlyFolder read_only(panel->dir.path());
        form.Command6_Click(2);
    }
    {
        // A file that cannot grow past 20 bytes: the write fails part-way.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit tiny = old;
        tiny.rlim_cur = 20;
        setrlimit(RLIMIT_FSIZE, &tiny);
        form.Command6_Click(5);
        setrlimit(RLIMIT_FSIZE, &old);
    }
    QCOMPARE(panel->read_file("el_dat.txt"), shipped);
    QCOMPARE(QDir(panel->dir.path()).entryList({"el_dat.txt*"}, QDir::Files | QDir::Hidden),
             QStringList{"el_dat.txt"});
    QCOMPARE(panel->toolkit.boxes.size(), 2);
    for (const auto& box : panel->toolkit.boxes) {
        QCOMPARE(box.title, QStringLiteral("保存エラー"));
        QCOMPARE(box.prompt, QStringLiteral("プリセットを保存できませんでした。"));
        QCOMPARE(box.buttons, Toolkit::vbOKOnly + Toolkit::vbExclamation);
    }
    QCOMPARE(form.Text2[2]->text(), QStringLiteral(" 40")); // the row texts stay as they were
    QCOMPARE(form.Text2[5]->text(), QStringLiteral(" 100"));
    QCOMPARE(markers(form), marked(5));
    QCOMPARE(panel->pty.read_quiet(), QByteArray());
}

void PresetsTest::unusual_settings_files_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("read_only"); // the folders, not the file
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QByteArray>("after");
    const QByteArray recalled(":D10:E40");
    const QByteArray stored(" 25 \r\n 45 \r\n 0 \r\n 0 \r\n 20 \r\n 40 \r\n 30 \r\n"
                            " 50 \r\n 40 \r\n 60 \r\n 50 \r\n 70 \r\n 15 \r\n 30 \r\n");
    QTest::newRow("FIFO el_dat.txt")
        << "el_dat.txt" << int(fifo) << false << QByteArray() << QByteArray(" 0 \r\n").repeated(14);
    QTest::newRow("1 GiB el_dat.txt") << "el_dat.txt" << int(sparse) << false << recalled << stored;
    QTest::newRow("read-only folder") << "el_dat.txt" << int(plain) << true << recalled << stored;
    QTest::newRow("linked el_dat.txt")
        << "el_dat.txt" << int(linked) << false << recalled << stored;
    QTest::newRow("linked, read-only folders")
        << "el_dat.txt" << int(linked) << true << recalled << stored;
    QTest::newRow("FIFO com_no.txt")
        << "com_no.txt" << int(fifo) << false << QByteArray() << QByteArray("3\r\n");
    QTest::newRow("com_no.txt, read-only folder")
        << "com_no.txt" << int(plain) << true << QByteArray() << QByteArray("3\r\n");
}

// Start-up, then a recall and a store of row 1 or a pick of COM3, with a
// settings file that is a FIFO, huge, linked, or writable in a read-only folder.
void PresetsTest::unusual_settings_files() {
    QFETCH(QString, name);
    QFETCH(int, kind);
    QFETCH(bool, read_only);
    QFETCH(QByteArray, sent);
    QFETCH(QByteArray, after);
    PanelFixture panel;
    const QString path = panel.file(name);
    const QString elsewhere = panel.file("elsewhere");
    panel.write_file("com_no.txt", name == u"el_dat.txt" ? "3\r\n" : "7\r\n");
    panel.write_file("el_dat.txt", shipped);
    if (kind == fifo) QVERIFY(QFile::remove(path) && mkfifo(qPrintable(path), 0600) == 0);
    if (kind == sparse) QVERIFY(QFile::resize(path, qint64(1) << 30));
    if (kind == linked) {
        QVERIFY(QDir().mkpath(elsewhere));
        QVERIFY(QFile::rename(path, elsewhere + "/el_dat.txt"));
        QVERIFY(QFile::link(elsewhere + "/el_dat.txt", path));
    }
    // A panel stuck opening the FIFO is let go every 5 s, to fail on the clock below.
    const std::jthread unblock([file = path.toLocal8Bit()](std::stop_token stop) {
        std::mutex m;
        std::unique_lock lock(m);
        std::condition_variable_any cv;
        while (!cv.wait_for(lock, stop, std::chrono::seconds(5),
                            [&] { return stop.stop_requested(); }))
            close(open(file.constData(), O_WRONLY | O_NONBLOCK));
    });
    QElapsedTimer clock;
    clock.start();
    panel.start();
    if (name == u"el_dat.txt") panel.take_pc_control();
    std::optional<ReadOnlyFolder> guards[2];
    if (read_only) guards[0].emplace(panel.dir.path());
    if (read_only && kind == linked) guards[1].emplace(elsewhere);
    if (name == u"com_no.txt") {
        panel.pick_port(2);
    } else {
        panel.form->Command5_Click(1);
        if (kind == sparse) QVERIFY(read_preset_file(path)->size() <= 64 * 1024);
        panel.form->Command6_Click(1);
    }
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(panel.pty.read_quiet(), sent);
    QCOMPARE(panel.read_file(name), after);
    QVERIFY(panel.toolkit.boxes.isEmpty());
    QCOMPARE(QFileInfo(path).isSymLink(), kind == linked);
}

void PresetsTest::shutter_follows_the_mouse_button() {
    PanelFixture panel;
    panel.write_file("com_no.txt", "3\r\n");
    panel.start();
    Form1& form = *panel.form;
    QWindow* window = form.windowHandle();
    panel.click(form.Command2[1]);
    QCOMPARE(panel.pty.read(3), QByteArray(":F#"));
    // Offline the shutter is greyed and sends nothing.
    QVERIFY(!form.Command1->isEnabled());
    panel.click(form.Command1);
    QCOMPARE(panel.pty.read_quiet(), QByteArray());
    panel.pty.write(":ELC0#");
    QTRY_VERIFY(form.Command1->isEnabled());

    QTest::mousePress(window, Qt::RightButton, {}, panel.centre_of(form.Command1));
    QCOMPARE(panel.pty.read(4), QByteArray(":C1#"));
    QTest::mouseRelease(window, Qt::RightButton, {}, panel.centre_of(form.Command1));
    QCOMPARE(panel.pty.read(4), QByteArray(":C0#"));
    // Released after the pointer left the button.
    QTest::mousePress(window, Qt::LeftButton, {}, panel.centre_of(form.Command1));
    QTest::mouseMove(window, panel.centre_of(form.Command7));
    QTest::mouseRelease(window, Qt::LeftButton, {}, panel.centre_of(form.Command7));
    QCOMPARE(panel.pty.read(8), QByteArray(":C1#:C0#"));
    // The space bar sends nothing.
    form.Command1->setFocus();
    QTest::keyClick(form.Command1, Qt::Key_Space);
    QCOMPARE(panel.pty.read_quiet(), QByteArray());
    // The inverter's shutter reports light the lamp red, then back with the sound.
    panel.pty.write(":CAS1#");
    QTRY_COMPARE(form.Shape3->BackColor(), colour_red);
    panel.pty.write(":CAS0#");
    QTRY_COMPARE(form.Shape3->BackColor(), colour_menu);
    QCOMPARE(panel.toolkit.sounds, QStringList{panel.file("se-033.mp3")});
}

QTEST_MAIN(PresetsTest)
#include "test_presets.moc"
