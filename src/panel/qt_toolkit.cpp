#include "qt_toolkit.h"

#include <QApplication>
#include <QAudioOutput>
#include <QMediaPlayer>
#include <QMessageBox>
#include <QUrl>
#include <cstdio>
#include <cstdlib>

QtToolkit::QtToolkit() = default;
QtToolkit::~QtToolkit() = default;

int QtToolkit::MsgBox(const QString& prompt, int buttons, const QString& title) {
    const bool ok_cancel = (buttons & 7) == vbOKCancel;
    QMessageBox box((buttons & vbExclamation) ? QMessageBox::Warning : QMessageBox::NoIcon, title,
                    prompt, ok_cancel ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok,
                    QApplication::activeWindow());
    return box.exec() == QMessageBox::Cancel ? vbCancel : vbOK;
}

void QtToolkit::Beep() {
    QApplication::beep();
}

void QtToolkit::DoEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void QtToolkit::PlaySound(const QString& path) {
    if (!player) {
        audio = std::make_unique<QAudioOutput>();
        player = std::make_unique<QMediaPlayer>();
        player->setAudioOutput(audio.get());
    }
    player->stop();
    player->setSource(QUrl::fromLocalFile(path));
    player->play();
}

void QtToolkit::End() {
    std::fflush(nullptr);
    std::_Exit(0);
}
