#pragma once

#include "panel/form1.h"
#include "shared/start.h"
#include "support/pty.h"
#include "support/recording_toolkit.h"

#include <QAbstractItemView>
#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

// A panel started the way the program starts it, in a folder of its own, with
// a pseudo-terminal linked as COM3 playing the inverter.
struct PanelFixture {
    QTemporaryDir dir;
    RecordingToolkit toolkit;
    Pty pty;
    std::unique_ptr<Form1> form;

    PanelFixture() {
        pty.link_as_port(dir.path(), 3);
        // The program-wide values start at zero, as in a new program.
        start::cur_duty = start::cur_freq = 0;
        start::pre_duty.fill(0);
        start::pre_freq.fill(0);
    }

    QString file(const QString& name) const { return dir.path() + u'/' + name; }

    void write_file(const QString& name, const QByteArray& bytes) const {
        QFile f(file(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        QCOMPARE(f.write(bytes), bytes.size());
    }

    QByteArray read_file(const QString& name) const {
        QFile f(file(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    // Form_Load, show, and the activation that reads the stored settings.
    void start() {
        form = std::make_unique<Form1>(toolkit, dir.path());
        form->Form_Load();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QCoreApplication::sendPostedEvents(form.get(), QEvent::MetaCall);
    }

    QPoint centre_of(QWidget* w) const { return w->mapTo(form.get(), w->rect().center()); }

    void click(QWidget* w, Qt::MouseButton button = Qt::LeftButton) {
        QTest::mouseClick(form->windowHandle(), button, {}, centre_of(w));
    }

    // Picks entry `row` from the port selector's list, as the operator does.
    void pick_port(int row) {
        ComboControl* combo = form->Combo1;
        combo->showPopup();
        QTRY_VERIFY(combo->view()->isVisible());
        combo->view()->setCurrentIndex(combo->model()->index(row, 0));
        QTest::keyClick(combo->view(), Qt::Key_Return);
    }

    // Presses "パソコン" and lets the inverter answer that the PC has control.
    void take_pc_control() {
        click(form->Command2[0]);
        QCOMPARE(pty.read(3), QByteArray(":O#"));
        pty.write(":ELC1#");
        QTRY_VERIFY(form->Slider1[0]->isEnabled());
    }
};
