#pragma once

#include "panel/form1.h"
#include "shared/start.h"
#include "support/pty.h"
#include "support/recording_toolkit.h"

#include <QTemporaryDir>
#include <QTest>

// A panel started the way the program starts it, in a folder of its own, with
// a pseudo-terminal linked as COM3 playing the inverter.
struct PanelFixture {
    QTemporaryDir dir;
    RecordingToolkit toolkit;
    Pty pty;
    std::unique_ptr<Form1> form;

    // The port file and the preset file hold these bytes, unless they are null.
    explicit PanelFixture(const QByteArray& com_no = {}, const QByteArray& el_dat = {}) {
        pty.link_as_port(dir.path(), 3);
        for (const auto& [name, bytes] :
             {std::pair{"com_no.txt", com_no}, {"el_dat.txt", el_dat}}) {
            QFile f(dir.filePath(name));
            if (!bytes.isNull())
                QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
        }
        // The program-wide values start as in a new program.
        start::cur_duty = start::cur_freq = std::nullopt;
        start::pre_duty.fill(0);
        start::pre_freq.fill(0);
    }

    QByteArray read_file(const QString& name) const {
        QFile f(dir.filePath(name));
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

    void click(QWidget* w, Qt::MouseButton button = Qt::LeftButton) {
        const QPoint centre = w->mapTo(form.get(), w->rect().center());
        QTest::mouseClick(form->windowHandle(), button, {}, centre);
    }
};
