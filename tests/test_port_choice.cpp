// The port selector and the port file, on real files and pseudo-terminals.
#include "store/port_file.h"
#include "support/panel_fixture.h"
#include "support/read_only_guard.h"

#include <QHelpEvent>
#include <QSignalSpy>

class PortChoiceTest : public QObject {
    Q_OBJECT
private slots:
    void start_up_reads_the_port_file_data();
    void start_up_reads_the_port_file();
    void start_up_without_a_port_file();
    void picking_a_port_remembers_it_and_opens_it();
    void picking_the_current_port_closes_and_reopens_it();
    void picking_a_port_that_cannot_open();
    void typing_into_the_selector_does_nothing();
    void a_store_that_fails_keeps_the_old_file();
    void disconnect_and_connect_routine();
    void tooltips_name_the_device_behind_each_port();
};

void PortChoiceTest::start_up_reads_the_port_file_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("port");
    QTest::newRow("3 CR LF") << QByteArray("3\r\n") << 3;
    QTest::newRow("12 without a line end") << QByteArray("12") << 12;
    QTest::newRow("7 with blanks") << QByteArray("   7  \r\n") << 7;
    QTest::newRow("12 then a comma and 5") << QByteArray("12,5\r\n") << 12;
    QTest::newRow("4 in quotes") << QByteArray("\"4\"\r\n") << 4;
    QTest::newRow("blanks inside quotes") << QByteArray("\" 9 \",x\r\n") << 9;
    QTest::newRow("15 then more lines") << QByteArray("15\r\n2\r\n") << 15;
    QTest::newRow("07") << QByteArray("07\r\n") << 1;
    QTest::newRow("0") << QByteArray("0\r\n") << 1;
    QTest::newRow("16") << QByteArray("16\r\n") << 1;
    QTest::newRow("COM3") << QByteArray("COM3\r\n") << 1;
    QTest::newRow("3.0") << QByteArray("3.0\r\n") << 1;
    QTest::newRow("empty") << QByteArray() << 1;
    QTest::newRow("empty first line") << QByteArray("\r\n3\r\n") << 1;
}

void PortChoiceTest::start_up_reads_the_port_file() {
    QFETCH(QByteArray, content);
    QFETCH(int, port);
    PanelFixture panel;
    panel.write_file("com_no.txt", content);
    panel.start();
    QCOMPARE(panel.form->Combo1->currentText(), QStringLiteral("COM%1").arg(port));
    QCOMPARE(panel.form->device().MSComm1.CommPort(), port);
    QVERIFY(!panel.form->device().MSComm1.PortOpen());
    QCOMPARE(panel.read_file("com_no.txt"), content);
    QCOMPARE(panel.pty.read_quiet(), QByteArray());
    QVERIFY(panel.toolkit.boxes.isEmpty());
}

void PortChoiceTest::start_up_without_a_port_file() {
    PanelFixture panel;
    panel.start();
    QCOMPARE(panel.form->Combo1->currentText(), QStringLiteral("COM1"));
    QCOMPARE(panel.form->device().MSComm1.CommPort(), 1);
    QVERIFY(!QFile::exists(panel.file("com_no.txt")));
}

void PortChoiceTest::picking_a_port_remembers_it_and_opens_it() {
    PanelFixture panel;
    Pty com10;
    com10.link_as_port(panel.dir.path(), 10);
    panel.start();
    panel.pick_port(9);
    QCOMPARE(panel.read_file("com_no.txt"), QByteArray("10\r\n"));
    QCOMPARE(panel.form->device().MSComm1.CommPort(), 10);
    QVERIFY(panel.form->device().MSComm1.PortOpen());
    QVERIFY(panel.toolkit.boxes.isEmpty());
    QCOMPARE(com10.read_quiet(), QByteArray()); // a pick sends nothing
    panel.form->Command4_Click(0);
    QCOMPARE(com10.read(4), QByteArray(":M0#"));
    QVERIFY(!panel.form->Command1->isEnabled()); // nor does it change the view
    // The next start-up comes back to COM10.
    panel.form.reset();
    panel.start();
    QCOMPARE(panel.form->Combo1->currentText(), QStringLiteral("COM10"));
    QCOMPARE(panel.form->device().MSComm1.CommPort(), 10);
}

void PortChoiceTest::picking_the_current_port_closes_and_reopens_it() {
    PanelFixture panel;
    panel.write_file("com_no.txt", "3\r\n");
    panel.start();
    panel.pick_port(2);
    QVERIFY(panel.form->device().MSComm1.PortOpen());
    // Point COM3 at another line: only a real close and reopen reaches it.
    Pty second;
    second.link_as_port(panel.dir.path(), 3);
    panel.pick_port(2);
    QVERIFY(panel.form->device().MSComm1.PortOpen());
    QCOMPARE(panel.read_file("com_no.txt"), QByteArray("3\r\n"));
    panel.form->Command4_Click(1);
    QCOMPARE(second.read(4), QByteArray(":M1#"));
    QCOMPARE(panel.pty.read_quiet(), QByteArray());
}

void PortChoiceTest::picking_a_port_that_cannot_open() {
    PanelFixture panel;
    QVERIFY(QFile::link(panel.file("unplugged"), panel.file("com15")));
    panel.start();
    panel.pick_port(14);
    QCOMPARE(panel.read_file("com_no.txt"), QByteArray("15\r\n"));
    QCOMPARE(panel.form->device().MSComm1.CommPort(), 15);
    QVERIFY(!panel.form->device().MSComm1.PortOpen());
    QCOMPARE(panel.toolkit.boxes.size(), 1);
    QCOMPARE(panel.toolkit.boxes[0].title, QStringLiteral("通信エラー"));
}

void PortChoiceTest::typing_into_the_selector_does_nothing() {
    PanelFixture panel;
    panel.start();
    QLineEdit* text = panel.form->Combo1->lineEdit();
    text->selectAll();
    QTest::keyClicks(text, QStringLiteral("COM3"));
    QTest::keyClick(text, Qt::Key_Return);
    panel.form->Command7->setFocus();
    QVERIFY(!QFile::exists(panel.file("com_no.txt")));
    QVERIFY(!panel.form->device().MSComm1.PortOpen());
    QCOMPARE(panel.form->device().MSComm1.CommPort(), 1);
}

void PortChoiceTest::a_store_that_fails_keeps_the_old_file() {
    PanelFixture panel;
    Pty com5;
    com5.link_as_port(panel.dir.path(), 5);
    panel.write_file("com_no.txt", "3\r\n");
    panel.start();
    {
        QVERIFY(QFile::setPermissions(panel.file("com_no.txt"), QFile::ReadOwner));
        ReadOnlyFolder read_only(panel.dir.path());
        panel.pick_port(4);
    }
    QCOMPARE(panel.read_file("com_no.txt"), QByteArray("3\r\n"));
    QCOMPARE(QDir(panel.dir.path()).entryList({"com_no.txt*"}, QDir::Files | QDir::Hidden),
             QStringList{"com_no.txt"});
    // The pick goes on: port 5 is set and open for this run.
    QCOMPARE(panel.form->device().MSComm1.CommPort(), 5);
    QVERIFY(panel.form->device().MSComm1.PortOpen());
    // The file functions report the failure to whoever asks.
    ReadOnlyFolder read_only(panel.dir.path());
    QVERIFY(!write_port_file(panel.file("com_no.txt"), "7"));
}

void PortChoiceTest::disconnect_and_connect_routine() {
    PanelFixture panel;
    panel.write_file("com_no.txt", "3\r\n");
    panel.start();
    panel.form->Command3_Click(1); // closed: ":F#" is handed on and dropped
    panel.form->Command3_Click(2);
    panel.form->Command3_Click(-1);
    QVERIFY(!panel.form->device().MSComm1.PortOpen());
    panel.form->Command3_Click(0);
    panel.form->Command3_Click(0);
    QVERIFY(panel.form->device().MSComm1.PortOpen());
    panel.form->Command3_Click(1);
    QVERIFY(!panel.form->device().MSComm1.PortOpen());
    QCOMPARE(panel.pty.read(3), QByteArray(":F#"));
    QCOMPARE(panel.pty.read_quiet(), QByteArray());
    QVERIFY(panel.toolkit.boxes.isEmpty());
}

void PortChoiceTest::tooltips_name_the_device_behind_each_port() {
    PanelFixture panel;
    QVERIFY(QFile::link(panel.file("unplugged"), panel.file("com15")));
    panel.write_file("com_no.txt", "3\r\n");
    panel.start();
    ComboControl* combo = panel.form->Combo1;
    combo->showPopup();
    auto tip = [&](int n) { return combo->itemData(n - 1, Qt::ToolTipRole).toString(); };
    QCOMPARE(tip(3), QStringLiteral("COM3 → %1 → %2（接続あり）")
                         .arg(panel.file("com3"), panel.pty.slave_path()));
    QCOMPARE(tip(15), QStringLiteral("COM15 → %1 → %2（見つかりません）")
                          .arg(panel.file("com15"), panel.file("unplugged")));
    const bool ttyS6 = QFile::exists(QStringLiteral("/dev/ttyS6"));
    QCOMPARE(tip(7),
             QStringLiteral("COM7 → /dev/ttyS6") +
                 (ttyS6 ? QStringLiteral("（接続あり）") : QStringLiteral("（見つかりません）")));
    combo->hidePopup();
    // The entries and their texts are unchanged.
    QCOMPARE(combo->count(), 15);
    QCOMPARE(combo->itemText(9), QStringLiteral("COM10"));
    // The selector's own tooltip follows its current port, and what is there now.
    QHelpEvent hover(QEvent::ToolTip, QPoint(2, 2), combo->mapToGlobal(QPoint(2, 2)));
    QCoreApplication::sendEvent(combo, &hover);
    QVERIFY(combo->toolTip().endsWith(QStringLiteral("（接続あり）")));
    QFile::remove(panel.file("com3"));
    QCoreApplication::sendEvent(combo, &hover);
    QCOMPARE(combo->toolTip(),
             QStringLiteral("COM3 → /dev/ttyS2") + (QFile::exists(QStringLiteral("/dev/ttyS2"))
                                                        ? QStringLiteral("（接続あり）")
                                                        : QStringLiteral("（見つかりません）")));
}

QTEST_MAIN(PortChoiceTest)
#include "test_port_choice.moc"
