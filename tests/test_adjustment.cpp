// Taking control and setting duty and frequency: the commands on the wire.
#include "support/panel_fixture.h"

class AdjustmentTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void control_source_connects_on_every_press();
    void control_source_with_no_port_warns_and_sends_nothing();
    void step_buttons_at_and_beside_their_limits();
    void slider_release_sends_the_settled_position();
    void adjustment_mode_buttons();

private:
    std::unique_ptr<PanelFixture> panel;
};

void AdjustmentTest::init() {
    panel = std::make_unique<PanelFixture>();
    panel->write_file("com_no.txt", "3\r\n");
    panel->start();
}

void AdjustmentTest::cleanup() {
    panel.reset();
}

void AdjustmentTest::control_source_connects_on_every_press() {
    Form1& form = *panel->form;
    panel->click(form.Command2[0], Qt::RightButton);
    QCOMPARE(panel->pty.read(3), QByteArray(":O#"));
    // Nothing on the panel changes until the inverter reports.
    QVERIFY(!form.Command1->isEnabled() && !form.Slider1[0]->isEnabled());
    QCOMPARE(form.Shape1[0]->BackColor(), rgb(224, 224, 224));
    // Pressed again while open: the same port, not reopened.
    Pty other;
    other.link_as_port(panel->dir.path(), 3);
    panel->click(form.Command2[1]);
    QCOMPARE(panel->pty.read(3), QByteArray(":F#"));
    QCOMPARE(other.read_quiet(), QByteArray());
    // The command goes out on the press, before the release.
    QTest::mousePress(form.windowHandle(), Qt::LeftButton, {}, panel->centre_of(form.Command2[0]));
    QCOMPARE(panel->pty.read(3), QByteArray(":O#"));
    QTest::mouseRelease(form.windowHandle(), Qt::LeftButton, {},
                        panel->centre_of(form.Command2[0]));
    QCOMPARE(panel->pty.read_quiet(), QByteArray());
    QVERIFY(panel->toolkit.boxes.isEmpty());
    // Keyboard activation is no press.
    form.Command2[0]->setFocus();
    QTest::keyClick(form.Command2[0], Qt::Key_Space);
    QCOMPARE(panel->pty.read_quiet(), QByteArray());
}

void AdjustmentTest::control_source_with_no_port_warns_and_sends_nothing() {
    QVERIFY(QFile::link(panel->file("unplugged"), panel->file("com15")));
    panel->form->device().MSComm1.setCommPort(15);
    panel->click(panel->form->Command2[0]);
    QCOMPARE(panel->toolkit.boxes.size(), 1);
    QCOMPARE(panel->toolkit.boxes[0].prompt,
             QStringLiteral("現在COMに使用できるポートがありません。"));
    QVERIFY(!panel->form->device().MSComm1.PortOpen());
    panel->click(panel->form->Command2[1]);
    QCOMPARE(panel->toolkit.boxes.size(), 2);
    QCOMPARE(panel->pty.read_quiet(), QByteArray());
}

void AdjustmentTest::step_buttons_at_and_beside_their_limits() {
    panel->take_pc_control();
    Form1& form = *panel->form;
    struct Case {
        SliderControl* slider;
        int position;
        CommandButton* button;
        QByteArray sent;
    };
    const Case cases[] = {
        {form.Slider1[0], 50, form.Command9[0], ""},
        {form.Slider1[0], 49, form.Command9[0], ":D50"},
        {form.Slider1[0], 0, form.Command9[1], ""},
        {form.Slider1[0], 1, form.Command9[1], ":D00"},
        {form.Slider1[0], 7, form.Command9[0], ":D08"},
        {form.Slider1[1], 70, form.Command8[0], ""},
        {form.Slider1[1], 69, form.Command8[0], ":E70"},
        {form.Slider1[1], 10, form.Command8[1], ""},
        {form.Slider1[1], 11, form.Command8[1], ":E10"},
    };
    for (const Case& c : cases) {
        c.slider->setValue(c.position);
        panel->click(c.button);
        QCOMPARE(panel->pty.read_quiet(), c.sent);
        QCOMPARE(c.slider->value(), c.position); // a step moves no slider
    }
    // Two clicks without moving the slider send the same text twice.
    form.Slider1[1]->setValue(45);
    panel->click(form.Command8[0]);
    panel->click(form.Command8[0]);
    QCOMPARE(panel->pty.read(8), QByteArray(":E46:E46"));
    form.Command8_Click(2); // not a button of the pair
    QCOMPARE(panel->pty.read_quiet(), QByteArray());
}

void AdjustmentTest::slider_release_sends_the_settled_position() {
    panel->take_pc_control();
    Form1& form = *panel->form;
    panel->click(form.Slider1[1], Qt::RightButton);
    QCOMPARE(panel->pty.read(4), QByteArray(":E45"));
    form.Slider1[0]->setValue(0);
    panel->click(form.Slider1[0], Qt::RightButton);
    QCOMPARE(panel->pty.read(4), QByteArray(":D00"));
    // The arrow keys move it silently; the next click sends where it is.
    form.Slider1[0]->setFocus();
    QTest::keyClick(form.Slider1[0], Qt::Key_Right);
    QTest::keyClick(form.Slider1[0], Qt::Key_Right);
    QCOMPARE(panel->pty.read_quiet(), QByteArray());
    panel->click(form.Slider1[0], Qt::RightButton);
    QCOMPARE(panel->pty.read(4), QByteArray(":D02"));
    form.Slider1_MouseUp(2);
    QCOMPARE(panel->pty.read_quiet(), QByteArray());
}

void AdjustmentTest::adjustment_mode_buttons() {
    Form1& form = *panel->form;
    panel->click(form.Command2[1]);
    QCOMPARE(panel->pty.read(3), QByteArray(":F#"));
    panel->pty.write(":ELC0#");
    QTRY_VERIFY(form.Command4[0]->isEnabled());
    panel->click(form.Command4[0]);
    panel->click(form.Command4[1]);
    QCOMPARE(panel->pty.read(8), QByteArray(":M0#:M1#"));
    QCOMPARE(form.Shape4[0]->BackColor(), rgb(224, 224, 224)); // until the inverter reports
    panel->pty.write(":ELM1#");
    QTRY_COMPARE(form.Shape4[1]->BackColor(), colour_orange);
    form.Command4_Click(2);
    QCOMPARE(panel->pty.read(3), QByteArray(":S#"));
    form.Command4_Click(3);
    form.Command4_Click(-1);
    QCOMPARE(panel->pty.read_quiet(), QByteArray());
}

QTEST_MAIN(AdjustmentTest)
#include "test_adjustment.moc"
