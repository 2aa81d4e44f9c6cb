#include "qt_toolkit.h"

#include <QApplication>
#include <QAudioOutput>
#include <QMediaPlayer>
#include <QMessageBox>
#include <QUrl>
#include <cstdio>
#include <cstdlib>
#include <utility>

SoundThread::SoundThread() : worker(new QObject) {
    worker->moveToThread(&thread);
    QObject::connect(&thread, &QThread::finished, worker, &QObject::deleteLater);
    thread.start();
}

SoundThread::~SoundThread() {
    thread.quit();
    thread.wait();
}

void SoundThread::play(const QString& path) {
    const QMutexLocker lock(&mutex);
    pending = path;
    if (std::exchange(queued, true)) return;
    QMetaObject::invokeMethod(
        worker, [this] { play_pending(); }, Qt::QueuedConnection);
}

void SoundThread::play_pending() {
    QString path;
    {
        const QMutexLocker lock(&mutex);
        path = std::exchange(pending, {});
        queued = false;
    }
    // Made here, on the first sound, so that start-up does not load the media stack.
    if (!player) {
        player = new QMediaPlayer(worker);
        player->setAudioOutput(new QAudioOutput(player));
    }
    player->stop();
    player->setSource(QUrl::fromLocalFile(path));
    player->play();
}

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
    sound.play(path);
}

void QtToolkit::End() {
    std::fflush(nullptr);
    std::_Exit(0);
}
