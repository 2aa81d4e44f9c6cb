// Creation, activation and shut-down of the window, and the pause.
#include "form1.h"
#include "protocol/wire.h"

#include <QCloseEvent>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QShowEvent>
#include <QTimer>
#include <cmath>

void Form1::Form_Load() {
    View_init(0);
    for (int i = 0; i < 7; ++i) {
        Text1[i]->setText(QStringLiteral(" "));
        Text2[i]->setText(QStringLiteral(" "));
    }
    Command4[2]->setVisible(false);
    Command3[0]->setVisible(false);
    Command3[1]->setVisible(false);
}

void Form1::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The panel's only window becomes active within the program once, right
    // after it is first shown; coming back from another application or from a
    // message box is not an activation, so nothing is read again then.
    if (shown_once) return;
    shown_once = true;
    QMetaObject::invokeMethod(this, &Form1::Form_Activate, Qt::QueuedConnection);
}

void Form1::Form_Activate() {
    load_comm();
    Load_Init();
}

void Form1::closeEvent(QCloseEvent* event) {
    event->accept();
    Form_Unload();
}

void Form1::Form_Unload() {
    hand_back_control();
    toolkit.End();
}

void Form1::hand_back_control() {
    comm.MODE_Com(QLatin1String(wire::front_panel_control));
    comm.COMM1close();
}

void Form1::Wait(float Dummy) {
    // A nested event loop ended by a timer: the window and the line are served
    // throughout, and no core is kept busy. Events are handled at least once.
    QElapsedTimer elapsed;
    elapsed.start();
    toolkit.DoEvents();
    const auto pause = static_cast<qint64>(std::ceil(Dummy));
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    for (qint64 left = pause - elapsed.elapsed(); left > 0; left = pause - elapsed.elapsed()) {
        timer.start(std::chrono::milliseconds(left));
        loop.exec();
    }
}
