// The main window on real Qt widgets: its design, the view states, what the
// inverter's reports show, and the event rules the handlers rely on.
#include "panel/form1.h"
#include "shared/start.h"
#include "support/recording_toolkit.h"

#include <QAbstractItemView>
#include <QSignalSpy>
#include <QStyleOptionSlider>
#include <QTemporaryDir>
#include <QTest>

class WindowTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void design_values();
    void form_load_shows_the_offline_view();
    void view_states_follow_the_table();
    void reports_light_lamps_and_read_outs();
    void button_mouse_events_for_any_button_and_off_the_button();
    void keyboard_activation_clicks_only();
    void slider_mouse_up_reads_the_settled_position();
    void values_set_by_the_program_raise_nothing();
    void combo_acts_only_on_a_pick_from_the_list();

private:
    QList<QWidget*> view_controlled() const;

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<RecordingToolkit> toolkit;
    std::unique_ptr<Form1> form;
};

void WindowTest::init() {
    dir = std::make_unique<QTemporaryDir>();
    toolkit = std::make_unique<RecordingToolkit>();
    form = std::make_unique<Form1>(*toolkit, dir->path());
    form->Form_Load();
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
}

void WindowTest::cleanup() {
    form.reset();
    toolkit.reset();
    dir.reset();
}

QList<QWidget*> WindowTest::view_controlled() const {
    QList<QWidget*> all{form->Command1};
    for (auto* w : form->Slider1)
        all << w;
    for (auto* w : form->Label1)
        all << w;
    for (auto* w : form->Command8)
        all << w;
    for (auto* w : form->Command9)
        all << w;
    all << form->Command4[0] << form->Command4[1];
    for (auto* w : form->Command5)
        all << w;
    for (auto* w : form->Command6)
        all << w;
    for (auto* w : form->Label4)
        all << w;
    return all;
}

// Places in twips become pixels, also inside a preset row; the ranges, steps
// and port order are what the handlers rely on.
void WindowTest::design_values() {
    QCOMPARE(form->windowTitle(), QStringLiteral("Lumivane ver1.54"));
    QCOMPARE(form->size(), QSize(708, 278));
    QCOMPARE(form->Command2[0]->geometry(), QRect(8, 72, 57, 41));
    QCOMPARE(form->Command1->geometry(), QRect(216, 224, 161, 33));
    QCOMPARE(form->Label4[1]->text(), QStringLiteral("　周波数/デューティ"));
    QVERIFY(form->Label4[1]->font().bold());
    QCOMPARE(form->Label1[0]->font().pointSizeF(), 12.0);
    QCOMPARE(form->Slider1[0]->minimum(), 0);
    QCOMPARE(form->Slider1[0]->maximum(), 50);
    QCOMPARE(form->Slider1[0]->value(), 0);
    QCOMPARE(form->Slider1[1]->minimum(), 10);
    QCOMPARE(form->Slider1[1]->maximum(), 70);
    QCOMPARE(form->Slider1[1]->value(), 45);
    for (auto* s : form->Slider1) {
        QCOMPARE(s->singleStep(), 1);
        QCOMPARE(s->pageStep(), 5);
    }
    QCOMPARE(form->Combo1->count(), 15);
    for (int n = 1; n <= 15; ++n)
        QCOMPARE(form->Combo1->itemText(n - 1), QStringLiteral("COM%1").arg(n));
    QCOMPARE(form->Combo1->currentText(), QStringLiteral("COM1"));
    for (int i = 0; i < 7; ++i) {
        QCOMPARE(form->Picture1[i]->geometry(), QRect(408, 40 + 32 * i, 289, 25));
        QCOMPARE(form->Text1[i]->parentWidget(), form->Picture1[i]);
        QCOMPARE(form->Text1[i]->geometry(), QRect(56, 4, 49, 18));
    }
    // The Gothic caption face is an installed Japanese one, not a box-drawing fallback.
    QVERIFY(QFontInfo(form->Label4[0]->font())
                .family()
                .contains(QStringLiteral("Gothic"), Qt::CaseInsensitive));
}

void WindowTest::form_load_shows_the_offline_view() {
    // Right after Form_Load, before the window is shown and activated.
    Form1 fresh(*toolkit, dir->path());
    for (int i = 0; i < 7; ++i) {
        QCOMPARE(fresh.Text1[i]->text(), QStringLiteral("Text1"));
        QCOMPARE(fresh.Text2[i]->text(), QStringLiteral("Text2"));
    }
    fresh.Form_Load();
    for (int i = 0; i < 7; ++i) {
        QCOMPARE(fresh.Text1[i]->text(), QStringLiteral(" "));
        QCOMPARE(fresh.Text2[i]->text(), QStringLiteral(" "));
    }
    QVERIFY(fresh.Command4[2]->isHidden());
    QVERIFY(fresh.Command3[0]->isHidden());
    QVERIFY(fresh.Command3[1]->isHidden());
    QVERIFY(!fresh.Command4[0]->isHidden());

    // The shown window is in the offline view.
    for (QWidget* w : view_controlled())
        QVERIFY(!w->isEnabled());
    for (auto* w : form->Command2)
        QVERIFY(w->isEnabled());
    QVERIFY(form->Combo1->isEnabled());
    QVERIFY(form->Command7->isEnabled());
    for (int i = 0; i < 7; ++i)
        QVERIFY(form->Text1[i]->isEnabled() && !form->Text1[i]->isReadOnly());
    QVERIFY(!form->Command4[2]->isVisible());
}

void WindowTest::view_states_follow_the_table() {
    auto states = [this] {
        QList<bool> s;
        for (QWidget* w : view_controlled())
            s << w->isEnabled();
        return s;
    };
    form->View_init(1);
    QVERIFY(form->Command1->isEnabled());
    QVERIFY(form->Command4[0]->isEnabled() && form->Command4[1]->isEnabled());
    QVERIFY(!form->Slider1[0]->isEnabled() && !form->Command5[3]->isEnabled() &&
            !form->Label4[0]->isEnabled());
    form->View_init(2);
    QVERIFY(form->Command1->isEnabled());
    QVERIFY(!form->Command4[0]->isEnabled() && !form->Command4[1]->isEnabled());
    for (QWidget* w : view_controlled()) {
        if (w != form->Command4[0] && w != form->Command4[1]) QVERIFY(w->isEnabled());
    }
    const QList<bool> pc = states();
    form->View_init(-1);
    form->View_init(100);
    QCOMPARE(states(), pc);
    form->View_init(0);
    for (bool enabled : states())
        QVERIFY(!enabled);
    for (auto* w : form->Command2)
        QVERIFY(w->isEnabled());
}

void WindowTest::reports_light_lamps_and_read_outs() {
    COMM& comm = form->device();
    comm.RX_data(QStringLiteral("ELC1#"));
    QCOMPARE(form->Shape1[0]->BackColor(), colour_orange);
    QCOMPARE(form->Shape1[1]->BackColor(), colour_window);
    QCOMPARE(form->Shape1[0]->shownColor(), QColor(255, 128, 0));
    QCOMPARE(form->Shape1[1]->shownColor(), form->palette().color(QPalette::Base));
    QVERIFY(form->Slider1[1]->isEnabled());
    for (const char* frame : {"ELC0#", "ELC2#", "ELC#"}) {
        form->View_init(2);
        comm.RX_data(QString::fromLatin1(frame));
        QCOMPARE(form->Shape1[0]->BackColor(), colour_window);
        QCOMPARE(form->Shape1[1]->BackColor(), colour_orange);
        QVERIFY(form->Command4[0]->isEnabled() && !form->Slider1[1]->isEnabled());
    }
    comm.RX_data(QStringLiteral("ELM0#"));
    QCOMPARE(form->Shape4[0]->BackColor(), colour_orange);
    QCOMPARE(form->Shape4[1]->BackColor(), colour_window);
    comm.RX_data(QStringLiteral("ELM1#"));
    QCOMPARE(form->Shape4[0]->BackColor(), colour_window);
    QCOMPARE(form->Shape4[1]->BackColor(), colour_orange);
    QVERIFY(form->Command4[0]->isEnabled()); // the mode report leaves the view alone

    comm.RX_data(QStringLiteral(" EDU25# "));
    QCOMPARE(start::cur_duty, qint16(25));
    QCOMPARE(form->Label1[0]->text(), QStringLiteral("50%"));
    comm.RX_data(QStringLiteral("EDU5#"));
    QCOMPARE(start::cur_duty, qint16(5));
    QCOMPARE(form->Label1[0]->text(), QStringLiteral("10%"));
    comm.RX_data(QStringLiteral("EFQ45#"));
    QCOMPARE(start::cur_freq, qint16(45));
    comm.RX_data(QStringLiteral("EFQ#"));
    QCOMPARE(start::cur_freq, qint16(0));
    QCOMPARE(form->Label1[1]->text(), QStringLiteral("0Hz"));
    QCOMPARE(form->Slider1[1]->value(), 45); // reports move no slider

    comm.RX_data(QStringLiteral("CAS1#"));
    QCOMPARE(form->Shape3->BackColor(), colour_red);
    QVERIFY(toolkit->sounds.isEmpty());
    comm.RX_data(QStringLiteral("CAS0#"));
    QCOMPARE(form->Shape3->BackColor(), colour_menu);
    QCOMPARE(form->Shape3->shownColor(), form->palette().color(QPalette::Window));
    QCOMPARE(toolkit->sounds, QStringList{dir->path() + "/se-033.mp3"});
    comm.RX_data(QStringLiteral("CAS#"));
    QCOMPARE(form->Shape3->BackColor(), colour_red);

    comm.RX_data(QStringLiteral("FQS#"));
    comm.RX_data(QStringLiteral("xyz#"));
    comm.RX_data(QStringLiteral("E#"));
    QCOMPARE(toolkit->beeps, 0);
    comm.RX_data(QStringLiteral("fqs#"));
    QCOMPARE(toolkit->beeps, 1);
    QCOMPARE(form->Shape3->BackColor(), colour_red);
    QVERIFY(toolkit->boxes.isEmpty());
}

void WindowTest::button_mouse_events_for_any_button_and_off_the_button() {
    form->View_init(1);
    CommandButton* button = form->Command1;
    QSignalSpy down(button, &CommandButton::MouseDown);
    QSignalSpy up(button, &CommandButton::MouseUp);
    QSignalSpy click(button, &CommandButton::Click);
    QWindow* window = form->windowHandle();
    const QPoint on = button->mapTo(form.get(), button->rect().center());
    const QPoint off = form->Command7->mapTo(form.get(), form->Command7->rect().center());

    // Right button pressed on the button, released over another control.
    QTest::mousePress(window, Qt::RightButton, {}, on);
    QTest::mouseMove(window, off);
    QTest::mouseRelease(window, Qt::RightButton, {}, off);
    QCOMPARE(down.size(), 1);
    QCOMPARE(down.first().first().value<Qt::MouseButton>(), Qt::RightButton);
    QCOMPARE(up.size(), 1);
    QCOMPARE(click.size(), 0);

    // Left button, released off the button: mouse-up, and no click.
    QTest::mousePress(window, Qt::LeftButton, {}, on);
    QTest::mouseRelease(window, Qt::LeftButton, {}, off);
    QCOMPARE(down.size(), 2);
    QCOMPARE(up.size(), 2);
    QCOMPARE(click.size(), 0);

    // Left click on it: down, up, click in that order.
    QStringList order;
    connect(button, &CommandButton::MouseDown, this, [&] { order << "down"; });
    connect(button, &CommandButton::MouseUp, this, [&] { order << "up"; });
    connect(button, &CommandButton::Click, this, [&] { order << "click"; });
    QTest::mouseClick(window, Qt::LeftButton, {}, on);
    QCOMPARE(order, (QStringList{"down", "up", "click"}));

    // A double click is two presses and releases, each raised once.
    QTest::mouseDClick(window, Qt::LeftButton, {}, on);
    QCOMPARE(down.size(), 5);
    QCOMPARE(up.size(), 5);
    QCOMPARE(click.size(), 3);

    // A disabled button ignores the mouse.
    form->View_init(0);
    QTest::mouseClick(window, Qt::RightButton, {}, on);
    QTest::mouseClick(window, Qt::LeftButton, {}, on);
    QCOMPARE(down.size(), 5);
    QCOMPARE(click.size(), 3);
}

void WindowTest::keyboard_activation_clicks_only() {
    form->View_init(1);
    CommandButton* button = form->Command1;
    QSignalSpy down(button, &CommandButton::MouseDown);
    QSignalSpy up(button, &CommandButton::MouseUp);
    QSignalSpy click(button, &CommandButton::Click);
    button->setFocus();
    QTest::keyClick(button, Qt::Key_Space);
    QCOMPARE(click.size(), 1);
    QCOMPARE(down.size(), 0);
    QCOMPARE(up.size(), 0);
}

void WindowTest::slider_mouse_up_reads_the_settled_position() {
    form->View_init(2);
    SliderControl* slider = form->Slider1[1];
    QList<int> released;
    connect(slider, &SliderControl::MouseUp, this, [&] { released << slider->value(); });
    QWindow* window = form->windowHandle();
    QStyleOptionSlider opt;
    opt.initFrom(slider);
    opt.orientation = Qt::Horizontal;
    opt.minimum = slider->minimum();
    opt.maximum = slider->maximum();
    opt.sliderPosition = opt.sliderValue = slider->value();
    opt.tickPosition = slider->tickPosition();
    opt.tickInterval = slider->tickInterval();
    const QRect groove =
        slider->style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderGroove, slider);
    const QPoint right_end =
        slider->mapTo(form.get(), QPoint(groove.right() - 3, groove.center().y()));

    // Right-button click: the slider stays, the release still reads its position.
    QTest::mouseClick(window, Qt::RightButton, {}, right_end);
    QCOMPARE(released, QList<int>{45});
    // Left click beside the knob: one large step towards the click, read after it settled.
    QTest::mouseClick(window, Qt::LeftButton, {}, right_end);
    QCOMPARE(released, (QList<int>{45, 50}));
    // Arrow keys move it without a mouse-up.
    slider->setFocus();
    QTest::keyClick(slider, Qt::Key_Left);
    QCOMPARE(slider->value(), 49);
    QCOMPARE(released.size(), 2);
    // A disabled slider ignores the mouse.
    form->View_init(1);
    QTest::mouseClick(window, Qt::LeftButton, {}, right_end);
    QCOMPARE(released.size(), 2);
    QCOMPARE(slider->value(), 49);
}

void WindowTest::values_set_by_the_program_raise_nothing() {
    QSignalSpy slider_up(form->Slider1[0], &SliderControl::MouseUp);
    QSignalSpy pick(form->Combo1, &ComboControl::Click);
    form->Slider1[0]->setValue(30);
    form->Combo1->setText(QStringLiteral("COM7"));
    form->Combo1->setCurrentIndex(4);
    QCOMPARE(slider_up.size(), 0);
    QCOMPARE(pick.size(), 0);
}

void WindowTest::combo_acts_only_on_a_pick_from_the_list() {
    ComboControl* combo = form->Combo1;
    QSignalSpy pick(combo, &ComboControl::Click);
    combo->lineEdit()->selectAll();
    QTest::keyClicks(combo->lineEdit(), QStringLiteral("COM5"));
    QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
    form->Command7->setFocus(); // the field loses the focus
    QCOMPARE(pick.size(), 0);
    QCOMPARE(combo->count(), 15);
    QCOMPARE(combo->currentText(), QStringLiteral("COM5"));

    combo->showPopup();
    QAbstractItemView* list = combo->view();
    QTRY_VERIFY(list->isVisible());
    list->setCurrentIndex(combo->model()->index(9, 0));
    QTest::keyClick(list, Qt::Key_Return);
    QCOMPARE(pick.size(), 1);
    QCOMPARE(combo->currentText(), QStringLiteral("COM10"));
}

QTEST_MAIN(WindowTest)
#include "test_window.moc"
