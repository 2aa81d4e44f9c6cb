#pragma once

#include "shared/toolkit.h"

#include <QMutex>
#include <QThread>

class QMediaPlayer;

// Plays sound files on a thread of its own: the media stack can take seconds
// to load on its first use, and a second to stop or to give up on a file it
// cannot play, and the window must not wait for either.
class SoundThread {
public:
    SoundThread();
    // Waits for a sound being started or stopped, not for one being heard.
    ~SoundThread();
    SoundThread(const SoundThread&) = delete;
    SoundThread& operator=(const SoundThread&) = delete;

    // Asks for the file to be played and returns at once. A request the thread
    // has not taken up yet is replaced: one sound is heard at a time anyway.
    void play(const QString& path);

private:
    void play_pending(); // on the thread

    QThread thread;
    QObject* worker; // lives on the thread, with the media objects; deleted there at its end
    QMediaPlayer* player = nullptr; // made on the first sound, a child of worker
    QMutex mutex;
    QString pending;     // guarded by mutex
    bool queued = false; // guarded by mutex: a request is on its way to the thread
};

// The desktop services on Qt: message boxes, beep, events, sound, exit.
class QtToolkit : public Toolkit {
public:
    int MsgBox(const QString& prompt, int buttons, const QString& title) override;
    void Beep() override;
    void DoEvents() override;
    void PlaySound(const QString& path) override;
    [[noreturn]] void End() override;

private:
    SoundThread sound;
};
